// Registration of the value types and system classes into the class tables at start-up.

#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptClass.h"

#include <type_traits>

namespace Quorlix {

namespace {

// A boxed value: an instance of a value class, whose one member "Value" is the value itself.
// It is a whole ScriptObject (the value follows the base), so that everything that treats
// objects of any class alike (weak targets, traversal, destruction) stays within the block.
template <class V>
class BoxedValue final : public ScriptObject {
public:
    // A new box holds the empty value; a sphere's is radius -1e-16 (bits 0xA4E69595), not the
    // -1e16 of Spheref::Empty that missing members answer.
    V m_Value = std::is_same_v<V, Spheref> ? V() : ScriptNeutralValue<V>();
};

template <class V>
MemberRow ValueRow() {
    const MemberRow row = Bind::Field<&BoxedValue<V>::m_Value>("Value", 1);
    if constexpr (std::is_same_v<V, Spheref>)
        return row.Default(Spheref());
    else
        return row;
}

template <class V>
void BindValueClass() {
    static const MemberRow k_Rows[] = {ValueRow<V>()};
    constexpr int c = ScriptValueTraits<V>::k_Class;
    BindClass(Bind::NativeClass<BoxedValue<V>>(c, k_ClassScriptObject, ScriptValueTraits<V>::k_Name)
                  .OfKind(Kind_Value)
                  .Members(k_Rows));
}

} // namespace

void InitializeSystemClasses() {
    using namespace Bind;
    BindClass(NativeClass<ScriptObject>(k_ClassScriptObject, k_ClassScriptObject, "ScriptObject"));
    BindClass(NativeClass<ScriptClass>(k_ClassScriptClass, k_ClassScriptObject, "ScriptClass"));
    BindClass(PlainClass(k_ClassNil, k_ClassScriptObject, "Nil", Kind_Object));
    BindClass(PlainClass(k_ClassEnum, k_ClassScriptObject, "Enum", Kind_Enum));
    BindClass(PlainClass(k_ClassMemberID, k_ClassScriptObject, "MemberID", Kind_MemberID));

    BindValueClass<bool>();
    BindValueClass<String>();
    BindValueClass<int32_t>();
    BindValueClass<int64_t>();
    BindValueClass<uint32_t>();
    BindValueClass<uint64_t>();
    BindValueClass<float>();
    BindValueClass<double>();
    BindValueClass<Vector2f>();
    BindValueClass<Vector3f>();
    BindValueClass<Vector4f>();
    BindValueClass<Matrix4f>();
    BindValueClass<Spheref>();

    static const MemberRow k_RotationOrder[] = {
        Enumerator("XYZ", 1, 0), Enumerator("YZX", 2, 1), Enumerator("ZXY", 3, 2),
        Enumerator("XZY", 4, 3), Enumerator("YXZ", 5, 4), Enumerator("ZYX", 6, 5),
    };
    BindClass(PlainClass(k_ClassRotationOrderEnum, k_ClassScriptObject, "Euler.RotationOrderEnum",
                         Kind_Enum, "Euler")
                  .Members(k_RotationOrder));

    InitializeEngineClasses();

    static const MemberRow k_Object[] = {
        Property<&Object::GetName, &Object::SetName>("Name", 1),
    };
    BindClass(NativeClass<Object>(k_ClassObject, k_ClassScriptObject, "Object").Members(k_Object));
}

} // namespace Quorlix
