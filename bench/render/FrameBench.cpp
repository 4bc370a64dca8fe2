// One frame of the render system over the null engine: 10,000 transforms of 10 polygon meshes
// each (100,000 placements of 10 shared meshes, a tenth of them in a depth-sorted layer), seen
// by a camera that has about half of them in view. The frame updates the transforms, culls the
// placements, files and sorts the visible ones and hands them to the engine. The baseline is a
// plain loop that multiplies as many matrices into a preallocated array. The frame's
// allocations after the first (the library's counted blocks and the global operator new) are
// reported as a counter and should be 0.

#include "BenchRatios.h"
#include "quorlix/core/Memory.h"
#include "quorlix/library/Library.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/RenderSystemTraverse.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"
#include "support/CountingNew.h"

#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Transforms = 10000;
constexpr int k_PerTransform = 10;
constexpr int k_Meshes = 10;

// The library is initialised before the scene's members are made, and closed after they go.
struct Library {
    Library() { DLLInitialize(0); }
    ~Library() { DLLDeInitialize(0); }
};

struct Scene : Library {
    Scene() {
        m_Glass->m_MultiDrawLayer = 40;
        for (int m = 0; m < k_Meshes; ++m) {
            Obj<SPolygonGeometry> mesh(SPolygonGeometry::Create());
            Array<Vector3f> vertices;
            for (int v = 0; v < 24; ++v) {
                const auto f = static_cast<float>(v);
                vertices.Add(
                    Vector3f(0.1f * f - 1.2f, 0.05f * f * (m + 1) - 0.5f, 0.3f - 0.02f * f));
            }
            mesh->SetVertexArray(vertices);
            m_Meshes.push_back(mesh);
        }
        // A grid of transforms 200 units wide and deep before the camera; half leaves its view.
        for (int i = 0; i < k_Transforms; ++i) {
            Obj<TTransform> t(TTransform::Create());
            auto* s = static_cast<STransform*>(t->GetSNode());
            s->SetTranslation(Vector3f(static_cast<float>(i % 100) * 4.0f - 200.0f,
                                       static_cast<float>(i % 7) - 3.0f,
                                       -static_cast<float>(i / 100) * 4.0f));
            s->SetRotation(Vector3f(0.0f, static_cast<float>(i % 360), 0.0f));
            for (int g = 0; g < k_PerTransform; ++g) {
                Obj<TPolygonGeometry> p(TPolygonGeometry::Create());
                p->SetSNode(m_Meshes[static_cast<size_t>((i + g) % k_Meshes)]);
                if (g == 0)
                    p->m_Shader = m_Glass.Get();
                t->AddChild(p);
            }
            m_Root->AddChild(t);
        }
        Obj<TTransform> eye(TTransform::Create());
        static_cast<STransform*>(eye->GetSNode())->SetTranslation(Vector3f(0, 10, 20));
        eye->AddChild(m_Camera);
        m_Root->AddChild(eye);

        m_Pipe->AttachRenderEngine(RenderEngine::CreateNull());
        m_Channel->m_SceneRoot = m_Root.Get();
        m_Channel->m_Camera = m_Camera.Get();
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(m_Channel);
        m_System->DrawTree(0.0, 0.0, 0); // the first frame sizes every list
    }
    Obj<RenderShader> m_Glass{RenderShader::Create()};
    std::vector<Obj<SPolygonGeometry>> m_Meshes;
    Obj<TBranch> m_Root{TBranch::Create()};
    Obj<TCamera> m_Camera{TCamera::Create()};
    Obj<RenderPipe> m_Pipe{RenderPipe::Create()};
    Obj<RenderChannel> m_Channel{RenderChannel::Create()};
    Obj<RenderSystem> m_System{RenderSystem::Create()};
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_RenderSystem_DrawTree(benchmark::State& state) {
    Scene& scene = TheScene();
    double time = 0.0;
    uint64_t blocks = 0, news = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        time += 1.0 / 60.0;
        const uint64_t blocksBefore = Memory::GetBlockAllocationCount();
        const uint64_t newsBefore = QuorlixTest::GlobalNewCount();
        scene.m_System->DrawTree(time, time, 0);
        blocks += Memory::GetBlockAllocationCount() - blocksBefore;
        news += QuorlixTest::GlobalNewCount() - newsBefore;
        ++frames;
    }
    const RenderSystemTraverse_D& traverse = scene.m_System->GetTraverse();
    if (traverse.GetFiledCount() == 0 || traverse.GetCulledCount() == 0)
        state.SkipWithError(("the frame should both draw and cull: filed " +
                             std::to_string(traverse.GetFiledCount()) + ", culled " +
                             std::to_string(traverse.GetCulledCount()))
                                .c_str());
    state.counters["filed"] = traverse.GetFiledCount();
    state.counters["culled"] = traverse.GetCulledCount();
    state.counters["allocations_per_frame"] =
        frames > 0 ? static_cast<double>(blocks + news) / static_cast<double>(frames) : 0.0;
    state.counters["nodes_per_second"] =
        benchmark::Counter(static_cast<double>(k_Transforms * (k_PerTransform + 1)),
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderSystem_DrawTree)->Unit(benchmark::kMillisecond);

void BM_PlainLoop_MultiplyMatrices(benchmark::State& state) {
    // As many products as the frame has placements and transforms, each of a local matrix and
    // its parent's result.
    constexpr int n = k_Transforms * (k_PerTransform + 1);
    std::vector<Matrix4f> local(n), result(n);
    for (int i = 0; i < n; ++i)
        local[static_cast<size_t>(i)].MakeRotation(
            Vector3f(0.0f, 0.01f * static_cast<float>(i), 0.0f), Eulerf::XYZ);
    for (auto _ : state) {
        result[0] = local[0];
        for (int i = 1; i < n; ++i)
            result[static_cast<size_t>(i)].AssignMul(local[static_cast<size_t>(i)],
                                                     result[static_cast<size_t>(i / 11)]);
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["nodes_per_second"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainLoop_MultiplyMatrices)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    TheScene();
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {QuorlixBench::Comparison{"BM_RenderSystem_DrawTree", "BM_PlainLoop_MultiplyMatrices"}}, {},
        {{"BM_RenderSystem_DrawTree", "no allocation after the first frame",
          "allocations_per_frame", 0.0}});
}
