#include "quorlix/core/Memory.h"
#include "quorlix/core/Array.h"
#include "support/CountedProbe.h"
#include "support/DebugLineCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace Quorlix;
using Lines = std::vector<std::string>;

namespace {

struct HeaderProbe {
    int64_t m_A = 1;
    int32_t m_B = 2;
};

bool IsAligned16(const void* p) {
    return reinterpret_cast<uintptr_t>(p) % 16 == 0;
}

} // namespace

TEST(Memory, EmptyRequestsShareTheStaticBlocks) {
    QuorlixTest::DebugLineCapture capture;
    void* empty = Memory::UninitializedNewArrayRef1(0, 0, TypeOf<int>());
    EXPECT_EQ(empty, G_NullArray.Payload());
    Memory::UninitializedDeleteArray(empty);
    EXPECT_EQ(capture.Lines(), Lines{"NullArray::Delete: return."});
    EXPECT_EQ(BlockRefCount(empty), k_StaticBlockRefCount);
    for (int capacity : {0, 1}) {
        void* text = Memory::UninitializedNewStringRef1(capacity, 1, TypeOf<char>());
        EXPECT_EQ(text, G_NullString.Payload());
        BlockRelease(text);
    }
    void* text = Memory::UninitializedNewStringRef1(2, 1, TypeOf<char>());
    EXPECT_FALSE(IsStaticEmptyBlock(text));
    Memory::UninitializedDeleteArray(text);
}

TEST(Memory, ReleasingAStaticBlockToZeroRevivesIt) {
    for (StaticBlock* block : {&G_NullArray, &G_NullString}) {
        const int32_t saved = BlockRefCount(block->Payload());
        Platform::AtomicStore(block->m_Header.m_RefCount, 1);
        QuorlixTest::DebugLineCapture capture;
        BlockRelease(block->Payload());
        EXPECT_EQ(capture.Lines(), Lines{"NilBlockDestruct: return."});
        EXPECT_EQ(BlockRefCount(block->Payload()), k_StaticBlockRefCount);
        Platform::AtomicStore(block->m_Header.m_RefCount, saved);
    }
}

TEST(Memory, BlockHeadersDescribeTheirPayload) {
    auto* object = new (1, TypeOf<HeaderProbe>()) HeaderProbe;
    const BlockHeader& header = *HeaderOf(object);
    EXPECT_EQ(header.m_RefCount, 0);
    EXPECT_EQ(header.m_TypeInfo, &TypeOf<HeaderProbe>());
    EXPECT_EQ(header.m_ClassRow, TypeOf<HeaderProbe>().m_ClassTable);
    EXPECT_EQ(header.m_Capacity, 1);
    EXPECT_EQ(header.m_Count, 1);
    EXPECT_EQ(object->m_B, 2);
    Obj<HeaderProbe> owner(object);

    // The extra bytes behind the object are usable (the sanitizer build checks the bounds).
    auto* extended = new (1, TypeOf<HeaderProbe>(), 100, __FILE__, __LINE__) HeaderProbe;
    std::memset(reinterpret_cast<char*>(extended) + sizeof(HeaderProbe), 0xAB, 100);
    EXPECT_EQ(BlockCount(extended), 1);
    Obj<HeaderProbe> extendedOwner(extended);

    auto* array = Memory::UninitializedNewArrayRef1(5, 3, TypeOf<int>());
    EXPECT_EQ(HeaderOf(array)->m_RefCount, 1);
    EXPECT_EQ(HeaderOf(array)->m_ClassRow, nullptr);
    EXPECT_EQ(HeaderOf(array)->m_Capacity, 5);
    EXPECT_EQ(HeaderOf(array)->m_Count, 3);
    Memory::UninitializedDeleteArray(array);

    EXPECT_TRUE(IsAligned16(object));
    EXPECT_TRUE(IsAligned16(extended));
    for (int size : {1, 3, 24}) {
        const TypeInfo ti{nullptr, size, nullptr, nullptr, 0, nullptr, nullptr};
        void* odd = Memory::UninitializedNewArrayRef1(5, 5, ti);
        EXPECT_TRUE(IsAligned16(odd)) << size;
        Memory::UninitializedDeleteArray(odd);
    }
}

