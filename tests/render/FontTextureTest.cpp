// Font images: every cell holds what FreeType itself renders for its glyph, cells laid out and
// wrapped as the members say, fake shadows under the glyphs, the fallback face, maps that do
// not fit, bytes that are no characters, and the locale lines logged first.

#include "quorlix/library/Library.h"
#include "quorlix/render/Texture.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr const char* k_DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// What FreeType renders for one character, sized by cell height.
struct Reference {
    int m_Ascender = 0;
    int m_Advance = 0;
    int m_Left = 0;
    int m_Top = 0;
    int m_Width = 0;
    int m_Rows = 0;
    std::vector<unsigned char> m_Coverage;

    int At(int x, int y) const {
        return x >= 0 && y >= 0 && x < m_Width && y < m_Rows ? m_Coverage[y * m_Width + x] : 0;
    }
};

Reference RenderWithFreeType(char32_t code, int cellHeight) {
    Reference ref;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Face(library, k_DejaVuSans, 0, &face), 0);
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = cellHeight * 64;
    EXPECT_EQ(FT_Request_Size(face, &request), 0);
    EXPECT_EQ(FT_Load_Char(face, code, FT_LOAD_DEFAULT), 0);
    ref.m_Advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    EXPECT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    ref.m_Ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    ref.m_Left = face->glyph->bitmap_left;
    ref.m_Top = face->glyph->bitmap_top;
    ref.m_Width = static_cast<int>(bitmap.width);
    ref.m_Rows = static_cast<int>(bitmap.rows);
    for (int r = 0; r < ref.m_Rows; ++r)
        for (int c = 0; c < ref.m_Width; ++c)
            ref.m_Coverage.push_back(bitmap.buffer[r * bitmap.pitch + c]);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ref;
}

// Luminance and alpha at (x, y), y counted from the top of the picture.
struct Pixel {
    int m_Lum;
    int m_Alpha;
};
Pixel At(const Image& image, int x, int y) {
    const unsigned char* p =
        image.GetData() + ((image.GetHeight() - 1 - y) * image.GetWidth() + x) * 2;
    return {p[0], p[1]};
}

// Compares the cell of `code` with FreeType's rendering, the pen the cell's offset left of its
// origin; luminance 255 wherever there is coverage. Returns the number of differing pixels.
int CellDifferences(const FontTexture2D& font, unsigned char code, char32_t codePoint,
                    int cellHeight) {
    const FontTexture2D::Glyph& cell = font.GetGlyph(code);
    const Reference ref = RenderWithFreeType(codePoint, cellHeight);
    const Image& image = *font.GetGeneratedImage();
    EXPECT_EQ(cell.m_Advance, ref.m_Advance) << int(code);
    int differences = 0;
    for (int y = 0; y < cell.m_Height; ++y)
        for (int x = 0; x < cell.m_Width; ++x) {
            const int expected =
                ref.At(x + cell.m_OffsetX - ref.m_Left, y - ref.m_Ascender + ref.m_Top);
            const Pixel got = At(image, cell.m_X + x, cell.m_Y + y);
            if (got.m_Alpha != expected || (expected != 0 && got.m_Lum != 255))
                ++differences;
        }
    return differences;
}

class FontTexture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }

    static Obj<FontTexture2D> Font(const char* map, float cellHeight, float imageWidth = 256,
                                   float imageHeight = 256) {
        Obj<FontTexture2D> font(FontTexture2D::Create());
        font->m_FontName = "DejaVu Sans";
        font->m_CharacterMap = map;
        font->m_CharacterSize = Vector2f(0, cellHeight);
        font->m_ImageSize = Vector2f(imageWidth, imageHeight);
        return font;
    }
};

