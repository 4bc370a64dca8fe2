#pragma once
// ConnectionGroup (class "ConnectionGroup", -3948): binds animation ports to object members.
// Port p is member Member[p] (element MemberIndex[p] of an index or array member; MemberMask[p]
// selects components for drivers that use it) of object Object[p]. The four arrays are
// parallel; writing Object[i] grows all four. Arrays of differing lengths (a script may resize
// each) count only as many ports as all four reach.
//
// A frame of animation goes ResetOutput, AddOutput per clip, CommitOutput: the output buffer
// holds per port one value per track; the commit writes each port's sum over its tracks to
// the member through the member's setter.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class AnimationLibrary;

class QUORLIX_API ConnectionGroup : public Object {
public:
    /// Tracks are 0..k_TrackCount - 1.
    static constexpr int k_TrackCount = 32;

    static ConnectionGroup* Create();
    static const TypeInfo* GetConnectionGroupTypeInfo() noexcept;

    ConnectionGroup() noexcept = default;
    ~ConnectionGroup() override;

    /// Object i; the nil object outside the array.
    ScriptObject* GetObject(int i) const;
    /// Stores object i (null stores nil), growing the four arrays to i + 1 (new objects nil,
    /// members, indices and masks 0). Indices below 0, of 2^24 and above or growing by more than
    /// 65536 are refused with an error line.
    void SetObject(int i, ScriptObject* object);
    int GetObjectCount() const { return m_Object.Size(); }
    /// Sets the count of Object and grows the other three to at least `n`; a count outside
    /// 0..2^24 is refused (logged).
    void SetObjectCount(int n);

    /// Ports in use: the length of the shortest of the four arrays.
    int GetPortCount() const noexcept;

    /// Starts a frame: one empty track list per port.
    virtual void ResetOutput();
    /// Evaluates every curve of `library` at library time StartTime + `time` and stores the value
    /// times `amplitude` on `track` of the curve's port, replacing what that track held. Does
    /// nothing for a negative (or NaN) `time` or one that lands past the library's EndTime.
    /// A port outside the group logs "ConnectionGroup: animation library specifies invalid
    /// port." and skips the curve; a track outside 0..31 is refused with an error line.
    virtual void AddOutput(int track, const AnimationLibrary* library, double time,
                           float amplitude);
    /// Writes each port that received output: the sum over its tracks, through the member's
    /// setter. I32 members take floor(x + 0.5), saturated (NaN gives 0); F32 members x;
    /// Vector2f/3f/4f members the first two, three or four components; other types are left
    /// alone. Index and array members take it at element MemberIndex[p]. A member the object's
    /// class does not have, or one without a setter, logs an error naming the member.
    virtual void CommitOutput();

    Array<Obj<ScriptObject>> m_Object; // nil stands for none (a null element counts as nil)
    Array<const ClassType_MemberID*> m_Member;
    Array<int32_t> m_MemberIndex;
    Array<uint32_t> m_MemberMask;

private:
    // Per port, the values of the tracks written since ResetOutput (empty: none). Cleared, not
    // freed, every frame, so that a steady animation allocates nothing.
    Array<Array<Vector4f>> m_Output;
};

} // namespace Quorlix
