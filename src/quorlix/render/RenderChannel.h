#pragma once
// RenderChannel (class "RenderChannel", -3967): what one pass of the frame draws into a pipe: a
// scene root and a camera (T nodes), a viewport, clipping planes and clear values. Besides its
// members a channel carries two settings the host makes through the accessors: a pass mask
// (which passes the frame runs for it) and a request to load every texture of its scene at once.

#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/scene/Node.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RenderChannel : public Object {
public:
    /// The least near distance Clipping keeps (2^-16).
    static constexpr float k_MinNear = 1.5258789e-5f;

    static RenderChannel* Create();
    static const TypeInfo* GetRenderChannelTypeInfo() noexcept;

    RenderChannel() noexcept = default;
    ~RenderChannel() override;

    /// (x0, x1, y0, y1) as fractions of the window. The setter clamps each component into
    /// [0, 1] (NaN gives 0), then raises x1 to x0 and y1 to y0 when they are smaller:
    /// (0.5, 0.25, 0, 1) is stored as (0.5, 0.5, 0, 1), an empty viewport.
    const Vector4f& GetViewport() const noexcept { return m_Viewport; }
    void SetViewport(const Vector4f& viewport) noexcept;
    /// (near, far). The setter raises near to at least k_MinNear (NaN gives k_MinNear), then
    /// raises far to near when it is below (or NaN): (0, 10) is stored as (k_MinNear, 10), (5, 2)
    /// as (5, 5).
    const Vector2f& GetClipping() const noexcept { return m_Clipping; }
    void SetClipping(const Vector2f& clipping) noexcept;

    /// Request to load every texture of the scene in the next frame; the frame clears it once
    /// the engine has nothing left to load. Starts false.
    bool GetForceTextureLoading() const noexcept { return m_ForceTextureLoading; }
    void SetForceTextureLoading(bool on) noexcept { m_ForceTextureLoading = on; }
    /// The passes the frame runs for this channel: bit 1 the lit pass (mode 1), 2 mode 2, 4 mode
    /// 3, 8 or 16 mode 0, 0x20 the pair of modes 4 and 5. Starts 1.
    uint32_t GetPassMask() const noexcept { return m_PassMask; }
    void SetPassMask(uint32_t mask) noexcept { m_PassMask = mask; }
    /// Members 7 to 16 as the engine takes them.
    RenderClearBlock GetClearBlock() const noexcept;

    Obj<TNode> m_SceneRoot; // null when none
    Obj<TNode> m_Camera;    // its S node is an SCamera; null when none
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

private:
    Vector4f m_Viewport{0, 1, 0, 1};
    Vector2f m_Clipping{0.5f, 1024.0f};
    bool m_ForceTextureLoading = false;
    uint32_t m_PassMask = 1;
};

} // namespace Quorlix
