#pragma once
// Native classes bound as data. A class is described once, as a block of member rows that reads
// like its member table, and BindClass registers it: both tables, the dispatch row, and for
// every member the accessors that templates generate from the row. Nobody writes a thunk per
// member.
//
//     static const MemberRow k_LampRows[] = {
//         Bind::Field<&Lamp::m_Power>("Power", 1).Default(60.0f),
//         Bind::Field<&Lamp::m_Color>("Color", 2).Default(Vector3f(1, 1, 1)),
//         Bind::Property<&Lamp::GetCone, &Lamp::SetCone>("Cone", 3).Default(45.0f),
//         Bind::Property<&Lamp::GetMode, &Lamp::SetMode>("Mode", 4).Enumeration(k_ClassLampMode),
//         Bind::IndexProperty<&Lamp::GetBulb, &Lamp::SetBulb, &Lamp::BulbCount>("Bulb", 5,
//                                                                               0x2600),
//         Bind::Field<&Lamp::m_Heat>("Heat", 6, MemberNotWritten).NoDefault(),
//     };
//     BindClass(Bind::NativeClass<Lamp>(k_ClassLamp, k_ClassObject, "Lamp").Members(k_LampRows));
//
// Three kinds of row:
// - Field: the value lives in the object. Fields of the script value types (numbers, Bool,
//   vectors, Matrix4f, Quaternionf, Spheref, String) and index fields (`Array<Element>` with flag
//   0x400) get the generic accessors at the field's offset, so reads and writes through the row
//   cost what they cost for members of script classes. Object references (`Obj<T>`) and C++
//   enumerations get generated accessors that convert.
// - Property: a getter and a setter of the class, for members whose set has an effect. The
//   getter returns the value (or a const reference to it); the setter takes it by value for
//   numbers, pointers and enumerations and by const reference otherwise. IndexProperty adds the
//   element index and a size function.
//   ClearingProperty is a Property of an object member that a refused object clears: after the
//   logged refusal the setter is handed null, so the member holds nil instead of its old value.
//   ClearingField does the same for an object field.
// - Enumerator: a value of an enumeration class.
//
// Value conversions done by generated accessors: `StringRef` reads as String; `T*` and `Obj<T>`
// (T derived from ScriptObject) read as the object, a null one as the nil object; a set refuses
// objects that are not a T with a logged error, and stores the nil object as null (as the nil
// object itself when T is ScriptObject). A C++ `enum` reads as the enumerator of the row's
// enumeration class that has its value, and a set accepts only enumerators of that class.
//
// Defaults: a row states what a fresh object holds (the value type's neutral value unless
// given). Nothing applies them; the class-walk test checks every row's default against a fresh
// object, and writers that skip defaults may rely on it. NoDefault marks members whose fresh
// value is computed.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptObject.h"

#include <bit>
#include <cstddef>
#include <type_traits>

namespace Quorlix {

/// What a row says a fresh object holds.
struct QUORLIX_API RowDefault {
    enum Tag : uint8_t { Neutral, Unchecked, Bool, Int, Unsigned, Float, Double, Floats, Text };
    Tag m_Tag = Neutral;
    union {
        bool m_Bool;
        int64_t m_Int;
        uint64_t m_Unsigned;
        float m_Float;
        double m_Double;
        float m_Floats[4]; // vectors, quaternions and spheres (centre, radius)
        const char* m_Text;
    };
    constexpr RowDefault() noexcept : m_Int(0) {}
};

/// One member of a bound class.
struct QUORLIX_API MemberRow {
    enum Kind : uint8_t { FieldRow, AccessorRow, EnumeratorRow };

    const char* m_Name = nullptr;
    int m_Index = 0; // member index, 1..255
    int m_Type = 0;  // value type as a built-in class index; the element type of index members
    unsigned m_Flags = 0;
    Kind m_Kind = FieldRow;
    // Field rows kept in line: the offset from the ScriptObject part. Enumerators: the value.
    uint32_t m_OffsetOrValue = 0;
    // Accessor rows (and fields that convert): the generated accessors.
    GetAccessor m_Get = nullptr;
    SetAccessor m_Set = nullptr;
    SizeAccessor m_Size = nullptr;
    ResizeAccessor m_Resize = nullptr; // index properties that can take a whole array
    // What the field or accessors hold: a value, elements one by one, or a whole array. It must
    // agree with the flags (0x400 index, 0x800 array).
    enum Form : uint8_t { ScalarForm, IndexForm, ArrayForm } m_Form = ScalarForm;
    int m_Enumeration = 0; // Enum members: the enumeration class of their values, 0 for any
    // Object members: the class their objects must have (null: any), known once it is bound.
    const ClassType_TypeID* (*m_ObjectClass)() noexcept = nullptr;
    RowDefault m_Default;

