#include "quorlix/render/internal/RenderEngineFactory.h"

namespace Quorlix::Internal {

// Placeholder until the OpenGL engine lands.
RenderEngine* CreateRenderEngineOpenGL() {
    return nullptr;
}

} // namespace Quorlix::Internal
