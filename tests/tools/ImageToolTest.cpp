// "quorlix image" as a user runs it: info on each form, conversions read back pixel for pixel,
// mipmap chains, and the refusals that must leave no file behind.

#include "ToolRun.h"

#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class ImageTool : public ::testing::Test {
protected:
    void SetUp() override { DLLInitialize(0); }
    void TearDown() override { DLLDeInitialize(0); }

    // A w x h image of `channels` channels whose bytes count up from `seed`.
    static Obj<Image> Pattern(int channels, int w, int h, int seed = 0) {
        Obj<Image> image(Image::Create());
        EXPECT_TRUE(image->Allocate(channels, w, h, 0));
        for (int i = 0; i < channels * w * h; ++i)
            image->GetData()[i] = static_cast<unsigned char>(seed + i * 7);
        return image;
    }

    static Obj<Image> Read(const std::string& path) {
        Obj<Image> image(Image::Create());
        const size_t dot = path.find_last_of('.');
        EXPECT_EQ(image->ImportFile(path.substr(0, dot).c_str()), SOK) << path;
        return image;
    }

    static std::string Bytes(const Image& image) {
        return std::string(
            reinterpret_cast<const char*>(image.GetData()),
            static_cast<size_t>(image.GetWidth() * image.GetHeight() * image.GetBytesPerPixel()));
    }

    // What `command` prints, run in the test's folder (another program's view of our files).
    std::string Shell(const std::string& command) const {
        std::string out;
        const std::string line = "cd '" + m_Dir.Path() + "' && " + command + " 2>/dev/null";
        if (std::FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                out.append(buffer, n);
            (void)::pclose(pipe);
        }
        return out;
    }

    TempDir m_Dir;
};

TEST_F(ImageTool, InfoTellsSizeChannelsFormatAndLevels) {
    Obj<Image> image = Pattern(4, 8, 4);
    image->MipMap(0);
    ASSERT_EQ(image->ExportFile((m_Dir / "chain.bmg").c_str(), 0), SOK);
    ASSERT_EQ(Pattern(2, 5, 3)->ExportFile((m_Dir / "gray.png").c_str(), 0), SOK);

    ToolOutcome run = RunTool(m_Dir, "image info chain.bmg");
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(run.m_Out, "file: chain.bmg\nsize: 8 x 4\nchannels: 4 (red, green, blue, alpha)\n"
                         "format: 0\nmip levels: 4\n");
    run = RunTool(m_Dir, "image info gray.png");
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_TRUE(Contains(run.m_Out, "size: 5 x 3\nchannels: 2 (luminance, alpha)\n")) << run.m_Out;
    EXPECT_TRUE(Contains(run.m_Out, "mip levels: 1\n"));
}

TEST_F(ImageTool, ConvertsBetweenTheFormsPixelForPixel) {
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        Obj<Image> original = Pattern(channels, 7, 5, channels);
        ASSERT_EQ(original->ExportFile((m_Dir / "a.bmg").c_str(), 0), SOK);
        ToolOutcome run = RunTool(m_Dir, "image convert a.bmg b.png");
        ASSERT_EQ(run.m_Status, 0) << run.m_Err;
        run = RunTool(m_Dir, "image convert b.png c.bmg");
        ASSERT_EQ(run.m_Status, 0) << run.m_Err;
        Obj<Image> back = Read(m_Dir / "c.bmg");
        EXPECT_EQ(back->GetBytesPerPixel(), channels);
        EXPECT_EQ(Bytes(*back), Bytes(*original));
        EXPECT_FALSE(std::filesystem::exists(m_Dir / "c.bmg.part"));
    }
    // A TGA as another program reads it: the same pixels, top row first.
    Obj<Image> rgba = Pattern(4, 3, 2);
    ASSERT_EQ(rgba->ExportFile((m_Dir / "d.png").c_str(), 0), SOK);
    ASSERT_EQ(RunTool(m_Dir, "image convert d.png d.tga").m_Status, 0);
    const std::string seen = Shell("convert d.tga -auto-orient rgba:-");
    std::string topDown;
    for (int row = 1; row >= 0; --row)
        topDown += Bytes(*rgba).substr(static_cast<size_t>(row) * 12, 12);
    EXPECT_EQ(seen, topDown);
}

