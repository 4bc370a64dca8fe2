#pragma once
// Rotation quaternion (x, y, z, w): the vector part first, the scalar w last. Products are
// Hamilton products; a unit quaternion q turns a column vector v into the vector part of
// q (v, 0) q*.

#include "quorlix/math/Normal3f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class Matrix4f;

class QUORLIX_API Quaternionf {
public:
    /// Whether AssignSlerp starts from a or from -a (the same rotation), which picks the arc.
    enum SlerpDirection : int {
        SlerpPlain = 0,    // from a as given
        SlerpShortest = 1, // from -a when a . b < 0
        SlerpLongest = 2,  // from -a when a . b > 0
    };

    static const Quaternionf Identity;

    /// Uninitialised, as four plain floats.
    Quaternionf() = default;
    constexpr Quaternionf(float x, float y, float z, float w) : m_C{x, y, z, w} {}

    float GetX() const { return m_C[0]; }
    float GetY() const { return m_C[1]; }
    float GetZ() const { return m_C[2]; }
    float GetW() const { return m_C[3]; }
    void Set(float x, float y, float z, float w) {
        m_C[0] = x;
        m_C[1] = y;
        m_C[2] = z;
        m_C[3] = w;
    }
    float& operator[](int i) { return m_C[i]; }
    float operator[](int i) const { return m_C[i]; }
    bool operator==(const Quaternionf& q) const {
        return m_C[0] == q.m_C[0] && m_C[1] == q.m_C[1] && m_C[2] == q.m_C[2] && m_C[3] == q.m_C[3];
    }
    bool operator!=(const Quaternionf& q) const { return !(*this == q); }

    /// x = y = z = 0 and w exactly 1.
    bool IsIdentity() const;
    bool IsIdentityEpsilon(float eps) const;
    /// The 4-D dot product.
    float Dot(const Quaternionf& q) const {
        return m_C[0] * q.m_C[0] + m_C[1] * q.m_C[1] + m_C[2] * q.m_C[2] + m_C[3] * q.m_C[3];
    }

    /// this := this q.
    void Mult(const Quaternionf& q) { AssignMult(*this, q); }
    void AssignMult(const Quaternionf& a, const Quaternionf& b);
    /// The conjugate divided by the squared norm.
    void Invert();
    void Conjugate() { Set(-m_C[0], -m_C[1], -m_C[2], m_C[3]); }
    /// The inverse of a unit quaternion: its conjugate.
    void InvertUnit() { Conjugate(); }

    void FromAxisAngle(const Normal3f& axis, float angle);
    /// Axis (1, 0, 0) and angle 0 for a zero vector part.
    void ToAxisAngle(Vector3f& axis, float& angle) const;
    /// The shortest rotation taking the direction of `from` to that of `to`; a half turn about
    /// some perpendicular axis for opposite vectors; Identity when either is (nearly) zero.
    void FromVectors(const Vector3fC& from, const Vector3fC& to);
    /// The exact inverse of Matrix4f::MakeRotation(Quaternionf) on its upper 3x3 part.
    void FromRotationMatrix(const Matrix4f& m);
    void ToRotationMatrix(Matrix4f& m) const;
    // These equal the matrices of Matrix4f::MakeRotationX/Y/Z of the same angle.
    void MakeRotationX(float angle);
    void MakeRotationY(float angle);
    void MakeRotationZ(float angle);

    /// For unit q: (axis * angle/2, 0).
    void Log();
    /// The inverse of Log.
    void Exp();

    /// Spherical interpolation from a (t = 0) to b (t = 1) by the weights of the angle between
    /// a and b; not renormalised, so a flipped start gives a non-unit result between the ends
    /// (Matrix4f::MakeRotation normalises). Angles below 2^-24 give a.
    void AssignSlerp(const Quaternionf& a, const Quaternionf& b, float t, SlerpDirection dir);
    /// As a plain AssignSlerp that makes `spins` extra whole turns on the way.
    void AssignSlerpExtraSpins(const Quaternionf& a, const Quaternionf& b, float t, int spins);
    /// Spherical quadrangle interpolation between q0 and q1 with the inner points a0 and a1.
    void AssignSquad(const Quaternionf& q0, const Quaternionf& a0, const Quaternionf& a1,
                     const Quaternionf& q1, float t, SlerpDirection dir);

private:
    float m_C[4];
};

inline Quaternionf operator*(const Quaternionf& a, const Quaternionf& b) {
    Quaternionf r;
    r.AssignMult(a, b);
    return r;
}

} // namespace Quorlix
