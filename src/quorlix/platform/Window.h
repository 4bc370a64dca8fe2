#pragma once
// Windows with OpenGL contexts, display modes and window input, over SDL2. The render pipe and
// the OpenGL engine reach the window system only through these functions.
//
// Video is started once per process (counted); every other function needs it started and
// runs on the thread that started it. Texts are Windows-1252 bytes; they meet SDL as UTF-8.
// The GL library is opened here by file name and its entry points are looked up by name: the
// library never links against it.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix::Platform {

class Window;
struct GLContext;

/// Starts the video system with `driver` ("offscreen" draws into pbuffers without any
/// display, "x11", ...). Null chooses: x11 when DISPLAY is set, the window system's own choice
/// when only WAYLAND_DISPLAY is, otherwise offscreen. Counted: later calls only count (their
/// driver is ignored). False when the driver cannot start; nothing is counted then.
QUORLIX_API bool StartVideo(const char* driver = nullptr);
/// Undoes one StartVideo; the last one stops the video system.
QUORLIX_API void StopVideo();
/// The running video driver's name; "" when video is stopped.
QUORLIX_API const char* GetVideoDriverName();
/// Whether an on-screen display exists (DISPLAY or WAYLAND_DISPLAY is set).
QUORLIX_API bool DisplayExists();

struct QUORLIX_API DisplayMode {
    int m_Width = 0;
    int m_Height = 0;
    int m_Depth = 0;       // bits per pixel
    int m_RefreshRate = 0; // Hz; 0 when the display does not say
};

/// Display modes of the first display (the offscreen driver lists one 0 x 0 mode).
QUORLIX_API int GetDisplayModeCount();
/// False for an index outside 0 .. count - 1.
QUORLIX_API bool GetDisplayMode(int index, DisplayMode& mode);
/// The desktop's mode (the size a window may cover).
QUORLIX_API bool GetDesktopMode(DisplayMode& mode);

/// How a window and its drawing surface are made.
struct QUORLIX_API WindowDesc {
    const char* m_Title = "";
    int m_X = 0;
    int m_Y = 0;
    int m_Width = 640;
    int m_Height = 480;
    bool m_Border = true;
    bool m_Resizable = true;
    bool m_Maximized = false;
    bool m_Visible = true;
    bool m_Fullscreen = false; // takes the display mode set by ChangeDisplayMode
    int m_ColorBits = 16;      // split into red, green and blue as the window system does
    int m_AlphaBits = 0;
    int m_DepthBits = 16;
    int m_StencilBits = 0;
    bool m_DoubleBuffer = true;
    void* m_UserData = nullptr; // handed back with every event of the window
};

/// A new window with a GL-capable surface; null on failure (LastWindowError tells why).
QUORLIX_API Window* CreateWindow(const WindowDesc& desc);
/// Destroys `window` (null is ignored) and queues its WindowEvent::Destroyed.
QUORLIX_API void DestroyWindow(Window* window);
/// The window system's message for the last failure of this layer ("" when none).
QUORLIX_API const char* LastWindowError();

QUORLIX_API void ShowWindow(Window* window);
QUORLIX_API void HideWindow(Window* window);
QUORLIX_API void MaximizeWindow(Window* window);
QUORLIX_API void RestoreWindow(Window* window);
QUORLIX_API void SetWindowTitle(Window* window, const char* title);
QUORLIX_API void SetWindowSize(Window* window, int width, int height);
QUORLIX_API void SetWindowPosition(Window* window, int x, int y);
QUORLIX_API void SetWindowResizable(Window* window, bool resizable);

/// Shows the system's wait cursor for the object's lifetime, then the cursor shown before;
/// nothing while video is not started (headless work has no cursor).
class QUORLIX_API WaitCursor {
public:
    WaitCursor() noexcept;
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    void* m_Previous = nullptr;
    void* m_Wait = nullptr;
};
/// Switches the window to full screen in `mode` (width, height and, when not 0, the refresh
/// rate); false when the display refuses it.
QUORLIX_API bool ChangeDisplayMode(Window* window, const DisplayMode& mode);
/// Leaves full screen and restores the desktop mode.
QUORLIX_API void RestoreDisplayMode(Window* window);
/// The drawable client area: origin (0, 0) and the size in pixels.
QUORLIX_API bool GetClientArea(const Window* window, int& x, int& y, int& width, int& height);
/// Whether the window is minimised (a minimised window has nothing to draw into).
QUORLIX_API bool IsWindowMinimized(const Window* window);
QUORLIX_API void* GetWindowUserData(const Window* window);
/// The window system's identifier of the window (0 for null), for hosts and tests that hand
/// the window events of their own.
QUORLIX_API uint32_t GetWindowSystemId(const Window* window);

