#include "quorlix/render/internal/RenderEngineFactory.h"

namespace Quorlix::Internal {

// Placeholder until the null engine lands.
RenderEngine* CreateRenderEngineNull() {
    return nullptr;
}

} // namespace Quorlix::Internal
