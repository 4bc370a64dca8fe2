#include "quorlix/net/ClientHTTP.h"

#include "quorlix/net/internal/HttpHeader.h"
#include "quorlix/platform/File.h"
#include "quorlix/script/ProgressBar.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeFile.h"

#include <charconv>
#include <memory>
#include <string>
#include <string_view>

namespace Quorlix {

namespace {

// ReceiveLine's buffer for the header lines; longer lines come in pieces.
constexpr int k_LineBuffer = 4096;
// Body blocks: large enough that a loopback download costs few calls per megabyte.
constexpr int k_BodyBlock = 64 * 1024;

std::string_view View(const StringRef& text) {
    return std::string_view(text.GetCPtr(), static_cast<size_t>(text.Size()));
}

bool IsServed(ErrorsHTTP status) {
    return status == HTTPOk || status == HTTPPartialContent;
}

void AppendNumber(std::string& text, uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

} // namespace

ClientHTTP* ClientHTTP::Create() {
    return NewObject<ClientHTTP>();
}

ClientHTTP::ClientHTTP() = default;

ClientHTTP::~ClientHTTP() = default;

bool ClientHTTP::SplitUrl(const StringRef& url, String& host, String& name, int& port,
                          String& path) {
    std::string text(View(url));
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            Internal::LogScriptError("ClientHTTP: a URL with control characters is refused.");
            return false;
        }
    }
    for (char& c : text)
        if (c == '\\')
            c = '/';
    std::string hostText = text;
    std::string pathText = "/";
    const size_t scheme = text.find("http://");
    if (scheme != std::string::npos) {
        const size_t start = scheme + 7;
        const size_t slash = text.find('/', start);
        hostText =
            text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (slash != std::string::npos)
            pathText = text.substr(slash);
    }
    // Blanks would end the request line's path early.
    std::string escaped;
    for (char c : pathText)
        escaped += c == ' ' ? std::string("%20") : std::string(1, c);
    std::string nameText = hostText;
    int portNumber = 80;
    const size_t colon = hostText.rfind(':');
    if (colon != std::string::npos) {
        nameText = hostText.substr(0, colon);
        const std::string digits = hostText.substr(colon + 1);
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), portNumber);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            portNumber < 1 || portNumber > 65535) {
            Internal::LogScriptError("ClientHTTP: the port of \"", hostText.c_str(),
                                     "\" is not a number from 1 to 65535.");
            return false;
        }
    }
    if (nameText.empty() || nameText.find(' ') != std::string::npos) {
        Internal::LogScriptError("ClientHTTP: no host name in \"", text.c_str(), "\".");
        return false;
    }
    host = String(hostText.c_str());
    name = String(nameText.c_str());
    port = portNumber;
    path = String(escaped.c_str());
    return true;
}

bool ClientHTTP::SendRequest(const StringRef& url, const char* method, bool ranged, uint64_t from,
                             uint64_t to) {
    m_Header = String();
    m_ContentLength = -1;
    m_StatusCode = -1;
    String name;
    int port = 80;
    if (!SplitUrl(url, m_UrlHost, name, port, m_Path))
        return false;
    if (!Connect(name, port))
        return false;
    // One send for the whole request: the lines would otherwise leave in as many packets.
    std::string request = method;
    request += ' ';
    request.append(View(m_Path));
    request += " HTTP/1.1\r\n";
    if (ranged) {
        request += "Range: bytes=";
        AppendNumber(request, from);
        request += '-';
        AppendNumber(request, to);
        request += "\r\n";
    }
    request += "Host: ";
    request.append(View(m_UrlHost));
    request += "\r\nUser-Agent: quorlix Agent\r\n";
    // The body ends where the connection does, also for servers that would keep it.
    request += "Connection: close\r\n\r\n";
    size_t sent = 0;
    while (sent < request.size()) {
        const int piece = Send(request.data() + sent, static_cast<int>(request.size() - sent));
        if (piece <= 0) {
            Internal::LogScriptError("ClientHTTP: cannot send the request to ", m_UrlHost.Ref(),
                                     ".");
            Disconnect();
            return false;
        }
        sent += static_cast<size_t>(piece);
    }
    return true;
}

