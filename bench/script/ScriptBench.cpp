// Member access through the dispatch row beside a direct virtual call (script-class members,
// whose values the row reads in line, and a native member reached through its accessor call),
// creation of a script class instance, and member lookup by name.

#include "BenchRatios.h"
#include "quorlix/library/Library.h"
#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/ScriptClass.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

// The baseline: the same values behind virtual getters and setters of a native class.
class NativeDoor {
public:
    virtual ~NativeDoor() = default;
    virtual int32_t GetCount() const { return m_Count; }
    virtual void SetCount(int32_t value) { m_Count = value; }
    virtual Vector3f GetPosition() const { return m_Position; }
    virtual void SetPosition(const Vector3f& value) { m_Position = value; }
    virtual String GetLabel() const { return m_Label; }
    virtual ScriptObject* GetLink() const { return m_Link; }

    int32_t m_Count = 1;
    Vector3f m_Position{1, 2, 3};
    String m_Label{"door"};
    ScriptObject* m_Link = &G_NilObject;
};

// The script class: ten members of mixed types, the first four read by the benchmarks.
struct Fixture {
    Fixture() {
        DLLInitialize(0);
        m_Class = ScriptClass::Create();
        m_Class->DefClassObject("Door", nullptr);
        const int32_t one = 1;
        const Vector3f position(1, 2, 3);
        const String label("door");
        m_Count = static_cast<const ClassMember_I32*>(
            m_Class->DefMemberVar("Count", BuiltinTypeID(k_ClassI32), 0, &one));
        m_Position = static_cast<const ClassMember_Vector3f*>(
            m_Class->DefMemberVar("Position", BuiltinTypeID(k_ClassVector3f), 0, &position));
        m_Label = static_cast<const ClassMember_String*>(
            m_Class->DefMemberVar("Label", BuiltinTypeID(k_ClassString), 0, &label));
        m_Link = static_cast<const ClassMember_Object*>(m_Class->DefMemberVar(
            "Link", BuiltinTypeID(k_ClassScriptObject), MemberObjectLink | 0x1000, nullptr));
        const float zero = 0;
        for (const char* name : {"A", "B", "C", "D"})
            m_Class->DefMemberVar(name, BuiltinTypeID(k_ClassF32), 0, &zero);
        m_Class->DefMemberVar("Matrix", BuiltinTypeID(k_ClassMatrix4f), 0, &Matrix4f::Identity);
        m_Class->DefMemberVar("Path", BuiltinTypeID(k_ClassVector3f), MemberIsIndex, nullptr);
        m_Class->EndClass();
        m_Object = ScriptObject::Create(m_Class->GetClassID());
    }

    Obj<ScriptClass> m_Class;
    Obj<ScriptObject> m_Object;
    const ClassMember_I32* m_Count;
    const ClassMember_Vector3f* m_Position;
    const ClassMember_String* m_Label;
    const ClassMember_Object* m_Link;
};

Fixture& Door() {
    static Fixture fixture;
    return fixture;
}

NativeDoor* Native() {
    static NativeDoor door;
    NativeDoor* pointer = &door;
    benchmark::DoNotOptimize(pointer); // keeps the calls virtual
    return pointer;
}

