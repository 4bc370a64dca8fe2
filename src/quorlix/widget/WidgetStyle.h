#pragma once
// The looks of widgets: frame styles, font styles and tile collections. They are plain data
// that widgets refer to; many widgets may share one.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

/// Glyphs: the font shader (whose texture is a font texture), their size in virtual units
/// (height y; width x, or proportional to the glyph cells when x is 0) and a drop shadow.
class QUORLIX_API FontStyle : public Object {
public:
    static FontStyle* Create();
    static const TypeInfo* GetFontStyleTypeInfo() noexcept;
    FontStyle() noexcept = default;
    ~FontStyle() override;

    Obj<ScriptObject> m_FontShader;
    Vector2f m_FontSize{0, 32};
    Vector3f m_ShadowOffset{0, 0, 0};
    Vector4f m_ShadowColor{0, 0, 0, 1};
};

/// Frames: the shader whose texture the frame is drawn with, the frame colour of each state,
/// and with nine TileSelectArray entries on a tile texture, the border pieces and their sizes.
class QUORLIX_API WidgetStyle : public Object {
public:
    static WidgetStyle* Create();
    static const TypeInfo* GetWidgetStyleTypeInfo() noexcept;
    WidgetStyle() noexcept = default;
    ~WidgetStyle() override;

    Obj<ScriptObject> m_WidgetShader;
    Obj<FontStyle> m_FontStyle;
    Vector4f m_InactiveFrameColor{1, 1, 1, 1};
    Vector4f m_DefaultFrameColor{1, 1, 1, 1};
    Vector4f m_DisableFrameColor{1, 1, 1, 1};
    Vector4f m_EnableFrameColor{1, 1, 1, 1};
    Vector4f m_FocusFrameColor{1, 1, 1, 1};
    Array<int32_t> m_TileSelectArray;
    int32_t m_FocusFrameTileOffset = 0;
    Vector3f m_BorderWidthMin{0, 0, 0};
    Vector3f m_BorderWidthMax{0, 0, 0};
    Vector3f m_BorderOverlapMin{0, 0, 0};
    Vector3f m_BorderOverlapMax{0, 0, 0};
};

/// Named tiles: tile i is drawn with ShaderArray[i] in ColorArray[i], showing tile
/// TileSelectArray[i] of the shader's tile texture. Arrays of different lengths hold as many
/// tiles as the shortest.
class QUORLIX_API TileCollection : public Object {
public:
    static TileCollection* Create();
    static const TypeInfo* GetTileCollectionTypeInfo() noexcept;
    TileCollection() noexcept = default;
    ~TileCollection() override;

    int TileCount() const noexcept;

    Array<Obj<ScriptObject>> m_ShaderArray;
    Array<Vector4f> m_ColorArray;
    Array<int32_t> m_TileSelectArray;
    Array<String> m_NameArray;
};

} // namespace Quorlix
