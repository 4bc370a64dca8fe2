#include "quorlix/animation/AnimationClasses.h"

namespace Quorlix {

void BindPoseClasses() {}
void BindAnimationClasses() {}
void BindAnimationEnumerations() {}

} // namespace Quorlix
