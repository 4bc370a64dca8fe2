#include "quorlix/platform/Window.h"

#include "quorlix/platform/Process.h"
#include "quorlix/platform/internal/Text1252.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <array>
#include <cstring>
#include <mutex>
#include <string>

namespace Quorlix::Platform {

class Window {
public:
    SDL_Window* m_Sdl = nullptr;
    void* m_UserData = nullptr;
};

namespace {

constexpr const char* k_WindowDataName = "Quorlix.Window";

std::mutex G_VideoLock;
int G_VideoCount = 0;
thread_local std::string G_LastError;

void SetError(const char* text) {
    G_LastError = text != nullptr ? text : "";
}

// Events made here rather than by SDL (destruction, one per byte of typed text) wait in a
// small ring until PollWindowEvent hands them out; a full ring drops the newest.
struct PendingEvents {
    std::array<WindowEvent, 64> m_Ring;
    size_t m_Head = 0;
    size_t m_Count = 0;

    void Push(const WindowEvent& event) {
        if (m_Count < m_Ring.size())
            m_Ring[(m_Head + m_Count++) % m_Ring.size()] = event;
    }
    bool Pop(WindowEvent& event) {
        if (m_Count == 0)
            return false;
        event = m_Ring[m_Head];
        m_Head = (m_Head + 1) % m_Ring.size();
        --m_Count;
        return true;
    }
};
PendingEvents G_Pending;
uint32_t G_Held = 0; // mouse buttons held, as the translated events tell

Window* WindowOf(uint32_t sdlId) {
    SDL_Window* sdl = SDL_GetWindowFromID(sdlId);
    return sdl != nullptr ? static_cast<Window*>(SDL_GetWindowData(sdl, k_WindowDataName))
                          : nullptr;
}

uint32_t ButtonOf(uint8_t sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return WindowEvent::ButtonLeft;
    case SDL_BUTTON_RIGHT:
        return WindowEvent::ButtonRight;
    case SDL_BUTTON_MIDDLE:
        return WindowEvent::ButtonMiddle;
    case SDL_BUTTON_X1:
        return WindowEvent::ButtonX1;
    case SDL_BUTTON_X2:
        return WindowEvent::ButtonX2;
    default:
        return 0;
    }
}

uint32_t ButtonMaskOf(uint32_t sdlState) {
    uint32_t mask = 0;
    if ((sdlState & SDL_BUTTON_LMASK) != 0)
        mask |= WindowEvent::ButtonLeft;
    if ((sdlState & SDL_BUTTON_RMASK) != 0)
        mask |= WindowEvent::ButtonRight;
    if ((sdlState & SDL_BUTTON_MMASK) != 0)
        mask |= WindowEvent::ButtonMiddle;
    if ((sdlState & SDL_BUTTON_X1MASK) != 0)
        mask |= WindowEvent::ButtonX1;
    if ((sdlState & SDL_BUTTON_X2MASK) != 0)
        mask |= WindowEvent::ButtonX2;
    return mask;
}

uint32_t KeyOf(SDL_Keycode key) {
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return WindowEvent::KeyF1 + static_cast<uint32_t>(key - SDLK_F1);
    switch (key) {
    case SDLK_PAGEUP:
        return WindowEvent::KeyPageUp;
    case SDLK_PAGEDOWN:
        return WindowEvent::KeyPageDown;
    case SDLK_END:
        return WindowEvent::KeyEnd;
    case SDLK_HOME:
        return WindowEvent::KeyHome;
    case SDLK_LEFT:
        return WindowEvent::KeyCursorLeft;
    case SDLK_UP:
        return WindowEvent::KeyCursorUp;
    case SDLK_RIGHT:
        return WindowEvent::KeyCursorRight;
    case SDLK_DOWN:
        return WindowEvent::KeyCursorDown;
    case SDLK_INSERT:
        return WindowEvent::KeyInsert;
    case SDLK_DELETE:
        return WindowEvent::KeyDelete;
    case SDLK_BACKSPACE:
        return WindowEvent::KeyBackspace;
    case SDLK_TAB:
        return WindowEvent::KeyTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return WindowEvent::KeyReturn;
    case SDLK_ESCAPE:
        return WindowEvent::KeyEscape;
    default:
        return WindowEvent::KeyOther;
    }
}

// Fills `out` from one SDL event; false for events that mean nothing here.
bool Translate(const SDL_Event& e, WindowEvent& out) {
    out = WindowEvent{};
    out.m_Time = e.common.timestamp;
    switch (e.type) {
    case SDL_MOUSEWHEEL: {
        out.m_Kind = WindowEvent::MouseWheel;
        out.m_Window = WindowOf(e.wheel.windowID);
        const int sign = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        out.m_X = sign * e.wheel.x;
        out.m_Y = sign * e.wheel.y;
        out.m_ButtonMask = G_Held;
        if (out.m_X == 0 && out.m_Y == 0)
            return false;
        break;
    }
    case SDL_MOUSEMOTION:
        out.m_Kind = WindowEvent::MouseMove;
        out.m_Window = WindowOf(e.motion.windowID);
        out.m_X = e.motion.x;
        out.m_Y = e.motion.y;
        out.m_ButtonMask = ButtonMaskOf(e.motion.state);
        G_Held = out.m_ButtonMask;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        out.m_Button = ButtonOf(e.button.button);
        if (out.m_Button == 0)
            return false;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        out.m_Kind = !down                  ? WindowEvent::MouseUp
                     : e.button.clicks == 2 ? WindowEvent::MouseDoubleClick
                                            : WindowEvent::MouseDown;
        out.m_Window = WindowOf(e.button.windowID);
        out.m_X = e.button.x;
        out.m_Y = e.button.y;
        // The buttons held as of this event, from the events so far: the mouse state now may
        // be ahead of a queued event.
        G_Held = down ? G_Held | out.m_Button : G_Held & ~out.m_Button;
        out.m_ButtonMask = G_Held;
        break;
    }
    case SDL_KEYDOWN:
        out.m_Kind = WindowEvent::KeyDown;
        out.m_Window = WindowOf(e.key.windowID);
        out.m_Code = KeyOf(e.key.keysym.sym);
        break;
    case SDL_TEXTINPUT: {
        Window* window = WindowOf(e.text.windowID);
        if (window == nullptr)
            return false;
        // Typed characters the code page lacks are dropped rather than typed as '?'.
        const std::string bytes = Internal::Utf8ToWindows1252(e.text.text, '\0');
        for (char byte : bytes) {
            WindowEvent c;
            c.m_Kind = WindowEvent::Character;
            c.m_Window = window;
            c.m_UserData = window->m_UserData;
            c.m_Code = static_cast<unsigned char>(byte);
            c.m_Time = e.text.timestamp;
            G_Pending.Push(c);
        }
        return false; // handed out from the ring
    }
    case SDL_WINDOWEVENT:
        out.m_Window = WindowOf(e.window.windowID);
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            out.m_Kind = WindowEvent::Close;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            out.m_Kind = WindowEvent::Resized;
            out.m_X = e.window.data1;
            out.m_Y = e.window.data2;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            out.m_Kind = WindowEvent::Exposed;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out.m_Kind = WindowEvent::FocusLost;
            G_Held = 0;
            break;
        default:
            return false;
        }
        break;
    default:
        return false;
    }
    if (out.m_Window == nullptr)
        return false;
    out.m_UserData = out.m_Window->m_UserData;
    return true;
}

