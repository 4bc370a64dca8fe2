#include "quorlix/scene/SpriteAppearances.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SpriteAppearances)

} // namespace Quorlix
