// The PNG and JPEG 2000 codecs against files that ImageMagick and opj_compress make at test time:
// every colour form decodes to the pixels ImageMagick reports (rows bottom-up), our PNGs read
// back and read in ImageMagick alike, and damaged or hostile files fail cleanly.

#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/image/Image.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/FaultPipe.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>
#include <openjpeg.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Width = 19;
constexpr int k_Height = 11;

using Reader = EResult (*)(Image&, StreamPipe&, const char*);

// Standard output of a shell command; an empty string when it fails.
std::string Shell(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        if (::pclose(pipe) != 0)
            out.clear();
    }
    return out;
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

// `bytes` decoded by `reader`, which must return `expected`.
Obj<Image> Decode(Reader reader, const std::string& bytes, EResult expected = SOK) {
    Obj<Image> image = Image::Create();
    Obj<StreamPipeMemory> pipe =
        StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(reader(*image, *pipe, "test"), expected);
    return image;
}

// `bytes` refused by `reader`: EFail, an empty image, and `logged` (when given) in the log.
void ExpectFailure(Reader reader, const std::string& bytes, const char* logged) {
    LogCapture log;
    Obj<Image> image = Decode(reader, bytes, EFail);
    EXPECT_EQ(image->GetBytesPerPixel(), 0);
    EXPECT_EQ(image->GetWidth(), 0);
    EXPECT_EQ(image->GetHeight(), 0);
    EXPECT_EQ(image->GetData(), nullptr);
    if (logged != nullptr) {
        EXPECT_NE(log.Text().find(logged), std::string::npos) << log.Text();
    }
}

// The image top-down as R, G, B, A bytes, channels expanded as ImageMagick lists gray files.
std::string TopDownRgba(const Image& image) {
    const int n = image.GetBytesPerPixel();
    std::string out;
    for (int y = image.GetHeight() - 1; y >= 0; --y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const unsigned char* p = image.GetData() + (size_t(y) * image.GetWidth() + x) * n;
            const bool gray = n <= 2;
            const unsigned char alpha = n == 2 ? p[1] : n == 4 ? p[3] : 255;
            out += {char(p[0]), char(gray ? p[0] : p[1]), char(gray ? p[0] : p[2]), char(alpha)};
        }
    }
    return out;
}

// What ImageMagick reads from `path`: top-down RGBA bytes, 16-bit samples cut to their high
// byte (what strip-16 and a shift of 16-bit precision down to 8 both give).
std::string MagickRgba(const std::string& path, bool sixteen = false) {
    if (!sixteen)
        return Shell("convert '" + path + "' -depth 8 rgba:-");
    const std::string wide = Shell("convert '" + path + "' -endian MSB -depth 16 rgba:-");
    std::string high;
    for (size_t i = 0; i < wide.size(); i += 2)
        high += wide[i];
    return high;
}

// Equal pixel strings, or where the first difference is.
::testing::AssertionResult SamePixels(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
           << i << " (pixel " << i / 4 << ", byte " << i % 4 << ")";
}

// A raw codestream made with the encoding API: every sample of component c at (x, y) is
// value(c, x, y); component `subsampled` (or none, -1) at half size across and down.
template <class Value>
std::string EncodeJ2k(int components, int precision, bool isSigned, int subsampled, Value value) {
    std::vector<opj_image_cmptparm_t> parameters(static_cast<size_t>(components));
    for (int c = 0; c < components; ++c) {
        opj_image_cmptparm_t& p = parameters[size_t(c)];
        p = {};
        p.dx = p.dy = c == subsampled ? 2 : 1;
        p.w = (k_Width + p.dx - 1) / p.dx;
        p.h = (k_Height + p.dy - 1) / p.dy;
        p.prec = OPJ_UINT32(precision);
        p.sgnd = isSigned ? 1 : 0;
    }
    opj_image_t* image =
        opj_image_create(OPJ_UINT32(components), parameters.data(), OPJ_CLRSPC_UNSPECIFIED);
    image->x1 = k_Width;
    image->y1 = k_Height;
    for (int c = 0; c < components; ++c)
        for (OPJ_UINT32 i = 0; i < image->comps[c].w * image->comps[c].h; ++i)
            image->comps[c].data[i] =
                value(c, int(i % image->comps[c].w), int(i / image->comps[c].w));
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.numresolution = 2;
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0; // lossless
    settings.cp_disto_alloc = 1;
    settings.tcp_mct = 0;
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
    std::string out;
    opj_stream_t* stream = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(stream, &out, nullptr);
    opj_stream_set_write_function(stream, [](void* data, OPJ_SIZE_T n, void* user) {
        static_cast<std::string*>(user)->append(static_cast<const char*>(data), n);
        return n;
    });
    const bool ok = opj_setup_encoder(codec, &settings, image) &&
                    opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
                    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return ok ? out : std::string();
}

