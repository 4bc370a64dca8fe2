#pragma once
// The surface descriptions a RenderShader refers to: ShaderExpression (-3965) is their base,
// ShaderPhong (-3964) a lit surface, ShaderTexture (-3963) a texture lookup, ShaderLayer
// (-3962) a stack of expressions.

#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/Texture.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API ShaderExpression : public Object {
public:
    static ShaderExpression* Create();
    static const TypeInfo* GetShaderExpressionTypeInfo() noexcept;

    ShaderExpression() noexcept = default;
    ~ShaderExpression() override;
};

class QUORLIX_API ShaderPhong : public ShaderExpression {
public:
    static ShaderPhong* Create();
    static const TypeInfo* GetShaderPhongTypeInfo() noexcept;

    ShaderPhong() noexcept = default;
    ~ShaderPhong() override;

    // The inputs of the lighting model; nil when unused.
    Obj<ScriptObject> m_Color;
    Obj<ScriptObject> m_Ambient;
    Obj<ScriptObject> m_Bump;
    Obj<ScriptObject> m_Reflection;
    Obj<ScriptObject> m_Material;
};

class QUORLIX_API ShaderTexture : public ShaderExpression {
public:
    static ShaderTexture* Create();
    static const TypeInfo* GetShaderTextureTypeInfo() noexcept;

    ShaderTexture() noexcept = default;
    ~ShaderTexture() override;

    Obj<Texture> m_Texture;
    int32_t m_TexCoordSource = 0; // the vertex-data pass that supplies the coordinates
    Obj<ScriptObject> m_TexCoordTransform;
};

class QUORLIX_API ShaderLayer : public ShaderExpression {
public:
    static ShaderLayer* Create();
    static const TypeInfo* GetShaderLayerTypeInfo() noexcept;

    ShaderLayer() noexcept = default;
    ~ShaderLayer() override;

    /// The layered expressions in order; elements are never null (nil stands for none).
    Array<Obj<ScriptObject>> m_Layer;
};

} // namespace Quorlix
