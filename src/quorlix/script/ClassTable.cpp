#include "quorlix/script/ClassTable.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Hash.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/internal/ClassTableEpoch.h"
#include "quorlix/script/internal/MemberAccessors.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstring>

namespace Quorlix {

using Internal::LogScriptDebug;
using Internal::LogScriptError;
using Internal::LogScriptFatal;

MVTBL** m_MasterIsMVTBL = nullptr;
MVTBL** m_MasterNoMVTBL = nullptr;
MVTBL*** m_MasterIsCVTBL = nullptr;
const int m_MasterMVTBLSize = k_MasterMVTBLSize;
const int m_MasterMVTBLBuiltinSize = k_MasterMVTBLBuiltinSize;
int G_MasterAlloc = 0;
int G_MasterAllocHash = 0;

namespace Internal {
std::atomic<uint32_t> G_ClassTableEpoch{0};
} // namespace Internal

struct MemberHash {
    const ClassType_MemberID** m_Buckets[256];
};

namespace {

constexpr int k_MaxMembers = 255; // member index 256 would wrap onto the header byte

CriticalSection& MasterLock() {
    static CriticalSection lock;
    return lock;
}

void* AllocateZeroed(size_t bytes) {
    void* block = Platform::HeapAllocate(bytes);
    if (block == nullptr)
        Platform::ReportOutOfMemory();
    std::memset(block, 0, bytes);
    return block;
}

void* MasterAllocate(size_t bytes) {
    ++G_MasterAlloc;
    return AllocateZeroed(bytes);
}

void MasterFree(void* block) {
    if (block == nullptr)
        return;
    --G_MasterAlloc;
    Platform::HeapFree(block);
}

MVTBL* AllocateTable(int entries) {
    auto* block = static_cast<char*>(
        MasterAllocate(sizeof(MVTBLHeader) + sizeof(MVTBL) * static_cast<size_t>(entries)));
    return reinterpret_cast<MVTBL*>(block + sizeof(MVTBLHeader));
}

void FreeTable(MVTBL* table) {
    if (table != nullptr)
        MasterFree(TableHeader(table));
}

// Type records that carry a class's row, so that deleting the class can take it back.
const TypeInfo* G_ClassTypeInfo[k_MasterMVTBLSize];

// The table that stands in for deleted classes in the columns of the remaining rows: every
// member index lands on an entry of type-agnostic stubs, so a stale identifier logs instead of
// reaching freed memory.
struct DeadTableBlock {
    MVTBLHeader m_Header;
    MVTBL m_Entries[256];