ErrorsHTTP ClientHTTP::ReadResponse() {
    Internal::HttpResponseHeader header;
    char line[k_LineBuffer];
    for (;;) {
        const int n = ReceiveLine(line, k_LineBuffer, m_Timeout);
        if (!header.Add(line, n > 0 ? static_cast<size_t>(n) : 0))
            break;
    }
    m_Header = String(header.Text().data(), static_cast<int>(header.Text().size()));
    m_StatusCode = header.StatusLineCode();
    if (header.IsTooLong()) {
        Internal::LogScriptError("ClientHTTP: the response header of ", m_UrlHost.Ref(),
                                 " is longer than 64 KiB.");
        Disconnect();
        return HTTPUnknownResponse;
    }
    std::string value;
    uint64_t length = 0;
    if (header.Field("Content-Length", value)) {
        if (Internal::ParseHttpNumber(value, length))
            m_ContentLength = static_cast<int64_t>(length);
        else
            Internal::LogScriptWarn("ClientHTTP: the Content-Length of ", m_UrlHost.Ref(),
                                    " is not a number.");
    }
    return static_cast<ErrorsHTTP>(header.Status());
}

ErrorsHTTP ClientHTTP::Request(const StringRef& url, const char* method, bool ranged, uint64_t from,
                               uint64_t to) {
    if (!SendRequest(url, method, ranged, from, to))
        return HTTPConnectFailed;
    return ReadResponse();
}

int ClientHTTP::Read(char* buffer, int size) {
    return Receive(buffer, size, k_ReadTimeout);
}

ErrorsHTTP ClientHTTP::GetFileSize(const StringRef& url, uint64_t& size) {
    const ErrorsHTTP status = Request(url, "HEAD", false, 0, 0);
    Disconnect();
    if (status == HTTPOk && m_ContentLength >= 0)
        size = static_cast<uint64_t>(m_ContentLength);
    return status;
}

ErrorsHTTP ClientHTTP::CheckResume(const StringRef& url) {
    const ErrorsHTTP status = Request(url, "GET", true, 0, 1);
    Disconnect();
    return status == HTTPPartialContent || status == HTTPConnectFailed ? status : HTTPRangeRefused;
}

ErrorsHTTP ClientHTTP::GetFileInfo(const StringRef& url, HTTPFileInfo& info) {
    const ErrorsHTTP status = Request(url, "GET", true, 0, 1);
    Disconnect();
    if (status != HTTPOk && status != HTTPPartialContent)
        return status;
    const std::string_view header = View(m_Header);
    std::string value;
    info.m_Resumable = status == HTTPPartialContent ? 1 : 0;
    if (Internal::FindHttpField(header, "Last-Modified", value) &&
        !Internal::ParseHttpDate(value, info.m_LastModified))
        Internal::LogScriptWarn("ClientHTTP: the Last-Modified date of ", m_UrlHost.Ref(),
                                " cannot be read.");
    if (status == HTTPPartialContent) {
        uint64_t total = 0;
        if (Internal::FindHttpField(header, "Content-Range", value) &&
            Internal::ParseContentRangeTotal(value, total))
            info.m_Size = total;
        else
            Internal::LogScriptWarn("ClientHTTP: no total size in the Content-Range of ",
                                    m_UrlHost.Ref(), ".");
    } else if (m_ContentLength >= 0) {
        info.m_Size = static_cast<uint64_t>(m_ContentLength);
    }
    return HTTPOk;
}

ErrorsHTTP ClientHTTP::OpenUrl(const StringRef& url) {
    return Request(url, "GET", false, 0, 0);
}

ErrorsHTTP ClientHTTP::OpenUrl(const StringRef& url, uint64_t from, uint64_t to) {
    const ErrorsHTTP status = Request(url, "GET", true, from, to);
    if (status == HTTPPartialContent || status == HTTPConnectFailed)
        return status;
    Disconnect();
    return HTTPRangeRefused;
}

