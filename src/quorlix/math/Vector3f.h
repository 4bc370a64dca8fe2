#pragma once
// Three-component float vector. Vector3fC holds the components and every operation, with the
// mutators protected so that Normal3f can share the storage and queries without being able to
// leave unit length; Vector3f makes the mutators public and adds the operators.

#include "quorlix/math/Scalar.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class Quaternionf;
class Vector3f;

class QUORLIX_API Vector3fC {
public:
    float GetX() const { return m_C[0]; }
    float GetY() const { return m_C[1]; }
    float GetZ() const { return m_C[2]; }
    void GetXYZ(float& x, float& y, float& z) const {
        x = m_C[0];
        y = m_C[1];
        z = m_C[2];
    }

    float Dot(const Vector3fC& v) const {
        return m_C[0] * v.m_C[0] + m_C[1] * v.m_C[1] + m_C[2] * v.m_C[2];
    }
    float LengthSquared() const { return Dot(*this); }
    float Length() const { return std::sqrt(LengthSquared()); }
    float DistanceSquared(const Vector3fC& v) const;
    float Distance(const Vector3fC& v) const { return std::sqrt(DistanceSquared(v)); }

    bool EqualExact(const Vector3fC& v) const {
        return m_C[0] == v.m_C[0] && m_C[1] == v.m_C[1] && m_C[2] == v.m_C[2];
    }
    /// Every |v_i - this_i| <= eps.
    bool EqualEpsilon(const Vector3fC& v, float eps) const;
    /// Sum of (v_i - this_i)^2 <= eps^2.
    bool EqualRMS(const Vector3fC& v, float eps) const { return DistanceSquared(v) <= eps * eps; }

    /// Cosine of the angle to v, clamped to [-1, 1]; 0 when either vector is zero.
    float CosAngle(const Vector3fC& v) const;
    float Angle(const Vector3fC& v) const { return std::acos(CosAngle(v)); }
    /// True when both point the same way within eps of the cosine; opposite vectors are not
    /// parallel.
    bool IsParallel(const Vector3fC& v, float eps) const;

protected:
    Vector3fC() = default;
    constexpr Vector3fC(float x, float y, float z) : m_C{x, y, z} {}

    float& AccessX() { return m_C[0]; }
    float& AccessY() { return m_C[1]; }
    float& AccessZ() { return m_C[2]; }
    void SetX(float x) { m_C[0] = x; }
    void SetY(float y) { m_C[1] = y; }
    void SetZ(float z) { m_C[2] = z; }
    void SetXYZ(float x, float y, float z) {
        m_C[0] = x;
        m_C[1] = y;
        m_C[2] = z;
    }
    /// Sets, then scales to unit length unless the squared length is inside the unit window.
    void SetXYZNormalize(float x, float y, float z);

    void SwapXY() { AssignSwapXY(*this); }
    void SwapXZ() { AssignSwapXZ(*this); }
    void SwapYZ() { AssignSwapYZ(*this); }
    /// x, y, z := y, z, x.
    void SwapXYZToYZX() { AssignSwapXYZToYZX(*this); }
    /// x, y, z := z, x, y.
    void SwapXYZToZXY() { AssignSwapXYZToZXY(*this); }
    void AssignSwapXY(const Vector3fC& a) { SetXYZ(a.m_C[1], a.m_C[0], a.m_C[2]); }
    void AssignSwapXZ(const Vector3fC& a) { SetXYZ(a.m_C[2], a.m_C[1], a.m_C[0]); }
    void AssignSwapYZ(const Vector3fC& a) { SetXYZ(a.m_C[0], a.m_C[2], a.m_C[1]); }
    void AssignSwapXYZToYZX(const Vector3fC& a) { SetXYZ(a.m_C[1], a.m_C[2], a.m_C[0]); }
    void AssignSwapXYZToZXY(const Vector3fC& a) { SetXYZ(a.m_C[2], a.m_C[0], a.m_C[1]); }

    void Negate() { AssignNegate(*this); }
    void AssignNegate(const Vector3fC& a) { SetXYZ(-a.m_C[0], -a.m_C[1], -a.m_C[2]); }
    void NegateX() { m_C[0] = -m_C[0]; }
    void NegateY() { m_C[1] = -m_C[1]; }
    void NegateZ() { m_C[2] = -m_C[2]; }
    // this := a with one component negated.
    void AssignNegateX(const Vector3fC& a) {
        *this = a;
        m_C[0] = -m_C[0];
    }
    void AssignNegateY(const Vector3fC& a) {
        *this = a;
        m_C[1] = -m_C[1];
    }
    void AssignNegateZ(const Vector3fC& a) {
        *this = a;
        m_C[2] = -m_C[2];
    }
    void ComponentAbsolute() { AssignComponentAbsolute(*this); }
    void AssignComponentAbsolute(const Vector3fC& a) {
        SetXYZ(std::fabs(a.m_C[0]), std::fabs(a.m_C[1]), std::fabs(a.m_C[2]));
    }

