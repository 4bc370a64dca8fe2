// Whole frames through a render pipe on the offscreen driver, a RenderSystem and the OpenGL
// engine, read back as pixels: channel clears and viewports, and a directional light's colour on
// a mesh with a normal per vertex. What is filed and in which order is tested over the null
// engine (RenderSystemTest), the engine's own drawing in OpenGLEngineTest.

#include "quorlix/render/RenderStatistics.h"
#include "quorlix/scene/Light.h"
#include "render/OpenGLFixture.h"

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Size = 64;
constexpr uint32_t k_Red = 0xFF0000, k_Green = 0x00FF00, k_Blue = 0x0000FF;

class RenderFrameGL : public FrameFixture {
protected:
    void SetUp() override { StartPipe(k_Size, k_Size); }
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
    Obj<TPolygonGeometry> square = Square(0.2f);
    square->m_Shader = ColorShader(Vector3f(0, 1, 0)).Get();
    Place(square, Vector3f(0, 0, -3));
    Frame();
    EXPECT_EQ(Pixel(16, 32), k_Green);
    EXPECT_EQ(Pixel(48, 32), k_Green);
    EXPECT_EQ(Pixel(31, 32), k_Red);
    EXPECT_EQ(Pixel(32, 32), k_Blue);
    EXPECT_EQ(Engine().GetRenderStatistics()->GetTrianglesPerFrame(), 4);
}

TEST_F(RenderFrameGL, DirectionalLightGivesTheLitColour) {
    Obj<TLight> sun(TLight::Create()); // shines along -z, straight onto the square
    static_cast<SLight*>(sun->GetSNode())->SetColor(Vector3f(1, 1, 1));
    m_Root->AddChild(sun);
    Obj<TPolygonGeometry> square = Square();
    square->m_Shader = ColorShader(Vector3f(0.5f, 0.25f, 1), true).Get();
    Place(square, Vector3f(0, 0, -3));
    Frame();
    // No ambient light in the scene: diffuse only, N.L = 1.
    const uint32_t centre = Pixel(32, 32);
    EXPECT_NEAR(int(centre >> 16), 0x80, 1);
    EXPECT_NEAR(int((centre >> 8) & 0xFF), 0x40, 1);
    EXPECT_EQ(centre & 0xFF, 0xFFu);
    EXPECT_EQ(Pixel(0, 0), 0u);
    // An ambient light adds its share of the ambient colour: 0.5 + 0.25 x 0.5.
    Obj<TLight> sky(TLight::Create());
    static_cast<SLight*>(sky->GetSNode())->SetType(SLight::Ambient);
    static_cast<SLight*>(sky->GetSNode())->SetColor(Vector3f(0.25f, 0.25f, 0.25f));
    m_Root->AddChild(sky);
    Frame();
    EXPECT_NEAR(int(Pixel(32, 32) >> 16), 160, 1);
}
