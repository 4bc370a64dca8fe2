#include "quorlix/render/RenderShader.h"

namespace Quorlix {

RenderShader* RenderShader::Create() {
    return NewObject<RenderShader>();
}
const TypeInfo* RenderShader::GetRenderShaderTypeInfo() noexcept {
    return &TypeOf<RenderShader>();
}
RenderShader::~RenderShader() = default;

} // namespace Quorlix
