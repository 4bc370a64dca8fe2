#pragma once
// RenderPipe (class "RenderPipe", -3968): describes an output (window or full screen, pixel
// format, buffer counts, texture settings). For now it holds the script members; the window and
// the render engine it will own come with the frame loop, and so do the setters that act on an
// existing window.

#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RenderPipe : public Object {
public:
    /// A new pipe with the default format (640 x 480 window, 16-bit colour and depth).
    static RenderPipe* Create();
    static const TypeInfo* GetRenderPipeTypeInfo() noexcept;

    RenderPipe() noexcept = default;
    ~RenderPipe() override;

    String m_RenderEngineType{"Auto"};
    bool m_Fullscreen = false;
    Vector2f m_Resolution{640, 480};
    float m_RefreshRate = 70.0f; // full-screen only; 0 means any
    int32_t m_SwapInterval = 0;
    int32_t m_ColorBits = 16;
    int32_t m_AlphaBits = 0;
    int32_t m_DepthBits = 16;
    int32_t m_StencilBits = 0;
    int32_t m_BufferBackColorCount = 1;
    int32_t m_BufferBackgroundColorCount = 0;
    int32_t m_BufferBackgroundDepthStencilCount = 0;
    bool m_BufferFrontColorAccessEnable = false;
    bool m_BufferBackColorAccessEnable = false;
    bool m_BufferBackDepthStencilAccessEnable = false;
    bool m_WindowBorderEnable = true;
    Vector2f m_WindowPosition{0, 0};
    String m_WindowTitle;
    int32_t m_EnableTexture = 1;
    int32_t m_EnableTextureThread = 1;
    int32_t m_MaxTextureUnit = 8;
    bool m_WindowVisibility = true;
    float m_TextureLoadTimeLimit = -1.0f; // seconds per frame; negative means no budget
    String m_ImagePath{"Images/"};
    bool m_WindowResizeable = true;
    bool m_WindowMaximize = false;
    int32_t m_MaxTextureSizeShift = 0;
};

} // namespace Quorlix
