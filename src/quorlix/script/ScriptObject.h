#pragma once
// ScriptObject: the base of every object that scripts create, name and link. It has no type
// field: its class is the dispatch row in its block header, and every member is read and
// written through that row with a member identifier. Accessing a member the object's class does
// not have runs a stub that logs the misuse and answers a neutral value.
//
// Reference counts are atomic, so handles may be copied and dropped on any thread; member
// access takes no lock and must not race with writers of the same object.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/WeakObjTarget.h"

#include <cstring>
#include <type_traits>

namespace Quorlix {

// Exported from its first declaration on: the accessor instantiations below name it.
class QUORLIX_API ScriptObject;

/// The nil object (class Nil): stands for "no object" everywhere, never null, never freed.
/// Its reference count starts at 0x40000000 and is revived should it ever reach zero.
extern QUORLIX_API ScriptObject& G_NilObject;
/// The weak target of the nil object; its cell always holds the nil object.
extern QUORLIX_API WeakObjTarget& G_NilWeakObjTarget;

/// The empty value of a script value type: what accessors of missing members answer.
template <class V>
inline V ScriptNeutralValue() noexcept {
    if constexpr (std::is_same_v<V, ScriptObject*>)
        return &G_NilObject;
    else if constexpr (std::is_pointer_v<V>)
        return nullptr;
    else if constexpr (std::is_same_v<V, Vector2f>)
        return Vector2f::Zero;
    else if constexpr (std::is_same_v<V, Vector3f>)
        return Vector3f::Zero;
    else if constexpr (std::is_same_v<V, Vector4f>)
        return Vector4f::Zero;
    else if constexpr (std::is_same_v<V, Matrix4f>)
        return Matrix4f::Identity;
    else if constexpr (std::is_same_v<V, Quaternionf>)
        return Quaternionf::Identity;
    else if constexpr (std::is_same_v<V, Spheref>)
        return Spheref::Empty;
    else
        return V{};
}

/// The value types that script-class members store as themselves and copy bytewise.
template <class V>
inline constexpr bool k_MemberInlineValue =
    std::is_same_v<V, bool> || std::is_same_v<V, int32_t> || std::is_same_v<V, int64_t> ||
    std::is_same_v<V, uint32_t> || std::is_same_v<V, uint64_t> || std::is_same_v<V, float> ||
    std::is_same_v<V, double> || std::is_same_v<V, Vector2f> || std::is_same_v<V, Vector3f> ||
    std::is_same_v<V, Vector4f> || std::is_same_v<V, Matrix4f> || std::is_same_v<V, Quaternionf> ||
    std::is_same_v<V, Spheref>;

/// Object references are read in line too (a getter takes no count); writes count, so they call.
template <class V>
inline constexpr bool k_MemberInlineGet =
    k_MemberInlineValue<V> || std::is_same_v<V, ScriptObject*>;

/// The generic scalar accessors of the in-line value types. An entry that holds them keeps the
/// value in the object at its offset, so member access reads and writes it there without the
/// call; every other entry (native accessors, invalid-call stubs) is called as usual.
template <class V>
struct QUORLIX_API GenericScalarAccessor {
    static const GetAccessor s_Get;
    static const SetAccessor s_Set;
};
#define QUORLIX_GENERIC_SCALAR(V) extern template struct GenericScalarAccessor<V>;
QUORLIX_GENERIC_SCALAR(bool)
QUORLIX_GENERIC_SCALAR(int32_t)
QUORLIX_GENERIC_SCALAR(int64_t)
QUORLIX_GENERIC_SCALAR(uint32_t)
QUORLIX_GENERIC_SCALAR(uint64_t)
QUORLIX_GENERIC_SCALAR(float)
QUORLIX_GENERIC_SCALAR(double)
QUORLIX_GENERIC_SCALAR(Vector2f)
QUORLIX_GENERIC_SCALAR(Vector3f)
QUORLIX_GENERIC_SCALAR(Vector4f)
QUORLIX_GENERIC_SCALAR(Matrix4f)
QUORLIX_GENERIC_SCALAR(Quaternionf)
QUORLIX_GENERIC_SCALAR(Spheref)
QUORLIX_GENERIC_SCALAR(ScriptObject*)
#undef QUORLIX_GENERIC_SCALAR

class QUORLIX_API ScriptObject {
public:
    /// A new instance of any class (count 0; the first handle takes it): built-in classes
    /// through their create function, script classes as the native ancestor's object (made by
    /// its SetNativeLayout function) followed by their members set to the defaults.
    /// The nil object when the class has no tables or cannot be instantiated.
    static ScriptObject* Create(const ClassType_TypeID* type);