    /// this := this x v.
    void Cross(const Vector3fC& v) { AssignCross(*this, v); }
    void AssignCross(const Vector3fC& a, const Vector3fC& b) {
        SetXYZ(a.m_C[1] * b.m_C[2] - a.m_C[2] * b.m_C[1], a.m_C[2] * b.m_C[0] - a.m_C[0] * b.m_C[2],
               a.m_C[0] * b.m_C[1] - a.m_C[1] * b.m_C[0]);
    }
    /// The cross product through SetXYZNormalize.
    void CrossNormalize(const Vector3fC& v) { AssignCrossNormalize(*this, v); }
    void AssignCrossNormalize(const Vector3fC& a, const Vector3fC& b);

    void Add(const Vector3fC& v) { AssignAdd(*this, v); }
    void AssignAdd(const Vector3fC& a, const Vector3fC& b) {
        SetXYZ(a.m_C[0] + b.m_C[0], a.m_C[1] + b.m_C[1], a.m_C[2] + b.m_C[2]);
    }
    void Sub(const Vector3fC& v) { AssignSub(*this, v); }
    void AssignSub(const Vector3fC& a, const Vector3fC& b) {
        SetXYZ(a.m_C[0] - b.m_C[0], a.m_C[1] - b.m_C[1], a.m_C[2] - b.m_C[2]);
    }
    void ComponentMul(const Vector3fC& v) { AssignComponentMul(*this, v); }
    void AssignComponentMul(const Vector3fC& a, const Vector3fC& b) {
        SetXYZ(a.m_C[0] * b.m_C[0], a.m_C[1] * b.m_C[1], a.m_C[2] * b.m_C[2]);
    }
    void ComponentDiv(const Vector3fC& v) { AssignComponentDiv(*this, v); }
    void AssignComponentDiv(const Vector3fC& a, const Vector3fC& b) {
        SetXYZ(a.m_C[0] / b.m_C[0], a.m_C[1] / b.m_C[1], a.m_C[2] / b.m_C[2]);
    }
    void Scale(float f) { AssignScale(*this, f); }
    void AssignScale(const Vector3fC& a, float f) {
        SetXYZ(a.m_C[0] * f, a.m_C[1] * f, a.m_C[2] * f);
    }
    /// this += f * v.
    void AddScaled(const Vector3fC& v, float f) { AssignAddScaled(*this, v, f); }
    void AssignAddScaled(const Vector3fC& a, const Vector3fC& v, float f) {
        SetXYZ(a.m_C[0] + f * v.m_C[0], a.m_C[1] + f * v.m_C[1], a.m_C[2] + f * v.m_C[2]);
    }
    /// this := t * v + (1 - t) * this.
    void Interpolate(const Vector3fC& v, float t) { AssignInterpolate(*this, v, t); }
    void AssignInterpolate(const Vector3fC& a, const Vector3fC& v, float t);

    void Clamp(float lo, float hi) { AssignClamp(*this, lo, hi); }
    void AssignClamp(const Vector3fC& a, float lo, float hi);
    void Clamp(const Vector3fC& lo, const Vector3fC& hi) { AssignClamp(*this, lo, hi); }
    void AssignClamp(const Vector3fC& a, const Vector3fC& lo, const Vector3fC& hi);
    void ClampMin(float lo) { AssignClampMin(*this, lo); }
    void AssignClampMin(const Vector3fC& a, float lo);
    void ClampMax(float hi) { AssignClampMax(*this, hi); }
    void AssignClampMax(const Vector3fC& a, float hi);

    /// Always divides by the length; a zero vector gives NaN.
    void Normalize() { AssignNormalize(*this); }
    void AssignNormalize(const Vector3fC& a) { AssignScale(a, 1.0f / a.Length()); }
    /// this := this - 2 (this . n) n, for unit n.
    void Reflect(const Vector3fC& n) { AssignReflect(*this, n); }
    void AssignReflect(const Vector3fC& a, const Vector3fC& n) {
        AssignAddScaled(a, n, -2.0f * a.Dot(n));
    }

    /// Rotates by unit q: the vector part of q (this, 0) q*.
    void RotateBy(const Quaternionf& q) { AssignRotateBy(*this, q); }
    void AssignRotateBy(const Vector3fC& a, const Quaternionf& q);
    /// The unit normal of the triangle by Newell's method (no guard against a degenerate one).
    void AssignTriangleNormal(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c);
    /// Newell's normal of `count` points, each three floats x, y, z at the start of a record of
    /// `strideBytes` bytes from `points`, scaled to unit length (NaN for a degenerate polygon).
    /// Fewer than one point gives the zero vector and reads nothing.
    void AssignPolygonNormal(const void* points, int count, int strideBytes);

