#include "quorlix/math/Quaternionf.h"

#include "quorlix/math/Matrix4f.h"

namespace Quorlix {

constinit const Quaternionf Quaternionf::Identity(0.0f, 0.0f, 0.0f, 1.0f);

bool Quaternionf::IsIdentity() const {
    return m_C[0] == 0.0f && m_C[1] == 0.0f && m_C[2] == 0.0f && m_C[3] == 1.0f;
}

bool Quaternionf::IsIdentityEpsilon(float eps) const {
    return std::fabs(m_C[0]) <= eps && std::fabs(m_C[1]) <= eps && std::fabs(m_C[2]) <= eps &&
           std::fabs(m_C[3] - 1.0f) <= eps;
}

void Quaternionf::AssignMult(const Quaternionf& a, const Quaternionf& b) {
    const float x = a[0] * b[3] + a[3] * b[0] + a[1] * b[2] - a[2] * b[1];
    const float y = a[1] * b[3] + a[3] * b[1] + a[2] * b[0] - a[0] * b[2];
    const float z = a[2] * b[3] + a[3] * b[2] + a[0] * b[1] - a[1] * b[0];
    const float w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
    Set(x, y, z, w);
}

void Quaternionf::Invert() {
    const float s = 1.0f / Dot(*this);
    Set(-m_C[0] * s, -m_C[1] * s, -m_C[2] * s, m_C[3] * s);
}

void Quaternionf::FromAxisAngle(const Normal3f& axis, float angle) {
    const float s = std::sin(angle * 0.5f);
    Set(axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle * 0.5f));
}

void Quaternionf::ToAxisAngle(Vector3f& axis, float& angle) const {
    const float lengthSquared = m_C[0] * m_C[0] + m_C[1] * m_C[1] + m_C[2] * m_C[2];
    if (lengthSquared <= 0.0f) {
        axis.SetXYZ(1.0f, 0.0f, 0.0f);
        angle = 0.0f;
        return;
    }
    angle = 2.0f * std::acos(Clamp(m_C[3], -1.0f, 1.0f));
    const float s = 1.0f / std::sqrt(lengthSquared);
    axis.SetXYZ(m_C[0] * s, m_C[1] * s, m_C[2] * s);
}

void Quaternionf::FromVectors(const Vector3fC& from, const Vector3fC& to) {
    const float p = std::sqrt(from.LengthSquared() * to.LengthSquared());
    if (p < k_MathEpsilon) {
        *this = Identity;
        return;
    }
    float c = from.Dot(to) / p;
    Vector3f axis;
    axis.AssignCross(from, to);
    if (axis.LengthSquared() < k_MathEpsilon) {
        if (c >= 0.0f) {
            *this = Identity;
            return;
        }
        // Opposite vectors: any axis perpendicular to `from` will do; rotate the largest
        // component into the next one so the axis cannot vanish.
        const float ax = std::fabs(from.GetX()), ay = std::fabs(from.GetY()),
                    az = std::fabs(from.GetZ());
        int i = 2;
        if (ax <= ay && az < ay)
            i = 1;
        else if (ax > ay && ax > az)
            i = 0;
        const Vector3f f(from.GetX(), from.GetY(), from.GetZ());
        axis[i] = -f[(i + 1) % 3];
        axis[(i + 1) % 3] = f[i];
        axis[(i + 2) % 3] = 0.0f;
    }
    c = Clamp(c, -1.0f, 1.0f);
    FromAxisAngle(Normal3f(axis), std::acos(c));
}

void Quaternionf::FromRotationMatrix(const Matrix4f& m) {
    const float t = m.GetM00() + m.GetM11() + m.GetM22();
    if (t > 0.0f) {
        const float s = std::sqrt(t + 1.0f);
        const float r = 0.5f / s;
        Set((m.GetM21() - m.GetM12()) * r, (m.GetM02() - m.GetM20()) * r,
            (m.GetM10() - m.GetM01()) * r, s * 0.5f);
        return;
    }
    auto at = [&m](int r, int c) { return m.Get(r, c); };
    int i = 0;
    if (at(1, 1) > at(0, 0))
        i = 1;
    if (at(2, 2) > at(i, i))
        i = 2;
    const int j = (i + 1) % 3, k = (j + 1) % 3;
    const float s = std::sqrt(at(i, i) - at(j, j) - at(k, k) + 1.0f);
    const float r = 0.5f / s;
    m_C[i] = s * 0.5f;
    m_C[3] = (at(k, j) - at(j, k)) * r;
    m_C[j] = (at(j, i) + at(i, j)) * r;
    m_C[k] = (at(k, i) + at(i, k)) * r;
}

