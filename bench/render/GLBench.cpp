// Frames of 1,000 and 10,000 small lit boxes (12 triangles each) at 640 x 480, headless on the
// offscreen driver: the engine's DrawGeometry path beside a minimal hand-written GL loop (client
// arrays, glDrawRangeElements) over the same mesh and matrices in the same context. Each frame
// ends with glFinish, so the figures include the drawing itself. With a software renderer both
// are bound by rasterisation; the ratio shows what the engine adds per draw.

#include "BenchRatios.h"
#include "quorlix/library/Library.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"

#include <cstdio>
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
using ClearColorFn = void (*)(float, float, float, float);
using LightFn = void (*)(unsigned, unsigned, const float*);

constexpr unsigned k_ModelView = 0x1700;
constexpr unsigned k_Projection = 0x1701;
constexpr unsigned k_Float = 0x1406;
constexpr unsigned k_UnsignedInt = 0x1405;
constexpr unsigned k_Triangles = 4;
constexpr unsigned k_VertexArray = 0x8074;
constexpr unsigned k_NormalArray = 0x8075;

struct Scene {
    bool m_Ready = false;
    Platform::Window* m_Window = nullptr;
    Obj<RenderEngine> m_Engine;
    Obj<TPolygonGeometry> m_Box;
    Obj<RenderShader> m_Shader;
    Obj<SLight> m_Light;
    std::vector<Matrix4f> m_Matrices; // one per box, 10,000

    LoadMatrixFn glLoadMatrixf = nullptr;
    MatrixModeFn glMatrixMode = nullptr;
    PointerFn glVertexPointer = nullptr;
    NormalPointerFn glNormalPointer = nullptr;
    RangeFn glDrawRangeElements = nullptr;
    VoidFn glFinish = nullptr;
    EnumFn glClear = nullptr;
    EnumFn glEnableClientState = nullptr;
    EnumFn glEnable = nullptr;
    ClearColorFn glClearColor = nullptr;
};

