#pragma once
// Drawing of one window's widgets: quads in window space, batched per shader and handed to the
// engine when the shader changes and at the end. The window owns the painter, so its vertex
// list keeps its capacity from frame to frame and drawing allocates nothing once warm.

#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/render/RenderEngine.h"

#include <vector>

namespace Quorlix {

class RenderShader;
class ScriptObject;
class TileTexture2D;

class WidgetPainter {
public:
    /// Texture coordinates of a rectangle: left, top, right, bottom.
    struct UV {
        float m_U0 = 0, m_V0 = 1, m_U1 = 1, m_V1 = 0;
    };

    void Begin(RenderEngine& engine, bool windowHasInput);
    void End();

    /// A rectangle (x0, y0)-(x1, y1) of the widget space `matrix` maps to window space, with
    /// `shader`'s texture at `uv`, in `color`. Nothing for a null engine or an empty colour.
    void Quad(ScriptObject* shader, const Matrix4f& matrix, float x0, float y0, float x1, float y1,
              const UV& uv, const Vector4f& color);
    /// The coordinates of tile `tile` of a tile texture; false when it has no such tile.
    static bool TileUV(const TileTexture2D& texture, int tile, UV& uv) noexcept;

    bool WindowHasInput() const noexcept { return m_WindowHasInput; }

private:
    void Flush();

    RenderEngine* m_Engine = nullptr;
    RenderShader* m_Shader = nullptr;
    bool m_WindowHasInput = true;
    std::vector<OverlayVertex> m_Vertices;
};

} // namespace Quorlix
