#include "quorlix/scene/BlendControl.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(BlendControl)

} // namespace Quorlix
