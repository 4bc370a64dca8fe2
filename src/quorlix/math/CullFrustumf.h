#pragma once
// The view frustum of a perspective camera (looking along -z in its own space) reduced to what
// rejecting bounding spheres needs.

#include "quorlix/math/Planef.h"
#include "quorlix/math/Spheref.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API CullFrustumf {
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
    [[nodiscard]] int FastCull(const Spheref& s) const {
        const Vector3f& centre = s.GetCentre();
        const float z = centre.GetZ(), r = s.GetRadius();
        if (r < 0.0f)
            return k_CullEmpty;
        // Inline, and all six plane tests before one branch on their outcome: spheres come in
        // no particular order, and a branch per plane is mispredicted more often than the
        // arithmetic costs. Near comes before far before left, right, bottom and top.
        float distance[4];
        for (int i = 0; i < 4; ++i)
            distance[i] = m_Planes[i].Evaluate(centre);
        const int beyond = int(distance[0] >= r) | int(distance[1] >= r) << 1 |
                           int(distance[2] >= r) << 2 | int(distance[3] >= r) << 3 |
                           int(z + m_Near >= r) << 4 | int(-(z + m_Far) >= r) << 5;
        if (beyond == 0) {
            // A centre inside the frustum is the common case of a sphere that crosses a plane.
            const bool inside = (distance[0] < 0.0f) & (distance[1] < 0.0f) & (distance[2] < 0.0f) &
                                (distance[3] < 0.0f) & (z + m_Near < 0.0f) & (z + m_Far > 0.0f);
            return inside ? k_CullVisible : CullCrossing(centre, r, distance);
        }
        if (beyond & (k_CullNear | k_CullFar))
            return beyond & k_CullNear ? k_CullNear : k_CullFar;
        return beyond & -beyond;
    }

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
    /// FastCull of a sphere that crosses a face plane without lying beyond any; `distance`
    /// holds the signed distances of the centre to the four side planes.
    int CullCrossing(const Vector3f& centre, float r, const float* distance) const;

    Planef m_Planes[6]{};
    float m_Near = 0.0f, m_Far = 0.0f;
    float m_NearLeft = 0.0f, m_NearRight = 0.0f, m_NearBottom = 0.0f, m_NearTop = 0.0f;
    float m_FarLeft = 0.0f, m_FarRight = 0.0f, m_FarBottom = 0.0f, m_FarTop = 0.0f;
    float m_Ratio = 0.0f;
};

} // namespace Quorlix
