#include "quorlix/render/Shader.h"

namespace Quorlix {

ShaderExpression* ShaderExpression::Create() {
    return NewObject<ShaderExpression>();
}
const TypeInfo* ShaderExpression::GetShaderExpressionTypeInfo() noexcept {
    return &TypeOf<ShaderExpression>();
}
ShaderExpression::~ShaderExpression() = default;

ShaderPhong* ShaderPhong::Create() {
    return NewObject<ShaderPhong>();
}
const TypeInfo* ShaderPhong::GetShaderPhongTypeInfo() noexcept {
    return &TypeOf<ShaderPhong>();
}
ShaderPhong::~ShaderPhong() = default;

ShaderTexture* ShaderTexture::Create() {
    return NewObject<ShaderTexture>();
}
const TypeInfo* ShaderTexture::GetShaderTextureTypeInfo() noexcept {
    return &TypeOf<ShaderTexture>();
}
ShaderTexture::~ShaderTexture() = default;

ShaderLayer* ShaderLayer::Create() {
    return NewObject<ShaderLayer>();
}
const TypeInfo* ShaderLayer::GetShaderLayerTypeInfo() noexcept {
    return &TypeOf<ShaderLayer>();
}
ShaderLayer::~ShaderLayer() = default;

} // namespace Quorlix
