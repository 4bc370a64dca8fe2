#include "quorlix/scene/SplineCurve.h"

namespace Quorlix {

SSplineCurve* SSplineCurve::Create() {
    return NewObject<SSplineCurve>();
}
const TypeInfo* SSplineCurve::GetSSplineCurveTypeInfo() noexcept {
    return &TypeOf<SSplineCurve>();
}
SSplineCurve::~SSplineCurve() = default;

TSplineCurve* TSplineCurve::Create() {
    return NewObject<TSplineCurve>();
}
const TypeInfo* TSplineCurve::GetTSplineCurveTypeInfo() noexcept {
    return &TypeOf<TSplineCurve>();
}
TSplineCurve::TSplineCurve() : TLeaf(SSplineCurve::Create()) {}
TSplineCurve::~TSplineCurve() = default;

} // namespace Quorlix
