#include "quorlix/animation/AnimationScheduler.h"

#include "quorlix/animation/internal/GrowingArray.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace Quorlix {

AnimationScheduler* AnimationScheduler::Create() {
    return NewObject<AnimationScheduler>();
}
const TypeInfo* AnimationScheduler::GetAnimationSchedulerTypeInfo() noexcept {
    return &TypeOf<AnimationScheduler>();
}
AnimationScheduler::~AnimationScheduler() = default;

AnimationScheduler::AnimationScheduler() {
    ResetTrackEndTimes();
}

void AnimationScheduler::ResetTrackEndTimes() {
    m_TrackEndTime.Resize(0);
    m_TrackEndTime.Reserve(k_TrackCount);
    for (int track = 0; track < k_TrackCount; ++track)
        m_TrackEndTime.Add(-1.0);
}

AnimationClip* AnimationScheduler::GetAnimationClip(int i) const {
    return Internal::ElementOr(m_AnimationClip, i, Obj<AnimationClip>()).Get();
}

void AnimationScheduler::SetAnimationClip(int i, AnimationClip* clip) {
    constexpr const char* k_Where = "AnimationScheduler.AnimationClip";
    if (clip == nullptr) {
        if (i >= 0 && i < m_AnimationClip.Size()) {
            m_AnimationClip.Remove(i);
            if (m_AnimationClip.IsEmpty())
                ResetTrackEndTimes();
        }
        return;
    }
    const int track = clip->m_Track;
    if (track < 0 || track >= k_TrackCount) {
        Internal::LogScriptError(k_Where, ": track ", track, " of clip \"", clip->GetName(),
                                 "\" is outside 0..", k_TrackCount - 1, ".");
        return;
    }
    if (!Internal::GrowFor(m_AnimationClip, i, Obj<AnimationClip>(), k_Where))
        return;
    m_AnimationClip[i] = clip;
    // Scripts may have resized the table: it always has an entry per track here.
    while (m_TrackEndTime.Size() < k_TrackCount)
        m_TrackEndTime.Add(-1.0);
    const double end = clip->GetEndTime();
    if (end > m_TrackEndTime[track])
        m_TrackEndTime[track] = end;
    m_NeedsSort = true;
}

void AnimationScheduler::SetAnimationClipCount(int n) {
    if (!Internal::ResizeFilled(m_AnimationClip, n, Obj<AnimationClip>(),
                                "AnimationScheduler.AnimationClip"))
        return;
    if (n == 0)
        ResetTrackEndTimes();
    m_NeedsSort = true;
}

void AnimationScheduler::SortClips() {
    // Keys taken once, NaN and empty entries last, so the order is strict and stable.
    const int n = m_AnimationClip.Size();
    std::vector<std::pair<double, int>> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const AnimationClip* clip = std::as_const(m_AnimationClip)[i].Get();
        const double end = clip != nullptr ? clip->GetEndTime() : 0.0;
        keys[static_cast<size_t>(i)] = {
            clip != nullptr && !std::isnan(end) ? end : std::numeric_limits<double>::infinity(), i};
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Array<Obj<AnimationClip>> sorted;
    sorted.Reserve(n);
    for (const auto& key : keys)
        sorted.Add(std::as_const(m_AnimationClip)[key.second]);
    m_AnimationClip.Swap(sorted);
}

namespace {

// Hands one event to the clip's receiver, if it has one.
void Report(AnimationClipEvent& clip, uint32_t type, double position) {
    const Obj<ClipEvent> receiver(clip.GetClipEvent());
    if (receiver == nullptr)
        return;
    receiver->m_Clip = &clip;
    receiver->m_Type = type;
    receiver->m_Position = static_cast<float>(position);
    receiver->OnClipEvent();
}

// x clamped into [0, 1]; NaN gives 0.
double Clamp01(double x) {
    return x > 0 ? (x < 1 ? x : 1) : 0;
}

} // namespace

