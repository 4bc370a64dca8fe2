// Image_D in memory: allocation refusals, pixel and span conversions, span limits, fills,
// reduction and mipmaps.

#include "quorlix/image/Image.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using Bytes = std::vector<unsigned char>;

Obj<Image> MakeImage(int bytesPerPixel, int width, int height, const Bytes& pixels = {}) {
    Obj<Image> image(Image::Create());
    EXPECT_TRUE(image->Allocate(bytesPerPixel, width, height, 0));
    const size_t size = size_t(bytesPerPixel) * width * height;
    if (size > 0)
        std::memset(image->GetData(), 0, size);
    if (!pixels.empty())
        std::memcpy(image->GetData(), pixels.data(), size);
    return image;
}

Bytes Pixels(const Image& image) {
    const unsigned char* data = image.GetData();
    return Bytes(data,
                 data + size_t(image.GetBytesPerPixel()) * image.GetWidth() * image.GetHeight());
}

const std::string k_SpanError = "[Error]GetSpanR8G8B8A8: exceeding limits.";

} // namespace

TEST(ImageD, AllocateRefusesImpossibleSizesAndLeavesTheImageEmpty) {
    Obj<Image> image = MakeImage(3, 4, 2);
    image->MipMap(0);
    ASSERT_NE(image->GetMipMap(), nullptr);
    for (const auto& [bpp, w, h] :
         {std::tuple{-1, 2, 2}, std::tuple{5, 2, 2}, std::tuple{1, -2, 2}, std::tuple{1, 2, -1},
          std::tuple{4, 32768, 16384}, std::tuple{1, 46341, 46341}}) {
        LogCapture log;
        EXPECT_FALSE(image->Allocate(bpp, w, h, 0));
        EXPECT_EQ(image->GetWidth(), 0);
        EXPECT_EQ(image->GetBytesPerPixel(), 0);
        EXPECT_EQ(image->GetData(), nullptr);
        EXPECT_EQ(image->GetMipMap(), nullptr);
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_EQ(log.Messages()[0].rfind("[Error]Image::Allocate: ", 0), 0u) << log.Text();
    }
    EXPECT_TRUE(image->Allocate(0, 0, 0, 7));
    EXPECT_TRUE(image->Allocate(1, 0, 5, 7));
    EXPECT_EQ(image->GetData(), nullptr);
    EXPECT_EQ(image->GetFormat(), 7u);
}

