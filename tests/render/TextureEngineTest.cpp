// The OpenGL engine's textures, read back from a headless context: the placeholder and the load
// budget, the download of every channel count and mipmap chain, wrapping, images the engine
// refuses, forced loading, and names of textures released on another thread.

#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/Texture.h"
#include "quorlix/scene/VertexData.h"
#include "render/OpenGLFixture.h"
#include "support/LogCapture.h"

#include <cmath>
#include <thread>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// An image of `channels` whose bytes are a pattern of position and channel, with the chain below
// it filled with one colour per level (level 1 red, 2 green, 3 blue, then grey) when `chain`.
Obj<Image> Picture(int channels, int width, int height, bool chain = false, uint32_t format = 0) {
    Obj<Image> image = Image::Create();
    EXPECT_TRUE(image->Allocate(channels, width, height, format));
    for (int i = 0; i < channels * width * height; ++i)
        image->GetData()[i] = static_cast<unsigned char>(37 * i + 11);
    if (chain) {
        image->AllocateMipMap();
        static const unsigned char k_Colors[4][4] = {
            {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {90, 90, 90, 255}};
        int level = 0;
        for (Image* l = image->GetMipMap(); l != nullptr; l = l->GetMipMap(), ++level)
            for (int p = 0; p < l->GetWidth() * l->GetHeight(); ++p)
                for (int c = 0; c < channels; ++c)
                    l->GetData()[p * channels + c] = k_Colors[std::min(level, 3)][c];
    }
    return image;
}

// A texture whose generated image is `image`: it needs no loader.
Obj<Texture2D> Generated(Image* image) {
    Obj<Texture2D> texture = Texture2D::Create();
    texture->SetGeneratedImage(image);
    return texture;
}

class TextureEngineTest : public OpenGLFixture {
protected:
    void SetUp() override {
        OpenGLFixture::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        m_Engine = StartEngine();
        // A quad over the whole view with texture coordinates 0..m_Repeat in pass 0.
        m_Quad = Square(1, {0, 1, 2, 0, 2, 3}, 2, 0);
        auto* s = static_cast<SPolygonGeometry*>(m_Quad->GetSNode());
        m_Coords = VertexDataVector2f::Create();
        SetRepeat(1.0f);
        s->m_VertexData.Add(Obj<ScriptObject>(m_Coords.Get()));
        m_White = RenderMaterial::Create();
        m_White->m_DiffuseColor = Vector3f(1, 1, 1);
    }
    void TearDown() override {
        m_Engine = nullptr;
        m_Quad = nullptr; // before the library closes
        m_Coords = nullptr;
        m_White = nullptr;
        OpenGLFixture::TearDown();
    }

    void SetRepeat(float r) {
        m_Coords->m_DataArray = Array<Vector2f>();
        for (const Vector2f& c : {Vector2f(0, 0), Vector2f(r, 0), Vector2f(r, r), Vector2f(0, r)})
            m_Coords->m_DataArray.Add(c);
    }
    void Settings(float limit, int shift = 0) {
        RenderTextureSettings settings;
        settings.m_TextureLoadTimeLimit = limit;
        settings.m_MaxTextureSizeShift = shift;
        m_Engine->SetTextureSettings(settings);
    }
    // Clears to black (which resets the frame's texture figures) unless `keepFigures`, then
    // draws the quad textured with `texture` into a width x height viewport at the origin.
    void Draw(Texture* texture, int width, int height, bool keepFigures = false) {
        if (!keepFigures) {
            RenderClearBlock clear;
            clear.m_ColorClearValue = Vector3f(0, 0, 0);
            m_Engine->ClearBuffers(clear);
        }
        Obj<ShaderTexture> lookup = ShaderTexture::Create();
        lookup->m_Texture = texture;
        Obj<RenderShader> shader = Shaded(m_White, false, lookup.Get());
        m_Engine->SetViewport(0, 0, width, height);
        m_Engine->BindShaderBase(shader);
        m_Engine->DrawGeometry(*m_Quad);
    }
    // The window's pixel (x, y) from the bottom left as 0xRRGGBB: the texel of row y.
    uint32_t Pixel(int x, int y) {
        Obj<Image> image = Image::Create();
        EXPECT_TRUE(m_Engine->ReadPixels(*image));
        return PixelAt(*image, x, image->GetHeight() - 1 - y);
    }
    // Each channel within one step of the expected value (filtering may round).
    static bool Near(uint32_t a, uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 1)
                return false;
        return true;
    }

    Obj<RenderEngineOpenGL_D> m_Engine;
    Obj<TPolygonGeometry> m_Quad;
    Obj<VertexDataVector2f> m_Coords;
    Obj<RenderMaterial> m_White;
};

} // namespace

