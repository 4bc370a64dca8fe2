// Classes bound as data: a native class with every kind of row, the refusals of bad rows and
// values, and the walk over every registered class that checks each member through its row.

#include "quorlix/script/ClassBinding.h"
#include "ScriptTestSupport.h"
#include "quorlix/script/Object.h"
#include "support/LogCapture.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

constexpr int k_ClassLamp = 230; // built-in slots that no class of the library takes
constexpr int k_ClassLampMode = 231;

enum class LampMode : uint32_t { Off, Dim, Bright };

class Lamp : public Object {
public:
    float GetCone() const noexcept { return m_Cone; }
    // The setter has an effect: it clamps and counts.
    void SetCone(float cone) {
        m_Cone = std::clamp(cone, 1.0f, 89.0f);
        ++m_ConeSets;
    }
    LampMode GetMode() const { return m_Mode; }
    void SetMode(LampMode mode) { m_Mode = mode; }
    ScriptObject* GetBulb(int i) const {
        return i >= 0 && i < m_Bulbs.Size() ? m_Bulbs[i] : nullptr;
    }
    void SetBulb(int i, ScriptObject* bulb) {
        if (i < 0 || i > 64)
            return;
        while (m_Bulbs.Size() <= i)
            m_Bulbs.Add(Obj<ScriptObject>(&G_NilObject));
        m_Bulbs[i] = bulb;
    }
    int BulbCount() const { return m_Bulbs.Size(); }
    void ResizeBulbs(int n) {
        while (m_Bulbs.Size() > n)
            m_Bulbs.Remove(m_Bulbs.Size() - 1);
        while (m_Bulbs.Size() < n)
            m_Bulbs.Add(Obj<ScriptObject>(&G_NilObject));
    }
    const Array<float>& GetWeights() const { return m_Weights; }
    void SetWeights(const Array<float>& weights) {
        m_Weights = weights;
        ++m_WeightSets;
    }

    float m_Power = 60.0f;
    Vector3f m_Color{1, 1, 1};
    String m_Label{"lamp"};
    Obj<Lamp> m_Next;
    Array<float> m_Levels;
    int32_t m_Heat = 7;
    float m_Cone = 45.0f;
    LampMode m_Mode = LampMode::Dim;
    Array<Obj<ScriptObject>> m_Bulbs;
    Array<Vector3f> m_Path;
    Array<float> m_Weights;
    int m_ConeSets = 0;
    int m_WeightSets = 0;
};

const MemberRow k_LampRows[] = {
    Bind::Field<&Lamp::m_Power>("Power", 1).Default(60.0f),
    Bind::Field<&Lamp::m_Color>("Color", 2).Default(Vector3f(1, 1, 1)),
    Bind::Field<&Lamp::m_Label>("Label", 3).Default("lamp"),
    Bind::Field<&Lamp::m_Next>("Next", 4, MemberObjectLink | MemberObjectSingle),
    Bind::Field<&Lamp::m_Levels>("Levels", 5, MemberIsIndex),
    Bind::Field<&Lamp::m_Heat>("Heat", 6, MemberNotWritten).NoDefault(),
    Bind::Property<&Lamp::GetCone, &Lamp::SetCone>("Cone", 7).Default(45.0f),
    Bind::Property<&Lamp::GetMode, &Lamp::SetMode>("Mode", 8)
        .Enumeration(k_ClassLampMode)
        .Default(1u),
    Bind::IndexProperty<&Lamp::GetBulb, &Lamp::SetBulb, &Lamp::BulbCount, &Lamp::ResizeBulbs>(
        "Bulb", 9, 0x2600),
    Bind::Field<&Lamp::m_Path>("Path", 10, MemberIsArray),
    Bind::ArrayProperty<&Lamp::GetWeights, &Lamp::SetWeights>("Weights", 11),
};

const MemberRow k_LampModeRows[] = {
    Bind::Enumerator("Off", 1, 0),
    Bind::Enumerator("Dim", 2, 1),
    Bind::Enumerator("Bright", 3, 2),
};

