// Whole frames through a render pipe on the offscreen driver, a RenderSystem and the OpenGL
// engine, read back as pixels: channel clears and viewports, a directional light's colour, the
// order of layers and of the depth-sorted layer, culling, masks, a scaled camera and a mesh with
// a bad index.

#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/Shader.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

constexpr int k_Size = 64;
constexpr uint32_t k_Red = 0xFF0000, k_Green = 0x00FF00, k_Blue = 0x0000FF;

class RenderFrameGL : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DLLInitialize(0);
        ASSERT_TRUE(Platform::StartVideo("offscreen")) << Platform::LastWindowError();
    }
    static void TearDownTestSuite() { DLLDeInitialize(0); }

    void SetUp() override {
        m_Pipe = RenderPipe::Create();
        m_Pipe->SetWindowVisibility(false);
        m_Pipe->m_ColorBits = 24;
        m_Pipe->m_DepthBits = 24;
        m_Pipe->SetResolution(Vector2f(k_Size, k_Size));
        ASSERT_EQ(m_Pipe->ApplyFormat(), 0);
        ASSERT_NE(m_Pipe->GetRenderEngine(), nullptr);
        m_System->SetRenderPipe(m_Pipe);
        m_Channel = Channel();
    }
    void TearDown() override {
        m_System->SetRenderPipe(nullptr);
        m_Pipe->DeInitializeWindow();
        m_Pipe = nullptr;
        RenderPipe::PumpWindowEvents();
    }

    Obj<RenderChannel> Channel() {
        Obj<RenderChannel> channel(RenderChannel::Create());
        channel->m_SceneRoot = m_Root.Get();
        channel->m_ColorClearValue = Vector3f(0, 0, 0);
        m_System->AddChannel(channel);
        return channel;
    }

    // A square of half size `half` facing +z at `at` (under its own transform).
    Obj<TTransform> Square(const Vector3f& at, float half, RenderShader* shader,
                           std::initializer_list<int32_t> indices = {0, 1, 2, 0, 2, 3}) {
        Obj<TPolygonGeometry> mesh(TPolygonGeometry::Create());
        auto* s = static_cast<SPolygonGeometry*>(mesh->GetSNode());
        Array<Vector3f> vertices, normals;
        Array<int32_t> index;
        for (const auto& c :
             {Vector3f(-1, -1, 0), Vector3f(1, -1, 0), Vector3f(1, 1, 0), Vector3f(-1, 1, 0)}) {
            vertices.Add(c * half);
            normals.Add(Vector3f(0, 0, 1));
        }
        for (int32_t i : indices)
            index.Add(i);
        s->SetVertexArray(vertices);
        s->m_NormalArray = normals;
        s->SetIndexArray(index);
        s->SetPrimCount(2);
        mesh->m_Shader = shader;
        Obj<TTransform> t(TTransform::Create());
        static_cast<STransform*>(t->GetSNode())->SetTranslation(at);
        t->AddChild(mesh);
        m_Root->AddChild(t);
        return t;
    }
    static Obj<RenderShader> Shader(const Vector3f& color, bool lighting = false, int layer = 16) {
        Obj<RenderMaterial> material(RenderMaterial::Create());
        material->m_DiffuseColor = color;
        material->m_AmbientColor = color;
        Obj<ShaderPhong> phong(ShaderPhong::Create());
        phong->m_Material = material.Get();
        Obj<RenderShader> shader(RenderShader::Create());
        shader->m_Surface = phong.Get();
        shader->m_LightEnable = lighting;
        shader->m_MultiDrawLayer = layer;
        return shader;
    }

    // One frame as a host draws it; the picture is read before the swap.
    void Frame() {
        m_System->ClearBuffers();
        m_System->DrawTree(0, 0, 0);
        m_Image = Image::Create();
        ASSERT_TRUE(Engine().ReadPixels(*m_Image));
        ASSERT_EQ(m_Image->GetWidth(), k_Size);
        Engine().SwapBuffers();
    }
    // The pixel at (x, y) from the top left as 0xRRGGBB.
    uint32_t Pixel(int x, int y) const {
        const unsigned char* p =
            m_Image->GetData() + ((m_Image->GetHeight() - 1 - y) * k_Size + x) * 4;
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> all;
        for (int y = 0; y < k_Size; ++y)
            for (int x = 0; x < k_Size; ++x)
                all.push_back(Pixel(x, y));
        return all;
    }
    RenderEngine& Engine() const { return *m_Pipe->GetRenderEngine(); }
    int64_t Triangles() const { return Engine().GetRenderStatistics()->GetTrianglesPerFrame(); }

    Obj<RenderPipe> m_Pipe;
    Obj<RenderSystem> m_System{RenderSystem::Create()};
    Obj<TTransform> m_Root{TTransform::Create()};
    Obj<RenderChannel> m_Channel;
    Obj<Image> m_Image;
};

} // namespace

