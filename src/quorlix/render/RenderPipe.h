#pragma once
// RenderPipe (class "RenderPipe", -3968): describes an output (window or full screen, pixel
// format, buffer counts, texture settings) and owns the window and the render engine that draws
// into it. ApplyFormat makes both from the members. A host may hand the pipe a window of its own
// (AttachWindow), which the pipe draws into and never destroys, or attach an engine of its own
// (the null engine, say) without a window.
//
// Window input reaches the pipe through PumpWindowEvents: mouse and user messages go to its
// InputTracker, typed characters and special keys to its key queue, and closing or destroying
// the window raises flags the host reads. Everything here runs on the thread that runs the
// window system (the host's).

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/InputTracker.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

namespace Platform {
struct WindowEvent;
}

class QUORLIX_API RenderPipe : public Object {
public:
    /// Makes the engine of a type (RenderEngine::Create's signature); ApplyFormat uses it.
    using EngineFactory = RenderEngine* (*)(int32_t type);
    /// Key codes kept; further keys are dropped until the host takes some.
    static constexpr int k_KeyQueueCapacity = 256;

    /// A new pipe with the default format (640 x 480 window, 16-bit colour and depth).
    static RenderPipe* Create();
    static const TypeInfo* GetRenderPipeTypeInfo() noexcept;

    RenderPipe() noexcept = default;
    /// Shuts the window down (DeInitializeWindow).
    ~RenderPipe() override;

    /// Re-creates window and engine from the members: DeInitializeWindow, InitializeWindow (its
    /// failure is returned as it is), then the engine of RenderEngineType ("DirectX" and
    /// "DirectX8" type 2; "Auto", "OpenGL", "OpenGL1.2", "OpenGL1.3" type 1; anything else type
    /// 1 after a warning), initialised on the window with GetFormat and GetTextureSettings. -1
    /// when no engine of the type exists; the engine's own failure code when it does not
    /// initialise. A failed engine is released: the pipe then has its window and no engine.
    int ApplyFormat();
    /// Makes the window from the members, or takes the attached host window; full screen
    /// searches the display modes first (its log lines and retries are those of
    /// Internal::FindFullscreenMode). SOK, or -1 after logging "CreateWindow failed: ",
    /// "ChangeDisplaySettings failed: " or the search's failure. A window the pipe already has
    /// is kept (SOK).
    int InitializeWindow();
    /// Releases the engine (warning "RenderPipe_D::DeInitializeWindow: m_RenderEngine.GetRef is "
    /// and the count when others still hold it), restores the display mode, and destroys the
    /// window when the pipe made it. A host window stays attached for the next InitializeWindow.
    void DeInitializeWindow();
    /// Has the pipe draw into `window`, which the host made with Platform::CreateWindow and
    /// keeps alive until it detaches it (null) or the pipe reports it destroyed. Shuts the
    /// current window down first; the next InitializeWindow or ApplyFormat takes it.
    void AttachWindow(Platform::Window* window);
    /// The window drawn into; null before InitializeWindow and after the window is gone.
    Platform::Window* GetWindow() const noexcept { return m_Window; }

    /// The engine; null until ApplyFormat or AttachRenderEngine.
    RenderEngine* GetRenderEngine() const noexcept { return m_RenderEngine.Get(); }
    /// Attaches `engine` (initialised by the caller; null detaches) without a window: the client
    /// area is then the Resolution member. Replaces the previous engine.
    void AttachRenderEngine(RenderEngine* engine) noexcept { m_RenderEngine = engine; }
    /// Replaces RenderEngine::Create for this pipe's ApplyFormat (null restores it): hosts and
    /// tests that bring an engine of their own.
    void SetRenderEngineFactory(EngineFactory factory) noexcept { m_EngineFactory = factory; }
    /// The window's client area in pixels. Without a window but with an attached engine it is
    /// (0, 0, Resolution); with neither, the error "RenderPipe::GetClientArea: no window." is
    /// logged and the values are left as they are. Returns whether the area was set.
    bool GetClientArea(int& x, int& y, int& width, int& height) const;
    /// Positive when drawing is possible: an engine exists and the window (if any) is neither
    /// destroyed nor minimised.
    int IsReadyToDraw() const noexcept;

    /// The pixel format and texture settings blocks built from the members.
    RenderPipeFormat GetFormat() const;
    RenderTextureSettings GetTextureSettings() const;

    /// Hands every pending window event to the pipe whose window it is, without waiting.
    /// Returns the number of events handed to a pipe (events of other windows are dropped).
    static int PumpWindowEvents();
    /// The same, then hands each event with its pipe to `observer` (widget input listens so).
    using WindowEventObserver = void (*)(RenderPipe& pipe, const Platform::WindowEvent& event,
                                         void* context);
    static int PumpWindowEvents(WindowEventObserver observer, void* context);
    /// Handles one event of this pipe's window (PumpWindowEvents calls it; a host that reads
    /// events itself may too).
    void HandleWindowEvent(const Platform::WindowEvent& event);

