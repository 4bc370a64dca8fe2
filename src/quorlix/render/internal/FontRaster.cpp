#include "quorlix/render/internal/FontRaster.h"

#include <ft2build.h>

#include <fontconfig/fontconfig.h>
#include <freetype/freetype.h>
#include <freetype/ftsynth.h>

#include <cctype>
#include <cstring>

namespace Quorlix::Internal {

struct FontRaster::Face {
    FT_Library m_Library = nullptr;
    FT_Face m_Face = nullptr;
    // Styles the matched file lacks, made from its outlines.
    bool m_Embolden = false;

    ~Face() {
        if (m_Face != nullptr)
            FT_Done_Face(m_Face);
        if (m_Library != nullptr)
            FT_Done_FreeType(m_Library);
    }
};

namespace {

bool SameName(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The slot's glyph as 8-bit coverage, rows top-down (gray or one-bit bitmaps).
void CopyBitmap(const FT_Bitmap& bitmap, GlyphImage& out) {
    out.m_Width = static_cast<int>(bitmap.width);
    out.m_Rows = static_cast<int>(bitmap.rows);
    out.m_Coverage.assign(static_cast<size_t>(out.m_Width) * static_cast<size_t>(out.m_Rows), 0);
    const int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int r = 0; r < out.m_Rows; ++r) {
        // A negative pitch stores the bottom row first.
        const unsigned char* row =
            bitmap.buffer + static_cast<size_t>(bitmap.pitch < 0 ? out.m_Rows - 1 - r : r) * pitch;
        uint8_t* dest = out.m_Coverage.data() + static_cast<size_t>(r) * out.m_Width;
        for (int c = 0; c < out.m_Width; ++c) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                dest[c] = (row[c >> 3] & (0x80 >> (c & 7))) != 0 ? 255 : 0;
            else
                dest[c] = row[c];
        }
    }
}

} // namespace

FontRaster::FontRaster() = default;
FontRaster::~FontRaster() = default;

bool FontRaster::Open(const char* familyUtf8, int weight, bool italic, int cellHeight) {
    m_Face.reset();
    m_Families.clear();
    m_Family.clear();
    m_Ascender = 0;
    if (cellHeight < 1 || FcInit() == FcFalse)
        return false;

    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(familyUtf8 != nullptr ? familyUtf8 : ""));
    const int fcWeight = weight == 0 ? FC_WEIGHT_REGULAR : FcWeightFromOpenType(weight);
    FcPatternAddInteger(pattern, FC_WEIGHT, fcWeight);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;

    std::string file;
    int index = 0;
    int slant = FC_SLANT_ROMAN;
    int matchedWeight = FC_WEIGHT_REGULAR;
    FcChar8* text = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch)
        file = reinterpret_cast<const char*>(text);
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &text) == FcResultMatch; ++i)
        m_Families.emplace_back(reinterpret_cast<const char*>(text));
    (void)FcPatternGetInteger(match, FC_INDEX, 0, &index);
    (void)FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    (void)FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
    FcPatternDestroy(match);
    if (file.empty())
        return false;

    auto face = std::make_unique<Face>();
    if (FT_Init_FreeType(&face->m_Library) != 0 ||
        FT_New_Face(face->m_Library, file.c_str(), index, &face->m_Face) != 0)
        return false;
    // Cell height as the system fonts count it: ascender to descender.
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = static_cast<FT_Long>(cellHeight) * 64;
    if (FT_Request_Size(face->m_Face, &request) != 0)
        return false;
    if (italic && slant == FC_SLANT_ROMAN) {
        // The slant FreeType's own oblique style uses (about 12 degrees).
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Set_Transform(face->m_Face, &shear, nullptr);
    }
    face->m_Embolden = weight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD;
    m_Ascender = static_cast<int>((face->m_Face->size->metrics.ascender + 63) >> 6);
    m_Family = m_Families.empty() ? std::string() : m_Families.front();
    m_Face = std::move(face);
    return true;
}

bool FontRaster::HasFamily(const char* familyUtf8) const {
    if (familyUtf8 == nullptr)
        return false;
    for (const std::string& family : m_Families)
        if (SameName(family, familyUtf8))
            return true;
    return false;
}

FontRaster::GlyphStatus FontRaster::Measure(char32_t codePoint, int& advance) {
    advance = 0;
    if (!m_Face)
        return GlyphStatus::RenderFailed;
    FT_Face face = m_Face->m_Face;
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (index == 0)
        return GlyphStatus::Missing;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0)
        return GlyphStatus::RenderFailed;
    if (m_Face->m_Embolden)
        FT_GlyphSlot_Embolden(face->glyph);
    advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    return GlyphStatus::Ok;
}

FontRaster::GlyphStatus FontRaster::Render(char32_t codePoint, GlyphImage& out) {
    out = GlyphImage{};
    int advance = 0;
    const GlyphStatus status = Measure(codePoint, advance);
    if (status != GlyphStatus::Ok)
        return status;
    FT_GlyphSlot slot = m_Face->m_Face->glyph;
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return GlyphStatus::RenderFailed;
    if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY &&
        slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
        return GlyphStatus::RenderFailed;
    CopyBitmap(slot->bitmap, out);
    out.m_Left = slot->bitmap_left;
    out.m_Top = slot->bitmap_top;
    out.m_Advance = advance;
    return GlyphStatus::Ok;
}

} // namespace Quorlix::Internal