TEST_F(TextureEngineTest, PlaceholderShowsUntilTheBudgetAllowsTheLoad) {
    Obj<Image> picture = Picture(4, 2, 2);
    Obj<Texture2D> texture = Generated(picture);
    texture->m_DefaultColor = Vector4f(0.2f, 1.5f, NAN, 1.0f); // bytes 51, saturated 255, 0
    Obj<Texture2D> other = Generated(picture);
    Settings(0.0f); // 0 seconds spent is not below 0: nothing loads
    {
        Draw(texture, 2, 2);
        Draw(other, 2, 2, true);
        Draw(texture, 2, 2, true);
        EXPECT_EQ(Pixel(0, 0), 0x33FF00u);
        EXPECT_EQ(Pixel(1, 1), 0x33FF00u);
        EXPECT_EQ(texture->GetLoadState(), k_TextureWaiting);
        EXPECT_EQ(m_Engine->GetTexturesDeferred(), 3); // each visit counts
        EXPECT_EQ(m_Engine->GetTexturesPending(), 3);
        m_Engine->SwapBuffers();
        EXPECT_EQ(m_Engine->GetRenderStatistics()->GetTexturesDeferred(), 3);
        EXPECT_EQ(m_Engine->GetRenderStatistics()->GetTextureMemoryCount(), 2);
    }
    {
        // A later frame with a budget: the generated image goes 1 -> 3 -> downloaded at once,
        // without a load request and without adding time.
        Settings(-1.0f);
        Draw(texture, 2, 2);
        EXPECT_EQ(texture->GetLoadState(), k_TextureIdle);
        EXPECT_EQ(m_Engine->GetTexturesDeferred(), 0);
        EXPECT_EQ(m_Engine->GetTextureLoadSeconds(), 0.0);
        const unsigned char* d = picture->GetData();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const unsigned char* p = d + (y * 2 + x) * 4;
                EXPECT_EQ(Pixel(x, y), (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2])
                    << x << "," << y;
            }
        const RenderStatistics& stats = *m_Engine->GetRenderStatistics();
        EXPECT_EQ(stats.GetTextureMemoryCount(), 2);
        EXPECT_EQ(stats.GetTextureMemoryUsage(), 16 + 4); // the other's placeholder is 4 bytes
        m_Engine->SwapBuffers();
        EXPECT_EQ(stats.GetTextureMemoryActive(), 16);
    }
    {
        // Forced loading ignores the budget; a texture a thread holds (state 2) stays pending
        // until the next UnloadTextures.
        Settings(0.0f);
        EXPECT_TRUE(m_Engine->ForceLoadTexture(*other));
        Obj<Texture2D> busy = Texture2D::Create();
        busy->SetLoadState(k_TextureLoading);
        EXPECT_FALSE(m_Engine->ForceLoadTexture(*busy));
        EXPECT_EQ(busy->m_EngineTexture, 0u);
        m_Engine->ClearBuffers(RenderClearBlock{});
        EXPECT_EQ(m_Engine->GetTexturesPending(), 1);
        m_Engine->UnloadTextures();
        EXPECT_EQ(m_Engine->GetTexturesPending(), 0);
    }
}

TEST_F(TextureEngineTest, EveryChannelCountAndOddWidthDrawsItsOwnTexels) {
    for (int channels = 1; channels <= 4; ++channels)
        for (int width : {3, 5}) {
            Obj<Image> picture = Picture(channels, width, 3);
            Obj<Texture2D> texture = Generated(picture);
            Draw(texture, width, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x) {
                    const unsigned char* p = picture->GetData() + (y * width + x) * channels;
                    const uint32_t l = p[0];
                    const uint32_t want =
                        channels >= 3 ? (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]
                                      : (l << 16) | (l << 8) | l;
                    EXPECT_EQ(Pixel(x, y), want)
                        << channels << " channels, width " << width << " at " << x << "," << y;
                }
        }
}

TEST_F(TextureEngineTest, WrapModesRepeatOrClampToTheEdge) {
    // Red, green; coordinates 0..2 over 4 pixels sample the texel centres 0.5 .. 3.5.
    Obj<Image> picture = Image::Create();
    ASSERT_TRUE(picture->Allocate(3, 2, 1, 0));
    const unsigned char rg[6] = {255, 0, 0, 0, 255, 0};
    std::copy(rg, rg + 6, picture->GetData());
    SetRepeat(2.0f);
    {
        Obj<Texture2D> texture = Generated(picture);
        Draw(texture, 4, 1);
        EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
        EXPECT_EQ(Pixel(1, 0), 0x00FF00u);
        EXPECT_EQ(Pixel(2, 0), 0xFF0000u);
        EXPECT_EQ(Pixel(3, 0), 0x00FF00u);
    }
    {
        Obj<Texture2D> texture = Generated(picture);
        texture->m_WrapU = Texture2D::WrapMode::Clamp;
        Draw(texture, 4, 1);
        EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
        EXPECT_EQ(Pixel(1, 0), 0x00FF00u);
        if (G_OpenGLAPI.HasExtension(OpenGLAPI::k_GL_EXT_texture_edge_clamp)) {
            EXPECT_EQ(Pixel(2, 0), 0x00FF00u);
            EXPECT_EQ(Pixel(3, 0), 0x00FF00u);
        } else {
            EXPECT_NE(Pixel(3, 0), 0xFF0000u); // plain clamp: never wraps round
        }
    }
}