    DeadTableBlock() noexcept : m_Header{}, m_Entries{} {
        m_Header.m_Name = "(deleted)";
        m_Header.m_Count = 256;
        for (MVTBL& entry : m_Entries) {
            entry.m_Get = &Internal::DeadGet;
            entry.m_Set = &Internal::DeadSet;
            entry.m_Size = &Internal::DeadSize;
            entry.m_Compare = &Internal::DeadCompare;
            entry.m_Write = &Internal::DeadWrite;
            entry.m_WriteASM = &Internal::DeadWriteASM;
            entry.m_Resize = &Internal::DeadResize;
            entry.m_Name = "(deleted)";
        }
    }
};
static_assert(offsetof(DeadTableBlock, m_Entries) == sizeof(MVTBLHeader));

MVTBL* DeadTable() {
    static DeadTableBlock block;
    return block.m_Entries;
}

bool ValidIndex(int c) {
    return c > 0 && c < k_MasterMVTBLSize;
}

bool HasTables(int c) {
    return m_MasterIsMVTBL != nullptr && ValidIndex(c) && m_MasterIsMVTBL[c] != nullptr &&
           m_MasterIsMVTBL[c] != k_ReservedMVTBL;
}

// Makes entry `k` of class `c` exist in both tables: new blocks with room for entries 0..k+1,
// and every pointer to the old tables moved to the new ones.
bool GrowTables(int c, int k) {
    Internal::ClassTablesChanged();
    MVTBL* oldIs = m_MasterIsMVTBL[c];
    MVTBL* oldNo = m_MasterNoMVTBL[c];
    const int count = TableHeader(oldIs)->m_Count;
    if (k < count)
        return true;
    MVTBL* newIs = AllocateTable(k + 2);
    MVTBL* newNo = AllocateTable(k + 2);
    const size_t used = sizeof(MVTBLHeader) + sizeof(MVTBL) * static_cast<size_t>(count);
    std::memcpy(TableHeader(newIs), TableHeader(oldIs), used);
    std::memcpy(TableHeader(newNo), TableHeader(oldNo), used);
    TableHeader(newIs)->m_Count = k + 1;
    TableHeader(newNo)->m_Count = k + 1;
    for (int r = 0; r < k_MasterMVTBLSize; ++r) {
        MVTBL** row = m_MasterIsCVTBL[r];
        if (row == nullptr)
            continue;
        if (row[c] == oldIs)
            row[c] = newIs;
        else if (row[c] == oldNo)
            row[c] = newNo;
        if (row[0] == oldIs)
            row[0] = newIs;
    }
    m_MasterIsMVTBL[c] = newIs;
    m_MasterNoMVTBL[c] = newNo;
    FreeTable(oldIs);
    FreeTable(oldNo);
    return true;
}

// Entry `k` of the class that member `m` names, ready to be filled; null with a logged reason.
bool PrepareEntry(const ClassType_MemberID* m, int& c, int& k) {
    c = ClassIndexOf(m);
    k = MemberIndexOf(m);
    if (c >= k_MasterMVTBLSize) {
        LogScriptFatal("CreateMember: classid exceeds defined limit.");
        return false;
    }
    if (!HasTables(c) || k == 0)
        return false;
    return GrowTables(c, k);
}

} // namespace

MVTBL* IsTableOf(int c) noexcept {
    return HasTables(c) ? m_MasterIsMVTBL[c] : nullptr;
}

MVTBL* const* ClassRowOf(int c) noexcept {
    return HasTables(c) ? m_MasterIsCVTBL[c] : nullptr;
}

bool IsValidClassID(const ClassType_TypeID* c) noexcept {
    const auto value = static_cast<int64_t>(reinterpret_cast<intptr_t>(c));
    const int index = static_cast<int>(value & 0xFFF);
    const bool bare = value == index;
    const bool builtin = value == static_cast<int32_t>(0xFFFFF000u | static_cast<uint32_t>(index));
    return (bare || builtin) && HasTables(index);
}

bool IsValidMemberID(const ClassType_TypeID* c, const ClassType_MemberID* m) noexcept {
    if (!IsValidClassID(c))
        return false;
    const auto value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m));
    const uint64_t marker = value >> 12 & 0xFFF;
    if (value > 0xFFFFFFFFu || (marker != 0 && marker != 0xFFF))
        return false;
    const int owner = static_cast<int>(value & 0xFFF);
    const int member = static_cast<int>(value >> 24);
    if (!ValidIndex(owner) || member == 0)
        return false;
    // The member's class must be the class itself or an ancestor: its column in the class's
    // row is then an Is table, whose count bounds the member index.
    const MVTBL* table = m_MasterIsCVTBL[ClassIndexOf(c)][owner];
    if (table == nullptr || table == DeadTable())
        return false;
    const MVTBLHeader* header = TableHeader(table);
    // Entries skipped when a later one was filled stay undefined (no name).
    return header->m_IsTable == 1 && member < header->m_Count && table[member].m_Name != nullptr;
}

void CreateMasterCVTBL() {
    Internal::ClassTablesChanged();
    if (m_MasterIsMVTBL != nullptr)
        return;
    const size_t bytes = sizeof(void*) * k_MasterMVTBLSize;
    m_MasterIsMVTBL = static_cast<MVTBL**>(MasterAllocate(bytes));
    m_MasterNoMVTBL = static_cast<MVTBL**>(MasterAllocate(bytes));
    m_MasterIsCVTBL = static_cast<MVTBL***>(MasterAllocate(bytes));
}

