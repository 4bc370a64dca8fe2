#include "quorlix/image/ImageLayer.h"

namespace Quorlix {

ExpressionLayer* ExpressionLayer::Create() {
    return NewObject<ExpressionLayer>();
}
const TypeInfo* ExpressionLayer::GetExpressionLayerTypeInfo() noexcept {
    return &TypeOf<ExpressionLayer>();
}
ExpressionLayer::~ExpressionLayer() = default;

ImageLayer* ImageLayer::Create() {
    return NewObject<ImageLayer>();
}
const TypeInfo* ImageLayer::GetImageLayerTypeInfo() noexcept {
    return &TypeOf<ImageLayer>();
}
ImageLayer::~ImageLayer() = default;

GroupLayer* GroupLayer::Create() {
    return NewObject<GroupLayer>();
}
const TypeInfo* GroupLayer::GetGroupLayerTypeInfo() noexcept {
    return &TypeOf<GroupLayer>();
}
GroupLayer::~GroupLayer() = default;

TransformLayer* TransformLayer::Create() {
    return NewObject<TransformLayer>();
}
const TypeInfo* TransformLayer::GetTransformLayerTypeInfo() noexcept {
    return &TypeOf<TransformLayer>();
}
TransformLayer::~TransformLayer() = default;

} // namespace Quorlix