class ImageCodecs : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(m_Dir / "src.rgba", RandomBytes(k_Width * k_Height * 4, 7));
        WriteFileBytes(m_Dir / "src16.rgba", RandomBytes(k_Width * k_Height * 8, 8));
    }

    // A PNG made by ImageMagick from the 8-bit (or 16-bit) random source; its path. Without
    // ancillary chunks: opj_compress would apply a gamma chunk that ImageMagick does not.
    std::string MakePng(const std::string& name, const std::string& options, bool sixteen) {
        const std::string path = m_Dir / (name + ".png");
        const std::string source = sixteen ? "-depth 16 -endian MSB rgba:'" + m_Dir / "src16.rgba"
                                           : "-depth 8 rgba:'" + m_Dir / "src.rgba";
        Shell("convert -size " + std::to_string(k_Width) + "x" + std::to_string(k_Height) + " " +
              source + "' -strip " + options + "'" + path + "' 2>/dev/null");
        return path;
    }

    // `png` through opj_compress (lossless) to `extension`; the new file's bytes.
    std::string Compress(const std::string& png, const std::string& extension) {
        const std::string out = png.substr(0, png.size() - 4) + extension;
        Shell("opj_compress -n 2 -i '" + png + "' -o '" + out + "' >/dev/null 2>&1");
        return ReadFileBytes(out);
    }

    TempDir m_Dir;
};

struct PngForm {
    const char* m_Name;
    const char* m_Options; // what ImageMagick is told, ending in the format prefix if any
    bool m_Sixteen;
    int m_Channels;                        // what the reader must make of it
    int m_Depth, m_ColorType, m_Interlace; // the IHDR ImageMagick must have written
};

const PngForm k_Forms[] = {
    {"gray", "-alpha off -colorspace Gray -define png:color-type=0 ", false, 1, 8, 0, 0},
    {"gray4",
     "-alpha off -colorspace Gray -depth 4 -define png:bit-depth=4 -define png:color-type=0 ",
     false, 1, 4, 0, 0},
    {"gray1",
     "-alpha off -colorspace Gray -threshold 50% -define png:bit-depth=1 -define png:color-type=0 ",
     false, 1, 1, 0, 0},
    {"grayalpha", "-colorspace Gray -define png:color-type=4 ", false, 2, 8, 4, 0},
    {"rgb", "-alpha off PNG24:", false, 3, 8, 2, 0},
    {"rgba", "PNG32:", false, 4, 8, 6, 0},
    {"palette", "-alpha off PNG8:", false, 3, 8, 3, 0},
    {"palettetrns", "PNG8:", false, 4, 8, 3, 0},
    {"rgb16", "-alpha off PNG48:", true, 3, 16, 2, 0},
    {"rgba16", "PNG64:", true, 4, 16, 6, 0},
    {"interlaced", "-interlace PNG PNG32:", false, 4, 8, 6, 1},
};

TEST_F(ImageCodecs, PngDecodesEveryColourFormBottomUp) {
    for (const PngForm& form : k_Forms) {
        SCOPED_TRACE(form.m_Name);
        const std::string path = MakePng(form.m_Name, form.m_Options, form.m_Sixteen);
        const std::string file = ReadFileBytes(path);
        ASSERT_GT(file.size(), 33u);
        ASSERT_EQ(int(file[24]), form.m_Depth);
        ASSERT_EQ(int(file[25]), form.m_ColorType);
        ASSERT_EQ(int(file[28]), form.m_Interlace);
        Obj<Image> image = Decode(Internal::ReadPng, file);
        EXPECT_EQ(image->GetBytesPerPixel(), form.m_Channels);
        EXPECT_EQ(image->GetWidth(), k_Width);
        EXPECT_EQ(image->GetHeight(), k_Height);
        EXPECT_EQ(image->GetFormat(), 0u);
        const std::string expected = MagickRgba(path, form.m_Sixteen);
        ASSERT_EQ(expected.size(), size_t(k_Width * k_Height * 4));
        EXPECT_TRUE(SamePixels(TopDownRgba(*image), expected));
    }
}