void AnimationScheduler::PlayClip(int i, AnimationClip& clip, ConnectionGroup& group, double time,
                                  bool& reset) {
    const double start = clip.m_StartTime;
    const double end = clip.GetEndTime();
    // Active from just after its start through the frame that crosses its end.
    if (!(start < time) || !(m_LastFrameTime <= end))
        return;
    const int track = clip.m_Track;
    if (track < 0 || track >= k_TrackCount) {
        Internal::LogScriptError("AnimationScheduler: track ", track, " of clip at index ", i,
                                 " is outside 0..", k_TrackCount - 1, ".");
        return;
    }
    const double scale = clip.m_Scale;
    const double cycles = clip.m_Cycles;
    const double duration = clip.GetDuration();
    const double length = duration * cycles * std::fabs(scale);

    // Normalised position, 1 at the end; a clip without length has ended once it started.
    double u = 1;
    if (clip.m_WarpTime >= 0)
        u = clip.m_WarpTime;
    else if (length != 0 && !std::isnan(length))
        u = scale >= 0 ? (time - start) / length : (end - time) / length;

    auto* events = dynamic_cast<AnimationClipEvent*>(&clip);
    const uint32_t mode = events != nullptr ? events->GetEventMode() : 0;
    if ((mode & AnimationClipEvent::k_EventStart) != 0 && m_LastFrameTime <= start)
        Report(*events, AnimationClipEvent::k_EventStart, u);

    // Library time: within the one cycle, or within the current one of several.
    const double libraryTime =
        cycles == 1 ? duration * Clamp01(u) : duration * std::fmod((u > 0 ? u : 0) * cycles, 1.0);
    if (const AnimationLibrary* library = clip.m_AnimationLibrary.Get()) {
        if (!reset) {
            group.ResetOutput();
            reset = true;
        }
        group.AddOutput(track, library, libraryTime, clip.m_AmplitudeScale);
    }

    if (u < 1) {
        if ((mode & AnimationClipEvent::k_EventRunning) != 0)
            Report(*events, AnimationClipEvent::k_EventRunning, u);
    } else if ((mode & AnimationClipEvent::k_EventEnd) != 0) {
        Report(*events, AnimationClipEvent::k_EventEnd, u);
    }
}

void AnimationScheduler::AdvanceFrame(double time) {
    if (time == m_LastFrameTime)
        Internal::LogScriptWarn("CONSTD.m_LastFrameTime==frameTime");
    if (m_NeedsSort) {
        SortClips();
        m_NeedsSort = false;
    }
    // Held for the frame: a callback may replace the member.
    const Obj<ConnectionGroup> group = m_ConnectionGroup;
    if (group == nullptr) {
        Internal::LogScriptWarn("AnimationScheduler: no ConnectionGroup for \"", GetName(), "\".");
        return;
    }

    bool reset = false;
    // By index, the size read again every step: callbacks may change the list. The clip in hand
    // is held so that removing it cannot free it under the callback.
    for (int i = 0; i < m_AnimationClip.Size(); ++i) {
        const Obj<AnimationClip> clip = std::as_const(m_AnimationClip)[i];
        if (clip == nullptr) {
            Internal::LogScriptWarn("AnimationScheduler: clip at index ", i, "is Nil.");
            continue;
        }
        if (clip->m_Enabled)
            PlayClip(i, *clip, *group, time, reset);
    }
    if (reset)
        group->CommitOutput();

    if (m_RemoveExpiredClip) {
        int expired = 0;
        const int n = m_AnimationClip.Size();
        while (expired < n) {
            const AnimationClip* first = std::as_const(m_AnimationClip)[expired].Get();
            if (first != nullptr && !(first->GetEndTime() < time))
                break;
            ++expired; // empty entries at the front go as well
        }
        if (expired > 0) {
            Array<Obj<AnimationClip>> rest;
            rest.Reserve(n - expired);
            for (int i = expired; i < n; ++i)
                rest.Add(std::as_const(m_AnimationClip)[i]);
            m_AnimationClip.Swap(rest);
        }
        if (time <= 0)
            ResetTrackEndTimes();
    }
    m_LastFrameTime = time;
}

} // namespace Quorlix
