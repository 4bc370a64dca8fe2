#pragma once
// The accessor sets that member registration picks by value type and form: the generic ones
// that keep the value inside the object at the entry's offset, and the invalid-call stubs.

#include "quorlix/script/ClassTable.h"

namespace Quorlix::Internal {

enum class MemberForm { Scalar, Index, Array };

struct MemberAccessors {
    GetAccessor m_Get = nullptr;
    SetAccessor m_Set = nullptr;
    SizeAccessor m_Size = nullptr;
    CompareAccessor m_Compare = nullptr;
};

struct InvalidAccessors {
    GetAccessor m_Get = nullptr;
    SetAccessor m_Set = nullptr;
    SizeAccessor m_Size = nullptr;
    CompareAccessor m_Compare = nullptr;
    WriteAccessor m_Write = nullptr;
};

/// Generic accessors of a scalar or index member of built-in value type `typeClass` (the
/// types a script class member may have); false for any other type.
bool GenericAccessors(int typeClass, bool index, MemberAccessors& out);
/// Invalid-call stubs of a value type in one form; false for types without stubs.
bool InvalidStubs(int typeClass, MemberForm form, InvalidAccessors& out);

/// The stubs of the permanent table that stands in for deleted classes: type-agnostic, they log
/// and leave the caller's neutral value alone.
void DeadGet(const ScriptObject*, const ClassType_MemberID*, int, void*, const MVTBL&);
void DeadSet(ScriptObject*, const ClassType_MemberID*, int, const void*, const MVTBL&);
int DeadSize(const ScriptObject*, const ClassType_MemberID*, const MVTBL&);
bool DeadCompare(const ScriptObject*, const ClassType_MemberID*, const ScriptObject*, const MVTBL&);
void DeadWrite(const ScriptObject*, const ClassType_MemberID*, ScriptStream&);
void DeadWriteASM(const ScriptObject*, const ClassType_MemberID*, VPUAsmWriter&);

// The write slots of members whose writers do not exist yet: they log "<Class>::<Member>: not
// writable yet." and write nothing.
void NotWritableWrite(const ScriptObject*, const ClassType_MemberID*, ScriptStream&);
void NotWritableWriteASM(const ScriptObject*, const ClassType_MemberID*, VPUAsmWriter&);

/// Registers a member with the generic accessors and invalid stubs of its type and form;
/// false for types without them.
bool RegisterGenericMember(const ClassType_MemberID* m, const char* name,
                           const ClassType_TypeID* type, unsigned flags, uint32_t offset);

} // namespace Quorlix::Internal
