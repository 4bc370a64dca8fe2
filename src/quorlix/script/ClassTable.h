#pragma once
// The class tables. Each class slot owns two member tables (MVTBL): the Is table, whose entries
// hold the real accessors of every member, and the No table, whose entries hold the invalid-call
// stubs; and one dispatch row of 512 table pointers that says, for every class d, which of d's
// two tables applies to objects of this class (Is when the class is d or derives from it).
// Member access is row[m & 0xFFF][m >> 24]: two loads and an indirect call, no type test.
//
// Tables are built single-threaded (library start-up, or the thread that runs scripts); only
// AllocateClassID and AllocateMemberID take the master lock. Member access never locks.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptTypes.h"

namespace Quorlix {

class ScriptStream;
class VPUAsmWriter;
class TypeInfo;

// Accessor thunks. Every form of a slot shares one signature, so that the stubs of a deleted
// class answer any member: `index` is ignored by scalar and array members; `out`/`value` point
// at a T (scalar and index forms) or an Array<Element> (array form).
// The entry the call came through is passed along, so that generic accessors find the offset
// without a second lookup through the row.
struct MVTBL;
using GetAccessor = void (*)(const ScriptObject* self, const ClassType_MemberID* m, int index,
                             void* out, const MVTBL& entry);
using SetAccessor = void (*)(ScriptObject* self, const ClassType_MemberID* m, int index,
                             const void* value, const MVTBL& entry);
using SizeAccessor = int (*)(const ScriptObject* self, const ClassType_MemberID* m,
                             const MVTBL& entry);
using CompareAccessor = bool (*)(const ScriptObject* self, const ClassType_MemberID* m,
                                 const ScriptObject* other, const MVTBL& entry);
using WriteAccessor = void (*)(const ScriptObject* self, const ClassType_MemberID* m,
                               ScriptStream& stream);
using WriteASMAccessor = void (*)(const ScriptObject* self, const ClassType_MemberID* m,
                                  VPUAsmWriter& writer);
/// Sets the element count of an index or array member; new elements hold the neutral value (the
/// nil object for objects). False, with a logged error, for a negative or too large count, and
/// from the stubs of scalar members and of classes that do not have the member.
using ResizeAccessor = bool (*)(ScriptObject* self, const ClassType_MemberID* m, int count,
                                const MVTBL& entry);
using CreateFunction = ScriptObject* (*)();
/// Allocates an instance of a built-in class with `extraBytes` zeroed bytes behind it (for
/// script members of classes derived from it).
using CreateExtraFunction = ScriptObject* (*)(int extraBytes);

/// One member entry. A table pointer points at entry 0 (never a member); member k is entry k.
/// The entry after the last one in use has a null name.
struct QUORLIX_API MVTBL {
    GetAccessor m_Get;
    SetAccessor m_Set;
    SizeAccessor m_Size;      // index and array members; null for scalar members (Is table)
    uint32_t m_OffsetOrValue; // byte offset in the object, or an enumerator's value
    int32_t m_Present;        // the registration's integer in the Is table, 0 in the No table
    uint32_t m_Flags;         // MemberFlag bits
    CompareAccessor m_Compare;
    WriteAccessor m_Write; // filled by the script writers; a "not writable yet" stub until then
    const ClassType_TypeID* m_Type; // value type; the element type of index members
    const char* m_Name;
    WriteASMAccessor m_WriteASM; // filled by the compiled-script writer; a stub until then
    ResizeAccessor m_Resize;     // never null: scalar members get an invalid-call stub

