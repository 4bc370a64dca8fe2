// Loading the 100,000-node scene of the parse benchmark (400,000 objects) from memory in each of
// the three script forms, as written by a full export (every member): MB/s, objects/s and the
// size of the file, medians of 5 runs. The binary and compiled forms exist to load faster than
// text; their speedup over the ascii form is the figure that matters.

#include "BenchRatios.h"
#include "SceneScript.h"
#include "quorlix/library/Library.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <string>

using namespace Quorlix;

namespace {

constexpr int k_Objects = QuorlixBench::k_SceneNodes * QuorlixBench::k_SceneObjectsPerNode;

enum class Form { Ascii, Binary, Compiled };

Obj<ScriptEngine> ParseScene(Array<Obj<ScriptObject>>& roots) {
    Obj<ScriptEngine> engine(ScriptEngine::Create());
    const std::string script = QuorlixBench::SceneScript();
    engine->Execute(StreamPipeMemory::Create(script.data(), static_cast<int>(script.size())),
                    String("bench.kss"), 0);
    Array<String> names;
    engine->ListObjects(&names, &roots, 0, BuiltinTypeID(k_ClassTTransform));
    return engine;
}

std::string Bytes(const StreamPipeMemory& pipe) {
    return std::string(reinterpret_cast<const char*>(pipe.GetData()),
                       static_cast<size_t>(pipe.GetSize()));
}

// Every root exported into one memory file (one compiled program); `flags` 0 writes every
// member, 1 only those that differ from a fresh object.
std::string ExportScene(ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots, Form form,
                        unsigned flags) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    // The writers finish their file when they go out of scope.
    if (form == Form::Compiled) {
        VPUAsmWriter writer(pipe);
        engine.ExportRootsASM(writer, roots, flags);
    } else if (form == Form::Binary) {
        ScriptStreamBinary stream(pipe);
        engine.ExportRoots(stream, roots, flags);
    } else {
        ScriptStreamAlpha stream(pipe);
        engine.ExportRoots(stream, roots, flags);
    }
    return Bytes(*pipe);
}

// The files of each form, full and non-default. Only bytes outlive the call: no scene may be
// left for the static destructors, which run after the library is shut down.
struct Files {
    std::string m_Full[3];
    size_t m_NonDefaultSize[3] = {};
};

const Files& TheFiles() {
    static const Files files = [] {
        Files f;
        Array<Obj<ScriptObject>> roots;
        const Obj<ScriptEngine> engine = ParseScene(roots);
        for (Form form : {Form::Ascii, Form::Binary, Form::Compiled}) {
            const int i = static_cast<int>(form);
            f.m_Full[i] = ExportScene(*engine, roots, form, 0);
            f.m_NonDefaultSize[i] = ExportScene(*engine, roots, form, 1).size();
        }
        return f;
    }();
    return files;
}

Obj<ScriptEngine> Load(const std::string& file) {
    Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(StreamPipeMemory::Create(file.data(), static_cast<int>(file.size())),
                    String("bench"), 0);
    return engine;
}

void Measure(benchmark::State& state, const std::string& file, int expected,
             double nonDefaultSize) {
    {
        // A form that loads fast because it loads less is no result.
        const Obj<ScriptEngine> engine = Load(file);
        Array<Obj<ScriptObject>> objects;
        engine->GetObjectList(objects, 0);
        if (engine->GetErrorCount() != 0 || objects.Size() != expected) {
            state.SkipWithError(("loaded " + std::to_string(objects.Size()) + " of " +
                                 std::to_string(expected) + " objects with " +
                                 std::to_string(engine->GetErrorCount()) + " errors from " +
                                 std::to_string(file.size()) + " bytes (non-default " +
                                 std::to_string(static_cast<size_t>(nonDefaultSize)) + ")")
                                    .c_str());
            return;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        const Obj<StreamPipe> pipe(
            StreamPipeMemory::Create(file.data(), static_cast<int>(file.size())));
        state.ResumeTiming();
        Obj<ScriptEngine> engine(ScriptEngine::Create());
        engine->Execute(pipe, String("bench"), 0);
        state.PauseTiming();
        engine = nullptr; // releasing the scene is not loading it
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(file.size()));
    state.counters["objects_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * expected, benchmark::Counter::kIsRate);
    state.counters["size_bytes"] = static_cast<double>(file.size());
    if (nonDefaultSize > 0)
        state.counters["nondefault_size_bytes"] = nonDefaultSize;
}

void MeasureForm(benchmark::State& state, Form form) {
    const Files& files = TheFiles();
    const int i = static_cast<int>(form);
    Measure(state, files.m_Full[i], k_Objects, static_cast<double>(files.m_NonDefaultSize[i]));
}

void BM_Load_Ascii(benchmark::State& state) {
    MeasureForm(state, Form::Ascii);
}

void BM_Load_Binary(benchmark::State& state) {
    MeasureForm(state, Form::Binary);
}

void BM_Load_Compiled(benchmark::State& state) {
    MeasureForm(state, Form::Compiled);
}

BENCHMARK(BM_Load_Ascii)->Apply(QuorlixBench::MedianOfFive);
BENCHMARK(BM_Load_Binary)->Apply(QuorlixBench::MedianOfFive);
BENCHMARK(BM_Load_Compiled)->Apply(QuorlixBench::MedianOfFive);

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    const std::string ascii = "BM_Load_Ascii/repeats:5/real_time_median";
    const std::string binary = "BM_Load_Binary/repeats:5/real_time_median";
    const std::string compiled = "BM_Load_Compiled/repeats:5/real_time_median";
    const int result = QuorlixBench::RunAndCompare(
        argc, argv, {{binary, ascii, false}, {compiled, ascii, false}}, {}, {},
        {{binary, ascii, "at least 3x faster than ascii", 3.0},
         {compiled, ascii, "at least 5x faster than ascii", 5.0}});
    DLLDeInitialize(0);
    return result;
}