    MemberRow Default(bool value) const noexcept { return With(RowDefault::Bool, &value); }
    MemberRow Default(int32_t value) const noexcept { return Default(int64_t{value}); }
    MemberRow Default(int64_t value) const noexcept { return With(RowDefault::Int, &value); }
    MemberRow Default(uint32_t value) const noexcept { return Default(uint64_t{value}); }
    MemberRow Default(uint64_t value) const noexcept { return With(RowDefault::Unsigned, &value); }
    MemberRow Default(float value) const noexcept { return With(RowDefault::Float, &value); }
    MemberRow Default(double value) const noexcept { return With(RowDefault::Double, &value); }
    // Vectors, quaternions and spheres are plain floats (a sphere: centre, then radius).
    MemberRow Default(const Vector2f& v) const noexcept { return Floats(&v, 2); }
    MemberRow Default(const Vector3f& v) const noexcept { return Floats(&v, 3); }
    MemberRow Default(const Vector4f& v) const noexcept { return Floats(&v, 4); }
    MemberRow Default(const Quaternionf& q) const noexcept { return Floats(&q, 4); }
    MemberRow Default(const Spheref& s) const noexcept { return Floats(&s, 4); }
    MemberRow Default(const char* text) const noexcept { return With(RowDefault::Text, &text); }
    /// The fresh value is computed (or depends on other members): the class walk skips it.
    MemberRow NoDefault() const noexcept { return With(RowDefault::Unchecked, nullptr); }
    /// The enumeration class whose enumerators an Enum member holds.
    MemberRow Enumeration(int enumerationClass) const noexcept {
        MemberRow row = *this;
        row.m_Enumeration = enumerationClass;
        return row;
    }

private:
    MemberRow With(RowDefault::Tag tag, const void* value) const noexcept;
    MemberRow Floats(const void* values, int n) const noexcept;
};

/// One bound class: identity, creation and its member rows (static storage: the registry keeps
/// the pointer).
struct QUORLIX_API ClassBinding {
    int m_Class = 0;                  // built-in class index, 1..255
    int m_Base = k_ClassScriptObject; // base class index; ScriptObject for a root class
    const char* m_Scope = "";
    const char* m_Name = nullptr;
    T_Kind m_Kind = Kind_Object;
    const TypeInfo* m_TypeInfo = nullptr; // native allocations of this type carry the row
    CreateFunction m_Create = nullptr;    // null for classes that cannot be instantiated
    // Classes that script classes may extend: the native size and how to make an instance with
    // room for script members behind it (SetNativeLayout).
    int32_t m_NativeSize = 0;
    CreateExtraFunction m_CreateExtra = nullptr;
    const MemberRow* m_Rows = nullptr;
    int m_RowCount = 0;
    // An object member of the class's own (0: none) that each instance, derived ones included,
    // fills on creation with a new object of the member's class, made as that class's create
    // function makes it, which no setter but this member's changes. A loader about to create an
    // object of exactly that class to set into the member of an instance it has just created
    // may number the held object instead: the result cannot be told apart.
    int m_HeldFresh = 0;