TEST_F(ImageCodecs, PngWrittenReadsBackAndInImageMagick) {
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        Obj<Image> image = Image::Create();
        ASSERT_TRUE(image->Allocate(channels, 23, 9, 0));
        const std::string pixels = RandomBytes(size_t(23 * 9 * channels), unsigned(channels));
        std::copy(pixels.begin(), pixels.end(), image->GetData());
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        ASSERT_EQ(Internal::WritePng(*image, *pipe, "out", 0), SOK);
        const std::string file(reinterpret_cast<const char*>(pipe->GetData()),
                               size_t(pipe->GetSize()));
        ASSERT_GT(file.size(), 33u);
        EXPECT_EQ(int(file[24]), 8);
        constexpr int k_ColorTypes[] = {0, 4, 2, 6};
        EXPECT_EQ(int(file[25]), k_ColorTypes[channels - 1]);
        EXPECT_EQ(int(file[28]), 0);

        Obj<Image> back = Decode(Internal::ReadPng, file);
        ASSERT_EQ(back->GetBytesPerPixel(), channels);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(back->GetData()), pixels.size()),
                  pixels);
        // The file is top-down: ImageMagick sees the last storage row first.
        WriteFileBytes(m_Dir / "out.png", file);
        EXPECT_TRUE(SamePixels(TopDownRgba(*image), MagickRgba(m_Dir / "out.png")));
    }
}

TEST_F(ImageCodecs, PngFailuresLeaveTheImageEmpty) {
    const std::string good = ReadFileBytes(MakePng("rgba", "PNG32:", false));
    ASSERT_GT(good.size(), 100u);
    const auto expectFailure = [](const std::string& bytes, const char* logged) {
        ExpectFailure(Internal::ReadPng, bytes, logged);
    };
    {
        SCOPED_TRACE("truncated");
        expectFailure(good.substr(0, good.size() / 2), "ImportFilePNG: Read Error");
    }
    {
        SCOPED_TRACE("damaged data");
        std::string bad = good;
        const size_t idat = good.find("IDAT");
        size_t length = 0;
        for (size_t i = idat - 4; i < idat; ++i)
            length = length << 8 | (unsigned char)good[i];
        bad[idat + 4 + length] ^= 0x10; // the chunk's CRC
        expectFailure(bad, "IDAT: CRC error");
    }
    {
        SCOPED_TRACE("20000 x 20000 in a valid header");
        std::string huge = good;
        for (int at : {16, 20}) {
            const uint32_t size = 20000;
            for (int i = 0; i < 4; ++i)
                huge[size_t(at + i)] = char(size >> (24 - 8 * i));
        }
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17); // "IHDR" and data
        for (int i = 0; i < 4; ++i)
            huge[size_t(29 + i)] = char(crc >> (24 - 8 * i));
        expectFailure(huge, "ImportFilePNG: image too large (20000 x 20000)");
    }
    {
        SCOPED_TRACE("not a PNG");
        expectFailure(std::string(64, 'x'), "ImportFilePNG: ");
    }
}

TEST_F(ImageCodecs, PngWriterRefusesWhatItCannotWrite) {
    {
        LogCapture log;
        Obj<Image> empty = Image::Create();
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        EXPECT_EQ(Internal::WritePng(*empty, *pipe, "out", 0), EFail);
        EXPECT_NE(log.Text().find("ExportFilePNG: unsupported color format."), std::string::npos);
        EXPECT_EQ(pipe->GetSize(), 0);
    }
    {
        LogCapture log;
        Obj<Image> image = Image::Create();
        ASSERT_TRUE(image->Allocate(3, 8, 8, 0));
        Obj<FaultPipe> pipe = NewObject<FaultPipe>(StreamPipeMemory::Create());
        pipe->FailWrites(FaultPipe::Fault::Always, 2);
        EXPECT_EQ(Internal::WritePng(*image, *pipe, "out", 9), EFail);
        EXPECT_NE(log.Text().find("ExportFilePNG: Write Error"), std::string::npos) << log.Text();
    }
}

