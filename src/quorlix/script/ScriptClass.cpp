#include "quorlix/script/ScriptClass.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/Atomic.h"
#include "quorlix/script/internal/MemberAccessors.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstring>
#include <new>

namespace Quorlix {

using Internal::LogScriptError;
using Internal::LogScriptFatal;
using Internal::LogScriptWarn;

namespace {

const MVTBL* MemberEntry(const ClassType_MemberID* m) {
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const int k = MemberIndexOf(m);
    return table != nullptr && k > 0 && k < TableHeader(table)->m_Count ? &table[k] : nullptr;
}

// Member `name` of class `c` or an ancestor, with its entry; warns `undefined` + the name in
// quotes when there is none.
const ClassType_MemberID* LookupMember(const ClassType_TypeID* c, const char* name,
                                       const char* undefined, const MVTBL*& entry) {
    const ClassType_MemberID* m = FindClassMember(c, name);
    entry = m != nullptr ? MemberEntry(m) : nullptr;
    if (entry == nullptr)
        LogScriptWarn(undefined, name, "\".");
    return entry != nullptr ? m : nullptr;
}

constexpr const char* k_Undefined = "ScriptClass::FindMember_*: undefined member \"";

// Both tables of a class get the same layout words. The native part's layout is copied from
// `base` (the native class or a script class on it), so that instances are made without
// reading the native class's tables, which may be gone or reused by then.
void SetLayout(int c, int32_t instanceSize, const MVTBLHeader& base, const uint8_t* defaults) {
    const ClassType_TypeID* nativeAncestor = base.m_NativeAncestor;
    const int32_t nativeSize = base.m_NativeSize;
    const CreateExtraFunction createExtra = base.m_CreateExtra;
    for (MVTBL* table : {m_MasterIsMVTBL[c], m_MasterNoMVTBL[c]}) {
        MVTBLHeader* header = TableHeader(table);
        header->m_InstanceSize = instanceSize;
        header->m_NativeAncestor = nativeAncestor;
        header->m_NativeSize = nativeSize;
        header->m_CreateExtra = createExtra;
        header->m_Defaults = defaults;
    }
}

} // namespace

ScriptClass* ScriptClass::Create() {
    const ClassType_TypeID* id = AllocateClassID();
    if (id == nullptr) {
        Stream& stream = Xerr.pLockError();
        stream << "ScriptClass::Create:\n"
                  "  a new class could not be generated because there are no IDs left.\n"
                  "  either too many applications are running simultaneously on the same "
                  "process,\n"
                  "  or there are simply too many classes active.\n"
                  "  if there is no other solution, try increasing the generic class limit.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return NilObjectAs<ScriptClass>();
    }
    return NewObject<ScriptClass>(id);
}

ScriptClass::~ScriptClass() {
    if (IsNil())
        return;
    // No instance is left (each held a count on this object): a retired class goes now.
    if (m_RetiredID != nullptr) {
        m_ClassID = m_RetiredID;
        m_RetiredID = nullptr;
    }
    UndefClass();
}

// An instance reads the tables of every script-class ancestor too, so it counts for each.
void ScriptClass::InstanceBorn() noexcept {
    for (ScriptClass* c = this; c != nullptr; c = c->m_Base.Get())
        Platform::AtomicIncrement(c->m_Instances);
}

void ScriptClass::InstanceDied() noexcept {
    for (ScriptClass* c = this; c != nullptr; c = c->m_Base.Get())
        Platform::AtomicDecrement(c->m_Instances);
}

const ClassType_TypeID* ScriptClass::DefClass(const char* name, const ClassType_TypeID* base,
                                              T_Kind kind) {
    if (IsNil() || m_ClassID == nullptr || name == nullptr)
        return nullptr;
    const int c = ClassIndexOf(m_ClassID);
    if (IsTableOf(c) != nullptr) {
        LogScriptError("ScriptClass::DefClass: \"", name, "\" is already defined as \"",
                       GetClassNameCPtr(), "\".");
        return nullptr;
    }
    if (base == nullptr)
        base = BuiltinTypeID(k_ClassScriptObject);
    const MVTBL* baseTable = IsTableOf(ClassIndexOf(base));
    const MVTBLHeader* baseHeader = baseTable != nullptr ? TableHeader(baseTable) : nullptr;
    // Members go behind the base's instance: a script class's whole instance, or a native
    // class's part rounded up to 8. Other native classes have no known size to go behind.
    int32_t layoutSize = 0;
    if (baseHeader != nullptr && baseHeader->m_InstanceSize != 0)
        layoutSize = baseHeader->m_InstanceSize;
    else if (baseHeader != nullptr && baseHeader->m_CreateExtra != nullptr)
        layoutSize = (baseHeader->m_NativeSize + 7) & -8;
    if (kind == Kind_Object && layoutSize == 0) {
        LogScriptError("ScriptClass::DefClassObject: base of \"", name,
                       "\" must be a script class or a built-in class with a native layout.");
        return nullptr;
    }
    m_Names.Add(String(name));
    CreateClass(m_ClassID, base, "", m_Names[m_Names.Size() - 1].GetCPtr(), nullptr, nullptr, kind);
    if (IsTableOf(c) == nullptr)
        return nullptr;
    for (MVTBL* table : {m_MasterIsMVTBL[c], m_MasterNoMVTBL[c]})
        TableHeader(table)->m_Owner = this;
    // A script-class base must outlive this class: instances hold its members too.
    if (baseTable != nullptr && TableHeader(baseTable)->m_Owner != nullptr)
        m_Base = static_cast<ScriptClass*>(TableHeader(baseTable)->m_Owner);
    if (kind == Kind_Object)
        SetLayout(c, layoutSize, *baseHeader, nullptr);
    return m_ClassID;
}

const ClassType_TypeID* ScriptClass::DefClassObject(const char* name,
                                                    const ClassType_TypeID* base) {
    return DefClass(name, base, Kind_Object);
}

const ClassType_TypeID* ScriptClass::DefClassEnum(const char* name, const ClassType_TypeID* base) {
    return DefClass(name, base, Kind_Enum);
}

const ClassType_MemberID* ScriptClass::DefMemberVar(const char* name, const ClassType_TypeID* type,
                                                    unsigned flags, const void* defaultValue) {
    if (IsNil() || m_ClassID == nullptr || name == nullptr)
        return nullptr;
    const int c = ClassIndexOf(m_ClassID);
    MVTBL* own = IsTableOf(c);
    if (own == nullptr || TableHeader(own)->m_InstanceSize == 0)
        return nullptr;

    // A name may appear once along the chain: instances hold every ancestor's members.
    const MVTBL* table = own;
    for (int depth = 0; table != nullptr && depth < k_MasterMVTBLSize; ++depth) {
        const MVTBLHeader* header = TableHeader(table);
        for (int k = 1; k < header->m_Count; ++k) {
            if (table[k].m_Name != nullptr && std::strcmp(table[k].m_Name, name) == 0) {
                LogScriptError("ScriptClass::DefMemberVar: redefinition of \"", name,
                               "\" is not allowed.");
                return nullptr;
            }
        }
        if (header->m_BaseID == nullptr)
            break;
        table = IsTableOf(ClassIndexOf(header->m_BaseID));
    }

    const Internal::MemberForm form = Internal::FormOf(flags);
    Internal::MemberAccessors accessors;
    if (!Internal::GenericAccessors(ClassIndexOf(type), form, accessors)) {
        LogScriptError(form == Internal::MemberForm::Index
                           ? "ScriptClass::DefMemberVar: failed to define index \""
                       : form == Internal::MemberForm::Array
                           ? "ScriptClass::DefMemberVar: failed to define array \""
                           : "ScriptClass::DefMemberVar: failed to define \"",
                       name, "\".");
        return nullptr;
    }
    const ClassType_MemberID* m = AllocateMemberID(m_ClassID);
    if (m == nullptr) {
        LogScriptFatal("ScriptClass::DefMemberVar: memberid exceeds defined limit.");
        return nullptr;
    }

    const int size = ScriptVarSize(flags, type);
    const int align = ScriptVarAlignment(flags, type);
    const int offset = (TableHeader(own)->m_InstanceSize + align - 1) & -align;
    m_Names.Add(String(name));
    const char* storedName = m_Names[m_Names.Size() - 1].GetCPtr();
    if (!Internal::RegisterGenericMember(m, storedName, type, flags, static_cast<uint32_t>(offset)))
        return nullptr;
    own = IsTableOf(c); // the tables moved when they grew

    // Strings and arrays in the buffer are relocatable handles: growing it by reallocation is
    // safe.
    m_Defaults.Resize(offset + size);
    uint8_t* slot = &m_Defaults[offset];
    const int typeClass = ClassIndexOf(type);
    const bool scalar = form == Internal::MemberForm::Scalar;
    if (form == Internal::MemberForm::Array) {
        // The buffer owns a count on the default array; instances share it until they write.
        new (slot) Array<int>(
            defaultValue != nullptr ? *static_cast<const Array<int>*>(defaultValue) : Array<int>());
    } else if (scalar && typeClass == k_ClassString) {
        new (slot)
            String(defaultValue != nullptr ? *static_cast<const String*>(defaultValue) : String());
    } else if (scalar && defaultValue != nullptr && typeClass != k_ClassScriptObject) {
        if (typeClass == k_ClassEnum || typeClass == k_ClassMemberID) {
            const uint32_t value = IDValue(*static_cast<const void* const*>(defaultValue));
            std::memcpy(slot, &value, 4);
        } else {
            std::memcpy(slot, defaultValue, typeClass == k_ClassBool ? 1 : size);
        }
    }
    SetLayout(c, offset + size, *TableHeader(own), m_Defaults.Data());
    return m;
}

const ClassType_Enum* ScriptClass::DefMemberEnum(const char* name, int value, unsigned flags) {
    if (IsNil() || m_ClassID == nullptr || name == nullptr ||
        IsTableOf(ClassIndexOf(m_ClassID)) == nullptr)
        return nullptr;
    const ClassType_MemberID* m = AllocateMemberID(m_ClassID);
    if (m == nullptr) {
        LogScriptFatal("ScriptClass::DefMemberEnum: memberid exceeds defined limit.");
        return nullptr;
    }
    m_Names.Add(String(name));
    auto* e = static_cast<const ClassType_Enum*>(m);
    if (!CreateEnumMemberGeneric(e, m_Names[m_Names.Size() - 1].GetCPtr(),
                                 static_cast<unsigned>(value), 1, flags | MemberIsSomeEnum))
        return nullptr;
    return e;
}

void ScriptClass::EndClass() {
    if (IsNil() || m_ClassID == nullptr)
        return;
    // Members added after an earlier EndClass must be found too.
    DeleteCVTBLHash(m_ClassID);
    CreateCVTBLHash(m_ClassID);
}

void ScriptClass::ReleaseDefaults() {
    const MVTBL* own = IsTableOf(ClassIndexOf(m_ClassID));
    if (own != nullptr && TableHeader(own)->m_InstanceSize != 0) {
        for (int k = 1; k < TableHeader(own)->m_Count; ++k) {
            const MVTBL& entry = own[k];
            if (entry.m_Name == nullptr || (entry.m_Flags & MemberIsSomeEnum) != 0)
                continue;
            void* slot = &m_Defaults[static_cast<int>(entry.m_OffsetOrValue)];
            if ((entry.m_Flags & MemberIsArray) != 0)
                static_cast<Array<int>*>(slot)->~Array(); // the block's record knows the type
            else if ((entry.m_Flags & MemberIsIndex) == 0 &&
                     ClassIndexOf(entry.m_Type) == k_ClassString)
                static_cast<String*>(slot)->~String();
        }
    }
    m_Defaults.Clear();
}

void ScriptClass::UndefClass() {
    if (IsNil() || m_ClassID == nullptr)
        return;
    if (Platform::AtomicLoad(m_Instances) > 0) {
        m_RetiredID = m_ClassID;
        m_ClassID = nullptr;
        return;
    }
    ReleaseDefaults();
    DeleteClass(m_ClassID);
    m_ClassID = nullptr;
    m_Names.Clear();
    m_Base = nullptr;
}

const char* ScriptClass::GetClassNameCPtr() const noexcept {
    if (IsNil())
        return nullptr;
    const MVTBL* own = IsTableOf(ClassIndexOf(m_ClassID));
    return m_ClassID != nullptr && own != nullptr ? TableHeader(own)->m_Name : nullptr;
}

const ClassMember* ScriptClass::FindMember(const char* name, const ClassType_TypeID* type) const {
    if (IsNil() || m_ClassID == nullptr)
        return nullptr;
    const MVTBL* entry = nullptr;
    const ClassType_MemberID* m = LookupMember(m_ClassID, name, k_Undefined, entry);
    if (m == nullptr)
        return nullptr;
    if (type != nullptr && !SameClass(type, entry->m_Type)) {
        LogScriptWarn("ScriptClass::FindMember: type mismatch for \"", name, "\".");
        return nullptr;
    }
    return static_cast<const ClassMember*>(m);
}

const ClassMember* ScriptClass::FindTyped(const char* name, int typeClass, const char* typeName,
                                          bool index) const {
    if (IsNil() || m_ClassID == nullptr)
        return nullptr;
    const MVTBL* entry = nullptr;
    const ClassType_MemberID* m = LookupMember(
        m_ClassID, name, index ? "ScriptClass::FindMember_Index*: \"" : k_Undefined, entry);
    if (m == nullptr)
        return nullptr;
    if (ClassIndexOf(entry->m_Type) != typeClass) {
        LogScriptWarn(index ? "ScriptClass::FindMember_Index_" : "ScriptClass::FindMember_",
                      typeName, ": type mismatch for \"", name, "\".");
        return nullptr;
    }
    return static_cast<const ClassMember*>(m);
}

const ClassType_Enum* ScriptClass::Find_Enum(const char* name) const {
    if (IsNil() || m_ClassID == nullptr)
        return nullptr;
    const MVTBL* entry = nullptr;
    const ClassType_MemberID* m = LookupMember(m_ClassID, name, k_Undefined, entry);
    if (m == nullptr)
        return nullptr;
    if ((entry->m_Flags & MemberIsSomeEnum) == 0) {
        LogScriptWarn("ScriptClass::Find_Enum: type mismatch for \"", name, "\".");
        return nullptr;
    }
    return static_cast<const ClassType_Enum*>(m);
}

int ScriptClass::WriteCAPI(Stream& stream, int mode, const char* prefix) const {
    const MVTBL* own =
        IsNil() || m_ClassID == nullptr ? nullptr : IsTableOf(ClassIndexOf(m_ClassID));
    if (own == nullptr)
        return -1;
    if (prefix == nullptr)
        prefix = "";
    if (mode == 0) {
        stream << "namespace e" << TableHeader(own)->m_Name;
        stream.pLF();
        stream << "{";
        stream.pLF();
        stream << "    Korvel::I32 _Init( Korvel::ScriptEngine* );";
        stream.pLF();
    }
    if (mode != 2) {
        stream << "    " << prefix << "T_TypeID ID;";
        stream.pLF();
    }
    int written = 0;
    for (int k = 1; k < TableHeader(own)->m_Count; ++k) {
        const MVTBL& entry = own[k];
        if (entry.m_Name == nullptr)
            continue;
        const char* typeName = TypeIDToString(entry.m_Type);
        const bool isIndex = (entry.m_Flags & MemberIsIndex) != 0;
        const bool isEnum = (entry.m_Flags & MemberIsSomeEnum) != 0;
        if (mode != 2) {
            stream << "    " << prefix
                   << (isIndex  ? "M_Index_"
                       : isEnum ? "T_"
                                : "M_")
                   << typeName << " " << entry.m_Name << ";";
        } else if (isIndex) {
            stream << "      e" << typeName << "::ID, MemberIsIndex, (M_Unknown*)&" << entry.m_Name;
        } else if (isEnum) {
            stream << "      eEnum::ID, MemberIsSomeEnum, (M_Unknown*)&" << entry.m_Name;
        } else {
            stream << "      e" << typeName << "::ID, MemberDefault, (M_Unknown*)&" << entry.m_Name;
        }
        if (mode == 2)
            stream << ", \"" << entry.m_Name << "\",";
        stream.pLF();
        ++written;
    }
    if (mode == 0) {
        stream << "}";
        stream.pLF();
    }
    return written;
}

} // namespace Quorlix
