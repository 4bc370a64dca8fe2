#include "quorlix/scene/Emitter.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SEmitter)
QUORLIX_GEOMETRY_NATIVE_CLASS(TEmitter)

} // namespace Quorlix