TEST_F(ImageCodecs, Jp2AndJ2kDecodeLosslessFilesBottomUp) {
    for (const char* name : {"gray", "grayalpha", "rgb", "rgba", "rgba16"}) {
        SCOPED_TRACE(name);
        const PngForm* form = nullptr;
        for (const PngForm& f : k_Forms)
            if (std::string(f.m_Name) == name)
                form = &f;
        const std::string png = MakePng(name, form->m_Options, form->m_Sixteen);
        const std::string expected = MagickRgba(png, form->m_Sixteen);
        for (const char* extension : {".jp2", ".j2k"}) {
            SCOPED_TRACE(extension);
            const std::string file = Compress(png, extension);
            ASSERT_FALSE(file.empty());
            Obj<Image> image = Decode(Internal::ReadJp2, file);
            EXPECT_EQ(image->GetBytesPerPixel(), form->m_Channels);
            EXPECT_TRUE(SamePixels(TopDownRgba(*image), expected));
        }
    }
}

TEST_F(ImageCodecs, Jp2ReadsSignedDeepSamplesFromAnyPositionInThreads) {
    {
        SCOPED_TRACE("signed 12 bits");
        const auto value = [](int, int x, int y) { return (x * 211 + y * 97) % 4096 - 2048; };
        Obj<Image> image = Decode(Internal::ReadJp2, EncodeJ2k(1, 12, true, -1, value));
        ASSERT_EQ(image->GetBytesPerPixel(), 1);
        for (int y = 0; y < k_Height; ++y)
            for (int x = 0; x < k_Width; ++x)
                ASSERT_EQ(image->GetData()[(k_Height - 1 - y) * k_Width + x],
                          (value(0, x, y) + 2048) >> 4);
    }
    const std::string file = Compress(MakePng("rgba", "PNG32:", false), ".jp2");
    const std::string expected = MagickRgba(m_Dir / "rgba.png");
    {
        SCOPED_TRACE("a pipe that starts after other bytes");
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        pipe->Write("junk!", 5);
        pipe->Write(file.data(), int(file.size()));
        pipe->Seek(5, SeekBegin);
        Obj<Image> image = Image::Create();
        ASSERT_EQ(Internal::ReadJp2(*image, *pipe, "test"), SOK);
        EXPECT_TRUE(SamePixels(TopDownRgba(*image), expected));
    }
    {
        SCOPED_TRACE("four threads at once");
        std::vector<std::string> seen(4);
        std::vector<std::thread> threads;
        for (std::string& out : seen)
            threads.emplace_back([&file, &out] {
                for (int i = 0; i < 5; ++i) {
                    out = TopDownRgba(*Decode(Internal::ReadJp2, file));
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        for (const std::string& out : seen)
            EXPECT_TRUE(SamePixels(out, expected));
    }
}

TEST_F(ImageCodecs, Jp2FailuresLeaveTheImageEmpty) {
    const std::string good = Compress(MakePng("rgba", "PNG32:", false), ".jp2");
    ASSERT_GT(good.size(), 100u);
    const auto expectFailure = [](const std::string& bytes, const char* logged) {
        ExpectFailure(Internal::ReadJp2, bytes, logged);
    };
    {
        SCOPED_TRACE("unknown format");
        expectFailure("GIF89a and more bytes", "ImportFileJP2: input image has unknown format.");
        expectFailure("", "ImportFileJP2: input image has unknown format.");
    }
    {
        SCOPED_TRACE("truncated");
        expectFailure(good.substr(0, good.size() * 3 / 5),
                      "ImportFileJP2: cannot load image data.");
        expectFailure(good.substr(0, 40), "ImportFileJP2: cannot load image data.");
    }
    {
        SCOPED_TRACE("five components");
        const std::string five =
            EncodeJ2k(5, 8, false, -1, [](int c, int x, int y) { return (c * 50 + x + y) & 255; });
        ASSERT_FALSE(five.empty());
        expectFailure(five, nullptr);
    }
    {
        SCOPED_TRACE("a subsampled component");
        const std::string sub = EncodeJ2k(
            3, 8, false, 1, [](int c, int x, int y) { return (c * 50 + x * 3 + y) & 255; });
        ASSERT_FALSE(sub.empty());
        expectFailure(sub, "ImportFileJP2: subsampled components are not supported.");
    }
}

} // namespace
