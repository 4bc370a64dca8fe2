#pragma once
// AnimationClip (-3952) places an animation library on a scheduler's time line: when it starts,
// how many cycles it plays, at what speed and amplitude, on which of the 32 tracks.
// AnimationClipEvent (-3951) is a clip that also reports its start, progress and end to a host
// callback (ClipEvent) while a scheduler plays it.

#include "quorlix/animation/AnimationLibrary.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class AnimationClipEvent;

class QUORLIX_API AnimationClip : public Object {
public:
    static AnimationClip* Create();
    static const TypeInfo* GetAnimationClipTypeInfo() noexcept;

    AnimationClip() noexcept = default;
    ~AnimationClip() override;

    /// Length of one cycle in library seconds: the library's EndTime - StartTime, or 1.0 without
    /// a library.
    double GetDuration() const noexcept;
    /// StartTime + |Scale| x Duration x Cycles, in scheduler seconds.
    double GetEndTime() const noexcept;
    // EndTime and Duration follow from the other members: values written to them are ignored.
    void SetDuration(double) noexcept {}
    void SetEndTime(double) noexcept {}

    /// A new clip (count 0) holding this clip's members, its name and its library included.
    virtual AnimationClip* Clone() const;

    Obj<AnimationLibrary> m_AnimationLibrary;
    bool m_Enabled = true;
    bool m_Relative = false; // stored and copied; the scheduler does not read it
    double m_Cycles = 1.0;
    double m_Scale = 1.0; // negative plays backwards
    double m_StartTime = 0.0;
    double m_WarpTime = -1.0; // below 0: not warped
    float m_AmplitudeScale = 1.0f;
    int32_t m_Track = 0; // 0..31; a scheduler refuses clips on other tracks

protected:
    void CopyClip(const AnimationClip& from);
};

/// The host's receiver of clip events. A counted object: hosts make their derived class with
/// NewObject, clips hold it by handle. The scheduler fills the fields, then calls OnClipEvent on
/// the thread that advances it; the callback may change the scheduler's clips.
class QUORLIX_API ClipEvent {
public:
    ClipEvent() noexcept = default;
    virtual ~ClipEvent();
    ClipEvent(const ClipEvent&) = delete;
    ClipEvent& operator=(const ClipEvent&) = delete;

    /// Does nothing; a slot for hosts that want a hook ahead of the events.
    virtual void Reserved();
    /// Called with the fields below filled in.
    virtual void OnClipEvent() = 0;

    ScriptObject* m_Object = nullptr;     // reserved for the host; the scheduler leaves it
    AnimationClipEvent* m_Clip = nullptr; // the clip reporting, valid during the call
    uint32_t m_Type = 0;                  // one of AnimationClipEvent's event bits
    float m_Position = 0;                 // the clip's normalised position, 1 at its end
};

class QUORLIX_API AnimationClipEvent : public AnimationClip {
public:
    /// Event bits, also the event types reported.
    enum : uint32_t { k_EventStart = 1, k_EventRunning = 2, k_EventEnd = 4 };

    static AnimationClipEvent* Create();
    static const TypeInfo* GetAnimationClipEventTypeInfo() noexcept;

    AnimationClipEvent() noexcept = default;
    ~AnimationClipEvent() override;

    /// The events reported, a set of the event bits (not a script member).
    uint32_t GetEventMode() const noexcept { return m_EventMode; }
    void SetEventMode(uint32_t mode) noexcept { m_EventMode = mode; }
    /// The receiver of the events, or null: without one the clip reports nothing.
    ClipEvent* GetClipEvent() const noexcept { return m_ClipEvent.Get(); }
    void SetClipEvent(ClipEvent* receiver) noexcept { m_ClipEvent = receiver; }

    /// A new clip event with the clip's members, the event mode and the same receiver.
    AnimationClip* Clone() const override;

private:
    uint32_t m_EventMode = k_EventStart;
    Obj<ClipEvent> m_ClipEvent;
};

} // namespace Quorlix
