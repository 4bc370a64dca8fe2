// The log streams: line prefixes under every format bit, whole messages from many threads, the
// start-up and shutdown of the log files with their markers, assertion and registry lines.

#include "quorlix/core/LogStream.h"
#include "quorlix/core/LogConsole.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeLog.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string ThreadHex(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "%03X", id);
    return text;
}

// One error message "text" under `format`, as the pipe sees it with colours marked.
std::string ErrorLine(unsigned format) {
    LogCapture capture(Xerr, format, true);
    Xerr.pLockError() << "text";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return capture.Text();
}

// The process's first prefix decides which thread has colour 0; these tests make it the main
// thread's, as the library's own start-up does.
void FirstPrefixOnThisThread() {
    LogCapture capture(Xerr, 0x20);
    Xerr.pLockDebug();
    Xerr.pUnlockMessage();
}

TEST(LogStream, DefaultPrefixAndNoPrefix) {
    FirstPrefixOnThisThread();
    const std::string id = ThreadHex(Platform::CurrentThreadId());
    // "[E|4A8]", a blank on the thread's background, the text in the level colour.
    EXPECT_EQ(ErrorLine(0x67),
              "{7/0}[{9/0}E{7/0}|{8/0}" + id + "{7/0}]{7/0} {7/0}{9/0}text\n{7/0}");
    const unsigned old = LogStream::SetLogFormat(0);
    EXPECT_EQ(old, 0x67u);
    EXPECT_EQ(ErrorLine(0), "text\n");
    EXPECT_EQ(LogStream::SetLogFormat(old), 0u);

    // Every level with its tag and colour.
    LogCapture capture(Xerr, 0x0F, true);
    const std::pair<Stream& (LogStream::*)(), const char*> levels[] = {
        {&LogStream::pLockDebug, "{7/0}[{12/0}Debug{7/0}]{12/0}"},
        {&LogStream::pLockInfo, "{7/0}[{10/0}Info {7/0}]{10/0}"},
        {&LogStream::pLockNote, "{7/0}[{14/0}Note {7/0}]{14/0}"},
        {&LogStream::pLockWarn, "{7/0}[{11/0}Warn {7/0}]{11/0}"},
        {&LogStream::pLockError, "{7/0}[{9/0}Error{7/0}]{9/0}"},
        {&LogStream::pLockFatal, "{7/0}[{15/0}FATAL{7/0}]{15/0}"}};
    std::string expected;
    for (const auto& [lock, prefix] : levels) {
        (Xerr.*lock)() << "m";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        expected += std::string(prefix) + "m\n{7/0}";
    }
    EXPECT_EQ(capture.Text(), expected);
}

TEST(LogStream, EachFormatBitOnItsOwn) {
    FirstPrefixOnThisThread();
    const std::string id = ThreadHex(Platform::CurrentThreadId());
    const std::pair<unsigned, std::string> rows[] = {
        {0x001, "[]text\n"},
        {0x002, "{9/0}text\n{7/0}"},
        {0x004, "Etext\n"},
        {0x00C, "Errortext\n"},
        {0x008, "text\n"}, // the whole tag means nothing without the tag
        {0x020, id + "text\n"},
        {0x024, "E|" + id + "text\n"},
        {0x021, "[" + id + "]text\n"},
        {0x040, "{7/0} {7/0}text\n"},
        {0x080, "# text\n"},
        {0x100, "text\n"}, // alternation shows only in colours
    };
    for (const auto& [format, line] : rows)
        EXPECT_EQ(ErrorLine(format), line) << std::hex << format;
    // The time of day in UTC, with milliseconds.
    const std::string timed = ErrorLine(0x010);
    EXPECT_TRUE(
        std::regex_match(timed, std::regex(R"(\|([01]\d|2[0-3]):[0-5]\d:[0-5]\d\.\d{3}text\n)")))
        << timed;
    const std::string coloured = ErrorLine(0x036);
    EXPECT_TRUE(
        std::regex_match(coloured, std::regex(R"(\{9/0\}E\{7/0\}\|\{8/0\}\d\d:\d\d:\d\d\.\d{3})"
                                              R"(\{7/0\}\|\{8/0\})" +
                                              id + R"(\{9/0\}text\n\{7/0\})")))
        << coloured;
}