    ScriptObject() noexcept;
    /// Points the weak target at the nil object and, for script-class instances, releases the
    /// members of the class and its script-class ancestors.
    virtual ~ScriptObject();
    ScriptObject(const ScriptObject&) = delete;
    ScriptObject& operator=(const ScriptObject&) = delete;

    /// Notification after a member changed; the base does nothing.
    virtual void Update(const ClassType_MemberID* m);

    /// The object's weak target, made on first request. The nil object answers
    /// G_NilWeakObjTarget. Not thread-safe for the first request on one object.
    const WeakObjTarget* GetWeakObjTarget();

    /// The dispatch row from the block header (null for an object outside the class tables).
    MVTBL* const* GetClassRow() const noexcept { return HeaderOf(this)->m_ClassRow; }
    /// The object's own class table (row entry 0), or null.
    const MVTBL* GetClassTable() const noexcept {
        MVTBL* const* row = GetClassRow();
        return row != nullptr ? row[0] : nullptr;
    }
    /// The object's class identifier and name (null when it has no row).
    const ClassType_TypeID* GetObjectClassID() const noexcept;
    const char* GetObjectClassName() const noexcept;
    /// Whether the object's class is `type` or derives from it (false for unknown classes).
    bool IsA(const ClassType_TypeID* type) const noexcept;
    bool IsNil() const noexcept { return this == &G_NilObject; }
    /// The type record in the object's block header (that of the most derived native type).
    const TypeInfo* GetTypeInfo() const noexcept { return HeaderOf(this)->m_TypeInfo; }

    /// The entry of member `m` in this object's row: real accessors when the object's class is
    /// or derives from the member's class, invalid-call stubs otherwise.
    const MVTBL& Entry(const ClassType_MemberID* m) const noexcept {
        const uint32_t v = IDValue(m);
        return GetClassRow()[v & 0xFFF][v >> 24];
    }

    // Scalar members. A getter of an object reference returns it without taking a count.
    template <class V>
    V Get(const ClassMemberOf<V, false>* m) const {
        const MVTBL& entry = Entry(m);
        if constexpr (k_MemberInlineGet<V>) {
            if (entry.m_Get == GenericScalarAccessor<V>::s_Get)
                return InlineValue<V>(entry);
        }
        V out = ScriptNeutralValue<V>();
        entry.Get(this, m, 0, &out);
        return out;
    }
    /// Out-parameter form: no temporary for strings and matrices.
    template <class V>
    void Get(const ClassMemberOf<V, false>* m, V& out) const {
        const MVTBL& entry = Entry(m);
        if constexpr (k_MemberInlineGet<V>) {
            if (entry.m_Get == GenericScalarAccessor<V>::s_Get) {
                out = InlineValue<V>(entry);
                return;
            }
        }
        entry.Get(this, m, 0, &out);
    }
    template <class V>
    void Set(const ClassMemberOf<V, false>* m, const std::type_identity_t<V>& value) {
        const MVTBL& entry = Entry(m);
        if constexpr (k_MemberInlineValue<V>) {
            if (entry.m_Set == GenericScalarAccessor<V>::s_Set) {
                const_cast<V&>(InlineValue<V>(entry)) = value;
                return;
            }
        }
        entry.Set(this, m, 0, &value);
    }

