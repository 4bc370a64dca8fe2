#include "quorlix/math/Matrix4f.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/math/Quaternionf.h"

#include <cstring>

namespace Quorlix {

// Constant-initialised: static initialisers elsewhere may already make identities.
constinit const Matrix4f Matrix4f::Identity(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f,
                                            0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);

void Matrix4fC::Get(float* m) const {
    std::memcpy(m, m_M, sizeof m_M);
}

bool Matrix4fC::EqualExact(const Matrix4fC& m) const {
    for (int i = 0; i < 16; ++i)
        if (m_M[i] != m.m_M[i])
            return false;
    return true;
}

bool Matrix4fC::EqualEpsilon(const Matrix4fC& m, float eps) const {
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(m_M[i] - m.m_M[i]) <= eps))
            return false;
    return true;
}

void Matrix4fC::Set(const float* m) {
    std::memmove(m_M, m, sizeof m_M);
}

void Matrix4fC::Set(float m00, float m01, float m02, float m03, float m10, float m11, float m12,
                    float m13, float m20, float m21, float m22, float m23, float m30, float m31,
                    float m32, float m33) {
    const float m[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                         m20, m21, m22, m23, m30, m31, m32, m33};
    Set(m);
}

void Matrix4fC::Set(const Vector4fC& r0, const Vector4fC& r1, const Vector4fC& r2,
                    const Vector4fC& r3) {
    const Vector4fC* rows[4] = {&r0, &r1, &r2, &r3};
    float m[16];
    for (int r = 0; r < 4; ++r)
        rows[r]->GetXYZW(m[4 * r], m[4 * r + 1], m[4 * r + 2], m[4 * r + 3]);
    Set(m);
}

void Matrix4fC::Set(const Vector3fC& r0, const Vector3fC& r1, const Vector3fC& r2,
                    const Vector3fC& t) {
    Set(r0.GetX(), r0.GetY(), r0.GetZ(), 0.0f, r1.GetX(), r1.GetY(), r1.GetZ(), 0.0f, r2.GetX(),
        r2.GetY(), r2.GetZ(), 0.0f, t.GetX(), t.GetY(), t.GetZ(), 1.0f);
}

void Matrix4fC::Set(const Vector2fC& a, const Vector2fC& b, const Vector2fC& t) {
    Set(a.GetX(), a.GetY(), 0.0f, 0.0f, b.GetX(), b.GetY(), 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f,
        t.GetX(), t.GetY(), 0.0f, 1.0f);
}

void Matrix4fC::MakeIdentity() {
    Set(Matrix4f::Identity.m_M);
}

void Matrix4fC::MakeTranslation(const Vector3fC& t) {
    MakeIdentity();
    m_M[12] = t.GetX();
    m_M[13] = t.GetY();
    m_M[14] = t.GetZ();
}

void Matrix4fC::MakeScaling(const Vector3fC& s) {
    MakeIdentity();
    m_M[0] = s.GetX();
    m_M[5] = s.GetY();
    m_M[10] = s.GetZ();
}

void Matrix4fC::MakeShearing(const Vector3fC& h) {
    MakeIdentity();
    m_M[4] = h.GetX();
    m_M[8] = h.GetY();
    m_M[9] = h.GetZ();
}

void Matrix4fC::MakeRotationX(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    MakeIdentity();
    m_M[5] = c;
    m_M[6] = s;
    m_M[9] = -s;
    m_M[10] = c;
}

void Matrix4fC::MakeRotationY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    MakeIdentity();
    m_M[0] = c;
    m_M[2] = -s;
    m_M[8] = s;
    m_M[10] = c;
}

void Matrix4fC::MakeRotationZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    MakeIdentity();
    m_M[0] = c;
    m_M[1] = s;
    m_M[4] = -s;
    m_M[5] = c;
}

void Matrix4fC::MakeRotation(const Quaternionf& q) {
    const float n = 1.0f / std::sqrt(q.Dot(q));
    const float x = q[0] * n, y = q[1] * n, z = q[2] * n, w = q[3] * n;
    Set(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y - w * z), 2.0f * (x * z + w * y), 0.0f,
        2.0f * (x * y + w * z), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z - w * x), 0.0f,
        2.0f * (x * z - w * y), 2.0f * (y * z + w * x), 1.0f - 2.0f * (x * x + y * y), 0.0f, 0.0f,
        0.0f, 0.0f, 1.0f);
}

