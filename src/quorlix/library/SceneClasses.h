#pragma once
// The classes of the scene graph and of the subsystems that draw and animate it, registered
// once at library start-up.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Registers the scene, render, shader, texture, image, animation and vertex-data classes and
/// then the enumerations their members take, each under its fixed identifier. Part of the
/// library's first initialisation (after the system classes, before the member hashes).
QUORLIX_API void InitializeSceneClasses();
/// Deletes every built-in class above Object again; part of the last de-initialisation.
QUORLIX_API void UnInitializeSceneClasses();

} // namespace Quorlix
