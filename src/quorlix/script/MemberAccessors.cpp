#include "quorlix/script/internal/MemberAccessors.h"

#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

namespace Quorlix::Internal {

namespace {

// An index member grows to at most this many elements: a script's index must not be able to
// ask for gigabytes.
constexpr int k_MaxIndexElements = 1 << 24;

template <class V>
using StorageOf = typename ScriptValueTraits<V>::Storage;
template <class V>
using ElementOf = typename ScriptValueTraits<V>::Element;

template <class V>
constexpr bool k_IsIdentifier =
    std::is_same_v<V, const ClassType_Enum*> || std::is_same_v<V, const ClassType_MemberID*>;

// The member's storage inside the object, at the entry's offset.
template <class T>
T& Slot(const ScriptObject* self, const MVTBL& entry) {
    auto* base = reinterpret_cast<char*>(const_cast<ScriptObject*>(self));
    return *reinterpret_cast<T*>(base + entry.m_OffsetOrValue);
}

template <class V>
V Load(const StorageOf<V>& storage) {
    if constexpr (k_IsIdentifier<V>)
        return MakeMemberID<std::remove_const_t<std::remove_pointer_t<V>>>(storage);
    else
        return storage;
}

template <class V>
void Store(StorageOf<V>& storage, const V& value) {
    if constexpr (k_IsIdentifier<V>) {
        storage = IDValue(value);
    } else if constexpr (std::is_same_v<V, ScriptObject*>) {
        // The new reference first: storing the object already held must not destroy it.
        ScriptObject* object = value != nullptr ? value : &G_NilObject;
        BlockAddRef(object);
        ScriptObject* old = storage;
        storage = object;
        BlockRelease(old);
    } else {
        storage = value;
    }
}

template <class V>
V LoadElement(const ElementOf<V>& element) {
    if constexpr (std::is_same_v<V, ScriptObject*>)
        return element.Get() != nullptr ? element.Get() : &G_NilObject;
    else
        return element;
}

template <class V>
bool Equal(const V& a, const V& b) {
    if constexpr (requires { a == b; })
        return a == b;
    else
        return std::memcmp(&a, &b, sizeof(V)) == 0;
}

// --- Generic accessors: the value lives inside the object ------------------------------------

template <class V>
void ScalarGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
               const MVTBL& entry) {
    *static_cast<V*>(out) = Load<V>(Slot<StorageOf<V>>(self, entry));
}

template <class V>
void ScalarSet(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
               const MVTBL& entry) {
    Store<V>(Slot<StorageOf<V>>(self, entry), *static_cast<const V*>(value));
}

template <class V>
bool ScalarCompare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject* other,
                   const MVTBL& entry) {
    if (other == nullptr)
        return false;
    V mine = ScriptNeutralValue<V>();
    V theirs = ScriptNeutralValue<V>();
    entry.Get(self, m, 0, &mine);
    other->Entry(m).Get(other, m, 0, &theirs);
    return Equal(mine, theirs);
}

template <class V>
void IndexGet(const ScriptObject* self, const ClassType_MemberID*, int i, void* out,
              const MVTBL& entry) {
    const Array<ElementOf<V>>& array = Slot<Array<ElementOf<V>>>(self, entry);
    *static_cast<V*>(out) =
        i >= 0 && i < array.Size() ? LoadElement<V>(array[i]) : ScriptNeutralValue<V>();
}

template <class V>
void IndexSet(ScriptObject* self, const ClassType_MemberID*, int i, const void* value,
              const MVTBL& entry) {
    if (i < 0 || i >= k_MaxIndexElements) {
        LogScriptError("ScriptObject::Set: index ", i, " out of range.");
        return;
    }
    Array<ElementOf<V>>& array = Slot<Array<ElementOf<V>>>(self, entry);
    const V& v = *static_cast<const V*>(value);
    if constexpr (std::is_same_v<V, ScriptObject*>) {
        Obj<ScriptObject> object(v != nullptr ? v : &G_NilObject);
        const int old = array.Size();
        if (i >= old) {
            array.Resize(i + 1);
            for (int j = old; j < i; ++j)
                array[j] = &G_NilObject;
        }
        array[i] = object;
    } else {
        const V copy = v; // `value` may point into the array
        if (i >= array.Size())
            array.Resize(i + 1);
        array[i] = copy;
    }
}

template <class V>
int IndexSize(const ScriptObject* self, const ClassType_MemberID*, const MVTBL& entry) {
    return Slot<Array<ElementOf<V>>>(self, entry).Size();
}