TEST_F(FontTexture, CellsHoldFreeTypesOwnGlyphs) {
    {
        // Proportional cells, each as wide as the glyph's ink, one row, 4 pixels apart.
        Obj<FontTexture2D> font = Font("AgjW", 24);
        ASSERT_TRUE(font->CreateFontImage());
        const Image& image = *font->GetGeneratedImage();
        EXPECT_EQ(image.GetWidth(), 256);
        EXPECT_EQ(image.GetHeight(), 256);
        EXPECT_EQ(image.GetBytesPerPixel(), 2);
        EXPECT_EQ(font->GetFaceName(), String("DejaVu Sans"));
        int x = 0;
        for (char c : std::string("AgjW")) {
            const FontTexture2D::Glyph& cell = font->GetGlyph(static_cast<unsigned char>(c));
            EXPECT_EQ(cell.m_X, x);
            EXPECT_EQ(cell.m_Y, 0);
            const Reference ref = RenderWithFreeType(static_cast<unsigned char>(c), 24);
            EXPECT_EQ(cell.m_Width, ref.m_Width) << c;
            EXPECT_EQ(cell.m_OffsetX, ref.m_Left) << c;
            EXPECT_EQ(cell.m_Height, 24);
            EXPECT_EQ(CellDifferences(*font, static_cast<unsigned char>(c), c, 24), 0) << c;
            x += cell.m_Width + 4;
        }
        // Outside the cells the image is transparent.
        EXPECT_EQ(At(image, 200, 100).m_Alpha, 0);
        EXPECT_EQ(font->GetGlyph('B').m_Height, 0);
    }
    {
        // Fixed cells, wrapped into the next row when one does not fit.
        Obj<FontTexture2D> font = Font("MiWl.", 20, 90, 100);
        font->m_CharacterSize = Vector2f(30, 20);
        font->m_CharacterDistance = Vector2f(5, 3);
        ASSERT_TRUE(font->CreateFontImage());
        const int xs[] = {0, 35, 0, 35, 0};
        const int ys[] = {0, 0, 23, 23, 46};
        int i = 0;
        for (char c : std::string("MiWl.")) {
            const FontTexture2D::Glyph& cell = font->GetGlyph(static_cast<unsigned char>(c));
            EXPECT_EQ(cell.m_X, xs[i]) << c;
            EXPECT_EQ(cell.m_Y, ys[i]) << c;
            EXPECT_EQ(cell.m_Width, 30);
            EXPECT_EQ(cell.m_OffsetX, 0);
            EXPECT_EQ(CellDifferences(*font, static_cast<unsigned char>(c), c, 20), 0) << c;
            ++i;
        }
        // A second visit keeps the image it made.
        Image* first = font->GetGeneratedImage();
        font->MakeGeneratedImage();
        EXPECT_EQ(font->GetGeneratedImage(), first);
    }
}

TEST_F(FontTexture, FakeShadowLiesUnderTheGlyph) {
    Obj<FontTexture2D> font = Font("H", 32);
    font->m_FakeShadow = Vector2f(3, 2);
    ASSERT_TRUE(font->CreateFontImage());
    const FontTexture2D::Glyph& cell = font->GetGlyph('H');
    const Reference ref = RenderWithFreeType('H', 32);
    EXPECT_EQ(cell.m_Width, ref.m_Width + 3);
    EXPECT_EQ(cell.m_OffsetX, ref.m_Left);
    EXPECT_EQ(cell.m_Height, 32 + 2);
    const Image& image = *font->GetGeneratedImage();
    int shadowOnly = 0;
    int glyphFull = 0;
    for (int y = 0; y < cell.m_Height; ++y)
        for (int x = 0; x < cell.m_Width; ++x) {
            const int glyph = ref.At(x, y - ref.m_Ascender + ref.m_Top);
            const int shadow = ref.At(x - 3, y - 2 - ref.m_Ascender + ref.m_Top);
            const Pixel got = At(image, cell.m_X + x, cell.m_Y + y);
            if (glyph == 0 && shadow != 0) {
                ++shadowOnly;
                EXPECT_EQ(got.m_Lum, 0);
                EXPECT_EQ(got.m_Alpha, shadow);
            } else if (glyph == 255) {
                ++glyphFull;
                EXPECT_EQ(got.m_Lum, 255);
                EXPECT_EQ(got.m_Alpha, 255);
            } else if (glyph != 0 && shadow == 255) {
                // Partly covering white over solid black: opaque grey.
                EXPECT_EQ(got.m_Alpha, 255);
                EXPECT_NEAR(got.m_Lum, glyph, 1);
            }
        }
    EXPECT_GT(shadowOnly, 20);
    EXPECT_GT(glyphFull, 20);

    // A shadow to the left moves the glyph right in its cell, and the cell left of the ink.
    font->m_FakeShadow = Vector2f(-2, 0);
    ASSERT_TRUE(font->CreateFontImage());
    EXPECT_EQ(font->GetGlyph('H').m_Width, ref.m_Width + 2);
    EXPECT_EQ(font->GetGlyph('H').m_OffsetX, ref.m_Left - 2);
    const FontTexture2D::Glyph& moved = font->GetGlyph('H');
    for (int r = 0; r < ref.m_Rows; ++r) {
        const int y = moved.m_Y + ref.m_Ascender - ref.m_Top + r;
        // The first column holds only shadow, the last only glyph.
        const Pixel first = At(*font->GetGeneratedImage(), moved.m_X, y);
        const Pixel last = At(*font->GetGeneratedImage(), moved.m_X + moved.m_Width - 1, y);
        EXPECT_EQ(first.m_Alpha, ref.At(0, r));
        EXPECT_EQ(last.m_Alpha, ref.At(ref.m_Width - 1, r));
        EXPECT_TRUE(first.m_Alpha == 0 || first.m_Lum == 0);
        EXPECT_TRUE(last.m_Alpha == 0 || last.m_Lum == 255);
    }
}

