// RenderPipe's window on the offscreen driver: making and releasing it, setters acting on a live
// window, ApplyFormat's engine choice and failures, and window events reaching the pipe.

#include "quorlix/render/RenderPipe.h"
#include "quorlix/core/Result.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/internal/RenderEngineNull.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;
using Event = Platform::WindowEvent;

namespace {

// The null engine, remembering how it was set up.
class TestEngine final : public Internal::RenderEngineNull {
public:
    int InitializeRenderEngine(Platform::Window* window, const RenderPipeFormat& format,
                               const RenderTextureSettings& textures) override {
        m_Window = window;
        m_Format = format;
        m_Textures = textures;
        return s_InitResult;
    }
    void SetTextureSettings(const RenderTextureSettings& textures) override {
        m_Textures = textures;
        ++m_TextureUpdates;
    }

    static inline int s_InitResult = SOK;
    static inline std::vector<int32_t> s_TypesMade;
    static RenderEngine* Make(int32_t type) {
        s_TypesMade.push_back(type);
        return NewObject<TestEngine>();
    }

    Platform::Window* m_Window = nullptr;
    RenderPipeFormat m_Format;
    RenderTextureSettings m_Textures;
    int m_TextureUpdates = 0;
};

class RenderPipeWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DLLInitialize(0);
        ASSERT_TRUE(Platform::StartVideo("offscreen")) << Platform::LastWindowError();
    }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
    void SetUp() override {
        TestEngine::s_InitResult = SOK;
        TestEngine::s_TypesMade.clear();
        m_Pipe = RenderPipe::Create();
        m_Pipe->SetWindowVisibility(false);
    }
    void TearDown() override {
        m_Pipe = nullptr;
        Drain();
    }
    // Events no pipe takes are dropped; what is pending goes before each check.
    static void Drain() { RenderPipe::PumpWindowEvents(); }

    static void ExpectArea(const RenderPipe& pipe, int width, int height) {
        int x = -1, y = -1, w = 0, h = 0;
        ASSERT_TRUE(pipe.GetClientArea(x, y, w, h));
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }

    template <class V>
    void SetMember(int index, const V& value) {
        m_Pipe->Set(MemberIDOf<ClassMemberOf<V, false>>(index, k_ClassRenderPipe), value);
    }

    Obj<RenderPipe> m_Pipe;
};

TEST_F(RenderPipeWindow, WindowedInitializationAndShutdown) {
    {
        // No window and no engine: nothing to measure.
        LogCapture log;
        int x = 7, y = 7, w = 7, h = 7;
        EXPECT_FALSE(m_Pipe->GetClientArea(x, y, w, h));
        EXPECT_EQ(w, 7);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]RenderPipe::GetClientArea: no window."});
    }
    m_Pipe->SetResolution(Vector2f(320.9f, 200.2f));
    m_Pipe->SetWindowTitle("Pipe \x80");
    ASSERT_EQ(m_Pipe->InitializeWindow(), SOK);
    Platform::Window* window = m_Pipe->GetWindow();
    ASSERT_NE(window, nullptr);
    ExpectArea(*m_Pipe, 320, 200);
    EXPECT_NE(Platform::GetWindowUserData(window), nullptr);
    EXPECT_EQ(m_Pipe->IsReadyToDraw(), 0); // no engine yet
    EXPECT_EQ(m_Pipe->InitializeWindow(), SOK);
    EXPECT_EQ(m_Pipe->GetWindow(), window);

    {
        // An engine someone else still holds is reported when the window goes.
        Obj<RenderEngine> held = TestEngine::Make(1);
        m_Pipe->AttachRenderEngine(held);
        EXPECT_EQ(m_Pipe->IsReadyToDraw(), 1);
        LogCapture log;
        m_Pipe->DeInitializeWindow();
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Warn ]RenderPipe_D::DeInitializeWindow: "
                                           "m_RenderEngine.GetRef is 2"});
        EXPECT_EQ(m_Pipe->GetRenderEngine(), nullptr);
        EXPECT_EQ(m_Pipe->GetWindow(), nullptr);
    }
    // The window the pipe destroyed itself is not reported back as a destruction.
    EXPECT_EQ(RenderPipe::PumpWindowEvents(), 0);
    EXPECT_FALSE(m_Pipe->IsWindowDestroyed());

    {
        LogCapture log;
        m_Pipe->SetResolution(Vector2f(0, 480));
        EXPECT_EQ(m_Pipe->InitializeWindow(), -1);
        EXPECT_EQ(m_Pipe->GetWindow(), nullptr);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]CreateWindow failed: \"window size must be "
                                           "positive\"."});
    }
}