void CreateClass(const ClassType_TypeID* id, const ClassType_TypeID* base, const char* scope,
                 const char* name, const TypeInfo* typeInfo, CreateFunction create, T_Kind kind) {
    Internal::ClassTablesChanged();
    const int c = ClassIndexOf(id);
    const int b = base != nullptr ? ClassIndexOf(base) : k_ClassScriptObject;
    if (c >= k_MasterMVTBLSize || b >= k_MasterMVTBLSize) {
        LogScriptFatal("CreateClass: classid or baseid exceeds defined limit.");
        return;
    }
    if (m_MasterIsMVTBL == nullptr || c < 2)
        return;
    if (HasTables(c)) {
        LogScriptError("CreateClass: class ", c, " (", name, ") already exists.");
        return;
    }
    const bool rootBase = b == k_ClassScriptObject;
    if (!rootBase && !HasTables(b)) {
        LogScriptError("CreateClass: base class ", b, " of ", name, " does not exist.");
        return;
    }

    MVTBL* is = AllocateTable(2);
    MVTBL* no = AllocateTable(2);
    for (MVTBL* table : {is, no}) {
        MVTBLHeader* header = TableHeader(table);
        header->m_Name = name;
        header->m_Scope = scope != nullptr && *scope != '\0' ? scope : nullptr;
        header->m_Kind = kind;
        header->m_ClassID = id;
        header->m_BaseID = rootBase ? nullptr : base;
        header->m_Create = create;
        header->m_Count = 1;
    }
    TableHeader(is)->m_IsTable = 1;
    m_MasterIsMVTBL[c] = is;
    m_MasterNoMVTBL[c] = no;
    auto** row = static_cast<MVTBL**>(MasterAllocate(sizeof(MVTBL*) * k_MasterMVTBLSize));
    m_MasterIsCVTBL[c] = row;

    for (int r = 0; r < k_MasterMVTBLSize; ++r) {
        if (m_MasterIsCVTBL[r] != nullptr)
            m_MasterIsCVTBL[r][c] = no;
    }
    // Columns of empty slots hold the dead table, so that no column of a row is ever null.
    MVTBL* dead = DeadTable();
    for (int d = 0; d < k_MasterMVTBLSize; ++d)
        row[d] = m_MasterNoMVTBL[d] != nullptr ? m_MasterNoMVTBL[d] : dead;
    if (!rootBase)
        std::memcpy(row, m_MasterIsCVTBL[b], sizeof(MVTBL*) * k_MasterMVTBLSize);
    row[0] = is;
    row[c] = is;

    if (MVTBL* const* nilRow = ClassRowOf(k_ClassNil))
        HeaderOf(&G_NilObject)->m_ClassRow = nilRow;
    if (typeInfo != nullptr) {
        G_ClassTypeInfo[c] = typeInfo;
        SetClassRowOfType(*typeInfo, row);
    }
}

bool SetNativeLayout(const ClassType_TypeID* c, int32_t nativeSize,
                     CreateExtraFunction createExtra) {
    const int index = ClassIndexOf(c);
    if (!HasTables(index) || TableHeader(m_MasterIsMVTBL[index])->m_Kind != Kind_Object ||
        nativeSize < static_cast<int32_t>(sizeof(ScriptObject)) || createExtra == nullptr)
        return false;
    for (MVTBL* table : {m_MasterIsMVTBL[index], m_MasterNoMVTBL[index]}) {
        MVTBLHeader* header = TableHeader(table);
        header->m_NativeSize = nativeSize;
        header->m_CreateExtra = createExtra;
        header->m_NativeAncestor = header->m_ClassID;
    }
    return true;
}

