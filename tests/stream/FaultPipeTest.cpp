// The fault-injecting test pipe does what it promises, so tests built on it prove something.

#include "support/FaultPipe.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

using namespace Quorlix;
using QuorlixTest::FaultPipe;

TEST(FaultPipe, TricklesCutsFailsFlipsAndLimitsLookAhead) {
    Obj<FaultPipe> pipe = NewObject<FaultPipe>(StreamPipeMemory::Create("0123456789abcdef", 16));
    char buffer[16];
    pipe->Trickle(3);
    pipe->CutAt(10);
    EXPECT_EQ(pipe->Read(buffer, 16), 3);
    EXPECT_EQ(pipe->PeekAt(6), '9');
    EXPECT_EQ(pipe->PeekAt(7), -1);
    EXPECT_EQ(pipe->Skip(16), 7);
    pipe->Trickle(0);
    pipe->CutAt(-1);
    pipe->FailReads(FaultPipe::Fault::Once, 1);
    EXPECT_EQ(pipe->Read(), 'a');
    EXPECT_EQ(pipe->Peek(), -1); // the second call fails
    EXPECT_EQ(pipe->Read(), 'b');
    pipe->FailReads(FaultPipe::Fault::Always);
    EXPECT_EQ(pipe->Read(buffer, 4) + pipe->Skip(4), 0);
    pipe->FailReads(FaultPipe::Fault::None);
    pipe->FailSeeks(FaultPipe::Fault::Once);
    pipe->FailWrites(FaultPipe::Fault::Always);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
    EXPECT_EQ(pipe->Position(), 12);
    EXPECT_EQ(pipe->Seek(0, SeekBegin) + pipe->Write("ab", 2), 0);
    pipe->FlipBit(3, 0);
    pipe->LookAhead(4);
    EXPECT_EQ(pipe->PeekAt(3), '2');
    EXPECT_EQ(pipe->PeekAt(4), -2);
    ASSERT_EQ(pipe->Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "01224");
}
