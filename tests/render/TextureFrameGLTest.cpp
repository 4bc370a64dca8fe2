// Textures from real files through whole frames (pipe, RenderSystem, OpenGL engine) on the
// offscreen driver: the placeholder, the load on a thread while frames go on, the file's own
// pixels, and many threaded loads of textures dropped while frames run.

#include "quorlix/platform/Threading.h"
#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/Texture.h"
#include "quorlix/scene/VertexData.h"
#include "render/OpenGLFixture.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <chrono>
#include <cmath>
#include <cstdio>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// An odd size, so that rows are not padded to four bytes anywhere.
constexpr int k_Width = 61, k_Height = 47;

bool RunCommand(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// The PNG's pixels as ImageMagick decodes them: RGBA rows from the top.
std::string Rgba(const std::string& png) {
    std::string bytes;
    if (FILE* in = ::popen(("convert '" + png + "' -depth 8 rgba:-").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            bytes.append(buffer, n);
        ::pclose(in);
    }
    return bytes;
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class TextureFrameGL : public FrameFixture {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_Folder.Path().empty());
        StartPipe(k_Width, k_Height, m_Folder.Path() + "/");
    }
    void TearDown() override {
        EXPECT_TRUE(Texture::WaitForLoadJobs());
        FrameFixture::TearDown();
    }

    // A `size` 8-bit RGB PNG named `name`.png in the image folder.
    void MakePng(const std::string& name, const std::string& size, const char* fill) {
        ASSERT_TRUE(RunCommand("convert -size " + size + " " + fill +
                               " -depth 8 -strip 'PNG24:" + (m_Folder / name) + ".png'"));
    }
    static Obj<Texture2D> FileTexture(const char* name) {
        Obj<FileObject> file(FileObject::Create());
        file->SetFileName(String(name));
        Obj<Texture2D> texture(Texture2D::Create());
        texture->SetFileObject(file);
        return texture;
    }

    // A quad at depth `depth` that exactly fills the view (45 degrees, no camera), unlit, white,
    // textured through a ShaderTexture whose texture the caller sets; added last to the root.
    Obj<ShaderTexture> Quad(float depth) {
        const float y = depth * std::tan(22.5f * 3.14159265f / 180.0f);
        const float x = y * k_Width / k_Height;
        Obj<TPolygonGeometry> mesh(TPolygonGeometry::Create());
        auto* s = static_cast<SPolygonGeometry*>(mesh->GetSNode());
        Array<Vector3f> vertices;
        for (const Vector3f& v : {Vector3f(-x, -y, -depth), Vector3f(x, -y, -depth),
                                  Vector3f(x, y, -depth), Vector3f(-x, y, -depth)})
            vertices.Add(v);
        s->SetVertexArray(vertices);
        Array<int32_t> indices;
        for (int32_t i : {0, 1, 2, 0, 2, 3})
            indices.Add(i);
        s->SetIndexArray(indices);
        s->SetPrimCount(2);
        Obj<VertexDataVector2f> coords(VertexDataVector2f::Create());
        for (const Vector2f& c : {Vector2f(0, 0), Vector2f(1, 0), Vector2f(1, 1), Vector2f(0, 1)})
            coords->m_DataArray.Add(c);
        s->m_VertexData.Add(Obj<ScriptObject>(coords.Get()));
        Obj<RenderMaterial> white(RenderMaterial::Create());
        white->m_DiffuseColor = Vector3f(1, 1, 1);
        Obj<ShaderTexture> lookup(ShaderTexture::Create());
        mesh->m_Shader = Shaded(white, false, lookup.Get()).Get();
        m_Root->AddChild(mesh);
        return lookup;
    }

    // One frame as a host draws it; the seconds it took.
    double TimedFrame() {
        const auto start = std::chrono::steady_clock::now();
        Frame();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    TempDir m_Folder;
};

// The threaded suite on its own, so that the thread checker runs it without the big decode.
// The software rasteriser's own threads are not instrumented and trip the thread checker; it
// rasterises on the calling thread instead, which leaves the load jobs as the only other threads.
class TextureFrameThreads : public TextureFrameGL {
protected:
    void SetUp() override {
        ::setenv("LP_NUM_THREADS", "0", 1);
        TextureFrameGL::SetUp();
    }
    void TearDown() override {
        TextureFrameGL::TearDown();
        ::unsetenv("LP_NUM_THREADS");
    }
};

// Each channel of two 0xRRGGBB colours within `step` (linear filtering may round).
::testing::AssertionResult Near(uint32_t got, uint32_t want, int step) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > step)
            return ::testing::AssertionFailure() << std::hex << got << " is not " << want;
    return ::testing::AssertionSuccess();
}

