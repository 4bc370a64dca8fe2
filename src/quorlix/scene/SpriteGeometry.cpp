#include "quorlix/scene/SpriteGeometry.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SSpriteGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(TSpriteGeometry)

} // namespace Quorlix
