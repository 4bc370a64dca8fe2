// FontTexture2D's image: the character map rendered through FontRaster and laid out in cells.

#include "quorlix/platform/Locale.h"
#include "quorlix/platform/internal/Text1252.h"
#include "quorlix/render/Texture.h"
#include "quorlix/render/internal/FontRaster.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace Quorlix {

namespace {

constexpr int k_MaxFontImageSize = 8192;
constexpr const char* k_FallbackFamily = "DejaVu Sans";

// `value` truncated into [low, high]; NaN gives 0 clamped.
int Saturate(float value, int low, int high) {
    if (std::isnan(value))
        value = 0.0f;
    return static_cast<int>(std::clamp(value, static_cast<float>(low), static_cast<float>(high)));
}

int RoundSaturate(float value, int low, int high) {
    return Saturate(std::isnan(value) ? 0.0f : std::round(value), low, high);
}

void LogLocale() {
    const Platform::LocaleSettings locale = Platform::GetLocaleSettings();
    Internal::LogScript(&LogStream::pLockInfo,
                        "UserDefaultLanguage: ", locale.m_UserLanguage.c_str());
    Internal::LogScript(&LogStream::pLockInfo, "UserDefaultLocale: ", locale.m_UserLocale.c_str());
    Internal::LogScript(&LogStream::pLockInfo,
                        "SystemDefaultLanguage: ", locale.m_SystemLanguage.c_str());
    Internal::LogScript(&LogStream::pLockInfo,
                        "SystemDefaultLocale: ", locale.m_SystemLocale.c_str());
    Internal::LogScript(&LogStream::pLockInfo, "ThreadLocale: ", locale.m_ThreadLocale.c_str());
}

const char* Hex(unsigned char code, char (&text)[4]) {
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}

// Two-channel pixels (luminance, alpha), source-over: `lum` with alpha `coverage` over the
// pixel at `p`.
void Over(unsigned char* p, int lum, int coverage) {
    if (coverage == 0)
        return;
    const int destAlpha = p[1] * (255 - coverage);      // scaled by 255
    const int outAlpha255 = coverage * 255 + destAlpha; // scaled by 255
    const int outLum = (lum * coverage * 255 + p[0] * destAlpha + outAlpha255 / 2) / outAlpha255;
    p[0] = static_cast<unsigned char>(outLum);
    p[1] = static_cast<unsigned char>((outAlpha255 + 127) / 255);
}

// Cell geometry shared by every character of one image.
struct Layout {
    int m_Width = 0; // image
    int m_Height = 0;
    int m_CellHeight = 0;
    int m_FixedWidth = 0;
    int m_DistanceX = 0;
    int m_DistanceY = 0;
    int m_ShadowX = 0;
    int m_ShadowY = 0;
    int m_Ascender = 0;
};

// Draws `glyph` with its pen at the cell's origin plus (dx, dy), clipped to the cell.
void DrawGlyph(Image& image, const Layout& layout, const FontTexture2D::Glyph& cell,
               const Internal::GlyphImage& glyph, int dx, int dy, int lum) {
    const int penX = cell.m_X + dx;
    const int penY = cell.m_Y + dy + layout.m_Ascender;
    unsigned char* data = image.GetData();
    for (int r = 0; r < glyph.m_Rows; ++r) {
        const int y = penY - glyph.m_Top + r;
        if (y < cell.m_Y || y >= cell.m_Y + cell.m_Height)
            continue;
        // Image rows are stored bottom-up.
        unsigned char* row = data + static_cast<size_t>(layout.m_Height - 1 - y) *
                                        static_cast<size_t>(layout.m_Width) * 2;
        for (int c = 0; c < glyph.m_Width; ++c) {
            const int x = penX + glyph.m_Left + c;
            if (x < cell.m_X || x >= cell.m_X + cell.m_Width)
                continue;
            Over(row + static_cast<size_t>(x) * 2, lum,
                 glyph.m_Coverage[static_cast<size_t>(r) * glyph.m_Width + c]);
        }
    }
}

} // namespace