void Matrix4fC::MakeRotation(const Vector3fC& angles, Eulerf::RotationOrder order) {
    Matrix4f r[3];
    r[0].MakeRotationX(angles.GetX());
    r[1].MakeRotationY(angles.GetY());
    r[2].MakeRotationZ(angles.GetZ());
    // The axis indices of each order, applied left to right.
    static const int k_Orders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1},
                                       {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
    int index = static_cast<int>(order);
    if (index < 0 || index > 5) {
        Xerr.pLockError() << "Matrix4fC::MakeRotation: unsupported rotationorder.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        index = Eulerf::XYZ;
    }
    const int* axes = k_Orders[index];
    Matrix4f product;
    product.AssignMul(r[axes[0]], r[axes[1]]);
    AssignMul(product, r[axes[2]]);
}

void Matrix4fC::MakeRotationAim(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c,
                                const Vector3fC& d) {
    Quaternionf q1;
    q1.FromVectors(a, b);
    Vector3f turned;
    turned.AssignRotateBy(c, q1);
    Vector3f pc, pd;
    pc.AssignAddScaled(turned, b, -turned.Dot(b));
    pc.Normalize();
    pd.AssignAddScaled(d, b, -d.Dot(b));
    pd.Normalize();
    Quaternionf q2;
    // FromVectors cannot tell which half turn to take for opposite vectors: b is the axis.
    if (std::fabs(pc.Dot(pd) + 1.0f) <= 1e-5f)
        q2.FromAxisAngle(Normal3f(b), k_Pi);
    else
        q2.FromVectors(pc, pd);
    MakeRotation(q2 * q1);
    // The quaternion matrix turns column vectors; ours are rows.
    Transpose3();
}

void Matrix4fC::MakeRotationAim2(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c,
                                 const Vector3fC& d) {
    Vector3f na, nb, nc, nd;
    na.AssignNormalize(a);
    nb.AssignNormalize(b);
    nc.AssignNormalize(c);
    nd.AssignNormalize(d);
    MakeRotationAim(na, nb, nc, nd);
}

void Matrix4fC::MakeFrustum(float left, float right, float bottom, float top, float zNear,
                            float zFar) {
    float m[16] = {};
    m[0] = 2.0f * zNear / (right - left);
    m[5] = 2.0f * zNear / (top - bottom);
    m[8] = (right + left) / (right - left);
    m[9] = (top + bottom) / (top - bottom);
    m[10] = -(zFar + zNear) / (zFar - zNear);
    m[11] = -1.0f;
    m[14] = -2.0f * zFar * zNear / (zFar - zNear);
    Set(m);
}

void Matrix4fC::AssignTranspose(const Matrix4fC& m) {
    float t[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            t[4 * c + r] = m.m_M[4 * r + c];
    Set(t);
}

void Matrix4fC::AssignTranspose3(const Matrix4fC& m) {
    float t[16];
    std::memcpy(t, m.m_M, sizeof t);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            t[4 * c + r] = m.m_M[4 * r + c];
    Set(t);
}

void Matrix4fC::AssignInvertOrthoN(const Matrix4fC& m) {
    float t[16];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            t[4 * c + r] = m.m_M[4 * r + c];
        t[4 * r + 3] = 0.0f;
    }
    for (int c = 0; c < 3; ++c)
        t[12 + c] = -(m.m_M[12] * t[c] + m.m_M[13] * t[4 + c] + m.m_M[14] * t[8 + c]);
    t[15] = 1.0f;
    Set(t);
}

bool Matrix4fC::AssignInvertAffine(const Matrix4fC& m) {
    const float* a = m.m_M;
    // The six terms of the determinant, split by sign, tell cancellation (a nearly singular
    // part) from a merely small determinant.
    const float terms[6] = {a[0] * a[5] * a[10], a[4] * a[9] * a[2],   a[8] * a[1] * a[6],
                            -a[8] * a[5] * a[2], -a[4] * a[1] * a[10], -a[0] * a[9] * a[6]};
    float pos = 0.0f, neg = 0.0f;
    for (float term : terms) {
        pos += term > 0.0f ? term : 0.0f;
        neg += term < 0.0f ? term : 0.0f;
    }
    const float det = pos + neg;
    if (det == 0.0f || std::fabs(det / (pos - neg)) < k_MathEpsilon)
        return false;
    const float f = 1.0f / det;
    float t[16];
    t[0] = (a[5] * a[10] - a[6] * a[9]) * f;
    t[4] = -(a[4] * a[10] - a[6] * a[8]) * f;
    t[8] = (a[4] * a[9] - a[5] * a[8]) * f;
    t[1] = -(a[1] * a[10] - a[2] * a[9]) * f;
    t[5] = (a[0] * a[10] - a[2] * a[8]) * f;
    t[9] = -(a[0] * a[9] - a[1] * a[8]) * f;
    t[2] = (a[1] * a[6] - a[2] * a[5]) * f;
    t[6] = -(a[0] * a[6] - a[2] * a[4]) * f;
    t[10] = (a[0] * a[5] - a[1] * a[4]) * f;
    for (int c = 0; c < 3; ++c)
        t[12 + c] = -(a[12] * t[c] + a[13] * t[4 + c] + a[14] * t[8 + c]);
    t[3] = t[7] = t[11] = 0.0f;
    t[15] = 1.0f;
    std::memcpy(m_M, t, sizeof t);
    return true;
}