template <class V>
bool IndexCompare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject* other,
                  const MVTBL& mine) {
    if (other == nullptr)
        return false;
    const MVTBL& theirs = other->Entry(m);
    const int n = mine.Size(self, m);
    if (theirs.m_Size == nullptr || theirs.Size(other, m) != n)
        return false;
    for (int i = 0; i < n; ++i) {
        V a = ScriptNeutralValue<V>();
        V b = ScriptNeutralValue<V>();
        mine.Get(self, m, i, &a);
        theirs.Get(other, m, i, &b);
        if (!Equal(a, b))
            return false;
    }
    return true;
}

// --- Invalid-call stubs ----------------------------------------------------------------------

void ReportInvalid(const ScriptObject* self, const ClassType_MemberID* m, const char* operation,
                   const char* type, const char* tail) {
    char what[64];
    std::snprintf(what, sizeof(what), "iInvalid%s_%s%s", operation, type, tail);
    self->InvalidCall(m, what);
}

template <class V>
struct Invalid {
    static constexpr const char* k_Type = ScriptValueTraits<V>::k_Name;

    static void Get(const ScriptObject* self, const ClassType_MemberID* m, int, void* out,
                    const MVTBL&) {
        ReportInvalid(self, m, "Get", k_Type, "");
        *static_cast<V*>(out) = ScriptNeutralValue<V>();
    }
    static void GetIndex(const ScriptObject* self, const ClassType_MemberID* m, int, void* out,
                         const MVTBL&) {
        ReportInvalid(self, m, "Get_Index", k_Type, "");
        *static_cast<V*>(out) = ScriptNeutralValue<V>();
    }
    static void GetArray(const ScriptObject* self, const ClassType_MemberID* m, int, void* out,
                         const MVTBL&) {
        ReportInvalid(self, m, "Get_Array", k_Type, "");
        static_cast<Array<ElementOf<V>>*>(out)->Clear();
    }
    static void Set(ScriptObject* self, const ClassType_MemberID* m, int, const void*,
                    const MVTBL&) {
        ReportInvalid(self, m, "Set", k_Type, "");
    }
    static void SetIndex(ScriptObject* self, const ClassType_MemberID* m, int, const void*,
                         const MVTBL&) {
        ReportInvalid(self, m, "Set_Index", k_Type, "");
    }
    static void SetArray(ScriptObject* self, const ClassType_MemberID* m, int, const void*,
                         const MVTBL&) {
        ReportInvalid(self, m, "Set_Array", k_Type, "");
    }
    static int Size(const ScriptObject* self, const ClassType_MemberID* m, const MVTBL&) {
        ReportInvalid(self, m, "Size", k_Type, "");
        return 0;
    }
    static bool Compare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject*,
                        const MVTBL&) {
        ReportInvalid(self, m, "Compare", k_Type, "");
        return false;
    }
    static bool CompareIndex(const ScriptObject* self, const ClassType_MemberID* m,
                             const ScriptObject*, const MVTBL&) {
        ReportInvalid(self, m, "Compare_Index", k_Type, ": ");
        return false;
    }
    static bool CompareArray(const ScriptObject* self, const ClassType_MemberID* m,
                             const ScriptObject*, const MVTBL&) {
        ReportInvalid(self, m, "Compare_Array", k_Type, ": ");
        return false;
    }
    static void Write(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream&) {
        ReportInvalid(self, m, "Write", k_Type, "");
    }
    static void WriteIndex(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream&) {
        ReportInvalid(self, m, "Write_Index", k_Type, "");
    }
    static void WriteArray(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream&) {
        ReportInvalid(self, m, "Write_Array", k_Type, "");
    }
};

// Calls f.template operator()<V>() with the C++ value type of built-in class `c`.
template <class F>
bool WithValueType(int c, F&& f) {
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

} // namespace

bool GenericAccessors(int typeClass, bool index, MemberAccessors& out) {
    return WithValueType(typeClass, [&]<class V>() {
        if (index)
            out = MemberAccessors{&IndexGet<V>, &IndexSet<V>, &IndexSize<V>, &IndexCompare<V>};
        else
            out = MemberAccessors{&ScalarGet<V>, &ScalarSet<V>, nullptr, &ScalarCompare<V>};
    });
}