TEST_F(RenderPipeWindow, SettersActOnTheLiveWindow) {
    {
        // Without a window the members only store; Resolution and WindowPosition keep whole
        // numbers, and values a file could carry stay bounded.
        SetMember(3, Vector2f(1023.75f, -5.5f));
        EXPECT_EQ(m_Pipe->m_Resolution, Vector2f(1023, -5));
        SetMember(17, Vector2f(std::nanf(""), 1e30f));
        EXPECT_EQ(m_Pipe->m_WindowPosition, Vector2f(0, 1048576));
        SetMember(18, String("Title"));
        EXPECT_STREQ(m_Pipe->m_WindowTitle.GetCPtr(), "Title");
    }
    m_Pipe->SetResolution(Vector2f(300, 200));
    m_Pipe->SetWindowPosition(Vector2f(10, 20));
    ASSERT_EQ(m_Pipe->InitializeWindow(), SOK);
    ExpectArea(*m_Pipe, 300, 200);

    SetMember(3, Vector2f(400.5f, 250.0f));
    ExpectArea(*m_Pipe, 400, 250);
    {
        // Larger than the desktop: cut to it (the member keeps what was asked).
        Platform::DisplayMode desktop;
        ASSERT_TRUE(Platform::GetDesktopMode(desktop));
        ASSERT_GT(desktop.m_Width, 0);
        SetMember(3, Vector2f(float(desktop.m_Width + 500), 100.0f));
        ExpectArea(*m_Pipe, desktop.m_Width, 100);
        EXPECT_EQ(m_Pipe->m_Resolution.GetX(), float(desktop.m_Width + 500));
    }
    {
        LogCapture log;
        SetMember(3, Vector2f(-1, 100));
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]SetWindowPos failed: \"window size must be "
                                           "positive\"."});
    }
    // Visibility, maximising, sizing frame and title reach the window without disturbing it.
    SetMember(22, true);
    SetMember(22, false);
    SetMember(26, true);
    SetMember(26, false);
    SetMember(25, false);
    SetMember(18, String("Fen\xEAtre"));
    EXPECT_TRUE(m_Pipe->m_WindowMaximize == false && m_Pipe->m_WindowResizeable == false);
    EXPECT_FALSE(Platform::IsWindowMinimized(m_Pipe->GetWindow()));

    // Texture settings go to the engine as a whole block, one hand-over per change.
    Obj<TestEngine> engine = static_cast<TestEngine*>(TestEngine::Make(1));
    m_Pipe->AttachRenderEngine(engine);
    SetMember(21, 4);
    SetMember(24, String("Textures/"));
    SetMember(23, 0.25f);
    EXPECT_EQ(engine->m_TextureUpdates, 3);
    EXPECT_EQ(engine->m_Textures.m_MaxTextureUnit, 4);
    EXPECT_STREQ(engine->m_Textures.m_ImagePath.GetCPtr(), "Textures/");
    EXPECT_EQ(engine->m_Textures.m_TextureLoadTimeLimit, 0.25f);
    EXPECT_EQ(engine->m_Textures.m_Reserved, 0x10000u);
}

