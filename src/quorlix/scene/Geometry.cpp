#include "quorlix/scene/Geometry.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(TGeometry)

} // namespace Quorlix