TEST_F(RenderFrameGL, ChannelsClearTheirOwnViewports) {
    Obj<RenderChannel> right = Channel();
    m_Channel->SetViewport(Vector4f(0, 0.5f, 0, 1));
    m_Channel->m_ColorClearValue = Vector3f(1, 0, 0);
    right->SetViewport(Vector4f(0.5f, 1, 0, 1));
    right->m_ColorClearValue = Vector3f(0, 0, 1);
    Frame();
    EXPECT_EQ(Pixel(0, 0), k_Red);
    EXPECT_EQ(Pixel(31, 63), k_Red);
    EXPECT_EQ(Pixel(32, 0), k_Blue);
    EXPECT_EQ(Pixel(63, 63), k_Blue);
    // A square in the middle of the view is drawn in each half, squeezed to it.
    Square(Vector3f(0, 0, -3), 0.2f, Shader(Vector3f(0, 1, 0)));
    Frame();
    EXPECT_EQ(Pixel(16, 32), k_Green);
    EXPECT_EQ(Pixel(48, 32), k_Green);
    EXPECT_EQ(Pixel(31, 32), k_Red);
    EXPECT_EQ(Pixel(32, 32), k_Blue);
    EXPECT_EQ(Triangles(), 4);
}

TEST_F(RenderFrameGL, DirectionalLightGivesTheLitColour) {
    Obj<TLight> sun(TLight::Create()); // shines along -z, straight onto the square
    static_cast<SLight*>(sun->GetSNode())->SetColor(Vector3f(1, 1, 1));
    m_Root->AddChild(sun);
    Obj<RenderShader> lit = Shader(Vector3f(0.5f, 0.25f, 1), true);
    Square(Vector3f(0, 0, -3), 1, lit);
    Frame();
    // No ambient light in the scene: diffuse only, N.L = 1.
    const uint32_t centre = Pixel(32, 32);
    EXPECT_NEAR(int(centre >> 16), 0x80, 1);
    EXPECT_NEAR(int((centre >> 8) & 0xFF), 0x40, 1);
    EXPECT_EQ(centre & 0xFF, 0xFFu);
    EXPECT_EQ(Pixel(0, 0), 0u);
    {
        // An ambient light adds its share of the ambient colour: 0.5 + 0.25 x 0.5.
        Obj<TLight> sky(TLight::Create());
        static_cast<SLight*>(sky->GetSNode())->SetType(SLight::Ambient);
        static_cast<SLight*>(sky->GetSNode())->SetColor(Vector3f(0.25f, 0.25f, 0.25f));
        m_Root->AddChild(sky);
        Frame();
        EXPECT_NEAR(int(Pixel(32, 32) >> 16), 160, 1);
    }
}

