#pragma once
// Registration of the scene classes and of the enumerations their members take. The library's
// start-up calls these, in its fixed order, from InitializeSceneClasses.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// FileObject and the node classes in registry order: SNode/TNode to the LOD groups, then the
/// constraint classes.
QUORLIX_API void BindSceneNodeClasses();
/// The geometry, sprite, particle, emitter, field, container, sound and polygon classes.
QUORLIX_API void BindGeometryClasses();
QUORLIX_API void BindBlendControlClass();
QUORLIX_API void BindSpriteAppearancesClass();
/// VertexData and its five subclasses.
QUORLIX_API void BindVertexDataClasses();
/// The enumerations of the node classes (constraint types, bounding modes, light and fog
/// types) and of the geometry classes (primitive types, sprites, particles, emitters).
QUORLIX_API void BindNodeEnumerations();
QUORLIX_API void BindGeometryEnumerations();

} // namespace Quorlix
