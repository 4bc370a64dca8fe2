// Member access through the dispatch row beside a direct virtual call, creation of a script
// class instance, and member lookup by name.

#include "BenchRatios.h"
#include "quorlix/core/Library.h"
#include "quorlix/script/ScriptClass.h"

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
        },
        {
            {"BM_ScriptObject_Create", "below 200 ns per instance", 200, 0},
            {"BM_FindClassMember_Hit", "below 100 ns per lookup", 100, 0},
        });
    Door().m_Object = nullptr;
    Door().m_Class = nullptr;
    DLLDeInitialize(0);
    return result;
}
