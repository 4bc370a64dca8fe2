#pragma once
// Script type and member identifiers, the fixed numbering of the built-in types, their kinds,
// and the routines that size, initialise and release member storage inside script objects.
//
// Identifiers are pointer-sized opaque values that are never dereferenced. A class identifier
// holds its 32-bit value sign-extended: built-in classes are 0xFFFFF000 + index (-4032 for
// Object), classes handed out at run time the bare index 256..511. A member identifier holds
// (member index << 24) | class index, zero-extended; bits 12..23 are ignored (0xFFF in
// identifiers from name lookups, 0 in fresh ones). Decode only through the helpers below.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Quaternionf.h"
#include "quorlix/math/Spheref.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class ScriptObject;

/// Opaque class identifier; pass as `ClassType_TypeID const*`.
struct ClassType_TypeID {};
/// Opaque member identifier; pass as `ClassType_MemberID const*`.
struct ClassType_MemberID {};
/// The member identifier of one enumerator; a script `Enum` value.
struct ClassType_Enum : ClassType_MemberID {};
/// Member identifier of unspecified value type.
struct ClassMember : ClassType_MemberID {};
/// Typed member identifiers: the same value, typed so that the accessor overloads of
/// ScriptObject are chosen by the member's value type and form (scalar or index).
template <class V, bool Index>
struct ClassMemberOf : ClassMember {
    using Value = V;
    static constexpr bool k_Index = Index;
};

enum T_Kind : int {
    Kind_None = 0,
    Kind_Value = 1,
    Kind_Enum = 2,
    Kind_MemberID = 3,
    Kind_Object = 5,
};

constexpr int k_MasterMVTBLSize = 512;
constexpr int k_MasterMVTBLBuiltinSize = 256;

/// Fixed class indexes of the built-in types.
enum BuiltinClass : int {
    k_ClassNone = 0,
    k_ClassScriptObject = 2,
    k_ClassScriptClass = 3,
    k_ClassNil = 4,
    k_ClassEnum = 5,
    k_ClassMemberID = 6,
    k_ClassBool = 8,
    k_ClassString = 9,
    k_ClassI32 = 10,
    k_ClassI64 = 11,
    k_ClassU32 = 12,
    k_ClassU64 = 13,
    k_ClassF32 = 14,
    k_ClassF64 = 15,
    k_ClassVector2f = 16,
    k_ClassVector3f = 18,
    k_ClassVector4f = 20,
    k_ClassMatrix4f = 22,
    k_ClassQuaternionf = 26,
    k_ClassSpheref = 34,
    k_ClassRotationOrderEnum = 56,
    k_ClassScriptNamespace = 62,
    k_ClassScriptEngine = 63,
    k_ClassObject = 64,
    k_ClassFileObject = 65,
};

/// Member flags (entry word `flags`).
enum MemberFlag : unsigned {
    MemberDefault = 0x0000,
    MemberNotWritten = 0x0001,
    MemberNotOwned = 0x0002,
    MemberIsSomeEnum = 0x0100,
    MemberObjectLink = 0x0200,
    MemberIsIndex = 0x0400,
    MemberIsArray = 0x0800,
    MemberObjectSingle = 0x1000,
    MemberObjectIndex = 0x2000,
};

// --- Identifier encoding ---------------------------------------------------------------------

/// The low 32 bits of an identifier.
inline uint32_t IDValue(const void* id) noexcept {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id));
}
/// Class index of a class or member identifier (0..4095; valid classes are below 512).
inline int ClassIndexOf(const void* id) noexcept {
    return static_cast<int>(IDValue(id) & 0xFFF);
}
/// Member index of a member identifier (0..255).
inline int MemberIndexOf(const ClassType_MemberID* m) noexcept {
    return static_cast<int>(IDValue(m) >> 24 & 0xFF);
}
/// A class identifier from its 32-bit value, sign-extended.
inline const ClassType_TypeID* MakeTypeID(int32_t value) noexcept {
    return reinterpret_cast<const ClassType_TypeID*>(static_cast<intptr_t>(value));
}
/// The built-in form 0xFFFFF000 + index.
inline const ClassType_TypeID* BuiltinTypeID(int index) noexcept {
    return MakeTypeID(static_cast<int32_t>(0xFFFFF000u + static_cast<uint32_t>(index)));
}
/// A member identifier from its 32-bit value, zero-extended.
template <class M = ClassType_MemberID>
inline const M* MakeMemberID(uint32_t value) noexcept {
    return reinterpret_cast<const M*>(static_cast<uintptr_t>(value));
}
/// (member << 24) | 0xFFF000 | class: the form of built-in and looked-up identifiers.
template <class M = ClassType_MemberID>
inline const M* MemberIDOf(int member, int classIndex) noexcept {
    return MakeMemberID<M>(static_cast<uint32_t>(member) << 24 | 0xFFF000u |
                           (static_cast<uint32_t>(classIndex) & 0xFFF));
}
/// Whether two identifiers name the same class (both forms compare equal).
inline bool SameClass(const void* a, const void* b) noexcept {
    return ClassIndexOf(a) == ClassIndexOf(b);
}

