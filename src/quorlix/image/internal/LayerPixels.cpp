#include "quorlix/image/internal/LayerPixels.h"

#include "quorlix/image/ImageLayer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace Quorlix::Internal {

int SaturateToInt(double value) noexcept {
    if (!(value == value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

int LayerSize(float member) noexcept {
    return std::clamp(SaturateToInt(member), 0, k_MaxLayerSize);
}

uint8_t ColorByte(double unit) noexcept {
    if (!(unit > 0.0))
        return 0;
    if (unit >= 1.0)
        return 255;
    return static_cast<uint8_t>(unit * 255.0 + 0.5);
}

void RgbToHsv(const double rgb[3], double hsv[3]) noexcept {
    const double high = std::max({rgb[0], rgb[1], rgb[2]});
    const double low = std::min({rgb[0], rgb[1], rgb[2]});
    const double delta = high - low;
    double hue = 0.0;
    if (delta > 0.0) {
        if (high == rgb[0])
            hue = (rgb[1] - rgb[2]) / delta;
        else if (high == rgb[1])
            hue = (rgb[2] - rgb[0]) / delta + 2.0;
        else
            hue = (rgb[0] - rgb[1]) / delta + 4.0;
        hue /= 6.0;
        if (hue < 0.0)
            hue += 1.0;
    }
    hsv[0] = hue;
    hsv[1] = high != 0.0 ? delta / high : 0.0;
    hsv[2] = high;
}

void HsvToRgb(const double hsv[3], double rgb[3]) noexcept {
    const double h6 = hsv[0] * 6.0;
    const int sector = std::clamp(SaturateToInt(h6), 0, 5);
    const double f = h6 - sector, s = hsv[1], v = hsv[2];
    const double p = v * (1.0 - s), q = v * (1.0 - s * f), t = v * (1.0 - s * (1.0 - f));
    const double table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    for (int i = 0; i < 3; ++i)
        rgb[i] = table[sector][i];
}

bool AllocateFilled(Image& image, int width, int height, const Vector4f& color) {
    if (!image.Allocate(4, width, height, 0))
        return false;
    const uint32_t packed = uint32_t{ColorByte(color[0])} | uint32_t{ColorByte(color[1])} << 8 |
                            uint32_t{ColorByte(color[2])} << 16 |
                            uint32_t{ColorByte(color[3])} << 24;
    image.FillRect(0, 0, width, height, packed);
    return true;
}

namespace {

bool HasPixels(const Image& image) {
    return image.GetData() != nullptr && image.GetWidth() > 0 && image.GetHeight() > 0;
}

// Image rows run bottom-up; layers count rows from the top.
int RowOf(const Image& image, int y) {
    return image.GetHeight() - 1 - y;
}

// The part of [start, start + length) inside [0, limit), in 64 bits so that saturated members
// cannot overflow.
bool Clip(int64_t start, int64_t length, int64_t limit, int64_t& from, int64_t& to) {
    from = std::max<int64_t>(start, 0);
    to = std::min<int64_t>(start + length, limit);
    return from < to;
}

bool IsIdentity(const LayerPlacement& p) {
    return p.m_ColorMulRGBA == Vector4f(1, 1, 1, 1) && p.m_ColorAddRGBA == Vector4f(0, 0, 0, 0) &&
           p.m_ColorMulHSV == Vector3f(1, 1, 1) && p.m_ColorAddHSV == Vector3f(0, 0, 0);
}

bool IsHsvIdentity(const LayerPlacement& p) {
    return p.m_ColorMulHSV == Vector3f(1, 1, 1) && p.m_ColorAddHSV == Vector3f(0, 0, 0);
}

// c * mul + add in RGBA, then the same in HSV; the results stay unclamped until the bytes.
void Recolour(const LayerPlacement& p, bool hsv, double c[4]) {
    for (int i = 0; i < 4; ++i)
        c[i] = c[i] * p.m_ColorMulRGBA[i] + p.m_ColorAddRGBA[i];
    if (!hsv)
        return;
    double h[3];
    RgbToHsv(c, h);
    for (int i = 0; i < 3; ++i)
        h[i] = h[i] * p.m_ColorMulHSV[i] + p.m_ColorAddHSV[i];
    h[0] -= std::floor(h[0]);
    if (!(h[0] >= 0.0 && h[0] < 1.0)) // NaN, infinities, and 1.0 from rounding
        h[0] = 0.0;
    HsvToRgb(h, c);
}

// `s` in 0..1, as bytes give it.
void Combine(uint32_t mode, const double s[4], unsigned char d[4]) {
    using Mode = TransformLayer::CombineMode;
    const double a = s[3];
    double out[4];
    for (int i = 0; i < 4; ++i)
        out[i] = d[i] / 255.0;
    switch (static_cast<Mode>(mode)) {
    case Mode::Replace:
        for (int i = 0; i < 4; ++i)
            out[i] = s[i];
        break;
    case Mode::Blend:
        for (int i = 0; i < 3; ++i)
            out[i] = s[i] * a + out[i] * (1.0 - a);
        out[3] = a + out[3] * (1.0 - a);
        break;
    case Mode::Multiply:
    case Mode::Add:
    case Mode::Subtract:
    case Mode::Difference:
        for (int i = 0; i < 3; ++i) {
            const double dst = out[i];
            const double src = s[i];
            double op = dst * src;
            if (static_cast<Mode>(mode) == Mode::Add)
                op = std::min(1.0, dst + src);
            else if (static_cast<Mode>(mode) == Mode::Subtract)
                op = std::max(0.0, dst - src);
            else if (static_cast<Mode>(mode) == Mode::Difference)
                op = std::fabs(dst - src);
            out[i] = dst + a * (op - dst);
        }
        break;
    default: // a mode no enumerator names draws nothing
        return;
    }
    for (int i = 0; i < 4; ++i)
        d[i] = ColorByte(out[i]);
}

} // namespace

void PlaceImage(const Image& source, Image& target, int x, int y) {
    if (!HasPixels(source) || !HasPixels(target))
        return;
    int64_t x0, x1, y0, y1;
    if (!Clip(x, source.GetWidth(), target.GetWidth(), x0, x1) ||
        !Clip(y, source.GetHeight(), target.GetHeight(), y0, y1))
        return;
    const int count = static_cast<int>(x1 - x0);
    std::vector<unsigned char> row(static_cast<size_t>(count) * 4);
    for (int64_t ty = y0; ty < y1; ++ty) {
        source.GetSpanR8G8B8A8(static_cast<int>(x0 - x), RowOf(source, static_cast<int>(ty - y)), 1,
                               0, count, row.data());
        target.SetSpanR8G8B8A8(static_cast<int>(x0), RowOf(target, static_cast<int>(ty)), 1, 0,
                               count, row.data());
    }
}

namespace {

// One axis of a placement: the cropped source range, the destination range it scales to and
// the part of that range inside the target.
struct Axis {
    int64_t m_Crop0 = 0, m_CropSize = 0; // source range
    int64_t m_Origin = 0, m_Size = 0;    // destination range before clipping
    int64_t m_From = 0, m_To = 0;        // destination range inside the target

    bool Set(int sourceSize, int targetSize, float cropPosition, float cropDimension,
             float position, float parentDimension, float multiplier) {
        const int64_t start = SaturateToInt(cropPosition);
        const int64_t length = SaturateToInt(cropDimension);
        const int64_t end = length > 0 ? start + length : sourceSize;
        if (!Clip(start, end - start, sourceSize, m_Crop0, m_CropSize))
            return false;
        m_CropSize -= m_Crop0;
        const double scale =
            (parentDimension > 0.0f ? targetSize / static_cast<double>(parentDimension) : 1.0) *
            multiplier;
        m_Size = SaturateToInt(std::round(static_cast<double>(m_CropSize) * scale));
        m_Origin = SaturateToInt(std::floor(position * scale));
        return m_Size > 0 && Clip(m_Origin, m_Size, targetSize, m_From, m_To);
    }

    // Nearest source index (within the crop) for destination coordinate `at`.
    int64_t Sample(int64_t at, bool flip) const {
        const int64_t k = at - m_Origin;
        const int64_t i = std::min((2 * k + 1) * m_CropSize / (2 * m_Size), m_CropSize - 1);
        return m_Crop0 + (flip ? m_CropSize - 1 - i : i);
    }
};

} // namespace

void DrawLayer(const Image& source, Image& target, const LayerPlacement& p) {
    if (!HasPixels(source) || !HasPixels(target))
        return;
    Axis ax, ay;
    if (!ax.Set(source.GetWidth(), target.GetWidth(), p.m_CropPosition[0], p.m_CropDimension[0],
                p.m_Position[0], p.m_ParentDimension[0], p.m_AutoDimensionMultiplier[0]) ||
        !ay.Set(source.GetHeight(), target.GetHeight(), p.m_CropPosition[1], p.m_CropDimension[1],
                p.m_Position[1], p.m_ParentDimension[1], p.m_AutoDimensionMultiplier[1]))
        return;
    const bool flipX = (p.m_FlipMode & 1u) != 0, flipY = (p.m_FlipMode & 2u) != 0;
    const bool recolour = !IsIdentity(p), hsv = !IsHsvIdentity(p);

    const int width = static_cast<int>(ax.m_To - ax.m_From);
    std::vector<int> columns(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i)
        columns[static_cast<size_t>(i)] =
            static_cast<int>(ax.Sample(ax.m_From + i, flipX) - ax.m_Crop0);

    const int cropWidth = static_cast<int>(ax.m_CropSize);
    std::vector<unsigned char> sourceRow(static_cast<size_t>(cropWidth) * 4);
    std::vector<unsigned char> targetRow(static_cast<size_t>(width) * 4);
    int64_t loadedRow = -1;
    for (int64_t y = ay.m_From; y < ay.m_To; ++y) {
        const int64_t sy = ay.Sample(y, flipY);
        if (sy != loadedRow) {
            source.GetSpanR8G8B8A8(static_cast<int>(ax.m_Crop0),
                                   RowOf(source, static_cast<int>(sy)), 1, 0, cropWidth,
                                   sourceRow.data());
            loadedRow = sy;
        }
        const int row = RowOf(target, static_cast<int>(y));
        target.GetSpanR8G8B8A8(static_cast<int>(ax.m_From), row, 1, 0, width, targetRow.data());
        for (int i = 0; i < width; ++i) {
            const unsigned char* s =
                &sourceRow[static_cast<size_t>(columns[static_cast<size_t>(i)]) * 4];
            double c[4] = {s[0] / 255.0, s[1] / 255.0, s[2] / 255.0, s[3] / 255.0};
            if (recolour) {
                Recolour(p, hsv, c);
                for (double& component : c) // bytes, as the colour is stored
                    component = ColorByte(component) / 255.0;
            }
            Combine(p.m_CombineMode, c, &targetRow[static_cast<size_t>(i) * 4]);
        }
        target.SetSpanR8G8B8A8(static_cast<int>(ax.m_From), row, 1, 0, width, targetRow.data());
    }
}

} // namespace Quorlix::Internal