TEST(ImageD, PixelsAndSpansConvertForEveryChannelCount) {
    // Colour 0x80C04020: red 0x20, green 0x40, blue 0xC0, alpha 0x80; luminance
    // (32 * 30 + 64 * 59 + 192 * 11) / 100 = 68.
    const uint32_t color = 0x80C04020u;
    struct Row {
        int m_Bpp;
        Bytes m_Stored;    // after SetPixel(color)
        uint32_t m_Read;   // GetPixel of that
        Bytes m_Luminance; // after SetLuminance(200)
    };
    const Row rows[] = {
        {1, {68}, 0xFF444444u, {200}},
        {2, {68, 128}, 0x80444444u, {200, 255}},
        {3, {32, 64, 192}, 0xFFC04020u, {200, 200, 200}},
        {4, {32, 64, 192, 128}, 0x80C04020u, {200, 200, 200, 255}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_Bpp);
        Obj<Image> image = MakeImage(row.m_Bpp, 3, 2);
        const size_t at = size_t(row.m_Bpp) * 4; // pixel (1, 1)
        image->SetPixel(1, 1, color);
        EXPECT_EQ(Bytes(image->GetData() + at, image->GetData() + at + row.m_Bpp), row.m_Stored);
        EXPECT_EQ(image->GetPixel(1, 1), row.m_Read);
        EXPECT_EQ(image->GetLuminance(1, 1), 68);

        unsigned char span[8] = {};
        image->GetSpanR8G8B8A8(0, 1, 1, 0, 2, span);
        uint32_t second;
        std::memcpy(&second, span + 4, 4);
        EXPECT_EQ(second, row.m_Read);
        const bool alpha = row.m_Bpp == 2 || row.m_Bpp == 4;
        EXPECT_EQ(Bytes(span, span + 4),
                  (Bytes{0, 0, 0, static_cast<unsigned char>(alpha ? 0 : 255)}));

        // The span's reduction is SetPixel's.
        const unsigned char in[4] = {0x20, 0x40, 0xC0, 0x80};
        image->SetSpanR8G8B8A8(2, 0, 0, 1, 1, in);
        EXPECT_EQ(image->GetPixel(2, 0), row.m_Read);

        image->SetLuminance(1, 1, 200);
        EXPECT_EQ(Bytes(image->GetData() + at, image->GetData() + at + row.m_Bpp), row.m_Luminance);
    }
    Obj<Image> none = MakeImage(0, 0, 0);
    none->SetPixel(0, 0, color);
    none->SetLuminance(0, 0, 1);
    EXPECT_EQ(none->GetPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(none->GetLuminance(0, 0), 255);
}

TEST(ImageD, SpansOutsideTheImageTransferNothingAndLogOnce) {
    Obj<Image> image = MakeImage(1, 4, 3, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23});
    const auto firstBytes = [](const unsigned char* rgba, int count) {
        Bytes out;
        for (int i = 0; i < count; ++i)
            out.push_back(rgba[4 * i]);
        return out;
    };
    {
        LogCapture log;
        unsigned char out[16] = {};
        image->GetSpanR8G8B8A8(0, 0, 1, 0, 0, out);
        image->SetSpanR8G8B8A8(9, 9, 0, 0, 0, out);
        image->GetSpanR8G8B8A8(0, 1, 1, 0, 4, out); // exactly to the right edge
        EXPECT_EQ(firstBytes(out, 4), (Bytes{10, 11, 12, 13}));
        image->GetSpanR8G8B8A8(3, 2, -1, -1, 3, out); // backwards, diagonally
        EXPECT_EQ(firstBytes(out, 3), (Bytes{23, 12, 1}));
        image->GetSpanR8G8B8A8(1, 0, 0, 1, 3, out);
        EXPECT_EQ(firstBytes(out, 3), (Bytes{1, 11, 21}));
        EXPECT_TRUE(log.Messages().empty()) << log.Text();
    }
    struct Span {
        int m_X, m_Y, m_Dx, m_Dy, m_Count;
    };
    const Span refused[] = {
        {1, 1, 1, 0, 4},             // one pixel past the right edge
        {0, 1, 0, 1, 3},             // one row past the top
        {0, 0, 1, 0, -1},            // negative count
        {-1, 0, 1, 0, 1},            // negative start
        {4, 0, 1, 0, 1},             // start at the width
        {2, 0, -1, 0, 4},            // backwards past the left edge
        {0, 0, 0x40000000, 0, 5},    // 4 * 2^30 wraps to 0 in 32 bits
        {1, 0, 1, 0, INT_MAX},       // 1 + (2^31 - 2) as an int is negative
        {0, 0, 0, 0x40000000, 5},    // the same wrap on y
        {0, 0, INT_MIN, INT_MIN, 3}, // 2 * -2^31 wraps to 0 in 32 bits
    };
    for (const Span& s : refused) {
        SCOPED_TRACE(std::to_string(s.m_X) + "," + std::to_string(s.m_Dx) + "," +
                     std::to_string(s.m_Count));
        LogCapture log;
        unsigned char out[16];
        std::memset(out, 0xEE, sizeof out);
        image->GetSpanR8G8B8A8(s.m_X, s.m_Y, s.m_Dx, s.m_Dy, s.m_Count, out);
        EXPECT_EQ(out[0], 0xEE);
        const unsigned char in[16] = {99, 99, 99, 99};
        image->SetSpanR8G8B8A8(s.m_X, s.m_Y, s.m_Dx, s.m_Dy, s.m_Count, in);
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{k_SpanError, k_SpanError}));
    }
    EXPECT_EQ(Pixels(*image), (Bytes{0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23}));
    {
        LogCapture log;
        unsigned char out[4];
        MakeImage(0, 0, 0)->GetSpanR8G8B8A8(0, 0, 0, 0, 1, out);
        EXPECT_EQ(log.Messages(), std::vector<std::string>{k_SpanError});
    }
}