    float m_C[3];
};

class QUORLIX_API Vector3f : public Vector3fC {
public:
    static const Vector3f Zero;

    /// Uninitialised, as a plain float triple.
    Vector3f() = default;
    constexpr Vector3f(float x, float y, float z) : Vector3fC(x, y, z) {}
    explicit Vector3f(const float* xyz) : Vector3fC(xyz[0], xyz[1], xyz[2]) {}

    using Vector3fC::AccessX, Vector3fC::AccessY, Vector3fC::AccessZ;
    using Vector3fC::Add, Vector3fC::AssignAdd, Vector3fC::Sub, Vector3fC::AssignSub,
        Vector3fC::ComponentMul, Vector3fC::AssignComponentMul, Vector3fC::ComponentDiv,
        Vector3fC::AssignComponentDiv, Vector3fC::Scale, Vector3fC::AssignScale,
        Vector3fC::AddScaled, Vector3fC::AssignAddScaled, Vector3fC::Interpolate,
        Vector3fC::AssignInterpolate;
    using Vector3fC::Clamp, Vector3fC::AssignClamp, Vector3fC::ClampMin, Vector3fC::AssignClampMin,
        Vector3fC::ClampMax, Vector3fC::AssignClampMax;
    using Vector3fC::Cross, Vector3fC::AssignCross, Vector3fC::CrossNormalize,
        Vector3fC::AssignCrossNormalize;
    using Vector3fC::Negate, Vector3fC::AssignNegate, Vector3fC::NegateX, Vector3fC::NegateY,
        Vector3fC::NegateZ, Vector3fC::AssignNegateX, Vector3fC::AssignNegateY,
        Vector3fC::AssignNegateZ, Vector3fC::ComponentAbsolute, Vector3fC::AssignComponentAbsolute;
    using Vector3fC::Normalize, Vector3fC::AssignNormalize, Vector3fC::Reflect,
        Vector3fC::AssignReflect;
    using Vector3fC::RotateBy, Vector3fC::AssignRotateBy, Vector3fC::AssignTriangleNormal,
        Vector3fC::AssignPolygonNormal;
    using Vector3fC::SetX, Vector3fC::SetY, Vector3fC::SetZ, Vector3fC::SetXYZ,
        Vector3fC::SetXYZNormalize;
    using Vector3fC::SwapXY, Vector3fC::SwapXZ, Vector3fC::SwapYZ, Vector3fC::SwapXYZToYZX,
        Vector3fC::SwapXYZToZXY, Vector3fC::AssignSwapXY, Vector3fC::AssignSwapXZ,
        Vector3fC::AssignSwapYZ, Vector3fC::AssignSwapXYZToYZX, Vector3fC::AssignSwapXYZToZXY;

    float& operator[](int i) { return m_C[i]; }
    float operator[](int i) const { return m_C[i]; }

    Vector3f& operator+=(const Vector3fC& v) {
        Add(v);
        return *this;
    }
    Vector3f& operator-=(const Vector3fC& v) {
        Sub(v);
        return *this;
    }
    Vector3f& operator*=(const Vector3fC& v) {
        ComponentMul(v);
        return *this;
    }
    Vector3f& operator/=(const Vector3fC& v) {
        ComponentDiv(v);
        return *this;
    }
    bool operator==(const Vector3f& v) const { return EqualExact(v); }
    bool operator!=(const Vector3f& v) const { return !EqualExact(v); }
};

inline Vector3f operator+(const Vector3f& a, const Vector3f& b) {
    return Vector3f(a[0] + b[0], a[1] + b[1], a[2] + b[2]);
}
inline Vector3f operator-(const Vector3f& a, const Vector3f& b) {
    return Vector3f(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}
inline Vector3f operator-(const Vector3f& a) {
    return Vector3f(-a[0], -a[1], -a[2]);
}
inline Vector3f operator*(const Vector3f& a, const Vector3f& b) {
    return Vector3f(a[0] * b[0], a[1] * b[1], a[2] * b[2]);
}
inline Vector3f operator/(const Vector3f& a, const Vector3f& b) {
    return Vector3f(a[0] / b[0], a[1] / b[1], a[2] / b[2]);
}
inline Vector3f operator*(const Vector3f& a, float f) {
    return Vector3f(a[0] * f, a[1] * f, a[2] * f);
}
inline Vector3f operator*(float f, const Vector3f& a) {
    return a * f;
}
/// Multiplies by the reciprocal, as the engine always has.
inline Vector3f operator/(const Vector3f& a, float f) {
    return a * (1.0f / f);
}

} // namespace Quorlix
