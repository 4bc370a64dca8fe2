#pragma once
// The accessor sets that member registration picks by value type and form: the generic ones
// that keep the value inside the object at the entry's offset, and the invalid-call stubs.

#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptTypes.h"

namespace Quorlix::Internal {

enum class MemberForm { Scalar, Index, Array };

// Calls f.template operator()<V>() with the C++ value type of built-in class `c`.
template <class F>
inline bool WithValueType(int c, F&& f) {
    switch (c) {
    case k_ClassScriptObject:
        f.template operator()<ScriptObject*>();
        return true;
    case k_ClassEnum:
        f.template operator()<const ClassType_Enum*>();
        return true;
    case k_ClassMemberID:
        f.template operator()<const ClassType_MemberID*>();
        return true;
    case k_ClassBool:
        f.template operator()<bool>();
        return true;
    case k_ClassString:
        f.template operator()<String>();
        return true;
    case k_ClassI32:
        f.template operator()<int32_t>();
        return true;
    case k_ClassI64:
        f.template operator()<int64_t>();
        return true;
    case k_ClassU32:
        f.template operator()<uint32_t>();
        return true;
    case k_ClassU64:
        f.template operator()<uint64_t>();
        return true;
    case k_ClassF32:
        f.template operator()<float>();
        return true;
    case k_ClassF64:
        f.template operator()<double>();
        return true;
    case k_ClassVector2f:
        f.template operator()<Vector2f>();
        return true;
    case k_ClassVector3f:
        f.template operator()<Vector3f>();
        return true;
    case k_ClassVector4f:
        f.template operator()<Vector4f>();
        return true;
    case k_ClassMatrix4f:
        f.template operator()<Matrix4f>();
        return true;
    case k_ClassQuaternionf:
        f.template operator()<Quaternionf>();
        return true;
    case k_ClassSpheref:
        f.template operator()<Spheref>();
        return true;
    default:
        return false;
    }
}

struct MemberAccessors {
    GetAccessor m_Get = nullptr;
    SetAccessor m_Set = nullptr;
    SizeAccessor m_Size = nullptr;
    CompareAccessor m_Compare = nullptr;
    ResizeAccessor m_Resize = nullptr; // null: RegisterMember uses the invalid stub
};

struct InvalidAccessors {
    GetAccessor m_Get = nullptr;
    SetAccessor m_Set = nullptr;
    SizeAccessor m_Size = nullptr;
    CompareAccessor m_Compare = nullptr;
    WriteAccessor m_Write = nullptr;
    ResizeAccessor m_Resize = nullptr;
};

/// The form that member flags declare: 0x800 Array (wins over 0x400), 0x400 Index, else Scalar.
MemberForm FormOf(unsigned flags);

/// Generic accessors of a member of built-in value type `typeClass` (the types a script class
/// member may have) in `form`; false for any other type. Index and array members keep an
/// Array<Element> handle at the offset. Every set is complete: scalar members get the scalar
/// invalid-call stub as their resize slot.
///
/// Index members: get answers the neutral value for an index outside 0..size-1 without logging;
/// set grows the array (new elements neutral) and refuses, with an error-level log line:
///  - i < 0 or i >= 16777216: "ScriptObject::Set: index <i> of \"<Class>.<Member>\" is out of
///    range."
///  - i >= size + 65536:      "ScriptObject::Set: index <i> would grow \"<Class>.<Member>\" by
///    more than 65536 elements."
/// Resize (index and array members) refuses a count outside 0..16777216 with
/// "ScriptObject::Resize: count <n> of \"<Class>.<Member>\" is out of range."
///
/// Array members: get copies the whole array into `out` (an Array<Element>*; a null element of
/// an object array reads as the nil object), set replaces it from `value` (a const
/// Array<Element>*; a null object element is stored as the nil object; the array may be the
/// member's own), size is the element count. Compare (index and array) is true when the other
/// object has the member too (its class is or derives from the member's class) and the counts
/// and elements are equal; false otherwise, without logging.
bool GenericAccessors(int typeClass, MemberForm form, MemberAccessors& out);
/// Invalid-call stubs of a value type in one form; false for types without stubs. Each logs
/// "iInvalid<Operation>_<Type>" (e.g. iInvalidGet_Array_I32, iInvalidResize_Index_I32) through
/// ScriptObject::InvalidCall and answers a neutral value, an empty array, 0 or false.
bool InvalidStubs(int typeClass, MemberForm form, InvalidAccessors& out);

/// The stubs of the permanent table that stands in for deleted classes: type-agnostic, they log
/// and leave the caller's neutral value alone.
void DeadGet(const ScriptObject*, const ClassType_MemberID*, int, void*, const MVTBL&);
void DeadSet(ScriptObject*, const ClassType_MemberID*, int, const void*, const MVTBL&);
int DeadSize(const ScriptObject*, const ClassType_MemberID*, const MVTBL&);
bool DeadCompare(const ScriptObject*, const ClassType_MemberID*, const ScriptObject*, const MVTBL&);
void DeadWrite(const ScriptObject*, const ClassType_MemberID*, ScriptStream&);
void DeadWriteASM(const ScriptObject*, const ClassType_MemberID*, VPUAsmWriter&);
bool DeadResize(ScriptObject*, const ClassType_MemberID*, int, const MVTBL&);

/// The write and writeASM accessors of a member of value type `typeClass` in `form`: they read
/// the member through the object's own entry, so they serve any storage; false for other types.
bool GenericWriters(int typeClass, MemberForm form, WriteAccessor& write,
                    WriteASMAccessor& writeASM);
/// The writeASM stub of a value type ("iInvalidWriteASM_<Type>"); false for other types.
bool InvalidWriterASM(int typeClass, WriteASMAccessor& writeASM);

/// Fills entry `m` in both tables (through CreateMemberGeneric) with `real` in the Is table and
/// `invalid` in the No table, `flags`, `type`, and `offset` in both. A null resize slot in
/// `real` gets `invalid.m_Resize` (a null one there, a type-agnostic stub). False when the
/// class has no tables.
bool RegisterMember(const ClassType_MemberID* m, const char* name, const ClassType_TypeID* type,
                    unsigned flags, uint32_t offset, const MemberAccessors& real,
                    const InvalidAccessors& invalid);
/// RegisterMember with the generic accessors and invalid stubs of `type` in the form of
/// `flags`; false for types without them.
bool RegisterGenericMember(const ClassType_MemberID* m, const char* name,
                           const ClassType_TypeID* type, unsigned flags, uint32_t offset);

} // namespace Quorlix::Internal