TEST_F(RenderPipeWindow, ApplyFormatChoosesAndReplacesTheEngine) {
    {
        // An unknown name is reported and gets the OpenGL engine.
        LogCapture log;
        m_Pipe->m_RenderEngineType = "Vulkan";
        EXPECT_EQ(m_Pipe->ApplyFormat(), SOK);
        EXPECT_NE(m_Pipe->GetRenderEngine(), nullptr);
        ASSERT_FALSE(log.Messages().empty());
        EXPECT_EQ(log.Messages()[0], "[Warn ]ApplyFormat: engine type \"Vulkan\" is unknown, "
                                     "defaulting to \"OpenGL\"");
    }
    {
        // This build has no DirectX 8 engine: the window stays, no engine is kept.
        LogCapture log;
        m_Pipe->m_RenderEngineType = "DirectX8";
        EXPECT_EQ(m_Pipe->ApplyFormat(), -1);
        EXPECT_NE(m_Pipe->GetWindow(), nullptr);
        EXPECT_EQ(m_Pipe->GetRenderEngine(), nullptr);
    }
    m_Pipe->SetRenderEngineFactory(&TestEngine::Make);
    const std::pair<const char*, int32_t> names[] = {{"Auto", 1},      {"OpenGL", 1},
                                                     {"OpenGL1.2", 1}, {"OpenGL1.3", 1},
                                                     {"DirectX", 2},   {"DirectX8", 2}};
    for (const auto& [name, type] : names) {
        LogCapture log;
        m_Pipe->m_RenderEngineType = name;
        EXPECT_EQ(m_Pipe->ApplyFormat(), SOK) << name;
        EXPECT_EQ(TestEngine::s_TypesMade.back(), type) << name;
        EXPECT_TRUE(log.Messages().empty()) << name;
    }

    m_Pipe->m_ColorBits = 24;
    m_Pipe->m_StencilBits = 8;
    ASSERT_EQ(m_Pipe->ApplyFormat(), SOK);
    RenderEngine* first = m_Pipe->GetRenderEngine();
    auto* engine = static_cast<TestEngine*>(first);
    EXPECT_EQ(engine->m_Window, m_Pipe->GetWindow());
    EXPECT_EQ(engine->m_Format.m_ColorBits, 24);
    EXPECT_EQ(engine->m_Format.m_StencilBits, 8);
    EXPECT_EQ(m_Pipe->IsReadyToDraw(), 1);
    ASSERT_EQ(m_Pipe->ApplyFormat(), SOK);
    EXPECT_NE(m_Pipe->GetRenderEngine(), nullptr);

    // An engine that fails to start is not kept, and its code is what ApplyFormat returns.
    TestEngine::s_InitResult = EFail;
    EXPECT_EQ(m_Pipe->ApplyFormat(), EFail);
    EXPECT_EQ(m_Pipe->GetRenderEngine(), nullptr);
    EXPECT_NE(m_Pipe->GetWindow(), nullptr);
    EXPECT_EQ(m_Pipe->IsReadyToDraw(), 0);
}

TEST_F(RenderPipeWindow, FullscreenTakesTheOffscreenDriversMode) {
    // The offscreen driver lists one 0 x 0 mode of no depth: it takes any size.
    m_Pipe->m_Fullscreen = true;
    m_Pipe->m_RefreshRate = 0;
    m_Pipe->SetResolution(Vector2f(800, 600));
    LogCapture out(Xout);
    LogCapture log;
    ASSERT_EQ(m_Pipe->InitializeWindow(), SOK);
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>{"[Info ]InitializeWindow: detecting fullscreen modes..."});
    EXPECT_EQ(out.Messages(), std::vector<std::string>{"[Info ]InitializeWindow: mode 0: 0x0x0@0"});
    ExpectArea(*m_Pipe, 800, 600);
    // Full screen, a new resolution re-creates the window.
    m_Pipe->SetRenderEngineFactory(&TestEngine::Make);
    m_Pipe->SetResolution(Vector2f(640, 480));
    EXPECT_EQ(TestEngine::s_TypesMade.size(), 1u);
    ExpectArea(*m_Pipe, 640, 480);
    m_Pipe->DeInitializeWindow();
}

