#include "quorlix/render/Texture.h"

namespace Quorlix {

Texture* Texture::Create() {
    return NewObject<Texture>();
}
const TypeInfo* Texture::GetTextureTypeInfo() noexcept {
    return &TypeOf<Texture>();
}
Texture::~Texture() = default;

Texture2D* Texture2D::Create() {
    return NewObject<Texture2D>();
}
const TypeInfo* Texture2D::GetTexture2DTypeInfo() noexcept {
    return &TypeOf<Texture2D>();
}
Texture2D::~Texture2D() = default;

TileTexture2D* TileTexture2D::Create() {
    return NewObject<TileTexture2D>();
}
const TypeInfo* TileTexture2D::GetTileTexture2DTypeInfo() noexcept {
    return &TypeOf<TileTexture2D>();
}
TileTexture2D::~TileTexture2D() = default;

FontTexture2D* FontTexture2D::Create() {
    return NewObject<FontTexture2D>();
}
const TypeInfo* FontTexture2D::GetFontTexture2DTypeInfo() noexcept {
    return &TypeOf<FontTexture2D>();
}
FontTexture2D::FontTexture2D() : m_CharacterMap(k_PrintableASCII) {}
FontTexture2D::~FontTexture2D() = default;

} // namespace Quorlix
