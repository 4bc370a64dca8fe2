#include "quorlix/render/RenderPipe.h"

namespace Quorlix {

RenderPipe* RenderPipe::Create() {
    return NewObject<RenderPipe>();
}
const TypeInfo* RenderPipe::GetRenderPipeTypeInfo() noexcept {
    return &TypeOf<RenderPipe>();
}
RenderPipe::~RenderPipe() = default;

} // namespace Quorlix
