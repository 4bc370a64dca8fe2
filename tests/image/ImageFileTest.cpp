// Image files: BMG read and written byte for byte, its refused headers, TGA as written and as
// ImageMagick reads it, and the choice of form by file name.

#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/FaultPipe.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class ImageFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

// A BMG header: magic and version, flags, bytes per pixel, width, height, the field that is 1.
std::string BmgHeader(int flags, int bpp, int width, int height, int one = 1,
                      const char* magic = "BMG\x01") {
    std::string h(magic, 4);
    h += std::string{0, 0, char(flags >> 8), char(flags)};
    for (int v : {bpp, width, height, one})
        h += std::string{char(v >> 8), char(v)};
    return h;
}

Obj<Image> MakeImage(int bpp, int width, int height, const std::string& pixels,
                     uint32_t format = 0) {
    Obj<Image> image(Image::Create());
    EXPECT_TRUE(image->Allocate(bpp, width, height, format));
    if (!pixels.empty())
        std::memcpy(image->GetData(), pixels.data(), pixels.size());
    return image;
}

std::string Pixels(const Image& image) {
    return std::string(reinterpret_cast<const char*>(image.GetData()),
                       size_t(image.GetWidth()) * image.GetHeight() * image.GetBytesPerPixel());
}

std::string Contents(const StreamPipeMemory& pipe) {
    return std::string(reinterpret_cast<const char*>(pipe.GetData()), size_t(pipe.GetSize()));
}

// Writes `image` in the form `name` selects and returns the bytes (empty on failure).
std::string Export(Image& image, const char* name, EResult expected = SOK) {
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create());
    EXPECT_EQ(image.ExportStream(name, pipe.Get(), 0), expected);
    return Contents(*pipe);
}

EResult Import(Image& image, const std::string& bytes, const char* name = "x.bmg") {
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create(bytes.data(), int(bytes.size())));
    return image.ImportStream(name, pipe.Get());
}

const std::string k_ReadFailed = "[Info ]Image_D::ImportFileBMG: failed to read \"x.bmg\"";

} // namespace

TEST_F(ImageFiles, BmgRoundTripsWithItsMipMapsByteForByte) {
    Obj<Image> image = MakeImage(2, 4, 2, "abcdefghijklmnop");
    image->MipMap(0);
    // Levels 2 x 1 and 1 x 1, filtered from (a b e f / i j m n) and so on.
    const std::string level1 = {
        char(('a' + 'c' + 'i' + 'k') >> 2), char(('b' + 'd' + 'j' + 'l') >> 2),
        char(('e' + 'g' + 'm' + 'o') >> 2), char(('f' + 'h' + 'n' + 'p') >> 2)};
    const std::string level2 = {char((level1[0] + level1[2]) >> 1),
                                char((level1[1] + level1[3]) >> 1)};
    const std::string expected = std::string("BMG\x01\0\0\0\x01\0\x02\0\x04\0\x02\0\x01", 16) +
                                 "abcdefghijklmnop" + level1 + level2;
    EXPECT_EQ(Export(*image, "out.bmg"), expected);

    // Read back, the chain comes out as it went in; an image without one writes flag 0.
    Obj<Image> back(Image::Create());
    ASSERT_EQ(Import(*back, expected), SOK);
    EXPECT_EQ(Export(*back, "again.bmg"), expected);
    Obj<Image> plain = MakeImage(3, 1, 1, "xyz");
    EXPECT_EQ(Export(*plain, "a.b.bmg"), BmgHeader(0, 3, 1, 1) + "xyz");
}

