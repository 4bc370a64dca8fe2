// Texture download through the OpenGL engine: a 1024 x 1024 RGBA image with its whole mipmap
// chain, forced into a texture object (placeholder, hand-over of the generated image, upload of
// every level, filtering set up) and released again, beside a plain loop that uploads the same
// levels with glTexImage2D into a fresh texture object. Both wait for the driver (glFinish).
// Goal: the engine at 0.9x the plain loop's throughput or better.

#include "BenchRatios.h"
#include "BenchSupport.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/Texture.h"

#include <cstdint>
#include <type_traits>

using namespace Quorlix;

namespace {

constexpr int k_Side = 1024;

struct GLCalls {
    void (*glGenTextures)(int, uint32_t*) = nullptr;
    void (*glDeleteTextures)(int, const uint32_t*) = nullptr;
    void (*glBindTexture)(uint32_t, uint32_t) = nullptr;
    void (*glPixelStorei)(uint32_t, int) = nullptr;
    void (*glTexParameteri)(uint32_t, uint32_t, int) = nullptr;
    void (*glTexImage2D)(uint32_t, int, int, int, int, int, uint32_t, uint32_t,
                         const void*) = nullptr;
    void (*glFinish)() = nullptr;
};

GLCalls& GL() {
    static GLCalls gl;
    static const bool loaded = [] {
        QuorlixBench::FindGL(gl.glGenTextures, "glGenTextures");
        QuorlixBench::FindGL(gl.glDeleteTextures, "glDeleteTextures");
        QuorlixBench::FindGL(gl.glBindTexture, "glBindTexture");
        QuorlixBench::FindGL(gl.glPixelStorei, "glPixelStorei");
        QuorlixBench::FindGL(gl.glTexParameteri, "glTexParameteri");
        QuorlixBench::FindGL(gl.glTexImage2D, "glTexImage2D");
        QuorlixBench::FindGL(gl.glFinish, "glFinish");
        return true;
    }();
    (void)loaded;
    return gl;
}

// A pipe on the offscreen driver with its engine, and the picture with its chain.
struct Setup {
    Setup() {
        Obj<RenderPipe> pipe(RenderPipe::Create());
        pipe->SetWindowVisibility(false);
        pipe->m_ColorBits = 24;
        pipe->m_DepthBits = 24;
        if (!Platform::StartVideo("offscreen") || pipe->ApplyFormat() != 0 ||
            pipe->GetRenderEngine() == nullptr || GL().glFinish == nullptr)
            return;
        m_Pipe = pipe;
        m_Image = Image::Create();
        m_Image->Allocate(4, k_Side, k_Side, 0);
        m_Image->AllocateMipMap();
        for (Image* l = m_Image.Get(); l != nullptr; l = l->GetMipMap()) {
            const int n = l->GetWidth() * l->GetHeight() * 4;
            for (int i = 0; i < n; ++i)
                l->GetData()[i] = static_cast<unsigned char>(i * 13 + l->GetWidth());
            m_Bytes += n;
        }
    }
    RenderEngine* Engine() const { return m_Pipe ? m_Pipe->GetRenderEngine() : nullptr; }

    Obj<RenderPipe> m_Pipe;
    Obj<Image> m_Image;
    int64_t m_Bytes = 0;
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

void BM_EngineDownload_RGBA1024Chain(benchmark::State& state) {
    Setup& setup = TheSetup();
    RenderEngine* engine = setup.Engine();
    if (engine == nullptr) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        Obj<Texture2D> texture(Texture2D::Create());
        texture->SetGeneratedImage(setup.m_Image);
        if (!engine->ForceLoadTexture(*texture))
            state.SkipWithError("the texture was not downloaded");
        GL().glFinish();
        texture = nullptr;
        engine->UnloadTextures(); // deletes the released name
    }
    state.SetBytesProcessed(state.iterations() * setup.m_Bytes);
}
BENCHMARK(BM_EngineDownload_RGBA1024Chain)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainTexImage_RGBA1024Chain(benchmark::State& state) {
    Setup& setup = TheSetup();
    if (setup.Engine() == nullptr) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    const GLCalls& gl = GL();
    for (auto _ : state) {
        uint32_t name = 0;
        gl.glGenTextures(1, &name);
        gl.glBindTexture(0x0DE1, name);
        gl.glPixelStorei(0x0CF5, 1);
        gl.glTexParameteri(0x0DE1, 0x2801, 0x2703); // linear mipmap linear, before the levels
        int level = 0;
        for (const Image* l = setup.m_Image.Get(); l != nullptr; l = l->GetMipMap(), ++level)
            gl.glTexImage2D(0x0DE1, level, 0x8058, l->GetWidth(), l->GetHeight(), 0, 0x1908, 0x1401,
                            l->GetData());
        gl.glFinish();
        gl.glDeleteTextures(1, &name);
    }
    state.SetBytesProcessed(state.iterations() * setup.m_Bytes);
}
BENCHMARK(BM_PlainTexImage_RGBA1024Chain)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    using QuorlixBench::Comparison;
    using QuorlixBench::SpeedupGoal;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {Comparison{"BM_EngineDownload_RGBA1024Chain/real_time",
                    "BM_PlainTexImage_RGBA1024Chain/real_time", true},
         Comparison{"BM_EngineDownload_RGBA1024Chain/real_time_median",
                    "BM_PlainTexImage_RGBA1024Chain/real_time_median", true}},
        {}, {},
        {SpeedupGoal{"BM_EngineDownload_RGBA1024Chain/real_time",
                     "BM_PlainTexImage_RGBA1024Chain/real_time",
                     "the engine's download at 0.9x a plain glTexImage2D loop or better", 0.9}});
}
