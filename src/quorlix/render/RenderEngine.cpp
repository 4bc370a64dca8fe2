#include "quorlix/render/RenderEngine.h"

#include "quorlix/render/internal/RenderEngineFactory.h"

namespace Quorlix {

RenderEngine::~RenderEngine() = default;

RenderEngine* RenderEngine::Create(int32_t type) {
    if (type == TypeOpenGL0 || type == TypeOpenGL)
        return Internal::CreateRenderEngineOpenGL();
    return nullptr; // no DirectX 8 engine in this build
}

RenderEngine* RenderEngine::CreateNull() {
    return Internal::CreateRenderEngineNull();
}

} // namespace Quorlix