TEST_F(ImageFiles, BmgHeadersOutsideTheFormAreRefused) {
    const std::string pixel8192(8192, 'q');
    {
        Obj<Image> image(Image::Create());
        EXPECT_EQ(Import(*image, BmgHeader(0, 1, 8192, 1) + pixel8192), SOK);
        EXPECT_EQ(image->GetWidth(), 8192);
        EXPECT_EQ(Import(*image, BmgHeader(0, 1, 1, 8192) + pixel8192), SOK);
        EXPECT_EQ(image->GetHeight(), 8192);
        // A picture without pixels is read as what its writer wrote: an empty image.
        EXPECT_EQ(Import(*image, BmgHeader(0, 4, 5, 0)), SOK);
        EXPECT_EQ(image->GetData(), nullptr);
        // Magic and version are not looked at.
        EXPECT_EQ(Import(*image, BmgHeader(0, 3, 1, 1, 1, "PNG\x07") + "rgb"), SOK);
        EXPECT_EQ(Pixels(*image), "rgb");
    }
    const std::string level0(4, 'p');
    const std::pair<const char*, std::string> refused[] = {
        {"width 8193", BmgHeader(0, 1, 8193, 1) + pixel8192 + "q"},
        {"height 8193", BmgHeader(0, 1, 1, 8193) + pixel8192 + "q"},
        {"no channels with a size", BmgHeader(0, 0, 2, 2) + level0},
        {"no channels with a width", BmgHeader(0, 0, 2, 0)},
        {"5 channels", BmgHeader(0, 5, 1, 1) + "12345"},
        {"field 14 not 1", BmgHeader(0, 1, 2, 2, 2) + level0},
        {"short header", BmgHeader(0, 1, 2, 2).substr(0, 15)},
        {"short level 0", BmgHeader(0, 1, 2, 2) + "ppp"},
        {"chain missing", BmgHeader(1, 1, 2, 2) + level0},
        {"chain short", BmgHeader(1, 1, 4, 1) + level0 + "pp"},
    };
    for (const auto& [what, bytes] : refused) {
        SCOPED_TRACE(what);
        LogCapture log;
        Obj<Image> image = MakeImage(1, 2, 2, "");
        EXPECT_EQ(Import(*image, bytes), EFail);
        EXPECT_EQ(image->GetWidth(), 0);
        EXPECT_EQ(image->GetBytesPerPixel(), 0);
        EXPECT_EQ(image->GetData(), nullptr);
        EXPECT_EQ(image->GetMipMap(), nullptr);
        EXPECT_EQ(log.Messages(), std::vector<std::string>{k_ReadFailed});
    }
}

TEST_F(ImageFiles, ExportRefusesSizesItsFormCannotHoldBeforeWriting) {
    Obj<Image> wide = MakeImage(1, 8193, 1, std::string(8193, 'w'));
    Obj<Image> wider = MakeImage(1, 65536, 1, std::string(65536, 'w'));
    {
        LogCapture log;
        EXPECT_EQ(Export(*wide, "w.bmg", EFail), "");
        EXPECT_EQ(Export(*wider, "w.tga", EFail), "");
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                      "[Info ]Image_D::ExportFileBMG: failed to write \"w.bmg\"",
                                      "[Info ]Image_D::ExportFileTGA: failed to write \"w.tga\""}));
    }
    Obj<Image> fits = MakeImage(1, 65535, 1, std::string(65535, 'w'));
    EXPECT_EQ(Export(*fits, "f.tga").size(), 18u + 65535u);

    // A pipe that stops taking bytes after the header is a failed write.
    Obj<Image> small = MakeImage(1, 2, 2, "abcd");
    for (const char* name : {"s.bmg", "s.tga"}) {
        Obj<FaultPipe> pipe(NewObject<FaultPipe>(StreamPipeMemory::Create()));
        pipe->FailWrites(FaultPipe::Fault::Always, 1);
        LogCapture log;
        EXPECT_EQ(small->ExportStream(name, pipe.Get(), 0), EFail) << name;
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_NE(log.Messages()[0].find(std::string("failed to write \"") + name),
                  std::string::npos);
    }
}

TEST_F(ImageFiles, TgaIsGreyScaleOrBlueGreenRedAlpha) {
    const auto header = [](int type, int width, int height, int depth) {
        std::string h(18, '\0');
        h[2] = char(type);
        h[12] = char(width), h[13] = char(width >> 8);
        h[14] = char(height), h[15] = char(height >> 8);
        h[16] = char(depth);
        return h;
    };
    Obj<Image> rgba = MakeImage(4, 2, 1, "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(Export(*rgba, "c.TGA"), header(2, 2, 1, 32) + "\x03\x02\x01\x04\x07\x06\x05\x08");
    Obj<Image> rgb = MakeImage(3, 1, 2, "\x01\x02\x03\x04\x05\x06");
    EXPECT_EQ(Export(*rgb, "c.tga"), header(2, 1, 2, 24) + "\x03\x02\x01\x06\x05\x04");
    // A format tag other than 0 is written as it is stored.
    Obj<Image> tagged = MakeImage(3, 1, 1, "\x01\x02\x03", 5);
    EXPECT_EQ(Export(*tagged, "c.tga"), header(2, 1, 1, 24) + "\x01\x02\x03");
    Obj<Image> gray = MakeImage(1, 300, 1, std::string(300, 'g'));
    EXPECT_EQ(Export(*gray, "g.tga"), header(3, 300, 1, 8) + std::string(300, 'g'));
    Obj<Image> grayAlpha = MakeImage(2, 1, 1, "ga");
    EXPECT_EQ(Export(*grayAlpha, "g.tga"), header(3, 1, 1, 16) + "ga");
}

TEST_F(ImageFiles, TgaReadsBackThroughImageMagick) {
    TempDir folder;
    // What `convert` makes of a file, as R, G, B, A bytes from the top row down.
    const auto convert = [&](const std::string& name) {
        const std::string command = "convert '" + (folder / name) + "' -auto-orient rgba:- 2>&1";
        std::string out;
        if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                out.append(buffer, n);
            EXPECT_EQ(::pclose(pipe), 0) << out;
        }
        return out;
    };
    // Bottom row (1,2,3,4) (5,6,7,8), top row (9,10,11,12) (13,14,15,16).
    const std::string rows = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10";
    Obj<Image> rgba = MakeImage(4, 2, 2, rows);
    ASSERT_EQ(rgba->ExportFile((folder / "rgba.tga").c_str(), 0), SOK);
    EXPECT_EQ(convert("rgba.tga"), rows.substr(8) + rows.substr(0, 8));

    Obj<Image> rgb = MakeImage(3, 2, 1, "\x10\x20\x30\x40\x50\x60");
    ASSERT_EQ(rgb->ExportFile((folder / "rgb.tga").c_str(), 0), SOK);
    EXPECT_EQ(convert("rgb.tga"), std::string("\x10\x20\x30\xFF\x40\x50\x60\xFF"));

    Obj<Image> gray = MakeImage(1, 1, 2, "\x11\x22");
    ASSERT_EQ(gray->ExportFile((folder / "gray.tga").c_str(), 0), SOK);
    EXPECT_EQ(convert("gray.tga"), std::string("\x22\x22\x22\xFF\x11\x11\x11\xFF"));
}

