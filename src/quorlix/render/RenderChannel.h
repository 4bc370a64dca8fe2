#pragma once
// RenderChannel (class "RenderChannel", -3967): what one pass of the frame draws into a pipe: a
// scene root and a camera (T nodes), a viewport, clipping planes and clear values. The clamping
// setters of Viewport and Clipping come with the frame loop; for now members store as given.

#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RenderChannel : public Object {
public:
    static RenderChannel* Create();
    static const TypeInfo* GetRenderChannelTypeInfo() noexcept;

    RenderChannel() noexcept = default;
    ~RenderChannel() override;

    Obj<TNode> m_SceneRoot;             // null when none
    Obj<TNode> m_Camera;                // its S node is an SCamera; null when none
    Vector4f m_Viewport{0, 1, 0, 1};    // x0, x1, y0, y1 as fractions of the window
    Vector2f m_Clipping{0.5f, 1024.0f}; // near, far
    float m_CullFrustumFactor = 1.0f;
    bool m_Enable = true;
    bool m_ColorClearEnable = true;
    Vector3f m_ColorClearValue{0.25f, 0.25f, 0.25f};
    bool m_AlphaClearEnable = false;
    float m_AlphaClearValue = 1.0f;
    bool m_DepthClearEnable = true;
    double m_DepthClearValue = 1.0;
    bool m_StencilClearEnable = false;
    uint32_t m_StencilClearValue = 0;
    int32_t m_BufferBackgroundColorIndex = -1;        // -1: none restored
    int32_t m_BufferBackgroundDepthStencilIndex = -1; // -1: none restored
    uint32_t m_DrawMask = 0x7FFFFFFF;
    uint32_t m_ExcludeMask = 0x80000000;
};

} // namespace Quorlix