bool FontTexture2D::CreateFontImage() {
    LogLocale();
    for (Glyph& glyph : m_Glyphs)
        glyph = Glyph{};
    m_FaceName = String();

    Layout layout;
    layout.m_Width = Saturate(m_ImageSize.GetX(), 0, k_MaxFontImageSize);
    layout.m_Height = Saturate(m_ImageSize.GetY(), 0, k_MaxFontImageSize);
    layout.m_CellHeight = Saturate(m_CharacterSize.GetY(), 1, k_MaxFontImageSize);
    layout.m_FixedWidth = Saturate(m_CharacterSize.GetX(), 0, k_MaxFontImageSize);
    layout.m_DistanceX = Saturate(m_CharacterDistance.GetX(), 0, k_MaxFontImageSize);
    layout.m_DistanceY = Saturate(m_CharacterDistance.GetY(), 0, k_MaxFontImageSize);
    layout.m_ShadowX = RoundSaturate(m_FakeShadow.GetX(), -k_MaxFontImageSize, k_MaxFontImageSize);
    layout.m_ShadowY = RoundSaturate(m_FakeShadow.GetY(), -k_MaxFontImageSize, k_MaxFontImageSize);
    const float weight = std::isnan(m_FontWeight) ? 0.0f : m_FontWeight;
    const int fontWeight = weight == 0.0f ? 0 : Saturate(weight, 100, 900);
    const bool italic = !std::isnan(m_FontItalic) && m_FontItalic != 0.0f;

    Internal::FontRaster raster;
    const std::string asked = Internal::Windows1252ToUtf8(m_FontName.GetCPtr());
    const bool opened = raster.Open(asked.c_str(), fontWeight, italic, layout.m_CellHeight);
    if (!opened || !raster.HasFamily(asked.c_str())) {
        if (asked != k_FallbackFamily) {
            Internal::LogScript(&LogStream::pLockNote, "FontTexture2D: font \"", m_FontName,
                                "\" not found, using \"", k_FallbackFamily, "\".");
        }
        if (!raster.Open(k_FallbackFamily, fontWeight, italic, layout.m_CellHeight)) {
            Internal::LogScriptError("CreateFont(\"", m_FontName, "\"): WindowsError: #1.");
            m_GeneratedImage = Image::Create();
            return false;
        }
    }
    m_FaceName = String(Internal::Utf8ToWindows1252(raster.GetFamily().c_str()).c_str());
    layout.m_Ascender = raster.GetAscender();

    Obj<Image> image(Image::Create());
    if (!image->Allocate(2, layout.m_Width, layout.m_Height, 0))
        return false;
    unsigned char* data = image->GetData();
    for (size_t i = 0; i < static_cast<size_t>(layout.m_Width) * layout.m_Height; ++i) {
        data[2 * i] = 255;
        data[2 * i + 1] = 0;
    }

    const int offsetX = std::max(0, -layout.m_ShadowX);
    const int offsetY = std::max(0, -layout.m_ShadowY);
    const int64_t rowHeight = int64_t{layout.m_CellHeight} + std::abs(layout.m_ShadowY);
    int64_t x = 0;
    int64_t y = 0;
    bool fits = true;
    const unsigned char* map = reinterpret_cast<const unsigned char*>(m_CharacterMap.GetCPtr());
    const int count = m_CharacterMap.Size();
    char hex[4];
    Internal::GlyphImage glyph;
    for (int i = 0; i < count; ++i) {
        const unsigned char code = map[i];
        const char32_t codePoint = Internal::Windows1252CodePoint(code);
        if (code < 0x20 || code == 0x7F || codePoint == 0) {
            Internal::LogScriptWarn("FontTexture2D: character code 0x", Hex(code, hex),
                                    " in the character map skipped (no printable character).");
            continue;
        }
        if (m_Glyphs[code].m_Height != 0)
            continue; // a repeated character keeps its first cell
        const Internal::FontRaster::GlyphStatus status = raster.Render(codePoint, glyph);
        if (status != Internal::FontRaster::GlyphStatus::Ok) {
            const char* which = status == Internal::FontRaster::GlyphStatus::Missing ? "1" : "2";
            Internal::LogScriptError("GetGlyphOutline(", which, "): Font ", m_FaceName,
                                     " does not support character code 0x", Hex(code, hex));
            continue;
        }
        // A proportional cell holds just the ink, so that a full character set fits; the
        // pen's offset to it is kept for drawing text.
        const bool proportional = layout.m_FixedWidth == 0;
        const int64_t cellWidth = int64_t{proportional ? glyph.m_Width : layout.m_FixedWidth} +
                                  std::abs(layout.m_ShadowX);
        if (x > 0 && x + cellWidth > layout.m_Width) {
            x = 0;
            y += rowHeight + layout.m_DistanceY;
        }
        if (x + cellWidth > layout.m_Width || y + rowHeight > layout.m_Height) {
            fits = false;
            Internal::LogScriptError("FONT ERROR. FontTexture2D: the character map of \"",
                                     m_FontName, "\" does not fit the ", layout.m_Width, " x ",
                                     layout.m_Height, " image; character code 0x", Hex(code, hex),
                                     " and those after it left out.");
            break;
        }
        const int inkX = proportional ? glyph.m_Left : 0;
        Glyph& cell = m_Glyphs[code];
        cell = Glyph{static_cast<int>(x),         static_cast<int>(y), static_cast<int>(cellWidth),
                     static_cast<int>(rowHeight), glyph.m_Advance,     inkX - offsetX};
        if (layout.m_ShadowX != 0 || layout.m_ShadowY != 0)
            DrawGlyph(*image, layout, cell, glyph, offsetX - inkX + layout.m_ShadowX,
                      offsetY + layout.m_ShadowY, 0);
        DrawGlyph(*image, layout, cell, glyph, offsetX - inkX, offsetY, 255);
        x += cellWidth + layout.m_DistanceX;
    }
    m_GeneratedImage = image;
    return fits;
}

void FontTexture2D::MakeGeneratedImage() {
    if (!m_GeneratedImage)
        (void)CreateFontImage();
}

} // namespace Quorlix