// --- Value types -----------------------------------------------------------------------------

/// What each script value type is in C++: its class index and name, how a scalar member stores
/// it inside an object (Storage) and the element type of an index member's array (Element).
template <class V>
struct ScriptValueTraits;

#define QUORLIX_SCRIPT_VALUE(V, Class, Name, StorageType, ElementType)                             \
    template <>                                                                                    \
    struct ScriptValueTraits<V> {                                                                  \
        static constexpr int k_Class = Class;                                                      \
        static constexpr const char* k_Name = Name;                                                \
        using Storage = StorageType;                                                               \
        using Element = ElementType;                                                               \
    };
QUORLIX_SCRIPT_VALUE(ScriptObject*, k_ClassScriptObject, "ScriptObject", ScriptObject*,
                     Obj<ScriptObject>)
QUORLIX_SCRIPT_VALUE(const ClassType_MemberID*, k_ClassMemberID, "MemberID", uint32_t,
                     const ClassType_MemberID*)
QUORLIX_SCRIPT_VALUE(const ClassType_Enum*, k_ClassEnum, "Enum", uint32_t, const ClassType_Enum*)
QUORLIX_SCRIPT_VALUE(bool, k_ClassBool, "Bool", bool, bool)
QUORLIX_SCRIPT_VALUE(String, k_ClassString, "String", String, String)
QUORLIX_SCRIPT_VALUE(int32_t, k_ClassI32, "I32", int32_t, int32_t)
QUORLIX_SCRIPT_VALUE(int64_t, k_ClassI64, "I64", int64_t, int64_t)
QUORLIX_SCRIPT_VALUE(uint32_t, k_ClassU32, "U32", uint32_t, uint32_t)
QUORLIX_SCRIPT_VALUE(uint64_t, k_ClassU64, "U64", uint64_t, uint64_t)
QUORLIX_SCRIPT_VALUE(float, k_ClassF32, "F32", float, float)
QUORLIX_SCRIPT_VALUE(double, k_ClassF64, "F64", double, double)
QUORLIX_SCRIPT_VALUE(Vector2f, k_ClassVector2f, "Vector2f", Vector2f, Vector2f)
QUORLIX_SCRIPT_VALUE(Vector3f, k_ClassVector3f, "Vector3f", Vector3f, Vector3f)
QUORLIX_SCRIPT_VALUE(Vector4f, k_ClassVector4f, "Vector4f", Vector4f, Vector4f)
QUORLIX_SCRIPT_VALUE(Matrix4f, k_ClassMatrix4f, "Matrix4f", Matrix4f, Matrix4f)
QUORLIX_SCRIPT_VALUE(Quaternionf, k_ClassQuaternionf, "Quaternionf", Quaternionf, Quaternionf)
QUORLIX_SCRIPT_VALUE(Spheref, k_ClassSpheref, "Spheref", Spheref, Spheref)
#undef QUORLIX_SCRIPT_VALUE