    ClassBinding OfKind(T_Kind kind) const noexcept {
        ClassBinding binding = *this;
        binding.m_Kind = kind;
        return binding;
    }
    /// A create function of the class's own; script classes cannot extend such a class, since
    /// their instances would be made without it.
    ClassBinding CreatedBy(CreateFunction create) const noexcept {
        ClassBinding binding = *this;
        binding.m_Create = create;
        binding.m_NativeSize = 0;
        binding.m_CreateExtra = nullptr;
        return binding;
    }
    ClassBinding HoldsFresh(int member) const noexcept {
        ClassBinding binding = *this;
        binding.m_HeldFresh = member;
        return binding;
    }
    template <size_t N>
    ClassBinding Members(const MemberRow (&rows)[N]) const noexcept {
        ClassBinding binding = *this;
        binding.m_Rows = rows;
        binding.m_RowCount = static_cast<int>(N);
        return binding;
    }
};

/// Registers the class and its members as `binding` describes them. Every row is checked (index
/// 1..255 and unused, a value type the form supports, a field inside the native object) and a
/// bad row is logged as "BindClass: <Class>.<Member>: <reason>." and skipped; the class itself
/// fails like CreateClass (logged, false). The member hash is not built: start-up builds all
/// hashes at once (CreateMasterCVTBLHash), later bindings call CreateCVTBLHash.
QUORLIX_API bool BindClass(const ClassBinding& binding);
/// The binding that registered class `c`, while that class exists; null otherwise.
QUORLIX_API const ClassBinding* FindClassBinding(const ClassType_TypeID* c) noexcept;

namespace Bind {

// --- What a C++ type is to scripts ------------------------------------------------------------

template <class R>
struct ClassOfMember;
template <class C, class R>
struct ClassOfMember<R C::*> {
    using Class = C;
    using Value = R;
};

/// The C++ types rows may use and how they convert. k_Class is the script value type;
/// k_InLine says that a field of this type is stored as script-class members store it, so the
/// generic accessors at the field's offset serve it.
template <class R, class = void>
struct ValueOf {
    static constexpr int k_Class = 0; // not bindable
    static constexpr bool k_InLine = false;
};
template <class R>
struct ValueOf<R, std::enable_if_t<k_MemberInlineValue<R> || std::is_same_v<R, String>>> {
    using Script = R;
    static constexpr int k_Class = ScriptValueTraits<R>::k_Class;
    static constexpr bool k_InLine = true;
    static const R& ToScript(const R& value, const MVTBL&) noexcept { return value; }
    static const R& FromScript(const R& value, const ScriptObject*, const ClassType_MemberID*,
                               const MVTBL&, bool&) noexcept {
        return value;
    }
};
template <>
struct ValueOf<StringRef> {
    using Script = String;
    static constexpr int k_Class = k_ClassString;
    static constexpr bool k_InLine = false;
    static String ToScript(const StringRef& value, const MVTBL&) { return String(value); }
    static const StringRef& FromScript(const String& value, const ScriptObject*,
                                       const ClassType_MemberID*, const MVTBL&, bool&) noexcept {
        return value.Ref();
    }
};

/// The class identifier that the native type T is registered under; null when none.
template <class T>
const ClassType_TypeID* NativeClassID() noexcept {
    MVTBL* const* row = TypeOf<T>().m_ClassTable;
    return row != nullptr && row[0] != nullptr ? TableHeader(row[0])->m_ClassID : nullptr;
}

/// Logs "<Class>.<Member>: <what>" at error level for a refused set.
QUORLIX_API void RefuseSet(const ScriptObject* self, const ClassType_MemberID* m, const char* what);

/// An object for a member of native type T*: the object itself when it is a T, null for the nil
/// object (unless T is ScriptObject); `ok` false with a logged error otherwise.
template <class T>
T* ObjectFromScript(ScriptObject* value, const ScriptObject* self, const ClassType_MemberID* m,
                    bool& ok) {
    if (value == nullptr || value->IsNil()) {
        if constexpr (std::is_same_v<T, ScriptObject>)
            return &G_NilObject;
        else
            return nullptr;
    }
    if constexpr (!std::is_same_v<T, ScriptObject>) {
        const ClassType_TypeID* id = NativeClassID<T>();
        if (id == nullptr || !value->IsA(id)) {
            RefuseSet(self, m, "object of the wrong class refused");
            ok = false;
            return nullptr;
        }
    }
    return static_cast<T*>(value);
}

template <class T>
struct ValueOf<T*, std::enable_if_t<std::is_base_of_v<ScriptObject, T>>> {
    using Script = ScriptObject*;
    static constexpr int k_Class = k_ClassScriptObject;
    static constexpr bool k_InLine = false;
    static ScriptObject* ToScript(T* value, const MVTBL&) noexcept {
        return value != nullptr ? static_cast<ScriptObject*>(value) : &G_NilObject;
    }
    static T* FromScript(ScriptObject* value, const ScriptObject* self, const ClassType_MemberID* m,
                         const MVTBL&, bool& ok) {
        return ObjectFromScript<T>(value, self, m, ok);
    }
    static const ClassType_TypeID* ObjectClass() noexcept {
        if constexpr (std::is_same_v<T, ScriptObject>)
            return nullptr;
        else
            return NativeClassID<T>();
    }
};
template <class T>
struct ValueOf<Obj<T>, std::enable_if_t<std::is_base_of_v<ScriptObject, T>>> : ValueOf<T*> {
    static ScriptObject* ToScript(const Obj<T>& value, const MVTBL& entry) noexcept {
        return ValueOf<T*>::ToScript(value.Get(), entry);
    }
};

/// The enumerator of enumeration class `enumeration` whose value is `value`; null when none.
QUORLIX_API const ClassType_Enum* EnumeratorOfValue(int enumeration, uint32_t value) noexcept;
/// The value of enumerator `e` when it belongs to class `enumeration` (any class for 0); false
/// (with a logged error naming the member) otherwise.
QUORLIX_API bool ValueOfEnumerator(const ClassType_Enum* e, int enumeration, uint32_t& value,
                                   const ScriptObject* self, const ClassType_MemberID* m);

template <class E>
struct ValueOf<E, std::enable_if_t<std::is_enum_v<E>>> {
    using Script = const ClassType_Enum*;
    static constexpr int k_Class = k_ClassEnum;
    static constexpr bool k_InLine = false;
    // Generated accessors of enum members keep the enumeration class in the entry's offset word.
    static Script ToScript(E value, const MVTBL& entry) noexcept {
        return EnumeratorOfValue(static_cast<int>(entry.m_OffsetOrValue),
                                 static_cast<uint32_t>(value));
    }
    static E FromScript(Script value, const ScriptObject* self, const ClassType_MemberID* m,
                        const MVTBL& entry, bool& ok) {
        uint32_t number = 0;
        ok = ValueOfEnumerator(value, static_cast<int>(entry.m_OffsetOrValue), number, self, m);
        return static_cast<E>(number);
    }
};

template <class R>
using Plain = std::remove_cvref_t<R>;
/// How a setter takes a value of type R: by value for numbers, pointers and enumerations.
template <class R>
using SetterParam = std::conditional_t<std::is_scalar_v<Plain<R>>, Plain<R>, const Plain<R>&>;

template <class G>
struct Getter;
template <class C, class R>
struct Getter<R (C::*)() const> {
    using Class = C;
    using Result = R;
    using Set = void (C::*)(SetterParam<R>);
};
template <class C, class R>
struct Getter<R (C::*)() const noexcept> : Getter<R (C::*)() const> {};
template <class C, class R>
struct Getter<R (C::*)(int) const> {
    using Class = C;
    using Result = R;
    using Set = void (C::*)(int, SetterParam<R>);
};
template <class C, class R>
struct Getter<R (C::*)(int) const noexcept> : Getter<R (C::*)(int) const> {};

template <class C>
using SizeFunction = int (C::*)() const;

// --- Generated accessors ----------------------------------------------------------------------

template <class C>
const C& Self(const ScriptObject* self) noexcept {
    return *static_cast<const C*>(self);
}
template <class C>
C& Self(ScriptObject* self) noexcept {
    return *static_cast<C*>(self);
}

// A native value handed out as the script value the entry's caller expects at `out`.
template <class R, class Value>
void GiveOut(void* out, const Value& value, const MVTBL& entry) {
    using V = ValueOf<R>;
    *static_cast<typename V::Script*>(out) = V::ToScript(value, entry);
}

// The script value at `value` converted for a native setter: `store` gets it unless the
// conversion refused it (logged).
template <class R, class Store>
void TakeIn(ScriptObject* self, const ClassType_MemberID* m, const void* value, const MVTBL& entry,
            Store&& store) {
    using V = ValueOf<R>;
    bool ok = true;
    auto&& converted =
        V::FromScript(*static_cast<const typename V::Script*>(value), self, m, entry, ok);
    if (ok)
        store(converted);
}

template <auto Get>
void PropertyGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
                 const MVTBL& entry) {
    using G = Getter<decltype(Get)>;
    GiveOut<Plain<typename G::Result>>(out, (Self<typename G::Class>(self).*Get)(), entry);
}

template <auto Get, auto Set>
void PropertySet(ScriptObject* self, const ClassType_MemberID* m, int, const void* value,
                 const MVTBL& entry) {
    using G = Getter<decltype(Get)>;
    TakeIn<Plain<typename G::Result>>(
        self, m, value, entry, [&](const auto& v) { (Self<typename G::Class>(self).*Set)(v); });
}

template <auto Get, auto Set>
void ClearingPropertySet(ScriptObject* self, const ClassType_MemberID* m, int, const void* value,
                         const MVTBL& entry) {
    using G = Getter<decltype(Get)>;
    using V = ValueOf<Plain<typename G::Result>>;
    bool ok = true;
    auto* object =
        V::FromScript(*static_cast<const typename V::Script*>(value), self, m, entry, ok);
    (Self<typename G::Class>(self).*Set)(ok ? object : nullptr);
}

template <auto Get>
void IndexPropertyGet(const ScriptObject* self, const ClassType_MemberID*, int i, void* out,
                      const MVTBL& entry) {
    using G = Getter<decltype(Get)>;
    GiveOut<Plain<typename G::Result>>(out, (Self<typename G::Class>(self).*Get)(i), entry);
}

template <auto Get, auto Set>
void IndexPropertySet(ScriptObject* self, const ClassType_MemberID* m, int i, const void* value,
                      const MVTBL& entry) {
    using G = Getter<decltype(Get)>;
    TakeIn<Plain<typename G::Result>>(
        self, m, value, entry, [&](const auto& v) { (Self<typename G::Class>(self).*Set)(i, v); });
}

template <auto Size>
int IndexPropertySize(const ScriptObject* self, const ClassType_MemberID*, const MVTBL&) {
    using C = typename ClassOfMember<decltype(Size)>::Class;
    return (Self<C>(self).*Size)();
}

template <auto F>
void FieldGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
              const MVTBL& entry) {
    using M = ClassOfMember<decltype(F)>;
    GiveOut<typename M::Value>(out, Self<typename M::Class>(self).*F, entry);
}