TEST(ImageD, FillRectClipsToTheImage) {
    const auto filled = [](int x, int y, int w, int h) {
        Obj<Image> image = MakeImage(1, 4, 3);
        image->FillRect(x, y, w, h, 0xFFFFFFFFu);
        std::string text;
        for (unsigned char p : Pixels(*image))
            text += p != 0 ? '#' : '.';
        return text; // rows from the bottom
    };
    EXPECT_EQ(filled(1, 1, 2, 1), "...."
                                  ".##."
                                  "....");
    EXPECT_EQ(filled(-2, -1, 4, 3), "##.."
                                    "##.."
                                    "....");
    EXPECT_EQ(filled(2, 1, INT_MAX, INT_MAX), "...."
                                              "..##"
                                              "..##");
    EXPECT_EQ(filled(INT_MIN, INT_MIN, INT_MAX, INT_MAX), "............");
    EXPECT_EQ(filled(INT_MAX, INT_MAX, INT_MAX, INT_MAX), "............");
    EXPECT_EQ(filled(0, 0, -5, 3), "............");
    EXPECT_EQ(filled(INT_MIN, 0, -1, 1) + filled(-1, 0, 1, 1), "........................");
}

TEST(ImageD, FillCheckerAlternatesCellsAndIgnoresDegenerateArguments) {
    const auto checker = [](int x, int y, int w, int h, int cw, int ch) {
        Obj<Image> image = MakeImage(1, 6, 4);
        image->FillChecker(x, y, w, h, cw, ch, 0xFFFFFFFFu, 0xFF808080u);
        std::string text;
        for (unsigned char p : Pixels(*image))
            text += p == 255 ? 'A' : p == 128 ? 'B' : '.';
        return text;
    };
    EXPECT_EQ(checker(0, 0, 6, 4, 2, 1), "AABBAA"
                                         "BBAABB"
                                         "AABBAA"
                                         "BBAABB");
    // Cells are cut to the area as well as to the image.
    EXPECT_EQ(checker(1, 1, 3, 2, 2, 2), "......"
                                         ".AAB.."
                                         ".AAB.."
                                         "......");
    // The phase of the walk survives a start far outside the image.
    EXPECT_EQ(checker(-5, -1, 100, 100, 1, 1), "ABABAB"
                                               "BABABA"
                                               "ABABAB"
                                               "BABABA");
    const std::string empty(24, '.');
    for (const auto& [cw, ch] :
         {std::pair{0, 1}, std::pair{1, 0}, std::pair{-3, 2}, std::pair{2, INT_MIN}}) {
        EXPECT_EQ(checker(0, 0, 6, 4, cw, ch), empty);
    }
    EXPECT_EQ(checker(0, 0, -6, 4, 1, 1) + checker(0, 0, 6, -4, 1, 1), empty + empty);
    // Huge areas and cells end at once.
    EXPECT_EQ(checker(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1, 1), empty);
    EXPECT_EQ(checker(INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX, 1, 1), empty);
    EXPECT_EQ(checker(0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX), std::string(24, 'A'));
}

