#include "quorlix/core/Memory.h"
#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

// Each test registers records of its own types, so no other record shares their names.
struct SharedNumberProbe {};
struct OtherNumberProbe {};
struct LinkProbe {};

TypeInfo Unregistered() {
    return TypeInfo{nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr};
}

template <class T>
const TypeInfo& Register(const TypeInfo& record) {
    return RegisterTypeInfo(record, &DestroyBlockElements<T>, 1, &typeid(T));
}

// The records linked in front of `end`, newest first; checks the links both ways.
std::vector<const TypeInfo*> LinkedBefore(const TypeInfo* end) {
    std::vector<const TypeInfo*> records;
    const TypeInfo* newer = nullptr;
    for (const TypeInfo* r = GetTypeInfoRegistryHead(); r != end; newer = r, r = r->m_Next) {
        EXPECT_EQ(r->m_Previous, newer);
        records.push_back(r);
    }
    EXPECT_EQ(end->m_Previous, newer);
    return records;
}

} // namespace

TEST(Memory, EmptyRequestsShareStaticBlocksThatSurviveTheirRelease) {
    QuorlixTest::LogCapture capture;
    void* empty = Memory::UninitializedNewArrayRef1(0, 0, TypeOf<int>());
    EXPECT_EQ(empty, G_NullArray.Payload());
    Memory::UninitializedDeleteArray(empty);
    EXPECT_EQ(capture.Messages(), std::vector<std::string>{"[Debug]NullArray::Delete: return."});
    EXPECT_EQ(BlockRefCount(empty), k_StaticBlockRefCount);
    for (int capacity : {0, 1, 2}) {
        void* text = Memory::UninitializedNewStringRef1(capacity, 1, TypeOf<char>());
        EXPECT_EQ(text == G_NullString.Payload(), capacity < 2) << capacity;
        BlockRelease(text);
    }

    // Released to zero, a static block reports it and revives instead of being freed.
    for (StaticBlock* block : {&G_NullArray, &G_NullString}) {
        const int32_t saved = BlockRefCount(block->Payload());
        Platform::AtomicStore(block->m_Header.m_RefCount, 1);
        const size_t before = capture.Messages().size();
        BlockRelease(block->Payload());
        const std::vector<std::string> messages = capture.Messages();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back(), "[Debug]NilBlockDestruct: return.");
        EXPECT_EQ(BlockRefCount(block->Payload()), k_StaticBlockRefCount);
        Platform::AtomicStore(block->m_Header.m_RefCount, saved);
    }
}

TEST(Memory, BlocksAreAlignedAndKeepTheirExtraBytes) {
    auto* object = new (1, TypeOf<int64_t>(), 100, __FILE__, __LINE__) int64_t(7);
    Obj<int64_t> owner(object);
    EXPECT_EQ(GetBlockTypeInfo(object), &TypeOf<int64_t>());
    // The extra bytes behind the object are usable (the sanitizer build checks the bounds).
    std::memset(object + 1, 0xAB, 100);
    EXPECT_EQ(*object, 7);
    for (int size : {1, 3, 24}) {
        const TypeInfo ti{nullptr, size, nullptr, nullptr, 0, nullptr, nullptr};
        void* odd = Memory::UninitializedNewArrayRef1(5, 3, ti);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(odd) % 16, 0u) << size;
        Memory::UninitializedDeleteArray(odd);
    }
}

TEST(Memory, ImpossibleSizesEndThroughTheOutOfMemoryReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TypeInfo huge{nullptr, 1 << 20, nullptr, nullptr, 0, nullptr, nullptr};
    const auto exited = ::testing::ExitedWithCode(247); // _exit(-9)
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(INT_MAX, 0, huge), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(-1, 0, TypeOf<int>()), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(4, -1, TypeOf<int>()), exited, "OUT OF MEMORY");
    EXPECT_EXIT(Memory::NewObjectBlock(1 << 20, INT_MAX, huge, 0), exited, "OUT OF MEMORY");
    EXPECT_EXIT(new (-1, TypeOf<int>()) int, exited, "OUT OF MEMORY");
    EXPECT_EXIT(new (1, TypeOf<int>(), -16) int, exited, "OUT OF MEMORY");
    // A grown capacity past the 32-bit limit reaches the allocator as -1.
    EXPECT_EXIT(Memory::UninitializedNewArrayRef1(GrownCapacity(INT_MAX - 3), 0, TypeOf<int>()),
                exited, "OUT OF MEMORY");
    // The terminator makes INT_MAX characters one byte too many for a 32-bit count.
    const char byte = 'x';
    EXPECT_EXIT({ String big(&byte, INT_MAX); }, exited, "OUT OF MEMORY");
    EXPECT_EXIT(String().Allocate(INT_MAX), exited, "OUT OF MEMORY");
}

TEST(TypeInfo, RecordsOfOneTypeShareNumberAndClassTable) {
    TypeInfo first = Unregistered(), second = Unregistered(), other = Unregistered();
    Register<SharedNumberProbe>(first);
    const unsigned numbers = GetTypeNumberCount();
    Register<SharedNumberProbe>(second);
    Register<OtherNumberProbe>(other);
    EXPECT_EQ(first.m_TypeNumber, numbers);
    EXPECT_EQ(second.m_TypeNumber, numbers);
    EXPECT_EQ(other.m_TypeNumber, numbers + 1);

    MVTBL* rows[1] = {nullptr};
    SetClassRowOfType(second, rows);
    EXPECT_EQ(first.m_ClassTable, rows);
    EXPECT_EQ(other.m_ClassTable, nullptr);
    void* object = Memory::NewObjectBlock(1, 1, first, 0);
    EXPECT_EQ(HeaderOf(object)->m_ClassRow, rows);
    Memory::FreeBlock(object);
}

TEST(TypeInfo, RegistryStaysIntactThroughSelfAssignmentCopiesAndUnlinking) {
    const int before = GetTypeInfoRegistrationCount();
    const TypeInfo* oldHead = GetTypeInfoRegistryHead();
    TypeInfo a = Unregistered(), b = Unregistered(), c = Unregistered();
    a = Register<LinkProbe>(a);
    b = Register<LinkProbe>(b);
    Register<LinkProbe>(c);
    Register<LinkProbe>(b); // already linked: changes nothing
    {
        TypeInfo copyOfHead = RegisterTypeInfo(c, nullptr, 0, nullptr);
        TypeInfo copyOfOlder = a;
    }
    EXPECT_EQ(LinkedBefore(oldHead), (std::vector<const TypeInfo*>{&c, &b, &a}));
    EXPECT_EQ(GetTypeInfoRegistrationCount(), before + 3);
    EXPECT_EQ(c.m_Destroy, &DestroyBlockElements<LinkProbe>);
    UnregisterTypeInfo(b);
    EXPECT_EQ(LinkedBefore(oldHead), (std::vector<const TypeInfo*>{&c, &a}));
    UnregisterTypeInfo(c);
    UnregisterTypeInfo(b); // no longer linked
    UnregisterTypeInfo(Unregistered());
    EXPECT_EQ(LinkedBefore(oldHead), std::vector<const TypeInfo*>{&a});
    EXPECT_EQ(GetTypeInfoRegistrationCount(), before + 1);
}
