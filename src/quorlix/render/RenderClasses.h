#pragma once
// Registration of the render, shader, material and texture classes and of their enumerations.
// The library's start-up calls these, in its fixed order, from InitializeSceneClasses.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// RenderPipe, RenderChannel, RenderShader.
QUORLIX_API void BindRenderClasses();
/// ShaderExpression, ShaderPhong, ShaderTexture, ShaderLayer.
QUORLIX_API void BindShaderClasses();
/// Texture, Texture2D, TileTexture2D, FontTexture2D.
QUORLIX_API void BindTextureClasses();
QUORLIX_API void BindRenderMaterialClass();
/// Texture2D.WrapModeEnum.
QUORLIX_API void BindRenderEnumerations();

} // namespace Quorlix