ErrorsHTTP ClientHTTP::ReceiveBody(Stream& stream) {
    StreamPipe& pipe = *stream.GetStreamPipe();
    const std::unique_ptr<char[]> block(new char[k_BodyBlock]);
    uint64_t total = 0;
    bool refused = false;
    for (;;) {
        int want = k_BodyBlock;
        if (m_ContentLength >= 0) {
            const uint64_t left = static_cast<uint64_t>(m_ContentLength) - total;
            if (left == 0)
                break;
            if (left < static_cast<uint64_t>(want))
                want = static_cast<int>(left);
        }
        const int got = Receive(block.get(), want, m_Timeout);
        if (got <= 0)
            break;
        if (WriteFully(pipe, block.get(), got) != got) {
            refused = true;
            break;
        }
        total += static_cast<uint64_t>(got);
        if (m_ProgressBar)
            m_ProgressBar->SetProgress(ProgressBar::Fraction(static_cast<double>(total),
                                                             static_cast<double>(m_ContentLength)));
    }
    stream.Flush();
    Disconnect();
    if (refused) {
        Internal::LogScriptError("ClientHTTP: the output refused the body of ", m_UrlHost.Ref(),
                                 m_Path.Ref(), " after ", total, " bytes.");
        return HTTPIncomplete;
    }
    if (m_ContentLength >= 0 && total < static_cast<uint64_t>(m_ContentLength)) {
        Internal::LogScriptError("ClientHTTP: the body of ", m_UrlHost.Ref(), m_Path.Ref(),
                                 " ended after ", total, " of ", m_ContentLength, " bytes.");
        return HTTPIncomplete;
    }
    return HTTPOk;
}

ErrorsHTTP ClientHTTP::Download(const StringRef& url, Stream& stream, bool ranged, uint64_t from,
                                uint64_t to) {
    const ErrorsHTTP status = Request(url, "GET", ranged, from, to);
    if (!IsServed(status)) {
        Disconnect();
        return status;
    }
    return ReceiveBody(stream);
}

ErrorsHTTP ClientHTTP::DownloadToFile(const StringRef& url, const StringRef& localPath, bool ranged,
                                      uint64_t from, uint64_t to) {
    const ErrorsHTTP status = Request(url, "GET", ranged, from, to);
    if (!IsServed(status)) {
        Disconnect();
        return status;
    }
    // The file is made only now, so a failed request leaves nothing behind.
    const String part = localPath + ".part";
    Obj<StreamPipeFile> file(StreamPipeFile::Create(part.GetCPtr(), IOWrite | 12));
    if (!file->IsOpen()) {
        Internal::LogScriptError("ClientHTTP: cannot create ", part.Ref(), ".");
        Disconnect();
        return HTTPIncomplete;
    }
    ErrorsHTTP result;
    {
        Stream stream(file);
        result = ReceiveBody(stream);
    }
    file = nullptr; // closes the file before it is renamed
    if (result != HTTPOk) {
        Internal::LogScriptError("ClientHTTP: ", localPath,
                                 " not written; the bytes received "
                                 "are in ",
                                 part.Ref(), ".");
        return result;
    }
    if (!Platform::ReplaceFile(part.GetCPtr(), localPath.GetCPtr())) {
        Internal::LogScriptError("ClientHTTP: cannot rename ", part.Ref(), " to ", localPath, ".");
        return HTTPIncomplete;
    }
    return HTTPOk;
}

ErrorsHTTP ClientHTTP::GetFile(const StringRef& url, const StringRef& localPath) {
    return DownloadToFile(url, localPath, false, 0, 0);
}

ErrorsHTTP ClientHTTP::GetFile(const StringRef& url, Stream& stream) {
    return Download(url, stream, false, 0, 0);
}

ErrorsHTTP ClientHTTP::PartialGetFile(const StringRef& url, const StringRef& localPath,
                                      uint64_t from, uint64_t to) {
    return DownloadToFile(url, localPath, true, from, to);
}

ErrorsHTTP ClientHTTP::PartialGetFile(const StringRef& url, Stream& stream, uint64_t from,
                                      uint64_t to) {
    return Download(url, stream, true, from, to);
}

ErrorsHTTP ClientHTTP::PartialGetFile(const StringRef& url, Stream& stream, uint64_t count) {
    const int64_t position = stream.Seek(0, SeekCurrent);
    const uint64_t from = position > 0 ? static_cast<uint64_t>(position) : 0;
    return Download(url, stream, true, from, from + count);
}

void ClientHTTP::SetProgressBar(ProgressBar* bar) {
    m_ProgressBar = bar;
}

} // namespace Quorlix
