#include "quorlix/render/RenderChannel.h"

#include <cmath>

namespace Quorlix {

RenderChannel* RenderChannel::Create() {
    return NewObject<RenderChannel>();
}
const TypeInfo* RenderChannel::GetRenderChannelTypeInfo() noexcept {
    return &TypeOf<RenderChannel>();
}
RenderChannel::~RenderChannel() = default;

namespace {

float Unit(float v) noexcept {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; // NaN fails both tests: 0
}

} // namespace

void RenderChannel::SetViewport(const Vector4f& viewport) noexcept {
    const float x0 = Unit(viewport.GetX());
    const float x1 = Unit(viewport.GetY());
    const float y0 = Unit(viewport.GetZ());
    const float y1 = Unit(viewport.GetW());
    m_Viewport = Vector4f(x0, x1 < x0 ? x0 : x1, y0, y1 < y0 ? y0 : y1);
}

void RenderChannel::SetClipping(const Vector2f& clipping) noexcept {
    const float given = clipping.GetX();
    const float near = given >= k_MinNear ? given : k_MinNear; // NaN: the least
    // Against the raised near, so that setting a stored value again changes nothing (a file
    // written from the channel reads back the same).
    float far = clipping.GetY();
    if (!(far >= near))
        far = near;
    m_Clipping = Vector2f(near, far);
}

RenderClearBlock RenderChannel::GetClearBlock() const noexcept {
    RenderClearBlock b;
    b.m_ColorClearEnable = m_ColorClearEnable;
    b.m_ColorClearValue = m_ColorClearValue;
    b.m_AlphaClearEnable = m_AlphaClearEnable;
    b.m_AlphaClearValue = m_AlphaClearValue;
    b.m_DepthClearEnable = m_DepthClearEnable;
    b.m_DepthClearValue = m_DepthClearValue;
    b.m_StencilClearEnable = m_StencilClearEnable;
    b.m_StencilClearValue = m_StencilClearValue;
    b.m_BufferBackgroundColorIndex = m_BufferBackgroundColorIndex;
    b.m_BufferBackgroundDepthStencilIndex = m_BufferBackgroundDepthStencilIndex;
    return b;
}

} // namespace Quorlix
