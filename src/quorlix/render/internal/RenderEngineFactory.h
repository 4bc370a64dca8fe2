#pragma once
// The engines RenderEngine::Create and CreateNull hand out.

namespace Quorlix {
class RenderEngine;
namespace Internal {

/// A new OpenGL engine (count 0), not yet initialised.
RenderEngine* CreateRenderEngineOpenGL();
/// A new null engine (count 0).
RenderEngine* CreateRenderEngineNull();

} // namespace Internal
} // namespace Quorlix
