#pragma once
// Counted blocks: every library object, array and string buffer lives in a heap block with a
// 32-byte header in front of its payload. Handles hold only the payload address and reach the
// reference count, the element count and the type record through the header.
//
// Header layout (payload address minus 32, fields in this order):
//   class row (8)  hash or spare word (4)  reference count (4)  type record (8)
//   capacity (4)   count (4)
// The payload stays 16-byte aligned. Objects start with reference count 0 (the first handle
// takes it); arrays and strings start with 1.

#include "quorlix/platform/Atomic.h"
#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <typeinfo>

namespace Quorlix {

// The script class row: blocks of objects point at it, core never looks inside.
struct MVTBL;
class TypeInfo;

/// The header in front of every counted payload.
struct QUORLIX_API BlockHeader {
    MVTBL* const* m_ClassRow;   // objects: class table of the type; arrays and strings: null
    uint32_t m_Hash;            // strings: cached hash, 0 = not computed; otherwise 0
    int32_t m_RefCount;         // changed only atomically
    const TypeInfo* m_TypeInfo; // destroys the payload when the last reference goes
    int32_t m_Capacity;         // element slots allocated
    int32_t m_Count;            // element slots in use
};
static_assert(sizeof(BlockHeader) == 32, "counted block header must stay 32 bytes");

/// Reference count of the static empty blocks; never reaches zero in practice.
constexpr int32_t k_StaticBlockRefCount = 0x40000000;

inline BlockHeader* HeaderOf(const void* payload) noexcept {
    return reinterpret_cast<BlockHeader*>(
        const_cast<char*>(static_cast<const char*>(payload) - sizeof(BlockHeader)));
}

/// Type record of one native type. Static objects, registered while the library loads.
class QUORLIX_API TypeInfo {
public:
    using DestroyFunction = void (*)(const void* payload);

    constexpr TypeInfo(DestroyFunction destroy, int size, const std::type_info* type,
                       MVTBL* const* classTable, unsigned typeNumber, const TypeInfo* next,
                       const TypeInfo* previous) noexcept
        : m_Destroy(destroy), m_Size(size), m_Type(type), m_ClassTable(classTable),
          m_TypeNumber(typeNumber), m_Next(next), m_Previous(previous) {}
    constexpr TypeInfo(const TypeInfo&) noexcept = default;
    TypeInfo& operator=(const TypeInfo&) noexcept = default;
    /// Unlinks the record when it is registered; a copy that was never linked is left alone.
    ~TypeInfo();

    DestroyFunction m_Destroy;    // destroys `count` elements, last first, then frees the block
    int m_Size;                   // bytes of one element
    const std::type_info* m_Type; // records with equal mangled names describe the same type
    MVTBL* const* m_ClassTable;   // script class row, or null (SetClassRowOfType)
    unsigned m_TypeNumber;        // 1, 2, 3... shared by records of the same type
    const TypeInfo* m_Next;       // next older registered record
    const TypeInfo* m_Previous;   // next newer registered record
};

/// Links `self` in place as the newest record of the registry, sets its destroy function,
/// size and type, and takes the class table and type number of an older record of the same
/// type name (or a new type number). Returns `self`, so that `ti = RegisterTypeInfo(ti, ...)`
/// stays a self-assignment. Registering a record that is already linked changes nothing.
QUORLIX_API const TypeInfo& RegisterTypeInfo(const TypeInfo& self,
                                             TypeInfo::DestroyFunction destroy, int size,
                                             const std::type_info* type);
/// Unlinks a registered record; a record that is not linked is ignored.
QUORLIX_API void UnregisterTypeInfo(const TypeInfo& record);
/// Attaches the class row `classRow` to every registered record of the same type name as
/// `record`; new blocks of the type carry it. The script class tables call it.
QUORLIX_API void SetClassRowOfType(const TypeInfo& record, MVTBL* const* classRow);

/// Newest registered record (head of the registry), the number of records registered and the
/// number of type numbers handed out. For diagnostics and tests.
QUORLIX_API const TypeInfo* GetTypeInfoRegistryHead();
QUORLIX_API int GetTypeInfoRegistrationCount();
QUORLIX_API unsigned GetTypeNumberCount();

/// Destroy function of the static empty blocks: writes "NilBlockDestruct: return." and
/// revives the block's reference count.
QUORLIX_API void NilBlockDestruct(const void* payload);

/// A static counted block with room for a small payload (the shared empty array and string).
struct alignas(16) StaticBlock {
    BlockHeader m_Header;
    char m_Payload[16];

