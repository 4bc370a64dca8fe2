// The HTTP client against nginx (sizes, times, ranges, missing files, a 100 MiB download) and
// against scripted peers that ignore ranges, stall, cut bodies short or send garbage.

#include "quorlix/net/ClientHTTP.h"
#include "net/NetTestSupport.h"
#include "quorlix/script/ProgressBar.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string Text(const StreamPipeMemory& memory) {
    return std::string(reinterpret_cast<const char*>(memory.GetData()),
                       static_cast<size_t>(memory.GetSize()));
}

// The body of a download into memory, and its result.
std::pair<ErrorsHTTP, std::string> Fetch(ClientHTTP& client, const std::string& url) {
    Obj<StreamPipeMemory> memory(StreamPipeMemory::Create());
    Stream stream(memory);
    const ErrorsHTTP result = client.GetFile(String(url.c_str()), stream);
    return {result, Text(*memory)};
}

struct RecordingBar final : ProgressBar {
    void SetProgress(float fraction) override { m_Values.push_back(fraction); }
    std::vector<float> m_Values;
};

class ClientHTTPNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<LocalNginx>();
        if (LocalNginx::Program().empty())
            return;
        WriteFileBytes(s_Nginx->Root() + "/small.txt", "hello, world\n");
        WriteFileBytes(s_Nginx->Root() + "/pattern.bin", Pattern());
        // Sun, 29 Feb 2004 10:00:00 GMT
        const timespec times[2] = {{1078048800, 0}, {1078048800, 0}};
        ::utimensat(AT_FDCWD, (s_Nginx->Root() + "/pattern.bin").c_str(), times, 0);
        s_Started = s_Nginx->Start();
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        if (LocalNginx::Program().empty())
            GTEST_SKIP() << "nginx is not installed (make deps installs nginx-light)";
        ASSERT_TRUE(s_Started) << s_Nginx->ErrorLog();
        m_Client = ClientHTTP::Create();
    }
    static String Url(const std::string& path) { return String(s_Nginx->Url(path).c_str()); }

    static inline std::unique_ptr<LocalNginx> s_Nginx;
    static inline bool s_Started = false;
    Obj<ClientHTTP> m_Client;
    TempDir m_Dir;
};

TEST_F(ClientHTTPNginx, SizesTimesRangesAndBodies) {
    const std::string pattern = Pattern();
    uint64_t size = 0;
    EXPECT_EQ(m_Client->GetFileSize(Url("/small.txt"), size), HTTPOk);
    EXPECT_EQ(size, 13u);
    EXPECT_FALSE(m_Client->IsConnected());
    const auto [result, body] = Fetch(*m_Client, s_Nginx->Url("/pattern.bin"));
    EXPECT_EQ(result, HTTPOk);
    EXPECT_TRUE(body == pattern);
    EXPECT_EQ(m_Client->CheckResume(Url("/pattern.bin")), HTTPPartialContent);
    HTTPFileInfo info;
    EXPECT_EQ(m_Client->GetFileInfo(Url("/pattern.bin"), info), HTTPOk);
    EXPECT_EQ(info.m_Resumable, 1);
    EXPECT_EQ(info.m_Size, 20000u);
    EXPECT_EQ(info.m_LastModified, FileTime(1078048800));
    // Ranges, into memory and into a file; both ends are included.
    Obj<StreamPipeMemory> memory(StreamPipeMemory::Create());
    Stream stream(memory);
    EXPECT_EQ(m_Client->PartialGetFile(Url("/pattern.bin"), stream, 0, 99), HTTPOk);
    EXPECT_TRUE(Text(*memory) == pattern.substr(0, 100));
    // From the stream's position on: a resumed download.
    EXPECT_EQ(m_Client->PartialGetFile(Url("/pattern.bin"), stream, 50), HTTPOk);
    EXPECT_TRUE(Text(*memory) == pattern.substr(0, 151));
    const String path((m_Dir / "range.bin").c_str());
    EXPECT_EQ(m_Client->PartialGetFile(Url("/pattern.bin"), path, 19990, 30000), HTTPOk);
    EXPECT_TRUE(ReadFileBytes(path.GetCPtr()) == pattern.substr(19990));
    // The body read by hand after OpenUrl.
    EXPECT_EQ(m_Client->OpenUrl(Url("/small.txt"), 7, 11), HTTPPartialContent);
    char buffer[64] = {};
    EXPECT_EQ(m_Client->Read(buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(m_Client->OpenUrl(Url("/small.txt")), HTTPOk);
    EXPECT_EQ(m_Client->GetContentLength(), 13);
    m_Client->Disconnect();
}

TEST_F(ClientHTTPNginx, MissingFilesAreNotFoundAndWriteNothing) {
    const String path((m_Dir / "missing.bin").c_str());
    EXPECT_EQ(m_Client->GetFile(Url("/missing.bin"), path), HTTPNotFound);
    EXPECT_FALSE(std::filesystem::exists(path.GetCPtr()));
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "missing.bin.part"));
    uint64_t size = 77;
    EXPECT_EQ(m_Client->GetFileSize(Url("/missing.bin"), size), HTTPNotFound);
    EXPECT_EQ(size, 77u);
    HTTPFileInfo info;
    info.m_Size = 5;
    EXPECT_EQ(m_Client->GetFileInfo(Url("/missing.bin"), info), HTTPNotFound);
    EXPECT_EQ(info.m_Size, 5u);
    EXPECT_EQ(m_Client->CheckResume(Url("/missing.bin")), HTTPRangeRefused);
    EXPECT_FALSE(m_Client->IsConnected());
}

