// `quorlix play` run as a user runs it, headless: the screenshot of a scene without a pipe of its
// own (the pipe and channel made for it), numbered screenshots, and the exit statuses.

#include "PlayCommand.h"
#include "ToolRun.h"

#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// A white unlit square in front of a camera that looks down -z from the origin.
constexpr const char* k_Scene = R"(//KS 0.3
TTransform:root . {
    .SNode STransform . { .Translation (0, 0, 0); };
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
)";

class PlayTool : public ::testing::Test {
protected:
    void SetUp() override {
        DLLInitialize(0);
        WriteFileBytes(m_Dir / "scene.kss", k_Scene);
    }
    void TearDown() override { DLLDeInitialize(0); }

    // The pixel at (x, y) from the top left as 0xRRGGBB.
    static uint32_t Pixel(const Image& image, int x, int y) {
        const unsigned char* p =
            image.GetData() + ((image.GetHeight() - 1 - y) * image.GetWidth() + x) * 4;
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }

    TempDir m_Dir;
};

} // namespace

TEST_F(PlayTool, HeadlessScreenshotShowsTheScene) {
    const ToolOutcome run =
        RunTool(m_Dir, "play scene.kss --headless --size 80x60 --screenshot shot.png");
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_TRUE(Contains(run.m_Err, "play: 1 frames")) << run.m_Err;
    EXPECT_TRUE(Contains(run.m_Err, "2 triangles per frame")) << run.m_Err;
    Obj<Image> image(Image::Create());
    ASSERT_EQ(image->ImportFile((m_Dir / "shot").c_str()), SOK);
    ASSERT_EQ(image->GetWidth(), 80);
    ASSERT_EQ(image->GetHeight(), 60);
    EXPECT_EQ(Pixel(*image, 0, 0), 0x404040u); // the channel's default clear colour
    EXPECT_EQ(Pixel(*image, 40, 30), 0xFFFFFFu);
}

TEST_F(PlayTool, EveryKthFrameIsNumbered) {
    EXPECT_EQ(QuorlixTool::NumberedPath("shot.png", 5), "shot-0005.png");
    EXPECT_EQ(QuorlixTool::NumberedPath("a.b/shot", 12345), "a.b/shot-12345");
    const ToolOutcome run = RunTool(
        m_Dir, "play scene.kss --headless --size 16x16 --frames 5 --every 2 --screenshot s.png");
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_TRUE(std::filesystem::exists(m_Dir / "s-0002.png"));
    EXPECT_TRUE(std::filesystem::exists(m_Dir / "s-0004.png"));
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "s-0005.png"));
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "s.png"));
}

TEST_F(PlayTool, ExitStatuses) {
    EXPECT_EQ(RunTool(m_Dir, "play missing.kss --headless").m_Status, 1);
    for (const char* wrong : {"play", "play scene.kss --size 0x10", "play scene.kss --size 10",
                              "play scene.kss --frames 0", "play scene.kss --every 2",
                              "play scene.kss --screenshot shot.jpg", "play scene.kss --fps -1"})
        EXPECT_EQ(RunTool(m_Dir, wrong).m_Status, 2) << wrong;
    EXPECT_EQ(RunTool(m_Dir, "play --help").m_Status, 0);
}
