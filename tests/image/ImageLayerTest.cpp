// Image layer composition: what each layer writes where, the colour and combine arithmetic, the
// clipping at every edge, the bounds on member values and layer graphs, and the messages.

#include "quorlix/image/ImageLayer.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using Rgba = std::array<int, 4>;
using Mode = TransformLayer::CombineMode;
constexpr float k_NaN = std::numeric_limits<float>::quiet_NaN();

// Pixel (x, y) counted from the top-left corner.
Rgba At(const Image& image, int x, int y) {
    unsigned char p[4];
    image.GetSpanR8G8B8A8(x, image.GetHeight() - 1 - y, 1, 0, 1, p);
    return {p[0], p[1], p[2], p[3]};
}

// Sets pixel (x, y) counted from the top-left corner.
void Put(Image& image, int x, int y, Rgba c) {
    const unsigned char p[4] = {static_cast<unsigned char>(c[0]), static_cast<unsigned char>(c[1]),
                                static_cast<unsigned char>(c[2]), static_cast<unsigned char>(c[3])};
    image.SetSpanR8G8B8A8(x, image.GetHeight() - 1 - y, 1, 0, 1, p);
}

Obj<Image> Solid(int width, int height, Rgba color, int channels = 4) {
    Obj<Image> image(Image::Create());
    EXPECT_TRUE(image->Allocate(channels, width, height, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Put(*image, x, y, color);
    return image;
}

// The pattern file: red tells the column (10 + 10 x), green the row from the top (100 + 50 y).
Rgba Pattern(int x, int y) {
    return {10 + 10 * x, 100 + 50 * y, 7, 255};
}

Vector4f Unit(Rgba c) {
    return Vector4f(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
}

class ImageLayers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DLLInitialize(0);
        s_Folder = new TempDir;
        Obj<Image> pattern(Image::Create());
        ASSERT_TRUE(pattern->Allocate(4, 4, 2, 0));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                Put(*pattern, x, y, Pattern(x, y));
        ASSERT_EQ(pattern->ExportFile((*s_Folder / "pattern.bmg").c_str(), 0), SOK);
    }
    static void TearDownTestSuite() {
        delete s_Folder;
        DLLDeInitialize(0);
    }

    static Obj<FileObject> File(const std::string& base) {
        Obj<FileObject> file(FileObject::Create());
        file->SetFileName(String(("absolute://" + (*s_Folder / base)).c_str()).Ref());
        return file;
    }
    static Obj<ImageLayer> PatternLayer() {
        Obj<ImageLayer> layer(ImageLayer::Create());
        layer->SetName("pattern");
        layer->SetFileObject(File("pattern").Get());
        return layer;
    }
    static Obj<GroupLayer> SolidLayer(int width, int height, Rgba color,
                                      const char* name = "solid") {
        Obj<GroupLayer> group(GroupLayer::Create());
        group->SetName(name);
        group->m_Dimension = Vector3f(float(width), float(height), 0);
        group->m_DefaultColor = Unit(color);
        return group;
    }
    static Obj<TransformLayer> Transform(ImageLayer* layer, Mode mode = Mode::Replace) {
        Obj<TransformLayer> transform(TransformLayer::Create());
        transform->SetName("transform");
        transform->m_ImageLayer = layer;
        transform->m_CombineMode = mode;
        return transform;
    }
    // The pattern drawn by `transform` into a transparent 4 x 2 target.
    static Obj<Image> Draw(TransformLayer& transform) {
        Obj<Image> target = Solid(4, 2, {0, 0, 0, 0});
        EXPECT_TRUE(transform.ApplyToImage(target.Get(), String("").Ref(), nullptr));
        return target;
    }
    // Columns of row `y` as the pattern columns they show (-1 for untouched pixels).
    static std::vector<int> Columns(const Image& image, int y, int row) {
        std::vector<int> columns;
        for (int x = 0; x < image.GetWidth(); ++x) {
            const Rgba c = At(image, x, y);
            columns.push_back(c[3] == 0 ? -1 : c[1] != 100 + 50 * row ? -2 : (c[0] - 10) / 10);
        }
        return columns;
    }

    static TempDir* s_Folder;
    const String m_NoPath{""};
};

TempDir* ImageLayers::s_Folder = nullptr;

TEST_F(ImageLayers, ImageLayerYieldsItsFileOrADimensionedFill) {
    Obj<ImageLayer> layer = PatternLayer();
    {
        Obj<Image> image = layer->ComposeImage(m_NoPath.Ref());
        ASSERT_TRUE(image);
        ASSERT_EQ(image->GetWidth(), 4);
        ASSERT_EQ(image->GetHeight(), 2);
        EXPECT_EQ(At(*image, 3, 0), Pattern(3, 0));
        EXPECT_EQ(At(*image, 0, 1), Pattern(0, 1));
    }
    {
        // The fill covers what the file does not; the file sits at the top-left corner.
        layer->m_Dimension = Vector3f(6, 3, 0);
        layer->m_DefaultColor = Unit({51, 102, 153, 204});
        Obj<Image> image = layer->ComposeImage(m_NoPath.Ref());
        ASSERT_EQ(image->GetWidth(), 6);
        ASSERT_EQ(image->GetHeight(), 3);
        EXPECT_EQ(image->GetBytesPerPixel(), 4);
        EXPECT_EQ(At(*image, 0, 0), Pattern(0, 0));
        EXPECT_EQ(At(*image, 3, 1), Pattern(3, 1));
        EXPECT_EQ(At(*image, 4, 0), (Rgba{51, 102, 153, 204}));
        EXPECT_EQ(At(*image, 0, 2), (Rgba{51, 102, 153, 204}));
    }
    {
        // Sizes and colour bytes saturate; NaN counts as 0, so a NaN height means no size.
        layer->m_Dimension = Vector3f(1e9f, 1, 0);
        layer->m_DefaultColor = Vector4f(k_NaN, 1e9f, -5, 0.5f);
        Obj<Image> image = layer->ComposeImage(m_NoPath.Ref());
        EXPECT_EQ(image->GetWidth(), k_MaxLayerSize);
        EXPECT_EQ(image->GetHeight(), 1);
        EXPECT_EQ(At(*image, 8000, 0), (Rgba{0, 255, 0, 128}));
        layer->m_Dimension = Vector3f(5, k_NaN, 0);
        EXPECT_EQ(layer->ComposeImage(m_NoPath.Ref())->GetWidth(), 4);
        layer->m_Dimension = Vector3f(-3, 4, 0);
        EXPECT_EQ(layer->ComposeImage(m_NoPath.Ref())->GetWidth(), 4);
    }
    {
        // A missing file leaves the fill (ImportFile reports the file); without a size nothing.
        LogCapture capture;
        Obj<ImageLayer> missing(ImageLayer::Create());
        missing->SetFileObject(File("missing").Get());
        Obj<Image> image = missing->ComposeImage(m_NoPath.Ref());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), 0);
        missing->m_Dimension = Vector3f(2, 2, 0);
        missing->m_DefaultColor = Unit({1, 2, 3, 4});
        EXPECT_EQ(At(*missing->ComposeImage(m_NoPath.Ref()), 1, 1), (Rgba{1, 2, 3, 4}));
        EXPECT_EQ(capture.Messages().size(), 2u);
    }
    {
        LogCapture capture;
        Obj<ImageLayer> unnamed(ImageLayer::Create());
        unnamed->SetName("bare");
        EXPECT_FALSE(unnamed->ComposeImage(m_NoPath.Ref()));
        EXPECT_FALSE(unnamed->ApplyToImage(nullptr, m_NoPath.Ref(), nullptr));
        EXPECT_EQ(capture.Messages(),
                  (std::vector<std::string>{
                      "[Error]ImageLayer::ApplyToImage: fileobject undefined for bare",
                      "[Error]ImageLayer::ApplyToImage: target image required for bare"}));
    }
    {
        // Applied to an image, the layer replaces the top-left corner; an empty image becomes
        // a copy.
        layer->m_Dimension = Vector3f::Zero;
        Obj<Image> target = Solid(5, 1, {9, 9, 9, 9}, 3);
        EXPECT_TRUE(layer->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(At(*target, 2, 0), (Rgba{30, 100, 7, 255}));
        EXPECT_EQ(At(*target, 4, 0), (Rgba{9, 9, 9, 255}));
        Obj<Image> empty(Image::Create());
        EXPECT_TRUE(layer->ApplyToImage(empty.Get(), m_NoPath.Ref(), nullptr));
        ASSERT_EQ(empty->GetWidth(), 4);
        EXPECT_EQ(At(*empty, 1, 1), Pattern(1, 1));
    }
}

