#pragma once
// RenderMaterial (class "RenderMaterial", -3959): the colours of the fixed-function lighting.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

class QUORLIX_API RenderMaterial : public Object {
public:
    static RenderMaterial* Create();
    static const TypeInfo* GetRenderMaterialTypeInfo() noexcept;

    RenderMaterial() noexcept = default;
    ~RenderMaterial() override;

    Vector3f m_AmbientColor{0.8f, 0.8f, 0.8f};
    Vector3f m_DiffuseColor{0.8f, 0.8f, 0.8f};
    Vector3f m_SpecularColor{0, 0, 0};
    Vector3f m_EmissionColor{0, 0, 0};
    float m_Shininess = 20.0f;
    float m_Transparency = 0.0f;
};

} // namespace Quorlix
