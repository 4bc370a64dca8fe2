// Frames of 1,000 lit boxes through a pipe on the offscreen driver while 32 of them get textures
// from 512 x 512 PNG files, beside the same scene with those textures already resident: the
// median and the longest frame, with the loads on a thread and without (EnableTextureThread 0).
// Each frame is timed by hand up to glFinish; when every texture is resident the boxes get fresh
// textures and the caches are removed (outside the timing), so that every frame has loads behind
// it.

#include "BenchRatios.h"
#include "BenchSupport.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/VertexData.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Boxes = 1000;
constexpr int k_Textures = 32;
constexpr int k_TextureSize = 512;

using FinishFn = void (*)();
FinishFn g_Finish = nullptr;
std::filesystem::path g_Folder;
double g_ResidentMedian = 0; // seconds, from the baseline run

class Scene {
public:
    explicit Scene(RenderPipe* pipe) : m_Pipe(pipe) {
        QuorlixBench::MakeBox(*static_cast<SPolygonGeometry*>(m_Box->GetSNode()), true);
        Obj<TLight> sun(TLight::Create());
        m_Root->AddChild(sun);
        Obj<RenderMaterial> white(RenderMaterial::Create());
        white->m_DiffuseColor = Vector3f(1, 1, 1);
        constexpr int k_Side = 32;
        for (int i = 0; i < k_Boxes; ++i) {
            Obj<TTransform> t(TTransform::Create());
            auto* s = static_cast<STransform*>(t->GetSNode());
            s->SetTranslation(Vector3f(-5.0f + 10.0f * static_cast<float>(i % k_Side) / k_Side,
                                       -3.8f + 7.6f * static_cast<float>(i / k_Side) / k_Side,
                                       -10));
            s->SetRotation(Vector3f(30, 40, 0));
            s->SetScaling(Vector3f(0.15f, 0.15f, 0.15f));
            Obj<TPolygonGeometry> p(TPolygonGeometry::Create());
            p->SetSNode(m_Box->GetSNode());
            p->m_Shader = m_Plain.Get();
            if (i % (k_Boxes / k_Textures) == 0 && m_Lookups.size() < k_Textures) {
                Obj<ShaderTexture> lookup(ShaderTexture::Create());
                Obj<ShaderPhong> phong(ShaderPhong::Create());
                phong->m_Color = lookup.Get();
                phong->m_Material = white.Get();
                Obj<RenderShader> shader(RenderShader::Create());
                shader->m_Surface = phong.Get();
                p->m_Shader = shader.Get();
                m_Lookups.push_back(lookup);
            }
            t->AddChild(p);
            m_Root->AddChild(t);
        }
        m_Channel->m_SceneRoot = m_Root.Get();
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(m_Channel);
    }