TEST_F(ImageLayers, GroupSizesItselfAndStacksItsLayersInOrder) {
    {
        // No Dimension: the file's size; the file over the fill, then the layers in order.
        Obj<GroupLayer> group(GroupLayer::Create());
        group->SetFileObject(File("pattern").Get());
        group->m_DefaultColor = Unit({1, 1, 1, 1});
        Obj<TransformLayer> first = Transform(SolidLayer(2, 2, {200, 0, 0, 255}));
        Obj<TransformLayer> second = Transform(SolidLayer(2, 2, {0, 200, 0, 255}));
        second->m_Position = Vector3f(1, 0, 0);
        Obj<FileObject> stray = File("pattern");
        group->m_LayerArray.Add(Obj<ScriptObject>(first.Get()));
        group->m_LayerArray.Add(Obj<ScriptObject>(stray.Get()));
        group->m_LayerArray.Add(Obj<ScriptObject>(second.Get()));
        group->SetName("stack");
        LogCapture capture;
        Obj<Image> image = group->ComposeImage(m_NoPath.Ref());
        ASSERT_TRUE(image);
        ASSERT_EQ(image->GetWidth(), 4);
        EXPECT_EQ(At(*image, 0, 0), (Rgba{200, 0, 0, 255}));
        EXPECT_EQ(At(*image, 1, 1), (Rgba{0, 200, 0, 255}));
        EXPECT_EQ(At(*image, 2, 0), (Rgba{0, 200, 0, 255}));
        EXPECT_EQ(At(*image, 3, 1), Pattern(3, 1));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Warn ]GroupLayer::ApplyToImage: element 1 of stack "
                                           "is not a layer, skipped."});
    }
    {
        // Dimension first, else the size of the image the group is drawn for.
        Obj<GroupLayer> group = SolidLayer(0, 0, {5, 6, 7, 8}, "sizeless");
        Obj<Image> target = Solid(3, 3, {0, 0, 0, 0});
        EXPECT_TRUE(Transform(group)->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(At(*target, 2, 2), (Rgba{5, 6, 7, 8}));
        LogCapture capture;
        EXPECT_FALSE(group->ComposeImage(m_NoPath.Ref()));
        group->m_Dimension = Vector3f(k_NaN, 2, 0);
        EXPECT_FALSE(group->ComposeImage(m_NoPath.Ref()));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>(2, "[Error]GroupLayer::ApplyToImage: no dimensions "
                                              "detected for sizeless"));
        group->m_Dimension = Vector3f(1, 2, 0);
        EXPECT_EQ(group->ComposeImage(m_NoPath.Ref())->GetHeight(), 2);
    }
}