TEST_F(FontTexture, DefaultsFitEveryPrintableCharacter) {
    // "Tahoma" at 32 pixels falls back to DejaVu Sans, whose 95 glyphs fill the 256 x 256 image.
    Obj<FontTexture2D> font(FontTexture2D::Create());
    LogCapture log;
    EXPECT_TRUE(font->CreateFontImage());
    EXPECT_EQ(log.Text().find("FONT ERROR."), std::string::npos) << log.Text();
    std::vector<int> owner(256 * 256, 0);
    for (unsigned char c = 0x20; c < 0x7F; ++c) {
        const FontTexture2D::Glyph& cell = font->GetGlyph(c);
        ASSERT_EQ(cell.m_Height, 32) << int(c);
        EXPECT_GT(cell.m_Advance, 0) << int(c);
        EXPECT_EQ(CellDifferences(*font, c, c, 32), 0) << c;
        // No two cells share a pixel.
        for (int y = cell.m_Y; y < cell.m_Y + cell.m_Height; ++y)
            for (int x = cell.m_X; x < cell.m_X + cell.m_Width; ++x) {
                ASSERT_TRUE(x < 256 && y < 256) << c;
                EXPECT_EQ(owner[y * 256 + x], 0) << c << " over " << char(owner[y * 256 + x]);
                owner[y * 256 + x] = c;
            }
    }
    // The blank has no ink, yet moves the pen.
    EXPECT_EQ(font->GetGlyph(' ').m_Width, 0);
    EXPECT_GT(font->GetGlyph(' ').m_Advance, 0);
}

TEST_F(FontTexture, MissingFamilyFallsBackToDejaVuSans) {
    {
        Obj<FontTexture2D> font = Font("a", 16);
        font->m_FontName = "Tahoma";
        LogCapture log;
        EXPECT_TRUE(font->CreateFontImage());
        EXPECT_NE(log.Text().find("\"Tahoma\" not found, using \"DejaVu Sans\""), std::string::npos)
            << log.Text();
        EXPECT_EQ(font->GetFaceName(), String("DejaVu Sans"));
        EXPECT_EQ(CellDifferences(*font, 'a', 'a', 16), 0);
    }
    {
        // The face's own name in any case is no fallback.
        Obj<FontTexture2D> font = Font("a", 16);
        font->m_FontName = "dejavu sans";
        LogCapture log;
        EXPECT_TRUE(font->CreateFontImage());
        EXPECT_EQ(log.Text().find("not found"), std::string::npos) << log.Text();
    }
    {
        // Weight and slant pick other faces of the family, still named after it.
        Obj<FontTexture2D> font = Font("a", 16);
        font->m_FontWeight = 700;
        font->m_FontItalic = 1;
        EXPECT_TRUE(font->CreateFontImage());
        EXPECT_EQ(font->GetFaceName(), String("DejaVu Sans"));
        EXPECT_GT(CellDifferences(*font, 'a', 'a', 16), 0);
    }
}