void SplitColorBits(int colorBits, int& red, int& green, int& blue) {
    if (colorBits <= 16) {
        red = 5;
        green = 6;
        blue = 5;
    } else {
        red = green = blue = 8;
    }
}

// Keeps the GL driver's modules loaded for the life of the process once a context exists. The
// window system closes its GL and EGL libraries when the video stops, and drivers keep state
// past their close: reloading one is a known way to crash it, and the memory it left behind
// would read as leaks of a library that is gone.
void PinGLDriverModules() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name == nullptr || name[0] == '\0')
                return 0;
            for (const char* part :
                 {"/libGL.so", "/libGLX", "/libEGL", "/libglapi", "/libgallium", "_dri.so"})
                if (std::strstr(name, part) != nullptr) {
                    dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE); // never closed
                    break;
                }
            return 0;
        },
        nullptr);
}

} // namespace

bool StartVideo(const char* driver) {
    std::lock_guard<std::mutex> lock(G_VideoLock);
    if (G_VideoCount > 0) {
        ++G_VideoCount;
        return true;
    }
    std::string chosen = driver != nullptr ? driver : "";
    if (chosen.empty()) {
        if (!GetEnvironmentVariable("DISPLAY").empty())
            chosen = "x11";
        else if (GetEnvironmentVariable("WAYLAND_DISPLAY").empty())
            chosen = "offscreen"; // without a display SDL would try (and complain about) each
    }
    // The hint must be set explicitly: SDL's own order tries Wayland first and reports its
    // failure even when a later driver works.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, chosen.empty() ? nullptr : chosen.c_str());
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SetError(SDL_GetError());
        return false;
    }
    ++G_VideoCount;
    return true;
}

