#pragma once
// Bounding sphere: centre and radius, a negative radius meaning empty. The layout (x, y, z, r
// as four floats) is the one the script type "Spheref" holds.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class Matrix4f;

class QUORLIX_API Spheref {
public:
    /// Centre (0, 0, 0), radius -1e16 (as MakeEmpty).
    static const Spheref Empty;

    /// Centre (0, 0, 0) and the tiny negative radius -1e-16: empty, yet distinct from Empty.
    constexpr Spheref() : m_Centre(0.0f, 0.0f, 0.0f), m_Radius(-1.0e-16f) {}
    constexpr Spheref(const Vector3f& centre, float radius) : m_Centre(centre), m_Radius(radius) {}

    const Vector3f& GetCentre() const { return m_Centre; }
    float GetRadius() const { return m_Radius; }
    bool IsEmpty() const { return m_Radius < 0.0f; }
    void SetCentre(const Vector3f& centre) { m_Centre = centre; }
    void SetRadius(float radius) { m_Radius = radius; }
    void Set(const Vector3f& centre, float radius) {
        m_Centre = centre;
        m_Radius = radius;
    }

    /// Centre (0, 0, 0), radius -1e16.
    void MakeEmpty() { Set(Vector3f::Zero, -1.0e16f); }
    /// Centre (0, 0, 0), radius +1e16: contains every point the engine works with.
    void MakeInfinite() { Set(Vector3f::Zero, 1.0e16f); }

    /// Exact, all four floats.
    bool operator==(const Spheref& s) const {
        return m_Centre.EqualExact(s.m_Centre) && m_Radius == s.m_Radius;
    }
    bool operator!=(const Spheref& s) const { return !(*this == s); }

    /// A sphere around `count` points by Ritter's two passes: the widest of the x, y and z
    /// extreme pairs as the start, then grown towards every point still outside. Close to, but
    /// not always, the smallest sphere. No points (count <= 0) gives the empty sphere.
    void AroundPoints(const Vector3f* points, int count);
    /// this := s carried through the affine matrix m (row vectors). The radius grows by a bound
    /// on m's largest stretch, so the result contains the image of s also under non-uniform
    /// scaling and shear; an empty s stays empty. s may be this.
    void XFormAffine(const Spheref& s, const Matrix4f& m);

private:
    Vector3f m_Centre;
    float m_Radius;
};

} // namespace Quorlix