template <auto F>
void FieldSet(ScriptObject* self, const ClassType_MemberID* m, int, const void* value,
              const MVTBL& entry) {
    using M = ClassOfMember<decltype(F)>;
    TakeIn<typename M::Value>(self, m, value, entry,
                              [&](const auto& v) { Self<typename M::Class>(self).*F = v; });
}

/// FieldSet of an object field that a refused object clears (see ClearingField).
template <auto F>
void ClearingFieldSet(ScriptObject* self, const ClassType_MemberID* m, int, const void* value,
                      const MVTBL& entry) {
    using M = ClassOfMember<decltype(F)>;
    using V = ValueOf<typename M::Value>;
    bool ok = true;
    auto* object =
        V::FromScript(*static_cast<const typename V::Script*>(value), self, m, entry, ok);
    Self<typename M::Class>(self).*F = ok ? object : nullptr;
}

/// Byte offset of field F from the ScriptObject part of its class. A data member pointer is
/// the member's offset in its class on this ABI, so no object is needed.
template <auto F>
uint32_t FieldOffset() noexcept {
    using M = ClassOfMember<decltype(F)>;
    using C = typename M::Class;
    static_assert(sizeof(F) == sizeof(ptrdiff_t), "data member pointers are plain offsets");
    // The ScriptObject part's place in C, from the pointer adjustment of an upcast.
    constexpr uintptr_t k_Probe = 4096;
    const auto* probe = reinterpret_cast<const C*>(k_Probe);
    const auto base =
        reinterpret_cast<uintptr_t>(static_cast<const ScriptObject*>(probe)) - k_Probe;
    return static_cast<uint32_t>(std::bit_cast<ptrdiff_t>(F) - static_cast<ptrdiff_t>(base));
}

