#include "quorlix/scene/Field.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SField)
QUORLIX_GEOMETRY_NATIVE_CLASS(TField)
QUORLIX_GEOMETRY_NATIVE_CLASS(SGravityField)
QUORLIX_GEOMETRY_NATIVE_CLASS(TGravityField)
QUORLIX_GEOMETRY_NATIVE_CLASS(SRadialField)
QUORLIX_GEOMETRY_NATIVE_CLASS(TRadialField)

} // namespace Quorlix
