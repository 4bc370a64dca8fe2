#pragma once
// RenderPipe (class "RenderPipe", -3968): describes an output (window or full screen, pixel
// format, buffer counts, texture settings) and owns the window and the render engine that draws
// into it. ApplyFormat makes both from the members. A host that draws elsewhere may attach an
// engine of its own (the null engine, say) without a window.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/RenderEngine.h"
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

    /// The engine; null until ApplyFormat or AttachRenderEngine.
    RenderEngine* GetRenderEngine() const noexcept { return m_RenderEngine.Get(); }
    /// Attaches `engine` (initialised by the caller; null detaches) without a window: the client
    /// area is then the Resolution member. Replaces the previous engine.
    void AttachRenderEngine(RenderEngine* engine) noexcept { m_RenderEngine = engine; }
    /// The window's client area in pixels. Without a window but with an attached engine it is
    /// (0, 0, Resolution); with neither, the error "RenderPipe::GetClientArea: no window." is
    /// logged and the values are left as they are. Returns whether the area was set.
    bool GetClientArea(int& x, int& y, int& width, int& height) const;
    /// Positive when drawing is possible: an engine exists and the window (if any) is neither
    /// destroyed nor minimised to nothing.
    int IsReadyToDraw() const noexcept;

    /// The pixel format and texture settings blocks built from the members.
    RenderPipeFormat GetFormat() const;
    RenderTextureSettings GetTextureSettings() const;

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

protected:
    Obj<RenderEngine> m_RenderEngine;
    Platform::Window* m_Window = nullptr; // owned; null until a window is made
    bool m_Destroyed = false;
};

} // namespace Quorlix
