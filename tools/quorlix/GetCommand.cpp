#include "GetCommand.h"

#include "ProgressBar.h"
#include "quorlix/Quorlix.h"
#include "quorlix/platform/File.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

struct Options {
    std::string m_Url;
    std::string m_Output;
    std::string m_Range;
    bool m_Info = false;
};

const char* StatusText(ErrorsHTTP status) {
    switch (status) {
    case HTTPBadRequest:
        return "400 Bad Request";
    case HTTPUnauthorized:
        return "401 Unauthorized";
    case HTTPForbidden:
        return "403 Forbidden";
    case HTTPNotFound:
        return "404 Not Found";
    case HTTPServerError:
        return "500 Internal Server Error";
    case HTTPNotImplemented:
        return "501 Not Implemented";
    case HTTPBadGateway:
        return "502 Bad Gateway";
    case HTTPUnavailable:
        return "503 Service Unavailable";
    case HTTPUnknownResponse:
        return "no answer that the client understands";
    case HTTPConnectFailed:
        return "cannot connect";
    case HTTPRangeRefused:
        return "the server does not serve the range";
    case HTTPIncomplete:
        return "the body ended early (see above)";
    default:
        return "failed";
    }
}

// "FIRST-LAST" in byte offsets, FIRST <= LAST.
bool ParseRange(const std::string& text, uint64_t& first, uint64_t& last) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos)
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto a = std::from_chars(begin, begin + dash, first);
    const auto b = std::from_chars(begin + dash + 1, end, last);
    return dash > 0 && a.ec == std::errc() && a.ptr == begin + dash && b.ec == std::errc() &&
           b.ptr == end && b.ptr != begin + dash + 1 && first <= last;
}

// A file time as an HTTP date ("Sun, 29 Feb 2004 10:00:00 GMT").
std::string HttpDate(uint64_t fileTime) {
    const std::time_t seconds =
        static_cast<std::time_t>(fileTime / 10000000u) - static_cast<std::time_t>(11644473600);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr)
        return "unknown";
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

int Fail(const Options& options, ErrorsHTTP status) {
    TerminalProgressBar::PrintLine("error: " + options.m_Url + ": " + StatusText(status));
    return 1;
}

int Info(const Options& options) {
    Obj<ClientHTTP> client(ClientHTTP::Create());
    HTTPFileInfo info;
    const ErrorsHTTP status = client->GetFileInfo(String(options.m_Url.c_str()), info);
    if (status != HTTPOk)
        return Fail(options, status);
    std::printf("url: %s\nsize: %llu\nlast-modified: %s\nresumable: %s\n", options.m_Url.c_str(),
                static_cast<unsigned long long>(info.m_Size),
                info.m_LastModified != 0 ? HttpDate(info.m_LastModified).c_str() : "unknown",
                info.m_Resumable != 0 ? "yes" : "no");
    return 0;
}

// Where the body goes: standard output, or a file made beside the output and renamed into place
// once the body is whole.
struct Output {
    explicit Output(const std::string& path) : m_Path(path) {
        const std::string target = path.empty() ? std::string("1>") : path + ".part";
        m_File = StreamPipeFile::Create(target.c_str(), path.empty() ? IOWrite : IOWrite | 12);
    }
    bool IsOpen() const { return m_File->IsOpen(); }
    // Closes the file and gives it its name; false when that fails.
    bool Finish() {
        m_File = nullptr;
        if (m_Path.empty())
            return true;
        const std::string part = m_Path + ".part";
        return Platform::ReplaceFile(part.c_str(), m_Path.c_str());
    }

    std::string m_Path;
    Obj<StreamPipeFile> m_File;
};

int Get(const Options& options) {
    Obj<ClientHTTP> client(ClientHTTP::Create());
    Obj<TerminalProgressBar> bar(TerminalProgressBar::Create("get", 0));
    if (bar->IsOnTerminal())
        client->SetProgressBar(bar);
    const String url(options.m_Url.c_str());
    ErrorsHTTP status;
    if (options.m_Range.empty() && !options.m_Output.empty()) {
        // The library's own file download: nothing is written for a bad status.
        status = client->GetFile(url, String(options.m_Output.c_str()));
    } else {
        uint64_t first = 0;
        uint64_t last = 0;
        const bool ranged = ParseRange(options.m_Range, first, last);
        status = ranged ? client->OpenUrl(url, first, last) : client->OpenUrl(url);
        if (status == HTTPOk || status == HTTPPartialContent) {
            Output output(options.m_Output);
            if (!output.IsOpen()) {
                client->Disconnect();
                TerminalProgressBar::PrintLine("error: cannot create " + options.m_Output +
                                               ".part");
                return 1;
            }
            {
                Stream stream(output.m_File);
                status = client->ReceiveBody(stream);
            }
            if (status == HTTPOk && !output.Finish()) {
                TerminalProgressBar::PrintLine("error: cannot write " + options.m_Output);
                return 1;
            }
        }
    }
    bar = nullptr;
    return status == HTTPOk ? 0 : Fail(options, status);
}

} // namespace

void AddGetCommand(CLI::App& app, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* get = app.add_subcommand(
        "get", "Download over HTTP: the body to standard output or a file, a byte range, or the "
               "size and time of the remote file");
    get->add_option("URL", options->m_Url, "http://host[:port]/path")->required();
    CLI::Option* output =
        get->add_option("-o,--output", options->m_Output,
                        "File to write (written as FILE.part and renamed once complete)");
    CLI::Option* range = get->add_option("--range", options->m_Range,
                                         "Bytes FIRST-LAST only (both included); the server "
                                         "must serve ranges");
    get->add_flag("--info", options->m_Info,
                  "Print the size, the last modification time and whether ranges are served")
        ->excludes(output)
        ->excludes(range);
    get->callback([&action, options] {
        action = [options] {
            String host, name, path;
            int port = 0;
            if (!ClientHTTP::SplitUrl(String(options->m_Url.c_str()), host, name, port, path)) {
                std::fprintf(stderr, "error: %s: not a URL of the form http://host[:port]/path\n",
                             options->m_Url.c_str());
                return 2;
            }
            uint64_t first = 0;
            uint64_t last = 0;
            if (!options->m_Range.empty() && !ParseRange(options->m_Range, first, last)) {
                std::fprintf(stderr, "error: --range %s: expected FIRST-LAST byte offsets\n",
                             options->m_Range.c_str());
                return 2;
            }
            return options->m_Info ? Info(*options) : Get(*options);
        };
    });
}

} // namespace QuorlixTool
