#pragma once
// A unit direction. It shares Vector3fC's storage and queries but offers only operations that
// keep unit length; its constructor normalises.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API Normal3f : public Vector3fC {
public:
    /// Normalised with the unit window, so unit input is stored bit-exact.
    Normal3f(float x, float y, float z) { SetXYZNormalize(x, y, z); }
    explicit Normal3f(const Vector3fC& v) { SetXYZNormalize(v.GetX(), v.GetY(), v.GetZ()); }

    using Vector3fC::AssignComponentAbsolute, Vector3fC::AssignNegate, Vector3fC::Reflect,
        Vector3fC::AssignReflect;

    /// The plain dot product: both are unit.
    float CosAngle(const Normal3f& n) const { return Dot(n); }
    /// acos of the dot product, with the ends pinned to pi and 0.
    float Angle(const Normal3f& n) const {
        const float d = Dot(n);
        if (d <= -1.0f)
            return k_Pi;
        if (d >= 1.0f)
            return 0.0f;
        return std::acos(d);
    }

    float operator[](int i) const { return m_C[i]; }
    operator const Vector3f&() const {
        return *static_cast<const Vector3f*>(static_cast<const Vector3fC*>(this));
    }
};

} // namespace Quorlix
