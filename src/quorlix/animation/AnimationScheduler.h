#pragma once
// AnimationScheduler (class "AnimationScheduler", -3949): owns a list of clips and one
// connection group, and once per frame (AdvanceFrame) evaluates the active clips into the
// group and commits the sums to the members. TrackEndTime holds, per track, the latest end of
// the clips put on it since the list was last emptied.
//
// The list is sorted by EndTime when a frame starts after it changed; changing a clip's times
// afterwards does not re-sort it. Clip event callbacks run inside AdvanceFrame and may change
// the list: the frame then goes on by index over whatever the list holds.

#include "quorlix/animation/AnimationClip.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

class QUORLIX_API AnimationScheduler : public Object {
public:
    static constexpr int k_TrackCount = ConnectionGroup::k_TrackCount;

    static AnimationScheduler* Create();
    static const TypeInfo* GetAnimationSchedulerTypeInfo() noexcept;

    /// No clips; every track end at -1.0; no frame yet (last frame time -1.0).
    AnimationScheduler();
    ~AnimationScheduler() override;

    /// Clip i; null outside the list or where none is set.
    AnimationClip* GetAnimationClip(int i) const;
    /// Null removes clip i (nothing outside the list); when the list becomes empty every track
    /// end returns to -1.0. Another clip is stored as clip i, growing the list to i + 1 with
    /// empty entries, raises TrackEndTime[clip's Track] to the clip's EndTime when that is later
    /// and marks the list for sorting. Refused with an error line: a clip whose Track lies
    /// outside 0..31, indices below 0, of 2^24 and above or growing by more than 65536.
    void SetAnimationClip(int i, AnimationClip* clip);
    int GetAnimationClipCount() const { return m_AnimationClip.Size(); }
    /// Grows (empty entries) or shrinks the list; a count outside 0..2^24 is refused (logged).
    /// Emptying the list resets the track ends.
    void SetAnimationClipCount(int n);

    /// One frame at time `time` (seconds): sorts the list if it changed, then for every enabled
    /// clip that is active (StartTime < time and the previous frame at or before its EndTime)
    /// reports its events, evaluates its library at the clip's position into the connection
    /// group's track `Track`, and commits the group once. With RemoveExpiredClip, clips at the
    /// front of the list that ended before `time` are dropped. Without a connection group it
    /// logs a warning and does nothing, not even record the frame time.
    void AdvanceFrame(double time);
    double GetLastFrameTime() const noexcept { return m_LastFrameTime; }

    Obj<ConnectionGroup> m_ConnectionGroup;
    bool m_RemoveExpiredClip = false;
    Array<double> m_TrackEndTime; // k_TrackCount entries, -1.0 for a track without clips

private:
    void ResetTrackEndTimes();
    void SortClips();
    void PlayClip(int i, AnimationClip& clip, ConnectionGroup& group, double time, bool& reset);

    Array<Obj<AnimationClip>> m_AnimationClip;
    double m_LastFrameTime = -1.0;
    bool m_NeedsSort = false;
};

} // namespace Quorlix