TEST_F(TextureEngineTest, MipmapChainsMinifyAndShrinkByTheShift) {
    // 8 x 8 with levels 4 (red), 2 (green), 1 (blue).
    Obj<Image> picture = Picture(4, 8, 8, true);
    {
        // Drawn into one pixel: the 1 x 1 level.
        Obj<Texture2D> texture = Generated(picture);
        Draw(texture, 1, 1);
        EXPECT_TRUE(Near(Pixel(0, 0), 0x0000FFu)) << std::hex << Pixel(0, 0);
    }
    {
        // MipMapEnable off: the top level, filtered linearly, never black.
        Obj<Image> flat = Picture(4, 8, 8, true);
        for (int i = 0; i < 8 * 8 * 4; ++i)
            flat->GetData()[i] = 200;
        Obj<Texture2D> texture = Generated(flat);
        texture->m_MipMapEnable = false;
        Draw(texture, 1, 1);
        EXPECT_EQ(Pixel(0, 0), 0xC8C8C8u);
    }
    {
        // Shift 1 drops the top level: drawn 4 x 4 at 1:1, level 1 fills it.
        Settings(-1.0f, 1);
        Obj<Texture2D> texture = Generated(picture);
        Draw(texture, 4, 4);
        EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
        EXPECT_EQ(Pixel(3, 3), 0xFF0000u);
        // Levels 4 x 4, 2 x 2 and 1 x 1; the clear deleted the names of the textures before.
        EXPECT_EQ(m_Engine->GetRenderStatistics()->GetTextureMemoryUsage(), 4 * (16 + 4 + 1));
    }
}

TEST_F(TextureEngineTest, RefusedImagesKeepThePlaceholderWithoutRetrying) {
    auto placeholder = [&](Image* image, const char* message) {
        LogCapture log;
        Obj<Texture2D> texture = Generated(image);
        texture->m_DefaultColor = Vector4f(1, 0, 1, 1);
        Draw(texture, 2, 2);
        EXPECT_EQ(Pixel(1, 1), 0xFF00FFu) << message;
        EXPECT_EQ(texture->GetLoadState(), k_TextureDownloading) << message;
        const std::string text = log.Text();
        if (*message != 0)
            EXPECT_NE(text.find(message), std::string::npos) << text;
        else
            EXPECT_EQ(text.find("not supported"), std::string::npos) << text;
        // Later frames leave it alone: no second message, still the placeholder.
        Draw(texture, 2, 2);
        EXPECT_EQ(log.Text(), text);
        EXPECT_EQ(Pixel(0, 0), 0xFF00FFu);
    };
    placeholder(Picture(4, 2, 2, false, 7),
                "Texture download: format 7 not supported (hardware or software).");
    const int tooWide = m_Engine->GetMaxTextureSize() + 1;
    placeholder(Picture(1, tooWide, 1), ("Texture download: image " + std::to_string(tooWide) +
                                         "x1 not supported (hardware or software).")
                                            .c_str());
    Obj<Image> empty = Image::Create();
    placeholder(empty, "");
}

TEST_F(TextureEngineTest, ReleasedTexturesLoseTheirNamesAtTheNextFrame) {
    Obj<Texture2D> texture = Generated(Picture(4, 2, 2));
    Draw(texture, 2, 2);
    const uint32_t name = texture->m_EngineTexture;
    ASSERT_NE(name, 0u);
    const RenderStatistics& stats = *m_Engine->GetRenderStatistics();
    EXPECT_EQ(stats.GetTextureMemoryCount(), 1);
    // The last reference goes on another thread; the name waits for the engine's thread.
    std::thread([&texture] { texture = nullptr; }).join();
    EXPECT_EQ(stats.GetTextureMemoryCount(), 1);
    m_Engine->UnloadTextures();
    EXPECT_EQ(stats.GetTextureMemoryCount(), 0);
    EXPECT_EQ(stats.GetTextureMemoryUsage(), 0);
    {
        // A texture that outlives its engine starts afresh with the next one.
        Obj<Texture2D> survivor = Generated(Picture(4, 2, 2));
        Draw(survivor, 2, 2);
        m_Engine = nullptr; // the old engine goes before the new one starts
        m_Engine = StartEngine();
        Draw(survivor, 2, 2);
        EXPECT_EQ(m_Engine->GetRenderStatistics()->GetTextureMemoryCount(), 1);
    }
}