    // Index members: element access. Get answers the neutral value for an index outside the
    // array, without logging. Set grows the array to i + 1 elements (new ones neutral) and
    // refuses, with a logged error, an index below 0 or of 2^24 and above, and one that would
    // grow the array by more than 65536 elements (see Internal::GenericAccessors for the texts).
    template <class V>
    V Get(const ClassMemberOf<V, true>* m, int i) const {
        V out = ScriptNeutralValue<V>();
        Entry(m).Get(this, m, i, &out);
        return out;
    }
    template <class V>
    void Set(const ClassMemberOf<V, true>* m, int i, const std::type_identity_t<V>& value) {
        Entry(m).Set(this, m, i, &value);
    }
    template <class V>
    int Size(const ClassMemberOf<V, true>* m) const {
        return Entry(m).Size(this, m);
    }
    /// The whole index member as an array (objects each take a count): `out` is reset, then
    /// filled element by element through the row.
    template <class V>
    void Get(const ClassMemberOf<V, true>* m,
             Array<typename ScriptValueTraits<V>::Element>& out) const {
        out.Clear();
        const int n = Size(m);
        if (n <= 0)
            return;
        out.Resize(n);
        for (int i = 0; i < n; ++i)
            out[i] = Get(m, i);
    }

    /// The whole of an index or array member of value type V (objects each take a count): array
    /// members through the get slot, index members element by element. False with `out` empty
    /// when the member is neither (logged: "ScriptObject::GetArray: \"<Class>.<Member>\" is
    /// not an index or array member."), holds another type ("ScriptObject::GetArray:
    /// \"<Class>.<Member>\" holds <Type>, not <V>."), or is not a member of this object's class
    /// (the invalid stubs log).
    template <class V>
    bool GetArray(const ClassMember* m, Array<typename ScriptValueTraits<V>::Element>& out) const {
        const MVTBL& entry = Entry(m);
        if (!IsArrayMemberOf(m, entry, ScriptValueTraits<V>::k_Class, ScriptValueTraits<V>::k_Name,
                             "ScriptObject::GetArray")) {
            out.Clear();
            return false;
        }
        if ((entry.m_Flags & MemberIsArray) != 0) {
            entry.Get(this, m, 0, &out);
            return HasMember(m);
        }
        out.Clear();
        const int n = entry.Size(this, m);
        if (n > 0)
            out.Resize(n);
        for (int i = 0; i < n; ++i) {
            V value = ScriptNeutralValue<V>();
            entry.Get(this, m, i, &value);
            out[i] = value;
        }
        return HasMember(m);
    }
    /// Replaces an index or array member of value type V with `value`, which may shrink it; a
    /// null object element is stored as the nil object. Array members take the array through
    /// the set slot, index members are resized and set element by element. False on the same
    /// mismatches as GetArray ("ScriptObject::SetArray: ..."), leaving the member unchanged.
    template <class V>
    bool SetArray(const ClassMember* m,
                  const Array<typename ScriptValueTraits<V>::Element>& value) {
        const MVTBL& entry = Entry(m);
        if (!IsArrayMemberOf(m, entry, ScriptValueTraits<V>::k_Class, ScriptValueTraits<V>::k_Name,
                             "ScriptObject::SetArray"))
            return false;
        if ((entry.m_Flags & MemberIsArray) != 0) {
            entry.Set(this, m, 0, &value);
            return HasMember(m);
        }
        // A handle of its own: `value` may share the member's block, or be the member itself.
        const Array<typename ScriptValueTraits<V>::Element> source = value;
        if (!entry.Resize(this, m, source.Size()))
            return false;
        for (int i = 0; i < source.Size(); ++i) {
            V element = ScriptNeutralValue<V>();
            if constexpr (std::is_same_v<V, ScriptObject*>)
                element = source[i].Get();
            else
                element = source[i];
            entry.Set(this, m, i, &element);
        }
        return true;
    }

    /// Equality of member `m` between this object and `other` (false for a missing member).
    bool Compare(const ClassType_MemberID* m, const ScriptObject* other) const {
        return Entry(m).Compare(this, m, other);
    }

