// The unbuffered file pipe on its own: opening, warnings, standard handles, colours, the break
// signal. What every pipe shares is in StreamPipeConformanceTest.cpp.

#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/core/Library.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string ReadAllFrom(StreamPipe& pipe) {
    std::string text;
    for (int byte; (byte = pipe.Read()) >= 0;)
        text += static_cast<char>(byte);
    return text;
}

TEST(StreamPipeFile, MissingFileReadsAsEmptyAndTakesNothing) {
    TempDir dir;
    Obj<StreamPipeFile> pipe = StreamPipeFile::Create((dir / "missing").c_str(), IOReadDefault);
    EXPECT_FALSE(pipe->IsOpen());
    char buffer[4];
    EXPECT_EQ(pipe->Read(), -1);
    EXPECT_EQ(pipe->Read(buffer, 4), 0);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
    EXPECT_EQ(pipe->Write("abc", 3), 0);
    EXPECT_FALSE(pipe->Truncate());
    uint64_t created = 1, accessed = 1, written = 1;
    pipe->GetFileTime(created, accessed, written);
    EXPECT_EQ(created + accessed + written, 0u);
    EXPECT_FALSE(Obj<StreamPipeFile>(StreamPipeFile::Create(nullptr, IOReadDefault))->IsOpen());
    EXPECT_FALSE(
        Obj<StreamPipeFile>(StreamPipeFile::Create(dir.Path().c_str(), IOReadDefault))->IsOpen());
}

TEST(StreamPipeFile, OpensWithEveryDisposition) {
    TempDir dir;
    const std::string path = dir / "f";
    const auto open = [&](unsigned mode) {
        return Obj<StreamPipeFile>(StreamPipeFile::Create(path.c_str(), mode));
    };
    EXPECT_FALSE(open(3 | 0)->IsOpen()); // open existing
    EXPECT_FALSE(open(3 | 8)->IsOpen()); // truncate existing
    EXPECT_TRUE(open(3 | 4)->IsOpen());  // create new
    EXPECT_FALSE(open(3 | 4)->IsOpen()); // ... but not twice
    WriteFileBytes(path, "content");
    EXPECT_EQ(ReadAllFrom(*open(1 | 16)), "content");
    EXPECT_EQ(ReadAllFrom(*open(3 | 20)), "content"); // open always keeps the content
    EXPECT_FALSE(open(1 | 8)->IsOpen());              // truncating needs write access
    EXPECT_EQ(ReadFileBytes(path), "content");
    EXPECT_TRUE(open(3 | 24)->IsOpen());
    EXPECT_EQ(ReadFileBytes(path), "");
    WriteFileBytes(path, "content");
    EXPECT_TRUE(open(2 | 28)->IsOpen()); // create always truncates
    EXPECT_EQ(ReadFileBytes(path), "");
    std::filesystem::remove(path);
    EXPECT_TRUE(open(2 | 20)->IsOpen()); // open always creates
    EXPECT_TRUE(std::filesystem::exists(path));
    Obj<StreamPipeFile> readOnly = open(IOReadDefault);
    EXPECT_EQ(readOnly->Write("x", 1), 0);
}

TEST(StreamPipeFile, BackslashIsWarnedAboutAndTakenForSlash) {
    TempDir dir;
    WriteFileBytes(dir / "sub/file.txt", "text");
    LogCapture capture;
    const std::string path = dir.Path() + "/sub\\file.txt";
    EXPECT_EQ(ReadAllFrom(*Obj<StreamPipeFile>(StreamPipeFile::Create(path.c_str(), 1))), "text");
    ASSERT_EQ(capture.Messages().size(), 1u);
    EXPECT_EQ(capture.Messages()[0], "[Warn ]StreamPipeFile::StreamPipeFile: path \"" + dir.Path() +
                                         "/sub\\\\file.txt\" contains incorrect '\\' character.");
    // The path is quoted with escapes.
    Obj<StreamPipeFile>(StreamPipeFile::Create("a\\\xE9\"\n", 1))->IsOpen();
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1],
              "[Warn ]StreamPipeFile::StreamPipeFile: path \"a\\\\\\xE9\\\"\\n\" "
              "contains incorrect '\\' character.");
}

