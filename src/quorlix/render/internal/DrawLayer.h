#pragma once
// The draw layer of a geometry: the frame files it there, the null engine reports it.

#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/scene/Geometry.h"

namespace Quorlix::Internal {

constexpr int k_DrawLayers = 64;
constexpr int k_DefaultDrawLayer = 16; // geometry without a shader
// Layers whose records are drawn in ascending order of their depth key.
constexpr int k_FirstSortedLayer = 32;
constexpr int k_LastSortedLayer = 47;

/// The shader's MultiDrawLayer; a value outside 0..63 (a file may carry one) goes to the
/// nearest layer, so a far-off value still draws first or last as meant.
inline int DrawLayerOf(const RenderShader* shader) noexcept {
    if (shader == nullptr)
        return k_DefaultDrawLayer;
    const int32_t layer = shader->m_MultiDrawLayer;
    return layer < 0 ? 0 : layer >= k_DrawLayers ? k_DrawLayers - 1 : layer;
}

/// The geometry's Shader when it is a RenderShader, else null.
inline RenderShader* RenderShaderOf(const TGeometry& geometry) noexcept {
    ScriptObject* shader = geometry.m_Shader.Get();
    if (shader == nullptr || shader->IsNil() || !shader->IsA(BuiltinTypeID(k_ClassRenderShader)))
        return nullptr;
    return static_cast<RenderShader*>(shader);
}

} // namespace Quorlix::Internal
