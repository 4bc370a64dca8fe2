#pragma once
// Four-component float vector: Vector4fC holds the components and every operation with the
// mutators protected; Vector4f makes them public and adds the operators.

#include "quorlix/math/Scalar.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API Vector4fC {
public:
    float GetX() const { return m_C[0]; }
    float GetY() const { return m_C[1]; }
    float GetZ() const { return m_C[2]; }
    float GetW() const { return m_C[3]; }
    void GetXYZW(float& x, float& y, float& z, float& w) const {
        x = m_C[0];
        y = m_C[1];
        z = m_C[2];
        w = m_C[3];
    }

    float Dot(const Vector4fC& v) const;
    float LengthSquared() const { return Dot(*this); }
    float Length() const { return std::sqrt(LengthSquared()); }
    float DistanceSquared(const Vector4fC& v) const;
    float Distance(const Vector4fC& v) const { return std::sqrt(DistanceSquared(v)); }

    bool EqualExact(const Vector4fC& v) const;
    /// Every |v_i - this_i| <= eps.
    bool EqualEpsilon(const Vector4fC& v, float eps) const;
    /// Sum of (v_i - this_i)^2 <= eps^2.
    bool EqualRMS(const Vector4fC& v, float eps) const { return DistanceSquared(v) <= eps * eps; }
    /// Cosine of the angle to v, clamped to [-1, 1]; 0 when either vector is zero.
    float CosAngle(const Vector4fC& v) const;
    float Angle(const Vector4fC& v) const { return std::acos(CosAngle(v)); }

protected:
    Vector4fC() = default;
    constexpr Vector4fC(float x, float y, float z, float w) : m_C{x, y, z, w} {}

    float& AccessX() { return m_C[0]; }
    float& AccessY() { return m_C[1]; }
    float& AccessZ() { return m_C[2]; }
    float& AccessW() { return m_C[3]; }
    void SetX(float x) { m_C[0] = x; }
    void SetY(float y) { m_C[1] = y; }
    void SetZ(float z) { m_C[2] = z; }
    void SetW(float w) { m_C[3] = w; }
    void SetXYZW(float x, float y, float z, float w) {
        m_C[0] = x;
        m_C[1] = y;
        m_C[2] = z;
        m_C[3] = w;
    }
    /// Sets, then scales to unit length unless the squared length is inside the unit window.
    void SetXYZWNormalize(float x, float y, float z, float w);

    void SwapXY() { AssignSwapXY(*this); }
    void AssignSwapXY(const Vector4fC& a);
    void SwapXZ() { AssignSwapXZ(*this); }
    void AssignSwapXZ(const Vector4fC& a);
    void SwapYZ() { AssignSwapYZ(*this); }
    void AssignSwapYZ(const Vector4fC& a);
    /// x, y, z := y, z, x; w stays.
    void SwapXYZToYZX() { AssignSwapXYZToYZX(*this); }
    void AssignSwapXYZToYZX(const Vector4fC& a);
    /// x, y, z := z, x, y; w stays.
    void SwapXYZToZXY() { AssignSwapXYZToZXY(*this); }
    void AssignSwapXYZToZXY(const Vector4fC& a);

    void Negate() { AssignNegate(*this); }
    void AssignNegate(const Vector4fC& a);
    void NegateX() { m_C[0] = -m_C[0]; }
    void NegateY() { m_C[1] = -m_C[1]; }
    void NegateZ() { m_C[2] = -m_C[2]; }
    void NegateW() { m_C[3] = -m_C[3]; }
    // this := a with one component negated.
    void AssignNegateX(const Vector4fC& a) {
        *this = a;
        m_C[0] = -m_C[0];
    }
    void AssignNegateY(const Vector4fC& a) {
        *this = a;
        m_C[1] = -m_C[1];
    }
    void AssignNegateZ(const Vector4fC& a) {
        *this = a;
        m_C[2] = -m_C[2];
    }
    void AssignNegateW(const Vector4fC& a) {
        *this = a;
        m_C[3] = -m_C[3];
    }
    void ComponentAbsolute() { AssignComponentAbsolute(*this); }
    void AssignComponentAbsolute(const Vector4fC& a);

    void Add(const Vector4fC& v) { AssignAdd(*this, v); }
    void AssignAdd(const Vector4fC& a, const Vector4fC& b);
    void Sub(const Vector4fC& v) { AssignSub(*this, v); }
    void AssignSub(const Vector4fC& a, const Vector4fC& b);
    void ComponentMul(const Vector4fC& v) { AssignComponentMul(*this, v); }
    void AssignComponentMul(const Vector4fC& a, const Vector4fC& b);
    void ComponentDiv(const Vector4fC& v) { AssignComponentDiv(*this, v); }
    void AssignComponentDiv(const Vector4fC& a, const Vector4fC& b);
    void Scale(float f) { AssignScale(*this, f); }
    void AssignScale(const Vector4fC& a, float f);
    /// this += f * v.
    void AddScaled(const Vector4fC& v, float f) { AssignAddScaled(*this, v, f); }
    void AssignAddScaled(const Vector4fC& a, const Vector4fC& v, float f);
    /// this := t * v + (1 - t) * this.
    void Interpolate(const Vector4fC& v, float t) { AssignInterpolate(*this, v, t); }
    void AssignInterpolate(const Vector4fC& a, const Vector4fC& v, float t);

    void Clamp(float lo, float hi) { AssignClamp(*this, lo, hi); }
    void AssignClamp(const Vector4fC& a, float lo, float hi);
    void ClampMin(float lo) { AssignClampMin(*this, lo); }
    void AssignClampMin(const Vector4fC& a, float lo);
    void ClampMax(float hi) { AssignClampMax(*this, hi); }
    void AssignClampMax(const Vector4fC& a, float hi);

    /// Always divides by the length; a zero vector gives NaN.
    void Normalize() { AssignNormalize(*this); }
    void AssignNormalize(const Vector4fC& a) { AssignScale(a, 1.0f / a.Length()); }
    /// this := this - 2 (this . n) n, for unit n.
    void Reflect(const Vector4fC& n) { AssignReflect(*this, n); }
    void AssignReflect(const Vector4fC& a, const Vector4fC& n) {
        AssignAddScaled(a, n, -2.0f * a.Dot(n));
    }

    float m_C[4];
};

