// The CPU cost of the frame loop's sound step: frames of a scene with 64 moving emitters and a
// receiver through RenderSystem::DrawTree (update only, a pipe without an engine), where the
// clock advances an eighth of a second per frame so that every frame steps the sound, beside the
// same frames with the clock advancing a millisecond (a step every 125th frame). The difference
// per frame is the step's cost; the goal is 0.25 ms. On the DX8 module's loopback device (no
// thread, nothing renders, so the cost is the scene's and OpenAL's bookkeeping) and on DX3.

#include "BenchRatios.h"

#include "quorlix/library/Library.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/RenderSystemTraverse.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/sound/SoundScene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Emitters = 64;
constexpr double k_GoalMilliseconds = 0.25;

/// The sound files, made by sox once per run in a temporary folder.
struct Files {
    Files() {
        char folder[] = "/tmp/soundstepbenchXXXXXX";
        m_Folder = ::mkdtemp(folder) != nullptr ? folder : "/tmp";
        for (int i = 0; i < 4; ++i) {
            m_Tones.push_back(m_Folder + "/tone" + std::to_string(i) + ".wav");
            std::system(("sox -n -r 44100 -b 16 -c 1 " + m_Tones.back() + " synth 1 sine " +
                         std::to_string(300 + 150 * i))
                            .c_str());
        }
    }
    ~Files() { std::filesystem::remove_all(m_Folder); }

    std::string m_Folder;
    std::vector<std::string> m_Tones;
};

Files* g_Files = nullptr;

/// A listener at the origin and 64 emitters on transforms of their own, which Move turns round
/// it on circles of different radii.
struct Scene {
    Scene() {
        Obj<TTransform> ear(TTransform::Create());
        m_Root->AddChild(ear);
        ear->AddChild(m_Camera);
        ear->AddChild(Obj<TSoundReceiver>(TSoundReceiver::Create()));
        for (int i = 0; i < k_Emitters; ++i) {
            Obj<TTransform> mover(TTransform::Create());
            Obj<TSoundEmitter> emitter(TSoundEmitter::Create());
            Obj<FileObject> file(FileObject::Create());
            const std::string& tone = g_Files->m_Tones[size_t(i) % g_Files->m_Tones.size()];
            file->SetFileName(String(("absolute://" + tone).c_str()));
            static_cast<SSoundEmitter*>(emitter->GetSNode())->m_FileObject = file.Get();
            mover->AddChild(emitter);
            m_Root->AddChild(mover);
            m_Movers.push_back(mover);
        }
        m_Channel->m_SceneRoot = m_Root.Get();
        m_Channel->m_Camera = m_Camera.Get();
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(m_Channel);
    }

    void Move(double time) {
        for (int i = 0; i < k_Emitters; ++i) {
            const double angle = time * 0.5 + 0.1 * i;
            const float radius = 2.0f + 0.25f * static_cast<float>(i);
            static_cast<SSimpleTransform*>(m_Movers[size_t(i)]->GetSNode())
                ->SetTranslation(Vector3f(radius * static_cast<float>(std::cos(angle)), 0.0f,
                                          radius * static_cast<float>(std::sin(angle))));
        }
    }

    Obj<TBranch> m_Root{TBranch::Create()};
    Obj<TCamera> m_Camera{TCamera::Create()};
    std::vector<Obj<TTransform>> m_Movers;
    Obj<RenderPipe> m_Pipe{RenderPipe::Create()};
    Obj<RenderChannel> m_Channel{RenderChannel::Create()};
    Obj<RenderSystem> m_System{RenderSystem::Create()};
};

void SelectModule(const char* module) {
    ::setenv("QUORLIX_SOUND_MODULE", module, 1);
    ::setenv("QUORLIX_SOUND_LOOPBACK", "1", 1); // read by DX8 only
}

