// The OpenGL engine drawing for real, headless: clears and viewports, fixed-function lighting to
// the exact colour, index checks that keep bad meshes off the screen, and its shutdown texts.

#include "quorlix/core/Result.h"
#include "quorlix/image/Image.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/internal/RenderEngineFactory.h"
#include "quorlix/render/opengl/OpenGLAPI.h"
#include "quorlix/render/opengl/internal/RenderEngineOpenGL.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "render/OpenGLFixture.h"
#include "support/LogCapture.h"

#include <cstdint>
#include <initializer_list>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

template <class T>
Array<T> ArrayOf(std::initializer_list<T> values) {
    Array<T> out;
    for (const T& v : values)
        out.Add(v);
    return out;
}

// Two triangles covering the whole view ([-1, 1] at z 0), facing +z.
Obj<TPolygonGeometry> Square(std::initializer_list<int32_t> indices, int32_t triangles) {
    Obj<TPolygonGeometry> t = TPolygonGeometry::Create();
    auto* s = static_cast<SPolygonGeometry*>(t->GetSNode());
    s->SetVertexArray(ArrayOf<Vector3f>({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}));
    s->m_NormalArray = ArrayOf<Vector3f>({{0, 0, 1}});
    s->SetIndexArray(ArrayOf<int32_t>(indices));
    s->SetPrimCount(triangles);
    return t;
}

class OpenGLEngineTest : public OpenGLFixture {
protected:
    void SetUp() override {
        OpenGLFixture::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        m_Engine = static_cast<RenderEngineOpenGL_D*>(Internal::CreateRenderEngineOpenGL());
        ASSERT_EQ(
            m_Engine->InitializeRenderEngine(m_Window, RenderPipeFormat{}, RenderTextureSettings{}),
            SOK);
        m_Engine->SetProjection(Matrix4f::Identity);
        m_Engine->SetModelView(Matrix4f::Identity);
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
        const int row = image->GetHeight() - 1 - y; // images keep their rows bottom-up
        const unsigned char* p = image->GetData() + (row * image->GetWidth() + x) * 4;
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    // A shader whose surface is a ShaderPhong with `material`.
    static Obj<RenderShader> Shaded(RenderMaterial* material, bool lighting) {
        Obj<RenderShader> shader = RenderShader::Create();
        Obj<ShaderPhong> phong = ShaderPhong::Create();
        phong->m_Material = material;
        shader->m_Surface = phong.Get();
        shader->m_LightEnable = lighting;
        return shader;
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
    Obj<TPolygonGeometry> square = Square({0, 1, 2, 0, 2, 3}, 2);
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
    Obj<TPolygonGeometry> square = Square({0, 1, 2, 0, 2, 3}, 2);
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
    {
        LogCapture log;
        Clear({0, 0, 0});
        Obj<TPolygonGeometry> square = Square({0, 1, 2, 0, 2, 7}, 2);
        m_Engine->DrawGeometry(*square);
        EXPECT_EQ(Pixel(5, 5), 0u);
        EXPECT_EQ(Pixel(60, 60), 0u);
        EXPECT_NE(log.Text().find("VERTEXCOUNT TOO SMALL 5/7/4"), std::string::npos);
        EXPECT_NE(log.Text().find("5:7"), std::string::npos);
        EXPECT_NE(log.Text().find("RenderEngineOpenGL_D::DrawPolygonDataVL: first enter."),
                  std::string::npos);
    }
    {
        LogCapture log;
        Obj<TPolygonGeometry> square = Square({0, 1, 2, 0, -1, 3}, 2);
        m_Engine->DrawGeometry(*square);
        EXPECT_EQ(Pixel(60, 5), 0u);
        EXPECT_NE(log.Text().find("VERTEXCOUNT TOO SMALL 4/-1/4"), std::string::npos);
        EXPECT_EQ(log.Text().find("first enter"), std::string::npos); // once only
    }
    {
        LogCapture log;
        Obj<TPolygonGeometry> square = Square({0, 1, 2}, 2);
        m_Engine->DrawGeometry(*square);
        EXPECT_EQ(Pixel(60, 60), 0u);
        EXPECT_NE(log.Text().find("INDEXCOUNT TOO SMALL 6/3"), std::string::npos);
    }
    {
        // Unindexed vertices in order, and a polygon with one vertex too few.
        LogCapture log;
        Obj<TPolygonGeometry> polygon = Square({}, 1);
        auto* s = static_cast<SPolygonGeometry*>(polygon->GetSNode());
        s->SetPrimType(Primitive::Polygon);
        s->SetPrimLengthArray(ArrayOf<int32_t>({2}));
        m_Engine->DrawGeometry(*polygon);
        EXPECT_NE(log.Text().find("DrawOpenGL() Primitive::Polygon length(2) not supported."),
                  std::string::npos);
        EXPECT_EQ(Pixel(32, 32), 0u);
        s->SetPrimLengthArray(ArrayOf<int32_t>({4}));
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