class QUORLIX_API Vector4f : public Vector4fC {
public:
    static const Vector4f Zero;

    /// Uninitialised, as plain floats.
    Vector4f() = default;
    constexpr Vector4f(float x, float y, float z, float w) : Vector4fC(x, y, z, w) {}

    using Vector4fC::AccessX, Vector4fC::AccessY, Vector4fC::AccessZ, Vector4fC::AccessW;
    using Vector4fC::SetX, Vector4fC::SetY, Vector4fC::SetZ, Vector4fC::SetW, Vector4fC::SetXYZW,
        Vector4fC::SetXYZWNormalize;
    using Vector4fC::SwapXY, Vector4fC::AssignSwapXY, Vector4fC::SwapXZ, Vector4fC::AssignSwapXZ,
        Vector4fC::SwapYZ, Vector4fC::AssignSwapYZ, Vector4fC::SwapXYZToYZX,
        Vector4fC::AssignSwapXYZToYZX, Vector4fC::SwapXYZToZXY, Vector4fC::AssignSwapXYZToZXY,
        Vector4fC::Negate, Vector4fC::AssignNegate, Vector4fC::NegateX, Vector4fC::NegateY,
        Vector4fC::NegateZ, Vector4fC::NegateW, Vector4fC::AssignNegateX, Vector4fC::AssignNegateY,
        Vector4fC::AssignNegateZ, Vector4fC::AssignNegateW, Vector4fC::ComponentAbsolute,
        Vector4fC::AssignComponentAbsolute, Vector4fC::Add, Vector4fC::AssignAdd, Vector4fC::Sub,
        Vector4fC::AssignSub, Vector4fC::ComponentMul, Vector4fC::AssignComponentMul,
        Vector4fC::ComponentDiv, Vector4fC::AssignComponentDiv, Vector4fC::Scale,
        Vector4fC::AssignScale, Vector4fC::AddScaled, Vector4fC::AssignAddScaled,
        Vector4fC::Interpolate, Vector4fC::AssignInterpolate, Vector4fC::Clamp,
        Vector4fC::AssignClamp, Vector4fC::ClampMin, Vector4fC::AssignClampMin, Vector4fC::ClampMax,
        Vector4fC::AssignClampMax, Vector4fC::Normalize, Vector4fC::AssignNormalize,
        Vector4fC::Reflect, Vector4fC::AssignReflect;

    float& operator[](int i) { return m_C[i]; }
    float operator[](int i) const { return m_C[i]; }

    Vector4f& operator+=(const Vector4fC& v) {
        Add(v);
        return *this;
    }
    Vector4f& operator-=(const Vector4fC& v) {
        Sub(v);
        return *this;
    }
    Vector4f& operator*=(const Vector4fC& v) {
        ComponentMul(v);
        return *this;
    }
    Vector4f& operator/=(const Vector4fC& v) {
        ComponentDiv(v);
        return *this;
    }
    bool operator==(const Vector4f& v) const { return EqualExact(v); }
    bool operator!=(const Vector4f& v) const { return !EqualExact(v); }
};

inline Vector4f operator+(const Vector4f& a, const Vector4f& b) {
    return Vector4f(a[0] + b[0], a[1] + b[1], a[2] + b[2], a[3] + b[3]);
}
inline Vector4f operator-(const Vector4f& a, const Vector4f& b) {
    return Vector4f(a[0] - b[0], a[1] - b[1], a[2] - b[2], a[3] - b[3]);
}
inline Vector4f operator*(const Vector4f& a, const Vector4f& b) {
    return Vector4f(a[0] * b[0], a[1] * b[1], a[2] * b[2], a[3] * b[3]);
}
inline Vector4f operator/(const Vector4f& a, const Vector4f& b) {
    return Vector4f(a[0] / b[0], a[1] / b[1], a[2] / b[2], a[3] / b[3]);
}
inline Vector4f operator-(const Vector4f& a) {
    return Vector4f(-a[0], -a[1], -a[2], -a[3]);
}
inline Vector4f operator*(const Vector4f& a, float f) {
    return Vector4f(a[0] * f, a[1] * f, a[2] * f, a[3] * f);
}
inline Vector4f operator*(float f, const Vector4f& a) {
    return a * f;
}
/// Multiplies by the reciprocal.
inline Vector4f operator/(const Vector4f& a, float f) {
    return a * (1.0f / f);
}

} // namespace Quorlix
