#include "quorlix/scene/Sound.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SSoundEmitter)
QUORLIX_GEOMETRY_NATIVE_CLASS(TSoundEmitter)
QUORLIX_GEOMETRY_NATIVE_CLASS(SSoundReceiver)
QUORLIX_GEOMETRY_NATIVE_CLASS(TSoundReceiver)

} // namespace Quorlix
