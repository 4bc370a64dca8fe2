#include "quorlix/scene/internal/TransformMath.h"

#include <cmath>
#include <cstring>

namespace Quorlix::Internal {

namespace {

Vector3f Radians(const Vector3f& degrees) {
    return Vector3f(degrees.GetX() * k_DegreesToRadians, degrees.GetY() * k_DegreesToRadians,
                    degrees.GetZ() * k_DegreesToRadians);
}

void SetTranslationRow(Matrix4f& m, const Vector3f& t) {
    m.SetM30(t.GetX());
    m.SetM31(t.GetY());
    m.SetM32(t.GetZ());
}

Matrix4f Rotation(const Vector3f& degrees, Eulerf::RotationOrder order) {
    Matrix4f m;
    m.MakeRotation(Radians(degrees), order);
    return m;
}

Matrix4f Translation(const Vector3f& t) {
    Matrix4f m;
    m.MakeTranslation(t);
    return m;
}

Matrix4f Scaling(const Vector3f& s) {
    Matrix4f m;
    m.MakeScaling(s);
    return m;
}

// S · R · T.
Matrix4f ScaleRotateTranslate(const TransformValues& v) {
    Matrix4f sr;
    sr.AssignMul(Scaling(v.m_Scaling), Rotation(v.m_Rotation, v.m_Order));
    Matrix4f out;
    out.AssignMul(sr, Translation(v.m_Translation));
    return out;
}

float Reciprocal(float x) {
    return x != 0.0f ? 1.0f / x : 0.0f;
}

} // namespace

bool Differs(const Vector3f& v, const Vector3f& neutral) noexcept {
    return std::memcmp(&v, &neutral, sizeof(Vector3f)) != 0;
}

bool SimpleLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out) {
    switch (word & (SBaseTransform::ComponentTranslation | SBaseTransform::ComponentRotation |
                    SBaseTransform::ComponentScaling)) {
    case 0:
        out = Matrix4f::Identity;
        return true;
    case SBaseTransform::ComponentTranslation:
        out = Translation(v.m_Translation);
        return false;
    case SBaseTransform::ComponentRotation:
        out = Rotation(v.m_Rotation, v.m_Order);
        return false;
    case SBaseTransform::ComponentTranslation | SBaseTransform::ComponentRotation:
        out = Rotation(v.m_Rotation, v.m_Order);
        SetTranslationRow(out, v.m_Translation);
        return false;
    case SBaseTransform::ComponentScaling:
        out = Scaling(v.m_Scaling);
        return false;
    default:
        out = ScaleRotateTranslate(v);
        return false;
    }
}

bool TransformLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out) {
    // The words in which the pivots cancel: only the pivot bits that a translation-free,
    // rotation-free (or scaling-free) product leaves without effect are set.
    switch (word) {
    case 0:
    case 16:
    case 32:
    case 48:
        out = Matrix4f::Identity;
        return true;
    case 1:
    case 17:
    case 33:
    case 49:
    case 2:
    case 34:
    case 3:
    case 35:
    case 4:
    case 20:
    case 5:
    case 6:
    case 7:
        return SimpleLocalMatrix(word & 7, v, out);
    default:
        break;
    }
    Matrix4f a = Translation(-v.m_ScalingPivot);
    Matrix4f b = Scaling(v.m_Scaling);
    if ((word & SBaseTransform::ComponentShearing) != 0) {
        Matrix4f shear;
        shear.MakeShearing(v.m_Shearing);
        b.MulAffine(shear);
    }
    SetTranslationRow(b, v.m_ScalingPivot + v.m_ScalingPivotTranslation - v.m_RotationPivot);
    const Matrix4f c = Rotation(v.m_RotationAxis, Eulerf::XYZ);
    Matrix4f d = Rotation(v.m_Rotation, v.m_Order);
    SetTranslationRow(d, v.m_RotationPivot + v.m_RotationPivotTranslation + v.m_Translation);
    Matrix4f ab;
    ab.AssignMul(a, b);
    Matrix4f abc;
    abc.AssignMul(ab, c);
    out.AssignMul(abc, d);
    return false;
}

void JointLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out) {
    out = Matrix4f::Identity;
    if ((word & SBaseTransform::ComponentScaling) != 0)
        out = Scaling(v.m_Scaling);
    if ((word & SBaseTransform::ComponentRotationAxis) != 0)
        out.Mul(Rotation(v.m_RotationAxis, Eulerf::XYZ));
    out.Mul(Rotation(v.m_Rotation, v.m_Order));
    out.Mul(Rotation(v.m_JointOrientation, Eulerf::XYZ));
    if ((word & SBaseTransform::ComponentParentScaling) != 0 && v.m_ParentScalingEnable) {
        const Vector3f& p = v.m_ParentScaling;
        out.Mul(
            Scaling(Vector3f(Reciprocal(p.GetX()), Reciprocal(p.GetY()), Reciprocal(p.GetZ()))));
    }
    out.Mul(Translation(v.m_Translation));
}

Vector3f ClampByLimits(const Vector3f& value, unsigned mask, const Vector3f& minimum,
                       const Vector3f& maximum) noexcept {
    float c[3] = {value.GetX(), value.GetY(), value.GetZ()};
    const float low[3] = {minimum.GetX(), minimum.GetY(), minimum.GetZ()};
    const float high[3] = {maximum.GetX(), maximum.GetY(), maximum.GetZ()};
    for (int axis = 0; axis < 3; ++axis) {
        const bool hasMin = (mask & (1u << (2 * axis))) != 0;
        const bool hasMax = (mask & (2u << (2 * axis))) != 0;
        if (std::isnan(c[axis])) {
            if (hasMin)
                c[axis] = low[axis];
            else if (hasMax)
                c[axis] = high[axis];
            continue;
        }
        if (hasMin && c[axis] < low[axis])
            c[axis] = low[axis];
        if (hasMax && c[axis] > high[axis])
            c[axis] = high[axis];
    }
    return Vector3f(c[0], c[1], c[2]);
}

int SelectLODLevel(float d2, const Array<float>& thresholds) noexcept {
    for (int i = thresholds.Size() - 1; i >= 0; --i) {
        if (d2 >= thresholds[i] * thresholds[i])
            return i + 1;
    }
    return 0;
}

} // namespace Quorlix::Internal
