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

ClipEvent::~ClipEvent() = default;
void ClipEvent::Reserved() {}

AnimationClip* AnimationClip::Clone() const {
    AnimationClip* clone = Create();
    clone->CopyClip(*this);
    return clone;
}
AnimationClip* AnimationClipEvent::Clone() const {
    AnimationClipEvent* clone = Create();
    clone->CopyClip(*this);
    clone->m_EventMode = m_EventMode;
    clone->m_ClipEvent = m_ClipEvent;
    return clone;
}
void AnimationClip::CopyClip(const AnimationClip& from) {
    SetName(from.GetName());
    m_AnimationLibrary = from.m_AnimationLibrary;
    m_Enabled = from.m_Enabled;
    m_Relative = from.m_Relative;
    m_Cycles = from.m_Cycles;
    m_Scale = from.m_Scale;
    m_StartTime = from.m_StartTime;
    m_WarpTime = from.m_WarpTime;
    m_AmplitudeScale = from.m_AmplitudeScale;
    m_Track = from.m_Track;
}

double AnimationClip::GetDuration() const noexcept {
    const AnimationLibrary* library = m_AnimationLibrary.Get();
    return library != nullptr ? library->m_EndTime - library->m_StartTime : 1.0;
}
double AnimationClip::GetEndTime() const noexcept {
    return m_StartTime + std::fabs(m_Scale) * GetDuration() * m_Cycles;
}

} // namespace Quorlix