TEST_F(RenderFrameGL, LayersDrawInOrderAndTheSortedLayerFarToNear) {
    // Without depth tests only the drawing order decides what is on top.
    auto flat = [](const Vector3f& color, int layer) {
        Obj<RenderShader> shader = Shader(color, false, layer);
        shader->m_DepthTestEnable = false;
        return shader;
    };
    // The layer-16 square is the nearest and largest, yet layer 40 draws over it.
    Square(Vector3f(0, 0, -2), 3, flat(Vector3f(0, 0, 1), 16));
    for (bool nearFirst : {true, false}) {
        SCOPED_TRACE(nearFirst ? "near square first in the tree" : "far square first");
        Obj<TTransform> a =
            Square(Vector3f(0, 0, nearFirst ? -3.0f : -4.0f), 1,
                   flat(Vector3f(nearFirst ? 1.0f : 0, nearFirst ? 0 : 1.0f, 0), 40));
        Obj<TTransform> b =
            Square(Vector3f(0, 0, nearFirst ? -4.0f : -3.0f), 1,
                   flat(Vector3f(nearFirst ? 0 : 1.0f, nearFirst ? 1.0f : 0, 0), 40));
        Frame();
        EXPECT_EQ(Pixel(32, 32), k_Red); // the near square (red) ends on top
        EXPECT_EQ(Pixel(2, 2), k_Blue);
        m_Root->ResizeChild(1);
    }
}

TEST_F(RenderFrameGL, CulledAndMaskedNodesAreNotDrawn) {
    Obj<RenderShader> green = Shader(Vector3f(0, 1, 0));
    Obj<TTransform> outside = Square(Vector3f(100, 0, -3), 1, green);
    Frame();
    EXPECT_EQ(Triangles(), 0);
    EXPECT_EQ(Pixels(), std::vector<uint32_t>(k_Size * k_Size, 0u));
    Obj<TTransform> inside = Square(Vector3f(0, 0, -3), 1, green);
    Frame();
    EXPECT_EQ(Triangles(), 2);
    EXPECT_EQ(Pixel(32, 32), k_Green);
    {
        // Visibility bit 2 is outside DrawMask 1; then bit 1 in ExcludeMask.
        inside->GetSNode()->SetVisibility(2);
        m_Channel->m_DrawMask = 1;
        Frame();
        EXPECT_EQ(Pixel(32, 32), 0u);
        EXPECT_EQ(Triangles(), 0);
        inside->GetSNode()->SetVisibility(1);
        m_Channel->m_ExcludeMask = 1;
        Frame();
        EXPECT_EQ(Pixel(32, 32), 0u);
        m_Channel->m_ExcludeMask = 0;
        Frame();
        EXPECT_EQ(Pixel(32, 32), k_Green);
    }
}

TEST_F(RenderFrameGL, ScaledCameraSeesWhatTheUnscaledOneSees) {
    Obj<TCamera> camera(TCamera::Create());
    Obj<TTransform> eye(TTransform::Create());
    auto* s = static_cast<STransform*>(eye->GetSNode());
    s->SetTranslation(Vector3f(0.5f, 0.25f, 2));
    s->SetRotation(Vector3f(0, 10, 0));
    eye->AddChild(camera);
    m_Root->AddChild(eye);
    m_Channel->m_Camera = camera.Get();
    Square(Vector3f(0, 0, -3), 1, Shader(Vector3f(0, 1, 0)));
    Square(Vector3f(1, 1, -5), 1, Shader(Vector3f(1, 0, 0)));
    Frame();
    const std::vector<uint32_t> plain = Pixels();
    EXPECT_NE(plain, std::vector<uint32_t>(k_Size * k_Size, 0u));
    s->SetScaling(Vector3f(2, 2, 2));
    Frame();
    EXPECT_EQ(Pixels(), plain);
}

TEST_F(RenderFrameGL, OutOfRangeIndexDrawsNothingAndSaysSo) {
    LogCapture log;
    Square(Vector3f(0, 0, -3), 1, Shader(Vector3f(1, 1, 1)), {0, 1, 2, 0, 2, 9});
    Frame();
    EXPECT_EQ(Pixels(), std::vector<uint32_t>(k_Size * k_Size, 0u));
    EXPECT_EQ(Triangles(), 0);
    EXPECT_NE(log.Text().find("VERTEXCOUNT TOO SMALL 5/9/4"), std::string::npos) << log.Text();
}
