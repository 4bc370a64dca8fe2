#pragma once
// Text of labels and text fields: the font texture behind a font style and the extent of a
// line in it. Layout and drawing measure alike, so a label grown to its text fits it exactly.

#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"

namespace Quorlix {

class FontStyle;
class FontTexture2D;
class ScriptObject;
class Texture;

/// The texture a render shader draws with: its surface's ShaderTexture, directly or as the
/// colour of a Phong surface. Null for anything else.
Texture* TextureOfShader(ScriptObject* shader) noexcept;

/// The font texture of a style's FontShader: the shader's surface texture, or the colour
/// texture of a Phong surface. Null when the style, shader or texture is missing or of another
/// kind.
FontTexture2D* FontTextureOf(const FontStyle* style) noexcept;

/// The horizontal scale from font-image pixels to virtual units: FontSize.y over the glyph
/// height the image was made with.
float FontScale(const FontStyle& style, const FontTexture2D& font) noexcept;

/// The width and height of `text` drawn in `style` (FontSize.y high; each character FontSize.x
/// wide, or its advance in the font image scaled when FontSize.x is 0). Zero without a style;
/// a style without a font texture measures FontSize.x per character.
Vector2f MeasureText(const FontStyle* style, const StringRef& text);

} // namespace Quorlix