    void* Payload() noexcept { return m_Payload; }
};
static_assert(offsetof(StaticBlock, m_Payload) == sizeof(BlockHeader));

/// The shared empty array (capacity 0, count 0) and the shared empty string (one NUL,
/// capacity 1, count 1). Never freed, never written to except for their counts and the
/// string's cached hash.
extern QUORLIX_API StaticBlock G_NullArray;
extern QUORLIX_API StaticBlock G_NullString;
extern QUORLIX_API const TypeInfo G_StaticBlockTypeInfo;

/// A T in static storage behind a counted header like the static empty blocks: its count starts
/// at k_StaticBlockRefCount and revives should it reach zero, so handles take and drop it freely,
/// and it is never destroyed, so it outlives every static destructor that may still use it.
/// Constructed on the first call; thread-safe.
template <class T>
T* PermanentObject() {
    struct alignas(16) Block {
        BlockHeader m_Header;
        alignas(16) unsigned char m_Payload[sizeof(T)];
    };
    static_assert(offsetof(Block, m_Payload) == sizeof(BlockHeader));
    static constinit Block s_Block{
        {nullptr, 0, k_StaticBlockRefCount, &G_StaticBlockTypeInfo, 1, 1}, {}};
    static T* const s_Object = new (s_Block.m_Payload) T;
    return s_Object;
}

inline bool IsStaticEmptyBlock(const void* payload) noexcept {
    return payload == G_NullArray.m_Payload || payload == G_NullString.m_Payload;
}

/// Takes one reference on a counted payload.
inline void BlockAddRef(const void* payload) noexcept {
    Platform::AtomicIncrement(HeaderOf(payload)->m_RefCount);
}

/// Drops one reference; when the count falls below 1 the payload is destroyed through the
/// type record in its header.
inline void BlockRelease(const void* payload) noexcept {
    BlockHeader* header = HeaderOf(payload);
    if (Platform::AtomicDecrement(header->m_RefCount) < 1)
        header->m_TypeInfo->m_Destroy(payload);
}

/// Drops one reference without ever destroying: for a sole owner that passes a fresh object on.
inline void BlockDropToZero(const void* payload) noexcept {
    Platform::AtomicDecrement(HeaderOf(payload)->m_RefCount);
}

inline int32_t BlockRefCount(const void* payload) noexcept {
    return Platform::AtomicLoad(HeaderOf(payload)->m_RefCount);
}

inline int32_t BlockCount(const void* payload) noexcept {
    return HeaderOf(payload)->m_Count;
}
inline int32_t BlockCapacity(const void* payload) noexcept {
    return HeaderOf(payload)->m_Capacity;
}

/// The type record in the header of a counted payload.
inline const TypeInfo* GetBlockTypeInfo(const void* payload) noexcept {
    return HeaderOf(payload)->m_TypeInfo;
}

/// Allocation statics. Nothing here returns null: an impossible size or an exhausted heap
/// ends the process through the out-of-memory report.
class QUORLIX_API Memory {
public:
    /// Array block with reference count 1 and uninitialised elements; capacity 0 gives the
    /// shared empty array (with one reference taken for the caller, as for a new block).
    static void* UninitializedNewArrayRef1(int capacity, int count, const TypeInfo& ti);
    /// As above, but any capacity below 2 gives the shared empty string.
    static void* UninitializedNewStringRef1(int capacity, int count, const TypeInfo& ti);
    /// Frees an array block without running element destructors. For the shared empty
    /// array it writes "NullArray::Delete: return." and revives its count.
    static void UninitializedDeleteArray(void* payload);
    /// New block, bytewise copy of min(count, old count) elements, release of the old block
    /// (freed without destructors when that was its last reference). The caller's reference
    /// moves from the old block to the result. Elements are moved, so
    /// the caller must own the old block or use element types that may be duplicated bytewise.
    static void* ReallocateArray(void* old, int capacity, int count, const TypeInfo& ti);
    static void* ReallocateString(void* old, int capacity, int count, const TypeInfo& ti);

    /// Object block for `count` elements plus `extra` bytes; reference count 0.
    static void* NewObjectBlock(size_t size, int count, const TypeInfo& ti, int extra);
    /// Frees a block by its payload address (the static empty blocks are left alone).
    static void FreeBlock(const void* payload) noexcept;

