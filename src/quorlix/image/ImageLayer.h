#pragma once
// The image layers that compose texture images: ExpressionLayer (-3920) is their base,
// ImageLayer (-3919) reads an image file, GroupLayer (-3918) stacks layers, TransformLayer
// (-3917) places, crops, flips and recolours an image layer into a target. Members and defaults
// are those of the binding rows in ImageClasses.cpp.
//
// Composition works in pixels with the origin at the top-left corner of an image (Image stores
// its rows bottom-up; the layers turn rows over). Every layer clips what it writes to both
// images, and sizes taken from members saturate (NaN counts as 0) to at most k_MaxLayerSize.
// Failures are log lines: the layer that fails names itself, and the composition as a whole
// fails with it.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/image/Image.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class ExpressionLayer;

/// Largest width or height a layer makes an image of.
constexpr int k_MaxLayerSize = 8192;

/// The layers one composition is inside of, outermost first. A layer that is already inside
/// (a cycle), or one more than k_MaxDepth deep, is refused; the number of layers one
/// composition may visit is bounded too, so that layers shared many times over cannot multiply
/// the work without end.
class QUORLIX_API LayerChain {
public:
    static constexpr int k_MaxDepth = 64;
    static constexpr int k_MaxVisits = 4096;

    /// Adds `layer` to the chain; false after "layer cycle detected for " + name (the layer is
    /// inside already, or the chain is full) or "layer composition too large for " + name.
    [[nodiscard]] bool Enter(const ExpressionLayer* layer);
    /// Removes the innermost layer.
    void Leave() noexcept;
    int Depth() const noexcept { return m_Depth; }

private:
    const ExpressionLayer* m_Layers[k_MaxDepth] = {};
    int m_Depth = 0;
    int m_Visits = 0;
};

class QUORLIX_API ExpressionLayer : public Object {
public:
    static ExpressionLayer* Create();
    static const TypeInfo* GetExpressionLayerTypeInfo() noexcept;

    ExpressionLayer() noexcept = default;
    ~ExpressionLayer() override;

    /// Writes the layer into `target`, naming image files with the prefix `imagePath` (see
    /// FormFileName). `chain` holds the layers the call is made from; null starts a new
    /// composition. False after the failing layer's log line. The base layer writes nothing.
    virtual bool ApplyToImage(Image* target, const StringRef& imagePath, LayerChain* chain);
};

class QUORLIX_API ImageLayer : public ExpressionLayer {
public:
    static ImageLayer* Create();
    static const TypeInfo* GetImageLayerTypeInfo() noexcept;

    ImageLayer() noexcept = default;
    ~ImageLayer() override;

    /// The file the layer reads; null when none.
    FileObject* GetFileObject() const noexcept { return m_FileObject.Get(); }
    /// Stores `file` (null for none); the binding hands null for an object of another class.
    void SetFileObject(FileObject* file) noexcept { m_FileObject = file; }

    Obj<FileObject> m_FileObject;
    /// Width, height and depth in pixels; zero until known.
    Vector3f m_Dimension = Vector3f::Zero;
    /// Fill of the pixels the file does not cover: transparent black.
    Vector4f m_DefaultColor = Vector4f::Zero;

    /// The layer's own image: without a positive Dimension the file's image as ImportFile
    /// reads it (empty when the file is missing, which ImportFile logs); with one, a
    /// four-channel image of that size filled with DefaultColor and the file's image at (0, 0).
    /// Null after "ImageLayer::ApplyToImage: fileobject undefined for " + name. This is the
    /// texture loader's entry; the image is the caller's.
    Obj<Image> ComposeImage(const StringRef& imagePath);
    /// The same inside a composition: `fallbackWidth` x `fallbackHeight` is the size of the
    /// image the layer is composed for (a group uses it when it has no size of its own).
    virtual Obj<Image> ComposeImage(const StringRef& imagePath, LayerChain& chain,
                                    int fallbackWidth, int fallbackHeight);
    /// Places the composed image at (0, 0) of `target`, replacing what it covers; an empty
    /// target becomes a four-channel copy of it.
    bool ApplyToImage(Image* target, const StringRef& imagePath, LayerChain* chain) override;

protected:
    /// The file's image; null after the missing-file-object message.
    Obj<Image> ImportOwnFile(const StringRef& imagePath) const;
};

