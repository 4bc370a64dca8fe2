#pragma once
// A font face for glyph images: fontconfig picks the face file for a family, weight and slant;
// FreeType renders each glyph to 8-bit coverage. Neither library's headers leave FontRaster.cpp.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Quorlix::Internal {

/// One rendered glyph: coverage rows top-down, placed relative to the pen on the baseline.
struct GlyphImage {
    int m_Width = 0;
    int m_Rows = 0;
    /// From the pen to the bitmap's left column (may be negative).
    int m_Left = 0;
    /// From the baseline up to the bitmap's top row.
    int m_Top = 0;
    /// Horizontal advance in whole pixels.
    int m_Advance = 0;
    std::vector<uint8_t> m_Coverage; // m_Width * m_Rows bytes
};

class FontRaster {
public:
    enum class GlyphStatus { Ok, Missing, RenderFailed };

    FontRaster();
    ~FontRaster();
    FontRaster(const FontRaster&) = delete;
    FontRaster& operator=(const FontRaster&) = delete;

    /// Opens the face that fontconfig matches for `familyUtf8`, `weight` (0 normal, else
    /// 100-900 as in OpenType) and `italic`, scaled so that ascender to descender spans
    /// `cellHeight` pixels (1 and more). False when no face could be opened at all.
    bool Open(const char* familyUtf8, int weight, bool italic, int cellHeight);
    /// The family that fontconfig matched for the last Open (the face's first family name).
    const std::string& GetFamily() const noexcept { return m_Family; }
    /// Whether `familyUtf8` is one of the open face's family names (any case).
    bool HasFamily(const char* familyUtf8) const;
    /// Pixels from the top of a cell down to the baseline.
    int GetAscender() const noexcept { return m_Ascender; }

    /// The advance of `codePoint` in whole pixels without rendering it.
    GlyphStatus Measure(char32_t codePoint, int& advance);
    /// Renders `codePoint` into `out`.
    GlyphStatus Render(char32_t codePoint, GlyphImage& out);

private:
    struct Face;
    std::unique_ptr<Face> m_Face;
    std::vector<std::string> m_Families;
    std::string m_Family;
    int m_Ascender = 0;
};

} // namespace Quorlix::Internal
