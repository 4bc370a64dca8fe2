// Whole frames as `quorlix play` draws them: 1,000 and 10,000 small lit boxes (12 triangles
// each) under their own transforms, through a render pipe on the offscreen driver at 640 x 480,
// RenderSystem::DrawTree and the OpenGL engine, beside a hand-written GL loop that draws the same
// arrays with the same matrices in the same context. Both end with glFinish. The frame also
// counts its heap allocations after the first (counted blocks and the global operator new).

#include "BenchRatios.h"
#include "BenchSupport.h"
#include "quorlix/core/Memory.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"
#include "support/CountingNew.h"

#include <map>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

using namespace Quorlix;

namespace {

using LoadMatrixFn = void (*)(const float*);
using MatrixModeFn = void (*)(unsigned);
using PointerFn = void (*)(int, unsigned, int, const void*);
using NormalPointerFn = void (*)(unsigned, int, const void*);
using RangeFn = void (*)(unsigned, unsigned, unsigned, int, unsigned, const void*);
using VoidFn = void (*)();
using EnumFn = void (*)(unsigned);

constexpr unsigned k_ModelView = 0x1700;
constexpr unsigned k_Float = 0x1406;
constexpr unsigned k_UnsignedInt = 0x1405;
constexpr unsigned k_Triangles = 4;
constexpr unsigned k_VertexArray = 0x8074;
constexpr unsigned k_NormalArray = 0x8075;
constexpr unsigned k_ColorBufferBit = 0x4000, k_DepthBufferBit = 0x0100;

struct GLCalls {
    LoadMatrixFn glLoadMatrixf = nullptr;
    MatrixModeFn glMatrixMode = nullptr;
    PointerFn glVertexPointer = nullptr;
    NormalPointerFn glNormalPointer = nullptr;
    RangeFn glDrawRangeElements = nullptr;
    VoidFn glFinish = nullptr;
    EnumFn glClear = nullptr;
    EnumFn glEnableClientState = nullptr;
};

// The scene of one box count, with its own render system and channel; every count draws into
// the same pipe (one window and context).
class Frame {
public:
    // `count` boxes in a grid filling the view at 10 units, lit by a sun and an ambient light.
    explicit Frame(RenderPipe* pipe, int count) : m_Pipe(pipe) {
        QuorlixBench::MakeBox(*static_cast<SPolygonGeometry*>(m_Box->GetSNode()), false);
        Obj<TLight> sun(TLight::Create());
        Obj<TLight> sky(TLight::Create());
        static_cast<SLight*>(sky->GetSNode())->SetType(SLight::Ambient);
        static_cast<SLight*>(sky->GetSNode())->SetColor(Vector3f(0.2f, 0.2f, 0.2f));
        m_Root->AddChild(sun);
        m_Root->AddChild(sky);
        const int side = count >= 10000 ? 100 : 32;
        for (int i = 0; i < count; ++i) {
            Obj<TTransform> t(TTransform::Create());
            auto* s = static_cast<STransform*>(t->GetSNode());
            s->SetTranslation(Vector3f(-5.0f + 10.0f * static_cast<float>(i % side) / side,
                                       -3.8f + 7.6f * static_cast<float>(i / side) / side, -10));
            s->SetRotation(Vector3f(30, 40, 0));
            s->SetScaling(Vector3f(0.05f, 0.05f, 0.05f));
            Obj<TPolygonGeometry> p(TPolygonGeometry::Create());
            p->SetSNode(m_Box->GetSNode());
            p->m_Shader = m_Shader.Get();
            t->AddChild(p);
            m_Root->AddChild(t);
            m_Boxes.push_back(t);
        }
        m_Channel->m_SceneRoot = m_Root.Get();
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(m_Channel);
        Draw(); // the first frame sizes every list
        m_Ready = true;
    }