using ClassMember_Object = ClassMemberOf<ScriptObject*, false>;
using ClassMember_Index_Object = ClassMemberOf<ScriptObject*, true>;
using ClassMember_ScriptObject = ClassMember_Object;
using ClassMember_Index_ScriptObject = ClassMember_Index_Object;
using ClassMember_MemberID = ClassMemberOf<const ClassType_MemberID*, false>;
using ClassMember_Index_MemberID = ClassMemberOf<const ClassType_MemberID*, true>;
using ClassMember_Enum = ClassMemberOf<const ClassType_Enum*, false>;
using ClassMember_Index_Enum = ClassMemberOf<const ClassType_Enum*, true>;
using ClassMember_Bool = ClassMemberOf<bool, false>;
using ClassMember_Index_Bool = ClassMemberOf<bool, true>;
using ClassMember_String = ClassMemberOf<String, false>;
using ClassMember_Index_String = ClassMemberOf<String, true>;
using ClassMember_I32 = ClassMemberOf<int32_t, false>;
using ClassMember_Index_I32 = ClassMemberOf<int32_t, true>;
using ClassMember_I64 = ClassMemberOf<int64_t, false>;
using ClassMember_Index_I64 = ClassMemberOf<int64_t, true>;
using ClassMember_U32 = ClassMemberOf<uint32_t, false>;
using ClassMember_Index_U32 = ClassMemberOf<uint32_t, true>;
using ClassMember_U64 = ClassMemberOf<uint64_t, false>;
using ClassMember_Index_U64 = ClassMemberOf<uint64_t, true>;
using ClassMember_F32 = ClassMemberOf<float, false>;
using ClassMember_Index_F32 = ClassMemberOf<float, true>;
using ClassMember_F64 = ClassMemberOf<double, false>;
using ClassMember_Index_F64 = ClassMemberOf<double, true>;
using ClassMember_Vector2f = ClassMemberOf<Vector2f, false>;
using ClassMember_Index_Vector2f = ClassMemberOf<Vector2f, true>;
using ClassMember_Vector3f = ClassMemberOf<Vector3f, false>;
using ClassMember_Index_Vector3f = ClassMemberOf<Vector3f, true>;
using ClassMember_Vector4f = ClassMemberOf<Vector4f, false>;
using ClassMember_Index_Vector4f = ClassMemberOf<Vector4f, true>;
using ClassMember_Matrix4f = ClassMemberOf<Matrix4f, false>;
using ClassMember_Index_Matrix4f = ClassMemberOf<Matrix4f, true>;
using ClassMember_Quaternionf = ClassMemberOf<Quaternionf, false>;
using ClassMember_Index_Quaternionf = ClassMemberOf<Quaternionf, true>;
using ClassMember_Spheref = ClassMemberOf<Spheref, false>;
using ClassMember_Index_Spheref = ClassMemberOf<Spheref, true>;

// --- Queries and member storage --------------------------------------------------------------

/// The registered class name; null for a null identifier, an index of 512 or more, or a slot
/// without a class (reserved slots included).
QUORLIX_API const char* TypeIDToString(const ClassType_TypeID* type);
/// The scope the class is registered in; null where TypeIDToString gives null or without one.
QUORLIX_API const char* TypeIDToScope(const ClassType_TypeID* type);
/// The class's kind; Kind_None where TypeIDToString gives null.
QUORLIX_API T_Kind TypeIDToKind(const ClassType_TypeID* type);
/// The built-in form of the built-in class (slots 0..255) named exactly `name`; null when none.
QUORLIX_API const ClassType_TypeID* FindBuiltinClassID(const char* name);

/// Bytes a member of `type` takes inside a script object: 8 for index and array members (an
/// array handle), object references and strings; 4 for Enum, MemberID and Bool; the value's size
/// otherwise. Unknown types log "ScriptVarSize: failed to determine size for unknown type." and
/// give 0.
QUORLIX_API int ScriptVarSize(unsigned flags, const ClassType_TypeID* type);
/// Alignment of such a member inside an object: 8 for 8-byte storage, 4 otherwise.
QUORLIX_API int ScriptVarAlignment(unsigned flags, const ClassType_TypeID* type);
/// Initialises one member's zero-filled storage at `dest` from the default at `source`
/// (ignored for index and object members, which start empty and as the nil object). Array
/// members (0x800) share the array handle at `source` (null: start empty).
QUORLIX_API void DefaultConstruct(unsigned flags, void* dest, const void* source,
                                  const ClassType_TypeID* type);
/// Releases one member's storage, leaving the empty array, the nil object or the empty string.
QUORLIX_API void DefaultDestruct(unsigned flags, const ClassType_TypeID* type, void* dest);

} // namespace Quorlix
