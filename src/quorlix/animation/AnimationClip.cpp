#include "quorlix/animation/AnimationClip.h"

#include <cmath>

namespace Quorlix {

AnimationClip* AnimationClip::Create() {
    return NewObject<AnimationClip>();
}
const TypeInfo* AnimationClip::GetAnimationClipTypeInfo() noexcept {
    return &TypeOf<AnimationClip>();
}
AnimationClip::~AnimationClip() = default;

AnimationClipEvent* AnimationClipEvent::Create() {
    return NewObject<AnimationClipEvent>();
}
const TypeInfo* AnimationClipEvent::GetAnimationClipEventTypeInfo() noexcept {
    return &TypeOf<AnimationClipEvent>();
}
AnimationClipEvent::~AnimationClipEvent() = default;

double AnimationClip::GetDuration() const noexcept {
    const AnimationLibrary* library = m_AnimationLibrary.Get();
    return library != nullptr ? library->m_EndTime - library->m_StartTime : 1.0;
}
double AnimationClip::GetEndTime() const noexcept {
    return m_StartTime + std::fabs(m_Scale) * GetDuration() * m_Cycles;
}

} // namespace Quorlix