TEST_F(RenderPipeWindow, InputReachesTrackerAndKeyQueue) {
    ASSERT_EQ(m_Pipe->InitializeWindow(), SOK);
    Drain();
    auto event = [&](Event::Kind kind) {
        Event e;
        e.m_Kind = kind;
        e.m_Window = m_Pipe->GetWindow();
        return e;
    };
    InputTracker& tracker = m_Pipe->GetInputTracker();
    {
        // Down and double click add their own button; up leaves it out; the position rides
        // in lParam, negative coordinates included.
        Event move = event(Event::MouseMove);
        move.m_X = -3;
        move.m_Y = 40;
        move.m_ButtonMask = Event::ButtonRight;
        m_Pipe->HandleWindowEvent(move);
        Event down = event(Event::MouseDown);
        down.m_Button = Event::ButtonMiddle;
        down.m_ButtonMask = Event::ButtonRight;
        m_Pipe->HandleWindowEvent(down);
        Event dbl = event(Event::MouseDoubleClick);
        dbl.m_Button = Event::ButtonLeft;
        m_Pipe->HandleWindowEvent(dbl);
        Event up = event(Event::MouseUp);
        up.m_Button = Event::ButtonLeft;
        up.m_ButtonMask = Event::ButtonMiddle;
        up.m_X = 5;
        m_Pipe->HandleWindowEvent(up);
        m_Pipe->HandleWindowEvent(event(Event::FocusLost));

        const InputTracker::Entry expected[] = {
            {InputTracker::MouseMove, 2, InputTracker::PackPosition(-3, 40)},
            {InputTracker::MiddleDown, 6, 0},
            {InputTracker::LeftDoubleClick, 1, 0},
            {InputTracker::LeftUp, 4, InputTracker::PackPosition(5, 0)},
            {InputTracker::CaptureLost, 0, 0},
        };
        ASSERT_EQ(tracker.GetMessageCount(), 5);
        for (const InputTracker::Entry& want : expected) {
            InputTracker::Entry got;
            ASSERT_TRUE(tracker.PopMessage(got));
            EXPECT_EQ(got.m_Message, want.m_Message);
            EXPECT_EQ(got.m_WParam, want.m_WParam);
            EXPECT_EQ(got.m_LParam, want.m_LParam);
        }
        EXPECT_EQ(tracker.GetButtonMask(), 0u);
        EXPECT_EQ(InputTracker::PositionX(InputTracker::PackPosition(-3, 40)), -3);
    }
    {
        // User messages pass unchanged; anything else is refused; the oldest make room.
        EXPECT_TRUE(tracker.ProcessMessage(0x7FFF, 0xFFFFFFFF, 0xDEADBEEF));
        EXPECT_FALSE(tracker.ProcessMessage(0x8000, 1, 2));
        EXPECT_FALSE(tracker.ProcessMessage(0x100, 1, 2));
        InputTracker::Entry got;
        ASSERT_TRUE(tracker.PeekMessage(got));
        EXPECT_EQ(got.m_WParam, 0xFFFFFFFFu);
        EXPECT_EQ(got.m_LParam, 0xDEADBEEFu);
        for (uint32_t i = 0; i < InputTracker::k_Capacity; ++i)
            tracker.ProcessMessage(0x400 + i, i, 0);
        EXPECT_EQ(tracker.GetMessageCount(), InputTracker::k_Capacity);
        ASSERT_TRUE(tracker.PopMessage(got));
        EXPECT_EQ(got.m_Message, 0x400u);
    }
    {
        // Characters and special keys queue in order; other keys add nothing.
        const uint32_t keys[] = {Event::KeyF1,   Event::KeyF12,      Event::KeyPageUp,
                                 Event::KeyEnd,  Event::KeyCursorUp, Event::KeyDelete,
                                 Event::KeyOther};
        Event ch = event(Event::Character);
        ch.m_Code = 0xE9;
        m_Pipe->HandleWindowEvent(ch);
        for (uint32_t key : keys) {
            Event down = event(Event::KeyDown);
            down.m_Code = key;
            m_Pipe->HandleWindowEvent(down);
        }
        const uint32_t expected[] = {0xE9u,
                                     'F' | '1' << 8,
                                     'F' | '1' << 8 | '2' << 16,
                                     'P' | 'G' << 8 | 'U' << 16 | uint32_t('P') << 24,
                                     'E' | 'N' << 8 | 'D' << 16,
                                     'C' | 'S' << 8 | 'U' << 16 | uint32_t('P') << 24,
                                     'D' | 'E' << 8 | 'L' << 16};
        ASSERT_EQ(m_Pipe->GetKeyCount(), 7);
        EXPECT_EQ(m_Pipe->PeekKey(), 0xE9u);
        for (uint32_t want : expected)
            EXPECT_EQ(m_Pipe->PopKey(), want);
        EXPECT_EQ(m_Pipe->PopKey(), 0u);
        for (int i = 0; i < RenderPipe::k_KeyQueueCapacity + 10; ++i)
            m_Pipe->HandleWindowEvent(ch);
        EXPECT_EQ(m_Pipe->GetKeyCount(), RenderPipe::k_KeyQueueCapacity);
    }
}