void StopVideo() {
    std::lock_guard<std::mutex> lock(G_VideoLock);
    if (G_VideoCount == 0 || --G_VideoCount > 0)
        return;
    G_Pending = PendingEvents{};
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

const char* GetVideoDriverName() {
    const char* name = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : nullptr;
    return name != nullptr ? name : "";
}

bool DisplayExists() {
    return !GetEnvironmentVariable("DISPLAY").empty() ||
           !GetEnvironmentVariable("WAYLAND_DISPLAY").empty();
}

int GetDisplayModeCount() {
    const int count = SDL_GetNumDisplayModes(0);
    return count > 0 ? count : 0;
}

bool GetDisplayMode(int index, DisplayMode& mode) {
    SDL_DisplayMode m{};
    if (index < 0 || index >= GetDisplayModeCount() || SDL_GetDisplayMode(0, index, &m) != 0)
        return false;
    mode = DisplayMode{m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate};
    return true;
}

bool GetDesktopMode(DisplayMode& mode) {
    SDL_DisplayMode m{};
    if (SDL_GetDesktopDisplayMode(0, &m) != 0) {
        SetError(SDL_GetError());
        return false;
    }
    mode = DisplayMode{m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate};
    return true;
}

Window* CreateWindow(const WindowDesc& desc) {
    if (desc.m_Width <= 0 || desc.m_Height <= 0) {
        SetError("window size must be positive");
        return nullptr;
    }
    int red = 0;
    int green = 0;
    int blue = 0;
    SplitColorBits(desc.m_ColorBits, red, green, blue);
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, desc.m_AlphaBits > 0 ? desc.m_AlphaBits : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, desc.m_DepthBits > 0 ? desc.m_DepthBits : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, desc.m_StencilBits > 0 ? desc.m_StencilBits : 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, desc.m_DoubleBuffer ? 1 : 0);

    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= desc.m_Visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    if (!desc.m_Border)
        flags |= SDL_WINDOW_BORDERLESS;
    if (desc.m_Resizable)
        flags |= SDL_WINDOW_RESIZABLE;
    if (desc.m_Maximized)
        flags |= SDL_WINDOW_MAXIMIZED;
    if (desc.m_Fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN;
    const std::string title = Internal::Windows1252ToUtf8(desc.m_Title);
    SDL_Window* sdl =
        SDL_CreateWindow(title.c_str(), desc.m_X, desc.m_Y, desc.m_Width, desc.m_Height, flags);
    if (sdl == nullptr) {
        SetError(SDL_GetError());
        return nullptr;
    }
    // A GL window has loaded the driver already; it goes with the last GL window otherwise.
    PinGLDriverModules();
    Window* window = new Window{sdl, desc.m_UserData};
    SDL_SetWindowData(sdl, k_WindowDataName, window);
    return window;
}

void DestroyWindow(Window* window) {
    if (window == nullptr)
        return;
    WindowEvent gone;
    gone.m_Kind = WindowEvent::Destroyed;
    gone.m_Window = window;
    gone.m_UserData = window->m_UserData;
    SDL_DestroyWindow(window->m_Sdl);
    G_Pending.Push(gone); // before the delete: the event only compares the pointer's value
    delete window;
}

const char* LastWindowError() {
    return G_LastError.c_str();
}

void ShowWindow(Window* window) {
    SDL_ShowWindow(window->m_Sdl);
}
void HideWindow(Window* window) {
    SDL_HideWindow(window->m_Sdl);
}
void MaximizeWindow(Window* window) {
    SDL_MaximizeWindow(window->m_Sdl);
}
void RestoreWindow(Window* window) {
    SDL_RestoreWindow(window->m_Sdl);
}
void SetWindowTitle(Window* window, const char* title) {
    SDL_SetWindowTitle(window->m_Sdl, Internal::Windows1252ToUtf8(title).c_str());
}
void SetWindowSize(Window* window, int width, int height) {
    if (width > 0 && height > 0)
        SDL_SetWindowSize(window->m_Sdl, width, height);
}
void SetWindowPosition(Window* window, int x, int y) {
    SDL_SetWindowPosition(window->m_Sdl, x, y);
}
void SetWindowResizable(Window* window, bool resizable) {
    SDL_SetWindowResizable(window->m_Sdl, resizable ? SDL_TRUE : SDL_FALSE);
}

bool ChangeDisplayMode(Window* window, const DisplayMode& mode) {
    SDL_DisplayMode wanted{};
    wanted.w = mode.m_Width;
    wanted.h = mode.m_Height;
    wanted.refresh_rate = mode.m_RefreshRate;
    SDL_DisplayMode closest{};
    const int display = SDL_GetWindowDisplayIndex(window->m_Sdl);
    if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &closest) == nullptr ||
        SDL_SetWindowDisplayMode(window->m_Sdl, &closest) != 0 ||
        SDL_SetWindowFullscreen(window->m_Sdl, SDL_WINDOW_FULLSCREEN) != 0) {
        SetError(SDL_GetError());
        return false;
    }
    return true;
}

