#include "quorlix/scene/Fog.h"

namespace Quorlix {

SFog* SFog::Create() {
    return NewObject<SFog>();
}
const TypeInfo* SFog::GetSFogTypeInfo() noexcept {
    return &TypeOf<SFog>();
}
SFog::~SFog() = default;

TFog* TFog::Create() {
    return NewObject<TFog>();
}
const TypeInfo* TFog::GetTFogTypeInfo() noexcept {
    return &TypeOf<TFog>();
}
TFog::TFog() : TLeaf(SFog::Create()) {}
TFog::~TFog() = default;

} // namespace Quorlix