template <class T>
struct IsArray : std::false_type {};
template <class E>
struct IsArray<Array<E>> : std::true_type {
    using Element = E;
};

/// The script value type whose arrays hold elements of type E.
template <class E>
using ValueOfElement = std::conditional_t<std::is_same_v<E, Obj<ScriptObject>>, ScriptObject*, E>;

template <auto Get>
void ArrayPropertyGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
                      const MVTBL&) {
    using G = Getter<decltype(Get)>;
    *static_cast<Plain<typename G::Result>*>(out) = (Self<typename G::Class>(self).*Get)();
}

template <auto Get, auto Set>
void ArrayPropertySet(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
                      const MVTBL&) {
    using G = Getter<decltype(Get)>;
    (Self<typename G::Class>(self).*Set)(*static_cast<const Plain<typename G::Result>*>(value));
}

template <auto Get>
int ArrayPropertySize(const ScriptObject* self, const ClassType_MemberID*, const MVTBL&) {
    using G = Getter<decltype(Get)>;
    return (Self<typename G::Class>(self).*Get)().Size();
}

template <auto Resize>
bool IndexPropertyResize(ScriptObject* self, const ClassType_MemberID*, int count, const MVTBL&) {
    using C = typename ClassOfMember<decltype(Resize)>::Class;
    if (count < 0)
        return false;
    (Self<C>(self).*Resize)(count);
    return true;
}

