// Windows and GL contexts through the platform layer, headless on the offscreen driver: what is
// cleared reads back through entry points looked up by name.

#include "quorlix/platform/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace Quorlix::Platform;

namespace {

using ClearColorFn = void (*)(float, float, float, float);
using ClearFn = void (*)(unsigned);
using ReadPixelsFn = void (*)(int, int, int, int, unsigned, unsigned, void*);
using GetStringFn = const unsigned char* (*)(unsigned);

constexpr unsigned k_ColorBufferBit = 0x4000;
constexpr unsigned k_Rgba = 0x1908;
constexpr unsigned k_UnsignedByte = 0x1401;
constexpr unsigned k_Version = 0x1F02;

} // namespace

TEST(PlatformWindow, UnknownDriverAndEmptyWindowAreRefused) {
    EXPECT_FALSE(StartVideo("no-such-driver"));
    EXPECT_STREQ(GetVideoDriverName(), "");
    ASSERT_TRUE(StartVideo("offscreen")) << LastWindowError();
    EXPECT_EQ(CreateWindow({.m_Width = 0, .m_Visible = false}), nullptr);
    EXPECT_STRNE(LastWindowError(), "");
    DestroyWindow(nullptr);
    StopVideo();
}

TEST(PlatformWindow, OffscreenContextClearsAndReadsBack) {
    ASSERT_TRUE(StartVideo("offscreen")) << LastWindowError();
    EXPECT_STREQ(GetVideoDriverName(), "offscreen");
    // The offscreen driver lists one mode (0 x 0); every index outside the list is refused.
    DisplayMode mode;
    EXPECT_GE(GetDisplayModeCount(), 1);
    EXPECT_TRUE(GetDisplayMode(0, mode));
    EXPECT_FALSE(GetDisplayMode(-1, mode));
    EXPECT_FALSE(GetDisplayMode(GetDisplayModeCount(), mode));
    EXPECT_TRUE(GetDesktopMode(mode));

    int marker = 0;
    Window* window = CreateWindow({.m_Title = "Fen\xEAtre \x80",
                                   .m_Width = 64,
                                   .m_Height = 32,
                                   .m_Visible = false,
                                   .m_ColorBits = 24,
                                   .m_AlphaBits = 8,
                                   .m_UserData = &marker});
    ASSERT_NE(window, nullptr) << LastWindowError();
    EXPECT_EQ(GetWindowUserData(window), &marker);
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(GetClientArea(window, x, y, width, height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);

    GLContext* context = CreateGLContext(window);
    ASSERT_NE(context, nullptr) << LastWindowError();
    ASSERT_TRUE(MakeGLContextCurrent(window, context));
    EXPECT_EQ(GetCurrentGLContext(), context);
    GLSurfaceFormat format;
    ASSERT_TRUE(GetGLSurfaceFormat(format));
    EXPECT_GE(format.m_RedBits, 8);
    EXPECT_GE(format.m_AlphaBits, 8);
    SetSwapInterval(0); // the pbuffer ignores it: only that it returns matters

    GLLibrary* library = OpenGLLibrary("libGL.so.1");
    ASSERT_NE(library, nullptr) << LastWindowError();
    EXPECT_EQ(OpenGLLibrary("libNoSuchGL.so.7"), nullptr);
    EXPECT_EQ(FindGLLibrarySymbol(library, "glNoSuchEntryPoint"), nullptr);
    EXPECT_NE(GetGLProcAddress("glClear"), nullptr);
    auto clearColor = reinterpret_cast<ClearColorFn>(FindGLLibrarySymbol(library, "glClearColor"));
    auto clear = reinterpret_cast<ClearFn>(FindGLLibrarySymbol(library, "glClear"));
    auto readPixels = reinterpret_cast<ReadPixelsFn>(FindGLLibrarySymbol(library, "glReadPixels"));
    auto getString = reinterpret_cast<GetStringFn>(FindGLLibrarySymbol(library, "glGetString"));
    ASSERT_TRUE(clearColor && clear && readPixels && getString);
    const unsigned char* version = getString(k_Version);
    ASSERT_NE(version, nullptr);
    EXPECT_GE(version[0], '2');

    clearColor(1.0f, 0.0f, 1.0f, 1.0f);
    clear(k_ColorBufferBit);
    uint8_t pixel[4] = {};
    readPixels(63, 31, 1, 1, k_Rgba, k_UnsignedByte, pixel);
    EXPECT_EQ(std::vector<int>(pixel, pixel + 4), (std::vector<int>{255, 0, 255, 255}));
    SwapWindow(window);

    EXPECT_TRUE(MakeGLContextCurrent(nullptr, nullptr));
    DeleteGLContext(context);
    DestroyWindow(window);
    // The destruction is reported with the window's user data; nothing else is pending.
    WindowEvent event;
    bool destroyed = false;
    while (PollWindowEvent(event))
        if (event.m_Kind == WindowEvent::Destroyed) {
            destroyed = true;
            EXPECT_EQ(event.m_Window, window);
            EXPECT_EQ(event.m_UserData, &marker);
        }
    EXPECT_TRUE(destroyed);
    StopVideo();
    EXPECT_STREQ(GetVideoDriverName(), "");
}
