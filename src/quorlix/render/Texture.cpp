#include "quorlix/render/Texture.h"

#include "quorlix/render/internal/TextureRelease.h"

namespace Quorlix {

Texture* Texture::Create() {
    return NewObject<Texture>();
}
const TypeInfo* Texture::GetTextureTypeInfo() noexcept {
    return &TypeOf<Texture>();
}
// Any thread may drop the last reference; GL names are deleted by their engine on the thread
// of its context, so the name only goes on the list here.
Texture::~Texture() {
    if (m_EngineTexture != 0)
        Internal::ListReleasedTexture(m_EngineTexture, m_EngineOwner);
}

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