TEST_F(FontTexture, MapsThatDoNotFitAndSizesOutOfRange) {
    {
        // Room for one row of a few glyphs: those placed stay, the rest are left out.
        Obj<FontTexture2D> font = Font("ABCDEFGH", 20, 60, 30);
        LogCapture log;
        EXPECT_FALSE(font->CreateFontImage());
        EXPECT_NE(log.Text().find("FONT ERROR."), std::string::npos);
        EXPECT_GT(font->GetGlyph('A').m_Height, 0);
        EXPECT_EQ(font->GetGlyph('H').m_Height, 0);
        EXPECT_EQ(CellDifferences(*font, 'A', 'A', 20), 0);
    }
    // NaN image sizes are 0: nothing fits, and the image is empty. Huge sizes saturate at 8192;
    // a glyph that tall does not fit a 40-pixel image. NaN and negative cell, distance and
    // shadow values draw small glyphs, nothing out of bounds.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float m_Cell, m_Width, m_Height;
        Vector2f m_Distance, m_Shadow;
        int m_ImageWidth, m_ImageHeight;
    } cases[] = {
        {20, nan, nan, Vector2f(4, 4), Vector2f(0, 0), 0, 0},
        {1e9f, 1e9f, 40, Vector2f(4, 4), Vector2f(0, 0), 8192, 40},
        {nan, 64, 64, Vector2f(-1e9f, nan), Vector2f(nan, -1e9f), 64, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_ImageWidth);
        Obj<FontTexture2D> font = Font("AB", c.m_Cell, c.m_Width, c.m_Height);
        font->m_CharacterDistance = c.m_Distance;
        font->m_FakeShadow = c.m_Shadow;
        LogCapture log;
        EXPECT_FALSE(font->CreateFontImage());
        EXPECT_NE(log.Text().find("FONT ERROR."), std::string::npos);
        EXPECT_EQ(font->GetGeneratedImage()->GetWidth(), c.m_ImageWidth);
        EXPECT_EQ(font->GetGeneratedImage()->GetHeight(), c.m_ImageHeight);
    }
}

TEST_F(FontTexture, MapBytesAreWindows1252) {
    Obj<FontTexture2D> font = Font("\x01"
                                   "A\x7F\x80\x81\xE9\x9F",
                                   20);
    LogCapture log;
    EXPECT_TRUE(font->CreateFontImage());
    for (const char* skipped : {"0x01", "0x7F", "0x81"})
        EXPECT_NE(log.Text().find(std::string("character code ") + skipped), std::string::npos)
            << skipped << log.Text();
    EXPECT_EQ(font->GetGlyph(0x01).m_Height, 0);
    EXPECT_EQ(font->GetGlyph(0x81).m_Height, 0);
    // 0x80 the euro sign, 0x9F Y with diaeresis, 0xE9 e with acute.
    EXPECT_EQ(CellDifferences(*font, 0x80, U'\u20AC', 20), 0);
    EXPECT_EQ(CellDifferences(*font, 0x9F, U'\u0178', 20), 0);
    EXPECT_EQ(CellDifferences(*font, 0xE9, U'\u00E9', 20), 0);
}

TEST_F(FontTexture, LocaleLinesComeFirst) {
    const std::string savedAll = std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "";
    const std::string savedLang = std::getenv("LANG") ? std::getenv("LANG") : "";
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("LANG", "en_GB.UTF-8", 1);
    Obj<FontTexture2D> font = Font("A", 16);
    font->m_FontName = "Tahoma";
    LogCapture log;
    (void)font->CreateFontImage();
    const std::vector<std::string> messages = log.Messages();
    ASSERT_GE(messages.size(), 6u);
    EXPECT_EQ(messages[0], "[Info ]UserDefaultLanguage: de");
    EXPECT_EQ(messages[1], "[Info ]UserDefaultLocale: de_DE.UTF-8");
    EXPECT_EQ(messages[2], "[Info ]SystemDefaultLanguage: en");
    EXPECT_EQ(messages[3], "[Info ]SystemDefaultLocale: en_GB.UTF-8");
    // The process never chose a locale.
    EXPECT_EQ(messages[4], "[Info ]ThreadLocale: C");
    EXPECT_NE(messages[5].find("Tahoma"), std::string::npos);
    savedAll.empty() ? ::unsetenv("LC_ALL") : ::setenv("LC_ALL", savedAll.c_str(), 1);
    savedLang.empty() ? ::unsetenv("LANG") : ::setenv("LANG", savedLang.c_str(), 1);
}

} // namespace