bool InvalidStubs(int typeClass, MemberForm form, InvalidAccessors& out) {
    return WithValueType(typeClass, [&]<class V>() {
        using I = Invalid<V>;
        switch (form) {
        case MemberForm::Scalar:
            out = InvalidAccessors{&I::Get, &I::Set, &I::Size, &I::Compare, &I::Write};
            break;
        case MemberForm::Index:
            out = InvalidAccessors{&I::GetIndex, &I::SetIndex, &I::Size, &I::CompareIndex,
                                   &I::WriteIndex};
            break;
        case MemberForm::Array:
            out = InvalidAccessors{&I::GetArray, &I::SetArray, &I::Size, &I::CompareArray,
                                   &I::WriteArray};
            break;
        }
    });
}

void DeadGet(const ScriptObject* self, const ClassType_MemberID* m, int, void*, const MVTBL&) {
    self->InvalidCall(m, "iInvalidGet");
}
void DeadSet(ScriptObject* self, const ClassType_MemberID* m, int, const void*, const MVTBL&) {
    self->InvalidCall(m, "iInvalidSet");
}
int DeadSize(const ScriptObject* self, const ClassType_MemberID* m, const MVTBL&) {
    self->InvalidCall(m, "iInvalidSize");
    return 0;
}
bool DeadCompare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject*,
                 const MVTBL&) {
    self->InvalidCall(m, "iInvalidCompare");
    return false;
}
void DeadWrite(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream&) {
    self->InvalidCall(m, "iInvalidWrite");
}
void DeadWriteASM(const ScriptObject* self, const ClassType_MemberID* m, VPUAsmWriter&) {
    self->InvalidCall(m, "iInvalidWriteASM");
}

namespace {
void ReportNotWritable(const ClassType_MemberID* m) {
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const char* className = table != nullptr ? TableHeader(table)->m_Name : nullptr;
    const int k = MemberIndexOf(m);
    const char* memberName =
        table != nullptr && k < TableHeader(table)->m_Count ? table[k].m_Name : nullptr;
    LogScriptError(className != nullptr ? className : "?",
                   "::", memberName != nullptr ? memberName : "?", ": not writable yet.");
}
} // namespace

void NotWritableWrite(const ScriptObject*, const ClassType_MemberID* m, ScriptStream&) {
    ReportNotWritable(m);
}
void NotWritableWriteASM(const ScriptObject*, const ClassType_MemberID* m, VPUAsmWriter&) {
    ReportNotWritable(m);
}

bool RegisterGenericMember(const ClassType_MemberID* m, const char* name,
                           const ClassType_TypeID* type, unsigned flags, uint32_t offset) {
    const bool index = (flags & MemberIsIndex) != 0;
    MemberAccessors real;
    InvalidAccessors invalid;
    if (!GenericAccessors(ClassIndexOf(type), index, real) ||
        !InvalidStubs(ClassIndexOf(type), index ? MemberForm::Index : MemberForm::Scalar, invalid))
        return false;
    if (!CreateMemberGeneric(m, name, real.m_Get, invalid.m_Get, real.m_Set, invalid.m_Set,
                             real.m_Size, invalid.m_Size, real.m_Compare, invalid.m_Compare,
                             nullptr, invalid.m_Write, nullptr, nullptr, 1, flags, type))
        return false;
    const int c = ClassIndexOf(m);
    const int k = MemberIndexOf(m);
    m_MasterIsMVTBL[c][k].m_OffsetOrValue = offset;
    m_MasterNoMVTBL[c][k].m_OffsetOrValue = offset;
    return true;
}

} // namespace Quorlix::Internal

namespace Quorlix {

template <class V>
const GetAccessor GenericScalarAccessor<V>::s_Get = &Internal::ScalarGet<V>;
template <class V>
const SetAccessor GenericScalarAccessor<V>::s_Set = &Internal::ScalarSet<V>;

template struct GenericScalarAccessor<bool>;
template struct GenericScalarAccessor<int32_t>;
template struct GenericScalarAccessor<int64_t>;
template struct GenericScalarAccessor<uint32_t>;
template struct GenericScalarAccessor<uint64_t>;
template struct GenericScalarAccessor<float>;
template struct GenericScalarAccessor<double>;
template struct GenericScalarAccessor<Vector2f>;
template struct GenericScalarAccessor<Vector3f>;
template struct GenericScalarAccessor<Vector4f>;
template struct GenericScalarAccessor<Matrix4f>;
template struct GenericScalarAccessor<Quaternionf>;
template struct GenericScalarAccessor<Spheref>;
template struct GenericScalarAccessor<ScriptObject*>;

} // namespace Quorlix