template <class C>
using ResizeFunction = void (C::*)(int);

// --- Row builders -----------------------------------------------------------------------------

/// A row served by generated accessors for values of C++ type R.
template <class R>
MemberRow AccessorRow(const char* name, int index, unsigned flags, GetAccessor get,
                      SetAccessor set) {
    using V = ValueOf<R>;
    static_assert(V::k_Class != 0, "not a script value type");
    MemberRow row;
    row.m_Name = name;
    row.m_Index = index;
    row.m_Type = V::k_Class;
    row.m_Flags = flags;
    row.m_Kind = MemberRow::AccessorRow;
    row.m_Get = get;
    row.m_Set = set;
    if constexpr (V::k_Class == k_ClassScriptObject)
        row.m_ObjectClass = &V::ObjectClass;
    return row;
}

/// A member kept in field F of the class. Fields of script value types and index fields
/// (`Array<Element>` with flag 0x400) are served in line; others through generated accessors.
template <auto F>
MemberRow Field(const char* name, int index, unsigned flags = MemberDefault) {
    using M = ClassOfMember<decltype(F)>;
    using R = typename M::Value;
    static_assert(std::is_base_of_v<ScriptObject, typename M::Class>,
                  "fields belong to classes derived from ScriptObject");
    MemberRow row;
    row.m_Name = name;
    row.m_Index = index;
    row.m_Flags = flags;
    if constexpr (IsArray<R>::value) {
        using E = typename IsArray<R>::Element;
        row.m_Type = ScriptValueTraits<ValueOfElement<E>>::k_Class;
        row.m_OffsetOrValue = FieldOffset<F>();
        if ((flags & MemberIsArray) != 0) {
            row.m_Form = MemberRow::ArrayForm;
        } else {
            row.m_Form = MemberRow::IndexForm;
            row.m_Flags |= MemberIsIndex;
        }
    } else if constexpr (ValueOf<R>::k_InLine) {
        row.m_Type = ValueOf<R>::k_Class;
        row.m_OffsetOrValue = FieldOffset<F>();
    } else {
        return AccessorRow<R>(name, index, flags, &FieldGet<F>, &FieldSet<F>);
    }
    return row;
}

/// A Field of an object reference (`Obj<T>`) that a refused object clears: after the logged
/// refusal the field holds nil instead of its old value.
template <auto F>
MemberRow ClearingField(const char* name, int index, unsigned flags = MemberDefault) {
    using R = typename ClassOfMember<decltype(F)>::Value;
    static_assert(ValueOf<R>::k_Class == k_ClassScriptObject, "the field holds an object");
    return AccessorRow<R>(name, index, flags, &FieldGet<F>, &ClearingFieldSet<F>);
}

/// A member read by getter Get and written by setter Set of the class. Set's type follows from
/// Get's, so an overloaded setter name picks the right overload.
template <auto Get, typename Getter<decltype(Get)>::Set Set>
MemberRow Property(const char* name, int index, unsigned flags = MemberDefault) {
    using G = Getter<decltype(Get)>;
    return AccessorRow<Plain<typename G::Result>>(name, index, flags, &PropertyGet<Get>,
                                                  &PropertySet<Get, Set>);
}