// A box of 24 vertices (a normal per face) and 36 indices around the origin, half size 1.
void MakeBox(SPolygonGeometry& box) {
    static const float k_Faces[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                        {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    Array<Vector3f> vertices, normals;
    Array<int32_t> indices;
    for (const auto& n : k_Faces) {
        const Vector3f normal(n[0], n[1], n[2]);
        // Two axes spanning the face, ordered so the face winds counter-clockwise from outside.
        const Vector3f u = n[0] != 0   ? Vector3f(0, n[0], 0)
                           : n[1] != 0 ? Vector3f(0, 0, n[1])
                                       : Vector3f(n[2], 0, 0);
        const Vector3f v(normal.GetY() * u.GetZ() - normal.GetZ() * u.GetY(),
                         normal.GetZ() * u.GetX() - normal.GetX() * u.GetZ(),
                         normal.GetX() * u.GetY() - normal.GetY() * u.GetX());
        const int base = vertices.Size();
        for (int corner = 0; corner < 4; ++corner) {
            const float a = corner == 1 || corner == 2 ? 1.0f : -1.0f;
            const float b = corner >= 2 ? 1.0f : -1.0f;
            vertices.Add(Vector3f(normal.GetX() + a * u.GetX() + b * v.GetX(),
                                  normal.GetY() + a * u.GetY() + b * v.GetY(),
                                  normal.GetZ() + a * u.GetZ() + b * v.GetZ()));
            normals.Add(normal);
        }
        for (int i : {0, 1, 2, 0, 2, 3})
            indices.Add(base + i);
    }
    box.SetVertexArray(vertices);
    box.m_NormalArray = normals;
    box.SetIndexArray(indices);
    box.SetPrimCount(12);
}

Scene& GetScene() {
    static Scene scene;
    if (scene.m_Ready || scene.m_Window != nullptr)
        return scene;
    DLLInitialize(0);
    if (!Platform::StartVideo("offscreen"))
        return scene;
    Platform::WindowDesc desc;
    desc.m_Visible = false;
    desc.m_Width = 640;
    desc.m_Height = 480;
    desc.m_ColorBits = 24;
    desc.m_DepthBits = 24;
    scene.m_Window = Platform::CreateWindow(desc);
    scene.m_Engine = RenderEngine::Create(RenderEngine::TypeOpenGL);
    if (scene.m_Window == nullptr || !scene.m_Engine ||
        scene.m_Engine->InitializeRenderEngine(scene.m_Window, RenderPipeFormat{},
                                               RenderTextureSettings{}) != 0)
        return scene;

    Platform::GLLibrary* gl = Platform::OpenGLLibrary("libGL.so.1");
    auto find = [gl](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(
            Platform::FindGLLibrarySymbol(gl, name));
        return pointer != nullptr;
    };
    if (!find(scene.glLoadMatrixf, "glLoadMatrixf") || !find(scene.glMatrixMode, "glMatrixMode") ||
        !find(scene.glVertexPointer, "glVertexPointer") ||
        !find(scene.glNormalPointer, "glNormalPointer") ||
        !find(scene.glDrawRangeElements, "glDrawRangeElements") ||
        !find(scene.glFinish, "glFinish") || !find(scene.glClear, "glClear") ||
        !find(scene.glEnableClientState, "glEnableClientState") ||
        !find(scene.glEnable, "glEnable") || !find(scene.glClearColor, "glClearColor"))
        return scene;

    scene.m_Box = TPolygonGeometry::Create();
    MakeBox(*static_cast<SPolygonGeometry*>(scene.m_Box->GetSNode()));
    scene.m_Shader = RenderShader::Create();
    scene.m_Light = SLight::Create();
    // A 100 x 100 grid over the view, each box turned a little so three faces show.
    Matrix4f turn;
    turn.MakeRotation(Vector3f(0.5f, 0.7f, 0.0f), Eulerf::XYZ);
    for (int i = 0; i < 10000; ++i) {
        Matrix4f m = turn;
        m.PreScale(Vector3f(0.006f, 0.006f, 0.006f));
        m.AccessM3Vector3().SetXYZ(-0.99f + 0.02f * static_cast<float>(i % 100),
                                   -0.99f + 0.02f * static_cast<float>(i / 100), 0.0f);
        scene.m_Matrices.push_back(m);
    }
    scene.m_Ready = true;
    return scene;
}

// The lighting and clear both loops start from, set through the engine.
void BeginFrame(Scene& scene) {
    RenderClearBlock clear;
    scene.m_Engine->ClearBuffers(clear);
    scene.m_Engine->SetProjection(Matrix4f::Identity);
    scene.m_Engine->SetAmbientColor(Vector3f(0.2f, 0.2f, 0.2f));
    scene.m_Engine->SetLight(0, *scene.m_Light, Matrix4f::Identity);
    scene.m_Engine->SetLightCount(1);
    scene.m_Engine->BindShaderBase(scene.m_Shader);
}

void BM_HandLoop_Boxes(benchmark::State& state) {
    Scene& scene = GetScene();
    if (!scene.m_Ready) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    const auto& box = *static_cast<const SPolygonGeometry*>(scene.m_Box->GetSNode());
    const void* vertices = box.GetVertexArray().Data();
    const void* normals = box.m_NormalArray.Data();
    const void* indices = box.GetIndexArray().Data();
    const unsigned last = static_cast<unsigned>(box.GetVertexArray().Size() - 1);
    for (auto _ : state) {
        BeginFrame(scene);
        scene.glEnableClientState(k_VertexArray);
        scene.glEnableClientState(k_NormalArray);
        scene.glMatrixMode(k_ModelView);
        for (int i = 0; i < count; ++i) {
            scene.glLoadMatrixf(scene.m_Matrices[static_cast<size_t>(i)].GetData());
            scene.glVertexPointer(3, k_Float, 12, vertices);
            scene.glNormalPointer(k_Float, 12, normals);
            scene.glDrawRangeElements(k_Triangles, 0, last, 36, k_UnsignedInt, indices);
        }
        scene.glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HandLoop_Boxes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderEngineOpenGL_DrawGeometry(benchmark::State& state) {
    Scene& scene = GetScene();
    if (!scene.m_Ready) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    RenderEngine& engine = *scene.m_Engine;
    for (auto _ : state) {
        BeginFrame(scene);
        for (int i = 0; i < count; ++i) {
            engine.SetModelView(scene.m_Matrices[static_cast<size_t>(i)]);
            engine.DrawGeometry(*scene.m_Box);
        }
        engine.SwapBuffers();
        scene.glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderEngineOpenGL_DrawGeometry)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_RenderEngineOpenGL_DrawGeometry/1000/real_time",
                       "BM_HandLoop_Boxes/1000/real_time"},
            Comparison{"BM_RenderEngineOpenGL_DrawGeometry/10000/real_time",
                       "BM_HandLoop_Boxes/10000/real_time"},
        },
        {});
}