    // Calls through the slots, passing this entry along.
    void Get(const ScriptObject* self, const ClassType_MemberID* m, int index, void* out) const {
        m_Get(self, m, index, out, *this);
    }
    void Set(ScriptObject* self, const ClassType_MemberID* m, int index, const void* value) const {
        m_Set(self, m, index, value, *this);
    }
    int Size(const ScriptObject* self, const ClassType_MemberID* m) const {
        return m_Size(self, m, *this);
    }
    bool Compare(const ScriptObject* self, const ClassType_MemberID* m,
                 const ScriptObject* other) const {
        return m_Compare(self, m, other, *this);
    }
    bool Resize(ScriptObject* self, const ClassType_MemberID* m, int count) const {
        return m_Resize(self, m, count, *this);
    }
};

struct MemberHash;

/// The header in front of entry 0 of a table.
struct QUORLIX_API MVTBLHeader {
    MemberHash* m_Hash;        // name index of the class and its ancestors, or null
    int32_t m_InstanceSize;    // bytes of a script-class instance; 0 for built-in classes
    int32_t m_NativeSize;      // bytes of the native part; 0 without a native layout
    const uint8_t* m_Defaults; // script classes: the defaults buffer
    ScriptObject* m_Owner;     // script classes: the ScriptClass object, which instances count
    CreateExtraFunction m_CreateExtra; // makes the native part with room behind, or null
    const char* m_Scope;               // the scope the class is registered in, or null
    const char* m_Name;
    int32_t m_IsTable; // 1 in the Is table, 0 in the No table
    T_Kind m_Kind;
    const ClassType_TypeID* m_ClassID;
    const ClassType_TypeID* m_BaseID; // 0 when the base is ScriptObject
    // The built-in class whose layout instances start with: the class itself for built-in
    // classes with a native layout, the nearest such ancestor for script classes; else 0.
    const ClassType_TypeID* m_NativeAncestor;
    CreateFunction m_Create; // built-in classes that can be instantiated
    int32_t m_Count;         // entries in use including entry 0
};
static_assert(sizeof(MVTBLHeader) % alignof(MVTBL) == 0);

inline MVTBLHeader* TableHeader(MVTBL* table) noexcept {
    return reinterpret_cast<MVTBLHeader*>(table) - 1;
}
inline const MVTBLHeader* TableHeader(const MVTBL* table) noexcept {
    return reinterpret_cast<const MVTBLHeader*>(table) - 1;
}

/// A dispatch row: 512 table pointers.
using CVTBL = MVTBL*;

/// The master arrays, indexed by class index; null before CreateMasterCVTBL. An Is slot holding
/// k_ReservedMVTBL is reserved by AllocateClassID and not yet created: it has no tables.
extern QUORLIX_API MVTBL** m_MasterIsMVTBL;
extern QUORLIX_API MVTBL** m_MasterNoMVTBL;
extern QUORLIX_API MVTBL*** m_MasterIsCVTBL;
extern QUORLIX_API const int m_MasterMVTBLSize;
extern QUORLIX_API const int m_MasterMVTBLBuiltinSize;
/// Live blocks of the master structures (arrays, tables, rows) and of the member hashes.
extern QUORLIX_API int G_MasterAlloc;
extern QUORLIX_API int G_MasterAllocHash;

/// Never dereferenced.
inline MVTBL* const k_ReservedMVTBL = reinterpret_cast<MVTBL*>(~uintptr_t{0});

/// The Is table of class index `c`, or null for an empty, reserved or out-of-range slot.
QUORLIX_API MVTBL* IsTableOf(int c) noexcept;
/// The dispatch row of class index `c`, or null like IsTableOf.
QUORLIX_API MVTBL* const* ClassRowOf(int c) noexcept;

/// Allocates the three master arrays (all slots empty).
QUORLIX_API void CreateMasterCVTBL();
/// Deletes every class and the master arrays; reports leaked blocks at fatal level.
QUORLIX_API void DeleteMasterCVTBL();
/// Builds the member hash of every created class.
QUORLIX_API void CreateMasterCVTBLHash();
/// Registers the value types and the system classes: ScriptObject, ScriptClass, Nil, Enum,
/// MemberID, the value classes, Euler.RotationOrderEnum, the engine classes and Object; then
/// the native layouts of ScriptObject and Object, the built-in bases of script classes.
QUORLIX_API void InitializeSystemClasses();
/// Registers "ScriptNamespace" (-4034) and "ScriptEngine" (-4033), base ScriptObject, with their
/// type records and create functions. Called by InitializeSystemClasses.
QUORLIX_API void InitializeEngineClasses();

/// Registers class `id` (its tables and row) derived from `base` (null or ScriptObject for a
/// root class); the base must exist. `scope` (null or empty: none) names the scope the class is
/// registered in, e.g. "Euler" for "Euler.RotationOrderEnum"; the string must outlive the
/// class, like `name`. With a type record,
/// native allocations of that type carry the new row. Logs a fatal limit message and does
/// nothing for indexes of 512 or more.
QUORLIX_API void CreateClass(const ClassType_TypeID* id, const ClassType_TypeID* base,
                             const char* scope, const char* name, const TypeInfo* typeInfo,
                             CreateFunction create, T_Kind kind);
/// Marks built-in class `c` as a possible base of script classes: its instances take
/// `nativeSize` bytes (the size of the type `createExtra` makes) and `createExtra` makes them
/// with room behind. False when `c` has no tables, is not an object class, `nativeSize` is
/// smaller than a ScriptObject or `createExtra` is null.
QUORLIX_API bool SetNativeLayout(const ClassType_TypeID* c, int32_t nativeSize,
                                 CreateExtraFunction createExtra);
/// Fills member entry `m` in both tables, growing them as needed; an entry that already has a
/// name is reported and overwritten. The offsets are 0 and both resize slots hold the invalid
/// stub of the type and form (`flags` 0x400 / 0x800), or a type-agnostic one for other types;
/// Internal::RegisterMember sets them. False when the class has no tables or the index is out
/// of range.
QUORLIX_API bool CreateMemberGeneric(const ClassType_MemberID* m, const char* name, GetAccessor get,
                                     GetAccessor getInvalid, SetAccessor set,
                                     SetAccessor setInvalid, SizeAccessor size,
                                     SizeAccessor sizeInvalid, CompareAccessor compare,
                                     CompareAccessor compareInvalid, WriteAccessor write,
                                     WriteAccessor writeInvalid, WriteASMAccessor writeASM,
                                     WriteASMAccessor writeASMInvalid, int present, unsigned flags,
                                     const ClassType_TypeID* type);
/// Fills an enumerator entry; an entry that already has a name is reported and left alone.
QUORLIX_API bool CreateEnumMemberGeneric(const ClassType_Enum* m, const char* name, unsigned value,
                                         int present, unsigned flags);
/// Reserves a free slot of 256..511 and returns its bare index; null when all are taken.
/// Thread-safe.
QUORLIX_API const ClassType_TypeID* AllocateClassID();
/// The identifier of the next member of `c`: (count << 24) | index. Does not raise the count.
/// Null when the class has no tables or already has 255 members. Thread-safe.
QUORLIX_API const ClassType_MemberID* AllocateMemberID(const ClassType_TypeID* c);
/// Deletes a class's hash, tables and row (or frees a reserved slot). Other rows' columns that
/// named the deleted tables are pointed at a permanent table of invalid-call stubs.
QUORLIX_API void DeleteClass(const ClassType_TypeID* c);
/// Builds the member hash of `c` over the class and its ancestors; false when the class has no
/// tables or already has one.
QUORLIX_API bool CreateCVTBLHash(const ClassType_TypeID* c);
QUORLIX_API void DeleteCVTBLHash(const ClassType_TypeID* c);
/// Whether `c`, received from outside (a binary or compiled script, the network), names a class
/// with tables: an identifier of the bare form (index) or the built-in form (0xFFFFF000 + index,
/// sign-extended) whose index lies in 1..511 and whose slot is created. Readers of untrusted
/// identifiers call it (or IsValidMemberID) before any access; trusted callers skip it.
QUORLIX_API bool IsValidClassID(const ClassType_TypeID* c) noexcept;
/// Whether `m`, received from outside, names an existing member or enumerator of class `c`
/// (declared by `c` or one of its ancestors): `c` passes IsValidClassID, `m` has the form
/// (member << 24) | class with the class in the bare or the 0xFFF000 form and nothing above
/// 32 bits, and its member index names a defined entry below its class table's count. Reads
/// nothing outside the tables, so any value is safe to ask about.
QUORLIX_API bool IsValidMemberID(const ClassType_TypeID* c, const ClassType_MemberID* m) noexcept;
/// The member named `name` of `c` or an ancestor (the class's own first); null when not found,
/// for class 0, an empty slot or a class whose hash is not built.
QUORLIX_API const ClassType_MemberID* FindClassMember(const ClassType_TypeID* c, const char* name);
/// The member `member` of the built-in class named `classPart`, or else an enumerator named
/// `member` of an enumeration registered in the scope `classPart` (the first such enumeration in
/// slot order); null when neither exists or either name is null or empty. Resolves a dotted
/// name split at its last dot: "Euler.XYZ" and "Euler.RotationOrderEnum.XYZ" name the same
/// enumerator. Case-sensitive; needs the classes' member hashes.
QUORLIX_API const ClassType_MemberID* FindScopedMember(const char* classPart, const char* member);
/// Whether `name` names a built-in class or a scope that built-in classes are registered in.
QUORLIX_API bool IsBuiltinClassOrScope(const char* name);

} // namespace Quorlix