TEST(StreamPipeFile, CaseMismatchOpensAndWarnsForTheLastDifferingComponent) {
    TempDir dir;
    WriteFileBytes(dir / "Data/Sub/File.txt", "found");
    const auto warning = [&](const std::string& path, const char* disc) {
        return "[Warn ]StreamPipeFile: file case mismatch:\n file: \"" + path + "\"\n disc: \"" +
               disc + "\".";
    };
    const auto open = [&](const std::string& path, unsigned mode) {
        LogCapture capture;
        Obj<StreamPipeFile> pipe = StreamPipeFile::Create(path.c_str(), mode);
        const std::string text = ReadAllFrom(*pipe);
        return std::make_pair(text, capture.Messages());
    };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(open(dir / "Data/Sub/File.txt", 1), std::make_pair(std::string("found"), Lines{}));
    std::string path = dir / "data/SUB/File.txt";
    EXPECT_EQ(open(path, 1), std::make_pair(std::string("found"), Lines{warning(path, "Sub")}));
    path = dir / "DATA/sub/file.TXT";
    EXPECT_EQ(open(path, 1),
              std::make_pair(std::string("found"), Lines{warning(path, "File.txt")}));
    path = dir / "data/./Sub/../Sub/File.txt";
    EXPECT_EQ(open(path, 1), std::make_pair(std::string("found"), Lines{warning(path, "Data")}));
    EXPECT_EQ(open(dir / "data/Sub/Missing.txt", 1), std::make_pair(std::string(), Lines{}));
    // Creating inside a folder of other case creates there.
    path = dir / "DATA/Sub/new.txt";
    EXPECT_EQ(open(path, 14).second, Lines{warning(path, "Data")});
    EXPECT_TRUE(std::filesystem::exists(dir / "Data/Sub/new.txt"));
    // Of several candidates the byte-wise smallest name wins, whatever the folder's order.
    WriteFileBytes(dir / "Data/Sub/FILE.txt", "upper");
    path = dir / "Data/Sub/file.txt";
    EXPECT_EQ(open(path, 1),
              std::make_pair(std::string("upper"), Lines{warning(path, "FILE.txt")}));
}

TEST(StreamPipeFile, ReadGivesWhatOneSystemReadGives) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    // Read and write access: opening a FIFO so does not wait for a partner.
    Obj<StreamPipeFile> pipe = StreamPipeFile::Create((dir / "fifo").c_str(), 3);
    ASSERT_EQ(pipe->Write("12345", 5), 5);
    char buffer[100];
    EXPECT_EQ(pipe->Read(buffer, 100), 5);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
}

TEST(StreamPipeFile, StandardNamesUseTheStandardHandlesAndLeaveThemOpen) {
    for (const char* name : {"1>", "2>", "1>console", "2>console"}) {
        const int kind =
            name[0] == '1' ? StreamPipeFile::KindStandardOutput : StreamPipeFile::KindStandardError;
        EXPECT_EQ(Obj<StreamPipeFile>(StreamPipeFile::Create(name, 20))->GetKind(), kind) << name;
    }
    EXPECT_EQ(Obj<StreamPipeFile>(StreamPipeFile::Create("1>x", 1))->GetKind(),
              StreamPipeFile::KindFile);
    EXPECT_NE(::fcntl(1, F_GETFD), -1);
    EXPECT_NE(::fcntl(2, F_GETFD), -1);
}

