// Writing the 100,000-node scene of the parse benchmark (400,000 objects) to a memory pipe in
// ascii, binary and compiled form: MB/s and objects/s, beside a memcpy of as many bytes as the
// ascii form takes; the size of each form is reported as a counter. Medians of 5 runs.

#include "BenchRatios.h"
#include "SceneScript.h"
#include "quorlix/library/Library.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_ObjectsPerNode = QuorlixBench::k_SceneObjectsPerNode;
constexpr double k_KiB = 1024.0;

struct Scene {
    Obj<ScriptEngine> m_Engine;
    Array<Obj<ScriptObject>> m_Roots; // the named transforms
};

// Made on first use and released by main before the library shuts down: objects must not
// outlive the class tables.
Scene& SceneHolder() {
    static Scene scene;
    return scene;
}

const Scene& TheScene() {
    Scene& scene = SceneHolder();
    if (!scene.m_Engine) {
        scene.m_Engine = ScriptEngine::Create();
        const std::string script = QuorlixBench::SceneScript();
        scene.m_Engine->Execute(
            StreamPipeMemory::Create(script.data(), static_cast<int>(script.size())),
            String("bench.kss"), 0);
        Array<String> names;
        scene.m_Engine->ListObjects(&names, &scene.m_Roots, 0, BuiltinTypeID(k_ClassTTransform));
    }
    return scene;
}

template <class Write>
void Measure(benchmark::State& state, Write&& write) {
    const Scene& scene = TheScene();
    int64_t bytes = 0;
    for (auto _ : state) {
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        write(*scene.m_Engine, scene.m_Roots, pipe.Get());
        bytes = pipe->GetSize();
        benchmark::DoNotOptimize(pipe->GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
    state.counters["size_KiB"] = static_cast<double>(bytes) / k_KiB;
    state.counters["objects_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * scene.m_Roots.Size() * k_ObjectsPerNode,
        benchmark::Counter::kIsRate);
}

void BM_Write_Ascii(benchmark::State& state) {
    Measure(state,
            [](ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots, StreamPipe* pipe) {
                ScriptStreamAlpha stream(pipe);
                for (const Obj<ScriptObject>& root : roots)
                    engine.Export(stream, root, 0);
            });
}

void BM_Write_Binary(benchmark::State& state) {
    Measure(state,
            [](ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots, StreamPipe* pipe) {
                ScriptStreamBinary stream(pipe);
                for (const Obj<ScriptObject>& root : roots)
                    engine.Export(stream, root, 0);
            });
}

void BM_Write_Compiled(benchmark::State& state) {
    Measure(state,
            [](ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots, StreamPipe* pipe) {
                VPUAsmWriter writer(pipe);
                for (const Obj<ScriptObject>& root : roots)
                    engine.ExportASM(writer, root, 0);
            });
}

// The baseline: copying as many bytes as the ascii form takes, in blocks of a typical write.
void BM_Write_Memcpy(benchmark::State& state) {
    static const size_t size = [] {
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        ScriptStreamAlpha stream(pipe);
        for (const Obj<ScriptObject>& root : TheScene().m_Roots)
            TheScene().m_Engine->Export(stream, root, 0);
        return static_cast<size_t>(pipe->GetSize());
    }();
    const std::vector<char> source(size, 'x');
    for (auto _ : state) {
        std::vector<char> target(size);
        std::memcpy(target.data(), source.data(), size);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
    state.counters["size_KiB"] = static_cast<double>(size) / k_KiB;
}

BENCHMARK(BM_Write_Ascii)->Apply(QuorlixBench::MedianOfFive);
BENCHMARK(BM_Write_Binary)->Apply(QuorlixBench::MedianOfFive);
BENCHMARK(BM_Write_Compiled)->Apply(QuorlixBench::MedianOfFive);
BENCHMARK(BM_Write_Memcpy)->Apply(QuorlixBench::MedianOfFive);

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    const int result =
        QuorlixBench::RunAndCompare(argc, argv,
                                    {{"BM_Write_Ascii/repeats:5/real_time_median",
                                      "BM_Write_Memcpy/repeats:5/real_time_median", true},
                                     {"BM_Write_Binary/repeats:5/real_time_median",
                                      "BM_Write_Memcpy/repeats:5/real_time_median", true},
                                     {"BM_Write_Compiled/repeats:5/real_time_median",
                                      "BM_Write_Memcpy/repeats:5/real_time_median", true}});
    SceneHolder() = Scene();
    DLLDeInitialize(0);
    return result;
}
