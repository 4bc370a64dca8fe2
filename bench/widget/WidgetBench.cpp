// Widget windows: layout of a tree of 10,101 widgets (a root, 100 panels of 100 children, mixed
// alignments and percent sizes) beside a plain loop of as many translation-times-parent
// products; input routing through that tree (random pointer moves, now and then a click); and
// whole frames of 1,000 labels of 20 characters through a pipe on the offscreen driver, beside a
// hand-written GL loop drawing the same 20,000 glyph quads with the same texture from client
// arrays. Layout, frames and pointer moves also count their heap allocations once warm (counted
// blocks and the global operator new).

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
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetStyle.h"
#include "support/CountingNew.h"

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

// --- Layout and input: 100 panels of 100 children -------------------------------------------

constexpr int k_Panels = 100;
constexpr int k_PerPanel = 100;
constexpr int k_TreeWidgets = 1 + k_Panels + k_Panels * k_PerPanel;

uint64_t Allocations() {
    return Memory::GetBlockAllocationCount() + QuorlixTest::GlobalNewCount();
}

Obj<Widget> MakeBlock(Vector3f position, Vector3f dimension, WidgetAlignmentMode align) {
    Obj<Widget> w = Widget::Create();
    w->SetPosition(position);
    w->SetDimension(dimension);
    w->SetAlignmentMode<0>(align);
    w->SetAlignmentMode<1>(align);
    return w;
}

// The window of the layout and input benchmarks (virtual 2048 x 1536, the default): a 10 x 10
// grid of panels a tenth of the window each, every panel a 10 x 10 grid of children that take
// a tenth of it (a quarter of them), or sit at its minimum, centre or maximum with a fixed size.
struct Tree {
    Tree() {
        Obj<Widget> root = MakeBlock({}, Vector3f(1, 1, 0), AlignMin);
        root->SetResizeMode<0>(ResizePercent);
        root->SetResizeMode<1>(ResizePercent);
        for (int p = 0; p < k_Panels; ++p) {
            const float px = static_cast<float>(p % 10), py = static_cast<float>(p / 10);
            Obj<Widget> panel =
                MakeBlock(Vector3f(px * 204.8f, py * 153.6f, 0), Vector3f(0.1f, 0.1f, 0), AlignMin);
            panel->SetResizeMode<0>(ResizePercent);
            panel->SetResizeMode<1>(ResizePercent);
            for (int c = 0; c < k_PerPanel; ++c) {
                const float cx = static_cast<float>(c % 10), cy = static_cast<float>(c / 10);
                Obj<Widget> child;
                switch (c % 4) {
                case 0:
                    child = MakeBlock(Vector3f(cx * 20.48f, cy * 15.36f, 0),
                                      Vector3f(0.1f, 0.1f, 0), AlignMin);
                    child->SetResizeMode<0>(ResizePercent);
                    child->SetResizeMode<1>(ResizePercent);
                    break;
                case 1:
                    child = MakeBlock(Vector3f(cx * 20 - 90, cy * 15 - 67, 0), Vector3f(16, 12, 0),
                                      AlignCenter);
                    break;
                case 2:
                    child =
                        MakeBlock(Vector3f(-cx * 20, -cy * 15, 0), Vector3f(16, 12, 0), AlignMax);
                    break;
                default:
                    child =
                        MakeBlock(Vector3f(cx * 20, cy * 15, 0), Vector3f(0.08f, 12, 0), AlignMin);
                    child->SetResizeMode<0>(ResizePercent);
                    break;
                }
                panel->SetWidget(c, child.Get());
            }
            root->SetWidget(p, panel.Get());
        }
        m_Window->SetRootWidget(root.Get());
        m_Window->Layout();
    }
    Obj<TWindow> m_Window{TWindow::Create()};
};

Tree& TheTree() {
    static Tree tree;
    return tree;
}

double g_PlainLayoutNs = 0; // one plain loop, from its benchmark (registered first)

