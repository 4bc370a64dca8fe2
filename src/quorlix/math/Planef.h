#pragma once
// A plane a x + b y + c z + d = 0 with the normal (a, b, c), not necessarily unit length.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API Planef {
public:
    /// Uninitialised, as a plain float quadruple.
    Planef() = default;
    constexpr Planef(float a, float b, float c, float d) : m_A(a), m_B(b), m_C(c), m_D(d) {}
    /// The plane through three points with the normal (p2 - p1) x (p3 - p1), not normalised: it
    /// faces the side from which the points run counter-clockwise. Collinear points give zeros.
    Planef(const Vector3fC& p1, const Vector3fC& p2, const Vector3fC& p3) {
        const float x1 = p1.GetX(), y1 = p1.GetY(), z1 = p1.GetZ();
        const float x2 = p2.GetX(), y2 = p2.GetY(), z2 = p2.GetZ();
        const float x3 = p3.GetX(), y3 = p3.GetY(), z3 = p3.GetZ();
        m_A = y1 * (z2 - z3) + y2 * (z3 - z1) + y3 * (z1 - z2);
        m_B = z1 * (x2 - x3) + z2 * (x3 - x1) + z3 * (x1 - x2);
        m_C = x1 * (y2 - y3) + x2 * (y3 - y1) + x3 * (y1 - y2);
        m_D = -(x1 * (y2 * z3 - y3 * z2) + x2 * (y3 * z1 - y1 * z3) + x3 * (y1 * z2 - y2 * z1));
    }

    float GetA() const { return m_A; }
    float GetB() const { return m_B; }
    float GetC() const { return m_C; }
    float GetD() const { return m_D; }
    void Set(float a, float b, float c, float d) {
        m_A = a;
        m_B = b;
        m_C = c;
        m_D = d;
    }

    /// a x + b y + c z + d: the signed distance of p when the normal has unit length, positive
    /// on the side the normal points to.
    float Evaluate(const Vector3fC& p) const {
        return m_A * p.GetX() + m_B * p.GetY() + m_C * p.GetZ() + m_D;
    }

    /// Exact, all four floats.
    bool operator==(const Planef& p) const {
        return m_A == p.m_A && m_B == p.m_B && m_C == p.m_C && m_D == p.m_D;
    }
    bool operator!=(const Planef& p) const { return !(*this == p); }

private:
    float m_A, m_B, m_C, m_D;
};

} // namespace Quorlix