TEST(StreamPipeFile, ClosedStandardHandlesGiveLogFiles) {
    TempDir dir;
    EXPECT_EXIT(
        {
            if (::chdir(dir.Path().c_str()) != 0)
                std::_Exit(2);
            ::close(1);
            ::close(2);
            WriteFileBytes("Xerr.log", "old");
            Obj<StreamPipeFile>(StreamPipeFile::Create("1>", 20))->Write("out", 3);
            Obj<StreamPipeFile>(StreamPipeFile::Create("2>console", 20))->Write("err", 3);
            // Xout.log is only ever created new.
            const bool again = Obj<StreamPipeFile>(StreamPipeFile::Create("1>", 20))->IsOpen();
            std::_Exit(ReadFileBytes("Xout.log") == "out" && ReadFileBytes("Xerr.log") == "err" &&
                               !again
                           ? 0
                           : 1);
        },
        testing::ExitedWithCode(0), "");
}

struct sigaction G_Found;

// A handler that passes the signal on to the one it found, and then ends the process.
void ChainingHandler(int signal, siginfo_t* info, void* context) {
    G_Found.sa_sigaction(signal, info, context);
    std::_Exit(5);
}

TEST(StreamPipeFile, BreakSignalIsReportedThenPassedOn) {
    EXPECT_EXIT(
        {
            Obj<StreamPipeFile>(StreamPipeFile::Create("2>console", 20));
            std::raise(SIGINT);
        },
        testing::KilledBySignal(SIGINT), "\\[BREAK SIGNAL\\]\n");
    // A handler that was there before runs after the report.
    EXPECT_EXIT(
        {
            std::signal(SIGINT, [](int) { std::_Exit(G_SIGABORT == 1 ? 3 : 4); });
            Obj<StreamPipeFile>(StreamPipeFile::Create("1>console", 20));
            std::raise(SIGINT);
        },
        testing::ExitedWithCode(3), "\\[BREAK SIGNAL\\]\n");
    // One that passes it back: reported once, no endless loop.
    EXPECT_EXIT(
        {
            Obj<StreamPipeFile>(StreamPipeFile::Create("1>console", 20));
            struct sigaction chaining {};
            chaining.sa_sigaction = &ChainingHandler;
            chaining.sa_flags = SA_SIGINFO;
            ::sigaction(SIGINT, &chaining, &G_Found);
            Obj<StreamPipeFile>(StreamPipeFile::Create("1>console", 20));
            std::raise(SIGINT);
        },
        testing::ExitedWithCode(5), "^\\[BREAK SIGNAL\\]\n$");
}

TEST(StreamPipeFile, ColoursAndClearingReachTerminalsOnly) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    // What reached the terminal; the kernel passes it on asynchronously.
    const auto screen = [&] {
        std::string text;
        pollfd ready{master, POLLIN, 0};
        while (::poll(&ready, 1, text.empty() ? 2000 : 50) == 1) {
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    };
    {
        Obj<StreamPipeFile> pipe = StreamPipeFile::Create(terminal.c_str(), 2);
        pipe->Color(12, 0);
        EXPECT_EQ(screen(), "\x1b[0;94;49m");
        pipe->Color(15, 4);
        EXPECT_EQ(screen(), "\x1b[0;97;44m");
        pipe->Color(1, 10);
        EXPECT_EQ(screen(), "\x1b[0;31;102m");
        pipe->Color(7, 0);
        EXPECT_EQ(screen(), "\x1b[0m");
        pipe->Clear();
        EXPECT_EQ(screen(), "\x1b[2J\x1b[H");
    }
    {
        // The buffered pipe keeps the sequence in line with its text.
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create(terminal.c_str(), 2);
        pipe->Write("ab", 2);
        pipe->Color(9, 0);
        pipe->Write("c", 1);
        pipe->Flush();
        EXPECT_EQ(screen(), "ab\x1b[0;91;49mc");
    }
    ::close(master);
    TempDir dir;
    {
        Obj<StreamPipeFile> file = StreamPipeFile::Create((dir / "plain").c_str(), 14);
        file->Color(12, 0);
        file->Clear();
    }
    EXPECT_EQ(ReadFileBytes(dir / "plain"), "");
}

} // namespace
