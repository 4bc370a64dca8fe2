#include "quorlix/widget/internal/WidgetText.h"

#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/widget/WidgetStyle.h"

#include <cmath>

namespace Quorlix {

namespace {

template <class T>
T* As(ScriptObject* object, int c) noexcept {
    return object != nullptr && !object->IsNil() && object->IsA(BuiltinTypeID(c))
               ? static_cast<T*>(object)
               : nullptr;
}

float Finite(float v) noexcept {
    return std::isfinite(v) ? v : 0.0f;
}

} // namespace

Texture* TextureOfShader(ScriptObject* object) noexcept {
    auto* shader = As<RenderShader>(object, k_ClassRenderShader);
    if (shader == nullptr)
        return nullptr;
    ScriptObject* surface = shader->m_Surface.Get();
    if (auto* phong = As<ShaderPhong>(surface, k_ClassShaderPhong))
        surface = phong->m_Color.Get();
    auto* texture = As<ShaderTexture>(surface, k_ClassShaderTexture);
    return texture != nullptr ? As<Texture>(texture->m_Texture.Get(), k_ClassTexture) : nullptr;
}

FontTexture2D* FontTextureOf(const FontStyle* style) noexcept {
    return style != nullptr
               ? As<FontTexture2D>(TextureOfShader(style->m_FontShader.Get()), k_ClassFontTexture2D)
               : nullptr;
}

float FontScale(const FontStyle& style, const FontTexture2D& font) noexcept {
    const float pixels = font.m_CharacterSize.GetY();
    return pixels > 0.0f ? Finite(style.m_FontSize.GetY()) / pixels : 0.0f;
}

Vector2f MeasureText(const FontStyle* style, const StringRef& text) {
    if (style == nullptr)
        return Vector2f(0, 0);
    const float height = Finite(style->m_FontSize.GetY());
    const float fixed = Finite(style->m_FontSize.GetX());
    const int n = text.Size();
    if (fixed != 0.0f)
        return Vector2f(fixed * static_cast<float>(n), height);
    FontTexture2D* font = FontTextureOf(style);
    if (font == nullptr)
        return Vector2f(0, height);
    font->MakeGeneratedImage(); // the glyph table, made once
    const float scale = FontScale(*style, *font);
    float width = 0.0f;
    for (int i = 0; i < n; ++i)
        width += static_cast<float>(font->GetGlyph(static_cast<unsigned char>(text[i])).m_Advance);
    return Vector2f(width * scale, height);
}

} // namespace Quorlix