TEST_F(ImageTool, ReadsJpeg2000MadeByAnotherProgram) {
    ASSERT_EQ(Pattern(3, 16, 8)->ExportFile((m_Dir / "p.png").c_str(), 0), SOK);
    // Fewer resolution levels than the default six, which need at least 32 x 32 pixels.
    (void)Shell("opj_compress -n 3 -i p.png -o p.jp2");
    ASSERT_TRUE(std::filesystem::exists(m_Dir / "p.jp2"));
    ToolOutcome run = RunTool(m_Dir, "image convert p.jp2 q.png");
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(Bytes(*Read(m_Dir / "q.png")), Bytes(*Pattern(3, 16, 8)));
    EXPECT_TRUE(
        Contains(RunTool(m_Dir, "image info p.jp2").m_Out, "channels: 3 (red, green, blue)"));
}

TEST_F(ImageTool, MipmapsAreAddedForBmgOnly) {
    ASSERT_EQ(Pattern(4, 16, 4)->ExportFile((m_Dir / "s.png").c_str(), 0), SOK);
    ToolOutcome run = RunTool(m_Dir, "image convert s.png s.bmg --mipmap");
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_TRUE(Contains(RunTool(m_Dir, "image info s.bmg").m_Out, "mip levels: 5\n"));
    Obj<Image> chain = Read(m_Dir / "s.bmg");
    ASSERT_NE(chain->GetMipMap(), nullptr);
    EXPECT_EQ(chain->GetMipMap()->GetWidth(), 8);
    EXPECT_EQ(chain->GetMipMap()->GetHeight(), 2);

    // Not a power of two: nothing written, the earlier output kept.
    ASSERT_EQ(Pattern(4, 6, 4)->ExportFile((m_Dir / "odd.png").c_str(), 0), SOK);
    run = RunTool(m_Dir, "image convert odd.png s.bmg --mipmap");
    EXPECT_EQ(run.m_Status, 1);
    EXPECT_TRUE(Contains(run.m_Err, "sizes must be powers of two"));
    EXPECT_EQ(Read(m_Dir / "s.bmg")->GetWidth(), 16);
}

TEST_F(ImageTool, WrongUseAndUnreadableFilesLeaveNothingBehind) {
    ASSERT_EQ(Pattern(3, 2, 2)->ExportFile((m_Dir / "ok.png").c_str(), 0), SOK);
    struct Case {
        const char* m_Arguments;
        int m_Status;
        const char* m_Err;
    };
    const Case cases[] = {
        {"image convert ok.png out.jpg", 2, "forms written are .bmg, .png and .tga"},
        {"image convert ok.gif out.png", 2, "forms read are .bmg, .png and .jp2"},
        {"image convert ok.png out.png --mipmap", 2, "only .bmg files carry mipmap levels"},
        {"image info ok.txt", 2, "forms read are"},
        {"image", 2, ""},
        {"image convert missing.png out.png", 1, "cannot open missing.png"},
        {"image convert broken.png out.png", 1, "cannot read the image in broken.png"},
    };
    WriteFileBytes(m_Dir / "broken.png", "\x89PNG\r\n\x1a\n not really");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Arguments);
        const ToolOutcome run = RunTool(m_Dir, c.m_Arguments);
        EXPECT_EQ(run.m_Status, c.m_Status);
        EXPECT_TRUE(Contains(run.m_Err, c.m_Err)) << run.m_Err;
        EXPECT_FALSE(std::filesystem::exists(m_Dir / "out.png"));
        EXPECT_FALSE(std::filesystem::exists(m_Dir / "out.jpg"));
    }
    EXPECT_EQ(RunTool(m_Dir, "image convert --help").m_Status, 0);
}

} // namespace
