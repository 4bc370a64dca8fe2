// A real window on SDL's x11 driver (run on a private Xvfb display by RunUnderXvfb.sh): what the
// X server shows of the pipe's window (its title and map state, read with xwininfo), and the
// full-screen mode search against the server's one mode.

#include "quorlix/core/Result.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderPipe.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// What xwininfo says about the window named `title` ("" when it finds none).
std::string WindowInfo(const std::string& title) {
    std::string text;
    const std::string command = "xwininfo -name '" + title + "' 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr)
            text += buffer;
        pclose(pipe);
    }
    return text;
}

class RenderPipeX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Platform::DisplayExists())
            GTEST_SKIP() << "no X display: Xvfb is not installed (Debian package xvfb)";
        DLLInitialize(0);
        ASSERT_TRUE(Platform::StartVideo("x11")) << Platform::LastWindowError();
        m_Started = true;
        // The window system unloads the GL driver with its last GL window (and with the video
        // system), and the memory the driver leaves then reads as leaked under the sanitizers:
        // one hidden window keeps it loaded to the end of the run.
        static Platform::Window* keeper = [] {
            Platform::WindowDesc desc;
            desc.m_Visible = false;
            desc.m_Width = desc.m_Height = 1;
            return Platform::CreateWindow(desc);
        }();
        ASSERT_NE(keeper, nullptr) << Platform::LastWindowError();
    }
    void TearDown() override {
        if (!m_Started)
            return;
        // The video system stays up (one count per test), for the same reason.
        RenderPipe::PumpWindowEvents();
        DLLDeInitialize(0);
    }
    bool m_Started = false;
};

TEST_F(RenderPipeX11, WindowTitleVisibilityAndSize) {
    Obj<RenderPipe> pipe = RenderPipe::Create();
    pipe->SetWindowTitle("Quorlix pipe \xE9");
    pipe->SetResolution(Vector2f(320, 240));
    ASSERT_EQ(pipe->InitializeWindow(), SOK);
    RenderPipe::PumpWindowEvents();
    std::string info = WindowInfo("Quorlix pipe \xC3\xA9"); // the server holds UTF-8
    EXPECT_NE(info.find("Width: 320"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 240"), std::string::npos) << info;
    EXPECT_NE(info.find("IsViewable"), std::string::npos) << info;

    pipe->SetWindowVisibility(false);
    pipe->SetWindowTitle("Renamed");
    RenderPipe::PumpWindowEvents();
    EXPECT_EQ(WindowInfo("Quorlix pipe \xC3\xA9"), "");
    info = WindowInfo("Renamed");
    EXPECT_NE(info.find("IsUnMapped"), std::string::npos) << info;

    pipe->SetWindowVisibility(true);
    pipe->SetResolution(Vector2f(200, 100));
    RenderPipe::PumpWindowEvents();
    int x, y, width = 0, height = 0;
    ASSERT_TRUE(pipe->GetClientArea(x, y, width, height));
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
    EXPECT_NE(WindowInfo("Renamed").find("IsViewable"), std::string::npos);

    pipe->DeInitializeWindow();
    RenderPipe::PumpWindowEvents();
    EXPECT_EQ(WindowInfo("Renamed"), "");
    EXPECT_FALSE(pipe->IsWindowDestroyed());
}

TEST_F(RenderPipeX11, FullscreenRetriesUpToTheServersDepth) {
    // Xvfb lists one mode, 1024 x 768 at 24 bits with no refresh rate.
    Obj<RenderPipe> pipe = RenderPipe::Create();
    pipe->m_Fullscreen = true;
    pipe->SetResolution(Vector2f(1024, 768));
    {
        LogCapture log;
        ASSERT_EQ(pipe->InitializeWindow(), SOK);
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                      "[Info ]InitializeWindow: detecting fullscreen modes...",
                                      "[Info ]InitializeWindow: Retrying with 1024x768x24@70"}));
    }
    pipe->DeInitializeWindow();
    {
        // A size the server does not have is refused before any window is made.
        LogCapture log;
        pipe->SetResolution(Vector2f(800, 600));
        EXPECT_EQ(pipe->InitializeWindow(), -1);
        EXPECT_EQ(pipe->GetWindow(), nullptr);
        ASSERT_FALSE(log.Messages().empty());
        EXPECT_EQ(log.Messages().back(),
                  "[Error]EnumDisplaySettings: requested mode is not available.");
    }
}

} // namespace