/// Frames whose clock advances `advance` seconds each, on `module`.
void BM_Frames(benchmark::State& state, const char* module, double advance) {
    SelectModule(module);
    Scene scene;
    const RenderSystemTraverse_D& traverse = scene.m_System->GetTraverse();
    // The first step loads every emitter and makes the listener: not part of a frame's cost.
    double time = 0.125;
    scene.Move(time);
    scene.m_System->DrawTree(time, time, 1);
    const SoundScene* sound = traverse.GetSoundScene();
    if (sound == nullptr || sound->GetEmitterCount() != k_Emitters ||
        sound->GetListener() == nullptr) {
        state.SkipWithError("the emitters and the listener did not load");
        return;
    }
    const int64_t stepsBefore = traverse.GetSoundUpdates();
    for (auto _ : state) {
        time += advance;
        scene.Move(time);
        scene.m_System->DrawTree(time, time, 1);
    }
    const double steps = double(traverse.GetSoundUpdates() - stepsBefore);
    state.counters["steps_per_frame"] = steps / double(state.iterations());
    if (advance >= 0.125 && steps != double(state.iterations()))
        state.SkipWithError("a frame took no sound step");
}

BENCHMARK_CAPTURE(BM_Frames, DX8_loopback_step, "DX8", 0.125)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Frames, DX8_loopback_no_step, "DX8", 0.001)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Frames, DX3_step, "DX3", 0.125)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Frames, DX3_no_step, "DX3", 0.001)->Unit(benchmark::kMicrosecond);

/// The house reporter, keeping the best CPU time of each benchmark as well: the step's cost is
/// judged on CPU, which other processes on the machine do not inflate.
class Reporter : public QuorlixBench::CollectingReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double ns =
                run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto [entry, fresh] = m_Cpu.try_emplace(run.benchmark_name(), ns);
            if (!fresh && ns < entry->second)
                entry->second = ns;
        }
        CollectingReporter::ReportRuns(runs);
    }

    const std::map<std::string, double>& CpuNanoseconds() const { return m_Cpu; }

private:
    std::map<std::string, double> m_Cpu;
};

struct StepCost {
    const char* m_Name;
    const char* m_Step;
    const char* m_NoStep;
};

/// The step's cost per frame as the difference of the two measurements, against the goal.
void PrintStepCosts(const Reporter& reporter) {
    const StepCost costs[] = {
        {"DX8 (loopback)", "BM_Frames/DX8_loopback_step", "BM_Frames/DX8_loopback_no_step"},
        {"DX3", "BM_Frames/DX3_step", "BM_Frames/DX3_no_step"},
    };
    const auto& real = reporter.Results();
    const auto& cpu = reporter.CpuNanoseconds();
    std::printf("Sound step of %d moving emitters per frame (step - no step), goal %.2f ms CPU\n",
                k_Emitters, k_GoalMilliseconds);
    for (const StepCost& c : costs) {
        if (!cpu.contains(c.m_Step) || !cpu.contains(c.m_NoStep) || !real.contains(c.m_Step) ||
            !real.contains(c.m_NoStep))
            continue; // filtered out on the command line
        const double cpuMs = (cpu.at(c.m_Step) - cpu.at(c.m_NoStep)) / 1e6;
        const double realMs =
            (real.at(c.m_Step).m_Nanoseconds - real.at(c.m_NoStep).m_Nanoseconds) / 1e6;
        std::printf("  %-16s CPU %.4f ms (%.4f - %.4f), real %.4f ms  %s\n", c.m_Name, cpuMs,
                    cpu.at(c.m_Step) / 1e6, cpu.at(c.m_NoStep) / 1e6, realMs,
                    cpuMs <= k_GoalMilliseconds ? "met" : "NOT MET");
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    DLLInitialize(0);
    {
        Files files;
        g_Files = &files;
        Reporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        QuorlixBench::PrintSummary(
            reporter.Results(),
            {{"BM_Frames/DX8_loopback_step", "BM_Frames/DX8_loopback_no_step"},
             {"BM_Frames/DX3_step", "BM_Frames/DX3_no_step"}},
            {});
        PrintStepCosts(reporter);
        g_Files = nullptr;
    }
    benchmark::Shutdown();
    DLLDeInitialize(0);
    return 0;
}