bool CreateMemberGeneric(const ClassType_MemberID* m, const char* name, GetAccessor get,
                         GetAccessor getInvalid, SetAccessor set, SetAccessor setInvalid,
                         SizeAccessor size, SizeAccessor sizeInvalid, CompareAccessor compare,
                         CompareAccessor compareInvalid, WriteAccessor write,
                         WriteAccessor writeInvalid, WriteASMAccessor writeASM,
                         WriteASMAccessor writeASMInvalid, int present, unsigned flags,
                         const ClassType_TypeID* type) {
    Internal::ClassTablesChanged();
    int c = 0;
    int k = 0;
    if (!PrepareEntry(m, c, k))
        return false;
    MVTBL& is = m_MasterIsMVTBL[c][k];
    MVTBL& no = m_MasterNoMVTBL[c][k];
    if (is.m_Name != nullptr) {
        LogScriptError("CreateMember: ", name, " already exists on ",
                       TableHeader(m_MasterIsMVTBL[c])->m_Name, ".");
    }
    // No write slot stays null: members of value types get the generic writers, which read
    // through the object's entry whatever the storage; other types write as invalid calls.
    Internal::InvalidAccessors typed;
    const bool hasStubs =
        Internal::InvalidStubs(ClassIndexOf(type), Internal::FormOf(flags), typed);
    const ResizeAccessor resize = hasStubs ? typed.m_Resize : &Internal::DeadResize;
    WriteAccessor genericWrite = nullptr;
    WriteASMAccessor genericWriteASM = nullptr;
    Internal::GenericWriters(ClassIndexOf(type), Internal::FormOf(flags), genericWrite,
                             genericWriteASM);
    WriteASMAccessor invalidWriteASM = nullptr;
    Internal::InvalidWriterASM(ClassIndexOf(type), invalidWriteASM);
    if (write == nullptr)
        write = genericWrite != nullptr ? genericWrite : writeInvalid;
    if (writeASM == nullptr)
        writeASM = genericWriteASM != nullptr ? genericWriteASM : writeASMInvalid;
    if (writeInvalid == nullptr && hasStubs)
        writeInvalid = typed.m_Write;
    if (writeASMInvalid == nullptr)
        writeASMInvalid = invalidWriteASM;
    is = MVTBL{get,
               set,
               size,
               0,
               present,
               flags,
               compare,
               write != nullptr ? write : &Internal::DeadWrite,
               type,
               name,
               writeASM != nullptr ? writeASM : &Internal::DeadWriteASM,
               resize};
    no = MVTBL{getInvalid,
               setInvalid,
               sizeInvalid,
               0,
               0,
               flags,
               compareInvalid,
               writeInvalid != nullptr ? writeInvalid : &Internal::DeadWrite,
               type,
               name,
               writeASMInvalid != nullptr ? writeASMInvalid : &Internal::DeadWriteASM,
               resize};
    return true;
}

bool CreateEnumMemberGeneric(const ClassType_Enum* m, const char* name, unsigned value, int present,
                             unsigned flags) {
    Internal::ClassTablesChanged();
    int c = 0;
    int k = 0;
    if (!PrepareEntry(m, c, k))
        return false;
    MVTBL& is = m_MasterIsMVTBL[c][k];
    MVTBL& no = m_MasterNoMVTBL[c][k];
    if (is.m_Name != nullptr) {
        LogScriptError("CreateEnumMember: ", name, " already exists on ",
                       TableHeader(m_MasterIsMVTBL[c])->m_Name, ".");
        return false;
    }
    const ClassType_TypeID* enumType = BuiltinTypeID(k_ClassEnum);
    // An enumerator is a value, not a member: every access through it is an invalid call.
    for (MVTBL* entry : {&is, &no}) {
        *entry = MVTBL{&Internal::DeadGet,
                       &Internal::DeadSet,
                       &Internal::DeadSize,
                       value,
                       entry == &is ? present : 0,
                       flags,
                       &Internal::DeadCompare,
                       &Internal::DeadWrite,
                       enumType,
                       name,
                       &Internal::DeadWriteASM,
                       &Internal::DeadResize};
    }
    return true;
}

const ClassType_TypeID* AllocateClassID() {
    Internal::ClassTablesChanged();
    CriticalSectionLock lock(MasterLock());
    if (m_MasterIsMVTBL == nullptr)
        return nullptr;
    for (int c = k_MasterMVTBLBuiltinSize; c < k_MasterMVTBLSize; ++c) {
        if (m_MasterIsMVTBL[c] == nullptr) {
            m_MasterIsMVTBL[c] = k_ReservedMVTBL;
            return MakeTypeID(c);
        }
    }
    return nullptr;
}

const ClassType_MemberID* AllocateMemberID(const ClassType_TypeID* c) {
    CriticalSectionLock lock(MasterLock());
    const int index = ClassIndexOf(c);
    MVTBL* table = IsTableOf(index);
    if (table == nullptr)
        return nullptr;
    const int count = TableHeader(table)->m_Count;
    if (count > k_MaxMembers)
        return nullptr;
    return MakeMemberID(static_cast<uint32_t>(count) << 24 | static_cast<uint32_t>(index));
}

