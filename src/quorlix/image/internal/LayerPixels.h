#pragma once
// Pixel work of the image layers, in top-left coordinates over Image's bottom-up rows. Pixels
// go through Image's R, G, B, A spans, so images of 1 to 4 channels mix freely. Every write is
// clipped to both images.

#include "quorlix/image/Image.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"

#include <cstdint>

namespace Quorlix::Internal {

/// `value` truncated toward zero and saturated to int; NaN gives 0.
int SaturateToInt(double value) noexcept;
/// A width or height from a member: saturated to 0..k_MaxLayerSize, NaN 0.
int LayerSize(float member) noexcept;
/// A colour component in 0..1 as a byte: clamped, NaN 0, rounded.
uint8_t ColorByte(double unit) noexcept;

/// RGB to HSV and back, hue in turns. Finite inputs give finite outputs; the hue given to
/// HsvToRgb must lie in [0, 1).
void RgbToHsv(const double rgb[3], double hsv[3]) noexcept;
void HsvToRgb(const double hsv[3], double rgb[3]) noexcept;

/// Allocates `image` as four channels of width x height (each 1..k_MaxLayerSize) filled with
/// `color`; false when the allocation is refused.
bool AllocateFilled(Image& image, int width, int height, const Vector4f& color);
/// Copies `source` into `target` with its top-left corner at (x, y), replacing pixels.
void PlaceImage(const Image& source, Image& target, int x, int y);

/// How a transform layer draws its image; the members as the layer holds them.
struct LayerPlacement {
    uint32_t m_CombineMode = 0; ///< TransformLayer::CombineMode values
    uint32_t m_FlipMode = 0;
    Vector3f m_Position = Vector3f::Zero;
    Vector3f m_CropPosition = Vector3f::Zero;
    Vector3f m_CropDimension = Vector3f::Zero;
    Vector3f m_ParentDimension = Vector3f::Zero;
    Vector3f m_AutoDimensionMultiplier{1, 1, 1};
    Vector4f m_ColorMulRGBA{1, 1, 1, 1};
    Vector4f m_ColorAddRGBA = Vector4f::Zero;
    Vector3f m_ColorMulHSV{1, 1, 1};
    Vector3f m_ColorAddHSV = Vector3f::Zero;
};

/// Crops, flips, scales, recolours and combines `source` into `target` as `placement` says.
void DrawLayer(const Image& source, Image& target, const LayerPlacement& placement);

} // namespace Quorlix::Internal
