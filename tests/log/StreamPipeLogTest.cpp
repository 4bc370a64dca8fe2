// The log fan-out pipe: the tail cut of log files.

#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/FaultPipe.h"

#include <gtest/gtest.h>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// The cut as it should come out: the marker, then the bytes after the first line feed at or
// behind size - maxSize (only the last byte of the first block when it holds none).
std::string ExpectedCut(const std::string& content, size_t maxSize) {
    const size_t from = content.size() - maxSize;
    const size_t block = std::min<size_t>(65536, maxSize);
    const size_t feed = content.find('\n', from);
    const size_t kept =
        feed != std::string::npos && feed < from + block ? feed + 1 : from + block - 1;
    return "[CUT]\n" + content.substr(kept);
}

TEST(StreamPipeLog, TruncateTailKeepsWholeLinesBehindTheMarker) {
    TempDir dir;
    const auto cut = [&](const std::string& content, size_t maxSize, const char* marker) {
        WriteFileBytes(dir / "log", content);
        Obj<StreamPipeLog> log = StreamPipeLog::Create();
        log->SetStreamPipe(StreamPipeFile::Create((dir / "log").c_str(), 23), 0);
        const int64_t result = log->TruncateTail(static_cast<int64_t>(maxSize), 0, marker);
        // Output goes on at the end of what was kept.
        log->Write("|", 1);
        return std::make_pair(result, ReadFileBytes(dir / "log"));
    };
    using Cut = std::pair<int64_t, std::string>;
    const std::string lines = "line1\nline2\nline3\n";
    EXPECT_EQ(cut(lines, 10, "[CUT]\n"), (Cut{12, "[CUT]\nline3\n|"}));
    EXPECT_EQ(cut(lines, 10, nullptr), (Cut{6, "line3\n|"}));
    // Small enough already: nothing changes and the size comes back.
    EXPECT_EQ(cut(lines, 1000, "[CUT]\n"), (Cut{18, lines + "|"}));
    // 0 empties the file and writes no marker.
    EXPECT_EQ(cut(lines, 0, "[CUT]\n"), (Cut{0, "|"}));
    // No line feed in the kept part: only its last byte survives.
    EXPECT_EQ(cut("abcdefghij", 4, "[CUT]\n"), (Cut{7, "[CUT]\nj|"}));
    // The marker is longer than what goes away: "x\n" and the line feed at the cut go, and the
    // marker must not overwrite the kept text.
    const std::string shortFile = "x\n\nabcdefghijklmnopqrst\n";
    EXPECT_EQ(cut(shortFile, 22, "[CUT]\n"), (Cut{27, "[CUT]\nabcdefghijklmnopqrst\n|"}));
    // The same through a pipe that reads a byte at a time.
    Obj<StreamPipeMemory> memory =
        StreamPipeMemory::Create(shortFile.data(), static_cast<int>(shortFile.size()));
    Obj<FaultPipe> trickle = Quorlix::NewObject<FaultPipe>(memory.Get());
    trickle->Trickle(1);
    Obj<StreamPipeLog> log = StreamPipeLog::Create();
    log->SetStreamPipe(trickle, 0);
    log->TruncateTail(22, 0, "[CUT]\n");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory->GetData()),
                          static_cast<size_t>(memory->GetSize())),
              "[CUT]\nabcdefghijklmnopqrst\n");
    // Tails of several blocks, and a cut at a line feed that leaves a line longer than a block.
    std::string big;
    for (int i = 0; big.size() < 200000; ++i)
        big += "entry " + std::to_string(i) + (i % 7 == 0 ? " with a longer text\n" : "\n");
    const std::string wide = "ab\n" + std::string(70000, 'w') + "\nend\n";
    for (const auto& [content, maxSize] :
         {std::pair{big, size_t{150000}}, std::pair{big, size_t{70000}},
          std::pair{wide, wide.size() - 2}}) {
        const std::string expected = ExpectedCut(content, maxSize);
        EXPECT_EQ(cut(content, maxSize, "[CUT]\n"),
                  (Cut{static_cast<int64_t>(expected.size()), expected + "|"}))
            << maxSize;
    }
}

} // namespace
