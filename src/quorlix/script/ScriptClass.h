#pragma once
// ScriptClass (class "ScriptClass", -4093): owns one class declared at run time. Create
// reserves a class slot; DefClassObject or DefClassEnum registers it; DefMemberVar and
// DefMemberEnum add members; EndClass builds the member hash so that names can be looked up.
// Dropping the object (or UndefClass) deletes the class and frees the slot. One thread at a
// time defines classes.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptObject.h"

namespace Quorlix {

class Stream;
class ScriptEngine;

/// Host-side binding record: where the identifier of the member `m_Name` of type `m_Type` is
/// stored by CreateClassComplete. Flags 0x100 mark an enumerator.
struct QUORLIX_API ScriptMemberDef {
    const ClassType_TypeID* m_Type;
    unsigned m_Flags;
    const ClassType_MemberID** m_Member;
    const char* m_Name;
};

class QUORLIX_API ScriptClass : public ScriptObject {
public:
    /// A new class object with a reserved slot; the nil object (after a five-line error) when
    /// all 256 slots are taken. The caller must not use the result as a ScriptClass then:
    /// check IsNil() first.
    static ScriptClass* Create();

    ~ScriptClass() override;

    /// Registers the class as an object class derived from `base` (null: ScriptObject). The
    /// base must be a script class or a built-in class with a native layout (SetNativeLayout:
    /// ScriptObject, Object and others); instances are the native object followed by the script
    /// members. Any other base is refused with "ScriptClass::DefClassObject: base of "<name>"
    /// must be a script class or a built-in class with a native layout." and null. Returns the
    /// class id, or null.
    const ClassType_TypeID* DefClassObject(const char* name, const ClassType_TypeID* base);
    /// Registers the class as an enumeration.
    const ClassType_TypeID* DefClassEnum(const char* name, const ClassType_TypeID* base);
    /// Adds a member of `type` with `flags` (0x400: index member, 0x800: array member) stored
    /// inline in instances; `defaultValue` points at a value of the type (ignored for index and
    /// object members). For an array member it points at an Array<Element> (null: empty),
    /// which the class holds a count on and new instances share.
    /// Null, with a logged error, for a redefinition, an unknown type or a full class.
    const ClassType_MemberID* DefMemberVar(const char* name, const ClassType_TypeID* type,
                                           unsigned flags, const void* defaultValue);
    /// Adds an enumerator with `value`.
    const ClassType_Enum* DefMemberEnum(const char* name, int value, unsigned flags);
    /// Builds the member hash: the class's members can be looked up by name from now on.
    void EndClass();
    /// Deletes the class from the tables; the id becomes 0. Instances of a class hold a count on
    /// its ScriptClass, so dropping the last handle never deletes a class whose instances live.
    /// While instances live, UndefClass only takes the id away: the tables they read go when the
    /// last of them does.
    void UndefClass();

    const ClassType_TypeID* GetClassID() const noexcept { return m_ClassID; }
    /// The class name, or null before DefClass*.
    const char* GetClassNameCPtr() const noexcept;

    /// The member named `name` when `type` is null or its type; warnings for a mismatch or a
    /// miss, then null.
    const ClassMember* FindMember(const char* name, const ClassType_TypeID* type) const;
    /// An enumerator (flag 0x100) by name; warnings otherwise.
    const ClassType_Enum* Find_Enum(const char* name) const;
    /// Typed lookups: the member named `name` when its (element) type is V's.
    template <class V, bool Index>
    const ClassMemberOf<V, Index>* FindMemberOf(const char* name) const {
        return static_cast<const ClassMemberOf<V, Index>*>(
            FindTyped(name, ScriptValueTraits<V>::k_Class, ScriptValueTraits<V>::k_Name, Index));
    }

    // FindMember_<T> and FindMember_Index_<T> for each value type.
#define QUORLIX_FIND_MEMBER(Name, V)                                                               \
    const ClassMember_##Name* FindMember_##Name(const char* name) const {                          \
        return FindMemberOf<V, false>(name);                                                       \
    }                                                                                              \
    const ClassMember_Index_##Name* FindMember_Index_##Name(const char* name) const {              \
        return FindMemberOf<V, true>(name);                                                        \
    }
    QUORLIX_FIND_MEMBER(ScriptObject, ScriptObject*)
    QUORLIX_FIND_MEMBER(Enum, const ClassType_Enum*)
    QUORLIX_FIND_MEMBER(Bool, bool)
    QUORLIX_FIND_MEMBER(String, String)
    QUORLIX_FIND_MEMBER(I32, int32_t)
    QUORLIX_FIND_MEMBER(I64, int64_t)
    QUORLIX_FIND_MEMBER(U32, uint32_t)
    QUORLIX_FIND_MEMBER(U64, uint64_t)
    QUORLIX_FIND_MEMBER(F32, float)
    QUORLIX_FIND_MEMBER(F64, double)
    QUORLIX_FIND_MEMBER(Vector2f, Vector2f)
    QUORLIX_FIND_MEMBER(Vector3f, Vector3f)
    QUORLIX_FIND_MEMBER(Vector4f, Vector4f)
    QUORLIX_FIND_MEMBER(Matrix4f, Matrix4f)
    QUORLIX_FIND_MEMBER(Quaternionf, Quaternionf)
    QUORLIX_FIND_MEMBER(Spheref, Spheref)
#undef QUORLIX_FIND_MEMBER

    /// Writes binding declarations of the class's own members (mode 0: a whole namespace block,
    /// 2: member definition rows, others: the declarations alone); the number of members, or -1
    /// for an undefined class.
    int WriteCAPI(Stream& stream, int mode, const char* prefix) const;

    /// Binds `count` host records to the class named `className` found through the engine:
    /// stores its id in `*outId` and each record's member (or enumerator) identifier. 0 when the
    /// engine does not know the class.
    static int CreateClassComplete(ScriptEngine* engine, const ClassType_TypeID** outId,
                                   const char* className, int count, ScriptMemberDef* defs);

    explicit ScriptClass(const ClassType_TypeID* id) noexcept : m_ClassID(id) {}

private:
    const ClassType_TypeID* DefClass(const char* name, const ClassType_TypeID* base, T_Kind kind);
    const ClassMember* FindTyped(const char* name, int typeClass, const char* typeName,
                                 bool index) const;
    void ReleaseDefaults();
    // Counted by ScriptObject::Create and the instance destructor.
    friend class ScriptObject;
    void InstanceBorn() noexcept;
    void InstanceDied() noexcept;

    const ClassType_TypeID* m_ClassID;             // null once undefined
    const ClassType_TypeID* m_RetiredID = nullptr; // undefined with instances alive
    int32_t m_Instances = 0;                       // live instances, changed atomically
    Array<String> m_Names;                         // keeps alive the names the tables point at
    Array<uint8_t> m_Defaults;                     // each member's default at its offset
    Obj<ScriptClass> m_Base; // a script-class base, kept while this class lives
};

} // namespace Quorlix
