#pragma once
// Registration of the animation, pose and parent-control classes and of their enumerations.
// The library's start-up calls these, in its fixed order, from InitializeSceneClasses.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// ParentControl, ParentManager, PoseBlend.
QUORLIX_API void BindPoseClasses();
/// AnimationClip, AnimationClipEvent, AnimationLibrary, AnimationScheduler, ConnectionGroup,
/// SplineBase, the four splines with members, SplineQuaternionf.
QUORLIX_API void BindAnimationClasses();
/// PoseBlend.OperatorEnum.
QUORLIX_API void BindAnimationEnumerations();

} // namespace Quorlix
