#pragma once
// The view frustum of a perspective camera (looking along -z in its own space) reduced to what
// rejecting bounding spheres needs.

#include "quorlix/math/Planef.h"
#include "quorlix/math/Spheref.h"

namespace Quorlix {

class CullFrustumf {
public:
    // Codes of FastCull: the side of the frustum a sphere lies beyond. An edge or corner
    // rejection returns k_CullLeft.
    static constexpr int k_CullVisible = 0;
    static constexpr int k_CullLeft = 1;
    static constexpr int k_CullRight = 2;
    static constexpr int k_CullBottom = 4;
    static constexpr int k_CullTop = 8;
    static constexpr int k_CullNear = 16;
    static constexpr int k_CullFar = 32;
    static constexpr int k_CullEmpty = 63;

    /// The frustum with the near-plane extents left..right, bottom..top at distance `near` and
    /// the far plane at `far` (0 < near < far, left < right, bottom < top; the extents may lie
    /// off the view axis). Planes 0..3 (left, right, bottom, top) pass through the eye with unit
    /// normals pointing out; plane 4 is the near plane (0, 0, 1, near), plane 5 the far plane
    /// (0, 0, -1, -far).
    void MakePerspective(float left, float right, float bottom, float top, float near, float far);

    /// 0 when the sphere may be visible, else non-zero: 63 for an empty sphere, 16 or 32 when it
    /// lies wholly before the near or beyond the far plane, 1, 2, 4 or 8 when it lies wholly
    /// outside a side plane, 1 when it misses the frustum next to an edge or a corner. Never
    /// rejects a sphere that reaches into the frustum; near the ends of an edge it may keep one
    /// that does not. Logs a warning for a region code the frustum's shape should not produce.
    [[nodiscard]] int FastCull(const Spheref& s) const;

    /// Plane i: 0 left, 1 right, 2 bottom, 3 top, 4 near, 5 far.
    const Planef& GetPlane(int i) const { return m_Planes[i]; }
    float GetNear() const { return m_Near; }
    float GetFar() const { return m_Far; }
    float GetNearLeft() const { return m_NearLeft; }
    float GetNearRight() const { return m_NearRight; }
    float GetNearBottom() const { return m_NearBottom; }
    float GetNearTop() const { return m_NearTop; }
    float GetFarLeft() const { return m_FarLeft; }
    float GetFarRight() const { return m_FarRight; }
    float GetFarBottom() const { return m_FarBottom; }
    float GetFarTop() const { return m_FarTop; }
    /// far / near: the far extents are the near ones times this.
    float GetFarNearRatio() const { return m_Ratio; }

private:
    Planef m_Planes[6]{};
    float m_Near = 0.0f, m_Far = 0.0f;
    float m_NearLeft = 0.0f, m_NearRight = 0.0f, m_NearBottom = 0.0f, m_NearTop = 0.0f;
    float m_FarLeft = 0.0f, m_FarRight = 0.0f, m_FarBottom = 0.0f, m_FarTop = 0.0f;
    float m_Ratio = 0.0f;
};

} // namespace Quorlix
