#include "quorlix/scene/SceneClasses.h"

namespace Quorlix {

void BindGeometryClasses() {}
void BindBlendControlClass() {}
void BindSpriteAppearancesClass() {}
void BindVertexDataClasses() {}
void BindGeometryEnumerations() {}

} // namespace Quorlix