    /// Key codes of typed characters (their Windows-1252 byte) and special keys (PackKeyName:
    /// "F1" to "F12", "PGUP", "PGDN", "END", "HOME", "CSLF", "CSUP", "CSRT", "CSDN", "INS",
    /// "DEL"), oldest first. Pop and Peek answer 0 when the queue is empty.
    int GetKeyCount() const noexcept { return m_KeyCount; }
    uint32_t PeekKey() const noexcept;
    uint32_t PopKey() noexcept;
    /// Up to four characters packed from the lowest byte up ("F1" is 'F' | '1' << 8).
    static uint32_t PackKeyName(const char* name) noexcept;
    /// The key code a window event's key is queued as: a typed character's byte, the packed
    /// name of a special key, the control character of an editing key (backspace 8, tab 9,
    /// return 13, escape 27); 0 for events that queue no key.
    static uint32_t KeyCodeOf(const Platform::WindowEvent& event) noexcept;

    InputTracker& GetInputTracker() noexcept { return m_InputTracker; }
    const InputTracker& GetInputTracker() const noexcept { return m_InputTracker; }
    /// Raised when the user asks to close the window (which stays); the host decides.
    bool IsCloseRequested() const noexcept { return m_CloseRequested; }
    void ResetCloseRequested() noexcept { m_CloseRequested = false; }
    /// Raised when the window was destroyed by someone else; a new window clears it.
    bool IsWindowDestroyed() const noexcept { return m_Destroyed; }
    /// Whether the destruction of the window also closes the pipe (engine released, display
    /// mode restored); on by default.
    bool GetCloseWithWindow() const noexcept { return m_CloseWithWindow; }
    void SetCloseWithWindow(bool close) noexcept { m_CloseWithWindow = close; }

    // Setters that act on an existing window at once; without one they only store.
    bool GetWindowVisibility() const noexcept { return m_WindowVisibility; }
    void SetWindowVisibility(bool visible);
    bool GetWindowMaximize() const noexcept { return m_WindowMaximize; }
    void SetWindowMaximize(bool maximize);
    bool GetWindowResizeable() const noexcept { return m_WindowResizeable; }
    void SetWindowResizeable(bool resizeable);
    const String& GetWindowTitle() const noexcept { return m_WindowTitle; }
    void SetWindowTitle(const String& title);
    /// Resolution and WindowPosition keep whole numbers (cut toward zero; NaN gives 0, values
    /// beyond +-1048576 stop there). Windowed, the window is resized and moved: a size larger
    /// than the desktop is cut to it and the window maximised. Full screen, ApplyFormat runs.
    const Vector2f& GetResolution() const noexcept { return m_Resolution; }
    void SetResolution(const Vector2f& resolution);
    const Vector2f& GetWindowPosition() const noexcept { return m_WindowPosition; }
    void SetWindowPosition(const Vector2f& position);
    // The texture settings: each stores its value and hands the whole block to the engine.
    int32_t GetEnableTexture() const noexcept { return m_EnableTexture; }
    void SetEnableTexture(int32_t value);
    int32_t GetEnableTextureThread() const noexcept { return m_EnableTextureThread; }
    void SetEnableTextureThread(int32_t value);
    int32_t GetMaxTextureUnit() const noexcept { return m_MaxTextureUnit; }
    void SetMaxTextureUnit(int32_t value);
    float GetTextureLoadTimeLimit() const noexcept { return m_TextureLoadTimeLimit; }
    void SetTextureLoadTimeLimit(float value);
    const String& GetImagePath() const noexcept { return m_ImagePath; }
    void SetImagePath(const String& value);
    int32_t GetMaxTextureSizeShift() const noexcept { return m_MaxTextureSizeShift; }
    void SetMaxTextureSizeShift(int32_t value);

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
    void ApplyWindowPlacement();
    void UpdateTextureSettings();
    void PushKey(uint32_t code) noexcept;
    void ForgetWindow();

    Obj<RenderEngine> m_RenderEngine;
    EngineFactory m_EngineFactory = nullptr;
    Platform::Window* m_Window = nullptr;     // the window drawn into; null when none
    Platform::Window* m_HostWindow = nullptr; // a window the host attached (never destroyed)
    bool m_DisplayModeChanged = false;        // m_Window was switched to full screen
    uintptr_t m_WindowToken = 0;              // user data of a window the pipe made
    RenderPipe* m_NextWithWindow = nullptr;   // the next pipe that has a window
    bool m_Destroyed = false;
    bool m_CloseRequested = false;
    bool m_CloseWithWindow = true;
    InputTracker m_InputTracker;
    uint32_t m_Keys[k_KeyQueueCapacity] = {};
    int m_KeyHead = 0;
    int m_KeyCount = 0;
};

} // namespace Quorlix
