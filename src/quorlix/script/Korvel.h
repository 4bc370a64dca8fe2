#pragma once
// The names that generated binding text (ScriptClass::WriteCAPI) uses, and the "Korvel::"
// qualifier it writes, so that such declarations compile in host code:
//
//     namespace eDoor
//     {
//         Korvel::I32 _Init( Korvel::ScriptEngine* );
//         Korvel::T_TypeID ID;
//         Korvel::M_I32 Count;
//     }
//     Korvel::ScriptMemberDef defs[] = {
//           eI32::ID, MemberDefault, (M_Unknown*)&eDoor::Count, "Count",
//     };

#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptClass.h"

namespace Quorlix {

using I32 = int32_t;
using I64 = int64_t;
using U32 = uint32_t;
using U64 = uint64_t;
using F32 = float;
using F64 = double;
using U8 = uint8_t;

using T_TypeID = const ClassType_TypeID*;
using T_Enum = const ClassType_Enum*;
using M_Unknown = const ClassType_MemberID*;
using M_ScriptObject = const ClassMember_Object*;
using M_Index_ScriptObject = const ClassMember_Index_Object*;
using M_MemberID = const ClassMember_MemberID*;
using M_Index_MemberID = const ClassMember_Index_MemberID*;
using M_Enum = const ClassMember_Enum*;
using M_Index_Enum = const ClassMember_Index_Enum*;
using M_Bool = const ClassMember_Bool*;
using M_Index_Bool = const ClassMember_Index_Bool*;
using M_String = const ClassMember_String*;
using M_Index_String = const ClassMember_Index_String*;
using M_I32 = const ClassMember_I32*;
using M_Index_I32 = const ClassMember_Index_I32*;
using M_I64 = const ClassMember_I64*;
using M_Index_I64 = const ClassMember_Index_I64*;
using M_U32 = const ClassMember_U32*;
using M_Index_U32 = const ClassMember_Index_U32*;
using M_U64 = const ClassMember_U64*;
using M_Index_U64 = const ClassMember_Index_U64*;
using M_F32 = const ClassMember_F32*;
using M_Index_F32 = const ClassMember_Index_F32*;
using M_F64 = const ClassMember_F64*;
using M_Index_F64 = const ClassMember_Index_F64*;
using M_Vector2f = const ClassMember_Vector2f*;
using M_Index_Vector2f = const ClassMember_Index_Vector2f*;
using M_Vector3f = const ClassMember_Vector3f*;
using M_Index_Vector3f = const ClassMember_Index_Vector3f*;
using M_Vector4f = const ClassMember_Vector4f*;
using M_Index_Vector4f = const ClassMember_Index_Vector4f*;
using M_Matrix4f = const ClassMember_Matrix4f*;
using M_Index_Matrix4f = const ClassMember_Index_Matrix4f*;
using M_Quaternionf = const ClassMember_Quaternionf*;
using M_Index_Quaternionf = const ClassMember_Index_Quaternionf*;
using M_Spheref = const ClassMember_Spheref*;
using M_Index_Spheref = const ClassMember_Index_Spheref*;

// The identifiers of the built-in value types, as "e<Type>::ID".
#define QUORLIX_BINDING_TYPE(Name, Class)                                                          \
    namespace e##Name {                                                                            \
        inline const T_TypeID ID = BuiltinTypeID(Class);                                           \
    }
QUORLIX_BINDING_TYPE(ScriptObject, k_ClassScriptObject)
QUORLIX_BINDING_TYPE(Enum, k_ClassEnum)
QUORLIX_BINDING_TYPE(MemberID, k_ClassMemberID)
QUORLIX_BINDING_TYPE(Bool, k_ClassBool)
QUORLIX_BINDING_TYPE(String, k_ClassString)
QUORLIX_BINDING_TYPE(I32, k_ClassI32)
QUORLIX_BINDING_TYPE(I64, k_ClassI64)
QUORLIX_BINDING_TYPE(U32, k_ClassU32)
QUORLIX_BINDING_TYPE(U64, k_ClassU64)
QUORLIX_BINDING_TYPE(F32, k_ClassF32)
QUORLIX_BINDING_TYPE(F64, k_ClassF64)
QUORLIX_BINDING_TYPE(Vector2f, k_ClassVector2f)
QUORLIX_BINDING_TYPE(Vector3f, k_ClassVector3f)
QUORLIX_BINDING_TYPE(Vector4f, k_ClassVector4f)
QUORLIX_BINDING_TYPE(Matrix4f, k_ClassMatrix4f)
QUORLIX_BINDING_TYPE(Quaternionf, k_ClassQuaternionf)
QUORLIX_BINDING_TYPE(Spheref, k_ClassSpheref)
#undef QUORLIX_BINDING_TYPE

} // namespace Quorlix

namespace Korvel = Quorlix;