// The products layout makes, in the tree's order: a translation by each widget's position
// times its parent's result (the root's parent is the identity).
void BM_PlainLoop_LayoutProducts(benchmark::State& state) {
    std::vector<Vector3f> position(k_TreeWidgets);
    std::vector<int> parent(k_TreeWidgets, -1);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> place(0.0f, 200.0f);
    for (int i = 1; i < k_TreeWidgets; ++i) {
        position[static_cast<size_t>(i)] = Vector3f(place(random), place(random), 0);
        parent[static_cast<size_t>(i)] = i <= k_Panels ? 0 : 1 + (i - 1 - k_Panels) / k_PerPanel;
    }
    std::vector<Matrix4f> result(k_TreeWidgets);
    Matrix4f translation;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (size_t i = 0; i < result.size(); ++i) {
            translation.MakeTranslation(position[i]);
            const int up = parent[i];
            result[i].AssignMulAffine(translation, up < 0 ? Matrix4f::Identity
                                                          : result[static_cast<size_t>(up)]);
        }
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    g_PlainLayoutNs = spent.count() / static_cast<double>(state.iterations());
    state.counters["widgets_per_second"] = benchmark::Counter(
        static_cast<double>(k_TreeWidgets), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainLoop_LayoutProducts)->Unit(benchmark::kMicrosecond);

void BM_TWindow_Layout(benchmark::State& state) {
    TWindow& window = *TheTree().m_Window;
    window.Layout();
    uint64_t allocations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const uint64_t before = Allocations();
        window.Layout();
        allocations += Allocations() - before;
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    const double ns = spent.count() / static_cast<double>(state.iterations());
    const double iterations = static_cast<double>(state.iterations());
    state.counters["widgets_per_second"] = benchmark::Counter(
        static_cast<double>(k_TreeWidgets), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["allocations_per_layout"] = static_cast<double>(allocations) / iterations;
    if (g_PlainLayoutNs > 0)
        state.counters["ratio_to_plain_loop"] = ns / g_PlainLayoutNs;
}
BENCHMARK(BM_TWindow_Layout)->Unit(benchmark::kMicrosecond);

// Pointer moves to random points of the window; every 32nd event presses the left button where
// the pointer is and the next releases it (a click, which also moves the focus).
void BM_TWindow_ProcessEvent(benchmark::State& state) {
    TWindow& window = *TheTree().m_Window;
    window.Layout();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> x(0.0f, 2048.0f), y(0.0f, 1536.0f);
    constexpr int k_Points = 4096;
    std::vector<Vector2f> points;
    for (int i = 0; i < k_Points; ++i)
        points.emplace_back(x(random), y(random));
    WInputRecord record;
    // Warm: every widget's inverse matrix made, the window's lists at their size.
    for (int i = 0; i < 64; ++i) {
        record.m_Pointer = points[static_cast<size_t>(i)];
        record.m_ButtonMask = i % 32 == 30 ? uint32_t{ButtonLeft} : 0u;
        window.ProcessEvent(record);
    }
    uint64_t moveAllocations = 0, moves = 0, clickAllocations = 0, clicks = 0, hits = 0, leaves = 0;
    uint32_t event = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const bool press = event % 32 == 30, release = event % 32 == 31;
        if (!release)
            record.m_Pointer = points[event % k_Points];
        record.m_ButtonMask = press ? uint32_t{ButtonLeft} : 0u;
        record.m_Time = event * 8;
        const uint64_t before = Allocations();
        window.ProcessEvent(record);
        const uint64_t made = Allocations() - before;
        if (press || release) {
            clickAllocations += made;
            ++clicks;
        } else {
            moveAllocations += made;
            ++moves;
        }
        hits += record.m_Hovered ? 1 : 0;
        leaves += record.m_Hovered && record.m_Hovered->WidgetCount() == 0 ? 1 : 0;
        ++event;
    }
    if (hits == 0)
        state.SkipWithError("no event hit a widget");
    const double iterations = static_cast<double>(state.iterations());
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    state.counters["us_per_event"] = spent.count() / static_cast<double>(state.iterations());
    state.counters["leaf_hit_fraction"] = static_cast<double>(leaves) / iterations;
    state.counters["allocations_per_move"] =
        moves > 0 ? static_cast<double>(moveAllocations) / static_cast<double>(moves) : 0.0;
    state.counters["allocations_per_click_event"] =
        clicks > 0 ? static_cast<double>(clickAllocations) / static_cast<double>(clicks) : 0.0;
}
BENCHMARK(BM_TWindow_ProcessEvent)->Unit(benchmark::kMicrosecond);

// --- Frames of 1,000 labels ---------------------------------------------------------------

constexpr int k_Labels = 1000;
constexpr int k_Characters = 20;
constexpr int k_Width = 640, k_Height = 480;

using VoidFn = void (*)();
using EnumFn = void (*)(unsigned);
using BlendFn = void (*)(unsigned, unsigned);
using BindFn = void (*)(unsigned, unsigned);
using LoadMatrixFn = void (*)(const float*);
using PointerFn = void (*)(int, unsigned, int, const void*);
using DrawArraysFn = void (*)(unsigned, int, int);

constexpr unsigned k_ColorBufferBit = 0x4000, k_DepthBufferBit = 0x0100;
constexpr unsigned k_Projection = 0x1701, k_ModelView = 0x1700;
constexpr unsigned k_Lighting = 0x0B50, k_DepthTest = 0x0B71, k_CullFace = 0x0B44, k_Fog = 0x0B60;
constexpr unsigned k_Blend = 0x0BE2, k_SrcAlpha = 0x0302, k_OneMinusSrcAlpha = 0x0303;
constexpr unsigned k_Texture2D = 0x0DE1, k_Quads = 0x0007, k_Float = 0x1406;
constexpr unsigned k_VertexArray = 0x8074, k_ColorArray = 0x8076, k_TexCoordArray = 0x8078;

struct GLCalls {
    VoidFn glFinish = nullptr;
    EnumFn glClear = nullptr, glEnable = nullptr, glDisable = nullptr;
    EnumFn glEnableClientState = nullptr, glDisableClientState = nullptr, glMatrixMode = nullptr;
    BlendFn glBlendFunc = nullptr;
    BindFn glBindTexture = nullptr;
    void (*glDepthMask)(unsigned char) = nullptr;
    LoadMatrixFn glLoadMatrixf = nullptr;
    PointerFn glVertexPointer = nullptr, glTexCoordPointer = nullptr, glColorPointer = nullptr;
    DrawArraysFn glDrawArrays = nullptr;

    bool Load() {
        using QuorlixBench::FindGL;
        FindGL(glFinish, "glFinish");
        FindGL(glClear, "glClear");
        FindGL(glEnable, "glEnable");
        FindGL(glDisable, "glDisable");
        FindGL(glEnableClientState, "glEnableClientState");
        FindGL(glDisableClientState, "glDisableClientState");
        FindGL(glMatrixMode, "glMatrixMode");
        FindGL(glBlendFunc, "glBlendFunc");
        FindGL(glBindTexture, "glBindTexture");
        FindGL(glDepthMask, "glDepthMask");
        FindGL(glLoadMatrixf, "glLoadMatrixf");
        FindGL(glVertexPointer, "glVertexPointer");
        FindGL(glTexCoordPointer, "glTexCoordPointer");
        FindGL(glColorPointer, "glColorPointer");
        FindGL(glDrawArrays, "glDrawArrays");
        return glFinish && glClear && glEnable && glDisable && glEnableClientState &&
               glDisableClientState && glMatrixMode && glBlendFunc && glBindTexture &&
               glDepthMask && glLoadMatrixf && glVertexPointer && glTexCoordPointer &&
               glColorPointer && glDrawArrays;
    }
};

// A 640 x 480 pipe showing a window of the default virtual 2048 x 1536 that holds 20 panels (a
// 4 x 5 grid) of 50 labels each, one font style for all, no frames.
class Labels {
public:
    Labels() {
        m_Pipe->SetWindowVisibility(false);
        m_Pipe->m_ColorBits = 24;
        m_Pipe->m_DepthBits = 24;
        m_Pipe->SetResolution(Vector2f(k_Width, k_Height));
        m_Pipe->SetEnableTextureThread(0);
        if (!Platform::StartVideo("offscreen") || m_Pipe->ApplyFormat() != 0 ||
            m_Pipe->GetRenderEngine() == nullptr || !m_GL.Load())
            return;
        m_Font->m_FontName = "DejaVu Sans";
        m_Font->m_CharacterSize = Vector2f(0, 32);
        Obj<ShaderTexture> lookup = ShaderTexture::Create();
        lookup->m_Texture = m_Font.Get();
        Obj<RenderShader> shader = RenderShader::Create();
        shader->m_LightEnable = false;
        shader->m_Surface = lookup.Get();
        m_Style->m_FontShader = shader.Get();
        m_Style->m_FontSize = Vector2f(0, 32);

        Obj<Widget> root = MakeBlock({}, Vector3f(1, 1, 0), AlignMin);
        root->SetResizeMode<0>(ResizePercent);
        root->SetResizeMode<1>(ResizePercent);
        static const char k_Alphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        int label = 0;
        for (int p = 0; p < 20; ++p) {
            Obj<Widget> panel = MakeBlock(
                Vector3f(static_cast<float>(p % 4) * 512, static_cast<float>(p / 4) * 307, 0),
                Vector3f(0.25f, 0.2f, 0), AlignMin);
            panel->SetResizeMode<0>(ResizePercent);
            panel->SetResizeMode<1>(ResizePercent);
            for (int i = 0; i < k_Labels / 20; ++i, ++label) {
                Obj<WLabel> l = WLabel::Create();
                l->SetPosition(
                    Vector3f(static_cast<float>(i % 2) * 60, static_cast<float>(i) * 5.5f, 0));
                l->SetDimension(Vector3f(440, 32, 0));
                l->SetAlignmentMode<0>(AlignMin);
                l->SetAlignmentMode<1>(AlignMin);
                std::string text;
                for (int c = 0; c < k_Characters; ++c)
                    text += k_Alphabet[(label * 7 + c) % (sizeof(k_Alphabet) - 1)];
                l->m_Text = text.c_str();
                l->m_FontStyle = m_Style;
                panel->SetWidget(i, l.Get());
                m_Labels.push_back(l);
            }
            root->SetWidget(p, panel.Get());
        }
        m_Window->SetRootWidget(root.Get());
        m_Scene->AddChild(m_Window);
        Obj<RenderChannel> channel(RenderChannel::Create());
        channel->m_SceneRoot = m_Scene.Get();
        channel->m_ColorClearValue = Vector3f(0, 0, 0);
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(channel);
        // The font image is made and downloaded within the first frames.
        for (int i = 0; i < 100 && m_Font->m_EngineTexture == 0; ++i)
            Draw();
        Draw();
        m_Ready = m_Font->m_EngineTexture != 0;
        if (m_Ready)
            MakeQuads();
    }

    bool IsReady() const { return m_Ready; }
    const GLCalls& GL() const { return m_GL; }
    int64_t Triangles() const {
        return m_Pipe->GetRenderEngine()->GetRenderStatistics()->GetTrianglesPerFrame();
    }

    void Draw() {
        m_System->ClearBuffers();
        m_System->DrawTree(0.0, 0.0, 0);
        m_Pipe->GetRenderEngine()->SwapBuffers();
    }

    // The same glyph quads by hand, in the overlay's state, leaving the state as the overlay
    // does.
    void DrawByHand() {
        const GLCalls& gl = m_GL;
        gl.glClear(k_ColorBufferBit | k_DepthBufferBit);
        const float w = 2048, h = 1536;
        const float projection[16] = {2 / w, 0, 0, 0, 0, -2 / h, 0, 0, 0, 0, -1, 0, -1, 1, 0, 1};
        gl.glMatrixMode(k_Projection);
        gl.glLoadMatrixf(projection);
        gl.glMatrixMode(k_ModelView);
        gl.glLoadMatrixf(Matrix4f::Identity.GetData());
        gl.glDisable(k_Lighting);
        gl.glDisable(k_DepthTest);
        gl.glDepthMask(0);
        gl.glDisable(k_CullFace);
        gl.glDisable(k_Fog);
        gl.glEnable(k_Blend);
        gl.glBlendFunc(k_SrcAlpha, k_OneMinusSrcAlpha);
        gl.glBindTexture(k_Texture2D, m_Font->m_EngineTexture);
        gl.glEnable(k_Texture2D);
        gl.glEnableClientState(k_VertexArray);
        gl.glEnableClientState(k_TexCoordArray);
        gl.glEnableClientState(k_ColorArray);
        constexpr int k_Stride = sizeof(OverlayVertex);
        gl.glVertexPointer(2, k_Float, k_Stride, &m_Quads[0].m_X);
        gl.glTexCoordPointer(2, k_Float, k_Stride, &m_Quads[0].m_U);
        gl.glColorPointer(4, k_Float, k_Stride, m_Quads[0].m_Color);
        gl.glDrawArrays(k_Quads, 0, static_cast<int>(m_Quads.size()));
        gl.glDisableClientState(k_ColorArray);
        gl.glDisableClientState(k_TexCoordArray);
        gl.glDisable(k_Blend);
        gl.glDepthMask(1);
        gl.glEnable(k_DepthTest);
        gl.glEnable(k_Lighting);
        m_Pipe->GetRenderEngine()->SwapBuffers();
    }
    size_t QuadCount() const { return m_Quads.size() / 4; }

private:
    // The corners of each label's glyphs in window space, as the laid-out labels place them.
    void MakeQuads() {
        const float iw = m_Font->m_ImageSize.GetX(), ih = m_Font->m_ImageSize.GetY();
        const float scale = m_Style->m_FontSize.GetY() / m_Font->m_CharacterSize.GetY();
        for (const Obj<WLabel>& l : m_Labels) {
            const Matrix4f& m = l->GetLayout().m_Matrix;
            const float top =
                (l->GetLayout().m_ComputedDimension[1] - m_Style->m_FontSize.GetY()) * 0.5f;
            float pen = 0;
            for (int i = 0; i < l->m_Text.Size(); ++i) {
                const FontTexture2D::Glyph& g =
                    m_Font->GetGlyph(static_cast<unsigned char>(l->m_Text[i]));
                if (g.m_Width > 0 && g.m_Height > 0) {
                    const float x0 = pen + static_cast<float>(g.m_OffsetX) * scale;
                    const float x1 = x0 + static_cast<float>(g.m_Width) * scale;
                    const float y1 = top + static_cast<float>(g.m_Height) * scale;
                    const float u0 = static_cast<float>(g.m_X) / iw;
                    const float u1 = static_cast<float>(g.m_X + g.m_Width) / iw;
                    const float v0 = 1.0f - static_cast<float>(g.m_Y) / ih;
                    const float v1 = 1.0f - static_cast<float>(g.m_Y + g.m_Height) / ih;
                    const float corners[4][4] = {
                        {x0, top, u0, v0}, {x1, top, u1, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
                    for (const auto& c : corners) {
                        OverlayVertex& v = m_Quads.emplace_back();
                        v.m_X = c[0] * m.Get(0, 0) + c[1] * m.Get(1, 0) + m.Get(3, 0);
                        v.m_Y = c[0] * m.Get(0, 1) + c[1] * m.Get(1, 1) + m.Get(3, 1);
                        v.m_U = c[2];
                        v.m_V = c[3];
                    }
                }
                pen += static_cast<float>(g.m_Advance) * scale;
            }
        }
    }

    bool m_Ready = false;
    GLCalls m_GL;
    Obj<RenderPipe> m_Pipe{RenderPipe::Create()};
    Obj<RenderSystem> m_System{RenderSystem::Create()};
    Obj<TTransform> m_Scene{TTransform::Create()};
    Obj<TWindow> m_Window{TWindow::Create()};
    Obj<FontTexture2D> m_Font{FontTexture2D::Create()};
    Obj<FontStyle> m_Style{FontStyle::Create()};
    std::vector<Obj<WLabel>> m_Labels;
    std::vector<OverlayVertex> m_Quads;
};

Labels* TheLabels() {
    static Labels labels;
    return labels.IsReady() ? &labels : nullptr;
}

double g_HandFrameNs = 0; // one hand-drawn frame, from its benchmark (registered first)

void BM_HandLoop_LabelQuads(benchmark::State& state) {
    Labels* labels = TheLabels();
    if (labels == nullptr) {
        state.SkipWithError("no offscreen GL context or no font texture");
        return;
    }
    if (labels->QuadCount() != static_cast<size_t>(k_Labels * k_Characters)) {
        state.SkipWithError("a label character has no glyph");
        return;
    }
    labels->Draw();
    labels->GL().glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        labels->DrawByHand();
        labels->GL().glFinish();
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    g_HandFrameNs = spent.count() / static_cast<double>(state.iterations());
    state.counters["ms_per_frame"] = g_HandFrameNs * 1e-6;
    state.counters["quads"] = static_cast<double>(labels->QuadCount());
}
BENCHMARK(BM_HandLoop_LabelQuads)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TWindow_LabelFrame(benchmark::State& state) {
    Labels* labels = TheLabels();
    if (labels == nullptr) {
        state.SkipWithError("no offscreen GL context or no font texture");
        return;
    }
    labels->Draw(); // the engine's state back after the hand loop
    labels->GL().glFinish();
    uint64_t allocations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const uint64_t before = Allocations();
        labels->Draw();
        allocations += Allocations() - before;
        labels->GL().glFinish();
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    const double ns = spent.count() / static_cast<double>(state.iterations());
    if (labels->Triangles() != 2 * k_Labels * k_Characters)
        state.SkipWithError(("the frame drew " + std::to_string(labels->Triangles()) +
                             " triangles, not two per glyph")
                                .c_str());
    state.counters["ms_per_frame"] = ns * 1e-6;
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    if (g_HandFrameNs > 0)
        state.counters["ratio_to_hand_loop"] = ns / g_HandFrameNs;
}
BENCHMARK(BM_TWindow_LabelFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // One rasteriser thread, before any context exists: steadier frames on a shared machine.
    ::setenv("LP_NUM_THREADS", "1", 1);
    DLLInitialize(0);
    using QuorlixBench::Comparison;
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {Comparison{"BM_TWindow_Layout", "BM_PlainLoop_LayoutProducts"},
         Comparison{"BM_TWindow_LabelFrame/real_time", "BM_HandLoop_LabelQuads/real_time"}},
        {{"BM_TWindow_Layout", "5 million widgets/s", k_TreeWidgets / 5e6 * 1e9},
         {"BM_TWindow_ProcessEvent", "at most 100 us per event", 100e3}},
        {{"BM_TWindow_Layout", "within 3x of the plain loop", "ratio_to_plain_loop", 3.0},
         {"BM_TWindow_Layout", "no allocation once warm", "allocations_per_layout", 0.0},
         {"BM_TWindow_ProcessEvent", "no allocation per move", "allocations_per_move", 0.0},
         {"BM_TWindow_LabelFrame/real_time", "within 1.5x of the hand loop", "ratio_to_hand_loop",
          1.5},
         {"BM_TWindow_LabelFrame/real_time", "no allocation once warm", "allocations_per_frame",
          0.0}});
    return result;
}
