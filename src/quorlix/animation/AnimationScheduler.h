#pragma once
// AnimationScheduler (class "AnimationScheduler", -3949): owns a list of clips and one
// connection group, and (with the frame update that comes with it later) evaluates the active
// clips into the group every frame. TrackEndTime holds, per track, the latest end of the clips
// put on it. For now the clip list stores what it is given: the setter that removes nil entries,
// raises the track ends and marks the list for sorting comes with the frame update.

#include "quorlix/animation/AnimationClip.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

class QUORLIX_API AnimationScheduler : public Object {
public:
    static constexpr int k_TrackCount = 32;

    static AnimationScheduler* Create();
    static const TypeInfo* GetAnimationSchedulerTypeInfo() noexcept;

    /// No clips; every track end at -1.0.
    AnimationScheduler();
    ~AnimationScheduler() override;

    /// Clip i; null outside the list or where none is set.
    AnimationClip* GetAnimationClip(int i) const;
    /// Stores clip i (null for none), growing the list to i + 1 with empty entries. Indices
    /// below 0, of 2^24 and above or growing by more than 65536 are refused with an error line.
    void SetAnimationClip(int i, AnimationClip* clip);
    int GetAnimationClipCount() const { return m_AnimationClip.Size(); }
    /// Grows (empty entries) or shrinks the list; a count outside 0..2^24 is refused (logged).
    void SetAnimationClipCount(int n);

    Obj<ConnectionGroup> m_ConnectionGroup;
    bool m_RemoveExpiredClip = false;
    Array<double> m_TrackEndTime;

private:
    Array<Obj<AnimationClip>> m_AnimationClip;
};

} // namespace Quorlix
