#include "quorlix/render/RenderPipe.h"

#include "quorlix/core/Result.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/internal/FullscreenMode.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace Quorlix {

namespace {

// Pipes that have a window, linked through m_NextWithWindow, so that window events find their
// pipe. A window the pipe made carries a token in its user data that is never used twice: an
// event that arrives after its window (or pipe) is gone finds nobody instead of a successor at
// the same address. Host windows carry the host's user data and are found by address.
RenderPipe* G_WindowPipes = nullptr;
uintptr_t G_LastWindowToken = 0;

constexpr float k_MaxCoordinate = 1048576.0f;
// Display-mode lists come from the driver; a list longer than this is not believed.
constexpr int k_MaxDisplayModes = 4096;

const char* const k_SpecialKeyNames[] = {
    "F1",  "F2",   "F3",   "F4",  "F5",   "F6",   "F7",   "F8",   "F9",   "F10", "F11",
    "F12", "PGUP", "PGDN", "END", "HOME", "CSLF", "CSUP", "CSRT", "CSDN", "INS", "DEL",
};
static_assert(std::size(k_SpecialKeyNames) ==
              Platform::WindowEvent::KeyDelete - Platform::WindowEvent::KeyF1 + 1);

float Whole(float value) {
    if (std::isnan(value))
        return 0.0f;
    return std::trunc(std::fmax(-k_MaxCoordinate, std::fmin(value, k_MaxCoordinate)));
}

int ToInt(float value) {
    return static_cast<int>(Whole(value));
}

template <class... Parts>
void LogInfo(const Parts&... parts) {
    Internal::LogScript(&LogStream::pLockInfo, parts...);
}

// The system's text of a window-layer failure, quoted, after `what`.
void LogWindowError(const char* what) {
    Internal::LogScriptError(what, "\"", Platform::LastWindowError(), "\".");
}

int32_t EngineTypeOf(const String& name) {
    const char* text = name.GetCPtr();
    if (std::strcmp(text, "DirectX") == 0 || std::strcmp(text, "DirectX8") == 0)
        return RenderEngine::TypeDirectX8;
    for (const char* known : {"Auto", "OpenGL", "OpenGL1.2", "OpenGL1.3"})
        if (std::strcmp(text, known) == 0)
            return RenderEngine::TypeOpenGL;
    Internal::LogScriptWarn("ApplyFormat: engine type \"", text,
                            "\" is unknown, defaulting to \"OpenGL\"");
    return RenderEngine::TypeOpenGL;
}

uint32_t TrackerMessage(const Platform::WindowEvent& event) {
    using E = Platform::WindowEvent;
    // Down, up and double click in the order of the tracker's messages, per button.
    int offset = 0;
    switch (event.m_Kind) {
    case E::MouseDown:
        offset = 0;
        break;
    case E::MouseUp:
        offset = 1;
        break;
    case E::MouseDoubleClick:
        offset = 2;
        break;
    default:
        return InputTracker::MouseMove;
    }
    switch (event.m_Button) {
    case E::ButtonLeft:
        return InputTracker::LeftDown + offset;
    case E::ButtonRight:
        return InputTracker::RightDown + offset;
    case E::ButtonMiddle:
        return InputTracker::MiddleDown + offset;
    default:
        return 0;
    }
}

} // namespace

RenderPipe* RenderPipe::Create() {
    return NewObject<RenderPipe>();
}
const TypeInfo* RenderPipe::GetRenderPipeTypeInfo() noexcept {
    return &TypeOf<RenderPipe>();
}

RenderPipe::~RenderPipe() {
    DeInitializeWindow();
}

int RenderPipe::ApplyFormat() {
    DeInitializeWindow();
    const int result = InitializeWindow();
    if (result != SOK)
        return result;
    const int32_t type = EngineTypeOf(m_RenderEngineType);
    Obj<RenderEngine> engine =
        m_EngineFactory != nullptr ? m_EngineFactory(type) : RenderEngine::Create(type);
    if (!engine)
        return -1;
    const int initialized =
        engine->InitializeRenderEngine(m_Window, GetFormat(), GetTextureSettings());
    if (initialized < 0)
        return initialized; // the engine goes with its handle
    m_RenderEngine = engine;
    return SOK;
}

