// Parsing a scene script of 100,000 transforms, each with a child mesh, from a memory pipe: the
// speed in MB/s and objects/s; and the peak resident memory of loading it from a file beside the
// memory of the same scene built through the object interface.

#include "BenchRatios.h"
#include "SceneScript.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace Quorlix;

namespace {

constexpr int k_Nodes = QuorlixBench::k_SceneNodes;
constexpr int k_ObjectsPerNode = QuorlixBench::k_SceneObjectsPerNode;
constexpr double k_MiB = 1024.0 * 1024.0;

float Component(int i) {
    return static_cast<float>(i % 97);
}

const std::string& SceneScript() {
    static const std::string script = QuorlixBench::SceneScript();
    return script;
}

StreamPipe* ScriptPipe() {
    const std::string& script = SceneScript();
    return StreamPipeMemory::Create(script.data(), static_cast<int>(script.size()));
}

Obj<ScriptEngine> ParseScene(StreamPipe* pipe) {
    Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(pipe, String("bench.kss"), 0);
    return engine;
}

// The same scene through the object interface, named and held by a namespace as the parser
// holds it.
Obj<ScriptEngine> BuildScene() {
    Obj<ScriptEngine> engine(ScriptEngine::Create());
    ScriptNamespace* ns = engine->GetCurrentNamespace();
    Array<Vector3f> vertices;
    vertices.Add(Vector3f(0, 0, 0));
    vertices.Add(Vector3f(1, 0, 0));
    vertices.Add(Vector3f(0, 1, 0));
    Array<int32_t> indexes;
    for (int k = 0; k < 3; ++k)
        indexes.Add(k);
    char name[32];
    for (int i = 0; i < k_Nodes; ++i) {
        TTransform* t = TTransform::Create();
        auto* s = static_cast<STransform*>(t->GetSNode());
        const float f = Component(i);
        s->SetTranslation(Vector3f(f, 1.0f, -f));
        s->SetRotation(Vector3f(0.01f * f, 0.5f, 0.0f));
        s->SetScaling(Vector3f(1.0f, 1.0f + 0.01f * f, 1.0f));
        TPolygonGeometry* geometry = TPolygonGeometry::Create();
        auto* mesh = static_cast<SPolygonGeometry*>(geometry->GetSNode());
        mesh->SetPrimType(Primitive::Triangle);
        mesh->SetPrimCount(1);
        // Arrays of their own, as a file gives every mesh.
        Array<Vector3f> ownVertices(vertices);
        ownVertices.MakePrivate();
        Array<int32_t> ownIndexes(indexes);
        ownIndexes.MakePrivate();
        mesh->SetVertexArray(ownVertices);
        mesh->SetIndexArray(ownIndexes);
        t->AddChild(geometry);
        std::snprintf(name, sizeof(name), "node%d", i);
        const String text(name);
        t->SetName(text);
        ns->DefObject(t, text);
        ns->DefObjectID(s, 0);
        ns->DefObjectID(geometry, 0);
        ns->DefObjectID(mesh, 0);
    }
    return engine;
}

// Runs first and once: the peak never goes down. The scene built through the object interface
// sets the baseline; the parse reuses the memory it gave back and raises the peak only by what
// it needs beyond that.
void BM_Parse_Memory(benchmark::State& state) {
    // The load reads the script from a file, as a player does.
    const std::string path =
        (std::filesystem::temp_directory_path() / "quorlix-parse-bench.kss").string();
    {
        std::ofstream file(path, std::ios::binary);
        file << SceneScript();
    }
    const Obj<StreamPipe> pipe(Storage::OpenStream(String(path.c_str()), 0));
    const size_t before = Platform::PeakResidentBytes();
    size_t built = 0;
    size_t parsed = 0;
    for (auto _ : state) {
        {
            const Obj<ScriptEngine> scene = BuildScene();
            built = Platform::PeakResidentBytes();
        }
        {
            const Obj<ScriptEngine> scene = ParseScene(pipe);
            parsed = Platform::PeakResidentBytes();
        }
    }
    std::filesystem::remove(path);
    state.counters["scene_MiB"] = static_cast<double>(built - before) / k_MiB;
    state.counters["load_MiB"] = static_cast<double>(parsed - before) / k_MiB;
    state.counters["load_ratio"] =
        static_cast<double>(parsed - before) / static_cast<double>(built - before);
}

void BM_Parse_SceneScript(benchmark::State& state) {
    const std::string& script = SceneScript();
    for (auto _ : state) {
        state.PauseTiming();
        const Obj<StreamPipe> pipe(ScriptPipe());
        state.ResumeTiming();
        Obj<ScriptEngine> engine = ParseScene(pipe);
        state.PauseTiming();
        engine = nullptr;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(script.size()));
    state.counters["objects_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * k_Nodes * k_ObjectsPerNode,
                           benchmark::Counter::kIsRate);
}

void BM_Parse_BuildThroughInterface(benchmark::State& state) {
    for (auto _ : state) {
        Obj<ScriptEngine> engine = BuildScene();
        state.PauseTiming();
        engine = nullptr;
        state.ResumeTiming();
    }
    state.counters["objects_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * k_Nodes * k_ObjectsPerNode,
                           benchmark::Counter::kIsRate);
}

// Once per process whatever --benchmark_repetitions asks: the peak never goes down.
BENCHMARK(BM_Parse_Memory)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_SceneScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Parse_BuildThroughInterface)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {{"BM_Parse_SceneScript/real_time", "BM_Parse_BuildThroughInterface/real_time", false}},
        // 400,000 objects a parse: a million a second is 400 ms.
        {{"BM_Parse_SceneScript/real_time", "at least 1 million objects/s", 400e6, 0}},
        {{"BM_Parse_Memory/iterations:1/repeats:1", "load at most 1.2x the scene", "load_ratio",
          1.2}});
    DLLDeInitialize(0);
    return result;
}