    /// Writes "Heap: <label>(<number>)" and the heap check result to standard output.
    static void PrintHeapStatus(const char* label, int number);
    /// Counted blocks allocated since the library loaded (objects, arrays, string buffers; a
    /// reallocation counts once). For tests and benchmarks that check a path allocates nothing.
    static uint64_t GetBlockAllocationCount() noexcept;
    /// Allocation is not tracked: both return -1.
    static int GetMemoryCount() { return -1; }
    static int GetMemoryUsage() { return -1; }
    static void DefineStaticBlock(void*) {}
    /// Nothing to print while allocation is not tracked (takes any output stream).
    template <class OutputStream>
    static void PrintHeapBlocks(OutputStream&) {}
};

/// Whether a T may change its address by a bytewise copy (handles and counted arrays may: they
/// hold nothing that points into themselves). Such elements grow arrays by reallocation.
template <class T>
struct IsBytewiseRelocatable : std::bool_constant<std::is_trivially_copyable_v<T>> {};

/// Destroy function for blocks of T: runs ~T on the block's `count` elements, last first,
/// then frees the block.
template <class T>
void DestroyBlockElements(const void* payload) {
    T* elements = static_cast<T*>(const_cast<void*>(payload));
    for (int32_t i = HeaderOf(payload)->m_Count; i-- > 0;)
        elements[i].~T();
    Memory::FreeBlock(payload);
}

/// Registers a type record while the library (or the module that uses the type) loads and
/// unregisters it when it unloads.
class QUORLIX_API TypeInfoLink {
public:
    explicit TypeInfoLink(TypeInfo& record) : m_Record(record) {
        RegisterTypeInfo(record, record.m_Destroy, record.m_Size, record.m_Type);
    }
    ~TypeInfoLink() { UnregisterTypeInfo(m_Record); }
    TypeInfoLink(const TypeInfoLink&) = delete;
    TypeInfoLink& operator=(const TypeInfoLink&) = delete;

private:
    TypeInfo& m_Record;
};

/// The type record of T. Its fields are constant-initialised, so blocks made by earlier static
/// initialisers already destroy correctly; the registry link is made at load time.
template <class T>
struct TypeRecord {
    static constinit inline TypeInfo s_Info{&DestroyBlockElements<T>,
                                            static_cast<int>(sizeof(T)),
                                            &typeid(T),
                                            nullptr,
                                            0,
                                            nullptr,
                                            nullptr};
    static inline TypeInfoLink s_Link{s_Info};
};

template <class T>
inline const TypeInfo& TypeOf() noexcept {
    (void)&TypeRecord<T>::s_Link; // instantiates the registration
    return TypeRecord<T>::s_Info;
}

} // namespace Quorlix

// Allocation forms of counted objects: `new (count, ti) T(...)`, with optional extra bytes
// behind the elements and an ignored source position. The delete forms free the block; the
// compiler calls them only when a constructor fails.
QUORLIX_API void* operator new(std::size_t size, int count, const Quorlix::TypeInfo& ti);
QUORLIX_API void* operator new(std::size_t size, int count, const Quorlix::TypeInfo& ti,
                               const char* file, int line);
QUORLIX_API void* operator new(std::size_t size, int count, const Quorlix::TypeInfo& ti, int extra);
QUORLIX_API void* operator new(std::size_t size, int count, const Quorlix::TypeInfo& ti, int extra,
                               const char* file, int line);
QUORLIX_API void operator delete(void* payload, int count, const Quorlix::TypeInfo& ti) noexcept;
QUORLIX_API void operator delete(void* payload, int count, const Quorlix::TypeInfo& ti,
                                 const char* file, int line) noexcept;
QUORLIX_API void operator delete(void* payload, int count, const Quorlix::TypeInfo& ti,
                                 int extra) noexcept;
QUORLIX_API void operator delete(void* payload, int count, const Quorlix::TypeInfo& ti, int extra,
                                 const char* file, int line) noexcept;
/// Placement form: returns the given address.
inline void* operator new(std::size_t, Quorlix::Memory* address) noexcept {
    return address;
}
inline void operator delete(void*, Quorlix::Memory*) noexcept {}

namespace Quorlix {

/// Creates a counted object of type T with reference count 0 (the first handle takes it).
template <class T, class... Args>
T* NewObject(Args&&... args) {
    return new (1, TypeOf<T>()) T(static_cast<Args&&>(args)...);
}

} // namespace Quorlix
