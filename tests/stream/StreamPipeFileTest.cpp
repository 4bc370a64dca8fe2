// The file pipes on their own: opening, warnings, colours, the break signal; the buffered pipe's
// look-ahead and the writes a file refuses. What every pipe shares is in
// StreamPipeConformanceTest.cpp.

#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/core/Obj.h"
#include "quorlix/library/Library.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string ReadAllFrom(const std::string& path, unsigned mode = IOReadDefault) {
    Obj<StreamPipeFile> pipe = StreamPipeFile::Create(path.c_str(), mode);
    std::string text;
    for (int byte; (byte = pipe->Read()) >= 0;)
        text += static_cast<char>(byte);
    return text;
}

TEST(StreamPipeFile, OpensByDispositionAndMissingFilesReadAsEmpty) {
    TempDir dir;
    const std::string path = dir / "f";
    Obj<StreamPipeFile> missing = StreamPipeFile::Create(path.c_str(), 1);
    EXPECT_EQ(missing->Read(), -1);
    EXPECT_EQ(missing->Seek(0, SeekBegin), -1);
    // Whether the file is there first, the mode, then whether it opens and what it holds after.
    const std::tuple<bool, unsigned, bool, const char*> cases[] = {
        {false, 3 | 0, false, nullptr}, // open existing
        {false, 3 | 8, false, nullptr}, // truncate existing
        {true, 1 | 8, false, "old"},    // ... needs write access
        {true, 3 | 24, true, ""},       // ... with it
        {true, 3 | 4, false, "old"},    // create new
        {true, 3 | 20, true, "old"},    // open always keeps the content
        {false, 2 | 20, true, ""},      // ... and creates
        {true, 2 | 28, true, ""},       // create always truncates
    };
    for (const auto& [there, mode, opens, after] : cases) {
        std::filesystem::remove(path);
        if (there)
            WriteFileBytes(path, "old");
        EXPECT_EQ(Obj<StreamPipeFile>(StreamPipeFile::Create(path.c_str(), mode))->IsOpen(), opens)
            << mode;
        EXPECT_EQ(ReadAllFrom(path), after == nullptr ? "" : after) << mode;
        EXPECT_EQ(std::filesystem::exists(path), after != nullptr) << mode;
    }
}

TEST(StreamPipeFile, WarnsAboutBackslashesAndCaseMismatches) {
    TempDir dir;
    WriteFileBytes(dir / "Data/Sub/File.txt", "found");
    LogCapture capture;
    std::vector<std::string> warnings = {
        "[Warn ]StreamPipeFile::StreamPipeFile: path \"" + dir.Path() +
            "/Data\\\\Sub/File.txt\" contains incorrect '\\' character.",
        // The path is quoted with escapes.
        "[Warn ]StreamPipeFile::StreamPipeFile: path \"a\\\\\\xE9\\\"\\n\" contains incorrect '\\' "
        "character."};
    EXPECT_EQ(ReadAllFrom(dir.Path() + "/Data\\Sub/File.txt"), "found");
    ReadAllFrom("a\\\xE9\"\n");
    // A case mismatch opens the file and names the last component that differs.
    const auto open = [&](const std::string& name, const char* disc, unsigned mode = 1) {
        if (disc != nullptr)
            warnings.push_back("[Warn ]StreamPipeFile: file case mismatch:\n file: \"" +
                               (dir / name) + "\"\n disc: \"" + disc + "\".");
        return ReadAllFrom(dir / name, mode);
    };
    EXPECT_EQ(open("Data/Sub/File.txt", nullptr), "found");
    EXPECT_EQ(open("data/SUB/File.txt", "Sub"), "found");
    EXPECT_EQ(open("DATA/sub/file.TXT", "File.txt"), "found");
    EXPECT_EQ(open("data/./Sub/../Sub/File.txt", "Data"), "found");
    EXPECT_EQ(open("data/Sub/Missing.txt", nullptr), "");
    // Creating inside a folder of other case creates there.
    open("DATA/Sub/new.txt", "Data", 14);
    EXPECT_TRUE(std::filesystem::exists(dir / "Data/Sub/new.txt"));
    // Of several candidates the byte-wise smallest name wins, whatever the folder's order.
    WriteFileBytes(dir / "Data/Sub/FILE.txt", "upper");
    EXPECT_EQ(open("Data/Sub/file.txt", "FILE.txt"), "upper");
    EXPECT_EQ(capture.Messages(), warnings);
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
    // The standard handles stay open when their pipes go.
    EXPECT_NE(::fcntl(1, F_GETFD), -1);
    EXPECT_NE(::fcntl(2, F_GETFD), -1);
}