TEST(LogStream, AlternationTogglesBrightnessOnEveryPrefix) {
    ErrorLine(0x006); // a prefix without the flag starts the alternation afresh
    EXPECT_EQ(ErrorLine(0x106), "{1/0}E{1/0}text\n{7/0}");
    EXPECT_EQ(ErrorLine(0x106), "{9/0}E{9/0}text\n{7/0}");
    EXPECT_EQ(ErrorLine(0x106), "{1/0}E{1/0}text\n{7/0}");
    EXPECT_EQ(ErrorLine(0x006), "{9/0}E{9/0}text\n{7/0}");
}

TEST(LogStream, ThreadColoursAreRelativeToTheFirstThread) {
    FirstPrefixOnThisThread();
    const uint32_t mainId = Platform::CurrentThreadId();
    std::string line;
    uint32_t otherId = 0;
    // Threads until one gets another colour than the main thread (ids come in runs of four).
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::thread([&] {
            otherId = Platform::CurrentThreadId();
            line = ErrorLine(0x0C0);
        }).join();
        if (((otherId >> 2) & 15) != ((mainId >> 2) & 15))
            break;
    }
    const int colour = static_cast<int>(((otherId >> 2) & 15) ^ ((mainId >> 2) & 15));
    ASSERT_NE(colour, 0);
    EXPECT_EQ(line, "{7/" + std::to_string(colour) + "} {7/0}" +
                        std::string(static_cast<size_t>(2 * colour), ' ') + "# text\n");
}

