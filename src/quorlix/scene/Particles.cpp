#include "quorlix/scene/Particles.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SParticles)
QUORLIX_GEOMETRY_NATIVE_CLASS(TParticles)

} // namespace Quorlix
