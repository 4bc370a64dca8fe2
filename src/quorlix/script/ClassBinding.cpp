#include "quorlix/script/ClassBinding.h"

#include "quorlix/script/internal/MemberAccessors.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstring>

namespace Quorlix {

using Internal::LogScriptError;

namespace {

// The bindings of the built-in slots; an entry counts while its class lives under that name.
ClassBinding G_Bindings[k_MasterMVTBLBuiltinSize];

void RefuseRow(const ClassBinding& binding, const MemberRow& row, const char* reason) {
    LogScriptError("BindClass: ", binding.m_Name, ".", row.m_Name != nullptr ? row.m_Name : "?",
                   ": ", reason, ".");
}

// The value type of an accessor row must have invalid stubs in its form and a compare.
bool RegisterAccessorRow(const ClassBinding& binding, const MemberRow& row,
                         const ClassType_MemberID* m) {
    const Internal::MemberForm form = Internal::FormOf(row.m_Flags);
    Internal::MemberAccessors generic;
    Internal::InvalidAccessors invalid;
    if (!Internal::GenericAccessors(row.m_Type, form, generic) ||
        !Internal::InvalidStubs(row.m_Type, form, invalid)) {
        RefuseRow(binding, row, "unsupported value type");
        return false;
    }
    if (row.m_Get == nullptr || row.m_Set == nullptr ||
        (form != Internal::MemberForm::Scalar && row.m_Size == nullptr)) {
        RefuseRow(binding, row, "accessors missing");
        return false;
    }
    if (row.m_Type == k_ClassEnum && row.m_Enumeration == 0) {
        RefuseRow(binding, row, "enumeration class missing");
        return false;
    }
    // Compare reads both objects through their own entries, so the generic one fits any getter.
    // Generated enum accessors find their enumeration class in the offset word.
    const Internal::MemberAccessors real{row.m_Get, row.m_Set, row.m_Size, generic.m_Compare,
                                         row.m_Resize};
    return Internal::RegisterMember(m, row.m_Name, BuiltinTypeID(row.m_Type), row.m_Flags,
                                    static_cast<uint32_t>(row.m_Enumeration), real, invalid);
}

// The form the row's storage or accessors have, as the flags must say it.
Internal::MemberForm FormOfRow(const MemberRow& row) {
    switch (row.m_Form) {
    case MemberRow::IndexForm:
        return Internal::MemberForm::Index;
    case MemberRow::ArrayForm:
        return Internal::MemberForm::Array;
    default:
        return Internal::MemberForm::Scalar;
    }
}

bool RegisterRow(const ClassBinding& binding, const MemberRow& row) {
    const int c = binding.m_Class;
    if (row.m_Name == nullptr || row.m_Name[0] == '\0' || row.m_Index < 1 || row.m_Index > 255) {
        RefuseRow(binding, row, "name or member index invalid");
        return false;
    }
    const MVTBL* table = IsTableOf(c);
    if (row.m_Index < TableHeader(table)->m_Count && table[row.m_Index].m_Name != nullptr) {
        RefuseRow(binding, row, "member index already used");
        return false;
    }
    if (row.m_Kind != MemberRow::EnumeratorRow && Internal::FormOf(row.m_Flags) != FormOfRow(row)) {
        RefuseRow(binding, row, "flags do not match the member's form");
        return false;
    }
    switch (row.m_Kind) {
    case MemberRow::EnumeratorRow:
        return CreateEnumMemberGeneric(MemberIDOf<ClassType_Enum>(row.m_Index, c), row.m_Name,
                                       row.m_OffsetOrValue, 1, row.m_Flags | MemberIsSomeEnum);
    case MemberRow::AccessorRow:
        return RegisterAccessorRow(binding, row, MemberIDOf(row.m_Index, c));
    case MemberRow::FieldRow:
        break;
    }
    // A field kept in line must lie inside the native object, behind the ScriptObject part.
    const int size = binding.m_TypeInfo != nullptr ? binding.m_TypeInfo->m_Size : 0;
    if (row.m_OffsetOrValue < sizeof(ScriptObject) ||
        (size > 0 && row.m_OffsetOrValue >= static_cast<uint32_t>(size))) {
        RefuseRow(binding, row, "field outside the object");
        return false;
    }
    if (!Internal::RegisterGenericMember(MemberIDOf(row.m_Index, c), row.m_Name,
                                         BuiltinTypeID(row.m_Type), row.m_Flags,
                                         row.m_OffsetOrValue)) {
        RefuseRow(binding, row, "unsupported value type");
        return false;
    }
    return true;
}

} // namespace

MemberRow MemberRow::With(RowDefault::Tag tag, const void* value) const noexcept {
    MemberRow row = *this;
    row.m_Default = RowDefault();
    row.m_Default.m_Tag = tag;
    switch (tag) {
    case RowDefault::Bool:
        row.m_Default.m_Bool = *static_cast<const bool*>(value);
        break;
    case RowDefault::Int:
        row.m_Default.m_Int = *static_cast<const int64_t*>(value);
        break;
    case RowDefault::Unsigned:
        row.m_Default.m_Unsigned = *static_cast<const uint64_t*>(value);
        break;
    case RowDefault::Float:
        row.m_Default.m_Float = *static_cast<const float*>(value);
        break;
    case RowDefault::Double:
        row.m_Default.m_Double = *static_cast<const double*>(value);
        break;
    case RowDefault::Text:
        row.m_Default.m_Text = *static_cast<const char* const*>(value);
        break;
    default:
        break;
    }
    return row;
}

static_assert(sizeof(Vector4f) == 16 && sizeof(Quaternionf) == 16 && sizeof(Spheref) == 16);

MemberRow MemberRow::Floats(const void* values, int n) const noexcept {
    MemberRow row = *this;
    row.m_Default = RowDefault();
    row.m_Default.m_Tag = RowDefault::Floats;
    std::memcpy(row.m_Default.m_Floats, values, sizeof(float) * static_cast<size_t>(n));
    return row;
}

bool BindClass(const ClassBinding& binding) {
    const int c = binding.m_Class;
    if (c < 2 || c >= k_MasterMVTBLBuiltinSize || binding.m_Name == nullptr) {
        LogScriptError("BindClass: class index ", c, " of ",
                       binding.m_Name != nullptr ? binding.m_Name : "?",
                       " is not a built-in slot.");
        return false;
    }
    if (IsTableOf(c) != nullptr) {
        LogScriptError("BindClass: class ", c, " (", binding.m_Name, ") already exists.");
        return false;
    }
    const bool root = binding.m_Base == k_ClassScriptObject || binding.m_Base == c;
    CreateClass(BuiltinTypeID(c), root ? nullptr : BuiltinTypeID(binding.m_Base), binding.m_Scope,
                binding.m_Name, binding.m_TypeInfo, binding.m_Create, binding.m_Kind);
    if (IsTableOf(c) == nullptr)
        return false;

    // The highest member first: the tables grow once, not once per member.
    int first = -1;
    for (int r = 0; r < binding.m_RowCount; ++r) {
        const int k = binding.m_Rows[r].m_Index;
        if (k >= 1 && k <= 255 && (first < 0 || k > binding.m_Rows[first].m_Index))
            first = r;
    }
    if (first >= 0)
        RegisterRow(binding, binding.m_Rows[first]);
    for (int r = 0; r < binding.m_RowCount; ++r) {
        if (r != first)
            RegisterRow(binding, binding.m_Rows[r]);
    }
    if (binding.m_CreateExtra != nullptr && binding.m_Kind == Kind_Object)
        SetNativeLayout(BuiltinTypeID(c), binding.m_NativeSize, binding.m_CreateExtra);
    G_Bindings[c] = binding;
    return true;
}

const ClassBinding* FindClassBinding(const ClassType_TypeID* c) noexcept {
    const int index = ClassIndexOf(c);
    if (index >= k_MasterMVTBLBuiltinSize || G_Bindings[index].m_Name == nullptr)
        return nullptr;
    const MVTBL* table = IsTableOf(index);
    return table != nullptr && TableHeader(table)->m_Name == G_Bindings[index].m_Name
               ? &G_Bindings[index]
               : nullptr;
}

namespace Bind {

void RefuseSet(const ScriptObject*, const ClassType_MemberID* m, const char* what) {
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const int k = MemberIndexOf(m);
    const char* className = table != nullptr ? TableHeader(table)->m_Name : nullptr;
    const char* memberName =
        table != nullptr && k < TableHeader(table)->m_Count ? table[k].m_Name : nullptr;
    LogScriptError(className != nullptr ? className : "?", ".",
                   memberName != nullptr ? memberName : "?", ": ", what, ".");
}

const ClassType_Enum* EnumeratorOfValue(int enumeration, uint32_t value) noexcept {
    const MVTBL* table = IsTableOf(enumeration);
    if (table == nullptr)
        return nullptr;
    const int count = TableHeader(table)->m_Count;
    auto matches = [&](int k) {
        return k >= 1 && k < count && table[k].m_Name != nullptr &&
               (table[k].m_Flags & MemberIsSomeEnum) != 0 && table[k].m_OffsetOrValue == value;
    };
    // Enumerators usually hold values 0, 1, 2... as members 1, 2, 3...
    if (value < 255 && matches(static_cast<int>(value) + 1))
        return MemberIDOf<ClassType_Enum>(static_cast<int>(value) + 1, enumeration);
    for (int k = 1; k < count; ++k) {
        if (matches(k))
            return MemberIDOf<ClassType_Enum>(k, enumeration);
    }
    return nullptr;
}

bool ValueOfEnumerator(const ClassType_Enum* e, int enumeration, uint32_t& value,
                       const ScriptObject* self, const ClassType_MemberID* m) {
    const int c = ClassIndexOf(e);
    const int k = MemberIndexOf(e);
    const MVTBL* table = IsTableOf(c);
    if (e == nullptr || table == nullptr || k < 1 || k >= TableHeader(table)->m_Count ||
        table[k].m_Name == nullptr || (table[k].m_Flags & MemberIsSomeEnum) == 0) {
        RefuseSet(self, m, "not an enumerator");
        return false;
    }
    if (enumeration != 0 && c != enumeration) {
        RefuseSet(self, m, "enumerator of another enumeration refused");
        return false;
    }
    value = table[k].m_OffsetOrValue;
    return true;
}

MemberRow Enumerator(const char* name, int index, uint32_t value) {
    MemberRow row;
    row.m_Name = name;
    row.m_Index = index;
    row.m_Type = k_ClassEnum;
    row.m_Flags = MemberIsSomeEnum;
    row.m_Kind = MemberRow::EnumeratorRow;
    row.m_OffsetOrValue = value;
    return row;
}

ClassBinding PlainClass(int c, int base, const char* name, T_Kind kind, const char* scope) {
    ClassBinding binding;
    binding.m_Class = c;
    binding.m_Base = base;
    binding.m_Scope = scope;
    binding.m_Name = name;
    binding.m_Kind = kind;
    return binding;
}

} // namespace Bind
} // namespace Quorlix
