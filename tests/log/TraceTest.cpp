#include "quorlix/log/Trace.h"

#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/log/internal/CrashLog.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

// The picture lines of the last CheckTrace: everything between the "<Trace" and "Trace>" lines.
std::vector<std::string> PictureLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = text.find(":\n", text.find("<Trace"));
    const size_t end = text.find("Trace>");
    for (size_t at = start + 2; at < end;) {
        const size_t next = text.find('\n', at);
        lines.push_back(text.substr(at, next - at));
        at = next + 1;
    }
    return lines;
}

} // namespace

TEST(Trace, PictureNestsEnterPositionAndLeavePoints) {
    std::string text;
    std::thread([&] {
        LogCapture capture(Xerr, 0);
        NewTrace("first");
        TraceTop_("second");
        TracePos_("third");
        TraceEnd_("second");
        CheckTrace("Test");
        EndTrace("first");
        text = capture.Text();
    }).join();
    EXPECT_NE(text.find("NewTrace: first T:"), std::string::npos);
    EXPECT_NE(text.find(" S:31.\n"), std::string::npos) << "the first free slot from the top";
    EXPECT_NE(text.find("<Trace Test for ThreadId=0x"), std::string::npos);
    EXPECT_NE(text.find(" (dead):\n"), std::string::npos) << "the calling thread is reported dead";
    const std::vector<std::string> expected = {"  003| | | | |\\first", "  002| | | | | |\\second",
                                               "  001| | | | | | | third",
                                               "  000| | | | | |/second"};
    EXPECT_EQ(PictureLines(text), expected);
}

TEST(Trace, RingKeepsTheLast256PointsOldestFirst) {
    static std::string s_Names[300];
    std::string text;
    std::thread([&] {
        NewTrace("start");
        for (int i = 0; i < 300; ++i) {
            s_Names[i] = "p" + std::to_string(i);
            TracePos_(s_Names[i].c_str());
        }
        LogCapture capture(Xerr, 0);
        CheckTrace("Ring");
        text = capture.Text();
        EndTrace("start");
    }).join();
    const std::vector<std::string> lines = PictureLines(text);
    ASSERT_EQ(lines.size(), 256u);
    EXPECT_EQ(lines.front(), "  255| | | | | p44");
    EXPECT_EQ(lines.back(), "  000| | | | | p299");
}

TEST(Trace, MisuseIsReportedAtItsLevel) {
    std::vector<std::string> messages;
    std::thread([&] {
        LogCapture capture; // "[Warn ]"-style tags
        TracePos_("stray");
        TraceTop_("stray enter");
        EndTrace("never started");
        NewTrace("twice");
        NewTrace("twice");
        EndTrace("twice");
        messages = capture.Messages();
    }).join();
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(messages[0], "[Warn ]Unexpected Trace from stray.");
    EXPECT_EQ(messages[1], "[Error]Unexpected Trace from stray enter.");
    EXPECT_EQ(messages[2], "[Error]Thread tracing was already disabled. never started.");
    EXPECT_EQ(messages.back(), "[Error]Thread tracing was already enabled. twice.");
}

TEST(Trace, The33rdThreadIsSkipped) {
    std::latch started(32), release(1);
    std::vector<std::thread> threads;
    for (int i = 0; i < 32; ++i) {
        threads.emplace_back([&] {
            NewTrace("worker");
            started.count_down();
            release.wait();
            EndTrace("worker");
        });
    }
    started.wait();
    std::vector<std::string> messages;
    std::thread([&] {
        LogCapture capture;
        NewTrace("extra");
        TracePos_("after");
        messages = capture.Messages();
    }).join();
    release.count_down();
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<std::string> expected = {"[Warn ]Too many Trace threads. Skipping extra.",
                                               "[Warn ]Unexpected Trace from after."};
    EXPECT_EQ(messages, expected);
}

namespace {

// A log pipe with `path` as its file, as InitLogStreams makes it.
Obj<StreamPipeLog> LogFile(const std::string& path) {
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    log->SetStreamPipe(StreamPipeFile::Create(path.c_str(), 23), StreamPipeLog::SlotFile);
    return log;
}

} // namespace

// The crash report's trace dump and lines, written without the stream, read exactly as Xerr's
// own: same prefixes, same call picture, in the file Xerr had.
TEST(Trace, CrashReportWritesXerrsTextToXerrsFile) {
    const QuorlixTest::TempDir dir;
    const std::string streamed = dir / "xerr", crashed = dir / "crash";
    const unsigned format = LogStream::SetLogFormat(LogStream::FormatDefault);
    NewTrace("CrashLogTest");
    TraceTop_("Outer");
    TracePos_("Inner");
    {
        Obj<StreamPipe> previous = Xerr.GetStreamPipe();
        Xerr.SetStreamPipe(LogFile(streamed));
        CheckTrace("CrashHandler");
        Xerr.pLockError() << "CrashHandler: returning";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        Xerr.SetStreamPipe(previous);
    }
    {
        Internal::PrepareCrashLog(LogFile(crashed));
        Internal::CrashLog log;
        Internal::CheckTraceForCrash("CrashHandler", log);
        log.Line(Internal::LogError, "CrashHandler: returning", 23);
        Internal::PrepareCrashLog(nullptr); // lets the file go
    }
    EndTrace("CrashLogTest");
    const std::string expected = QuorlixTest::ReadFileBytes(streamed);
    EXPECT_NE(expected.find("|\\Outer\n"), std::string::npos) << expected;
    EXPECT_EQ(QuorlixTest::ReadFileBytes(crashed), expected);

    // Without a file or console the report goes to standard error.
    testing::internal::CaptureStderr();
    Internal::CrashLog().Line(Internal::LogError, "alone", 5);
    char thread[16];
    std::snprintf(thread, sizeof thread, "%03X", Platform::CurrentThreadId());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[E|" + std::string(thread) + "] alone\n");
    LogStream::SetLogFormat(format);
}