void Matrix4fC::AssignMul(const Matrix4fC& a, const Matrix4fC& b) {
    // Row by row as sums of scaled rows of b, into a copy: a or b may be this.
    float t[16];
    for (int r = 0; r < 4; ++r) {
        const float* row = a.m_M + 4 * r;
        for (int c = 0; c < 4; ++c)
            t[4 * r + c] = row[0] * b.m_M[c] + row[1] * b.m_M[4 + c] + row[2] * b.m_M[8 + c] +
                           row[3] * b.m_M[12 + c];
    }
    std::memcpy(m_M, t, sizeof t);
}

void Matrix4fC::AssignMulAffine(const Matrix4fC& a, const Matrix4fC& b) {
    float t[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            t[4 * r + c] = a.m_M[4 * r] * b.m_M[c] + a.m_M[4 * r + 1] * b.m_M[4 + c] +
                           a.m_M[4 * r + 2] * b.m_M[8 + c] + (r == 3 ? b.m_M[12 + c] : 0.0f);
        t[4 * r + 3] = r == 3 ? 1.0f : 0.0f;
    }
    Set(t);
}

void Matrix4fC::AssignComponentAdd(const Matrix4fC& a, const Matrix4fC& b) {
    for (int i = 0; i < 16; ++i)
        m_M[i] = a.m_M[i] + b.m_M[i];
}

void Matrix4fC::AssignComponentSub(const Matrix4fC& a, const Matrix4fC& b) {
    for (int i = 0; i < 16; ++i)
        m_M[i] = a.m_M[i] - b.m_M[i];
}

void Matrix4fC::AssignComponentMul(const Matrix4fC& a, const Matrix4fC& b) {
    for (int i = 0; i < 16; ++i)
        m_M[i] = a.m_M[i] * b.m_M[i];
}

bool Matrix4fC::AssignComponentDiv(const Matrix4fC& a, const Matrix4fC& b) {
    for (int i = 0; i < 16; ++i)
        m_M[i] = a.m_M[i] / b.m_M[i];
    return true;
}

void Matrix4fC::AssignComponentScale(const Matrix4fC& a, float f) {
    for (int i = 0; i < 16; ++i)
        m_M[i] = a.m_M[i] * f;
}

void Matrix4fC::AssignPreScale(const Matrix4fC& a, const Vector3fC& s) {
    if (this != &a)
        Set(a.m_M);
    const float f[3] = {s.GetX(), s.GetY(), s.GetZ()};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m_M[4 * r + c] *= f[c];
}

namespace {

// Gram-Schmidt on the rows of the 3x3 part. `unitWindowFirst` measures the first row by its
// squared length against the unit window (the affine decomposition), else by |length - 1|.
// Returns true when the rows form a left-handed frame.
bool Orthonormalise(const Matrix4fC& m, Vector3f rows[3], Vector3f& scale, Vector3f& shear,
                    bool unitWindowFirst) {
    for (int r = 0; r < 3; ++r)
        rows[r].SetXYZ(m.Get(r, 0), m.Get(r, 1), m.Get(r, 2));
    auto measure = [](Vector3f& row, float& s) {
        s = row.Length();
        if (std::fabs(s - 1.0f) >= k_MathEpsilon)
            row.Scale(1.0f / s);
        else
            s = 1.0f;
    };
    auto removeShear = [](Vector3f& row, const Vector3f& along, float& h) {
        h = along.Dot(row);
        if (std::fabs(h) >= k_MathEpsilon)
            row.AddScaled(along, -h);
        else
            h = 0.0f;
    };
    if (unitWindowFirst) {
        const float lengthSquared = rows[0].LengthSquared();
        if (lengthSquared >= k_UnitWindowLow && lengthSquared <= k_UnitWindowHigh) {
            scale[0] = 1.0f;
        } else {
            scale[0] = std::sqrt(lengthSquared);
            rows[0].Scale(1.0f / scale[0]);
        }
    } else {
        measure(rows[0], scale[0]);
    }
    removeShear(rows[1], rows[0], shear[0]);
    measure(rows[1], scale[1]);
    if (scale[1] != 1.0f)
        shear[0] /= scale[1];
    removeShear(rows[2], rows[0], shear[1]);
    removeShear(rows[2], rows[1], shear[2]);
    measure(rows[2], scale[2]);
    if (scale[2] != 1.0f) {
        shear[1] /= scale[2];
        shear[2] /= scale[2];
    }
    Vector3f normal;
    normal.AssignCross(rows[1], rows[2]);
    return rows[0].Dot(normal) < 0.0f;
}

} // namespace