void BM_Row_GetI32(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Count;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_Virtual_GetI32(benchmark::State& state) {
    NativeDoor* door = Native();
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        benchmark::DoNotOptimize(door->GetCount());
    }
}
void BM_Row_SetI32(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Count;
    int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        object->Set(m, ++i);
    }
}
void BM_Virtual_SetI32(benchmark::State& state) {
    NativeDoor* door = Native();
    int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        door->SetCount(++i);
    }
}
void BM_Row_GetVector3f(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Position;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_Virtual_GetVector3f(benchmark::State& state) {
    NativeDoor* door = Native();
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        benchmark::DoNotOptimize(door->GetPosition());
    }
}
void BM_Row_SetVector3f(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Position;
    Vector3f v(1, 2, 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(v);
        object->Set(m, v);
    }
}
void BM_Virtual_SetVector3f(benchmark::State& state) {
    NativeDoor* door = Native();
    Vector3f v(1, 2, 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        benchmark::DoNotOptimize(v);
        door->SetPosition(v);
    }
}
void BM_Row_GetString(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Label;
    String out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        object->Get(m, out);
        benchmark::DoNotOptimize(out.GetCPtr());
    }
}
void BM_Virtual_GetString(benchmark::State& state) {
    NativeDoor* door = Native();
    String out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        out = door->GetLabel();
        benchmark::DoNotOptimize(out.GetCPtr());
    }
}
void BM_Row_GetObject(benchmark::State& state) {
    ScriptObject* object = Door().m_Object;
    const auto* m = Door().m_Link;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_Virtual_GetObject(benchmark::State& state) {
    NativeDoor* door = Native();
    for (auto _ : state) {
        benchmark::DoNotOptimize(door);
        benchmark::DoNotOptimize(door->GetLink());
    }
}
BENCHMARK(BM_Row_GetI32);
BENCHMARK(BM_Virtual_GetI32);
BENCHMARK(BM_Row_SetI32);
BENCHMARK(BM_Virtual_SetI32);
BENCHMARK(BM_Row_GetVector3f);
BENCHMARK(BM_Virtual_GetVector3f);
BENCHMARK(BM_Row_SetVector3f);
BENCHMARK(BM_Virtual_SetVector3f);
BENCHMARK(BM_Row_GetString);
BENCHMARK(BM_Virtual_GetString);
BENCHMARK(BM_Row_GetObject);
BENCHMARK(BM_Virtual_GetObject);

// A built-in class as the subsystems register theirs: the value is a field of a native class and
// the member's accessors are functions of its own, so access goes through the entry's call.
constexpr int k_NodeClass = 250; // a built-in slot the library leaves free
struct NativeNode : ScriptObject {
    int32_t m_Count = 1;
};
void NodeGetCount(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
                  const MVTBL&) {
    *static_cast<int32_t*>(out) = static_cast<const NativeNode*>(self)->m_Count;
}
void NodeSetCount(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
                  const MVTBL&) {
    static_cast<NativeNode*>(self)->m_Count = *static_cast<const int32_t*>(value);
}
void NodeNoGet(const ScriptObject*, const ClassType_MemberID*, int, void*, const MVTBL&) {}
void NodeNoSet(ScriptObject*, const ClassType_MemberID*, int, const void*, const MVTBL&) {}
ScriptObject* CreateNode() {
    return NewObject<NativeNode>();
}

struct NodeFixture {
    NodeFixture() {
        Door();
        CreateClass(BuiltinTypeID(k_NodeClass), nullptr, "", "BenchNode", &TypeOf<NativeNode>(),
                    &CreateNode, Kind_Object);
        m_Count = MemberIDOf<ClassMember_I32>(1, k_NodeClass);
        CreateMemberGeneric(m_Count, "Count", &NodeGetCount, &NodeNoGet, &NodeSetCount, &NodeNoSet,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            1, 0, BuiltinTypeID(k_ClassI32));
        m_Node = ScriptObject::Create(BuiltinTypeID(k_NodeClass));
    }
    Obj<ScriptObject> m_Node;
    const ClassMember_I32* m_Count;
};
NodeFixture& Node() {
    static NodeFixture fixture;
    return fixture;
}

void BM_RowNative_GetI32(benchmark::State& state) {
    ScriptObject* object = Node().m_Node;
    const auto* m = Node().m_Count;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_RowNative_SetI32(benchmark::State& state) {
    ScriptObject* object = Node().m_Node;
    const auto* m = Node().m_Count;
    int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        object->Set(m, ++i);
    }
    if (object->Get(m) != i)
        state.SkipWithError("the native accessor was not reached");
}
BENCHMARK(BM_RowNative_GetI32);
BENCHMARK(BM_RowNative_SetI32);

// The same member bound as data: a field read in line through the generic accessors, and a
// getter/setter pair of the class through the generated accessors (to compare with the
// hand-written ones above).
constexpr int k_BoundClass = 249;
struct BoundNode : ScriptObject {
    int32_t GetCount() const noexcept { return m_Count; }
    void SetCount(int32_t count) noexcept { m_Count = count; }
    int32_t m_Count = 1;
    int32_t m_Field = 1;
};
struct BoundFixture {
    BoundFixture() {
        Door();
        static const MemberRow rows[] = {
            Bind::Field<&BoundNode::m_Field>("Field", 1).Default(1),
            Bind::Property<&BoundNode::GetCount, &BoundNode::SetCount>("Count", 2).Default(1),
        };
        BindClass(Bind::NativeClass<BoundNode>(k_BoundClass, k_ClassScriptObject, "BoundNode")
                      .Members(rows));
        m_Field = MemberIDOf<ClassMember_I32>(1, k_BoundClass);
        m_Count = MemberIDOf<ClassMember_I32>(2, k_BoundClass);
        m_Node = ScriptObject::Create(BuiltinTypeID(k_BoundClass));
    }
    Obj<ScriptObject> m_Node;
    const ClassMember_I32* m_Field;
    const ClassMember_I32* m_Count;
};
BoundFixture& Bound() {
    static BoundFixture fixture;
    return fixture;
}

void BM_BoundField_GetI32(benchmark::State& state) {
    ScriptObject* object = Bound().m_Node;
    const auto* m = Bound().m_Field;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_BoundField_SetI32(benchmark::State& state) {
    ScriptObject* object = Bound().m_Node;
    const auto* m = Bound().m_Field;
    int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        object->Set(m, ++i);
    }
    if (static_cast<BoundNode*>(object)->m_Field != i)
        state.SkipWithError("the field was not reached");
}
void BM_BoundProperty_GetI32(benchmark::State& state) {
    ScriptObject* object = Bound().m_Node;
    const auto* m = Bound().m_Count;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(object->Get(m));
    }
}
void BM_BoundProperty_SetI32(benchmark::State& state) {
    ScriptObject* object = Bound().m_Node;
    const auto* m = Bound().m_Count;
    int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        object->Set(m, ++i);
    }
    if (static_cast<BoundNode*>(object)->m_Count != i)
        state.SkipWithError("the setter was not reached");
}
BENCHMARK(BM_BoundField_GetI32);
BENCHMARK(BM_BoundField_SetI32);
BENCHMARK(BM_BoundProperty_GetI32);
BENCHMARK(BM_BoundProperty_SetI32);