TEST_F(RenderPipeWindow, CloseRaisesAFlagAndDestroyClosesThePipe) {
    m_Pipe->SetRenderEngineFactory(&TestEngine::Make);
    ASSERT_EQ(m_Pipe->ApplyFormat(), SOK);
    Drain();
    {
        LogCapture log;
        Event close;
        close.m_Kind = Event::Close;
        close.m_Window = m_Pipe->GetWindow();
        m_Pipe->HandleWindowEvent(close);
        EXPECT_TRUE(m_Pipe->IsCloseRequested());
        EXPECT_FALSE(m_Pipe->IsWindowDestroyed());
        EXPECT_NE(m_Pipe->GetWindow(), nullptr);
        EXPECT_EQ(m_Pipe->IsReadyToDraw(), 1);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Debug]RenderPipe: WindowEvent WM_CLOSE."});
    }
    {
        // The window destroyed behind the pipe's back: the pump finds the pipe by the
        // window's user data, the pipe closes (engine released) and reports it.
        LogCapture log;
        Platform::DestroyWindow(m_Pipe->GetWindow());
        EXPECT_EQ(RenderPipe::PumpWindowEvents(), 1);
        EXPECT_TRUE(m_Pipe->IsWindowDestroyed());
        EXPECT_EQ(m_Pipe->GetWindow(), nullptr);
        EXPECT_EQ(m_Pipe->GetRenderEngine(), nullptr);
        EXPECT_EQ(m_Pipe->IsReadyToDraw(), 0);
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{"[Debug]RenderPipe: WindowEvent WM_DESTROY.",
                                            "[Warn ]RenderPipe: WindowEvent ClosePipe."}));
    }
    {
        // Without closing with the window the engine stays, but nothing is drawn; a new
        // window clears the flags.
        m_Pipe->SetCloseWithWindow(false);
        ASSERT_EQ(m_Pipe->ApplyFormat(), SOK);
        EXPECT_FALSE(m_Pipe->IsWindowDestroyed() || m_Pipe->IsCloseRequested());
        Platform::DestroyWindow(m_Pipe->GetWindow());
        LogCapture log;
        EXPECT_EQ(RenderPipe::PumpWindowEvents(), 1);
        EXPECT_TRUE(m_Pipe->IsWindowDestroyed());
        EXPECT_NE(m_Pipe->GetRenderEngine(), nullptr);
        EXPECT_EQ(m_Pipe->IsReadyToDraw(), 0);
        EXPECT_EQ(log.Messages().size(), 1u);
    }
    {
        // A host window is drawn into and never destroyed by the pipe.
        Platform::WindowDesc desc;
        desc.m_Visible = false;
        desc.m_Width = 96;
        desc.m_Height = 64;
        Platform::Window* host = Platform::CreateWindow(desc);
        ASSERT_NE(host, nullptr);
        m_Pipe->AttachWindow(host);
        ASSERT_EQ(m_Pipe->ApplyFormat(), SOK);
        EXPECT_EQ(m_Pipe->GetWindow(), host);
        ExpectArea(*m_Pipe, 96, 64);
        m_Pipe->DeInitializeWindow();
        EXPECT_EQ(RenderPipe::PumpWindowEvents(), 0);
        int x, y, w = 0, h = 0;
        EXPECT_TRUE(Platform::GetClientArea(host, x, y, w, h)); // still alive
        EXPECT_EQ(m_Pipe->InitializeWindow(), SOK);
        m_Pipe->SetCloseWithWindow(true);
        Platform::DestroyWindow(host);
        EXPECT_EQ(RenderPipe::PumpWindowEvents(), 1);
        EXPECT_TRUE(m_Pipe->IsWindowDestroyed());
        EXPECT_EQ(m_Pipe->GetWindow(), nullptr);
    }
}

} // namespace