TEST(StreamPipeFile, ColoursAndClearingReachTerminalsOnly) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const std::string terminal = ::ptsname(master);
    // What reached the terminal; the kernel passes it on asynchronously.
    const auto screen = [&] {
        std::string text;
        pollfd ready{master, POLLIN, 0};
        char buffer[256];
        for (ssize_t n; ::poll(&ready, 1, text.empty() ? 2000 : 50) == 1 &&
                        (n = ::read(master, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    };
    TempDir dir;
    for (const std::string& path : {terminal, dir / "plain"}) {
        Obj<StreamPipeFile> pipe = StreamPipeFile::Create(path.c_str(), 14);
        pipe->Color(1, 10);
        pipe->Color(7, 0);
        pipe->Clear();
    }
    EXPECT_EQ(screen(), "\x1b[0;31;102m\x1b[0m\x1b[2J\x1b[H");
    EXPECT_EQ(ReadFileBytes(dir / "plain"), "");
    // The buffered pipe keeps the sequence in line with its text.
    Obj<StreamPipeFileCache> cached = StreamPipeFileCache::Create(terminal.c_str(), 2);
    cached->Write("ab", 2);
    cached->Color(15, 4);
    cached->Write("c", 1);
    cached->Flush();
    EXPECT_EQ(screen(), "ab\x1b[0;97;44mc");
    ::close(master);
}

TEST(StreamPipeFileCache, TruncatesWhereTheReaderIsInsideItsReadAhead) {
    TempDir dir;
    WriteFileBytes(dir / "f", Pattern());
    Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 3);
    char ten[10];
    ASSERT_EQ(pipe->Read(ten, 10), 10); // reads ahead a whole buffer
    // Asking the position counts the read-ahead as unread and reading goes on from there; a
    // truncation inside the read-ahead cuts where the reader is.
    EXPECT_EQ(pipe->Seek(0, SeekCurrent), 10);
    ASSERT_EQ(pipe->Read(ten, 10), 10);
    EXPECT_EQ(std::string(ten, 10), Pattern().substr(10, 10));
    EXPECT_EQ(pipe->Seek(10, SeekBegin), 10);
    EXPECT_TRUE(pipe->Truncate());
    EXPECT_EQ(ReadFileBytes(dir / "f"), Pattern().substr(0, 10));
}

TEST(StreamPipeFileCache, ReportsWritesTheFileRefuses) {
    LogCapture capture;
    const std::string bytes = Pattern();
    {
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create("/dev/full", 2);
        EXPECT_EQ(pipe->Write(bytes.data(), 100), 100); // buffered
        EXPECT_EQ(pipe->Write(bytes.data(), 8100), 0);  // the filled-up buffer cannot go down
        EXPECT_EQ(pipe->Write(bytes.data(), 8192), 0);  // nor with large data
        pipe->Flush();
        EXPECT_EQ(pipe->GetPendingOutput(), 100); // kept for another attempt
        // Moving would let the pending bytes land at the new place.
        EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
        EXPECT_FALSE(pipe->Truncate());
        EXPECT_TRUE(capture.Messages().empty());
        EXPECT_EQ(
            Obj<StreamPipeFile>(StreamPipeFile::Create("/dev/full", 2))->Write(bytes.data(), 10),
            0);
    }
    EXPECT_EQ(
        capture.Messages(),
        std::vector<std::string>{
            "[Warn ]StreamPipeFileCache::~StreamPipeFileCache: 100 bytes could not be written."});

    // The file size limit makes the file take part of a write and refuse the rest: only the
    // caller's bytes that reached the file count.
    TempDir dir;
    const auto limited = [&](rlim_t limit, int second, int accepted, int pending) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 14);
        const int total = pipe->Write(bytes.data(), 100) + pipe->Write(bytes.data() + 100, second);
        const bool prefix = ReadFileBytes(dir / "f") == bytes.substr(0, limit);
        std::_Exit(prefix && total == accepted && pipe->GetPendingOutput() == pending ? 0 : 1);
    };
    // 100 earlier bytes and 4900 of the caller's went down, the caller's filling the buffer up.
    EXPECT_EXIT(limited(5000, 8100, 5000, 0), testing::ExitedWithCode(0), "");
    // Only 50 of the earlier bytes went down: the other 50 stay, the caller's going down beside
    // them are refused.
    EXPECT_EXIT(limited(50, 8192, 100, 50), testing::ExitedWithCode(0), "");
}

} // namespace