void Quaternionf::ToRotationMatrix(Matrix4f& m) const {
    m.MakeRotation(*this);
}

void Quaternionf::MakeRotationX(float angle) {
    Set(std::sin(-angle * 0.5f), 0.0f, 0.0f, std::cos(-angle * 0.5f));
}

void Quaternionf::MakeRotationY(float angle) {
    Set(0.0f, std::sin(-angle * 0.5f), 0.0f, std::cos(-angle * 0.5f));
}

void Quaternionf::MakeRotationZ(float angle) {
    Set(0.0f, 0.0f, std::sin(-angle * 0.5f), std::cos(-angle * 0.5f));
}

void Quaternionf::Log() {
    const float w = m_C[3];
    if (std::fabs(w) < 1.0f) {
        const float theta = std::acos(w);
        const float s = std::sin(theta);
        if (std::fabs(s) >= k_AngleFloor) {
            const float f = theta / s;
            Set(m_C[0] * f, m_C[1] * f, m_C[2] * f, 0.0f);
            return;
        }
    }
    m_C[3] = 0.0f;
}

void Quaternionf::Exp() {
    const float theta = std::sqrt(m_C[0] * m_C[0] + m_C[1] * m_C[1] + m_C[2] * m_C[2]);
    const float s = std::sin(theta);
    m_C[3] = std::cos(theta);
    if (std::fabs(s) >= k_AngleFloor) {
        const float f = s / theta;
        m_C[0] *= f;
        m_C[1] *= f;
        m_C[2] *= f;
    }
}

namespace {

// s0 a + s1 b, written so that the destination may be a or b.
Quaternionf Blend(const Quaternionf& a, float s0, const Quaternionf& b, float s1) {
    return Quaternionf(s0 * a[0] + s1 * b[0], s0 * a[1] + s1 * b[1], s0 * a[2] + s1 * b[2],
                       s0 * a[3] + s1 * b[3]);
}

} // namespace

void Quaternionf::AssignSlerp(const Quaternionf& a, const Quaternionf& b, float t,
                              SlerpDirection dir) {
    const float c = Clamp(a.Dot(b), -1.0f, 1.0f);
    const float theta = std::acos(c);
    if (std::fabs(theta) < k_AngleFloor) {
        *this = a;
        return;
    }
    const float sinTheta = std::sin(theta);
    float s0 = std::sin((1.0f - t) * theta) / sinTheta;
    const float s1 = std::sin(t * theta) / sinTheta;
    if ((dir == SlerpShortest && c < 0.0f) || (dir == SlerpLongest && c > 0.0f))
        s0 = -s0;
    *this = Blend(a, s0, b, s1);
}

void Quaternionf::AssignSlerpExtraSpins(const Quaternionf& a, const Quaternionf& b, float t,
                                        int spins) {
    const float c = Clamp(a.Dot(b), -1.0f, 1.0f);
    const float theta = std::acos(c);
    if (std::fabs(theta) < k_AngleFloor) {
        *this = a;
        return;
    }
    const float phi = static_cast<float>(spins) * t * k_Pi;
    const float sinTheta = std::sin(theta);
    *this = Blend(a, std::sin((1.0f - t) * theta - phi) / sinTheta, b,
                  std::sin(t * theta + phi) / sinTheta);
}

void Quaternionf::AssignSquad(const Quaternionf& q0, const Quaternionf& a0, const Quaternionf& a1,
                              const Quaternionf& q1, float t, SlerpDirection dir) {
    Quaternionf outer, inner;
    outer.AssignSlerp(q0, q1, t, dir);
    inner.AssignSlerp(a0, a1, t, SlerpPlain);
    AssignSlerp(outer, inner, 2.0f * t * (1.0f - t), SlerpPlain);
}

} // namespace Quorlix