class BoundClasses : public QuorlixTest::ScriptTest {
protected:
    static void SetUpTestSuite() {
        ScriptTest::SetUpTestSuite();
        BindClass(Bind::PlainClass(k_ClassLampMode, k_ClassScriptObject, "Lamp.ModeEnum", Kind_Enum,
                                   "Lamp")
                      .Members(k_LampModeRows));
        BindClass(Bind::NativeClass<Lamp>(k_ClassLamp, k_ClassObject, "Lamp").Members(k_LampRows));
        CreateCVTBLHash(BuiltinTypeID(k_ClassLampMode));
        CreateCVTBLHash(BuiltinTypeID(k_ClassLamp));
    }
    static void TearDownTestSuite() {
        DeleteClass(BuiltinTypeID(k_ClassLamp));
        DeleteClass(BuiltinTypeID(k_ClassLampMode));
        ScriptTest::TearDownTestSuite();
    }

    template <class V, bool Index = false>
    static const ClassMemberOf<V, Index>* Member(const char* name) {
        return static_cast<const ClassMemberOf<V, Index>*>(
            FindClassMember(BuiltinTypeID(k_ClassLamp), name));
    }
};

TEST_F(BoundClasses, RowsOfEveryKindReadAndWriteTheNativeObject) {
    Obj<Lamp> lamp(static_cast<Lamp*>(ScriptObject::Create(BuiltinTypeID(k_ClassLamp))));
    ASSERT_FALSE(lamp->IsNil());
    ASSERT_EQ(lamp->GetTypeInfo(), &TypeOf<Lamp>());

    // Fields are read and written where the class keeps them (the walk below checks every row's
    // round trip); inherited members still work.
    lamp->Set(Member<float>("Power"), 75.0f);
    EXPECT_EQ(lamp->m_Power, 75.0f);
    lamp->Set(Object::NameMember(), String("north"));
    EXPECT_STREQ(lamp->GetNameCPtr(), "north");

    // Index fields grow element by element.
    lamp->Set(Member<float, true>("Levels"), 2, 0.25f);
    EXPECT_EQ(lamp->m_Levels.Size(), 3);
    EXPECT_EQ(lamp->Get(Member<float, true>("Levels"), 2), 0.25f);

    // A setter with an effect runs on every set through the row.
    lamp->Set(Member<float>("Cone"), 120.0f);
    EXPECT_EQ(lamp->m_Cone, 89.0f);
    EXPECT_EQ(lamp->m_ConeSets, 1);

    // C++ enumerations read as enumerators of their enumeration class.
    const auto* mode = Member<const ClassType_Enum*>("Mode");
    EXPECT_EQ(lamp->Get(mode), MemberIDOf<ClassType_Enum>(2, k_ClassLampMode));
    lamp->Set(mode, MemberIDOf<ClassType_Enum>(3, k_ClassLampMode));
    EXPECT_EQ(lamp->m_Mode, LampMode::Bright);

    // Object fields and index properties count their objects.
    Obj<Lamp> other(static_cast<Lamp*>(ScriptObject::Create(BuiltinTypeID(k_ClassLamp))));
    lamp->Set(Member<ScriptObject*>("Next"), other.Get());
    EXPECT_EQ(lamp->m_Next.Get(), other.Get());
    EXPECT_EQ(BlockRefCount(other.Get()), 2);
    lamp->Set(Member<ScriptObject*>("Next"), &G_NilObject);
    EXPECT_EQ(lamp->m_Next.Get(), nullptr);
    EXPECT_TRUE(lamp->Get(Member<ScriptObject*>("Next"))->IsNil());
    lamp->Set(Member<ScriptObject*, true>("Bulb"), 1, other.Get());
    EXPECT_EQ(lamp->Size(Member<ScriptObject*, true>("Bulb")), 2);
    EXPECT_TRUE(lamp->Get(Member<ScriptObject*, true>("Bulb"), 0)->IsNil());
    EXPECT_EQ(lamp->Get(Member<ScriptObject*, true>("Bulb"), 1), other.Get());

    // Whole arrays: an index property with a resize function shrinks, an array property's setter
    // runs.
    Array<Obj<ScriptObject>> bulbs;
    bulbs.Add(other);
    EXPECT_TRUE(lamp->SetArray<ScriptObject*>(Member<ScriptObject*, true>("Bulb"), bulbs));
    EXPECT_EQ(lamp->m_Bulbs.Size(), 1);
    EXPECT_EQ(lamp->m_Bulbs[0].Get(), other.Get());
    Array<float> weights;
    weights.Add(0.5f);
    const auto* weightsMember =
        static_cast<const ClassMember*>(FindClassMember(BuiltinTypeID(k_ClassLamp), "Weights"));
    EXPECT_TRUE(lamp->SetArray<float>(weightsMember, weights));
    EXPECT_EQ(lamp->m_WeightSets, 1);
    EXPECT_EQ(lamp->m_Weights.Size(), 1);

    // Script classes may extend a bound class: its rows serve their instances.
    const float tint = 0.5f;
    auto shade = QuorlixTest::DefineClass("Shade", BuiltinTypeID(k_ClassLamp),
                                          {{"Tint", k_ClassF32, 0, &tint}});
    Obj<ScriptObject> shaded = ScriptObject::Create(shade->GetClassID());
    ASSERT_EQ(shaded->GetTypeInfo(), &TypeOf<Lamp>());
    shaded->Set(Member<float>("Cone"), 30.0f);
    EXPECT_EQ(static_cast<Lamp*>(shaded.Get())->m_Cone, 30.0f);
    EXPECT_EQ(shaded->Get(shade->FindMember_F32("Tint")), 0.5f);
}

