// "quorlix texture font" as a user runs it: the PNG it writes holds the font image the library
// makes for the same members, the face used is printed, and wrong use writes nothing.

#include "ToolRun.h"

#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/render/Texture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string Bytes(const Image& image) {
    return std::string(
        reinterpret_cast<const char*>(image.GetData()),
        static_cast<size_t>(image.GetWidth() * image.GetHeight() * image.GetBytesPerPixel()));
}

TEST(TextureFontTool, WritesTheFontImageAsPng) {
    DLLInitialize(0);
    TempDir dir;
    {
        ToolOutcome run = RunTool(
            dir, "texture font --name 'DejaVu Sans' --size 16 --image-width 300 -o font.png");
        ASSERT_EQ(run.m_Status, 0) << run.m_Err;
        EXPECT_EQ(run.m_Out, "face: DejaVu Sans\n");
        Obj<Image> written(Image::Create());
        ASSERT_EQ(written->ImportFile((dir / "font").c_str()), SOK);
        Obj<FontTexture2D> font(FontTexture2D::Create());
        font->m_FontName = "DejaVu Sans";
        font->m_CharacterSize = Vector2f(0, 16);
        font->m_ImageSize = Vector2f(300, 256);
        ASSERT_TRUE(font->CreateFontImage());
        EXPECT_EQ(written->GetWidth(), 300);
        EXPECT_EQ(written->GetBytesPerPixel(), 2);
        EXPECT_EQ(Bytes(*written), Bytes(*font->GetGeneratedImage()));
    }
    {
        // The defaults: every printable character fits.
        ToolOutcome run = RunTool(dir, "texture font -o x.png");
        EXPECT_EQ(run.m_Status, 0) << run.m_Err;
        EXPECT_EQ(run.m_Out, "face: DejaVu Sans\n");
        EXPECT_TRUE(std::filesystem::exists(dir / "x.png"));
    }
    {
        // A family the machine lacks: the fallback face is named, and a map that does not fit
        // still writes what fits.
        ToolOutcome run = RunTool(
            dir,
            "texture font --name Tahoma --map ABC --image-height 40 --image-width 40 -o t.png");
        EXPECT_EQ(run.m_Status, 1);
        EXPECT_EQ(run.m_Out, "face: DejaVu Sans\n");
        EXPECT_TRUE(Contains(run.m_Err, "FONT ERROR.")) << run.m_Err;
        EXPECT_TRUE(std::filesystem::exists(dir / "t.png"));
    }
    {
        // Wrong use: another form or sizes out of range, and nothing written.
        EXPECT_EQ(RunTool(dir, "texture font -o font.bmg").m_Status, 2);
        EXPECT_EQ(RunTool(dir, "texture font --size 0 -o z.png").m_Status, 2);
        EXPECT_EQ(RunTool(dir, "texture font").m_Status, 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "font.bmg"));
        EXPECT_FALSE(std::filesystem::exists(dir / "z.png"));
    }
    DLLDeInitialize(0);
}

} // namespace