TEST(LogStream, MessagesOfManyThreadsNeverShareALine) {
    FirstPrefixOnThisThread();
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    Obj<StreamPipeMemory> file = StreamPipeMemory::Create();
    Obj<StreamPipeMemory> console = StreamPipeMemory::Create();
    log->SetStreamPipe(file, StreamPipeLog::SlotFile);
    log->SetStreamPipe(console, StreamPipeLog::SlotConsole);
    LogStream stream(log);
    const unsigned old = LogStream::SetLogFormat(0x67);
    constexpr int k_Threads = 4, k_Messages = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < k_Threads; ++t) {
        threads.emplace_back([&, t] {
            for (int m = 0; m < k_Messages; ++m) {
                // Many small writes per message give other threads every chance to cut in.
                stream.pLockWarn() << "thread " << t << " message " << m;
                for (int piece = 0; piece < 5; ++piece)
                    stream << ' ' << piece;
                stream.pLF();
                stream.pUnlockMessage();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    LogStream::SetLogFormat(old);
    const std::regex line(R"(\[W\|[0-9A-F]{3,}\] thread (\d) message (\d+) 0 1 2 3 4)");
    for (StreamPipeMemory* pipe : {file.Get(), console.Get()}) {
        const std::string text(reinterpret_cast<const char*>(pipe->GetData()),
                               static_cast<size_t>(pipe->GetSize()));
        std::vector<int> next(k_Threads, 0);
        size_t start = 0, lines = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::smatch match;
            const std::string one = text.substr(start, end - start);
            ASSERT_TRUE(std::regex_match(one, match, line)) << one;
            // Each thread's messages arrive whole and in order.
            EXPECT_EQ(std::stoi(match[2]), next[std::stoul(match[1])]++);
            ++lines;
        }
        EXPECT_EQ(lines, size_t{k_Threads * k_Messages});
        EXPECT_EQ(start, text.size());
    }
}

TEST(LogStream, AssertionReport) {
    LogCapture capture;
    XpAssert("count > 0", "src/quorlix/core/Loader.cpp", 217);
    // Without a debugger the report is all that happens; the process goes on.
    EXPECT_EQ(capture.Messages(),
              std::vector<std::string>{"[Error]\nASSERTION: count > 0\n"
                                       "     FILE: src/quorlix/core/Loader.cpp\n"
                                       "     LINE: 217"});
}

// XPREGVERBOSE is looked up once per process, so each setting runs in a process of its own.
TEST(LogStream, RegistryEntriesOnlyWhenAskedFor) {
    const auto run = [](bool verbose) {
        if (verbose)
            ::setenv("XPREGVERBOSE", "", 1);
        else
            ::unsetenv("XPREGVERBOSE");
        LogCapture capture;
        const char* path = "src\\render/RenderPipe.cpp";
        bool ok = std::string(XpReg(path, "HKLM", "Engine")) == "RenderPipe.cpp";
        const std::string longName(45, 'n');
        ok = ok && std::string(XpReg(longName.c_str(), "a", nullptr)) == longName;
        ok = ok && std::string(XpReg("dir/", "a", "b")).empty();
        ok = ok && XpReg(nullptr, "a", "b") == nullptr;
        std::vector<std::string> expected;
        if (verbose)
            expected = {"[Info ]REGENTRY: \"RenderPipe.cpp\"" + std::string(27, ' ') +
                            "[HKLM]      [Engine]",
                        "[Info ]REGENTRY: \"" + longName + "\" [a]      [(NULL)]",
                        "[Info ]REGENTRY: \"\"" + std::string(41, ' ') + "[a]      [b]"};
        const std::vector<std::string> messages = capture.Messages();
        for (const std::string& message : messages)
            std::fprintf(stderr, "%s\n", message.c_str());
        std::_Exit(ok && messages == expected ? 0 : 1);
    };
    EXPECT_EXIT(run(true), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(run(false), testing::ExitedWithCode(0), "");
}

// The log streams of the process: every test leaves them on the null pipe as it found them.
class LogFiles : public testing::Test {
protected:
    void SetUp() override { m_Format = LogStream::SetLogFormat(0); }
    void TearDown() override {
        DLLExitLogStreams();
        LogStream::SetLogFormat(m_Format);
    }

    static StreamPipeLog& LogPipe(LogStream& stream) {
        return dynamic_cast<StreamPipeLog&>(*stream.GetStreamPipe());
    }
    static void WriteError(const char* text) {
        Xerr.pLockError() << text;
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }

    TempDir m_Dir;
    unsigned m_Format = 0;
};

TEST_F(LogFiles, BeforeStartUpOutputIsDiscarded) {
    EXPECT_EQ(Xerr.GetStreamPipe(), StreamPipeNull::GetSingleton());
    EXPECT_EQ(Xout.GetStreamPipe(), StreamPipeNull::GetSingleton());
    EXPECT_EQ(Xnil.GetStreamPipe(), StreamPipeNull::GetSingleton());
    WriteError("lost");
    // With nothing asked for, start-up gives log pipes that hold only the markers.
    InitLogStreams(false, false, nullptr, nullptr, -1, -1, false, false);
    EXPECT_EQ(LogPipe(Xerr).GetStreamPipe(0), nullptr);
    EXPECT_EQ(LogPipe(Xerr).GetStreamPipe(1), nullptr);
    EXPECT_EQ(LogPipe(Xout).GetStreamPipe(0), nullptr);
    EXPECT_EQ(Xnil.GetStreamPipe(), StreamPipeNull::GetSingleton());
}

TEST_F(LogFiles, MarkersTrackEachStartResetAndEnd) {
    const std::string err = m_Dir / "err.log", out = m_Dir / "out.log";
    InitLogStreams(false, false, err.c_str(), out.c_str(), -1, -1, false, false);
    WriteError("first");
    Xout << "output";
    Xout.pLF();
    // A second start-up without reset keeps the files, even when given other names.
    InitLogStreams(false, false, (m_Dir / "other.log").c_str(), nullptr, -1, -1, false, false);
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "other.log"));
    // A reset ends the old file's part and opens the file again.
    InitLogStreams(false, false, err.c_str(), nullptr, -1, -1, true, false);
    WriteError("second");
    StreamPipe* errPipe = Xerr.GetStreamPipe();
    DLLExitLogStreams();
    EXPECT_EQ(Xerr.GetStreamPipe(), StreamPipeNull::GetSingleton());
    EXPECT_EQ(Xout.GetStreamPipe(), StreamPipeNull::GetSingleton());
    EXPECT_NE(errPipe, StreamPipeNull::GetSingleton());
    EXPECT_EQ(ReadFileBytes(err), "[NEW/Xerr]\nfirst\n[NEW/Xerr]\n[END/Xerr]\n[NEW/Xerr]\nsecond\n"
                                  "[EOF/Xerr]\n");
    EXPECT_EQ(ReadFileBytes(out), "[NEW/Xout]\noutput\n[NEW/Xout]\n[NEW/Xout]\n[EOF/Xout]\n");
    // "View Log File" saves the console document beside the error log.
    EXPECT_EQ(std::string(GetLogDocumentPath().GetCPtr()), err + ".rtf");
}

TEST_F(LogFiles, EqualNamesShareOneFile) {
    const std::string both = m_Dir / "both.log";
    InitLogStreams(false, false, both.c_str(), both.c_str(), -1, -1, false, false);
    EXPECT_EQ(LogPipe(Xerr).GetStreamPipe(0), LogPipe(Xout).GetStreamPipe(0));
    WriteError("error");
    Xout << "output";
    Xout.pLF();
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(both),
              "[NEW/Xerr]\n[NEW/Xout]\nerror\noutput\n[EOF/Xout]\n[EOF/Xerr]\n");
}

