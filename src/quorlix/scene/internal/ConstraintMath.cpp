#include "quorlix/scene/internal/ConstraintMath.h"

#include "quorlix/scene/internal/TransformMath.h"

#include <cmath>

namespace Quorlix::Internal {

namespace {

// Below this a row counts as zero: its direction is made up and its scale is 0.
constexpr float k_TinyLength = 1e-30f;

// Some unit vector perpendicular to the unit vector `a`.
Vector3f Perpendicular(const Vector3f& a) {
    const Vector3f axis = std::fabs(a.GetX()) < 0.5f ? Vector3f(1, 0, 0) : Vector3f(0, 1, 0);
    Vector3f p;
    p.AssignCross(a, axis);
    p.Normalize();
    return p;
}

// `v` scaled to length 1; false when it is (nearly) zero or not finite.
bool Unit(const Vector3f& v, Vector3f& out) {
    const float length = v.Length();
    if (!(length > k_TinyLength) || !std::isfinite(length))
        return false;
    out = v / length;
    return true;
}

// Rows a, u, a x u of the orthonormal frame of `aim` and the part of `up` across it.
bool Frame(const Vector3f& aim, const Vector3f& up, Vector3f& a, Vector3f& u, Vector3f& w) {
    Vector3f n;
    if (!Unit(aim, a) || !Unit(up, n))
        return false;
    n.AddScaled(a, -n.Dot(a));
    // Nearly parallel unit vectors leave a rest of rounding noise with no direction in it.
    if (!(n.Length() > 1e-5f) || !Unit(n, u))
        return false;
    w.AssignCross(a, u);
    return true;
}

Vector3f Row(const Matrix4f& m, int r) {
    return Vector3f(m.Get(r, 0), m.Get(r, 1), m.Get(r, 2));
}

} // namespace

void DecomposeParts(const Matrix4f& m, AffineParts& parts) noexcept {
    Vector3f& s = parts.m_Scale;
    Vector3f& k = parts.m_Shear;
    const Vector3f r0 = Row(m, 0), r1 = Row(m, 1), r2 = Row(m, 2);

    s[0] = r0.Length();
    const Vector3f u0 = s[0] > k_TinyLength ? r0 / s[0] : Vector3f(1, 0, 0);
    if (!(s[0] > k_TinyLength))
        s[0] = 0.0f;

    const float h01 = r1.Dot(u0);
    Vector3f v1 = r1;
    v1.AddScaled(u0, -h01);
    s[1] = v1.Length();
    const bool flat1 = !(s[1] > k_TinyLength);
    const Vector3f u1 = flat1 ? Perpendicular(u0) : v1 / s[1];
    k[0] = flat1 ? 0.0f : h01 / s[1];
    if (flat1)
        s[1] = 0.0f;

    const float h02 = r2.Dot(u0);
    const float h12 = r2.Dot(u1);
    Vector3f v2 = r2;
    v2.AddScaled(u0, -h02);
    v2.AddScaled(u1, -h12);
    Vector3f u2;
    u2.AssignCross(u0, u1);
    const float signedLength = v2.Dot(u2); // v2 is parallel to u0 x u1
    s[2] = signedLength;
    if (!(std::fabs(signedLength) > k_TinyLength)) {
        s[2] = 0.0f;
        k[1] = k[2] = 0.0f;
    } else {
        k[1] = h02 / s[2];
        k[2] = h12 / s[2];
    }
    parts.m_Rotation.Set(u0, u1, u2, Vector3f::Zero);
    parts.m_Translation = Row(m, 3);
}

void ComposeParts(const AffineParts& parts, Matrix4f& m) noexcept {
    const Vector3f& s = parts.m_Scale;
    const Vector3f& k = parts.m_Shear;
    const Vector3f u0 = Row(parts.m_Rotation, 0);
    const Vector3f u1 = Row(parts.m_Rotation, 1);
    const Vector3f u2 = Row(parts.m_Rotation, 2);
    const Vector3f r0 = u0 * s[0];
    const Vector3f r1 = (u0 * k[0] + u1) * s[1];
    const Vector3f r2 = (u0 * k[1] + u1 * k[2] + u2) * s[2];
    m.Set(r0, r1, r2, parts.m_Translation);
}

Vector3f MixComponents(const Vector3f& own, const Vector3f& driven, unsigned excludeMask) noexcept {
    Vector3f out = driven;
    for (int i = 0; i < 3; ++i) {
        if ((excludeMask & (1u << i)) != 0)
            out[i] = own[i];
    }
    return out;
}

void TargetBlend::AddTranslation(const Vector3f& t, float weight) noexcept {
    m_Translation.AddScaled(t, weight);
}

void TargetBlend::AddScale(const Vector3f& s, float weight) noexcept {
    m_Scale.AddScaled(s, weight);
}

void TargetBlend::AddRotation(const Matrix4f& rotation, float weight) noexcept {
    Quaternionf q;
    q.FromRotationMatrix(rotation);
    if (!m_HasFirst) {
        m_First = q;
        m_HasFirst = true;
    }
    // q and -q are the same rotation; summing across hemispheres would cancel them out.
    const float w = q.Dot(m_First) < 0.0f ? -weight : weight;
    for (int i = 0; i < 4; ++i)
        m_Rotation[i] += q[i] * w;
}

void TargetBlend::GetRotation(Matrix4f& rotation) const noexcept {
    // MakeRotation normalises; a zero sum (no rotation added) is the identity.
    if (m_Rotation.Dot(m_Rotation) > 0.0f)
        rotation.MakeRotation(m_Rotation);
    else
        rotation.MakeIdentity();
}

bool AimRotation(const Vector3f& aim, const Vector3f& up, const Vector3f& direction,
                 const Vector3f& worldUp, float twistDegrees, Matrix4f& rotation) noexcept {
    Vector3f a, u, w, da, du, dw;
    if (!Frame(aim, up, a, u, w) || !Frame(direction, worldUp, da, du, dw) ||
        !std::isfinite(twistDegrees))
        return false;
    // The roll about the aim direction turns the world frame's up and side alike.
    const float twist = twistDegrees * k_DegreesToRadians;
    const float c = std::cos(twist), s = std::sin(twist);
    const Vector3f rolledUp = du * c + dw * s;
    const Vector3f rolledSide = dw * c - du * s;
    // Local frame to world frame: the transpose of the local rows, then the world rows.
    Vector3f rows[3];
    for (int i = 0; i < 3; ++i)
        rows[i] = da * a[i] + rolledUp * u[i] + rolledSide * w[i];
    rotation.Set(rows[0], rows[1], rows[2], Vector3f::Zero);
    return true;
}

void OrientWithOffset(const Matrix4f& blend, const Vector3f& offsetDegrees, unsigned excludeMask,
                      Matrix4f& own) noexcept {
    Matrix4f driven;
    if (offsetDegrees == Vector3f::Zero) {
        driven = blend;
    } else {
        Matrix4f offset;
        offset.MakeRotation(offsetDegrees * k_DegreesToRadians, Eulerf::XYZ);
        driven.AssignMul(offset, blend);
    }
    if ((excludeMask & 7u) == 0) {
        own = driven;
        return;
    }
    // Per world axis through the XYZ Euler angles of both rotations.
    Vector3f scale, shear, translation, ownAngles, drivenAngles;
    own.DecomposeAffine(scale, shear, ownAngles, translation, Eulerf::XYZ);
    driven.DecomposeAffine(scale, shear, drivenAngles, translation, Eulerf::XYZ);
    own.MakeRotation(MixComponents(ownAngles, drivenAngles, excludeMask), Eulerf::XYZ);
}

} // namespace Quorlix::Internal