TEST_F(BoundClasses, BadRowsAndBadValuesAreRefusedWithTheirReasons) {
    Obj<Lamp> lamp(static_cast<Lamp*>(ScriptObject::Create(BuiltinTypeID(k_ClassLamp))));
    {
        // An object of the wrong class, a foreign or a fake enumerator: logged, nothing stored.
        LogCapture log;
        Obj<ScriptObject> stranger = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        lamp->Set(Member<ScriptObject*>("Next"), stranger.Get());
        lamp->Set(Member<const ClassType_Enum*>("Mode"),
                  MemberIDOf<ClassType_Enum>(1, k_ClassRotationOrderEnum));
        lamp->Set(Member<const ClassType_Enum*>("Mode"), MemberIDOf<ClassType_Enum>(9, 250));
        EXPECT_EQ(lamp->m_Next.Get(), nullptr);
        EXPECT_EQ(lamp->m_Mode, LampMode::Dim);
        const std::vector<std::string> expected = {
            "[Error]Lamp.Next: object of the wrong class refused.",
            "[Error]Lamp.Mode: enumerator of another enumeration refused.",
            "[Error]Lamp.Mode: not an enumerator.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
    {
        // A row that reuses an index and one past 255: skipped, the rest registered.
        struct Small : ScriptObject {
            int32_t m_A = 0;
        };
        static const MemberRow rows[] = {
            Bind::Field<&Small::m_A>("A", 1),
            Bind::Field<&Small::m_A>("Again", 1),
            Bind::Field<&Small::m_A>("Far", 256),
            Bind::Field<&Small::m_A>("Elements", 3, MemberIsIndex),
        };
        LogCapture log;
        ASSERT_TRUE(
            BindClass(Bind::NativeClass<Small>(232, k_ClassScriptObject, "Small").Members(rows)));
        EXPECT_FALSE(BindClass(Bind::NativeClass<Small>(232, k_ClassScriptObject, "Small")));
        EXPECT_FALSE(BindClass(Bind::NativeClass<Small>(300, k_ClassScriptObject, "Big")));
        const std::vector<std::string> expected = {
            "[Error]BindClass: Small.Elements: flags do not match the member's form.",
            "[Error]BindClass: Small.Again: member index already used.",
            "[Error]BindClass: Small.Far: name or member index invalid.",
            "[Error]BindClass: class 232 (Small) already exists.",
            "[Error]BindClass: class index 300 of Big is not a built-in slot.",
        };
        EXPECT_EQ(log.Messages(), expected);
        EXPECT_TRUE(IsValidMemberID(BuiltinTypeID(232), MemberIDOf(1, 232)));
        EXPECT_FALSE(IsValidMemberID(BuiltinTypeID(232), MemberIDOf(2, 232)));
        EXPECT_NE(FindClassBinding(BuiltinTypeID(232)), nullptr);
        DeleteClass(BuiltinTypeID(232));
        EXPECT_EQ(FindClassBinding(BuiltinTypeID(232)), nullptr);
    }
}

// --- The walk over every class ------------------------------------------------------------------

// Calls f.template operator()<V>() for the value type V of class index `c`; false for none.
template <class... Vs, class F>
bool WithValueTypeOf(int c, F&& f) {
    return ((ScriptValueTraits<Vs>::k_Class == c && (f.template operator()<Vs>(), true)) || ...);
}

template <class F>
bool WithValueType(int c, F&& f) {
    return WithValueTypeOf<ScriptObject*, const ClassType_Enum*, const ClassType_MemberID*, bool,
                           String, int32_t, int64_t, uint32_t, uint64_t, float, double, Vector2f,
                           Vector3f, Vector4f, Matrix4f, Quaternionf, Spheref>(c, f);
}

template <class V>
bool Same(const V& a, const V& b) {
    if constexpr (std::is_same_v<V, String>)
        return std::strcmp(a.GetCPtr(), b.GetCPtr()) == 0;
    else
        return a == b;
}

uint32_t EnumeratorValue(const ClassType_Enum* e) {
    const MVTBL* table = IsTableOf(ClassIndexOf(e));
    if (table == nullptr) // an enumeration nobody registers: enumerators number index - 1
        return e != nullptr && MemberIndexOf(e) >= 1 ? MemberIndexOf(e) - 1u : ~0u;
    return table[MemberIndexOf(e)].m_OffsetOrValue;
}

// A value unlike `old` that a member of its type accepts; `row` (if any) names the class of
// objects and enumerators, `self` stands in for objects of the member's own class.
template <class V>
V Different(const V& old, const MemberRow* row, ScriptObject* self, Obj<ScriptObject>& keep) {
    if constexpr (std::is_same_v<V, bool>) {
        return !old;
    } else if constexpr (std::is_arithmetic_v<V>) {
        return static_cast<V>(old + 1);
    } else if constexpr (std::is_same_v<V, String>) {
        return String(old.GetCPtr(), "+");
    } else if constexpr (std::is_same_v<V, Vector2f> || std::is_same_v<V, Vector3f> ||
                         std::is_same_v<V, Vector4f> || std::is_same_v<V, Quaternionf>) {
        V v = old;
        auto* f = reinterpret_cast<float*>(&v);
        for (size_t i = 0; i < sizeof(V) / sizeof(float); ++i)
            f[i] += static_cast<float>(i + 1);
        return v;
    } else if constexpr (std::is_same_v<V, Matrix4f>) {
        Matrix4f m = old;
        m.SetM30(old.Get(3, 0) + 1.0f);
        return m;
    } else if constexpr (std::is_same_v<V, Spheref>) {
        return Spheref(old.GetCentre() + Vector3f(1, 1, 1), old.GetRadius() < 0 ? 2.0f : 0.0f);
    } else if constexpr (std::is_same_v<V, ScriptObject*>) {
        const ClassType_TypeID* cls = row != nullptr && row->m_ObjectClass != nullptr
                                          ? row->m_ObjectClass()
                                          : BuiltinTypeID(k_ClassScriptObject);
        keep = ScriptObject::Create(cls);
        if (keep->IsNil())
            keep = ScriptObject::Create(self->GetObjectClassID());
        return keep.Get();
    } else if constexpr (std::is_same_v<V, const ClassType_Enum*>) {
        const int enumeration = row != nullptr ? row->m_Enumeration : 0;
        const MVTBL* table = IsTableOf(enumeration);
        if (table == nullptr && enumeration != 0) // unregistered: another identifier of it
            return MemberIDOf<ClassType_Enum>(MemberIndexOf(old) == 1 ? 2 : 1, enumeration);
        for (int k = 1; table != nullptr && k < TableHeader(table)->m_Count; ++k) {
            const auto* e = MemberIDOf<ClassType_Enum>(k, enumeration);
            if (table[k].m_Name != nullptr && EnumeratorValue(e) != EnumeratorValue(old))
                return e;
        }
        return old;
    } else {
        return old == Object::NameMember() ? MemberIDOf(1, k_ClassBool) : Object::NameMember();
    }
}

// Whether `value` is what the row says a fresh object holds.
template <class V>
void ExpectDefault(const V& value, const RowDefault& d) {
    switch (d.m_Tag) {
    case RowDefault::Unchecked:
        return;
    case RowDefault::Neutral:
        EXPECT_TRUE(Same(value, ScriptNeutralValue<V>())) << "default is not the neutral value";
        return;
    default:
        break;
    }
    if constexpr (std::is_same_v<V, bool>) {
        ASSERT_EQ(d.m_Tag, RowDefault::Bool);
        EXPECT_EQ(value, d.m_Bool);
    } else if constexpr (std::is_integral_v<V> || std::is_same_v<V, const ClassType_Enum*>) {
        ASSERT_TRUE(d.m_Tag == RowDefault::Int || d.m_Tag == RowDefault::Unsigned);
        if constexpr (std::is_same_v<V, const ClassType_Enum*>)
            EXPECT_EQ(EnumeratorValue(value), d.m_Unsigned);
        else
            EXPECT_EQ(static_cast<int64_t>(value), d.m_Int);
    } else if constexpr (std::is_floating_point_v<V>) {
        ASSERT_TRUE(d.m_Tag == RowDefault::Float || d.m_Tag == RowDefault::Double);
        EXPECT_EQ(value, d.m_Tag == RowDefault::Float ? static_cast<V>(d.m_Float)
                                                      : static_cast<V>(d.m_Double));
    } else if constexpr (std::is_same_v<V, String>) {
        ASSERT_EQ(d.m_Tag, RowDefault::Text);
        EXPECT_STREQ(value.GetCPtr(), d.m_Text);
    } else if constexpr (sizeof(V) <= sizeof(d.m_Floats)) {
        ASSERT_EQ(d.m_Tag, RowDefault::Floats);
        EXPECT_EQ(std::memcmp(&value, d.m_Floats, sizeof(V)), 0);
    } else {
        ADD_FAILURE() << "a default of this type cannot be stated";
    }
}

template <class V>
void CheckMember(ScriptObject* object, ScriptObject* fresh, const ClassType_MemberID* id,
                 const MVTBL& entry, const MemberRow* row) {
    Obj<ScriptObject> keep;
    const bool writable = (entry.m_Flags & MemberNotWritten) == 0;
    if ((entry.m_Flags & MemberIsArray) != 0) {
        const auto* m = MakeMemberID<ClassMember>(IDValue(id));
        Array<typename ScriptValueTraits<V>::Element> array;
        Array<typename ScriptValueTraits<V>::Element> freshArray;
        EXPECT_TRUE(object->GetArray<V>(m, array));
        EXPECT_TRUE(fresh->GetArray<V>(m, freshArray));
        EXPECT_EQ(array.Size(), freshArray.Size());
        if (!writable)
            return;
        const V v = Different(ScriptNeutralValue<V>(), row, object, keep);
        array.Add(v);
        EXPECT_TRUE(object->SetArray<V>(m, array));
        Array<typename ScriptValueTraits<V>::Element> back;
        EXPECT_TRUE(object->GetArray<V>(m, back));
        ASSERT_EQ(back.Size(), array.Size());
        EXPECT_TRUE(Same<V>(back[back.Size() - 1], v));
    } else if ((entry.m_Flags & MemberIsIndex) != 0) {
        const auto* m = MakeMemberID<ClassMemberOf<V, true>>(IDValue(id));
        const int n = object->Size(m);
        EXPECT_EQ(n, fresh->Size(m));
        if (!writable)
            return;
        const V v = Different(ScriptNeutralValue<V>(), row, object, keep);
        object->Set(m, n, v);
        EXPECT_EQ(object->Size(m), n + 1);
        EXPECT_TRUE(Same(object->Get(m, n), v));
    } else {
        const auto* m = MakeMemberID<ClassMemberOf<V, false>>(IDValue(id));
        const V old = object->Get(m);
        if (row != nullptr)
            ExpectDefault(old, row->m_Default);
        if (!writable)
            return;
        V v = Different(old, row, object, keep);
        object->Set(m, v);
        if constexpr (std::is_same_v<V, Vector2f> || std::is_same_v<V, Vector3f> ||
                      std::is_same_v<V, Vector4f>) {
            // A setter may clamp into a range (fractions of a window): a value between the old
            // components and the middle of the unit range is then taken as given.
            if (!Same(object->Get(m), v)) {
                v = old;
                auto* f = reinterpret_cast<float*>(&v);
                for (size_t i = 0; i < sizeof(V) / sizeof(float); ++i)
                    f[i] = f[i] * 0.5f + 0.25f;
                object->Set(m, v);
            }
        }
        EXPECT_TRUE(Same(object->Get(m), v));
    }
    EXPECT_FALSE(object->Compare(id, fresh));
    EXPECT_TRUE(fresh->Compare(id, fresh));
}

TEST_F(BoundClasses, EveryMemberOfEveryClassWorksThroughItsRow) {
    int classes = 0;
    int members = 0;
    for (int c = 1; c < k_MasterMVTBLSize; ++c) {
        const MVTBL* table = IsTableOf(c);
        if (table == nullptr)
            continue;
        ++classes;
        const MVTBLHeader* header = TableHeader(table);
        const ClassType_TypeID* id = header->m_ClassID;
        const ClassBinding* binding = FindClassBinding(id);
        // Built-in classes are found by name, in either identifier form.
        EXPECT_STREQ(TypeIDToString(MakeTypeID(c)), header->m_Name);
        if (c < k_MasterMVTBLBuiltinSize) {
            EXPECT_EQ(FindBuiltinClassID(header->m_Name), BuiltinTypeID(c)) << header->m_Name;
        }
        Obj<ScriptObject> object = ScriptObject::Create(id);
        Obj<ScriptObject> fresh = ScriptObject::Create(id);
        // What can be made is an object or a boxed value.
        EXPECT_TRUE(object->IsNil() || header->m_Kind == Kind_Object ||
                    header->m_Kind == Kind_Value)
            << header->m_Name;
        bool enumerators = header->m_Count > 1;
        for (int k = 1; k < header->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name == nullptr)
                continue;
            ++members;
            const std::string name = std::string(header->m_Name) + "." + entry.m_Name;
            SCOPED_TRACE(name);
            const ClassType_MemberID* m = MemberIDOf(k, c);
            const int type = ClassIndexOf(entry.m_Type);
            const bool enumerator = (entry.m_Flags & MemberIsSomeEnum) != 0;
            enumerators = enumerators && enumerator;
            // A boxed value's member is of the class itself.
            EXPECT_EQ(SameClass(entry.m_Type, id), header->m_Kind == Kind_Value);

            // Objects of an unrelated class (Nil) reach the invalid-call stubs, which log.
            if (c != k_ClassNil) {
                LogCapture log;
                WithValueType(type, [&]<class V>() {
                    // The array form answers into an array, the others into a value.
                    Array<typename ScriptValueTraits<V>::Element> array;
                    V out = ScriptNeutralValue<V>();
                    const bool whole = (entry.m_Flags & MemberIsArray) != 0;
                    G_NilObject.Entry(m).Get(&G_NilObject, m, 0,
                                             whole ? static_cast<void*>(&array) : &out);
                });
                const std::string text = log.Text();
                EXPECT_NE(text.find("iInvalidGet"), std::string::npos) << text;
                EXPECT_NE(text.find(name + " called on Nil"), std::string::npos) << text;
            }
            if (enumerator || object->IsNil())
                continue;
            const MemberRow* row = nullptr;
            for (int r = 0; binding != nullptr && r < binding->m_RowCount; ++r) {
                if (binding->m_Rows[r].m_Index == k)
                    row = &binding->m_Rows[r];
            }
            // Each member on an object of its own: members that are views of others (computed
            // values, columns of one key array) start from their defaults too.
            Obj<ScriptObject> own = ScriptObject::Create(id);
            const bool known =
                WithValueType(type, [&]<class V>() { CheckMember<V>(own, fresh, m, entry, row); });
            EXPECT_TRUE(known) << "value type " << type;
        }
        // Enumerations hold enumerators only, and only enumerations hold them.
        EXPECT_EQ(enumerators, header->m_Kind == Kind_Enum && header->m_Count > 1)
            << header->m_Name;
    }
    // The system classes and the lamp classes at least.
    EXPECT_GE(classes, 24);
    EXPECT_GE(members, 30);
}

} // namespace