// A frame's texture states after each frame, without repeats.
void Record(std::vector<uint32_t>& seen, const Texture& texture) {
    const uint32_t state = texture.GetLoadState();
    if (seen.empty() || seen.back() != state)
        seen.push_back(state);
}

} // namespace

TEST_F(TextureFrameGL, PlaceholderWhileAThreadDecodesThenTheFilesPixels) {
    MakePng("big", "4096x4096", "gradient:white-black");
    MakePng("picture", std::to_string(k_Width) + "x" + std::to_string(k_Height),
            "gradient:red-blue");
    // The big texture sits behind the picture and is visited first: its job holds the engine's
    // loads back, so the picture waits in state 1 beside it.
    Obj<Texture2D> big = FileTexture("big");
    Quad(4)->m_Texture = big.Get();
    Obj<Texture2D> picture = FileTexture("picture");
    picture->m_DefaultColor = Vector4f(0.2f, 0.6f, 1.0f, 1.0f); // bytes 51, 153, 255
    Obj<ShaderTexture> front = Quad(2);
    front->m_Texture = picture.Get();
    Obj<Texture2D> missing = FileTexture("missing");
    missing->m_DefaultColor = Vector4f(1, 0, 1, 1);
    Obj<ShaderTexture> hidden = Quad(8); // behind the others: only its states are watched
    hidden->m_Texture = missing.Get();
    const uint32_t placeholder = 0x3399FF;

    LogCapture log;
    std::vector<uint32_t> pictureStates, missingStates;
    Frame();
    EXPECT_EQ(Pixel(0, 0), placeholder);
    EXPECT_EQ(Pixel(k_Width - 1, k_Height - 1), placeholder);
    EXPECT_EQ(big->GetLoadState(), k_TextureLoading);
    EXPECT_EQ(picture->GetLoadState(), k_TextureWaiting);
    EXPECT_EQ(Engine().GetRenderStatistics()->GetTexturesDeferred(), 2);
    {
        // Frames go on at their own pace while the big picture decodes on the job's thread.
        int frames = 0;
        while (big->GetLoadState() == k_TextureLoading) {
            const double seconds = TimedFrame();
            if (big->GetLoadState() == k_TextureLoading) {
                EXPECT_LT(seconds, 0.1) << "frame " << frames;
            }
            EXPECT_EQ(Pixel(k_Width / 2, k_Height / 2), placeholder);
            Record(pictureStates, *picture);
            ++frames;
            ASSERT_LT(frames, 20000) << "the big load never ended";
            Platform::SleepMilliseconds(1);
        }
    }
    // Frame by frame, stopping at each state 3 so that it is seen before the engine takes it.
    for (int frames = 0; picture->GetLoadState() != k_TextureIdle ||
                         missing->GetLoadState() != k_TextureDownloading;
         ++frames) {
        ASSERT_LT(frames, 20000) << "the loads never ended";
        for (int wait = 0; wait < 10000 && (picture->GetLoadState() == k_TextureLoading ||
                                            missing->GetLoadState() == k_TextureLoading);
             ++wait)
            Platform::SleepMilliseconds(1);
        Record(pictureStates, *picture);
        Record(missingStates, *missing);
        Frame();
        Record(pictureStates, *picture);
        Record(missingStates, *missing);
    }
    // A small file's job may also end within the frame that started it, so state 2 is seen
    // between frames only sometimes (the big one showed it for certain).
    EXPECT_TRUE(pictureStates == (std::vector<uint32_t>{k_TextureWaiting, k_TextureLoading,
                                                        k_TextureReady, k_TextureIdle}) ||
                pictureStates ==
                    (std::vector<uint32_t>{k_TextureWaiting, k_TextureReady, k_TextureIdle}))
        << ::testing::PrintToString(pictureStates);
    // A file that is not there ends in state 3 with an empty image (its job may end within the
    // frame that started it), which the engine refuses: state 4 and the placeholder for good.
    // On a busy machine the job may also end inside a frame late enough for that frame's
    // engine to take it, and state 3 is then never seen between frames.
    ASSERT_GE(missingStates.size(), 2u);
    EXPECT_EQ(missingStates.front(), k_TextureWaiting);
    if (missingStates.size() > 2) {
        EXPECT_EQ(missingStates[missingStates.size() - 2], k_TextureReady);
    }
    EXPECT_EQ(missingStates.back(), k_TextureDownloading);
    EXPECT_NE(log.Text().find("TextureLoad: image file \"" + (m_Folder / "missing") +
                              "\" not found or format unsupported."),
              std::string::npos)
        << log.Text();

    // The file's own pixels, 1:1; the texture's first row is the picture's top.
    const std::string rgba = Rgba(m_Folder / "picture.png");
    ASSERT_EQ(rgba.size(), size_t(k_Width * k_Height * 4));
    Frame();
    int wrong = 0;
    for (int y = 0; y < k_Height; ++y)
        for (int x = 0; x < k_Width; ++x) {
            const unsigned char* p =
                reinterpret_cast<const unsigned char*>(rgba.data()) + (size_t(y) * k_Width + x) * 4;
            const uint32_t want = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            if (!Near(Pixel(x, y), want, 2) && ++wrong <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << ": " << Near(Pixel(x, y), want, 2);
            }
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
}

TEST_F(TextureFrameThreads, LoadsOfDroppedTexturesWhileFramesRun) {
    LogCapture log; // the missing files' errors
    MakePng("tile", "8x8", "xc:lime");
    const String prefix((m_Folder.Path() + "/").c_str());
    Obj<ShaderTexture> lookup = Quad(2);
    Frame(); // the context's own descriptors are open from here
    const int descriptors = OpenDescriptors();
    const int references = DLLGetInitializeCount();
    std::vector<Obj<Texture>> kept;
    for (int i = 0; i < 500; ++i) {
        // Most requests come straight from the host beside the frames, which load too: the
        // scene's texture is replaced every few loads, often while its own job runs.
        Obj<Texture> texture(FileTexture(i % 50 == 25 ? "missing" : "tile").Get());
        texture->RequestLoad(1, prefix);
        if (i % 50 == 1)
            kept.push_back(texture);
        if (i % 5 == 0) {
            lookup->m_Texture = FileTexture("tile").Get();
            Frame();
        }
    }
    EXPECT_TRUE(Texture::WaitForLoadJobs());
    EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
    EXPECT_EQ(Texture::ReapLoadJobs(), 0);
    for (const Obj<Texture>& texture : kept) {
        EXPECT_EQ(texture->GetLoadState(), k_TextureReady);
        ASSERT_NE(texture->GetLoadedImage(), nullptr);
        EXPECT_EQ(texture->GetLoadedImage()->GetWidth(), 8);
        EXPECT_EQ(BlockRefCount(texture.Get()), 1);
    }
    kept.clear();
    // The engine goes on: the scene's last texture reaches the screen.
    for (int frames = 0; frames < 10 && lookup->m_Texture->GetLoadState() != k_TextureIdle;
         ++frames) {
        Frame();
        Texture::WaitForLoadJobs();
    }
    ASSERT_EQ(lookup->m_Texture->GetLoadState(), k_TextureIdle);
    Frame();
    EXPECT_EQ(Pixel(k_Width / 2, k_Height / 2), 0x00FF00u);
    EXPECT_EQ(DLLGetInitializeCount(), references);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}
