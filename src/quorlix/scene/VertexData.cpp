#include "quorlix/scene/VertexData.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(VertexData)
QUORLIX_GEOMETRY_NATIVE_CLASS(VertexDataF32)
QUORLIX_GEOMETRY_NATIVE_CLASS(VertexDataVector2f)
QUORLIX_GEOMETRY_NATIVE_CLASS(VertexDataVector3f)
QUORLIX_GEOMETRY_NATIVE_CLASS(VertexDataVector4f)
QUORLIX_GEOMETRY_NATIVE_CLASS(VertexDataMatrix4f)

int VertexData::GetDataCount() const noexcept {
    return -1;
}

} // namespace Quorlix