TEST_F(ImageFiles, FormsAreChosenByTheLastExtension) {
    Obj<Image> image = MakeImage(1, 1, 1, "z");
    const std::string bmg = BmgHeader(0, 1, 1, 1) + "z";
    EXPECT_EQ(Import(*image, bmg, "dir.png/file.BmG"), SOK);
    for (const char* name : {"file.bmg.txt", "file", "file.bmgx", ".bm", ""}) {
        EXPECT_EQ(Import(*image, bmg, name), ENotFound) << name;
        EXPECT_EQ(image->GetData(), nullptr);
    }
    // No pipe, or one with nothing to read, is a file that did not open.
    EXPECT_EQ(image->ImportStream("x.bmg", nullptr), ENotFound);
    EXPECT_EQ(Import(*image, "", "x.bmg"), ENotFound);
    EXPECT_EQ(Export(*image, "x.jpg", ENotFound), "");
    EXPECT_EQ(Export(*image, "x.jp2", ENotFound), "");
}

TEST_F(ImageFiles, ImportFileTakesTheFirstFormThatOpens) {
    TempDir folder;
    const std::string base = folder / "picture";
    WriteFileBytes(base + ".bmg", BmgHeader(0, 1, 2, 1) + "bm");
    WriteFileBytes(base + ".png", "not read");
    Obj<Image> image(Image::Create());
    {
        LogCapture log;
        EXPECT_EQ(image->ImportFile(base.c_str()), SOK);
        EXPECT_EQ(Pixels(*image), "bm");
        EXPECT_TRUE(log.Messages().empty()) << log.Text();
    }
    {
        // An empty file counts as one that did not open.
        WriteFileBytes(folder / "empty.bmg", "");
        LogCapture log;
        EXPECT_EQ(image->ImportFile((folder / "empty").c_str()), ENotFound);
        EXPECT_EQ(image->GetData(), nullptr);
        // Only the last candidate, .jp2, says that it is missing.
        ASSERT_EQ(log.Messages().size(), 1u) << log.Text();
        EXPECT_NE(log.Messages()[0].find("empty.jp2\""), std::string::npos) << log.Text();
    }
    {
        WriteFileBytes(folder / "bad.bmg", BmgHeader(0, 9, 1, 1) + "z");
        LogCapture log;
        EXPECT_EQ(image->ImportFile((folder / "bad").c_str()), EFail);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Info ]Image_D::ImportFileBMG: failed to read \"" +
                                           folder.Path() + "/bad.bmg\""});
    }
}

TEST_F(ImageFiles, ExportFileLeavesFilesAloneForFormsItCannotWrite) {
    TempDir folder;
    const std::string jpg = folder / "keep.jpg";
    WriteFileBytes(jpg, "existing");
    Obj<Image> image = MakeImage(3, 1, 1, "rgb");
    EXPECT_EQ(image->ExportFile(jpg.c_str(), 0), ENotFound);
    EXPECT_EQ(ReadFileBytes(jpg), "existing");
    EXPECT_EQ(image->ExportFile((folder / "none.jp2").c_str(), 0), ENotFound);
    EXPECT_FALSE(std::filesystem::exists(folder / "none.jp2"));

    const std::string bmg = folder / "out.bmg";
    WriteFileBytes(bmg, std::string(100, 'o'));
    ASSERT_EQ(image->ExportFile(bmg.c_str(), 0), SOK);
    EXPECT_EQ(ReadFileBytes(bmg), BmgHeader(0, 3, 1, 1) + "rgb");
}