// Registration through the description: 500 classes of 30 members each (fields of three types
// and getter/setter pairs), bound into the free built-in slots in rounds, each class with its
// member hash. Deleting them between rounds is not timed. Reported per class.
struct Light : ScriptObject {
    int32_t GetLevel() const noexcept { return m_Level; }
    void SetLevel(int32_t level) noexcept { m_Level = level; }
    float m_Power = 0;
    Vector3f m_Color;
    String m_Label;
    int32_t m_Level = 0;
};
void BM_BindClass_30Members(benchmark::State& state) {
    Door();
    static char names[30][8];
    static MemberRow rows[30];
    for (int i = 0; i < 30; ++i) {
        std::snprintf(names[i], sizeof(names[i]), "M%d", i + 1);
        switch (i % 4) {
        case 0:
            rows[i] = Bind::Field<&Light::m_Power>(names[i], i + 1);
            break;
        case 1:
            rows[i] = Bind::Field<&Light::m_Color>(names[i], i + 1);
            break;
        case 2:
            rows[i] = Bind::Field<&Light::m_Label>(names[i], i + 1);
            break;
        default:
            rows[i] = Bind::Property<&Light::GetLevel, &Light::SetLevel>(names[i], i + 1);
            break;
        }
    }
    std::vector<int> slots;
    for (int c = 2; c < k_MasterMVTBLBuiltinSize && slots.size() < 125; ++c) {
        if (IsTableOf(c) == nullptr)
            slots.push_back(c);
    }
    const int rounds = 500 / static_cast<int>(slots.size());
    double seconds = 0;
    int64_t classes = 0;
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            for (int c : slots) {
                BindClass(Bind::NativeClass<Light>(c, k_ClassScriptObject, "Light").Members(rows));
                CreateCVTBLHash(BuiltinTypeID(c));
            }
            seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            classes += static_cast<int64_t>(slots.size());
            state.PauseTiming();
            for (int c : slots)
                DeleteClass(BuiltinTypeID(c));
            state.ResumeTiming();
        }
    }
    state.counters["us_per_class"] = seconds * 1e6 / static_cast<double>(classes);
}
BENCHMARK(BM_BindClass_30Members)->Unit(benchmark::kMillisecond);

// One instance of the ten-member class made and dropped: allocation, defaults, release.
void BM_ScriptObject_Create(benchmark::State& state) {
    const ClassType_TypeID* type = Door().m_Class->GetClassID();
    for (auto _ : state) {
        Obj<ScriptObject> object = ScriptObject::Create(type);
        benchmark::DoNotOptimize(object.Get());
    }
}
BENCHMARK(BM_ScriptObject_Create);

// Lookup of each member name in turn (hits), as the parser binds names.
void BM_FindClassMember_Hit(benchmark::State& state) {
    const ClassType_TypeID* type = Door().m_Class->GetClassID();
    const char* names[] = {"Count", "Position", "Label",  "Link", "A",   "B",
                           "C",     "D",        "Matrix", "Path", "Name"};
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindClassMember(type, names[i]));
        i = i + 1 == std::size(names) ? 0 : i + 1;
    }
}
BENCHMARK(BM_FindClassMember_Hit);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    Door();
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_Row_GetI32", "BM_Virtual_GetI32"},
            Comparison{"BM_Row_SetI32", "BM_Virtual_SetI32"},
            Comparison{"BM_Row_GetVector3f", "BM_Virtual_GetVector3f"},
            Comparison{"BM_Row_SetVector3f", "BM_Virtual_SetVector3f"},
            Comparison{"BM_Row_GetString", "BM_Virtual_GetString"},
            Comparison{"BM_Row_GetObject", "BM_Virtual_GetObject"},
            Comparison{"BM_RowNative_GetI32", "BM_Virtual_GetI32"},
            Comparison{"BM_RowNative_SetI32", "BM_Virtual_SetI32"},
            Comparison{"BM_BoundField_GetI32", "BM_Virtual_GetI32"},
            Comparison{"BM_BoundField_SetI32", "BM_Virtual_SetI32"},
            Comparison{"BM_BoundProperty_GetI32", "BM_RowNative_GetI32"},
            Comparison{"BM_BoundProperty_SetI32", "BM_RowNative_SetI32"},
        },
        {
            {"BM_ScriptObject_Create", "below 200 ns per instance", 200, 0},
            {"BM_FindClassMember_Hit", "below 100 ns per lookup", 100, 0},
        });
    Node().m_Node = nullptr;
    DeleteClass(BuiltinTypeID(k_NodeClass));
    Bound().m_Node = nullptr;
    DeleteClass(BuiltinTypeID(k_BoundClass));
    Door().m_Object = nullptr;
    Door().m_Class = nullptr;
    DLLDeInitialize(0);
    return result;
}