class QUORLIX_API GroupLayer : public ImageLayer {
public:
    static GroupLayer* Create();
    static const TypeInfo* GetGroupLayerTypeInfo() noexcept;

    GroupLayer() noexcept = default;
    ~GroupLayer() override;

    /// The stacked layers in drawing order; elements are never null (nil stands for none).
    Array<Obj<ScriptObject>> m_LayerArray;

    using ImageLayer::ComposeImage;
    /// A four-channel image of Dimension, else of the file's size, else of the fallback size,
    /// filled with DefaultColor, the file's image (when there is a file) at (0, 0), then every
    /// layer of LayerArray applied in order; nil elements are skipped and other non-layers
    /// skipped with a warning. Null after "GroupLayer::ApplyToImage: no dimensions detected
    /// for " + name or after a failing element's message.
    Obj<Image> ComposeImage(const StringRef& imagePath, LayerChain& chain, int fallbackWidth,
                            int fallbackHeight) override;
};

class QUORLIX_API TransformLayer : public ExpressionLayer {
public:
    /// How the layer's pixels combine with the target's (TransformLayer.CombineModeEnum).
    enum class CombineMode : uint32_t { Replace, Blend, Multiply, Add, Subtract, Difference };

    static TransformLayer* Create();
    static const TypeInfo* GetTransformLayerTypeInfo() noexcept;

    TransformLayer() noexcept = default;
    ~TransformLayer() override;

    Obj<ImageLayer> m_ImageLayer;
    uint32_t m_Visibility = 1;
    CombineMode m_CombineMode = CombineMode::Replace;
    Vector3f m_Position = Vector3f::Zero;
    Vector3f m_CropPosition = Vector3f::Zero;
    Vector3f m_CropDimension = Vector3f::Zero;
    uint32_t m_FlipMode = 0;
    Vector4f m_ColorMulRGBA{1, 1, 1, 1};
    Vector4f m_ColorAddRGBA = Vector4f::Zero;
    Vector3f m_ColorMulHSV{1, 1, 1};
    Vector3f m_ColorAddHSV = Vector3f::Zero;
    Vector3f m_ParentDimension = Vector3f::Zero;
    Vector3f m_AutoDimensionMultiplier{1, 1, 1};

    /// Does nothing while Visibility is 0. Otherwise composes ImageLayer (for the target's
    /// size), crops it (CropPosition, CropDimension; 0 reaches the edge), flips it (FlipMode
    /// value 1 left-right, 2 top-bottom), scales it by target size / ParentDimension per axis
    /// (1 where that is not positive) times AutoDimensionMultiplier with nearest sampling, and
    /// places it at Position times that scale. Colours c in 0..1 become c * ColorMulRGBA +
    /// ColorAddRGBA, then in HSV (hue in turns, wrapped into [0, 1)) h * ColorMulHSV +
    /// ColorAddHSV; results are clamped and rounded to bytes. CombineMode then mixes source s
    /// with source alpha a into target d: Replace d = s; Blend d = s a + d (1 - a) with alpha
    /// a + d_a (1 - a); Multiply, Add, Subtract, Difference d + a (op - d) for op = d s,
    /// min(1, d + s), max(0, d - s), |d - s|, keeping the target's alpha. Fails with
    /// "TransformLayer::ApplyToImage: " + "own image required for ", "target image required
    /// for ", "own image is 0x0 for " or "target image is 0x0 for " + name.
    bool ApplyToImage(Image* target, const StringRef& imagePath, LayerChain* chain) override;
};

} // namespace Quorlix
