// The buffered file pipe on its own: look-ahead limits, writes the file refuses, the logical
// position under read-ahead, and the lock around every operation.

#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

TEST(StreamPipeFileCache, LooksAheadAtMostOneBuffer) {
    TempDir dir;
    WriteFileBytes(dir / "f", Pattern());
    Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 1);
    EXPECT_EQ(pipe->PeekAt(9000), -2);
    EXPECT_EQ(pipe->PeekAt(-1), -1);
    EXPECT_EQ(pipe->PeekAt(0), 255);
    EXPECT_EQ(pipe->Seek(0, SeekEnd), 20000);
    EXPECT_EQ(pipe->PeekAt(0), -1);
    EXPECT_EQ(pipe->Peek(), -1);
}

TEST(StreamPipeFileCache, ReportsWritesAFullDiscRefuses) {
    LogCapture capture;
    {
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create("/dev/full", 2);
        const std::string bytes = Pattern();
        EXPECT_EQ(pipe->Write(bytes.data(), 100), 100); // buffered
        EXPECT_EQ(pipe->Write(bytes.data(), 8100), 0);  // the filled-up buffer cannot go down
        EXPECT_EQ(pipe->Write(bytes.data(), 8192), 0);  // nor with large data
        EXPECT_EQ(pipe->Write(bytes.data(), 20000), 0);
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
    // A pipe without a file takes nothing, not even into its buffer.
    EXPECT_EQ(Obj<StreamPipeFileCache>(StreamPipeFileCache::Create("/nonexistent/f", 14))
                  ->Write("abc", 3),
              0);
}

TEST(StreamPipeFileCache, CountsOnlyTheCallersBytesThatReachedTheFile) {
    // The file size limit makes the file take part of a write and refuse the rest.
    TempDir dir;
    const auto limited = [&](rlim_t limit, int second, int accepted, int pending) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 14);
        const std::string bytes = Pattern();
        const int total = pipe->Write(bytes.data(), 100) + pipe->Write(bytes.data() + 100, second);
        const bool prefix = ReadFileBytes(dir / "f") == bytes.substr(0, limit);
        std::_Exit(prefix && total == accepted && pipe->GetPendingOutput() == pending ? 0 : 1);
    };
    // 100 earlier bytes and 4900 of the caller's went down, whether the caller's bytes filled
    // the buffer up or went down beside it.
    EXPECT_EXIT(limited(5000, 8100, 5000, 0), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(limited(5000, 8192, 5000, 0), testing::ExitedWithCode(0), "");
    // Only 50 of the earlier bytes went down: the other 50 stay, the caller's are refused.
    EXPECT_EXIT(limited(50, 8100, 100, 50), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(limited(50, 8192, 100, 50), testing::ExitedWithCode(0), "");
}

TEST(StreamPipeFileCache, TruncatesAtTheLogicalPositionAfterReadAhead) {
    TempDir dir;
    WriteFileBytes(dir / "f", Pattern());
    Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 3);
    char ten[10];
    ASSERT_EQ(pipe->Read(ten, 10), 10);
    EXPECT_TRUE(pipe->Truncate());
    EXPECT_EQ(ReadFileBytes(dir / "f"), Pattern().substr(0, 10));
}

TEST(StreamPipeFileCache, KeepsEachWriteWholeAcrossThreads) {
    TempDir dir;
    Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create((dir / "f").c_str(), 14);
    const auto writer = [&](char letter) {
        const std::string record(37, letter); // does not divide the buffer size
        for (int i = 0; i < 2000; ++i)
            pipe->Write(record.data(), static_cast<int>(record.size()));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    pipe->Flush();
    const std::string text = ReadFileBytes(dir / "f");
    ASSERT_EQ(text.size(), 2u * 2000 * 37);
    for (size_t at = 0; at < text.size(); at += 37)
        ASSERT_EQ(text.substr(at, 37), std::string(37, text[at])) << "record at " << at;
}

} // namespace
