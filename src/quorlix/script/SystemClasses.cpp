// Registration of the value types and system classes into the class tables at start-up.

#include "quorlix/script/ClassTable.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/internal/MemberAccessors.h"

#include <type_traits>

namespace Quorlix {

namespace {

// A boxed value: an instance of a value class, whose one member "Value" is the value itself.
// It is a whole ScriptObject (the value follows the base), so that everything that treats
// objects of any class alike (weak targets, traversal, destruction) stays within the block.
template <class V>
class BoxedValue final : public ScriptObject {
public:
    static ScriptObject* Create() { return NewObject<BoxedValue>(); }

    // A new box holds the empty value; a sphere's is radius -1e-16 (bits 0xA4E69595), not the
    // -1e16 of Spheref::Empty that missing members answer.
    V m_Value = std::is_same_v<V, Spheref> ? V() : ScriptNeutralValue<V>();
};

template <class V>
uint32_t BoxedValueOffset() {
    // Every value type's alignment divides the base size, so the value follows the base.
    static_assert(sizeof(ScriptObject) % alignof(V) == 0);
    static_assert(sizeof(BoxedValue<V>) >= sizeof(ScriptObject) + sizeof(V));
    return sizeof(ScriptObject);
}

template <class V>
void RegisterValueClass() {
    constexpr int c = ScriptValueTraits<V>::k_Class;
    const ClassType_TypeID* id = BuiltinTypeID(c);
    CreateClass(id, nullptr, "", ScriptValueTraits<V>::k_Name, &TypeOf<BoxedValue<V>>(),
                &BoxedValue<V>::Create, Kind_Value);
    Internal::RegisterGenericMember(MemberIDOf(1, c), "Value", id, MemberDefault,
                                    BoxedValueOffset<V>());
}

void ObjectNameGet(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
                   const MVTBL&) {
    *static_cast<String*>(out) = static_cast<const Object*>(self)->GetName();
}

void ObjectNameSet(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
                   const MVTBL&) {
    static_cast<Object*>(self)->SetName(*static_cast<const String*>(value));
}

bool ObjectNameCompare(const ScriptObject* self, const ClassType_MemberID* m,
                       const ScriptObject* other, const MVTBL&) {
    if (other == nullptr)
        return false;
    String theirs;
    other->Entry(m).Get(other, m, 0, &theirs);
    return static_cast<const Object*>(self)->GetName() == theirs.Ref();
}

ScriptObject* CreateScriptObject() {
    return NewObject<ScriptObject>();
}

} // namespace

void InitializeSystemClasses() {
    CreateClass(BuiltinTypeID(k_ClassScriptObject), nullptr, "", "ScriptObject",
                &TypeOf<ScriptObject>(), &CreateScriptObject, Kind_Object);
    CreateClass(BuiltinTypeID(k_ClassScriptClass), nullptr, "", "ScriptClass",
                &TypeOf<ScriptClass>(), nullptr, Kind_Object);
    CreateClass(BuiltinTypeID(k_ClassNil), nullptr, "", "Nil", nullptr, nullptr, Kind_Object);
    CreateClass(BuiltinTypeID(k_ClassEnum), nullptr, "", "Enum", nullptr, nullptr, Kind_Enum);
    CreateClass(BuiltinTypeID(k_ClassMemberID), nullptr, "", "MemberID", nullptr, nullptr,
                Kind_MemberID);

    RegisterValueClass<bool>();
    RegisterValueClass<String>();
    RegisterValueClass<int32_t>();
    RegisterValueClass<int64_t>();
    RegisterValueClass<uint32_t>();
    RegisterValueClass<uint64_t>();
    RegisterValueClass<float>();
    RegisterValueClass<double>();
    RegisterValueClass<Vector2f>();
    RegisterValueClass<Vector3f>();
    RegisterValueClass<Vector4f>();
    RegisterValueClass<Matrix4f>();
    RegisterValueClass<Spheref>();

    CreateClass(BuiltinTypeID(k_ClassRotationOrderEnum), nullptr, "Euler",
                "Euler.RotationOrderEnum", nullptr, nullptr, Kind_Enum);
    static const char* const k_Orders[] = {"XYZ", "YZX", "ZXY", "XZY", "YXZ", "ZYX"};
    for (unsigned i = 0; i < 6; ++i) {
        CreateEnumMemberGeneric(
            MemberIDOf<ClassType_Enum>(static_cast<int>(i) + 1, k_ClassRotationOrderEnum),
            k_Orders[i], i, 1, MemberIsSomeEnum);
    }

    InitializeEngineClasses();

    const ClassType_TypeID* object = BuiltinTypeID(k_ClassObject);
    CreateClass(
        object, nullptr, "", "Object", &TypeOf<Object>(),
        []() -> ScriptObject* { return Object::Create(); }, Kind_Object);
    Internal::InvalidAccessors invalid;
    Internal::InvalidStubs(k_ClassString, Internal::MemberForm::Scalar, invalid);
    CreateMemberGeneric(Object::NameMember(), "Name", &ObjectNameGet, invalid.m_Get, &ObjectNameSet,
                        invalid.m_Set, nullptr, invalid.m_Size, &ObjectNameCompare,
                        invalid.m_Compare, nullptr, invalid.m_Write, nullptr, nullptr, 1,
                        MemberDefault, BuiltinTypeID(k_ClassString));

    SetNativeLayout(BuiltinTypeID(k_ClassScriptObject), sizeof(ScriptObject),
                    &CreateNativeWithExtra<ScriptObject>);
    SetNativeLayout(object, sizeof(Object), &CreateNativeWithExtra<Object>);
}

} // namespace Quorlix
