#include "quorlix/animation/AnimationScheduler.h"

#include "quorlix/animation/internal/GrowingArray.h"

namespace Quorlix {

AnimationScheduler* AnimationScheduler::Create() {
    return NewObject<AnimationScheduler>();
}
const TypeInfo* AnimationScheduler::GetAnimationSchedulerTypeInfo() noexcept {
    return &TypeOf<AnimationScheduler>();
}
AnimationScheduler::~AnimationScheduler() = default;

AnimationScheduler::AnimationScheduler() {
    m_TrackEndTime.Reserve(k_TrackCount);
    for (int track = 0; track < k_TrackCount; ++track)
        m_TrackEndTime.Add(-1.0);
}
AnimationClip* AnimationScheduler::GetAnimationClip(int i) const {
    return Internal::ElementOr(m_AnimationClip, i, Obj<AnimationClip>()).Get();
}
void AnimationScheduler::SetAnimationClip(int i, AnimationClip* clip) {
    if (Internal::GrowFor(m_AnimationClip, i, Obj<AnimationClip>(),
                          "AnimationScheduler.AnimationClip"))
        m_AnimationClip[i] = clip;
}
void AnimationScheduler::SetAnimationClipCount(int n) {
    Internal::ResizeFilled(m_AnimationClip, n, Obj<AnimationClip>(),
                           "AnimationScheduler.AnimationClip");
}

} // namespace Quorlix