TEST_F(ImageLayers, CombineModesMixAsTheirFormulasSay) {
    const Rgba s = {200, 60, 120, 153}, d = {40, 220, 120, 100};
    const double a = s[3] / 255.0;
    const auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    const auto mix = [&](auto op) {
        Rgba out;
        for (int i = 0; i < 3; ++i) {
            const double dc = d[i] / 255.0;
            out[i] = byte(dc + a * (op(dc, s[i] / 255.0) - dc));
        }
        out[3] = d[3];
        return out;
    };
    Rgba blend;
    for (int i = 0; i < 3; ++i)
        blend[i] = byte(s[i] / 255.0 * a + d[i] / 255.0 * (1 - a));
    blend[3] = byte(a + d[3] / 255.0 * (1 - a));
    const std::pair<Mode, Rgba> cases[] = {
        {Mode::Replace, s},
        {Mode::Blend, blend},
        {Mode::Multiply, mix([](double x, double y) { return x * y; })},
        {Mode::Add, mix([](double x, double y) { return std::min(1.0, x + y); })},
        {Mode::Subtract, mix([](double x, double y) { return std::max(0.0, x - y); })},
        {Mode::Difference, mix([](double x, double y) { return std::fabs(x - y); })},
    };
    for (const auto& [mode, expected] : cases) {
        Obj<Image> target = Solid(2, 1, d);
        Obj<TransformLayer> transform = Transform(SolidLayer(1, 1, s), mode);
        EXPECT_TRUE(transform->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(At(*target, 0, 0), expected) << int(mode);
        EXPECT_EQ(At(*target, 1, 0), d) << int(mode);
    }
    {
        // Fewer channels: the target keeps its own form (luminance of red is 30 %).
        Obj<Image> gray = Solid(1, 1, {0, 0, 0, 0}, 1);
        Transform(SolidLayer(1, 1, {255, 0, 0, 255}))
            ->ApplyToImage(gray.Get(), m_NoPath.Ref(), nullptr);
        EXPECT_EQ(gray->GetData()[0], 76);
    }
}

TEST_F(ImageLayers, ColoursGoThroughRgbaThenHsv) {
    struct Case {
        Vector4f m_MulRGBA, m_AddRGBA;
        Vector3f m_MulHSV, m_AddHSV;
        Rgba m_Expected;
    };
    const Vector4f one4(1, 1, 1, 1), zero4(0, 0, 0, 0);
    const Vector3f one3(1, 1, 1), zero3(0, 0, 0);
    // The source is pure red, hue 0, saturation 1, value 1.
    const Case cases[] = {
        {{0.5f, 1, 1, 0.4f}, {0, 0.2f, 0, 0}, one3, zero3, {128, 51, 0, 102}},
        {one4, {5, -5, 0.5f, 0}, one3, zero3, {255, 0, 128, 255}},
        {one4, zero4, one3, {1 / 3.0f, 0, 0}, {0, 255, 0, 255}},
        {one4, zero4, one3, {1.5f, 0, 0}, {0, 255, 255, 255}},   // hue wraps to 0.5
        {one4, zero4, one3, {-0.25f, 0, 0}, {128, 0, 255, 255}}, // and to 0.75
        {one4, zero4, {1, 0.5f, 1}, zero3, {255, 128, 128, 255}},
        {one4, zero4, {1, 1, 0.2f}, zero3, {51, 0, 0, 255}},
        {{0.5f, 0.5f, 0.5f, 1}, zero4, {1, 1, 2}, zero3, {255, 0, 0, 255}}, // RGBA first
        {{k_NaN, k_NaN, k_NaN, k_NaN}, zero4, one3, zero3, {0, 0, 0, 0}},
        {one4, zero4, {1e30f, 1, 1}, {k_NaN, 0, 0}, {255, 0, 0, 255}}, // no hue: red
        {one4, zero4, one3, {0, k_NaN, 1e30f}, {255, 0, 0, 255}},      // NaN saturation drops out
    };
    for (const Case& c : cases) {
        Obj<TransformLayer> transform = Transform(SolidLayer(1, 1, {255, 0, 0, 255}));
        transform->m_ColorMulRGBA = c.m_MulRGBA;
        transform->m_ColorAddRGBA = c.m_AddRGBA;
        transform->m_ColorMulHSV = c.m_MulHSV;
        transform->m_ColorAddHSV = c.m_AddHSV;
        Obj<Image> target = Solid(1, 1, {9, 9, 9, 9});
        EXPECT_TRUE(transform->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(At(*target, 0, 0), c.m_Expected) << (&c - cases);
    }
}

TEST_F(ImageLayers, TransformCropsFlipsScalesAndPlaces) {
    Obj<TransformLayer> t = Transform(PatternLayer());
    using Cols = std::vector<int>;
    {
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 0), (Cols{0, 1, 2, 3}));
        EXPECT_EQ(Columns(*image, 1, 1), (Cols{0, 1, 2, 3}));
    }
    {
        // Columns 1 and 2, rows to the bottom edge.
        t->m_CropPosition = Vector3f(1, 0, 0);
        t->m_CropDimension = Vector3f(2, 0, 0);
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 0), (Cols{1, 2, -1, -1}));
        EXPECT_EQ(Columns(*image, 1, 1), (Cols{1, 2, -1, -1}));
        t->m_CropPosition = Vector3f(1, 1, 0);
        EXPECT_EQ(Columns(*Draw(*t), 0, 1), (Cols{1, 2, -1, -1}));
        EXPECT_EQ(Columns(*Draw(*t), 1, 1), (Cols{-1, -1, -1, -1}));
        t->m_CropPosition = t->m_CropDimension = Vector3f::Zero;
    }
    {
        t->m_FlipMode = 1;
        EXPECT_EQ(Columns(*Draw(*t), 0, 0), (Cols{3, 2, 1, 0}));
        t->m_FlipMode = 2;
        EXPECT_EQ(Columns(*Draw(*t), 0, 1), (Cols{0, 1, 2, 3}));
        t->m_FlipMode = 3;
        EXPECT_EQ(Columns(*Draw(*t), 1, 0), (Cols{3, 2, 1, 0}));
        t->m_FlipMode = 0;
    }
    {
        // Scale 4 / 2 = 2 across and 2 / 1 = 2 down: the top-left 2 x 1 fills the target.
        t->m_ParentDimension = Vector3f(2, 1, 0);
        t->m_CropDimension = Vector3f(2, 1, 0);
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 0), (Cols{0, 0, 1, 1}));
        EXPECT_EQ(Columns(*image, 1, 0), (Cols{0, 0, 1, 1}));
        // The position scales with the image.
        t->m_CropDimension = Vector3f(1, 1, 0);
        t->m_Position = Vector3f(1, 0, 0);
        EXPECT_EQ(Columns(*Draw(*t), 1, 0), (Cols{-1, -1, 0, 0}));
        t->m_ParentDimension = t->m_CropDimension = t->m_Position = Vector3f::Zero;
    }
    {
        // Halved, nearest to each pixel's centre: columns 1 and 3 of row 1.
        t->m_AutoDimensionMultiplier = Vector3f(0.5f, 0.5f, 1);
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 1), (Cols{1, 3, -1, -1}));
        EXPECT_EQ(Columns(*image, 1, 1), (Cols{-1, -1, -1, -1}));
        for (const float bad : {k_NaN, -1.0f, 0.0f}) {
            t->m_AutoDimensionMultiplier = Vector3f(bad, 1, 1);
            EXPECT_EQ(Columns(*Draw(*t), 0, 0), (Cols{-1, -1, -1, -1}));
        }
        t->m_AutoDimensionMultiplier = Vector3f(1, 1, 1);
    }
}

