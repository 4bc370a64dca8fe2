#include "quorlix/scene/SceneClasses.h"

namespace Quorlix {

void BindSceneNodeClasses() {}
void BindNodeEnumerations() {}

} // namespace Quorlix
