// The log streams: line prefixes under every format bit, whole messages from many threads, the
// start-up and shutdown of the log files with their markers, assertion and registry lines.

#include "quorlix/log/LogStream.h"
#include "quorlix/log/LogConsole.h"
#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/ReportStream.h"
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

// One error message "text" under `format`, as the pipe sees it with colours marked.
std::string ErrorLine(unsigned format) {
    LogCapture capture(Xerr, format, true);
    Xerr.pLockError() << "text";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return capture.Text();
}

// The first prefixes of the process, written with alternating brightness (before any prefix
// without it resets the alternation value).
std::string G_FirstAlternatingLines;

// The process's first prefix decides which thread has colour 0; the main thread writes it before
// any test, in whatever order they run, as the library's own start-up does. Before that it
// writes the lines that show the alternation from its initial value.
class MainThreadFirst : public testing::Environment {
    void SetUp() override {
        G_FirstAlternatingLines = ErrorLine(0x106);
        G_FirstAlternatingLines += ErrorLine(0x106);
        LogCapture capture(Xerr, 0x20);
        Xerr.pLockDebug();
        Xerr.pUnlockMessage();
    }
};
testing::Environment* const G_MainThreadFirst =
    testing::AddGlobalTestEnvironment(new MainThreadFirst);

TEST(LogStream, LinePrefixUnderEachFormat) {
    char id[16];
    std::snprintf(id, sizeof id, "%03X", Platform::CurrentThreadId());
    const std::pair<unsigned, std::string> rows[] = {
        // "[E|4A8]", a blank on the thread's background, the text in the level colour.
        {0x067, "{7/0}[{9/0}E{7/0}|{8/0}" + std::string(id) + "{7/0}]{7/0} {7/0}{9/0}text\n{7/0}"},
        {0x000, "text\n"},
        {0x001, "[]text\n"},
        {0x002, "{9/0}text\n{7/0}"},
        {0x004, "Etext\n"},
        {0x00C, "Errortext\n"},
        {0x008, "text\n"}, // the whole tag means nothing without the tag
        {0x020, std::string(id) + "text\n"},
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
    // Alternation toggles the value on every prefix and the level colour changes brightness
    // while the value is not 0. It starts at 2, so until a prefix without alternation sets it
    // to 0 every line is the other brightness (3, 2, 3, ...); afterwards lines take turns
    // (1, 0, 1, ...).
    EXPECT_EQ(G_FirstAlternatingLines, "{1/0}E{1/0}text\n{7/0}{1/0}E{1/0}text\n{7/0}");
    ErrorLine(0x006);
    EXPECT_EQ(ErrorLine(0x106), "{1/0}E{1/0}text\n{7/0}");
    EXPECT_EQ(ErrorLine(0x106), "{9/0}E{9/0}text\n{7/0}");
    EXPECT_EQ(ErrorLine(0x106), "{1/0}E{1/0}text\n{7/0}");
}

TEST(LogStream, MessagesOfManyThreadsNeverShareALine) {
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    Obj<StreamPipeMemory> file = StreamPipeMemory::Create();
    log->SetStreamPipe(file, StreamPipeLog::SlotFile);
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
    const std::string text(reinterpret_cast<const char*>(file->GetData()),
                           static_cast<size_t>(file->GetSize()));
    std::vector<int> next(k_Threads, 0);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::smatch match;
        const std::string one = text.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(one, match, line)) << one;
        // Each thread's messages arrive whole and in order.
        EXPECT_EQ(std::stoi(match[2]), next[std::stoul(match[1])]++);
    }
    EXPECT_EQ(next, std::vector<int>(k_Threads, k_Messages));
    EXPECT_EQ(start, text.size());
}

