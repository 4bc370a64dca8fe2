#include "quorlix/render/RenderChannel.h"

namespace Quorlix {

RenderChannel* RenderChannel::Create() {
    return NewObject<RenderChannel>();
}
const TypeInfo* RenderChannel::GetRenderChannelTypeInfo() noexcept {
    return &TypeOf<RenderChannel>();
}
RenderChannel::~RenderChannel() = default;

} // namespace Quorlix