    // Writing. Members flagged MemberNotWritten are skipped, and so are enumerator and member
    // identifier members that hold none (they have no written form; a fresh object holds none).
    /// The value of member `m` through its write accessor.
    void Write(const ClassType_MemberID* m, ScriptStream& stream) const;
    /// Every written member, the object's own class first, then its bases: `.{`, a line end,
    /// per member its name, a blank, the value, `;` and a line end, and `}`. Nothing at all when
    /// no member is written.
    void Write(ScriptStream& stream) const;
    /// As Write, but only the members that differ from a fresh object of the class; a single
    /// such member is written alone as name, blank and value, without braces or `;`.
    void WriteNonDefault(ScriptStream& stream) const;
    /// The members that differ from a fresh object always as a whole body, `.{ }` when none
    /// does: the one form that reads back as an object value in every position.
    void WriteNonDefaultBody(ScriptStream& stream) const;
    /// Member `m` as one compiled-form instruction on the writer's current object.
    void WriteASM(const ClassType_MemberID* m, VPUAsmWriter& writer) const;
    /// Every written member, one instruction each, without framing.
    void WriteASM(VPUAsmWriter& writer) const;
    /// The members that differ from a fresh object of the class.
    void WriteASMNonDefault(VPUAsmWriter& writer) const;

    /// Resets `out`, then lists this object and every object reachable through owned object
    /// links (flags 0x0200 without 0x0002), each once, depth first; each takes a count. The nil
    /// object is never listed.
    void Traverse(Array<Obj<ScriptObject>>& out) const;

    /// Logs "ScriptObject::ExpectFailed: cannot cast "A" to "B"." at error level.
    void ExpectFailed(const ClassType_TypeID* expected) const;
    /// Logs `what`, ": ", the identifier, a blank, "Class.member", " called on " and this
    /// object's class name, at error level.
    void InvalidCall(const ClassType_MemberID* m, const char* what) const;

protected:
    struct NilTag {};
    /// The static nil object.
    constexpr ScriptObject(NilTag, WeakObjTarget* target) noexcept : m_WeakTarget(target) {}

private:
    // Whether this object's class is or derives from the class that declares `m`.
    bool HasMember(const ClassType_MemberID* m) const noexcept {
        return IsA(MakeTypeID(ClassIndexOf(m)));
    }
    // Whether `entry` is an index or array member of value class `typeClass`; logs otherwise.
    bool IsArrayMemberOf(const ClassType_MemberID* m, const MVTBL& entry, int typeClass,
                         const char* typeName, const char* function) const;

    // The value of a member kept in line by the generic accessors, at the entry's offset.
    template <class V>
    const V& InlineValue(const MVTBL& entry) const noexcept {
        return *reinterpret_cast<const V*>(reinterpret_cast<const char*>(this) +
                                           entry.m_OffsetOrValue);
    }

    friend struct NilObjectBlock;
    WeakObjTarget* m_WeakTarget;
};

/// The CreateExtraFunction of native class C (SetNativeLayout): a new C (count 0) with `extra`
/// zeroed bytes behind it; a negative `extra` counts as none.
template <class C>
ScriptObject* CreateNativeWithExtra(int extra) {
    static_assert(std::is_base_of_v<ScriptObject, C>);
    extra = extra > 0 ? extra : 0;
    C* object = new (1, TypeOf<C>(), extra) C();
    std::memset(reinterpret_cast<char*>(object) + sizeof(C), 0, static_cast<size_t>(extra));
    return object;
}

/// The nil object cast to a class derived from ScriptObject, for lookups that answer "none"
/// with it. Only its ScriptObject part may be used; the 256 bytes behind it read as zero, so a
/// stray field read (ScriptClass::GetClassID) gives null rather than foreign data. Check with
/// IsNil() before using it as a T.
template <class T>
inline T* NilObjectAs() noexcept {
    return reinterpret_cast<T*>(&G_NilObject);
}

} // namespace Quorlix
