// The OpenGL engine drawing for real, headless: clears and viewports, fixed-function lighting to
// the exact colour, index checks that keep bad meshes off the screen, and its shutdown texts.

#include "quorlix/scene/Light.h"
#include "render/OpenGLFixture.h"
#include "support/LogCapture.h"

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class OpenGLEngineTest : public OpenGLFixture {
protected:
    void SetUp() override {
        OpenGLFixture::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        m_Engine = StartEngine();
    }
    void TearDown() override {
        m_Engine = nullptr;
        OpenGLFixture::TearDown();
    }

    void Clear(const Vector3f& color) {
        RenderClearBlock clear;
        clear.m_ColorClearValue = color;
        m_Engine->ClearBuffers(clear);
    }
    // The pixel at (x, y), counted from the top left, as 0xRRGGBB.
    uint32_t Pixel(int x, int y) {
        Obj<Image> image = Image::Create();
        EXPECT_TRUE(m_Engine->ReadPixels(*image));
        EXPECT_EQ(image->GetWidth(), k_Size);
        return PixelAt(*image, x, y);
    }
    // The whole view as two triangles over `indices`, one normal for all vertices.
    static Obj<TPolygonGeometry> View(const std::vector<int32_t>& indices, int32_t triangles) {
        return Square(1, indices, triangles, 1);
    }

    Obj<RenderEngineOpenGL_D> m_Engine;
};

} // namespace

TEST_F(OpenGLEngineTest, SoftwareContextClearsAndKeepsToItsViewport) {
    EXPECT_TRUE(m_Engine->IsGenericFormat()); // llvmpipe
    EXPECT_EQ(m_Engine->GetTextureMemory(), 8388607);
    Clear({1, 0, 0});
    EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(63, 63), 0xFF0000u);
    {
        RenderClearBlock none;
        none.m_ColorClearEnable = false;
        none.m_DepthClearEnable = false;
        m_Engine->ClearBuffers(none);
        EXPECT_EQ(Pixel(10, 10), 0xFF0000u);
    }
    // An unlit square through the lower half viewport: the picture's bottom half only.
    Obj<RenderMaterial> blue = RenderMaterial::Create();
    blue->m_DiffuseColor = Vector3f(0, 0, 1);
    Obj<TPolygonGeometry> square = View({0, 1, 2, 0, 2, 3}, 2);
    m_Engine->SetViewport(0, 0, k_Size, k_Size / 2);
    m_Engine->BindShaderBase(Shaded(blue, false));
    m_Engine->DrawGeometry(*square);
    EXPECT_EQ(Pixel(5, 5), 0xFF0000u);
    EXPECT_EQ(Pixel(5, 60), 0x0000FFu);
    m_Engine->SwapBuffers();
    EXPECT_EQ(m_Engine->GetTrianglesPerFrame(), 2);
}

TEST_F(OpenGLEngineTest, DirectionalLightAndAmbientGiveTheExactColour) {
    Obj<SLight> light = SLight::Create();
    light->SetColor(Vector3f(1, 1, 1));
    Obj<RenderMaterial> material = RenderMaterial::Create();
    material->m_DiffuseColor = Vector3f(0.5f, 0.25f, 1.0f);
    material->m_AmbientColor = Vector3f(1, 1, 1);
    Obj<TPolygonGeometry> square = View({0, 1, 2, 0, 2, 3}, 2);
    Obj<RenderShader> shader = Shaded(material, true);
    {
        // Straight on (the light shines along its -z): N.L = 1, no ambient light.
        Clear({0, 0, 0});
        m_Engine->SetAmbientColor(Vector3f(0, 0, 0));
        m_Engine->SetLight(0, *light, Matrix4f::Identity);
        m_Engine->SetLightCount(1);
        m_Engine->SetModelView(Matrix4f::Identity);
        m_Engine->BindShaderBase(shader);
        m_Engine->DrawGeometry(*square);
        EXPECT_EQ(Pixel(32, 32), 0x8040FFu);
    }
    {
        // Ambient colour and light add up: 0.25 + 0.5 for red.
        material->m_DiffuseColor = Vector3f(0.5f, 0.5f, 0.5f);
        Clear({0, 0, 0});
        m_Engine->SetAmbientColor(Vector3f(0.25f, 0.25f, 0.25f));
        m_Engine->BindShaderBase(shader);
        m_Engine->DrawGeometry(*square);
        const uint32_t red = Pixel(32, 32) >> 16;
        EXPECT_NEAR(static_cast<int>(red), 191, 1);
    }
    {
        // Only the ambient part is left with the light switched off; lights past the driver's
        // count are refused with a log line.
        Clear({0, 0, 0});
        m_Engine->SetLightCount(0);
        m_Engine->BindShaderBase(shader);
        m_Engine->DrawGeometry(*square);
        EXPECT_EQ(Pixel(32, 32), 0x404040u);
        LogCapture log;
        m_Engine->SetLight(1000, *light, Matrix4f::Identity);
        EXPECT_NE(log.Text().find("RenderEngineOpenGL_D::SetLight: too many active lights."),
                  std::string::npos);
    }
}