TEST(Memory, ReallocationMovesTheElementsAndDropsTheOldReference) {
    const TypeInfo& ti = TypeOf<int>();
    auto* old = static_cast<int*>(Memory::UninitializedNewArrayRef1(4, 3, ti));
    old[0] = 10, old[1] = 20, old[2] = 30;
    // The old block held the only reference, so it is freed (the sanitizer build finds leaks).
    auto* grown = static_cast<int*>(Memory::ReallocateArray(old, 8, 5, ti));
    EXPECT_EQ(BlockCapacity(grown), 8);
    EXPECT_EQ(BlockCount(grown), 5);
    EXPECT_EQ(grown[2], 30);
    BlockAddRef(grown);
    auto* shrunk = static_cast<int*>(Memory::ReallocateArray(grown, 2, 2, ti));
    EXPECT_EQ(BlockRefCount(grown), 1); // shared: left alive, one reference less
    EXPECT_EQ(grown[2], 30);
    EXPECT_EQ(shrunk[1], 20);
    Memory::UninitializedDeleteArray(grown);
    Memory::UninitializedDeleteArray(shrunk);

    auto* text = static_cast<char*>(Memory::UninitializedNewStringRef1(4, 4, TypeOf<char>()));
    std::memcpy(text, "abc", 4);
    text = static_cast<char*>(Memory::ReallocateString(text, 16, 4, TypeOf<char>()));
    EXPECT_STREQ(text, "abc");
    text = static_cast<char*>(Memory::ReallocateString(text, 1, 1, TypeOf<char>()));
    EXPECT_EQ(text, G_NullString.Payload());
    BlockRelease(text);
}

TEST(Memory, FirstHandleTakesANewObjectAndTheLastDestroysIt) {
    std::atomic<int> destroyed{0};
    auto* probe =
        new (1, TypeOf<QuorlixTest::CountedProbe>()) QuorlixTest::CountedProbe(&destroyed);
    EXPECT_EQ(BlockRefCount(probe), 0);
    {
        Obj<QuorlixTest::CountedProbe> handle(probe);
        EXPECT_EQ(BlockRefCount(probe), 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(Memory, ReportsWhatItDoesNotTrack) {
    EXPECT_EQ(Memory::GetMemoryCount(), -1);
    EXPECT_EQ(Memory::GetMemoryUsage(), -1);
    testing::internal::CaptureStdout();
    Memory::PrintHeapStatus("label", 3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out == "Heap: label(3)\n  OK - heap is fine\n" ||
                out == "Heap: label(3)\n  OK - heap is empty\n")
        << out;
}

TEST(Memory, ImpossibleSizesEndThroughTheOutOfMemoryReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TypeInfo huge{nullptr, 1 << 20, nullptr, nullptr, 0, nullptr, nullptr};
    const auto exited = ::testing::ExitedWithCode(247);
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(INT_MAX, 0, huge), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(-1, 0, TypeOf<int>()), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(4, -1, TypeOf<int>()), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::NewObjectBlock(1 << 20, INT_MAX, huge, 0), exited, "OUT OF MEMORY");
    EXPECT_EXIT(new (-1, TypeOf<HeaderProbe>()) HeaderProbe, exited, "OUT OF MEMORY");
    EXPECT_EXIT(new (1, TypeOf<HeaderProbe>(), -16) HeaderProbe, exited, "OUT OF MEMORY");
    // A grown capacity past the 32-bit limit reaches the allocator as -1.
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(GrownCapacity(INT_MAX - 3), 0, TypeOf<int>()),
                exited, "OUT OF MEMORY");
}