void RestoreDisplayMode(Window* window) {
    if (window != nullptr)
        SDL_SetWindowFullscreen(window->m_Sdl, 0);
}

bool GetClientArea(const Window* window, int& x, int& y, int& width, int& height) {
    if (window == nullptr)
        return false;
    x = 0;
    y = 0;
    SDL_GL_GetDrawableSize(window->m_Sdl, &width, &height);
    return true;
}

bool IsWindowMinimized(const Window* window) {
    return window != nullptr && (SDL_GetWindowFlags(window->m_Sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

void* GetWindowUserData(const Window* window) {
    return window != nullptr ? window->m_UserData : nullptr;
}

uint32_t GetWindowSystemId(const Window* window) {
    return window != nullptr && window->m_Sdl != nullptr ? SDL_GetWindowID(window->m_Sdl) : 0;
}

GLContext* CreateGLContext(Window* window) {
    if (window == nullptr)
        return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(window->m_Sdl);
    if (context == nullptr)
        SetError(SDL_GetError());
    else
        PinGLDriverModules();
    return static_cast<GLContext*>(context);
}

bool MakeGLContextCurrent(Window* window, GLContext* context) {
    if (SDL_GL_MakeCurrent(window != nullptr ? window->m_Sdl : nullptr, context) != 0) {
        SetError(SDL_GetError());
        return false;
    }
    return true;
}

void DeleteGLContext(GLContext* context) {
    if (context != nullptr)
        SDL_GL_DeleteContext(context);
}

GLContext* GetCurrentGLContext() {
    return static_cast<GLContext*>(SDL_GL_GetCurrentContext());
}

void SwapWindow(Window* window) {
    if (window != nullptr)
        SDL_GL_SwapWindow(window->m_Sdl);
}

bool SetSwapInterval(int interval) {
    if (SDL_GL_SetSwapInterval(interval) != 0) {
        SetError(SDL_GetError());
        return false;
    }
    return true;
}

int GetSwapInterval() {
    return SDL_GL_GetSwapInterval();
}

bool GetGLSurfaceFormat(GLSurfaceFormat& format) {
    if (SDL_GL_GetCurrentContext() == nullptr)
        return false;
    int doubleBuffer = 0;
    int accelerated = 0;
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &format.m_RedBits);
    SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &format.m_GreenBits);
    SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &format.m_BlueBits);
    SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &format.m_AlphaBits);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &format.m_DepthBits);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &format.m_StencilBits);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
    SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &accelerated);
    format.m_DoubleBuffer = doubleBuffer != 0;
    format.m_Accelerated = accelerated != 0;
    return true;
}

