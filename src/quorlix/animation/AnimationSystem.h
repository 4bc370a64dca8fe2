#pragma once
// What drives animation each frame. The drivers (AnimationScheduler, PoseBlend, ParentManager)
// are plain script objects; nothing advances them on its own. A host that has no frame loop of
// its own for them makes one AnimationSystem over the namespace its scripts filled and calls
// AdvanceFrame once per frame, before it updates the scene: the schedulers first (they write
// the members the clips drive), then the pose blends (which may read what the clips wrote into
// their weights), then the parent managers (whose controls the others may have re-targeted).

#include "quorlix/animation/AnimationScheduler.h"
#include "quorlix/animation/ParentControl.h"
#include "quorlix/animation/PoseBlend.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptNamespace.h"

namespace Quorlix {

class QUORLIX_API AnimationSystem {
public:
    /// Holds every driver among the objects of `ns` and its child namespaces (counted), each
    /// once, in the namespace's list order. Drivers made later are not seen: call Collect again.
    explicit AnimationSystem(const ScriptNamespace* ns);

    /// Gathers the drivers of `ns` again, in place of those held.
    void Collect(const ScriptNamespace* ns);

    /// Advances every scheduler to `time` (seconds), then every pose blend, then every parent
    /// manager.
    void AdvanceFrame(double time);

    int GetSchedulerCount() const noexcept { return m_Schedulers.Size(); }
    int GetPoseBlendCount() const noexcept { return m_PoseBlends.Size(); }
    int GetParentManagerCount() const noexcept { return m_ParentManagers.Size(); }

private:
    Array<Obj<AnimationScheduler>> m_Schedulers;
    Array<Obj<PoseBlend>> m_PoseBlends;
    Array<Obj<ParentManager>> m_ParentManagers;
};

} // namespace Quorlix