TEST_F(ClientHTTPNginx, DownloadsAHundredMebibytesWithProgress) {
    constexpr size_t k_Size = 100u << 20;
    std::string big(k_Size, '\0');
    for (size_t i = 0; i < k_Size; i += 4096)
        big[i] = static_cast<char>(i >> 12);
    WriteFileBytes(s_Nginx->Root() + "/big.bin", big);
    Obj<RecordingBar> bar(NewObject<RecordingBar>());
    m_Client->SetProgressBar(bar);
    const String path((m_Dir / "big.bin").c_str());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_Client->GetFile(Url("/big.bin"), path), HTTPOk);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    // Read in one piece: a byte-wise read is slow under the sanitizers.
    std::string copy(k_Size + 1, '\0');
    if (std::FILE* file = std::fopen(path.GetCPtr(), "rb")) {
        copy.resize(std::fread(copy.data(), 1, copy.size(), file));
        std::fclose(file);
    }
    EXPECT_TRUE(copy == big);
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "big.bin.part"));
    ASSERT_GT(bar->m_Values.size(), 100u);
    for (size_t i = 1; i < bar->m_Values.size(); ++i)
        ASSERT_GE(bar->m_Values[i], bar->m_Values[i - 1]);
    EXPECT_EQ(bar->m_Values.back(), 1.0f);
    m_Client->SetProgressBar(nullptr);
    std::filesystem::remove(s_Nginx->Root() + "/big.bin");
}

