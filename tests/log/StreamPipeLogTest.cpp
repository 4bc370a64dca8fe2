// The log fan-out pipe: console and file slots, and the tail cut of log files.

#include "quorlix/stream/StreamPipeLog.h"
#include "quorlix/core/LogStream.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/FaultPipe.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string Content(StreamPipeMemory& memory) {
    return std::string(reinterpret_cast<const char*>(memory.GetData()),
                       static_cast<size_t>(memory.GetSize()));
}

TEST(StreamPipeLog, EmptySlotsMakeEveryOperationANoOp) {
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    char buffer[4];
    EXPECT_EQ(log->Write("abc", 3), 0);
    EXPECT_EQ(log->Read(), -1);
    EXPECT_EQ(log->Peek(), -1);
    EXPECT_EQ(log->PeekAt(0), -2);
    EXPECT_EQ(log->Read(buffer, 4), 0);
    EXPECT_EQ(log->Skip(2), 0);
    EXPECT_EQ(log->Seek(5, SeekBegin), 0);
    EXPECT_FALSE(log->Truncate());
    EXPECT_FALSE(log->SetFileTime(1, 1, 1));
    uint64_t created = 1, accessed = 1, written = 1;
    log->GetFileTime(created, accessed, written);
    EXPECT_EQ(created + accessed + written, 0u);
    log->Lock();
    log->Unlock();
    EXPECT_EQ(log->TruncateTail(0, 0, "[CUT]\n"), 0);
}

TEST(StreamPipeLog, OutputGoesToBothSlotsInputComesFromTheFile) {
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    Obj<StreamPipeMemory> file = StreamPipeMemory::Create("stored", 6);
    Obj<StreamPipeMemory> console = StreamPipeMemory::Create();
    log->SetStreamPipe(file, StreamPipeLog::SlotFile);
    log->SetStreamPipe(console, StreamPipeLog::SlotConsole);
    log->SetStreamPipe(console, 2); // not a slot: ignored
    log->SetStreamPipe(console, -1);
    EXPECT_EQ(log->GetStreamPipe(0), file.Get());
    EXPECT_EQ(log->GetStreamPipe(1), console.Get());
    EXPECT_EQ(log->GetStreamPipe(2), nullptr);

    EXPECT_EQ(log->Read(), 's');
    EXPECT_EQ(log->PeekAt(1), 'o');
    EXPECT_EQ(log->Skip(1), 1);
    EXPECT_EQ(console->GetPosition(), 0); // input never touches the console
    // Seek answers with the file's position, the last call made.
    EXPECT_EQ(log->Seek(0, SeekEnd), 6);
    EXPECT_EQ(log->Write("+new", 4), 4);
    EXPECT_EQ(Content(*file), "stored+new");
    EXPECT_EQ(Content(*console), "+new");

    // With the file gone the console's answers are the last ones.
    log->SetStreamPipe(nullptr, StreamPipeLog::SlotFile);
    EXPECT_EQ(log->Seek(1, SeekBegin), 1);
    EXPECT_EQ(log->Read(), -1);
}