TEST_F(LogFiles, ExistingLogsAreCutOrContinued) {
    const std::string err = m_Dir / "err.log", out = m_Dir / "out.log";
    const std::string old = "old line 1\nold line 2\nold line 3\n";
    // No limit: nothing is cut and the new output follows the old content.
    WriteFileBytes(err, old);
    InitLogStreams(false, false, err.c_str(), nullptr, -1, -1, false, false);
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(err), old + "[NEW/Xerr]\n[EOF/Xerr]\n");
    // A limit: the last whole lines within it stay behind the cut marker.
    WriteFileBytes(err, old);
    WriteFileBytes(out, old);
    InitLogStreams(false, false, err.c_str(), out.c_str(), 15, 11, false, false);
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(err), "[CUT]\nold line 3\n[NEW/Xerr]\n[EOF/Xerr]\n");
    EXPECT_EQ(ReadFileBytes(out), "[CUT]\n[NEW/Xout]\n[EOF/Xout]\n");
    // 0 empties the file, without a marker; a file within the limit stays as it is.
    WriteFileBytes(err, old);
    WriteFileBytes(out, old);
    InitLogStreams(false, false, err.c_str(), out.c_str(), 0, 1000, false, false);
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(err), "[NEW/Xerr]\n[EOF/Xerr]\n");
    EXPECT_EQ(ReadFileBytes(out), old + "[NEW/Xout]\n[EOF/Xout]\n");
    // A missing file is created.
    InitLogStreams(false, false, (m_Dir / "new.log").c_str(), nullptr, 100, -1, false, false);
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(m_Dir / "new.log"), "[NEW/Xerr]\n[EOF/Xerr]\n");
}

TEST_F(LogFiles, ConsolesAreTheStandardHandles) {
    InitLogStreams(true, true, nullptr, nullptr, -1, -1, false, false);
    Obj<StreamPipeFile> errConsole = dynamic_cast<StreamPipeFile*>(LogPipe(Xerr).GetStreamPipe(1));
    auto* outConsole = dynamic_cast<StreamPipeFile*>(LogPipe(Xout).GetStreamPipe(1));
    ASSERT_TRUE(errConsole);
    ASSERT_NE(outConsole, nullptr);
    EXPECT_EQ(errConsole->GetKind(), StreamPipeFile::KindStandardError);
    EXPECT_EQ(outConsole->GetKind(), StreamPipeFile::KindStandardOutput);
    // Kept without a reset, replaced with one.
    InitLogStreams(true, true, nullptr, nullptr, -1, -1, false, false);
    EXPECT_EQ(LogPipe(Xerr).GetStreamPipe(1), errConsole.Get());
    InitLogStreams(true, false, nullptr, nullptr, -1, -1, true, true);
    EXPECT_NE(LogPipe(Xerr).GetStreamPipe(1), nullptr);
    EXPECT_NE(LogPipe(Xerr).GetStreamPipe(1), errConsole.Get());
    EXPECT_EQ(LogPipe(Xout).GetStreamPipe(1), nullptr);
}

TEST_F(LogFiles, AStreamOnAHostPipeGetsOnlyTheMarkers) {
    {
        LogCapture capture(Xerr, 0);
        InitLogStreams(false, false, (m_Dir / "err.log").c_str(), nullptr, -1, -1, true, false);
        EXPECT_EQ(capture.Text(), "[NEW/Xerr]\n");
        EXPECT_FALSE(std::filesystem::exists(m_Dir / "err.log"));
    }
    EXPECT_EQ(Xerr.GetStreamPipe(), StreamPipeNull::GetSingleton());
}

} // namespace