// The path of a request line ("GET /x HTTP/1.1").
std::string PathOf(const std::string& request) {
    const size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

// Waits until the client goes or five seconds pass.
void HoldUntilClosed(int socket) {
    pollfd entry{socket, POLLIN, 0};
    char byte;
    if (::poll(&entry, 1, 5000) > 0)
        (void)::recv(socket, &byte, 1, 0);
}

// The answer for each path: each misbehaves in its own way ("/silent" sends nothing).
std::string AnswerFor(const std::string& path) {
    std::string huge = "HTTP/1.1 200 OK\r\n";
    while (huge.size() < 80000)
        huge += "X-Filler: " + std::string(200, 'f') + "\r\n";
    const std::map<std::string, std::string> answers = {
        {"/ignores-ranges", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"},
        {"/no-blank-line", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"},
        {"/long-line", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(10000, 'l') +
                           "\r\nContent-Length: 2\r\n\r\nok"},
        {"/huge-header", huge + "\r\nbody"},
        {"/cut-body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(40, 'c')},
        {"/bad-length", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\nxyz"},
        {"/bad-range",
         "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/zz\r\n"
         "Last-Modified: Sun, 31 Apr 2004 10:00:00 GMT\r\nContent-Length: 2\r\n\r\nab"},
        {"/garbage", std::string("\x00\xff\x13 4o4?\x7f", 9) + std::string(5000, '\x01')},
        {"/bare-lf", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok"},
        {"/status-elsewhere", "HTTP/1.1 200 OK\r\nX-Id: 404\r\nContent-Length: 2\r\n\r\nok"},
        {"/no-status-line", "Server says 404\r\n\r\n"}};
    const auto found = answers.find(path);
    return found != answers.end() ? found->second
                                  : "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nroot";
}

void Misbehave(int socket, const std::string& request) {
    const std::string path = PathOf(request);
    if (path == "/silent")
        HoldUntilClosed(socket);
    else
        ScriptedPeer::SendAll(socket, AnswerFor(path));
}

class ClientHTTPPeer : public ::testing::Test {
protected:
    void SetUp() override {
        m_Client = ClientHTTP::Create();
        m_Client->SetTimeout(1);
    }
    String Url(const std::string& path) const { return String(m_Peer.Url(path).c_str()); }

    LogCapture m_Capture;
    ScriptedPeer m_Peer{&Misbehave};
    Obj<ClientHTTP> m_Client;
    TempDir m_Dir;
};

TEST_F(ClientHTTPPeer, AServerThatIgnoresRangesIsNoResumeButStillInformation) {
    EXPECT_EQ(m_Client->CheckResume(Url("/ignores-ranges")), HTTPRangeRefused);
    HTTPFileInfo info;
    info.m_Resumable = 1;
    EXPECT_EQ(m_Client->GetFileInfo(Url("/ignores-ranges"), info), HTTPOk);
    EXPECT_EQ(info.m_Resumable, 0);
    EXPECT_EQ(info.m_Size, 5u);
    EXPECT_EQ(m_Client->OpenUrl(Url("/ignores-ranges"), 0, 1), HTTPRangeRefused);
    EXPECT_FALSE(m_Client->IsConnected());
    // The request as sent: request line, range, host with its port, agent.
    const std::string request = m_Peer.Requests().front();
    EXPECT_EQ(request, "GET /ignores-ranges HTTP/1.1\r\nRange: bytes=0-1\r\nHost: 127.0.0.1:" +
                           std::to_string(m_Peer.Port()) +
                           "\r\nUser-Agent: quorlix Agent\r\nConnection: close\r\n\r\n");
}

TEST_F(ClientHTTPPeer, BadHeadersAndBodiesEndWithTheirDocumentedResults) {
    const auto fetch = [&](const char* path) { return Fetch(*m_Client, m_Peer.Url(path)); };
    EXPECT_EQ(fetch("/long-line"), std::make_pair(HTTPOk, std::string("ok")));
    EXPECT_EQ(fetch("/bare-lf"), std::make_pair(HTTPOk, std::string("ok")));
    EXPECT_EQ(fetch("/status-elsewhere"), std::make_pair(HTTPOk, std::string("ok")));
    EXPECT_EQ(fetch("/no-status-line").first, HTTPNotFound);
    EXPECT_EQ(fetch("/huge-header"), std::make_pair(HTTPUnknownResponse, std::string()));
    EXPECT_EQ(fetch("/garbage").first, HTTPUnknownResponse);
    // A Content-Length that is no number: the body runs to the close.
    EXPECT_EQ(fetch("/bad-length"), std::make_pair(HTTPOk, std::string("xyz")));
    // Headers that stop short, and bodies that do.
    EXPECT_EQ(fetch("/no-blank-line"), std::make_pair(HTTPIncomplete, std::string()));
    EXPECT_EQ(fetch("/cut-body"), std::make_pair(HTTPIncomplete, std::string(40, 'c')));
    // A server that never answers: the time-out ends the request.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch("/silent").first, HTTPUnknownResponse);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    // A cut body is no file: the bytes stay in the .part file, the name stays free.
    const String path((m_Dir / "cut.bin").c_str());
    EXPECT_EQ(m_Client->GetFile(Url("/cut-body"), path), HTTPIncomplete);
    EXPECT_FALSE(std::filesystem::exists(path.GetCPtr()));
    EXPECT_EQ(ReadFileBytes(m_Dir / "cut.bin.part"), std::string(40, 'c'));
    EXPECT_NE(m_Capture.Text().find("ended after 40 of 100 bytes"), std::string::npos);
    // A range total and a date that are not what they claim leave the info as it was.
    HTTPFileInfo info;
    info.m_Size = 9;
    info.m_LastModified = 99;
    EXPECT_EQ(m_Client->GetFileInfo(Url("/bad-range"), info), HTTPOk);
    EXPECT_EQ(info.m_Resumable, 1);
    EXPECT_EQ(info.m_Size, 9u);
    EXPECT_EQ(info.m_LastModified, 99u);
}

TEST_F(ClientHTTPPeer, UrlsAreSplitCheckedAndNeverCarryHeaders) {
    String host, name, path;
    int port = 0;
    EXPECT_TRUE(
        ClientHTTP::SplitUrl(String("http://files.example:8080/a\\b c"), host, name, port, path));
    EXPECT_EQ(host, "files.example:8080");
    EXPECT_EQ(name, "files.example");
    EXPECT_EQ(port, 8080);
    EXPECT_EQ(path, "/a/b%20c");
    EXPECT_TRUE(ClientHTTP::SplitUrl(String("http://files.example"), host, name, port, path));
    EXPECT_EQ(port, 80);
    EXPECT_EQ(path, "/");
    EXPECT_TRUE(ClientHTTP::SplitUrl(String("files.example"), host, name, port, path));
    EXPECT_EQ(name, "files.example");
    EXPECT_EQ(path, "/");
    for (const char* bad :
         {"http://h:0/", "http://h:65536/", "http://h:x/", "http://h:/", "http:///path",
          "http://h/a\r\nX-Evil: 1", "http://h/\x01", "http://h/\x7f"})
        EXPECT_FALSE(ClientHTTP::SplitUrl(String(bad), host, name, port, path)) << bad;

    // Refused URLs never reach the server; a bare host asks for "/".
    const std::string evil = m_Peer.Url("/x") + " HTTP/1.1\r\nX-Evil: 1\r\n\r\n";
    EXPECT_EQ(m_Client->OpenUrl(String(evil.c_str())), HTTPConnectFailed);
    EXPECT_EQ(m_Client->OpenUrl(String(("127.0.0.1:" + std::to_string(m_Peer.Port())).c_str())),
              HTTPOk);
    m_Client->Disconnect();
    ASSERT_EQ(m_Peer.Requests().size(), 1u);
    EXPECT_EQ(m_Peer.Requests().front().substr(0, 16), "GET / HTTP/1.1\r\n");
    // Nothing listens on a fresh port.
    EXPECT_EQ(m_Client->OpenUrl(
                  String(("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/").c_str())),
              HTTPConnectFailed);
}

} // namespace