    // Fresh textures on the textured boxes, their caches removed so that each load decodes.
    void FreshTextures() {
        Texture::WaitForLoadJobs();
        for (size_t i = 0; i < m_Lookups.size(); ++i) {
            const std::string name = "picture" + std::to_string(i);
            std::filesystem::remove(g_Folder / (name + ".cache.bmg"));
            Obj<FileObject> file(FileObject::Create());
            file->SetFileName(String(name.c_str()));
            Obj<Texture2D> texture(Texture2D::Create());
            texture->SetFileObject(file);
            m_Lookups[i]->m_Texture = texture.Get();
        }
    }
    void SetThread(int thread) { m_Pipe->SetEnableTextureThread(thread); }
    bool AllResident() const {
        for (const Obj<ShaderTexture>& lookup : m_Lookups)
            if (lookup->m_Texture->GetLoadState() != k_TextureIdle ||
                lookup->m_Texture->m_EngineTexture == 0)
                return false;
        return true;
    }
    // One frame up to glFinish; its seconds.
    double Draw() {
        const auto start = std::chrono::steady_clock::now();
        m_System->ClearBuffers();
        m_System->DrawTree(0.0, 0.0, 0);
        m_Pipe->GetRenderEngine()->SwapBuffers();
        g_Finish();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    int64_t Triangles() const {
        return m_Pipe->GetRenderEngine()->GetRenderStatistics()->GetTrianglesPerFrame();
    }

private:
    Obj<TPolygonGeometry> m_Box{TPolygonGeometry::Create()};
    Obj<RenderShader> m_Plain{RenderShader::Create()};
    Obj<TTransform> m_Root{TTransform::Create()};
    std::vector<Obj<ShaderTexture>> m_Lookups;
    Obj<RenderPipe> m_Pipe;
    Obj<RenderChannel> m_Channel{RenderChannel::Create()};
    Obj<RenderSystem> m_System{RenderSystem::Create()};
};

Scene* TheScene() {
    static Obj<RenderPipe> pipe = [] {
        Obj<RenderPipe> made(RenderPipe::Create());
        made->SetWindowVisibility(false);
        made->m_ColorBits = 24;
        made->m_DepthBits = 24;
        made->SetImagePath(String((g_Folder.string() + "/").c_str()));
        if (!Platform::StartVideo("offscreen") || made->ApplyFormat() != 0 ||
            made->GetRenderEngine() == nullptr)
            made = nullptr;
        return made;
    }();
    static Scene* scene = pipe ? new Scene(pipe.Get()) : nullptr;
    if (g_Finish == nullptr) {
        Platform::GLLibrary* library = Platform::OpenGLLibrary("libGL.so.1");
        g_Finish = reinterpret_cast<FinishFn>(Platform::FindGLLibrarySymbol(library, "glFinish"));
    }
    return g_Finish != nullptr ? scene : nullptr;
}

double Median(std::vector<double> seconds) {
    if (seconds.empty())
        return 0;
    std::nth_element(seconds.begin(), seconds.begin() + seconds.size() / 2, seconds.end());
    return seconds[seconds.size() / 2];
}

// Frames with textures loading (`loading`) or all resident, with EnableTextureThread `thread`.
void Frames(benchmark::State& state, bool loading, int thread) {
    Scene* scene = TheScene();
    if (scene == nullptr) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    scene->SetThread(thread);
    scene->FreshTextures();
    for (int i = 0; i < 100000 && !scene->AllResident(); ++i) {
        scene->Draw();
        Texture::WaitForLoadJobs();
    }
    if (!scene->AllResident()) {
        state.SkipWithError("the textures never became resident");
        return;
    }
    std::vector<double> frames;
    int64_t loads = 0;
    for (auto _ : state) {
        if (loading && scene->AllResident()) {
            scene->FreshTextures();
            loads += k_Textures;
        }
        const double seconds = scene->Draw();
        state.SetIterationTime(seconds);
        frames.push_back(seconds);
    }
    if (scene->Triangles() != 12 * k_Boxes)
        state.SkipWithError("not every box was drawn");
    const double median = Median(frames);
    if (!loading)
        g_ResidentMedian = median;
    state.counters["median_ms"] = median * 1e3;
    state.counters["longest_ms"] = *std::max_element(frames.begin(), frames.end()) * 1e3;
    state.counters["texture_rounds"] = static_cast<double>(loads / k_Textures);
    if (loading && g_ResidentMedian > 0)
        state.counters["median_ratio"] = median / g_ResidentMedian;
}

void BM_TexturesResident(benchmark::State& state) {
    Frames(state, false, 1);
}
void BM_TexturesLoadingThread(benchmark::State& state) {
    Frames(state, true, 1);
}
void BM_TexturesLoadingNoThread(benchmark::State& state) {
    Frames(state, true, 0);
}
// The baseline first: the loading runs divide their median by its.
BENCHMARK(BM_TexturesResident)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_TexturesLoadingThread)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_TexturesLoadingNoThread)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    // One rasteriser thread, before any context exists: the loads' thread gets the other core.
    ::setenv("LP_NUM_THREADS", "1", 1);
    DLLInitialize(0);
    g_Folder = std::filesystem::temp_directory_path() / "quorlix-textureframebench";
    std::filesystem::create_directories(g_Folder);
    for (int i = 0; i < k_Textures; ++i) {
        // Gradients with a little noise, a different tint each.
        Obj<Image> image = Image::Create();
        image->Allocate(3, k_TextureSize, k_TextureSize, 0);
        unsigned char* p = image->GetData();
        uint32_t noise = 12345u + static_cast<uint32_t>(i);
        for (int y = 0; y < k_TextureSize; ++y)
            for (int x = 0; x < k_TextureSize; ++x, p += 3) {
                noise = noise * 1103515245u + 12345u;
                const int n = int(noise >> 29);
                p[0] = static_cast<unsigned char>(x / 2 + n + 8 * i);
                p[1] = static_cast<unsigned char>(y / 2 + n);
                p[2] = static_cast<unsigned char>(((x ^ y) >> 1) + n);
            }
        const std::string path = (g_Folder / ("picture" + std::to_string(i) + ".png")).string();
        if (image->ExportFile(path.c_str(), 0) != SOK) {
            std::printf("TextureFrameBench: %s could not be written\n", path.c_str());
            return 1;
        }
    }
    using QuorlixBench::Comparison;
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {Comparison{"BM_TexturesLoadingThread/min_time:2.000/manual_time",
                    "BM_TexturesResident/min_time:2.000/manual_time"},
         Comparison{"BM_TexturesLoadingNoThread/min_time:2.000/manual_time",
                    "BM_TexturesResident/min_time:2.000/manual_time"}},
        {},
        {{"BM_TexturesLoadingThread/min_time:2.000/manual_time",
          "median frame while 32 textures load on a thread at most 1.2x the resident one",
          "median_ratio", 1.2}});
    std::filesystem::remove_all(g_Folder);
    return result;
}
