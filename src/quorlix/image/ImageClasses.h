#pragma once
// Registration of the image and image-layer classes and of their enumerations. The library's
// start-up calls these, in its fixed order, from InitializeSceneClasses.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Image, ExpressionLayer, ImageLayer, GroupLayer, TransformLayer.
QUORLIX_API void BindImageClasses();
/// TransformLayer.CombineModeEnum.
QUORLIX_API void BindImageEnumerations();

} // namespace Quorlix
