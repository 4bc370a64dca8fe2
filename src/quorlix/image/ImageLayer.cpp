#include "quorlix/image/ImageLayer.h"

#include "quorlix/image/ImageClassIndex.h"
#include "quorlix/image/internal/LayerPixels.h"
#include "quorlix/script/ScriptTypes.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>

namespace Quorlix {

using Internal::LogScriptError;

namespace {

// Leaves the chain on every way out of a layer that entered it.
class ChainScope {
public:
    explicit ChainScope(LayerChain& chain) : m_Chain(chain) {}
    ~ChainScope() { m_Chain.Leave(); }
    ChainScope(const ChainScope&) = delete;
    ChainScope& operator=(const ChainScope&) = delete;

private:
    LayerChain& m_Chain;
};

bool HasPixels(const Image* image) {
    return image != nullptr && image->GetWidth() > 0 && image->GetHeight() > 0 &&
           image->GetData() != nullptr;
}

bool IsSet(const ScriptObject* object) {
    return object != nullptr && !object->IsNil();
}

} // namespace

bool LayerChain::Enter(const ExpressionLayer* layer) {
    bool cycle = m_Depth == k_MaxDepth;
    for (int i = 0; i < m_Depth && !cycle; ++i)
        cycle = m_Layers[i] == layer;
    if (cycle) {
        LogScriptError("layer cycle detected for ", layer->GetName());
        return false;
    }
    if (++m_Visits > k_MaxVisits) {
        LogScriptError("layer composition too large for ", layer->GetName());
        return false;
    }
    m_Layers[m_Depth++] = layer;
    return true;
}

void LayerChain::Leave() noexcept {
    if (m_Depth > 0)
        m_Layers[--m_Depth] = nullptr;
}

ExpressionLayer* ExpressionLayer::Create() {
    return NewObject<ExpressionLayer>();
}
const TypeInfo* ExpressionLayer::GetExpressionLayerTypeInfo() noexcept {
    return &TypeOf<ExpressionLayer>();
}
ExpressionLayer::~ExpressionLayer() = default;

bool ExpressionLayer::ApplyToImage(Image*, const StringRef&, LayerChain*) {
    return true;
}

ImageLayer* ImageLayer::Create() {
    return NewObject<ImageLayer>();
}
const TypeInfo* ImageLayer::GetImageLayerTypeInfo() noexcept {
    return &TypeOf<ImageLayer>();
}
ImageLayer::~ImageLayer() = default;

Obj<Image> ImageLayer::ImportOwnFile(const StringRef& imagePath) const {
    if (!IsSet(m_FileObject.Get())) {
        LogScriptError("ImageLayer::ApplyToImage: fileobject undefined for ", GetName());
        return {};
    }
    String name;
    (void)FormFileName(m_FileObject.Get(), imagePath, name);
    Obj<Image> image = Image::Create();
    (void)image->ImportFile(name.GetCPtr()); // a missing file is logged there and stays empty
    return image;
}

Obj<Image> ImageLayer::ComposeImage(const StringRef& imagePath) {
    LayerChain chain;
    return ComposeImage(imagePath, chain, 0, 0);
}

Obj<Image> ImageLayer::ComposeImage(const StringRef& imagePath, LayerChain& chain, int, int) {
    if (!chain.Enter(this))
        return {};
    ChainScope scope(chain);
    Obj<Image> file = ImportOwnFile(imagePath);
    const int width = Internal::LayerSize(m_Dimension[0]);
    const int height = Internal::LayerSize(m_Dimension[1]);
    if (!file || width == 0 || height == 0)
        return file;
    Obj<Image> image = Image::Create();
    if (!Internal::AllocateFilled(*image, width, height, m_DefaultColor))
        return {};
    Internal::PlaceImage(*file, *image, 0, 0);
    return image;
}

bool ImageLayer::ApplyToImage(Image* target, const StringRef& imagePath, LayerChain* chain) {
    if (target == nullptr) {
        LogScriptError("ImageLayer::ApplyToImage: target image required for ", GetName());
        return false;
    }
    LayerChain own;
    const Obj<Image> image = ComposeImage(imagePath, chain != nullptr ? *chain : own,
                                          target->GetWidth(), target->GetHeight());
    if (!image)
        return false;
    if (!HasPixels(image.Get()))
        return true;
    if (!HasPixels(target) &&
        !Internal::AllocateFilled(*target, image->GetWidth(), image->GetHeight(), Vector4f::Zero))
        return false;
    Internal::PlaceImage(*image, *target, 0, 0);
    return true;
}

GroupLayer* GroupLayer::Create() {
    return NewObject<GroupLayer>();
}
const TypeInfo* GroupLayer::GetGroupLayerTypeInfo() noexcept {
    return &TypeOf<GroupLayer>();
}
GroupLayer::~GroupLayer() = default;

Obj<Image> GroupLayer::ComposeImage(const StringRef& imagePath, LayerChain& chain,
                                    int fallbackWidth, int fallbackHeight) {
    if (!chain.Enter(this))
        return {};
    ChainScope scope(chain);
    Obj<Image> file;
    if (IsSet(m_FileObject.Get()))
        file = ImportOwnFile(imagePath);
    int width = Internal::LayerSize(m_Dimension[0]);
    int height = Internal::LayerSize(m_Dimension[1]);
    if ((width == 0 || height == 0) && HasPixels(file.Get())) {
        width = std::min(file->GetWidth(), k_MaxLayerSize);
        height = std::min(file->GetHeight(), k_MaxLayerSize);
    }
    if (width == 0 || height == 0) {
        width = std::clamp(fallbackWidth, 0, k_MaxLayerSize);
        height = std::clamp(fallbackHeight, 0, k_MaxLayerSize);
    }
    if (width == 0 || height == 0) {
        LogScriptError("GroupLayer::ApplyToImage: no dimensions detected for ", GetName());
        return {};
    }
    Obj<Image> image = Image::Create();
    if (!Internal::AllocateFilled(*image, width, height, m_DefaultColor))
        return {};
    if (file)
        Internal::PlaceImage(*file, *image, 0, 0);
    for (int i = 0; i < m_LayerArray.Size(); ++i) {
        ScriptObject* element = m_LayerArray[i].Get();
        if (!IsSet(element))
            continue;
        if (!element->IsA(BuiltinTypeID(k_ClassExpressionLayer))) {
            Internal::LogScriptWarn("GroupLayer::ApplyToImage: element ", i, " of ", GetName(),
                                    " is not a layer, skipped.");
            continue;
        }
        if (!static_cast<ExpressionLayer*>(element)->ApplyToImage(image.Get(), imagePath, &chain))
            return {};
    }
    return image;
}

TransformLayer* TransformLayer::Create() {
    return NewObject<TransformLayer>();
}
const TypeInfo* TransformLayer::GetTransformLayerTypeInfo() noexcept {
    return &TypeOf<TransformLayer>();
}
TransformLayer::~TransformLayer() = default;

bool TransformLayer::ApplyToImage(Image* target, const StringRef& imagePath, LayerChain* chain) {
    if (m_Visibility == 0)
        return true;
    LayerChain own;
    LayerChain& path = chain != nullptr ? *chain : own;
    if (!path.Enter(this))
        return false;
    ChainScope scope(path);
    if (!IsSet(m_ImageLayer.Get())) {
        LogScriptError("TransformLayer::ApplyToImage: own image required for ", GetName());
        return false;
    }
    if (target == nullptr) {
        LogScriptError("TransformLayer::ApplyToImage: target image required for ", GetName());
        return false;
    }
    const Obj<Image> image =
        m_ImageLayer->ComposeImage(imagePath, path, target->GetWidth(), target->GetHeight());
    if (!image)
        return false;
    if (!HasPixels(image.Get())) {
        LogScriptError("TransformLayer::ApplyToImage: own image is 0x0 for ", GetName());
        return false;
    }
    if (!HasPixels(target)) {
        LogScriptError("TransformLayer::ApplyToImage: target image is 0x0 for ", GetName());
        return false;
    }
    Internal::LayerPlacement placement;
    placement.m_CombineMode = static_cast<uint32_t>(m_CombineMode);
    placement.m_FlipMode = m_FlipMode;
    placement.m_Position = m_Position;
    placement.m_CropPosition = m_CropPosition;
    placement.m_CropDimension = m_CropDimension;
    placement.m_ParentDimension = m_ParentDimension;
    placement.m_AutoDimensionMultiplier = m_AutoDimensionMultiplier;
    placement.m_ColorMulRGBA = m_ColorMulRGBA;
    placement.m_ColorAddRGBA = m_ColorAddRGBA;
    placement.m_ColorMulHSV = m_ColorMulHSV;
    placement.m_ColorAddHSV = m_ColorAddHSV;
    Internal::DrawLayer(*image, *target, placement);
    return true;
}

} // namespace Quorlix