unsigned Matrix4fC::DecomposeScaling(Vector3f& scale, Vector3f& shear) const {
    Vector3f rows[3];
    if (Orthonormalise(*this, rows, scale, shear, false))
        scale.Negate();
    return 0;
}

unsigned Matrix4fC::DecomposeAffine(Vector3f& scale, Vector3f& shear, Vector3f& eulerAngles,
                                    Vector3f& translation, Eulerf::RotationOrder order) const {
    Matrix4f rotation;
    DecomposeAffine(scale, shear, rotation, translation);
    auto R = [&rotation](int r, int c) { return rotation.Get(r, c); };
    if (order == Eulerf::XYZ) {
        if (R(0, 2) >= k_UnitWindowLow) {
            eulerAngles.SetXYZ(std::atan2(-R(1, 0), R(1, 1)), -k_HalfPi, 0.0f);
            return 0x1001;
        }
        if (R(0, 2) > -k_UnitWindowLow) {
            eulerAngles.SetXYZ(std::atan2(R(1, 2), R(2, 2)), std::asin(-R(0, 2)),
                               std::atan2(R(0, 1), R(0, 0)));
            return 1;
        }
        eulerAngles.SetXYZ(std::atan2(R(1, 0), R(1, 1)), k_HalfPi, 0.0f);
        return 0x2001;
    }
    if (order == Eulerf::ZYX) {
        if (R(2, 0) >= k_UnitWindowLow) {
            eulerAngles.SetXYZ(-std::atan2(-R(0, 1), R(1, 1)), k_HalfPi, 0.0f);
            return 0x1001;
        }
        if (R(2, 0) > -k_UnitWindowLow) {
            eulerAngles.SetXYZ(-std::atan2(R(2, 1), R(2, 2)), -std::asin(-R(2, 0)),
                               -std::atan2(R(1, 0), R(0, 0)));
            return 1;
        }
        eulerAngles.SetXYZ(-std::atan2(R(0, 1), R(1, 1)), -k_HalfPi, 0.0f);
        return 0x2001;
    }
    eulerAngles.SetXYZ(0.0f, 0.0f, 0.0f);
    Xerr.pLockWarn() << "Decompose: Euler order unsupported.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return 1;
}

unsigned Matrix4fC::DecomposeAffine(Vector3f& scale, Vector3f& shear, Matrix4f& rotation,
                                    Vector3f& translation) const {
    translation.SetXYZ(m_M[12], m_M[13], m_M[14]);
    Vector3f rows[3];
    if (Orthonormalise(*this, rows, scale, shear, true)) {
        scale.Negate();
        for (Vector3f& row : rows)
            row.Negate();
    }
    rotation.Set(rows[0], rows[1], rows[2], Vector3f::Zero);
    return 1;
}

void MulVector3Matrix4x3(Vector3f& out, const Vector3fC& v, const Matrix4fC& m) {
    const float x = v.GetX(), y = v.GetY(), z = v.GetZ();
    const float* a = m.GetData();
    out.SetXYZ(x * a[0] + y * a[4] + z * a[8] + a[12], x * a[1] + y * a[5] + z * a[9] + a[13],
               x * a[2] + y * a[6] + z * a[10] + a[14]);
}

void MulVector3Matrix3x3(Vector3f& out, const Vector3fC& v, const Matrix4fC& m) {
    const float x = v.GetX(), y = v.GetY(), z = v.GetZ();
    const float* a = m.GetData();
    out.SetXYZ(x * a[0] + y * a[4] + z * a[8], x * a[1] + y * a[5] + z * a[9],
               x * a[2] + y * a[6] + z * a[10]);
}

void MulVector3Matrix4x3(Vector2f& out, const Vector3fC& v, const Matrix4fC& m) {
    Vector3f full;
    MulVector3Matrix4x3(full, v, m);
    out.SetXY(full[0], full[1]);
}

void MulVector3Matrix3x3(Vector2f& out, const Vector3fC& v, const Matrix4fC& m) {
    Vector3f full;
    MulVector3Matrix3x3(full, v, m);
    out.SetXY(full[0], full[1]);
}

} // namespace Quorlix