bool CreateCVTBLHash(const ClassType_TypeID* c) {
    const int index = ClassIndexOf(c);
    MVTBL* own = IsTableOf(index);
    if (own == nullptr || TableHeader(own)->m_Hash != nullptr)
        return false;

    // Two passes over the class chain: count each bucket, then fill exact-size arrays.
    int counts[256] = {};
    auto walk = [&](auto&& visit) {
        int d = index;
        for (int depth = 0; depth < k_MasterMVTBLSize; ++depth) {
            MVTBL* table = IsTableOf(d);
            if (table == nullptr)
                break;
            const MVTBLHeader* header = TableHeader(table);
            for (int k = 1; k < header->m_Count; ++k) {
                const char* name = table[k].m_Name;
                if (name == nullptr)
                    continue;
                const unsigned bucket =
                    FastStringHash32(reinterpret_cast<const unsigned char*>(name),
                                     static_cast<unsigned>(std::strlen(name)), 96) &
                    255;
                visit(bucket, MemberIDOf(k, d));
            }
            if (header->m_BaseID == nullptr)
                break;
            d = ClassIndexOf(header->m_BaseID);
        }
    };
    walk([&](unsigned bucket, const ClassType_MemberID*) { ++counts[bucket]; });

    ++G_MasterAllocHash;
    auto* hash = static_cast<MemberHash*>(AllocateZeroed(sizeof(MemberHash)));
    for (int b = 0; b < 256; ++b) {
        ++G_MasterAllocHash;
        hash->m_Buckets[b] = static_cast<const ClassType_MemberID**>(
            AllocateZeroed(sizeof(void*) * static_cast<size_t>(counts[b] + 1)));
        counts[b] = 0;
    }
    walk([&](unsigned bucket, const ClassType_MemberID* m) {
        hash->m_Buckets[bucket][counts[bucket]++] = m;
    });
    TableHeader(own)->m_Hash = hash;
    TableHeader(m_MasterNoMVTBL[index])->m_Hash = hash;
    return true;
}

void DeleteCVTBLHash(const ClassType_TypeID* c) {
    MVTBL* own = IsTableOf(ClassIndexOf(c));
    if (own == nullptr || TableHeader(own)->m_Hash == nullptr)
        return;
    MemberHash* hash = TableHeader(own)->m_Hash;
    for (const ClassType_MemberID** bucket : hash->m_Buckets) {
        --G_MasterAllocHash;
        Platform::HeapFree(static_cast<void*>(bucket));
    }
    --G_MasterAllocHash;
    Platform::HeapFree(hash);
    TableHeader(own)->m_Hash = nullptr;
    TableHeader(m_MasterNoMVTBL[ClassIndexOf(c)])->m_Hash = nullptr;
}

void CreateMasterCVTBLHash() {
    LogScriptDebug("CreateMasterCVTBLHash() start.");
    for (int c = 0; c < k_MasterMVTBLSize; ++c)
        CreateCVTBLHash(MakeTypeID(c));
    LogScriptDebug("CreateMasterCVTBLHash() complete.");
}

const ClassType_MemberID* FindClassMember(const ClassType_TypeID* c, const char* name) {
    MVTBL* own = IsTableOf(ClassIndexOf(c));
    if (own == nullptr || name == nullptr || TableHeader(own)->m_Hash == nullptr)
        return nullptr;
    const unsigned bucket = FastStringHash32(reinterpret_cast<const unsigned char*>(name),
                                             static_cast<unsigned>(std::strlen(name)), 96) &
                            255;
    for (const ClassType_MemberID** m = TableHeader(own)->m_Hash->m_Buckets[bucket]; *m; ++m) {
        // An ancestor may have been deleted (or its slot reused) since the hash was built.
        MVTBL* table = IsTableOf(ClassIndexOf(*m));
        const int k = MemberIndexOf(*m);
        if (table == nullptr || k >= TableHeader(table)->m_Count)
            continue;
        const char* entryName = table[k].m_Name;
        if (entryName != nullptr && std::strcmp(entryName, name) == 0)
            return *m;
    }
    return nullptr;
}

namespace {

bool SameName(const char* a, const char* b) {
    return a != nullptr && std::strcmp(a, b) == 0;
}

} // namespace

