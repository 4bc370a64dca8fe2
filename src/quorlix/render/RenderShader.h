#pragma once
// RenderShader (class "RenderShader", -3966): the drawing state of a geometry: its surface, its
// draw layer and the fixed-function switches.

#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/Shader.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RenderShader : public Object {
public:
    static RenderShader* Create();
    static const TypeInfo* GetRenderShaderTypeInfo() noexcept;

    RenderShader() noexcept = default;
    ~RenderShader() override;

    Obj<ShaderExpression> m_Surface;
    /// One of the 64 draw layers, drawn in ascending order; layers 32 to 47 are depth-sorted.
    int32_t m_MultiDrawLayer = 16;
    bool m_LightEnable = true;
    bool m_DepthTestEnable = true;
    bool m_CullEnable = true;
    bool m_DepthWriteEnable = true;
    Vector2f m_DepthBias{0, 0};
};

} // namespace Quorlix