TEST(ImageD, ReformatAppliesTheThreeReductions) {
    {
        Obj<Image> source = MakeImage(1, 4, 2, {10, 21, 100, 201, 0, 3, 50, 55});
        Obj<Image> wide = MakeImage(1, 2, 2);
        wide->Reformat(source.Get(), 0);
        EXPECT_EQ(Pixels(*wide), (Bytes{15, 150, 1, 52}));
        Obj<Image> high = MakeImage(1, 4, 1);
        high->Reformat(source.Get(), 0);
        EXPECT_EQ(Pixels(*high), (Bytes{5, 12, 75, 128}));
        Obj<Image> both = MakeImage(1, 2, 1);
        both->Reformat(source.Get(), 1);
        EXPECT_EQ(Pixels(*both), (Bytes{8, 101})); // (10+21+0+3)>>2, (100+201+50+55)>>2
    }
    // A 2 x 2 block of RGBA: p0 (200,0,0,255), p1 (0,100,20,85), p2 (0,0,255,0),
    // p3 (40,40,40,0). Weighted by alpha (sum 340): red 200*255/340 = 150, green 100*85/340 = 25,
    // blue 20*85/340 = 5; plain: 240>>2 = 60, 140>>2 = 35, 315>>2 = 78. Alpha 340>>2 = 85 both.
    const Bytes block = {200, 0, 0, 255, 0, 100, 20, 85, 0, 0, 255, 0, 40, 40, 40, 0};
    Obj<Image> source = MakeImage(4, 2, 2, block);
    Obj<Image> target = MakeImage(4, 1, 1);
    target->Reformat(source.Get(), 1);
    EXPECT_EQ(Pixels(*target), (Bytes{150, 25, 5, 85}));
    target->Reformat(source.Get(), 0);
    EXPECT_EQ(Pixels(*target), (Bytes{60, 35, 78, 85}));
    // All alphas 0: every pixel weighs 255, so the colour is the plain average.
    Obj<Image> clear =
        MakeImage(4, 2, 2, {1, 9, 200, 0, 2, 9, 201, 0, 3, 9, 202, 0, 5, 10, 203, 0});
    target->Reformat(clear.Get(), 1);
    EXPECT_EQ(Pixels(*target), (Bytes{2, 9, 201, 0}));
    // Two channels weight luminance by alpha.
    Obj<Image> gray = MakeImage(2, 2, 2, {100, 255, 0, 0, 40, 0, 0, 0});
    Obj<Image> grayTarget = MakeImage(2, 1, 1);
    grayTarget->Reformat(gray.Get(), 1);
    EXPECT_EQ(Pixels(*grayTarget), (Bytes{100, 63}));
    grayTarget->Reformat(gray.Get(), 0);
    EXPECT_EQ(Pixels(*grayTarget), (Bytes{35, 63}));
    // Three channels have no alpha to weight by.
    Obj<Image> rgb = MakeImage(3, 2, 2, {4, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0});
    Obj<Image> rgbTarget = MakeImage(3, 1, 1);
    rgbTarget->Reformat(rgb.Get(), 1);
    EXPECT_EQ(Pixels(*rgbTarget), (Bytes{3, 0, 0}));
}

TEST(ImageD, ReformatRefusesOtherSizesAndChannelCounts) {
    Obj<Image> source = MakeImage(1, 4, 4, Bytes(16, 9));
    Obj<Image> third = MakeImage(1, 3, 3), otherChannels = MakeImage(2, 2, 2);
    LogCapture log;
    third->Reformat(source.Get(), 0);
    otherChannels->Reformat(source.Get(), 0); // silently
    otherChannels->Reformat(nullptr, 0);
    EXPECT_EQ(Pixels(*third), Bytes(9, 0));
    EXPECT_EQ(Pixels(*otherChannels), Bytes(8, 0));
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>{
                  "[Error]Image::Reformat: only power of two scaling supported yet."});
}

TEST(ImageD, MipMapHalvesPowerOfTwoSizesOnly) {
    const auto levels = [](const Image& image) {
        std::vector<Bytes> out;
        for (const Image* level = image.GetMipMap(); level != nullptr; level = level->GetMipMap())
            out.push_back(Pixels(*level));
        return out;
    };
    Obj<Image> row = MakeImage(1, 4, 1, {10, 20, 30, 50});
    row->MipMap(0);
    EXPECT_EQ(levels(*row), (std::vector<Bytes>{{15, 40}, {27}}));
    EXPECT_EQ(row->GetMipMap()->GetWidth(), 2);
    // A second run refilters the levels it already has.
    const Image* half = row->GetMipMap();
    row->GetData()[0] = 30;
    row->MipMap(0);
    EXPECT_EQ(row->GetMipMap(), half);
    EXPECT_EQ(levels(*row), (std::vector<Bytes>{{25, 40}, {32}}));
    Obj<Image> tall = MakeImage(2, 1, 2, {10, 20, 30, 40});
    tall->MipMap(0);
    EXPECT_EQ(levels(*tall), (std::vector<Bytes>{{20, 30}}));

    LogCapture log;
    Obj<Image> odd = MakeImage(3, 6, 4), single = MakeImage(4, 1, 1);
    odd->MipMap(0);
    odd->AllocateMipMap();
    single->MipMap(0);
    EXPECT_EQ(odd->GetMipMap(), nullptr);
    EXPECT_EQ(single->GetMipMap(), nullptr);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Note ]Image::MipMap: only power of two mipmap supported.",
                  "[Note ]Image::AllocateMipMap: only power of two mipmap supported."}));
}