    void Draw() {
        m_System->ClearBuffers();
        m_System->DrawTree(0.0, 0.0, 0);
        m_Pipe->GetRenderEngine()->SwapBuffers();
    }
    // The same boxes by hand, in the state the engine's frame left (projection, light,
    // material): the placements are those the traversal computed.
    void DrawByHand(const GLCalls& gl) {
        const auto& box = *static_cast<const SPolygonGeometry*>(m_Box->GetSNode());
        const void* vertices = box.GetVertexArray().Data();
        const void* normals = box.m_NormalArray.Data();
        const void* indices = box.GetIndexArray().Data();
        const unsigned last = static_cast<unsigned>(box.GetVertexArray().Size() - 1);
        gl.glClear(k_ColorBufferBit | k_DepthBufferBit);
        gl.glEnableClientState(k_VertexArray);
        gl.glEnableClientState(k_NormalArray);
        gl.glMatrixMode(k_ModelView);
        for (const Obj<TTransform>& t : m_Boxes) {
            gl.glLoadMatrixf(t->GetModelViewMatrix().GetData());
            gl.glVertexPointer(3, k_Float, 12, vertices);
            gl.glNormalPointer(k_Float, 12, normals);
            gl.glDrawRangeElements(k_Triangles, 0, last, 36, k_UnsignedInt, indices);
        }
    }
    bool IsReady() const { return m_Ready; }
    int64_t Triangles() const {
        return m_Pipe->GetRenderEngine()->GetRenderStatistics()->GetTrianglesPerFrame();
    }

private:
    bool m_Ready = false;
    Obj<TPolygonGeometry> m_Box{TPolygonGeometry::Create()};
    Obj<RenderShader> m_Shader{RenderShader::Create()};
    Obj<TTransform> m_Root{TTransform::Create()};
    std::vector<Obj<TTransform>> m_Boxes;
    Obj<RenderPipe> m_Pipe;
    Obj<RenderChannel> m_Channel{RenderChannel::Create()};
    Obj<RenderSystem> m_System{RenderSystem::Create()};
};

GLCalls& GL() {
    static GLCalls gl;
    static const bool loaded = [] {
        QuorlixBench::FindGL(gl.glLoadMatrixf, "glLoadMatrixf");
        QuorlixBench::FindGL(gl.glMatrixMode, "glMatrixMode");
        QuorlixBench::FindGL(gl.glVertexPointer, "glVertexPointer");
        QuorlixBench::FindGL(gl.glNormalPointer, "glNormalPointer");
        QuorlixBench::FindGL(gl.glDrawRangeElements, "glDrawRangeElements");
        QuorlixBench::FindGL(gl.glFinish, "glFinish");
        QuorlixBench::FindGL(gl.glClear, "glClear");
        QuorlixBench::FindGL(gl.glEnableClientState, "glEnableClientState");
        return true;
    }();
    (void)loaded;
    return gl;
}

// The scene of a count, made on first use.
Frame* TheFrame(int count) {
    static std::map<int, std::unique_ptr<Frame>> frames;
    static Obj<RenderPipe> pipe = [] {
        Obj<RenderPipe> made(RenderPipe::Create());
        made->SetWindowVisibility(false);
        made->m_ColorBits = 24;
        made->m_DepthBits = 24;
        if (!Platform::StartVideo("offscreen") || made->ApplyFormat() != 0 ||
            made->GetRenderEngine() == nullptr)
            made = nullptr;
        return made;
    }();
    if (!pipe)
        return nullptr;
    auto& frame = frames[count];
    if (!frame)
        frame = std::make_unique<Frame>(pipe.Get(), count);
    return frame->IsReady() && GL().glFinish != nullptr ? frame.get() : nullptr;
}

void BM_PlayFrame(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Frame* frame = TheFrame(count);
    if (frame == nullptr) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    frame->Draw(); // makes the frame's context current with its state
    uint64_t allocations = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        const uint64_t blocks = Memory::GetBlockAllocationCount();
        const uint64_t news = QuorlixTest::GlobalNewCount();
        frame->Draw();
        allocations += Memory::GetBlockAllocationCount() - blocks;
        allocations += QuorlixTest::GlobalNewCount() - news;
        ++frames;
        GL().glFinish();
    }
    if (frame->Triangles() != 12 * count)
        state.SkipWithError("not every box was drawn");
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocations_per_frame"] =
        frames > 0 ? static_cast<double>(allocations) / static_cast<double>(frames) : 0.0;
}
BENCHMARK(BM_PlayFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HandLoop_Frame(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Frame* frame = TheFrame(count);
    if (frame == nullptr) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    frame->Draw();
    for (auto _ : state) {
        frame->DrawByHand(GL());
        GL().glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HandLoop_Frame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    using QuorlixBench::Comparison;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {Comparison{"BM_PlayFrame/1000/real_time", "BM_HandLoop_Frame/1000/real_time"},
         Comparison{"BM_PlayFrame/10000/real_time", "BM_HandLoop_Frame/10000/real_time"}},
        {{"BM_PlayFrame/10000/real_time", "the 10,000-mesh frame in at most 43 ms", 43e6}},
        {{"BM_PlayFrame/1000/real_time", "no allocation after the first frame",
          "allocations_per_frame", 0.0},
         {"BM_PlayFrame/10000/real_time", "no allocation after the first frame",
          "allocations_per_frame", 0.0}});
}
