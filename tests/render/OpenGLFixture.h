#pragma once
// What the OpenGL tests stand on: a hidden 64 x 64 window on the offscreen driver (which works
// without any display) with a settings store of the test's own and the library started, or a
// whole pipe, RenderSystem and channel drawing frames; and the meshes and shaders they draw.

#include "quorlix/core/Result.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/internal/RenderEngineFactory.h"
#include "quorlix/render/opengl/OpenGLAPI.h"
#include "quorlix/render/opengl/internal/RenderEngineOpenGL.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace QuorlixTest {

// The pixel (x, y) of a read-back picture, counted from the top left, as 0xRRGGBB.
inline uint32_t PixelAt(const Quorlix::Image& image, int x, int y) {
    const unsigned char* p =
        image.GetData() + (size_t(image.GetHeight() - 1 - y) * image.GetWidth() + x) * 4;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

// A square of half size `half` facing +z at z 0, as `triangles` over `indices` (none: the
// vertices in order); `normals` 4 gives each vertex its normal, 1 one normal for all.
inline Quorlix::Obj<Quorlix::TPolygonGeometry>
Square(float half = 1, const std::vector<int32_t>& indices = {0, 1, 2, 0, 2, 3},
       int32_t triangles = 2, int normals = 4) {
    using namespace Quorlix;
    Obj<TPolygonGeometry> mesh(TPolygonGeometry::Create());
    auto* s = static_cast<SPolygonGeometry*>(mesh->GetSNode());
    Array<Vector3f> vertices;
    for (const Vector3f& v :
         {Vector3f(-1, -1, 0), Vector3f(1, -1, 0), Vector3f(1, 1, 0), Vector3f(-1, 1, 0)})
        vertices.Add(v * half);
    for (int i = 0; i < normals; ++i)
        s->m_NormalArray.Add(Vector3f(0, 0, 1));
    Array<int32_t> index;
    for (int32_t i : indices)
        index.Add(i);
    s->SetVertexArray(vertices);
    s->SetIndexArray(index);
    s->SetPrimCount(triangles);
    return mesh;
}

// A shader whose surface is a ShaderPhong with `material` and, when given, `color` as its colour.
inline Quorlix::Obj<Quorlix::RenderShader> Shaded(Quorlix::RenderMaterial* material, bool lighting,
                                                  Quorlix::ScriptObject* color = nullptr) {
    using namespace Quorlix;
    Obj<ShaderPhong> phong(ShaderPhong::Create());
    phong->m_Material = material;
    phong->m_Color = color;
    Obj<RenderShader> shader(RenderShader::Create());
    shader->m_Surface = phong.Get();
    shader->m_LightEnable = lighting;
    return shader;
}

// Shaded with a material whose diffuse and ambient colours are `color`.
inline Quorlix::Obj<Quorlix::RenderShader> ColorShader(const Quorlix::Vector3f& color,
                                                       bool lighting = false, int layer = 16) {
    Quorlix::Obj<Quorlix::RenderMaterial> material(Quorlix::RenderMaterial::Create());
    material->m_DiffuseColor = color;
    material->m_AmbientColor = color;
    Quorlix::Obj<Quorlix::RenderShader> shader = Shaded(material, lighting);
    shader->m_MultiDrawLayer = layer;
    return shader;
}

class OpenGLFixture : public ::testing::Test {
protected:
    static constexpr int k_Size = 64;

    void SetUp() override {
        m_Folder = std::filesystem::temp_directory_path() /
                   ("OpenGLTest." + std::to_string(::getpid()) + "." +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_Folder);
        ::setenv("QUORLIX_SETTINGS_DIR", m_Folder.c_str(), 1);
        ::unsetenv("XPDISABLE_OPENGL_EXTENSIONS");
        Quorlix::DLLInitialize(0);
        ASSERT_TRUE(Quorlix::Platform::StartVideo("offscreen"))
            << Quorlix::Platform::LastWindowError();
        m_VideoStarted = true;
        Quorlix::Platform::WindowDesc desc;
        desc.m_Visible = false;
        desc.m_Width = k_Size;
        desc.m_Height = k_Size;
        desc.m_ColorBits = 24;
        desc.m_DepthBits = 24;
        m_Window = Quorlix::Platform::CreateWindow(desc);
        ASSERT_NE(m_Window, nullptr) << Quorlix::Platform::LastWindowError();
    }
    void TearDown() override {
        Quorlix::Platform::DestroyWindow(m_Window);
        Quorlix::Platform::WindowEvent event;
        while (Quorlix::Platform::PollWindowEvent(event)) {
        }
        if (m_VideoStarted)
            Quorlix::Platform::StopVideo();
        Quorlix::DLLDeInitialize(0);
        ::unsetenv("QUORLIX_SETTINGS_DIR");
        ::unsetenv("XPDISABLE_OPENGL_EXTENSIONS");
        std::filesystem::remove_all(m_Folder);
    }

    // A new OpenGL engine on the window, identity projection and model-view.
    Quorlix::Obj<Quorlix::RenderEngineOpenGL_D> StartEngine() {
        using namespace Quorlix;
        Obj<RenderEngineOpenGL_D> engine =
            static_cast<RenderEngineOpenGL_D*>(Internal::CreateRenderEngineOpenGL());
        EXPECT_EQ(
            engine->InitializeRenderEngine(m_Window, RenderPipeFormat{}, RenderTextureSettings{}),
            SOK);
        engine->SetProjection(Matrix4f::Identity);
        engine->SetModelView(Matrix4f::Identity);
        return engine;
    }

    std::filesystem::path m_Folder;
    Quorlix::Platform::Window* m_Window = nullptr;
    bool m_VideoStarted = false;
};

// Whole frames: a hidden pipe window of the given size on the offscreen driver with the OpenGL
// engine, a RenderSystem and one channel over m_Root that clears to black.
class FrameFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Quorlix::DLLInitialize(0);
        ASSERT_TRUE(Quorlix::Platform::StartVideo("offscreen"))
            << Quorlix::Platform::LastWindowError();
    }
    static void TearDownTestSuite() { Quorlix::DLLDeInitialize(0); }

    void StartPipe(int width, int height, const std::string& imagePath = "") {
        using namespace Quorlix;
        m_Pipe = RenderPipe::Create();
        m_Pipe->SetWindowVisibility(false);
        m_Pipe->m_ColorBits = 24;
        m_Pipe->m_DepthBits = 24;
        m_Pipe->SetResolution(Vector2f(float(width), float(height)));
        if (!imagePath.empty())
            m_Pipe->SetImagePath(String(imagePath.c_str()));
        ASSERT_EQ(m_Pipe->ApplyFormat(), 0);
        ASSERT_NE(m_Pipe->GetRenderEngine(), nullptr);
        m_System->SetRenderPipe(m_Pipe);
        m_Channel = Channel();
    }
    void TearDown() override {
        m_Root = nullptr;
        m_System->SetRenderPipe(nullptr);
        if (m_Pipe)
            m_Pipe->DeInitializeWindow();
        m_Pipe = nullptr;
        Quorlix::RenderPipe::PumpWindowEvents();
    }

    Quorlix::Obj<Quorlix::RenderChannel> Channel() {
        Quorlix::Obj<Quorlix::RenderChannel> channel(Quorlix::RenderChannel::Create());
        channel->m_SceneRoot = m_Root.Get();
        channel->m_ColorClearValue = Quorlix::Vector3f(0, 0, 0);
        m_System->AddChannel(channel);
        return channel;
    }
    // `mesh` under a new transform at `at`, added last to the root.
    Quorlix::Obj<Quorlix::TTransform> Place(Quorlix::TNode* mesh, const Quorlix::Vector3f& at) {
        Quorlix::Obj<Quorlix::TTransform> t(Quorlix::TTransform::Create());
        static_cast<Quorlix::STransform*>(t->GetSNode())->SetTranslation(at);
        t->AddChild(mesh);
        m_Root->AddChild(t);
        return t;
    }

    // One frame as a host draws it; the picture is read before the swap.
    void Frame() {
        m_System->ClearBuffers();
        m_System->DrawTree(0, 0, 0);
        m_Image = Quorlix::Image::Create();
        ASSERT_TRUE(Engine().ReadPixels(*m_Image));
        Engine().SwapBuffers();
    }
    uint32_t Pixel(int x, int y) const { return PixelAt(*m_Image, x, y); }
    Quorlix::RenderEngine& Engine() const { return *m_Pipe->GetRenderEngine(); }

    Quorlix::Obj<Quorlix::RenderPipe> m_Pipe;
    Quorlix::Obj<Quorlix::RenderSystem> m_System{Quorlix::RenderSystem::Create()};
    Quorlix::Obj<Quorlix::TTransform> m_Root{Quorlix::TTransform::Create()};
    Quorlix::Obj<Quorlix::RenderChannel> m_Channel;
    Quorlix::Obj<Quorlix::Image> m_Image;
};

} // namespace QuorlixTest
