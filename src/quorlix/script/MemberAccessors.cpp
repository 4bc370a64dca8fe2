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
// One element write may grow an index member by at most this many elements.
constexpr int k_MaxGrowth = 65536;

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

// The array of an index or array member inside the object.
template <class V>
Array<ElementOf<V>>& Stored(const ScriptObject* self, const MVTBL& entry) {
    return Slot<Array<ElementOf<V>>>(self, entry);
}

template <class V>
ElementOf<V> NeutralElement() {
    if constexpr (std::is_same_v<V, ScriptObject*>)
        return Obj<ScriptObject>(&G_NilObject);
    else
        return ScriptNeutralValue<V>();
}

// Object elements are never null: null stands for the nil object.
template <class V>
ElementOf<V> StoredElement(const V& value) {
    if constexpr (std::is_same_v<V, ScriptObject*>)
        return Obj<ScriptObject>(value != nullptr ? value : &G_NilObject);
    else
        return value;
}

template <class V>
void ReplaceNullObjects(Array<ElementOf<V>>& array) {
    if constexpr (std::is_same_v<V, ScriptObject*>) {
        const Array<ElementOf<V>>& view = array; // reading must not unshare the block
        for (int i = 0; i < view.Size(); ++i) {
            if (view[i].Get() == nullptr)
                array[i] = &G_NilObject;
        }
    }
}

// New elements hold the neutral value, which is not always the value-initialised one.
template <class V>
void ResizeTo(Array<ElementOf<V>>& array, int count) {
    const int old = array.Size();
    array.Resize(count);
    if (count > old) {
        const ElementOf<V> neutral = NeutralElement<V>();
        for (int i = old; i < count; ++i)
            array[i] = neutral;
    }
}

const char* ClassNameOf(const ClassType_MemberID* m) {
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const char* name = table != nullptr ? TableHeader(table)->m_Name : nullptr;
    return name != nullptr ? name : "?";
}

const char* MemberNameOf(const MVTBL& entry) {
    return entry.m_Name != nullptr ? entry.m_Name : "?";
}

// Whether `other` has member `m` (its class is or derives from the member's class) with an
// entry of the same form and value type as `mine`.
bool SameMember(const MVTBL& mine, const ClassType_MemberID* m, const ScriptObject* other,
                unsigned form) {
    if (other == nullptr || !other->IsA(MakeTypeID(ClassIndexOf(m))))
        return false;
    const MVTBL& theirs = other->Entry(m);
    return (theirs.m_Flags & form) != 0 && ClassIndexOf(theirs.m_Type) == ClassIndexOf(mine.m_Type);
}

template <class V>
void IndexGet(const ScriptObject* self, const ClassType_MemberID*, int i, void* out,
              const MVTBL& entry) {
    const Array<ElementOf<V>>& array = Stored<V>(self, entry);
    *static_cast<V*>(out) =
        i >= 0 && i < array.Size() ? LoadElement<V>(array[i]) : ScriptNeutralValue<V>();
}

template <class V>
void IndexSet(ScriptObject* self, const ClassType_MemberID* m, int i, const void* value,
              const MVTBL& entry) {
    Array<ElementOf<V>>& array = Stored<V>(self, entry);
    if (i < 0 || i >= k_MaxIndexElements) {
        LogScriptError("ScriptObject::Set: index ", i, " of \"", ClassNameOf(m), ".",
                       MemberNameOf(entry), "\" is out of range.");
        return;
    }
    if (i - array.Size() >= k_MaxGrowth) {
        LogScriptError("ScriptObject::Set: index ", i, " would grow \"", ClassNameOf(m), ".",
                       MemberNameOf(entry), "\" by more than ", k_MaxGrowth, " elements.");
        return;
    }
    // Copied first: `value` may point into the array.
    const ElementOf<V> element = StoredElement<V>(*static_cast<const V*>(value));
    if (i >= array.Size())
        ResizeTo<V>(array, i + 1);
    array[i] = element;
}

template <class V>
int StoredSize(const ScriptObject* self, const ClassType_MemberID*, const MVTBL& entry) {
    return Stored<V>(self, entry).Size();
}

template <class V>
bool StoredResize(ScriptObject* self, const ClassType_MemberID* m, int count, const MVTBL& entry) {
    if (count < 0 || count > k_MaxIndexElements) {
        LogScriptError("ScriptObject::Resize: count ", count, " of \"", ClassNameOf(m), ".",
                       MemberNameOf(entry), "\" is out of range.");
        return false;
    }
    ResizeTo<V>(Stored<V>(self, entry), count);
    return true;
}

template <class V>
bool IndexCompare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject* other,
                  const MVTBL& mine) {
    if (!SameMember(mine, m, other, MemberIsIndex))
        return false;
    const MVTBL& theirs = other->Entry(m);
    const int n = mine.Size(self, m);
    if (theirs.Size(other, m) != n)
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

// Array members share the block with the arrays they were copied from or to; writes to either
// side unshare it first.
template <class V>
void ArrayGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
              const MVTBL& entry) {
    Array<ElementOf<V>>& result = *static_cast<Array<ElementOf<V>>*>(out);
    result = Stored<V>(self, entry);
    ReplaceNullObjects<V>(result);
}

template <class V>
void ArraySet(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
              const MVTBL& entry) {
    // A handle of its own keeps the block alive when `value` is the member itself.
    Array<ElementOf<V>> copy = *static_cast<const Array<ElementOf<V>>*>(value);
    ReplaceNullObjects<V>(copy);
    Stored<V>(self, entry).Swap(copy);
}