const ClassType_MemberID* FindScopedMember(const char* classPart, const char* member) {
    if (classPart == nullptr || *classPart == '\0' || member == nullptr || *member == '\0')
        return nullptr;
    if (const ClassType_TypeID* c = FindBuiltinClassID(classPart)) {
        if (const ClassType_MemberID* m = FindClassMember(c, member))
            return m;
    }
    for (int c = 1; c < k_MasterMVTBLBuiltinSize; ++c) {
        const MVTBL* table = IsTableOf(c);
        if (table == nullptr || TableHeader(table)->m_Kind != Kind_Enum ||
            !SameName(TableHeader(table)->m_Scope, classPart))
            continue;
        // Only enumerators are reachable through the scope, not other members of the class.
        const ClassType_MemberID* m = FindClassMember(MakeTypeID(c), member);
        if (m == nullptr)
            continue;
        const MVTBL* owner = IsTableOf(ClassIndexOf(m));
        if ((owner[MemberIndexOf(m)].m_Flags & MemberIsSomeEnum) != 0)
            return m;
    }
    return nullptr;
}

bool IsBuiltinClassOrScope(const char* name) {
    if (name == nullptr || *name == '\0')
        return false;
    if (FindBuiltinClassID(name) != nullptr)
        return true;
    for (int c = 1; c < k_MasterMVTBLBuiltinSize; ++c) {
        const MVTBL* table = IsTableOf(c);
        if (table != nullptr && SameName(TableHeader(table)->m_Scope, name))
            return true;
    }
    return false;
}

void DeleteClass(const ClassType_TypeID* c) {
    Internal::ClassTablesChanged();
    const int index = ClassIndexOf(c);
    if (m_MasterIsMVTBL == nullptr || !ValidIndex(index))
        return;
    if (m_MasterIsMVTBL[index] == k_ReservedMVTBL) {
        CriticalSectionLock lock(MasterLock());
        m_MasterIsMVTBL[index] = nullptr;
        return;
    }
    if (!HasTables(index))
        return;
    DeleteCVTBLHash(c);
    MVTBL* is = m_MasterIsMVTBL[index];
    MVTBL* no = m_MasterNoMVTBL[index];
    MVTBL* dead = DeadTable();
    for (int r = 0; r < k_MasterMVTBLSize; ++r) {
        MVTBL** row = m_MasterIsCVTBL[r];
        if (row != nullptr && r != index && (row[index] == is || row[index] == no))
            row[index] = dead;
    }
    if (G_ClassTypeInfo[index] != nullptr) {
        SetClassRowOfType(*G_ClassTypeInfo[index], nullptr);
        G_ClassTypeInfo[index] = nullptr;
    }
    if (HeaderOf(&G_NilObject)->m_ClassRow == m_MasterIsCVTBL[index])
        HeaderOf(&G_NilObject)->m_ClassRow = nullptr;
    FreeTable(is);
    FreeTable(no);
    MasterFree(m_MasterIsCVTBL[index]);
    m_MasterIsMVTBL[index] = nullptr;
    m_MasterNoMVTBL[index] = nullptr;
    m_MasterIsCVTBL[index] = nullptr;
}

void DeleteMasterCVTBL() {
    Internal::ClassTablesChanged();
    LogScriptDebug("DeleteMasterCVTBL() start.");
    if (m_MasterIsMVTBL != nullptr) {
        for (int c = 0; c < k_MasterMVTBLSize; ++c)
            DeleteClass(MakeTypeID(c));
        MasterFree(m_MasterIsMVTBL);
        MasterFree(m_MasterNoMVTBL);
        MasterFree(m_MasterIsCVTBL);
        m_MasterIsMVTBL = nullptr;
        m_MasterNoMVTBL = nullptr;
        m_MasterIsCVTBL = nullptr;
    }
    if (G_MasterAlloc != 0)
        LogScriptFatal("MasterAlloc=", G_MasterAlloc);
    if (G_MasterAllocHash != 0)
        LogScriptFatal("G_MasterAllocHash=", G_MasterAllocHash);
    LogScriptDebug("DeleteMasterCVTBL() end.");
}

} // namespace Quorlix
