#include "quorlix/core/Memory.h"

#include "quorlix/core/Assert.h"
#include "quorlix/core/Report.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace Quorlix {

// ---------------------------------------------------------------------------------------------
// Static empty blocks

constinit const TypeInfo G_StaticBlockTypeInfo{&NilBlockDestruct, 1,      nullptr, nullptr, 0,
                                               nullptr,           nullptr};

constinit StaticBlock G_NullArray{{nullptr, 0, k_StaticBlockRefCount, &G_StaticBlockTypeInfo, 0, 0},
                                  {}};
constinit StaticBlock G_NullString{
    {nullptr, 0, k_StaticBlockRefCount, &G_StaticBlockTypeInfo, 1, 1}, {}};

namespace {
void WriteDebugMessage(const char* text) {
    ReportLine(ReportLevel::Debug, text);
}
} // namespace

void NilBlockDestruct(const void* payload) {
    WriteDebugMessage("NilBlockDestruct: return.");
    Platform::AtomicStore(HeaderOf(payload)->m_RefCount, k_StaticBlockRefCount);
}

// ---------------------------------------------------------------------------------------------
// Type record registry. Changed while modules load and unload; a spin lock keeps a module
// loaded on another thread from corrupting the list.

namespace {

constinit const TypeInfo* G_RegistryHead = nullptr;
constinit int G_RegistrationCount = 0;
constinit unsigned G_TypeNumberCount = 0;
constinit std::atomic_flag G_RegistryLock = ATOMIC_FLAG_INIT;

class RegistryLock {
public:
    RegistryLock() {
        while (G_RegistryLock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~RegistryLock() { G_RegistryLock.clear(std::memory_order_release); }
};

bool SameTypeName(const std::type_info* a, const std::type_info* b) {
    if (a == nullptr || b == nullptr)
        return false;
    return a == b || std::strcmp(a->name(), b->name()) == 0;
}

// A record is linked when the list reaches it: a copy of a linked record carries the same
// neighbours, but its neighbours do not point back at it.
bool IsLinked(const TypeInfo& record) {
    if (G_RegistryHead == &record)
        return true;
    return record.m_Previous != nullptr && record.m_Previous->m_Next == &record;
}

} // namespace

TypeInfo::~TypeInfo() {
    UnregisterTypeInfo(*this);
}

const TypeInfo& RegisterTypeInfo(const TypeInfo& self, TypeInfo::DestroyFunction destroy, int size,
                                 const std::type_info* type) {
    RegistryLock lock;
    // Records are static objects handed over as const; the registry owns their link fields.
    auto& record = const_cast<TypeInfo&>(self);
    if (IsLinked(record))
        return self;

    const TypeInfo* found = nullptr;
    for (const TypeInfo* it = G_RegistryHead; it != nullptr; it = it->m_Next) {
        if (SameTypeName(it->m_Type, type)) {
            found = it;
            break;
        }
    }

    record.m_Next = G_RegistryHead;
    record.m_Previous = nullptr;
    if (G_RegistryHead != nullptr)
        const_cast<TypeInfo*>(G_RegistryHead)->m_Previous = &record;
    G_RegistryHead = &record;
    ++G_RegistrationCount;

    if (found != nullptr) {
        record.m_ClassTable = found->m_ClassTable;
        record.m_TypeNumber = found->m_TypeNumber;
    } else {
        record.m_ClassTable = nullptr;
        record.m_TypeNumber = ++G_TypeNumberCount;
    }
    record.m_Destroy = destroy;
    record.m_Size = size;
    record.m_Type = type;
    return self;
}

void UnregisterTypeInfo(const TypeInfo& self) {
    RegistryLock lock;
    if (!IsLinked(self))
        return;
    auto& record = const_cast<TypeInfo&>(self);
    if (record.m_Next != nullptr)
        const_cast<TypeInfo*>(record.m_Next)->m_Previous = record.m_Previous;
    if (record.m_Previous != nullptr)
        const_cast<TypeInfo*>(record.m_Previous)->m_Next = record.m_Next;
    else
        G_RegistryHead = record.m_Next;
    record.m_Next = nullptr;
    record.m_Previous = nullptr;
    --G_RegistrationCount;
}

void SetClassRowOfType(const TypeInfo& self, MVTBL* const* classTable) {
    RegistryLock lock;
    const_cast<TypeInfo&>(self).m_ClassTable = classTable;
    for (const TypeInfo* it = G_RegistryHead; it != nullptr; it = it->m_Next) {
        if (SameTypeName(it->m_Type, self.m_Type))
            const_cast<TypeInfo*>(it)->m_ClassTable = classTable;
    }
}

const TypeInfo* GetTypeInfoRegistryHead() {
    RegistryLock lock;
    return G_RegistryHead;
}

int GetTypeInfoRegistrationCount() {
    RegistryLock lock;
    return G_RegistrationCount;
}

unsigned GetTypeNumberCount() {
    RegistryLock lock;
    return G_TypeNumberCount;
}

// ---------------------------------------------------------------------------------------------
// Blocks

namespace {

// Largest payload a block may have: counts are 32-bit and sizes must stay far from wrapping.
constexpr uint64_t k_MaxPayloadBytes = uint64_t{1} << 46;

// Relaxed: a statistic, read by code that checks a path allocates nothing.
constinit std::atomic<uint64_t> G_BlockAllocations{0};

BlockHeader* AllocateBlock(uint64_t payloadBytes) {
    G_BlockAllocations.fetch_add(1, std::memory_order_relaxed);
    if (payloadBytes > k_MaxPayloadBytes)
        Platform::ReportOutOfMemory();
    void* block = Platform::HeapAllocate(sizeof(BlockHeader) + payloadBytes);
    if (block == nullptr)
        Platform::ReportOutOfMemory();
    return static_cast<BlockHeader*>(block);
}

// Element slots of an array block; an impossible request takes the out-of-memory path.
uint64_t ArrayBytes(int capacity, int count, const TypeInfo& ti) {
    if (capacity < 0 || count < 0 || ti.m_Size < 0)
        Platform::ReportOutOfMemory();
    return static_cast<uint64_t>(ti.m_Size) * static_cast<uint64_t>(capacity);
}

void* NewArrayBlock(int capacity, int count, const TypeInfo& ti) {
    const uint64_t bytes = ArrayBytes(capacity, count, ti);
    QUORLIX_ASSERT(count <= capacity, "Memory::UninitializedNewArrayRef1: count above capacity");
    BlockHeader* header = AllocateBlock(bytes);
    header->m_ClassRow = nullptr;
    header->m_Hash = 0;
    header->m_RefCount = 1;
    header->m_TypeInfo = &ti;
    header->m_Capacity = capacity;
    header->m_Count = count;
    return header + 1;
}

// Drops the reference a reallocation took over; frees without destructors on the last one.
void ReleaseMovedBlock(void* old) {
    if (old == nullptr)
        return;
    if (IsStaticEmptyBlock(old)) {
        BlockRelease(old); // revives itself should the count ever reach zero
        return;
    }
    if (Platform::AtomicDecrement(HeaderOf(old)->m_RefCount) < 1)
        Memory::FreeBlock(old);
}

// The static empty block handed out in place of a new block carries the caller's reference
// like any other, so every handle may drop it without special cases.
void* SharedEmpty(StaticBlock& block) {
    BlockAddRef(block.Payload());
    return block.Payload();
}

void* Reallocate(void* old, void* fresh, int count, const TypeInfo& ti) {
    if (old != nullptr && !IsStaticEmptyBlock(fresh)) {
        int32_t moved = count < BlockCount(old) ? count : BlockCount(old);
        if (moved > BlockCapacity(fresh))
            moved = BlockCapacity(fresh);
        if (moved > 0)
            std::memcpy(fresh, old, static_cast<size_t>(moved) * static_cast<size_t>(ti.m_Size));
    }
    ReleaseMovedBlock(old);
    return fresh;
}

} // namespace

void* Memory::UninitializedNewArrayRef1(int capacity, int count, const TypeInfo& ti) {
    if (capacity == 0)
        return SharedEmpty(G_NullArray);
    return NewArrayBlock(capacity, count, ti);
}

void* Memory::UninitializedNewStringRef1(int capacity, int count, const TypeInfo& ti) {
    if (capacity < 2)
        return SharedEmpty(G_NullString);
    return NewArrayBlock(capacity, count, ti);
}

void Memory::UninitializedDeleteArray(void* payload) {
    if (payload == G_NullArray.Payload()) {
        WriteDebugMessage("NullArray::Delete: return.");
        Platform::AtomicStore(G_NullArray.m_Header.m_RefCount, k_StaticBlockRefCount);
        return;
    }
    FreeBlock(payload);
}

void* Memory::ReallocateArray(void* old, int capacity, int count, const TypeInfo& ti) {
    return Reallocate(old, UninitializedNewArrayRef1(capacity, count, ti), count, ti);
}

void* Memory::ReallocateString(void* old, int capacity, int count, const TypeInfo& ti) {
    return Reallocate(old, UninitializedNewStringRef1(capacity, count, ti), count, ti);
}

void* Memory::NewObjectBlock(size_t size, int count, const TypeInfo& ti, int extra) {
    if (count < 0 || extra < 0 || ti.m_Size < 0)
        Platform::ReportOutOfMemory();
    const uint64_t elementBytes = static_cast<uint64_t>(ti.m_Size) * static_cast<uint64_t>(count);
    if (elementBytes > k_MaxPayloadBytes)
        Platform::ReportOutOfMemory();
    // The object must fill the elements exactly: a larger request (an array cookie) would
    // place it over the header, a smaller one would leave elements that are destroyed
    // without ever having been constructed.
    QUORLIX_ASSERT(size == elementBytes,
                   "Memory::NewObjectBlock: object size differs from its elements");
    BlockHeader* header = AllocateBlock(elementBytes + static_cast<uint64_t>(extra));
    header->m_ClassRow = ti.m_ClassTable;
    header->m_Hash = 0;
    header->m_RefCount = 0;
    header->m_TypeInfo = &ti;
    header->m_Capacity = count;
    header->m_Count = count;
    return header + 1;
}

uint64_t Memory::GetBlockAllocationCount() noexcept {
    return G_BlockAllocations.load(std::memory_order_relaxed);
}

void Memory::FreeBlock(const void* payload) noexcept {
    if (payload == nullptr || IsStaticEmptyBlock(payload))
        return;
    Platform::HeapFree(HeaderOf(payload));
}

void Memory::PrintHeapStatus(const char* label, int number) {
    std::printf("Heap: %s(%d)\n  ", label != nullptr ? label : "", number);
    switch (Platform::CheckHeap()) {
    case Platform::HeapState::BadNode:
        std::fputs("FATAL: HEAPBADNODE\n", stdout);
        break;
    case Platform::HeapState::BadBegin:
        std::fputs("FATAL: HEAPBADBEGIN\n", stdout);
        break;
    case Platform::HeapState::Ok:
        std::fputs("OK - heap is fine\n", stdout);
        break;
    case Platform::HeapState::Empty:
        std::fputs("OK - heap is empty\n", stdout);
        break;
    case Platform::HeapState::Unknown:
        break;
    }
    std::fflush(stdout);
}

} // namespace Quorlix

// ---------------------------------------------------------------------------------------------
// Allocation operators

using Quorlix::Memory;
using Quorlix::TypeInfo;

void* operator new(std::size_t size, int count, const TypeInfo& ti) {
    return Memory::NewObjectBlock(size, count, ti, 0);
}

void* operator new(std::size_t size, int count, const TypeInfo& ti, const char*, int) {
    return Memory::NewObjectBlock(size, count, ti, 0);
}

void* operator new(std::size_t size, int count, const TypeInfo& ti, int extra) {
    return Memory::NewObjectBlock(size, count, ti, extra);
}

void* operator new(std::size_t size, int count, const TypeInfo& ti, int extra, const char*, int) {
    return Memory::NewObjectBlock(size, count, ti, extra);
}

// The object sits at the payload start for every form we use (size == elements).
void operator delete(void* payload, int, const TypeInfo&) noexcept {
    Memory::FreeBlock(payload);
}

void operator delete(void* payload, int, const TypeInfo&, const char*, int) noexcept {
    Memory::FreeBlock(payload);
}

void operator delete(void* payload, int, const TypeInfo&, int) noexcept {
    Memory::FreeBlock(payload);
}

void operator delete(void* payload, int, const TypeInfo&, int, const char*, int) noexcept {
    Memory::FreeBlock(payload);
}