GLLibrary* OpenGLLibrary(const char* fileName) {
    // RTLD_NODELETE: the library outlives every close, and sanitizers do not see the driver
    // modules it pulled in as leaks of an unloaded library.
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* error = dlerror();
        SetError(error != nullptr ? error : "dlopen failed");
    }
    return static_cast<GLLibrary*>(handle);
}

void* FindGLLibrarySymbol(GLLibrary* library, const char* name) {
    return library != nullptr && name != nullptr ? dlsym(library, name) : nullptr;
}

void* GetGLProcAddress(const char* name) {
    return name != nullptr ? SDL_GL_GetProcAddress(name) : nullptr;
}

const char* GetWindowSystemExtensions() {
    // Only libraries SDL has loaded already are asked (RTLD_NOLOAD): EGL for the offscreen and
    // Wayland drivers, GLX for x11. The string stays valid while the display is open.
    const char* result = nullptr;
    if (void* egl = dlopen("libEGL.so.1", RTLD_LAZY | RTLD_NOLOAD)) {
        using GetDisplay = void* (*)();
        using Query = const char* (*)(void*, int32_t);
        auto getDisplay = reinterpret_cast<GetDisplay>(dlsym(egl, "eglGetCurrentDisplay"));
        auto query = reinterpret_cast<Query>(dlsym(egl, "eglQueryString"));
        constexpr int32_t k_EglExtensions = 0x3055;
        if (getDisplay != nullptr && query != nullptr)
            if (void* display = getDisplay())
                result = query(display, k_EglExtensions);
        dlclose(egl);
    }
    if (result == nullptr) {
        if (void* glx = dlopen("libGLX.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
            using GetDisplay = void* (*)();
            using Query = const char* (*)(void*, int);
            auto getDisplay = reinterpret_cast<GetDisplay>(dlsym(glx, "glXGetCurrentDisplay"));
            auto query = reinterpret_cast<Query>(dlsym(glx, "glXQueryExtensionsString"));
            if (getDisplay != nullptr && query != nullptr)
                if (void* display = getDisplay())
                    result = query(display, 0);
            dlclose(glx);
        }
    }
    return result != nullptr ? result : "";
}

bool PollWindowEvent(WindowEvent& event) {
    if (G_Pending.Pop(event))
        return true;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
        if (Translate(e, event))
            return true;
        if (G_Pending.Pop(event))
            return true;
    }
    return false;
}

WaitCursor::WaitCursor() noexcept {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    SDL_Cursor* wait = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    if (wait == nullptr)
        return;
    m_Previous = SDL_GetCursor();
    m_Wait = wait;
    SDL_SetCursor(wait);
}

WaitCursor::~WaitCursor() {
    if (m_Wait == nullptr || SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    SDL_SetCursor(static_cast<SDL_Cursor*>(m_Previous));
    SDL_FreeCursor(static_cast<SDL_Cursor*>(m_Wait));
}

} // namespace Quorlix::Platform