template <class V>
bool ArrayCompare(const ScriptObject* self, const ClassType_MemberID* m, const ScriptObject* other,
                  const MVTBL& mine) {
    if (!SameMember(mine, m, other, MemberIsArray))
        return false;
    Array<ElementOf<V>> a;
    Array<ElementOf<V>> b;
    mine.Get(self, m, 0, &a);
    other->Entry(m).Get(other, m, 0, &b);
    if (a.Size() != b.Size())
        return false;
    for (int i = 0; i < a.Size(); ++i) {
        if (!Equal(LoadElement<V>(a[i]), LoadElement<V>(b[i])))
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
    static bool Resize(ScriptObject* self, const ClassType_MemberID* m, int, const MVTBL&) {
        ReportInvalid(self, m, "Resize", k_Type, "");
        return false;
    }
    static bool ResizeIndex(ScriptObject* self, const ClassType_MemberID* m, int, const MVTBL&) {
        ReportInvalid(self, m, "Resize_Index", k_Type, "");
        return false;
    }
    static bool ResizeArray(ScriptObject* self, const ClassType_MemberID* m, int, const MVTBL&) {
        ReportInvalid(self, m, "Resize_Array", k_Type, "");
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

} // namespace

MemberForm FormOf(unsigned flags) {
    if ((flags & MemberIsArray) != 0)
        return MemberForm::Array;
    return (flags & MemberIsIndex) != 0 ? MemberForm::Index : MemberForm::Scalar;
}

bool GenericAccessors(int typeClass, MemberForm form, MemberAccessors& out) {
    return WithValueType(typeClass, [&]<class V>() {
        switch (form) {
        case MemberForm::Scalar:
            out = MemberAccessors{&ScalarGet<V>, &ScalarSet<V>, nullptr, &ScalarCompare<V>,
                                  &Invalid<V>::Resize};
            break;
        case MemberForm::Index:
            out = MemberAccessors{&IndexGet<V>, &IndexSet<V>, &StoredSize<V>, &IndexCompare<V>,
                                  &StoredResize<V>};
            break;
        case MemberForm::Array:
            out = MemberAccessors{&ArrayGet<V>, &ArraySet<V>, &StoredSize<V>, &ArrayCompare<V>,
                                  &StoredResize<V>};
            break;
        }
    });
}

bool InvalidStubs(int typeClass, MemberForm form, InvalidAccessors& out) {
    return WithValueType(typeClass, [&]<class V>() {
        using I = Invalid<V>;
        switch (form) {
        case MemberForm::Scalar:
            out = InvalidAccessors{&I::Get, &I::Set, &I::Size, &I::Compare, &I::Write, &I::Resize};
            break;
        case MemberForm::Index:
            out = InvalidAccessors{&I::GetIndex,     &I::SetIndex,   &I::Size,
                                   &I::CompareIndex, &I::WriteIndex, &I::ResizeIndex};
            break;
        case MemberForm::Array:
            out = InvalidAccessors{&I::GetArray,     &I::SetArray,   &I::Size,
                                   &I::CompareArray, &I::WriteArray, &I::ResizeArray};
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
bool DeadResize(ScriptObject* self, const ClassType_MemberID* m, int, const MVTBL&) {
    self->InvalidCall(m, "iInvalidResize");
    return false;
}

bool RegisterMember(const ClassType_MemberID* m, const char* name, const ClassType_TypeID* type,
                    unsigned flags, uint32_t offset, const MemberAccessors& real,
                    const InvalidAccessors& invalid) {
    // No slot a caller left out stays null: the No table falls back to the dead stubs, the Is
    // table to the No table's (the size slot of scalar members stays null by convention).
    const GetAccessor getInvalid = invalid.m_Get != nullptr ? invalid.m_Get : &DeadGet;
    const SetAccessor setInvalid = invalid.m_Set != nullptr ? invalid.m_Set : &DeadSet;
    const SizeAccessor sizeInvalid = invalid.m_Size != nullptr ? invalid.m_Size : &DeadSize;
    const CompareAccessor compareInvalid =
        invalid.m_Compare != nullptr ? invalid.m_Compare : &DeadCompare;
    const ResizeAccessor resizeInvalid =
        invalid.m_Resize != nullptr ? invalid.m_Resize : &DeadResize;
    if (!CreateMemberGeneric(
            m, name, real.m_Get != nullptr ? real.m_Get : getInvalid, getInvalid,
            real.m_Set != nullptr ? real.m_Set : setInvalid, setInvalid, real.m_Size, sizeInvalid,
            real.m_Compare != nullptr ? real.m_Compare : compareInvalid, compareInvalid, nullptr,
            invalid.m_Write, nullptr, nullptr, 1, flags, type))
        return false;
    MVTBL& is = m_MasterIsMVTBL[ClassIndexOf(m)][MemberIndexOf(m)];
    MVTBL& no = m_MasterNoMVTBL[ClassIndexOf(m)][MemberIndexOf(m)];
    is.m_OffsetOrValue = offset;
    no.m_OffsetOrValue = offset;
    is.m_Resize = real.m_Resize != nullptr ? real.m_Resize : resizeInvalid;
    no.m_Resize = resizeInvalid;
    return true;
}

bool RegisterGenericMember(const ClassType_MemberID* m, const char* name,
                           const ClassType_TypeID* type, unsigned flags, uint32_t offset) {
    const MemberForm form = FormOf(flags);
    MemberAccessors real;
    InvalidAccessors invalid;
    if (!GenericAccessors(ClassIndexOf(type), form, real) ||
        !InvalidStubs(ClassIndexOf(type), form, invalid))
        return false;
    return RegisterMember(m, name, type, flags, offset, real, invalid);
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
