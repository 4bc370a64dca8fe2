#include "quorlix/render/RenderPipe.h"

#include "quorlix/script/internal/ScriptLog.h"

namespace Quorlix {

RenderPipe* RenderPipe::Create() {
    return NewObject<RenderPipe>();
}
const TypeInfo* RenderPipe::GetRenderPipeTypeInfo() noexcept {
    return &TypeOf<RenderPipe>();
}
RenderPipe::~RenderPipe() = default;

bool RenderPipe::GetClientArea(int& x, int& y, int& width, int& height) const {
    if (m_Window == nullptr) {
        if (!m_RenderEngine) {
            Internal::LogScriptError("RenderPipe::GetClientArea: no window.");
            return false;
        }
        x = 0;
        y = 0;
        width = static_cast<int>(m_Resolution.GetX());
        height = static_cast<int>(m_Resolution.GetY());
        return true;
    }
    // The window's own area arrives with the window code.
    return false;
}

int RenderPipe::IsReadyToDraw() const noexcept {
    return m_RenderEngine && !m_Destroyed ? 1 : 0;
}

RenderPipeFormat RenderPipe::GetFormat() const {
    RenderPipeFormat f;
    f.m_Fullscreen = m_Fullscreen;
    f.m_Width = static_cast<int32_t>(m_Resolution.GetX());
    f.m_Height = static_cast<int32_t>(m_Resolution.GetY());
    f.m_RefreshRate = static_cast<int32_t>(m_RefreshRate);
    f.m_SwapInterval = m_SwapInterval;
    f.m_ColorBits = m_ColorBits;
    f.m_AlphaBits = m_AlphaBits;
    f.m_DepthBits = m_DepthBits;
    f.m_StencilBits = m_StencilBits;
    f.m_BufferBackColorCount = m_BufferBackColorCount;
    f.m_BufferBackgroundColorCount = m_BufferBackgroundColorCount;
    f.m_BufferBackgroundDepthStencilCount = m_BufferBackgroundDepthStencilCount;
    f.m_BufferFrontColorAccessEnable = m_BufferFrontColorAccessEnable;
    f.m_BufferBackColorAccessEnable = m_BufferBackColorAccessEnable;
    f.m_BufferBackDepthStencilAccessEnable = m_BufferBackDepthStencilAccessEnable;
    return f;
}

RenderTextureSettings RenderPipe::GetTextureSettings() const {
    RenderTextureSettings t;
    t.m_EnableTexture = m_EnableTexture;
    t.m_EnableTextureThread = m_EnableTextureThread;
    t.m_MaxTextureUnit = m_MaxTextureUnit;
    t.m_TextureLoadTimeLimit = m_TextureLoadTimeLimit;
    t.m_ImagePath = m_ImagePath;
    t.m_MaxTextureSizeShift = m_MaxTextureSizeShift;
    return t;
}

} // namespace Quorlix