int RenderPipe::InitializeWindow() {
    if (m_Window != nullptr)
        return SOK;
    const bool own = m_HostWindow == nullptr;
    if (own && !Platform::StartVideo()) {
        LogWindowError("CreateWindow failed: ");
        return -1;
    }
    // Full screen: the mode comes first, so a display without it leaves no window behind.
    Platform::DisplayMode mode{ToInt(m_Resolution.GetX()), ToInt(m_Resolution.GetY()), m_ColorBits,
                               0};
    if (m_Fullscreen) {
        mode.m_RefreshRate = ToInt(m_RefreshRate);
        const int count = std::min(Platform::GetDisplayModeCount(), k_MaxDisplayModes);
        std::vector<Platform::DisplayMode> modes(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            Platform::GetDisplayMode(i, modes[static_cast<size_t>(i)]);
        if (Internal::FindFullscreenMode(modes.data(), count, mode, mode) < 0) {
            if (own)
                Platform::StopVideo();
            return -1;
        }
    }

    Platform::Window* window = m_HostWindow;
    uintptr_t token = 0;
    bool maximize = m_WindowMaximize;
    if (own) {
        token = ++G_LastWindowToken;
        Platform::WindowDesc desc;
        desc.m_Title = m_WindowTitle.GetCPtr();
        desc.m_Width = mode.m_Width;
        desc.m_Height = mode.m_Height;
        if (!m_Fullscreen) {
            desc.m_X = ToInt(m_WindowPosition.GetX());
            desc.m_Y = ToInt(m_WindowPosition.GetY());
            Platform::DisplayMode desktop;
            if (Platform::GetDesktopMode(desktop)) {
                if (desktop.m_Width > 0 && desc.m_Width > desktop.m_Width) {
                    desc.m_Width = desktop.m_Width;
                    maximize = true;
                }
                if (desktop.m_Height > 0 && desc.m_Height > desktop.m_Height) {
                    desc.m_Height = desktop.m_Height;
                    maximize = true;
                }
            }
        }
        desc.m_Border = m_WindowBorderEnable && !m_Fullscreen;
        desc.m_Resizable = m_WindowResizeable;
        desc.m_Maximized = maximize && !m_Fullscreen;
        desc.m_Visible = m_WindowVisibility;
        desc.m_ColorBits = m_ColorBits;
        desc.m_AlphaBits = m_AlphaBits;
        desc.m_DepthBits = m_DepthBits;
        desc.m_StencilBits = m_StencilBits;
        desc.m_DoubleBuffer = m_BufferBackColorCount >= 1;
        desc.m_UserData = reinterpret_cast<void*>(token);
        window = Platform::CreateWindow(desc);
        if (window == nullptr) {
            LogWindowError("CreateWindow failed: ");
            Platform::StopVideo();
            return -1;
        }
    }
    if (m_Fullscreen && !Platform::ChangeDisplayMode(window, mode)) {
        LogWindowError("ChangeDisplaySettings failed: ");
        if (own) {
            Platform::DestroyWindow(window); // not linked yet: its event finds nobody
            Platform::StopVideo();
        }
        return -1;
    }
    m_Window = window;
    m_WindowToken = token;
    m_DisplayModeChanged = m_Fullscreen;
    m_NextWithWindow = G_WindowPipes;
    G_WindowPipes = this;
    m_Destroyed = false;
    m_CloseRequested = false;
    return SOK;
}

void RenderPipe::DeInitializeWindow() {
    if (m_RenderEngine) {
        const int32_t references = BlockRefCount(m_RenderEngine.Get());
        if (references > 1)
            Internal::LogScriptWarn("RenderPipe_D::DeInitializeWindow: m_RenderEngine.GetRef is ",
                                    references);
        m_RenderEngine = nullptr;
    }
    if (m_Window == nullptr)
        return;
    Platform::Window* window = m_Window;
    const bool own = window != m_HostWindow;
    if (m_DisplayModeChanged)
        Platform::RestoreDisplayMode(window);
    ForgetWindow(); // first, so the destruction's event finds nobody
    if (own) {
        Platform::DestroyWindow(window);
        Platform::StopVideo();
    }
}

void RenderPipe::AttachWindow(Platform::Window* window) {
    DeInitializeWindow();
    m_HostWindow = window;
}

void RenderPipe::ForgetWindow() {
    for (RenderPipe** link = &G_WindowPipes; *link != nullptr; link = &(*link)->m_NextWithWindow) {
        if (*link == this) {
            *link = m_NextWithWindow;
            break;
        }
    }
    m_NextWithWindow = nullptr;
    m_Window = nullptr;
    m_WindowToken = 0;
    m_DisplayModeChanged = false;
}

bool RenderPipe::GetClientArea(int& x, int& y, int& width, int& height) const {
    if (m_Window != nullptr)
        return Platform::GetClientArea(m_Window, x, y, width, height);
    if (!m_RenderEngine) {
        Internal::LogScriptError("RenderPipe::GetClientArea: no window.");
        return false;
    }
    x = 0;
    y = 0;
    width = ToInt(m_Resolution.GetX());
    height = ToInt(m_Resolution.GetY());
    return true;
}

int RenderPipe::IsReadyToDraw() const noexcept {
    if (!m_RenderEngine || m_Destroyed)
        return 0;
    return m_Window != nullptr && Platform::IsWindowMinimized(m_Window) ? 0 : 1;
}

RenderPipeFormat RenderPipe::GetFormat() const {
    RenderPipeFormat f;
    f.m_Fullscreen = m_Fullscreen;
    f.m_Width = ToInt(m_Resolution.GetX());
    f.m_Height = ToInt(m_Resolution.GetY());
    f.m_RefreshRate = ToInt(m_RefreshRate);
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

// Window events.

int RenderPipe::PumpWindowEvents() {
    return PumpWindowEvents(nullptr, nullptr);
}

int RenderPipe::PumpWindowEvents(WindowEventObserver observer, void* context) {
    int handed = 0;
    Platform::WindowEvent event;
    while (Platform::PollWindowEvent(event)) {
        // Looked up afresh for every event: handling one may close pipes.
        for (RenderPipe* pipe = G_WindowPipes; pipe != nullptr; pipe = pipe->m_NextWithWindow) {
            const bool mine = pipe->m_WindowToken != 0
                                  ? event.m_UserData == reinterpret_cast<void*>(pipe->m_WindowToken)
                                  : event.m_Window == pipe->m_Window;
            if (mine) {
                Obj<RenderPipe> hold(pipe); // the observer may close it
                pipe->HandleWindowEvent(event);
                if (observer != nullptr)
                    observer(*pipe, event, context);
                ++handed;
                break;
            }
        }
    }
    return handed;
}

void RenderPipe::HandleWindowEvent(const Platform::WindowEvent& event) {
    using E = Platform::WindowEvent;
    switch (event.m_Kind) {
    case E::MouseMove:
    case E::MouseUp:
        m_InputTracker.ProcessMessage(TrackerMessage(event), event.m_ButtonMask,
                                      InputTracker::PackPosition(event.m_X, event.m_Y));
        break;
    case E::MouseDown:
    case E::MouseDoubleClick:
        m_InputTracker.ProcessMessage(TrackerMessage(event), event.m_ButtonMask | event.m_Button,
                                      InputTracker::PackPosition(event.m_X, event.m_Y));
        break;
    case E::FocusLost:
        m_InputTracker.ProcessMessage(InputTracker::CaptureLost, 0, 0);
        break;
    case E::Character:
    case E::KeyDown:
        if (const uint32_t code = KeyCodeOf(event))
            PushKey(code);
        break;
    case E::Close:
        Internal::LogScriptDebug("RenderPipe: WindowEvent WM_CLOSE.");
        m_CloseRequested = true;
        break;
    case E::Destroyed:
        Internal::LogScriptDebug("RenderPipe: WindowEvent WM_DESTROY.");
        if (m_Window != nullptr && event.m_Window == m_Window) {
            // Gone already: nothing to restore or destroy, only to forget.
            const bool own = m_Window != m_HostWindow;
            ForgetWindow();
            if (own)
                Platform::StopVideo();
            else
                m_HostWindow = nullptr;
        }
        if (m_CloseWithWindow) {
            Internal::LogScriptWarn("RenderPipe: WindowEvent ClosePipe.");
            DeInitializeWindow();
        }
        m_Destroyed = true;
        break;
    default: // resizes and exposures need nothing: the next frame asks for the client area
        break;
    }
}

void RenderPipe::PushKey(uint32_t code) noexcept {
    if (m_KeyCount == k_KeyQueueCapacity)
        return;
    m_Keys[(m_KeyHead + m_KeyCount) % k_KeyQueueCapacity] = code;
    ++m_KeyCount;
}

uint32_t RenderPipe::PeekKey() const noexcept {
    return m_KeyCount > 0 ? m_Keys[m_KeyHead] : 0;
}

uint32_t RenderPipe::PopKey() noexcept {
    if (m_KeyCount == 0)
        return 0;
    const uint32_t code = m_Keys[m_KeyHead];
    m_KeyHead = (m_KeyHead + 1) % k_KeyQueueCapacity;
    --m_KeyCount;
    return code;
}

uint32_t RenderPipe::KeyCodeOf(const Platform::WindowEvent& event) noexcept {
    using E = Platform::WindowEvent;
    if (event.m_Kind == E::Character)
        return event.m_Code;
    if (event.m_Kind != E::KeyDown)
        return 0;
    if (event.m_Code >= E::KeyF1 && event.m_Code <= E::KeyDelete)
        return PackKeyName(k_SpecialKeyNames[event.m_Code - E::KeyF1]);
    switch (event.m_Code) {
    case E::KeyBackspace:
        return 8;
    case E::KeyTab:
        return 9;
    case E::KeyReturn:
        return 13;
    case E::KeyEscape:
        return 27;
    default:
        return 0;
    }
}

uint32_t RenderPipe::PackKeyName(const char* name) noexcept {
    uint32_t code = 0;
    for (int i = 0; name != nullptr && i < 4 && name[i] != '\0'; ++i)
        code |= static_cast<uint32_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    return code;
}

// Setters with immediate effect.

void RenderPipe::SetWindowVisibility(bool visible) {
    m_WindowVisibility = visible;
    if (m_Window == nullptr)
        return;
    if (visible)
        Platform::ShowWindow(m_Window);
    else
        Platform::HideWindow(m_Window);
}

void RenderPipe::SetWindowMaximize(bool maximize) {
    m_WindowMaximize = maximize;
    if (m_Window == nullptr)
        return;
    if (maximize)
        Platform::MaximizeWindow(m_Window);
    else
        Platform::RestoreWindow(m_Window);
}

void RenderPipe::SetWindowResizeable(bool resizeable) {
    m_WindowResizeable = resizeable;
    if (m_Window != nullptr)
        Platform::SetWindowResizable(m_Window, resizeable);
}

void RenderPipe::SetWindowTitle(const String& title) {
    m_WindowTitle = title;
    if (m_Window != nullptr)
        Platform::SetWindowTitle(m_Window, m_WindowTitle.GetCPtr());
}

void RenderPipe::SetResolution(const Vector2f& resolution) {
    m_Resolution = Vector2f(Whole(resolution.GetX()), Whole(resolution.GetY()));
    ApplyWindowPlacement();
}

void RenderPipe::SetWindowPosition(const Vector2f& position) {
    m_WindowPosition = Vector2f(Whole(position.GetX()), Whole(position.GetY()));
    ApplyWindowPlacement();
}

void RenderPipe::ApplyWindowPlacement() {
    if (m_Window == nullptr)
        return;
    if (m_Fullscreen) {
        (void)ApplyFormat(); // its failures are logged
        return;
    }
    int width = ToInt(m_Resolution.GetX());
    int height = ToInt(m_Resolution.GetY());
    if (width <= 0 || height <= 0) {
        Internal::LogScriptError("SetWindowPos failed: \"window size must be positive\".");
        return;
    }
    bool cut = false;
    Platform::DisplayMode desktop;
    if (Platform::GetDesktopMode(desktop)) {
        if (desktop.m_Width > 0 && width > desktop.m_Width) {
            width = desktop.m_Width;
            cut = true;
        }
        if (desktop.m_Height > 0 && height > desktop.m_Height) {
            height = desktop.m_Height;
            cut = true;
        }
    }
    Platform::SetWindowSize(m_Window, width, height);
    Platform::SetWindowPosition(m_Window, ToInt(m_WindowPosition.GetX()),
                                ToInt(m_WindowPosition.GetY()));
    if (cut)
        Platform::MaximizeWindow(m_Window);
}

void RenderPipe::UpdateTextureSettings() {
    if (m_RenderEngine)
        m_RenderEngine->SetTextureSettings(GetTextureSettings());
}

void RenderPipe::SetEnableTexture(int32_t value) {
    m_EnableTexture = value;
    UpdateTextureSettings();
}
void RenderPipe::SetEnableTextureThread(int32_t value) {
    m_EnableTextureThread = value;
    UpdateTextureSettings();
}
void RenderPipe::SetMaxTextureUnit(int32_t value) {
    m_MaxTextureUnit = value;
    UpdateTextureSettings();
}
void RenderPipe::SetTextureLoadTimeLimit(float value) {
    m_TextureLoadTimeLimit = value;
    UpdateTextureSettings();
}
void RenderPipe::SetImagePath(const String& value) {
    m_ImagePath = value;
    UpdateTextureSettings();
}
void RenderPipe::SetMaxTextureSizeShift(int32_t value) {
    m_MaxTextureSizeShift = value;
    UpdateTextureSettings();
}

} // namespace Quorlix
