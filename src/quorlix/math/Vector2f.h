#pragma once
// Two-component float vector: Vector2fC holds the components and every operation with the
// mutators protected; Vector2f makes them public and adds the operators.

#include "quorlix/math/Scalar.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API Vector2fC {
public:
    float GetX() const { return m_C[0]; }
    float GetY() const { return m_C[1]; }
    void GetXY(float& x, float& y) const {
        x = m_C[0];
        y = m_C[1];
    }

    float Dot(const Vector2fC& v) const;
    float LengthSquared() const { return Dot(*this); }
    float Length() const { return std::sqrt(LengthSquared()); }
    float DistanceSquared(const Vector2fC& v) const;
    float Distance(const Vector2fC& v) const { return std::sqrt(DistanceSquared(v)); }
    /// The scalar x1 y2 - y1 x2.
    float Cross(const Vector2fC& v) const { return m_C[0] * v.m_C[1] - m_C[1] * v.m_C[0]; }

    bool EqualExact(const Vector2fC& v) const;
    /// Every |v_i - this_i| <= eps.
    bool EqualEpsilon(const Vector2fC& v, float eps) const;
    /// Sum of (v_i - this_i)^2 <= eps^2.
    bool EqualRMS(const Vector2fC& v, float eps) const { return DistanceSquared(v) <= eps * eps; }
    /// Cosine of the angle to v, clamped to [-1, 1]; 0 when either vector is zero.
    float CosAngle(const Vector2fC& v) const;
    float Angle(const Vector2fC& v) const { return std::acos(CosAngle(v)); }

protected:
    Vector2fC() = default;
    constexpr Vector2fC(float x, float y) : m_C{x, y} {}

    float& AccessX() { return m_C[0]; }
    float& AccessY() { return m_C[1]; }
    void SetX(float x) { m_C[0] = x; }
    void SetY(float y) { m_C[1] = y; }
    void SetXY(float x, float y) {
        m_C[0] = x;
        m_C[1] = y;
    }
    /// Sets, then scales to unit length unless the squared length is inside the unit window.
    void SetXYNormalize(float x, float y);

    void SwapXY() { AssignSwapXY(*this); }
    void AssignSwapXY(const Vector2fC& a);

    void Negate() { AssignNegate(*this); }
    void AssignNegate(const Vector2fC& a);
    void NegateX() { m_C[0] = -m_C[0]; }
    void NegateY() { m_C[1] = -m_C[1]; }
    // this := a with one component negated.
    void AssignNegateX(const Vector2fC& a) {
        *this = a;
        m_C[0] = -m_C[0];
    }
    void AssignNegateY(const Vector2fC& a) {
        *this = a;
        m_C[1] = -m_C[1];
    }
    void ComponentAbsolute() { AssignComponentAbsolute(*this); }
    void AssignComponentAbsolute(const Vector2fC& a);

    void Add(const Vector2fC& v) { AssignAdd(*this, v); }
    void AssignAdd(const Vector2fC& a, const Vector2fC& b);
    void Sub(const Vector2fC& v) { AssignSub(*this, v); }
    void AssignSub(const Vector2fC& a, const Vector2fC& b);
    void ComponentMul(const Vector2fC& v) { AssignComponentMul(*this, v); }
    void AssignComponentMul(const Vector2fC& a, const Vector2fC& b);
    void ComponentDiv(const Vector2fC& v) { AssignComponentDiv(*this, v); }
    void AssignComponentDiv(const Vector2fC& a, const Vector2fC& b);
    void Scale(float f) { AssignScale(*this, f); }
    void AssignScale(const Vector2fC& a, float f);
    /// this += f * v.
    void AddScaled(const Vector2fC& v, float f) { AssignAddScaled(*this, v, f); }
    void AssignAddScaled(const Vector2fC& a, const Vector2fC& v, float f);
    /// this := t * v + (1 - t) * this.
    void Interpolate(const Vector2fC& v, float t) { AssignInterpolate(*this, v, t); }
    void AssignInterpolate(const Vector2fC& a, const Vector2fC& v, float t);

    void Clamp(float lo, float hi) { AssignClamp(*this, lo, hi); }
    void AssignClamp(const Vector2fC& a, float lo, float hi);
    void ClampMin(float lo) { AssignClampMin(*this, lo); }
    void AssignClampMin(const Vector2fC& a, float lo);
    void ClampMax(float hi) { AssignClampMax(*this, hi); }
    void AssignClampMax(const Vector2fC& a, float hi);

    /// Always divides by the length; a zero vector gives NaN.
    void Normalize() { AssignNormalize(*this); }
    void AssignNormalize(const Vector2fC& a) { AssignScale(a, 1.0f / a.Length()); }
    /// this := this - 2 (this . n) n, for unit n.
    void Reflect(const Vector2fC& n) { AssignReflect(*this, n); }
    void AssignReflect(const Vector2fC& a, const Vector2fC& n) {
        AssignAddScaled(a, n, -2.0f * a.Dot(n));
    }

    float m_C[2];
};