TEST(StreamPipeLog, ReplacingASlotWhileLockedMovesTheLock) {
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    Obj<StreamPipeMemory> before = StreamPipeMemory::Create();
    Obj<StreamPipeMemory> after = StreamPipeMemory::Create();
    log->SetStreamPipe(before, StreamPipeLog::SlotFile);
    log->Lock();
    log->Lock();
    log->SetStreamPipe(after, StreamPipeLog::SlotFile);
    log->Unlock();
    log->Unlock();
    // Both sub-pipes are free again: another thread can take them.
    auto other = std::async(std::launch::async, [&] {
        before->Lock();
        before->Unlock();
        after->Lock();
        after->Unlock();
        log->Lock();
        log->Unlock();
    });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(StreamPipeLog, LockedOutputKeepsItsOrderAcrossColoursAndLargeWrites) {
    TempDir dir;
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    // A console that shows colours in line, and a plain file that has none.
    LogStream console(nullptr);
    LogCapture capture(console, 0, true);
    log->SetStreamPipe(console.GetStreamPipe(), StreamPipeLog::SlotConsole);
    log->SetStreamPipe(StreamPipeFile::Create((dir / "log").c_str(), 14), StreamPipeLog::SlotFile);
    const std::string large(5000, 'L');
    log->Lock();
    log->Write("a", 1);
    log->Color(9, 0);
    log->Write("b", 1);
    log->Write(large.data(), static_cast<int>(large.size()));
    log->Write("c", 1);
    EXPECT_EQ(log->Seek(0, SeekCurrent), 5003); // what was written counts, collected or not
    log->Write("d", 1);
    log->Unlock();
    EXPECT_EQ(capture.Text(), "a{9/0}b" + large + "cd");
    EXPECT_EQ(ReadFileBytes(dir / "log"), "ab" + large + "cd");
}

// The cut as it should come out: the marker, then the bytes after the first line feed at or
// behind size - maxSize (only the last byte of the first block when it holds none).
std::string ExpectedCut(const std::string& content, size_t maxSize, const std::string& marker) {
    const size_t from = content.size() - maxSize;
    const size_t block = std::min<size_t>(65536, maxSize);
    const size_t feed = content.find('\n', from);
    const size_t kept =
        feed != std::string::npos && feed < from + block ? feed + 1 : from + block - 1;
    return marker + content.substr(kept);
}

TEST(StreamPipeLog, TruncateTailKeepsWholeLinesBehindTheMarker) {
    TempDir dir;
    const auto cut = [&](const std::string& content, int64_t maxSize, const char* marker) {
        WriteFileBytes(dir / "log", content);
        Obj<StreamPipeLog> log = StreamPipeLog::Create();
        log->SetStreamPipe(StreamPipeFile::Create((dir / "log").c_str(), 23), 0);
        const int64_t result = log->TruncateTail(maxSize, 0, marker);
        // Output goes on at the end of what was kept.
        log->Write("|", 1);
        return std::make_pair(result, ReadFileBytes(dir / "log"));
    };
    using Cut = std::pair<int64_t, std::string>;
    const std::string lines = "line1\nline2\nline3\n";
    EXPECT_EQ(cut(lines, 10, "[CUT]\n"), (Cut{12, "[CUT]\nline3\n|"}));
    EXPECT_EQ(cut(lines, 10, nullptr), (Cut{6, "line3\n|"}));
    // Small enough already, or no limit: nothing changes and the size comes back.
    EXPECT_EQ(cut(lines, 18, "[CUT]\n"), (Cut{18, lines + "|"}));
    EXPECT_EQ(cut(lines, 1000, "[CUT]\n"), (Cut{18, lines + "|"}));
    EXPECT_EQ(cut(lines, -1, "[CUT]\n"), (Cut{18, lines + "|"}));
    // 0 empties the file and writes no marker.
    EXPECT_EQ(cut(lines, 0, "[CUT]\n"), (Cut{0, "|"}));
    // No line feed in the kept part: only its last byte survives...
    EXPECT_EQ(cut("abcdefghij", 4, "[CUT]\n"), (Cut{7, "[CUT]\nj|"}));
    // ... and not even that when it is the line feed that ends the text.
    EXPECT_EQ(cut("abcdefghi\n", 1, nullptr), (Cut{0, "|"}));

    // The marker is longer than what goes away: "x\n" and the line feed at the cut go, and the
    // marker must not overwrite the kept text.
    const std::string shortFile = "x\n\nabcdefghijklmnopqrst\n";
    EXPECT_EQ(cut(shortFile, 22, "[CUT]\n"), (Cut{27, "[CUT]\nabcdefghijklmnopqrst\n|"}));

    // Tails of several blocks, with the marker both shorter and longer than the cut-off part.
    std::string big;
    for (int i = 0; big.size() < 200000; ++i)
        big += "entry " + std::to_string(i) + (i % 7 == 0 ? " with a longer text\n" : "\n");
    for (size_t maxSize : {150000u, 65536u, 70000u}) {
        const std::string expected = ExpectedCut(big, maxSize, "[CUT]\n");
        EXPECT_EQ(cut(big, static_cast<int64_t>(maxSize), "[CUT]\n"),
                  (Cut{static_cast<int64_t>(expected.size()), expected + "|"}))
            << maxSize;
    }
    std::string wide = "ab\n" + std::string(70000, 'w') + "\nend\n";
    const size_t keep = wide.size() - 2; // cuts at the line feed: only "ab" goes
    const std::string expected = ExpectedCut(wide, keep, "[CUT]\n");
    EXPECT_EQ(expected, "[CUT]\n" + wide.substr(3));
    EXPECT_EQ(cut(wide, static_cast<int64_t>(keep), "[CUT]\n"),
              (Cut{static_cast<int64_t>(expected.size()), expected + "|"}));
}

TEST(StreamPipeLog, TruncateTailCopesWithPipesThatReadInPieces) {
    // A log pipe may hold any pipe; one that delivers a few bytes per read must cut the same.
    const std::string content = "x\n\nabcdefghijklmnopqrst\n";
    for (int trickle : {1, 3, 64}) {
        for (const char* marker : {"[CUT]\n", "#\n"}) {
            Obj<StreamPipeMemory> memory =
                StreamPipeMemory::Create(content.data(), static_cast<int>(content.size()));
            Obj<FaultPipe> pieces = Quorlix::NewObject<FaultPipe>(memory.Get());
            pieces->Trickle(trickle);
            Obj<StreamPipeLog> log = StreamPipeLog::Create();
            log->SetStreamPipe(pieces, 0);
            log->TruncateTail(22, 0, marker);
            EXPECT_EQ(Content(*memory), std::string(marker) + "abcdefghijklmnopqrst\n")
                << trickle << " " << marker;
        }
    }
}

} // namespace
