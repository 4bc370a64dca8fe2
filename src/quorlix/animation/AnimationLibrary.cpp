#include "quorlix/animation/AnimationLibrary.h"

#include "quorlix/animation/internal/GrowingArray.h"

namespace Quorlix {

AnimationLibrary* AnimationLibrary::Create() {
    return NewObject<AnimationLibrary>();
}
const TypeInfo* AnimationLibrary::GetAnimationLibraryTypeInfo() noexcept {
    return &TypeOf<AnimationLibrary>();
}
AnimationLibrary::~AnimationLibrary() = default;

SplineBase* AnimationLibrary::GetCurve(int i) const {
    return Internal::ElementOr(m_Curve, i, Obj<SplineBase>()).Get();
}
void AnimationLibrary::SetCurve(int i, SplineBase* curve) {
    if (Internal::GrowFor(m_Curve, i, Obj<SplineBase>(), "AnimationLibrary.Curve"))
        m_Curve[i] = curve;
}
void AnimationLibrary::SetCurveCount(int n) {
    Internal::ResizeFilled(m_Curve, n, Obj<SplineBase>(), "AnimationLibrary.Curve");
}

} // namespace Quorlix