TEST_F(OpenGLEngineTest, IndexChecksKeepBadMeshesOffTheScreen) {
    Obj<RenderMaterial> white = RenderMaterial::Create();
    white->m_DiffuseColor = Vector3f(1, 1, 1);
    m_Engine->BindShaderBase(Shaded(white, false));
    Clear({0, 0, 0});
    struct Bad {
        std::vector<int32_t> m_Indices;
        const char* m_Logged;
        const char* m_Listed; // position:index of the first bad index
    };
    const Bad bad[] = {
        {{0, 1, 2, 0, 2, 7}, "VERTEXCOUNT TOO SMALL 5/7/4", "]5:7"},
        {{0, 1, 2, 0, -1, 3}, "VERTEXCOUNT TOO SMALL 4/-1/4", "]4:-1"},
        {{0, 1, 2}, "INDEXCOUNT TOO SMALL 6/3", ""},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.m_Logged);
        LogCapture log;
        m_Engine->DrawGeometry(*View(b.m_Indices, 2));
        for (const auto& [x, y] : {std::pair{5, 5}, std::pair{60, 5}, std::pair{60, 60}})
            EXPECT_EQ(Pixel(x, y), 0u);
        EXPECT_NE(log.Text().find(b.m_Logged), std::string::npos) << log.Text();
        EXPECT_NE(log.Text().find(b.m_Listed), std::string::npos) << log.Text();
        // The first draw says so, once only.
        EXPECT_EQ(log.Text().find("RenderEngineOpenGL_D::DrawPolygonDataVL: first enter.") !=
                      std::string::npos,
                  &b == bad);
    }
    {
        // Unindexed vertices in order, and a polygon with one vertex too few.
        LogCapture log;
        Obj<TPolygonGeometry> polygon = View({}, 1);
        auto* s = static_cast<SPolygonGeometry*>(polygon->GetSNode());
        s->SetPrimType(Primitive::Polygon);
        Array<int32_t> lengths;
        lengths.Add(2);
        s->SetPrimLengthArray(lengths);
        m_Engine->DrawGeometry(*polygon);
        EXPECT_NE(log.Text().find("DrawOpenGL() Primitive::Polygon length(2) not supported."),
                  std::string::npos);
        EXPECT_EQ(Pixel(32, 32), 0u);
        lengths[0] = 4;
        s->SetPrimLengthArray(lengths);
        m_Engine->DrawGeometry(*polygon);
        EXPECT_EQ(Pixel(32, 32), 0xFFFFFFu);
    }
}

TEST_F(OpenGLEngineTest, ShutdownIsLoggedAndReleasesTheLibrary) {
    LogCapture log;
    m_Engine->DeInitializeRenderEngine();
    EXPECT_NE(log.Text().find("RenderEngineOpenGL_D::DeInitializeRenderEngine() complete."),
              std::string::npos);
    EXPECT_EQ(G_OpenGLAPI.GetLoadCount(), 0);
    EXPECT_FALSE(m_Engine->ReadPixels(*Obj<Image>(Image::Create())));
    m_Engine = nullptr;
    EXPECT_NE(log.Text().find("RenderEngineOpenGL_D::~RenderEngineOpenGL_D() complete."),
              std::string::npos);
}