// The stream module's reports arrive in Xerr as whole messages with their level, whatever
// other threads report meanwhile.
TEST(LogStream, ReportsFromBelowArriveWholeWithTheirLevel) {
    LogCapture capture(Xerr);
    Xreport << "dropped: outside any message";
    Xreport.pLockNote() << "open";
    Xreport.pLockError() << "second " << 2; // hands the open one on first
    Xreport.pLF();
    Xreport.pUnlockMessage();
    Xreport.pUnlockMessage(); // nothing open: nothing to hand on
    EXPECT_EQ(capture.Messages(), (std::vector<std::string>{"[Note ]open", "[Error]second 2"}));

    constexpr int k_Threads = 4, k_Messages = 200;
    {
        LogCapture many(Xerr);
        std::vector<std::thread> threads;
        for (int t = 0; t < k_Threads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < k_Messages; ++i) {
                    Xreport.pLockWarn() << "thread " << t << " message " << i;
                    Xreport.pQuotedC("a\"b", 3, '"') << " end";
                    Xreport.pLF();
                    Xreport.pUnlockMessage();
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        const std::vector<std::string> messages = many.Messages();
        ASSERT_EQ(messages.size(), static_cast<size_t>(k_Threads * k_Messages));
        const std::regex whole(R"(\[Warn \]thread [0-3] message [0-9]+"a\\"b" end)");
        for (const std::string& message : messages)
            EXPECT_TRUE(std::regex_match(message, whole)) << message;
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
        const std::string longName(45, 'n');
        // The base name comes back, in either mode.
        bool ok =
            std::string(XpReg("src\\render/RenderPipe.cpp", "HKLM", "Engine")) == "RenderPipe.cpp";
        ok = ok && std::string(XpReg(longName.c_str(), "a", nullptr)) == longName;
        ok = ok && std::string(XpReg("dir/", "a", "b")).empty();
        ok = ok && XpReg(nullptr, "a", "b") == nullptr;
        std::vector<std::string> expected;
        if (verbose)
            expected = {"[Info ]REGENTRY: \"RenderPipe.cpp\"" + std::string(27, ' ') +
                            "[HKLM]      [Engine]",
                        "[Info ]REGENTRY: \"" + longName + "\" [a]      [(NULL)]",
                        "[Info ]REGENTRY: \"\"" + std::string(41, ' ') + "[a]      [b]"};
        std::_Exit(ok && capture.Messages() == expected ? 0 : 1);
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

    static void WriteBoth() {
        Xerr.pLockError() << "error";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        Xout << "output";
        Xout.pLF();
    }

    TempDir m_Dir;
    unsigned m_Format = 0;
};

TEST_F(LogFiles, MarkersTrackEachStartResetAndEnd) {
    const std::string err = m_Dir / "err.log", out = m_Dir / "out.log";
    InitLogStreams(false, false, err.c_str(), out.c_str(), -1, -1, false, false);
    WriteBoth();
    // A second start-up without reset keeps the files, even when given other names.
    InitLogStreams(false, false, (m_Dir / "other.log").c_str(), nullptr, -1, -1, false, false);
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "other.log"));
    // A reset ends the old file with its end marker and opens the file again.
    InitLogStreams(false, false, err.c_str(), nullptr, -1, -1, true, false);
    WriteBoth();
    DLLExitLogStreams();
    EXPECT_EQ(Xerr.GetStreamPipe(), StreamPipeNull::GetSingleton());
    EXPECT_EQ(ReadFileBytes(err), "[NEW/Xerr]\nerror\n[NEW/Xerr]\n[END/Xerr]\n[NEW/Xerr]\nerror\n"
                                  "[EOF/Xerr]\n");
    EXPECT_EQ(ReadFileBytes(out), "[NEW/Xout]\noutput\n[NEW/Xout]\n[NEW/Xout]\noutput\n"
                                  "[EOF/Xout]\n");
    // "View Log File" saves the console document beside the error log.
    EXPECT_EQ(std::string(GetLogDocumentPath().GetCPtr()), err + ".rtf");
}

TEST_F(LogFiles, EqualNamesShareOnePipe) {
    const std::string both = m_Dir / "both.log";
    InitLogStreams(false, false, both.c_str(), both.c_str(), -1, -1, false, false);
    EXPECT_EQ(dynamic_cast<StreamPipeLog&>(*Xerr.GetStreamPipe()).GetStreamPipe(0),
              dynamic_cast<StreamPipeLog&>(*Xout.GetStreamPipe()).GetStreamPipe(0));
    WriteBoth();
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(both),
              "[NEW/Xerr]\n[NEW/Xout]\nerror\noutput\n[EOF/Xout]\n[EOF/Xerr]\n");
}

TEST_F(LogFiles, ExistingLogsAreCutOrContinued) {
    const std::string err = m_Dir / "err.log", out = m_Dir / "out.log";
    const std::string old = "old line 1\nold line 2\nold line 3\n";
    // No limit: the new output follows the old content.
    WriteFileBytes(err, old);
    WriteFileBytes(out, old);
    InitLogStreams(false, false, err.c_str(), out.c_str(), -1, 15, false, false);
    DLLExitLogStreams();
    EXPECT_EQ(ReadFileBytes(err), old + "[NEW/Xerr]\n[EOF/Xerr]\n");
    // A limit: the last whole lines within it stay behind the cut marker.
    EXPECT_EQ(ReadFileBytes(out), "[CUT]\nold line 3\n[NEW/Xout]\n[EOF/Xout]\n");
}

} // namespace
