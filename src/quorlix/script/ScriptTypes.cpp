#include "quorlix/script/ScriptTypes.h"

#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstring>
#include <new>

namespace Quorlix {

namespace {

// Storage of a member by class index, slots 0..37; -1: no member storage. Object references
// and strings are 8-byte handles here; Enum and MemberID keep their 32-bit identifier. The
// size-only slots (17, 19, 21, 23-25, 27-33, 35-37) have no class.
constexpr int k_VarSize[38] = {
    -1, -1, 8,  8,  8,   4,  4,  -1, 4,  8, 4, 8, 4, 8, 4, 8,  8,  16, 12,
    24, 16, 32, 64, 128, 12, 24, 16, 32, 0, 0, 0, 0, 0, 0, 16, 32, 0,  0,
};

const MVTBLHeader* ClassHeader(const ClassType_TypeID* type) {
    if (type == nullptr)
        return nullptr;
    MVTBL* table = IsTableOf(ClassIndexOf(type));
    return table != nullptr ? TableHeader(table) : nullptr;
}

void StoreSentinel(void* dest, const void* sentinel) {
    std::memcpy(dest, &sentinel, sizeof(sentinel));
}

} // namespace

const char* TypeIDToString(const ClassType_TypeID* type) {
    const MVTBLHeader* header = ClassHeader(type);
    return header != nullptr ? header->m_Name : nullptr;
}

const char* TypeIDToScope(const ClassType_TypeID* type) {
    const MVTBLHeader* header = ClassHeader(type);
    return header != nullptr ? header->m_Scope : nullptr;
}

T_Kind TypeIDToKind(const ClassType_TypeID* type) {
    const MVTBLHeader* header = ClassHeader(type);
    return header != nullptr ? header->m_Kind : Kind_None;
}

const ClassType_TypeID* FindBuiltinClassID(const char* name) {
    if (name == nullptr)
        return nullptr;
    for (int c = 0; c < k_MasterMVTBLBuiltinSize; ++c) {
        MVTBL* table = IsTableOf(c);
        if (table != nullptr && TableHeader(table)->m_Name != nullptr &&
            std::strcmp(TableHeader(table)->m_Name, name) == 0)
            return BuiltinTypeID(c);
    }
    return nullptr;
}

int ScriptVarSize(unsigned flags, const ClassType_TypeID* type) {
    if ((flags & (MemberIsIndex | MemberIsArray)) != 0)
        return static_cast<int>(sizeof(Array<int>));
    const int c = ClassIndexOf(type);
    if (type != nullptr && c < 38 && k_VarSize[c] >= 0)
        return k_VarSize[c];
    Internal::LogScriptError("ScriptVarSize: failed to determine size for unknown type.");
    return 0;
}

int ScriptVarAlignment(unsigned flags, const ClassType_TypeID* type) {
    if ((flags & (MemberIsIndex | MemberIsArray)) != 0)
        return 8;
    const int c = ClassIndexOf(type);
    return type != nullptr && c < 38 && k_VarSize[c] == 8 ? 8 : 4;
}

void DefaultConstruct(unsigned flags, void* dest, const void* source,
                      const ClassType_TypeID* type) {
    // Any element type: copying a handle only counts the block.
    if ((flags & MemberIsArray) != 0) {
        new (dest)
            Array<int>(source != nullptr ? *static_cast<const Array<int>*>(source) : Array<int>());
        return;
    }
    if ((flags & MemberIsIndex) != 0) {
        new (dest) Array<int>();
        return;
    }
    switch (ClassIndexOf(type)) {
    case k_ClassScriptObject:
    case k_ClassNil:
        // Counted like any reference, so that releasing it later balances.
        BlockAddRef(&G_NilObject);
        *static_cast<ScriptObject**>(dest) = &G_NilObject;
        return;
    case k_ClassEnum:
    case k_ClassMemberID:
        *static_cast<uint32_t*>(dest) = 0;
        return;
    case k_ClassBool:
        std::memcpy(dest, source, 1);
        return;
    case k_ClassString:
        new (dest) String(*static_cast<const String*>(source));
        return;
    case k_ClassI32:
    case k_ClassU32:
    case k_ClassF32:
        std::memcpy(dest, source, 4);
        return;
    case k_ClassI64:
    case k_ClassU64:
    case k_ClassF64:
    case k_ClassVector2f:
        std::memcpy(dest, source, 8);
        return;
    case k_ClassVector3f:
        std::memcpy(dest, source, 12);
        return;
    case k_ClassVector4f:
    case k_ClassQuaternionf:
    case k_ClassSpheref:
        std::memcpy(dest, source, 16);
        return;
    case k_ClassMatrix4f:
        std::memcpy(dest, source, 64);
        return;
    default:
        Internal::LogScriptError("DefaultConstruct: failed to construct unknown type.");
        return;
    }
}

void DefaultDestruct(unsigned flags, const ClassType_TypeID* type, void* dest) {
    // Each release balances the count DefaultConstruct took; the slot is left holding the
    // uncounted sentinel, readable but owning nothing.
    if ((flags & (MemberIsIndex | MemberIsArray)) != 0) {
        // Any element type: the block's own type record destroys its elements.
        static_cast<Array<int>*>(dest)->~Array();
        StoreSentinel(dest, G_NullArray.Payload());
        return;
    }
    const int c = ClassIndexOf(type);
    switch (c) {
    case k_ClassScriptObject:
    case k_ClassNil: {
        ScriptObject* old = *static_cast<ScriptObject**>(dest);
        StoreSentinel(dest, &G_NilObject);
        BlockRelease(old);
        return;
    }
    case k_ClassString:
        static_cast<String*>(dest)->~String();
        StoreSentinel(dest, G_NullString.Payload());
        return;
    default:
        if (c == k_ClassEnum || c == k_ClassMemberID || c == k_ClassBool || (c >= 10 && c <= 37))
            return;
        Internal::LogScriptError("DefaultDestruct: failed to destruct unknown type.");
        return;
    }
}

} // namespace Quorlix
