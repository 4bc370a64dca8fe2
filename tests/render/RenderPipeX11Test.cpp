// A real window on SDL's x11 driver (run on a private Xvfb display by RunUnderXvfb.sh): what the
// X server shows of the pipe's window (its title and map state, read with xwininfo), a scene
// drawn into it by the frame loop, and the full-screen mode search against the server's one mode.

#include "quorlix/core/Result.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
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

TEST_F(RenderPipeX11, FrameDrawsTheSceneIntoTheWindow) {
    // The scene a script describes, its pipe and channel included, drawn as a host draws it: a
    // white unlit square in front of the camera on the channel's clear colour.
    const char* script = R"(//KS 0.3
TTransform:root . {
    .Child [
        TTransform . { .Child [ TCamera:eye . { .SNode SCamera . { .FieldOfView 45.0; }; } ]; },
        TTransform . {
            .SNode STransform . { .Translation (0, 0, -3); };
            .Child [ TPolygonGeometry . {
                .Shader RenderShader . { .LightEnable False; .Surface ShaderPhong . {
                    .Material RenderMaterial . { .DiffuseColor (1, 1, 1); }; }; };
                .SNode SPolygonGeometry . {
                    .PrimType Primitive.Triangle; .PrimCount 2;
                    .VertexArray [(-1, -1, 0), (1, -1, 0), (1, 1, 0), (-1, 1, 0)];
                    .IndexArray [0, 1, 2, 0, 2, 3];
                };
            } ];
        }
    ];
};
RenderPipe:pipe . { .Resolution (80, 60); .ColorBits 24; .DepthBits 24;
                    .WindowTitle "Quorlix frame"; };
RenderChannel:channel . { .SceneRoot :root; .Camera :eye; .ColorClearValue (0, 0, 1); };
)";
    Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(StreamPipeMemory::Create(script, static_cast<int>(std::strlen(script))),
                    String("frame.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0);
    auto* pipe = static_cast<RenderPipe*>(engine->FindObjectC("pipe"));
    auto* channel = static_cast<RenderChannel*>(engine->FindObjectC("channel"));
    ASSERT_NE(pipe, nullptr);
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(pipe->ApplyFormat(), SOK);
    ASSERT_NE(pipe->GetRenderEngine(), nullptr);
    RenderPipe::PumpWindowEvents();
    EXPECT_NE(WindowInfo("Quorlix frame").find("IsViewable"), std::string::npos);

    Obj<RenderSystem> system(RenderSystem::Create());
    system->SetRenderPipe(pipe);
    system->AddChannel(channel);
    system->ClearBuffers();
    system->DrawTree(0.0, 0.0, 0);
    // Read before the swap: the back buffer holds the frame just drawn.
    Obj<Image> image(Image::Create());
    ASSERT_TRUE(pipe->GetRenderEngine()->ReadPixels(*image));
    pipe->GetRenderEngine()->SwapBuffers();
    ASSERT_EQ(image->GetWidth(), 80);
    ASSERT_EQ(image->GetHeight(), 60);
    const auto pixel = [&](int x, int y) {
        const unsigned char* p = image->GetData() + (y * image->GetWidth() + x) * 4;
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    };
    EXPECT_EQ(pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(pixel(79, 59), 0x0000FFu);
    EXPECT_EQ(pixel(40, 30), 0xFFFFFFu);
    pipe->DeInitializeWindow();
    RenderPipe::PumpWindowEvents();
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
