#include "quorlix/render/RenderMaterial.h"

namespace Quorlix {

RenderMaterial* RenderMaterial::Create() {
    return NewObject<RenderMaterial>();
}
const TypeInfo* RenderMaterial::GetRenderMaterialTypeInfo() noexcept {
    return &TypeOf<RenderMaterial>();
}
RenderMaterial::~RenderMaterial() = default;

} // namespace Quorlix
