#include "quorlix/scene/Container.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SContainer)
QUORLIX_GEOMETRY_NATIVE_CLASS(TContainer)

} // namespace Quorlix