/// A context for `window` with the attributes it was made with; null on failure.
QUORLIX_API GLContext* CreateGLContext(Window* window);
/// Makes `context` current on `window` for this thread (both null: none current).
QUORLIX_API bool MakeGLContextCurrent(Window* window, GLContext* context);
QUORLIX_API void DeleteGLContext(GLContext* context);
QUORLIX_API GLContext* GetCurrentGLContext();
/// Shows the back buffer. A no-op on single-buffered surfaces (the offscreen driver's).
QUORLIX_API void SwapWindow(Window* window);
/// Sets the swap interval of the current context; false when the driver refuses (many do:
/// that is not an error for callers).
QUORLIX_API bool SetSwapInterval(int interval);
/// The swap interval of the current context (0 when the driver does not say).
QUORLIX_API int GetSwapInterval();
/// The buffer configuration the surface got: colour, alpha, depth, stencil bits and double
/// buffering, as the current context reports them.
struct QUORLIX_API GLSurfaceFormat {
    int m_RedBits = 0;
    int m_GreenBits = 0;
    int m_BlueBits = 0;
    int m_AlphaBits = 0;
    int m_DepthBits = 0;
    int m_StencilBits = 0;
    bool m_DoubleBuffer = false;
    bool m_Accelerated = false; // the window system's own verdict
};
QUORLIX_API bool GetGLSurfaceFormat(GLSurfaceFormat& format);

struct GLLibrary;
/// Opens the GL library `fileName` ("libGL.so.1"). It is never unloaded: drivers keep state
/// past their close, and reopening one is the usual way to crash them. Null when it does not
/// load (LastWindowError tells why).
QUORLIX_API GLLibrary* OpenGLLibrary(const char* fileName);
/// An entry point exported by the library; null when it has none.
QUORLIX_API void* FindGLLibrarySymbol(GLLibrary* library, const char* name);
/// The window system's lookup of GL entry points. It answers non-null even for names no
/// driver has: decide support from the version and extension strings first.
QUORLIX_API void* GetGLProcAddress(const char* name);
/// The window system's own extension string (EGL or GLX) for the current context; "" when
/// there is none.
QUORLIX_API const char* GetWindowSystemExtensions();

/// Window input, made platform neutral.
struct QUORLIX_API WindowEvent {
    enum Kind : int32_t {
        None,
        MouseMove,
        MouseDown,
        MouseUp,
        MouseDoubleClick,
        Character,  // m_Code: one Windows-1252 byte of the text typed
        KeyDown,    // m_Code: a Key value (KeyOther for keys without one)
        Close,      // the user asked to close the window; it stays until destroyed
        Destroyed,  // m_Window no longer exists: compare it, never use it
        Resized,    // m_X, m_Y: the new client size
        Exposed,    // the window must be redrawn
        FocusLost,  // the mouse and keyboard went to another window
        MouseWheel, // m_X, m_Y: steps right and up (negative: left, down) at the last position
    };
    /// Button values of m_Button and m_ButtonMask.
    enum Button : uint32_t {
        ButtonLeft = 1,
        ButtonRight = 2,
        ButtonMiddle = 4,
        ButtonX1 = 8,
        ButtonX2 = 16,
    };
    enum Key : uint32_t {
        KeyOther,
        KeyF1, // KeyF1 + n is F(n + 1), up to KeyF12
        KeyF12 = KeyF1 + 11,
        KeyPageUp,
        KeyPageDown,
        KeyEnd,
        KeyHome,
        KeyCursorLeft,
        KeyCursorUp,
        KeyCursorRight,
        KeyCursorDown,
        KeyInsert,
        KeyDelete,
        // Editing keys that type no text but a control character.
        KeyBackspace,
        KeyTab,
        KeyReturn,
        KeyEscape,
    };

    Kind m_Kind = None;
    Window* m_Window = nullptr;
    void* m_UserData = nullptr; // the window's WindowDesc::m_UserData
    int m_X = 0;                // mouse position in the client area, or the new size
    int m_Y = 0;
    uint32_t m_Button = 0;     // the button that went down or up
    uint32_t m_ButtonMask = 0; // the buttons held after the event
    uint32_t m_Code = 0;
    uint32_t m_Time = 0; // ms since the video start, as the system stamped the event
};

/// Takes the next pending event without waiting; false when there is none. Events of windows
/// this layer did not make are dropped.
QUORLIX_API bool PollWindowEvent(WindowEvent& event);

} // namespace Quorlix::Platform