class QUORLIX_API Vector2f : public Vector2fC {
public:
    static const Vector2f Zero;

    /// Uninitialised, as plain floats.
    Vector2f() = default;
    constexpr Vector2f(float x, float y) : Vector2fC(x, y) {}

    using Vector2fC::AccessX, Vector2fC::AccessY;
    using Vector2fC::SetX, Vector2fC::SetY, Vector2fC::SetXY, Vector2fC::SetXYNormalize;
    using Vector2fC::SwapXY, Vector2fC::AssignSwapXY, Vector2fC::Negate, Vector2fC::AssignNegate,
        Vector2fC::NegateX, Vector2fC::NegateY, Vector2fC::AssignNegateX, Vector2fC::AssignNegateY,
        Vector2fC::ComponentAbsolute, Vector2fC::AssignComponentAbsolute, Vector2fC::Add,
        Vector2fC::AssignAdd, Vector2fC::Sub, Vector2fC::AssignSub, Vector2fC::ComponentMul,
        Vector2fC::AssignComponentMul, Vector2fC::ComponentDiv, Vector2fC::AssignComponentDiv,
        Vector2fC::Scale, Vector2fC::AssignScale, Vector2fC::AddScaled, Vector2fC::AssignAddScaled,
        Vector2fC::Interpolate, Vector2fC::AssignInterpolate, Vector2fC::Clamp,
        Vector2fC::AssignClamp, Vector2fC::ClampMin, Vector2fC::AssignClampMin, Vector2fC::ClampMax,
        Vector2fC::AssignClampMax, Vector2fC::Normalize, Vector2fC::AssignNormalize,
        Vector2fC::Reflect, Vector2fC::AssignReflect;

    float& operator[](int i) { return m_C[i]; }
    float operator[](int i) const { return m_C[i]; }
    bool operator==(const Vector2f& v) const { return EqualExact(v); }
    bool operator!=(const Vector2f& v) const { return !EqualExact(v); }
};

inline Vector2f operator+(const Vector2f& a, const Vector2f& b) {
    return Vector2f(a[0] + b[0], a[1] + b[1]);
}
inline Vector2f operator-(const Vector2f& a, const Vector2f& b) {
    return Vector2f(a[0] - b[0], a[1] - b[1]);
}
inline Vector2f operator*(const Vector2f& a, const Vector2f& b) {
    return Vector2f(a[0] * b[0], a[1] * b[1]);
}
inline Vector2f operator/(const Vector2f& a, const Vector2f& b) {
    return Vector2f(a[0] / b[0], a[1] / b[1]);
}
inline Vector2f operator-(const Vector2f& a) {
    return Vector2f(-a[0], -a[1]);
}
inline Vector2f operator*(const Vector2f& a, float f) {
    return Vector2f(a[0] * f, a[1] * f);
}
inline Vector2f operator*(float f, const Vector2f& a) {
    return a * f;
}
/// Multiplies by the reciprocal.
inline Vector2f operator/(const Vector2f& a, float f) {
    return a * (1.0f / f);
}

} // namespace Quorlix