TEST_F(ImageLayers, DrawingIsClippedAtEveryEdge) {
    Obj<TransformLayer> t = Transform(PatternLayer());
    using Cols = std::vector<int>;
    const Cols none = {-1, -1, -1, -1};
    {
        t->m_Position = Vector3f(-2, 0, 0);
        EXPECT_EQ(Columns(*Draw(*t), 0, 0), (Cols{2, 3, -1, -1}));
        t->m_Position = Vector3f(3, 0, 0);
        EXPECT_EQ(Columns(*Draw(*t), 1, 1), (Cols{-1, -1, -1, 0}));
        t->m_Position = Vector3f(0, -1, 0);
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 1), (Cols{0, 1, 2, 3}));
        EXPECT_EQ(Columns(*image, 1, 1), none);
        t->m_Position = Vector3f(0, 1, 0);
        image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 0), none);
        EXPECT_EQ(Columns(*image, 1, 0), (Cols{0, 1, 2, 3}));
    }
    {
        // Far away, or no position at all.
        for (const float far : {1e9f, -1e9f, 1e38f, -1e38f}) {
            t->m_Position = Vector3f(far, 0, 0);
            EXPECT_EQ(Columns(*Draw(*t), 0, 0), none) << far;
            t->m_Position = Vector3f(0, far, 0);
            EXPECT_EQ(Columns(*Draw(*t), 0, 0), none) << far;
        }
        t->m_Position = Vector3f(k_NaN, k_NaN, 0);
        EXPECT_EQ(Columns(*Draw(*t), 0, 0), (Cols{0, 1, 2, 3}));
        t->m_Position = Vector3f::Zero;
    }
    {
        // Crops reaching out of the source keep only what lies inside it.
        t->m_CropPosition = Vector3f(-1, -1, 0);
        t->m_CropDimension = Vector3f(2, 2, 0);
        Obj<Image> image = Draw(*t);
        EXPECT_EQ(Columns(*image, 0, 0), (Cols{0, -1, -1, -1}));
        EXPECT_EQ(Columns(*image, 1, 0), none);
        t->m_CropPosition = Vector3f(2, 0, 0);
        t->m_CropDimension = Vector3f(1e9f, k_NaN, 0);
        EXPECT_EQ(Columns(*Draw(*t), 1, 1), (Cols{2, 3, -1, -1}));
        t->m_CropPosition = Vector3f(4, 0, 0);
        EXPECT_EQ(Columns(*Draw(*t), 0, 0), none);
        t->m_CropPosition = Vector3f(-1e38f, 1e38f, 0);
        EXPECT_EQ(Columns(*Draw(*t), 0, 0), none);
        t->m_CropPosition = t->m_CropDimension = Vector3f::Zero;
    }
    {
        // An enormous scale saturates and covers the target with the first pixel.
        t->m_ParentDimension = Vector3f(1e-30f, 1e-30f, 0);
        EXPECT_EQ(Columns(*Draw(*t), 1, 0), (Cols{0, 0, 0, 0}));
        t->m_ParentDimension = Vector3f::Zero;
        // A source larger than the target.
        Obj<Image> small = Solid(1, 1, {0, 0, 0, 0});
        EXPECT_TRUE(t->ApplyToImage(small.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(At(*small, 0, 0), Pattern(0, 0));
    }
}

TEST_F(ImageLayers, TransformMessages) {
    Obj<TransformLayer> t = Transform(nullptr);
    Obj<Image> target = Solid(1, 1, {0, 0, 0, 0});
    const std::string head = "[Error]TransformLayer::ApplyToImage: ";
    {
        // Invisible: nothing is needed and nothing happens.
        t->m_Visibility = 0;
        LogCapture capture;
        EXPECT_TRUE(t->ApplyToImage(nullptr, m_NoPath.Ref(), nullptr));
        EXPECT_TRUE(capture.Messages().empty());
        t->m_Visibility = 1;
    }
    LogCapture capture;
    EXPECT_FALSE(t->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
    t->m_ImageLayer = SolidLayer(1, 1, {1, 1, 1, 1}).Get();
    EXPECT_FALSE(t->ApplyToImage(nullptr, m_NoPath.Ref(), nullptr));
    Obj<ImageLayer> missing(ImageLayer::Create());
    missing->SetFileObject(File("missing").Get());
    t->m_ImageLayer = missing;
    EXPECT_FALSE(t->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
    t->m_ImageLayer = SolidLayer(1, 1, {1, 1, 1, 1}).Get();
    Obj<Image> empty(Image::Create());
    EXPECT_FALSE(t->ApplyToImage(empty.Get(), m_NoPath.Ref(), nullptr));
    std::vector<std::string> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 5u);
    messages.erase(messages.begin() + 2); // the missing file, as ImportFile reports it
    EXPECT_EQ(messages, (std::vector<std::string>{
                            head + "own image required for transform",
                            head + "target image required for transform",
                            head + "own image is 0x0 for transform",
                            head + "target image is 0x0 for transform",
                        }));
}

TEST_F(ImageLayers, CyclesAndDeepNestingAreRefused) {
    {
        Obj<GroupLayer> group = SolidLayer(1, 1, {0, 0, 0, 0}, "self");
        group->m_LayerArray.Add(Obj<ScriptObject>(group.Get()));
        LogCapture capture;
        EXPECT_FALSE(group->ComposeImage(m_NoPath.Ref()));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Error]layer cycle detected for self"});
        group->m_LayerArray.Clear(); // the cycle holds itself alive
    }
    {
        Obj<GroupLayer> group = SolidLayer(1, 1, {0, 0, 0, 0}, "outer");
        Obj<TransformLayer> transform = Transform(group);
        group->m_LayerArray.Add(Obj<ScriptObject>(transform.Get()));
        Obj<Image> target = Solid(1, 1, {0, 0, 0, 0});
        LogCapture capture;
        EXPECT_FALSE(transform->ApplyToImage(target.Get(), m_NoPath.Ref(), nullptr));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Error]layer cycle detected for transform"});
        group->m_LayerArray.Clear();
    }
    {
        // 64 nested groups compose; the 65th is one too deep.
        std::vector<Obj<GroupLayer>> groups;
        for (int i = 0; i < 65; ++i) {
            groups.push_back(SolidLayer(1, 1, {0, 0, 0, 0}, ("g" + std::to_string(i)).c_str()));
            if (i > 0 && i < 64)
                groups[i - 1]->m_LayerArray.Add(Obj<ScriptObject>(groups[i].Get()));
        }
        EXPECT_TRUE(groups[0]->ComposeImage(m_NoPath.Ref()));
        groups[63]->m_LayerArray.Add(Obj<ScriptObject>(groups[64].Get()));
        LogCapture capture;
        EXPECT_FALSE(groups[0]->ComposeImage(m_NoPath.Ref()));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Error]layer cycle detected for g64"});
    }
    {
        // A layer shared many times over is fine, up to a bound on the work.
        Obj<TransformLayer> shared = Transform(SolidLayer(1, 1, {1, 2, 3, 4}));
        shared->SetName("shared");
        Obj<GroupLayer> group = SolidLayer(1, 1, {0, 0, 0, 0}, "many");
        for (int i = 0; i < 10; ++i)
            group->m_LayerArray.Add(Obj<ScriptObject>(shared.Get()));
        EXPECT_TRUE(group->ComposeImage(m_NoPath.Ref()));
        for (int i = 10; i < LayerChain::k_MaxVisits; ++i)
            group->m_LayerArray.Add(Obj<ScriptObject>(shared.Get()));
        LogCapture capture;
        EXPECT_FALSE(group->ComposeImage(m_NoPath.Ref()));
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Error]layer composition too large for solid"});
    }
}

} // namespace
