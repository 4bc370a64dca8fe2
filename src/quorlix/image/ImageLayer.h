#pragma once
// The image layers that compose texture images: ExpressionLayer (-3920) is their base,
// ImageLayer (-3919) reads an image file, GroupLayer (-3918) stacks layers, TransformLayer
// (-3917) places, crops, flips and recolours an image layer into a target. Members and defaults
// are those of the binding rows in ImageClasses.cpp; the composition itself comes with the
// texture loader.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API ExpressionLayer : public Object {
public:
    static ExpressionLayer* Create();
    static const TypeInfo* GetExpressionLayerTypeInfo() noexcept;

    ExpressionLayer() noexcept = default;
    ~ExpressionLayer() override;
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
};

class QUORLIX_API GroupLayer : public ImageLayer {
public:
    static GroupLayer* Create();
    static const TypeInfo* GetGroupLayerTypeInfo() noexcept;

    GroupLayer() noexcept = default;
    ~GroupLayer() override;

    /// The stacked layers in drawing order; elements are never null (nil stands for none).
    Array<Obj<ScriptObject>> m_LayerArray;
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
};

} // namespace Quorlix
