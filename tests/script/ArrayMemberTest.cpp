// Array members (read and written whole), index members (element by element) and the typed
// whole-array access of ScriptObject.

#include "ScriptTestSupport.h"
#include "quorlix/script/ScriptObject.h"
#include "support/LogCapture.h"

#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::DefineClass;
using QuorlixTest::LogCapture;

namespace {

class ScriptArrayMembers : public QuorlixTest::ScriptTest {};

template <class V>
using ElementOf = typename ScriptValueTraits<V>::Element;

template <class V>
Array<ElementOf<V>> ArrayOf(std::initializer_list<ElementOf<V>> values) {
    Array<ElementOf<V>> array;
    for (const ElementOf<V>& value : values)
        array.Add(value);
    return array;
}

template <class V>
bool SameElement(const ElementOf<V>& a, const ElementOf<V>& b) {
    if constexpr (std::is_same_v<V, ScriptObject*>)
        return a.Get() == b.Get();
    else
        return a == b;
}

template <class V>
::testing::AssertionResult SameArray(const Array<ElementOf<V>>& a, const Array<ElementOf<V>>& b) {
    if (a.Size() != b.Size())
        return ::testing::AssertionFailure() << a.Size() << " elements, not " << b.Size();
    for (int i = 0; i < a.Size(); ++i) {
        if (!SameElement<V>(a[i], b[i]))
            return ::testing::AssertionFailure() << "element " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// Four distinct values of each type.
template <class V>
std::vector<ElementOf<V>> Samples() {
    if constexpr (std::is_same_v<V, ScriptObject*>) {
        std::vector<Obj<ScriptObject>> objects;
        for (int i = 0; i < 4; ++i)
            objects.emplace_back(ScriptObject::Create(BuiltinTypeID(k_ClassScriptObject)));
        return objects;
    } else if constexpr (std::is_same_v<V, const ClassType_Enum*>) {
        return {MemberIDOf<ClassType_Enum>(1, k_ClassRotationOrderEnum),
                MemberIDOf<ClassType_Enum>(2, k_ClassRotationOrderEnum),
                MemberIDOf<ClassType_Enum>(3, k_ClassRotationOrderEnum), nullptr};
    } else if constexpr (std::is_same_v<V, const ClassType_MemberID*>) {
        return {MemberIDOf(1, k_ClassI32), MemberIDOf(1, k_ClassF32), MemberIDOf(1, k_ClassBool),
                MemberIDOf(1, k_ClassString)};
    } else if constexpr (std::is_same_v<V, bool>) {
        return {true, false, true, false};
    } else if constexpr (std::is_same_v<V, String>) {
        return {String("north"), String("east"), String("south"), String("")};
    } else if constexpr (std::is_same_v<V, Vector2f>) {
        return {Vector2f(1, 2), Vector2f(3, 4), Vector2f(5, 6), Vector2f(7, 8)};
    } else if constexpr (std::is_same_v<V, Vector3f>) {
        return {Vector3f(1, 2, 3), Vector3f(4, 5, 6), Vector3f(7, 8, 9), Vector3f(0, 0, 1)};
    } else if constexpr (std::is_same_v<V, Vector4f>) {
        return {Vector4f(1, 2, 3, 4), Vector4f(5, 6, 7, 8), Vector4f(9, 1, 2, 3),
                Vector4f(0, 0, 0, 1)};
    } else if constexpr (std::is_same_v<V, Matrix4f>) {
        return {Matrix4f::Identity, Matrix4f(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1),
                Matrix4f(1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1),
                Matrix4f(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)};
    } else if constexpr (std::is_same_v<V, Quaternionf>) {
        return {Quaternionf::Identity, Quaternionf(1, 0, 0, 0), Quaternionf(0, 1, 0, 0),
                Quaternionf(0, 0, 1, 0)};
    } else if constexpr (std::is_same_v<V, Spheref>) {
        return {Spheref(Vector3f(1, 2, 3), 4), Spheref(Vector3f(0, 0, 0), 1),
                Spheref(Vector3f(5, 5, 5), 2), Spheref::Empty};
    } else {
        return {V(1), V(2), V(3), V(4)}; // the integer and floating types
    }
}

// The whole life of one array member over two instances of its class.
template <class V>
void CheckArrayMember(const ScriptClass& cls, ScriptObject& a, ScriptObject& b) {
    const char* name = ScriptValueTraits<V>::k_Name;
    SCOPED_TRACE(name);
    const ClassMember* m = cls.FindMember(name, BuiltinTypeID(ScriptValueTraits<V>::k_Class));
    ASSERT_NE(m, nullptr);
    const std::vector<ElementOf<V>> s = Samples<V>();
    const Array<ElementOf<V>> one = ArrayOf<V>({s[0], s[1], s[2]});
    const Array<ElementOf<V>> other = ArrayOf<V>({s[0], s[1], s[3]});
    const Array<ElementOf<V>> shrunk = ArrayOf<V>({s[2]});
    Array<ElementOf<V>> out = shrunk;

    EXPECT_TRUE(a.GetArray<V>(m, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_TRUE(a.Compare(m, &b)); // both empty
    ASSERT_TRUE(a.SetArray<V>(m, one));
    EXPECT_EQ(a.Entry(m).Size(&a, m), 3);
    EXPECT_TRUE(a.GetArray<V>(m, out));
    EXPECT_TRUE(SameArray<V>(out, one));
    EXPECT_FALSE(a.Compare(m, &b));
    EXPECT_TRUE(b.SetArray<V>(m, one));
    EXPECT_TRUE(a.Compare(m, &b));
    EXPECT_TRUE(b.Compare(m, &a));
    EXPECT_TRUE(b.SetArray<V>(m, other)); // same count, last element differs
    EXPECT_FALSE(a.Compare(m, &b));

    {
        // The stored handle assigned to itself, through the slot that writes it.
        const MVTBL& entry = a.Entry(m);
        const void* stored = reinterpret_cast<const char*>(&a) + entry.m_OffsetOrValue;
        entry.Set(&a, m, 0, stored);
        EXPECT_TRUE(a.GetArray<V>(m, out));
        EXPECT_TRUE(SameArray<V>(out, one));
    }
    {
        // Writing the copy that was read leaves the member alone, and the other way round.
        Array<ElementOf<V>> copy;
        EXPECT_TRUE(a.GetArray<V>(m, copy));
        copy[0] = s[3];
        EXPECT_TRUE(a.GetArray<V>(m, out));
        EXPECT_TRUE(SameArray<V>(out, one));
    }
    EXPECT_TRUE(a.SetArray<V>(m, shrunk));
    EXPECT_TRUE(a.GetArray<V>(m, out));
    EXPECT_TRUE(SameArray<V>(out, shrunk));
    {
        // Growing fills in the neutral value, which is not always the value-initialised one.
        EXPECT_TRUE(a.Entry(m).Resize(&a, m, 3));
        EXPECT_TRUE(a.GetArray<V>(m, out));
        ASSERT_EQ(out.Size(), 3);
        EXPECT_TRUE(SameElement<V>(out[0], s[2]));
        const ElementOf<V> neutral(ScriptNeutralValue<V>());
        EXPECT_TRUE(SameElement<V>(out[1], neutral));
        EXPECT_TRUE(SameElement<V>(out[2], neutral));
        EXPECT_TRUE(a.Entry(m).Resize(&a, m, 0));
        EXPECT_EQ(a.Entry(m).Size(&a, m), 0);
    }
}

// One class with an array member of each type, named after its type.
template <class... Vs>
void CheckArrayMembers() {
    auto cls =
        DefineClass("Palette", nullptr,
                    {QuorlixTest::MemberSpec{ScriptValueTraits<Vs>::k_Name,
                                             ScriptValueTraits<Vs>::k_Class, MemberIsArray}...});
    Obj<ScriptObject> a = ScriptObject::Create(cls->GetClassID());
    Obj<ScriptObject> b = ScriptObject::Create(cls->GetClassID());
    LogCapture log;
    (CheckArrayMember<Vs>(*cls, *a, *b), ...);
    EXPECT_TRUE(log.Messages().empty()) << log.Text();
}

TEST_F(ScriptArrayMembers, EveryValueTypeIsReadWrittenAndComparedWhole) {
    CheckArrayMembers<ScriptObject*, const ClassType_Enum*, const ClassType_MemberID*, bool, String,
                      int32_t, int64_t, uint32_t, uint64_t, float, double, Vector2f, Vector3f,
                      Vector4f, Matrix4f, Quaternionf, Spheref>();
}

TEST_F(ScriptArrayMembers, ObjectArraysCountTheirElementsAndHoldNoNull) {
    Obj<ScriptObject> seed = ScriptObject::Create(BuiltinTypeID(k_ClassScriptObject));
    Obj<ScriptObject> child = ScriptObject::Create(BuiltinTypeID(k_ClassScriptObject));
    const int32_t seedCount = BlockRefCount(seed.Get());
    const int32_t childCount = BlockRefCount(child.Get());
    {
        // The default holds a null element; the class keeps its own count on the default.
        Array<Obj<ScriptObject>> defaults;
        defaults.Add(seed);
        defaults.Add(Obj<ScriptObject>());
        auto cls = DefineClass(
            "Nest", nullptr,
            {{"Eggs", k_ClassScriptObject, MemberObjectLink | MemberIsArray, &defaults}});
        defaults.Clear();
        EXPECT_EQ(BlockRefCount(seed.Get()), seedCount + 1);
        const ClassMember* eggs = cls->FindMember("Eggs", nullptr);
        Obj<ScriptObject> nest = ScriptObject::Create(cls->GetClassID());
        Obj<ScriptObject> shared = ScriptObject::Create(cls->GetClassID()); // keeps the default
        Array<Obj<ScriptObject>> out;
        EXPECT_TRUE(nest->GetArray<ScriptObject*>(eggs, out));
        ASSERT_EQ(out.Size(), 2);
        EXPECT_EQ(out[0].Get(), seed.Get());
        EXPECT_EQ(out[1].Get(), &G_NilObject);

        Array<Obj<ScriptObject>> value;
        value.Add(Obj<ScriptObject>());
        value.Add(child);
        value.Add(child);
        EXPECT_TRUE(nest->SetArray<ScriptObject*>(eggs, value));
        value.Clear();
        EXPECT_EQ(BlockRefCount(child.Get()), childCount + 2);
        EXPECT_TRUE(nest->GetArray<ScriptObject*>(eggs, out));
        ASSERT_EQ(out.Size(), 3);
        EXPECT_EQ(out[0].Get(), &G_NilObject);
        EXPECT_EQ(out[2].Get(), child.Get());
        out.Clear();

        // Owned links of array members are traversed; the nil element is not listed.
        Array<Obj<ScriptObject>> reached;
        nest->Traverse(reached);
        ASSERT_EQ(reached.Size(), 2);
        EXPECT_EQ(reached[1].Get(), child.Get());
        reached.Clear();

        nest = nullptr;
        shared = nullptr;
        EXPECT_EQ(BlockRefCount(child.Get()), childCount);
    }
    // The class went with its last handle and gave back its count on the default.
    EXPECT_EQ(BlockRefCount(seed.Get()), seedCount);
}

TEST_F(ScriptArrayMembers, IndexMembersGrowWithinLimitsAndTakeWholeArrays) {
    auto cls = DefineClass(
        "Grid", nullptr,
        {{"Cells", k_ClassI32, MemberIsIndex}, {"Frames", k_ClassMatrix4f, MemberIsIndex}});
    const auto* cells = cls->FindMember_Index_I32("Cells");
    const auto* frames = cls->FindMember_Index_Matrix4f("Frames");
    Obj<ScriptObject> grid = ScriptObject::Create(cls->GetClassID());
    {
        LogCapture log;
        grid->Set(cells, 65535, 7); // 65536 new elements at once
        EXPECT_EQ(grid->Size(cells), 65536);
        EXPECT_EQ(grid->Get(cells, 65535), 7);
        grid->Set(cells, 65536 + 65536, 1);
        grid->Set(cells, -1, 5);
        EXPECT_EQ(grid->Get(cells, -1), 0);
        EXPECT_EQ(grid->Get(cells, 70000), 0);
        EXPECT_EQ(grid->Size(cells), 65536);
        EXPECT_FALSE(grid->Entry(cells).Resize(grid.Get(), cells, (1 << 24) + 1));
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{
                      "[Error]ScriptObject::Set: index 131072 would grow \"Grid.Cells\" by more "
                      "than 65536 elements.",
                      "[Error]ScriptObject::Set: index -1 of \"Grid.Cells\" is out of range.",
                      "[Error]ScriptObject::Resize: count 16777217 of \"Grid.Cells\" is out of "
                      "range."}));
    }
    {
        // A whole array replaces the elements and may shrink them.
        EXPECT_TRUE(grid->SetArray<int32_t>(cells, ArrayOf<int32_t>({4, 5, 6})));
        EXPECT_EQ(grid->Size(cells), 3);
        Array<int32_t> out;
        EXPECT_TRUE(grid->GetArray<int32_t>(cells, out));
        EXPECT_TRUE(SameArray<int32_t>(out, ArrayOf<int32_t>({4, 5, 6})));
        EXPECT_TRUE(grid->SetArray<int32_t>(cells, Array<int32_t>()));
        EXPECT_EQ(grid->Size(cells), 0);
    }
    {
        // Elements passed over by a write hold the neutral value, not a zero matrix.
        const Matrix4f shifted(1, 0, 0, 3, 0, 1, 0, 4, 0, 0, 1, 5, 0, 0, 0, 1);
        grid->Set(frames, 2, shifted);
        EXPECT_EQ(grid->Get(frames, 0), Matrix4f::Identity);
        EXPECT_EQ(grid->Get(frames, 2), shifted);
    }
}

TEST_F(ScriptArrayMembers, TypedWholeArrayAccessRefusesMismatchesAndForeignMembers) {
    auto mixed = DefineClass("Mixed", nullptr,
                             {{"Weights", k_ClassF32, MemberIsArray}, {"Count", k_ClassI32}});
    auto stranger =
        DefineClass("Stranger", nullptr,
                    {{"Tags", k_ClassI32, MemberIsArray}, {"Marks", k_ClassI32, MemberIsIndex}});
    const ClassMember* weights = mixed->FindMember("Weights", nullptr);
    const ClassMember* count = mixed->FindMember("Count", nullptr);
    const ClassMember* tags = stranger->FindMember("Tags", nullptr);
    const ClassMember* marks = stranger->FindMember("Marks", nullptr);
    Obj<ScriptObject> object = ScriptObject::Create(mixed->GetClassID());
    Obj<ScriptObject> foreign = ScriptObject::Create(stranger->GetClassID());
    const Array<float> weightsBefore = ArrayOf<float>({0.5f});
    ASSERT_TRUE(object->SetArray<float>(weights, weightsBefore));
    ASSERT_TRUE(foreign->SetArray<int32_t>(tags, ArrayOf<int32_t>({1})));

    LogCapture log;
    Array<int32_t> out = ArrayOf<int32_t>({9});
    EXPECT_FALSE(object->GetArray<int32_t>(weights, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_FALSE(object->SetArray<int32_t>(weights, ArrayOf<int32_t>({1, 2})));
    out = ArrayOf<int32_t>({9});
    EXPECT_FALSE(object->GetArray<int32_t>(count, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_FALSE(object->SetArray<int32_t>(count, ArrayOf<int32_t>({1})));
    EXPECT_EQ(object->Get(static_cast<const ClassMember_I32*>(count)), 0);
    Array<float> weightsAfter;
    EXPECT_TRUE(object->GetArray<float>(weights, weightsAfter));
    EXPECT_TRUE(SameArray<float>(weightsAfter, weightsBefore));

    // Members of a class the object does not derive from run the invalid stubs.
    EXPECT_FALSE(object->GetArray<int32_t>(tags, out));
    EXPECT_FALSE(object->SetArray<int32_t>(tags, ArrayOf<int32_t>({1})));
    EXPECT_FALSE(object->SetArray<int32_t>(marks, ArrayOf<int32_t>({1})));
    EXPECT_FALSE(foreign->Compare(tags, object.Get())); // no log: simply not equal
    const std::string tail = " called on Mixed";
    const std::string t = ": " + QuorlixTest::Hex(tags) + " Stranger.Tags" + tail;
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Error]ScriptObject::GetArray: \"Mixed.Weights\" holds F32, not I32.",
                  "[Error]ScriptObject::SetArray: \"Mixed.Weights\" holds F32, not I32.",
                  "[Error]ScriptObject::GetArray: \"Mixed.Count\" is not an index or array "
                  "member.",
                  "[Error]ScriptObject::SetArray: \"Mixed.Count\" is not an index or array "
                  "member.",
                  "[Error]iInvalidGet_Array_I32" + t, "[Error]iInvalidSet_Array_I32" + t,
                  "[Error]iInvalidResize_Index_I32: " + QuorlixTest::Hex(marks) +
                      " Stranger.Marks" + tail}));
}

} // namespace
