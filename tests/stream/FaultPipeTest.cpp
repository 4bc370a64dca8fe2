// The fault-injecting test pipe does what it promises, so tests built on it prove something.

#include "support/FaultPipe.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

Obj<FaultPipe> OverPattern() {
    const std::string bytes = Pattern();
    return NewObject<FaultPipe>(
        StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())));
}

TEST(FaultPipe, TricklesReadsButDeliversEveryByte) {
    for (int trickle : {1, 7, 8191}) {
        Obj<FaultPipe> pipe = OverPattern();
        pipe->Trickle(trickle);
        std::string all;
        char buffer[10000];
        for (int count; (count = pipe->Read(buffer, sizeof buffer)) > 0;) {
            ASSERT_LE(count, trickle);
            all.append(buffer, static_cast<size_t>(count));
        }
        EXPECT_EQ(all, Pattern());
    }
}

TEST(FaultPipe, CutsTheDataShort) {
    Obj<FaultPipe> pipe = OverPattern();
    pipe->CutAt(10);
    char buffer[100];
    EXPECT_EQ(pipe->PeekAt(9), PatternByte(9));
    EXPECT_EQ(pipe->PeekAt(10), -1);
    EXPECT_EQ(pipe->Read(buffer, 100), 10);
    EXPECT_EQ(pipe->Read(), -1);
    EXPECT_EQ(pipe->Skip(5), 0);
    EXPECT_EQ(pipe->Seek(5, SeekBegin), 5);
    EXPECT_EQ(pipe->Skip(100), 5);
}

TEST(FaultPipe, FailsOnceOrFromThenOnAfterGivenCalls) {
    Obj<FaultPipe> pipe = OverPattern();
    pipe->FailReads(FaultPipe::Fault::Once, 2);
    EXPECT_EQ(pipe->Read(), 255);
    EXPECT_EQ(pipe->Peek(), 242);
    EXPECT_EQ(pipe->Read(), -1); // the third call fails
    EXPECT_EQ(pipe->Read(), 242);
    pipe->FailReads(FaultPipe::Fault::Always);
    char buffer[4];
    EXPECT_EQ(pipe->Read(buffer, 4), 0);
    EXPECT_EQ(pipe->Skip(4), 0);
    EXPECT_EQ(pipe->Peek(), -1);
    pipe->FailSeeks(FaultPipe::Fault::Once);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
    EXPECT_EQ(pipe->Position(), 2);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), 0);
    pipe->FailWrites(FaultPipe::Fault::Always);
    EXPECT_EQ(pipe->Write("ab", 2), 0);
    pipe->FailWrites(FaultPipe::Fault::None);
    EXPECT_EQ(pipe->Write("ab", 2), 2);
}

TEST(FaultPipe, FlipsOneBitWhereverItIsRead) {
    Obj<FaultPipe> pipe = OverPattern();
    pipe->FlipBit(3, 0);
    const int flipped = PatternByte(3) ^ 1;
    EXPECT_EQ(pipe->PeekAt(3), flipped);
    char buffer[5];
    ASSERT_EQ(pipe->Read(buffer, 5), 5);
    EXPECT_EQ(static_cast<unsigned char>(buffer[3]), flipped);
    EXPECT_EQ(static_cast<unsigned char>(buffer[4]), PatternByte(4));
    pipe->Seek(3, SeekBegin);
    EXPECT_EQ(pipe->Read(), flipped);
}

} // namespace
