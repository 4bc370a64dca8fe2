#include "quorlix/scene/Light.h"

namespace Quorlix {

SLight* SLight::Create() {
    return NewObject<SLight>();
}
const TypeInfo* SLight::GetSLightTypeInfo() noexcept {
    return &TypeOf<SLight>();
}
SLight::~SLight() = default;

TLight* TLight::Create() {
    return NewObject<TLight>();
}
const TypeInfo* TLight::GetTLightTypeInfo() noexcept {
    return &TypeOf<TLight>();
}
TLight::TLight() : TLeaf(SLight::Create()) {}
TLight::~TLight() = default;

} // namespace Quorlix