/// A Property of an object member (Get returns a T*, Set takes one) whose setter is handed null
/// for an object of the wrong class, after the refusal is logged.
template <auto Get, typename Getter<decltype(Get)>::Set Set>
MemberRow ClearingProperty(const char* name, int index, unsigned flags = MemberDefault) {
    using G = Getter<decltype(Get)>;
    static_assert(std::is_pointer_v<Plain<typename G::Result>>, "the getter returns an object");
    return AccessorRow<Plain<typename G::Result>>(name, index, flags, &PropertyGet<Get>,
                                                  &ClearingPropertySet<Get, Set>);
}

/// An index member: element getter Get(i), element setter Set(i, value) and Size(). Whole
/// arrays assigned to it are refused as an invalid call; the form below takes them.
template <auto Get, typename Getter<decltype(Get)>::Set Set,
          SizeFunction<typename Getter<decltype(Get)>::Class> Size>
MemberRow IndexProperty(const char* name, int index, unsigned flags = MemberIsIndex) {
    using G = Getter<decltype(Get)>;
    MemberRow row = AccessorRow<Plain<typename G::Result>>(
        name, index, flags | MemberIsIndex, &IndexPropertyGet<Get>, &IndexPropertySet<Get, Set>);
    row.m_Size = &IndexPropertySize<Size>;
    row.m_Form = MemberRow::IndexForm;
    return row;
}

/// The same with Resize(n), through which whole arrays may be assigned. An overload rather than
/// a null default: GCC 12 with -fsanitize=undefined does not accept `Resize != nullptr` as a
/// constant expression (seen with TBranch::ResizeChild).
template <auto Get, typename Getter<decltype(Get)>::Set Set,
          SizeFunction<typename Getter<decltype(Get)>::Class> Size,
          ResizeFunction<typename Getter<decltype(Get)>::Class> Resize>
MemberRow IndexProperty(const char* name, int index, unsigned flags = MemberIsIndex) {
    MemberRow row = IndexProperty<Get, Set, Size>(name, index, flags);
    row.m_Resize = &IndexPropertyResize<Resize>;
    return row;
}

/// An array member (flag 0x800) read whole by Get (an `Array<Element>`, or a const reference to
/// one) and written whole by Set.
template <auto Get, typename Getter<decltype(Get)>::Set Set>
MemberRow ArrayProperty(const char* name, int index, unsigned flags = MemberIsArray) {
    using G = Getter<decltype(Get)>;
    using R = Plain<typename G::Result>;
    static_assert(IsArray<R>::value, "the getter returns an array");
    MemberRow row;
    row.m_Name = name;
    row.m_Index = index;
    row.m_Type = ScriptValueTraits<ValueOfElement<typename IsArray<R>::Element>>::k_Class;
    row.m_Flags = flags | MemberIsArray;
    row.m_Kind = MemberRow::AccessorRow;
    row.m_Form = MemberRow::ArrayForm;
    row.m_Get = &ArrayPropertyGet<Get>;
    row.m_Set = &ArrayPropertySet<Get, Set>;
    row.m_Size = &ArrayPropertySize<Get>;
    return row;
}

/// Enumerator `name` with `value`, member `index` of an enumeration class.
QUORLIX_API MemberRow Enumerator(const char* name, int index, uint32_t value);

template <class C>
ScriptObject* CreateNative() {
    return NewObject<C>();
}

/// The binding of native class C at class index `c` on `base`. C's type record is attached; when
/// C can be default-constructed it gets a create function and script classes may extend it.
template <class C>
ClassBinding NativeClass(int c, int base, const char* name, const char* scope = "") {
    static_assert(std::is_base_of_v<ScriptObject, C>);
    ClassBinding binding;
    binding.m_Class = c;
    binding.m_Base = base;
    binding.m_Scope = scope;
    binding.m_Name = name;
    binding.m_TypeInfo = &TypeOf<C>();
    if constexpr (std::is_default_constructible_v<C> && !std::is_abstract_v<C>) {
        binding.m_Create = &CreateNative<C>;
        binding.m_NativeSize = static_cast<int32_t>(sizeof(C));
        binding.m_CreateExtra = &CreateNativeWithExtra<C>;
    }
    return binding;
}

/// A class without a native type (Nil, the enumerations): `kind` says which.
QUORLIX_API ClassBinding PlainClass(int c, int base, const char* name, T_Kind kind,
                                    const char* scope = "");

} // namespace Bind
} // namespace Quorlix
