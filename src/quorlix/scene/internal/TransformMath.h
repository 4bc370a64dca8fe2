#pragma once
// The arithmetic of transform nodes, apart from the objects that hold the values: local matrices
// by component word, limit clamping and LOD level selection. Row vectors: p' = p · M, so in a
// product the left factor applies first.

#include "quorlix/core/Array.h"
#include "quorlix/math/Eulerf.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/scene/Transform.h"

namespace Quorlix::Internal {

/// Degrees to radians as transforms convert their angles.
constexpr float k_DegreesToRadians = 0.017453292f;

/// The values a local matrix is built from; members a class lacks stay at their neutral value.
struct TransformValues {
    Vector3f m_Translation = Vector3f::Zero;
    Vector3f m_Rotation = Vector3f::Zero; // degrees
    Eulerf::RotationOrder m_Order = Eulerf::XYZ;
    Vector3f m_Scaling{1, 1, 1};
    Vector3f m_Shearing = Vector3f::Zero;
    Vector3f m_ScalingPivot = Vector3f::Zero;
    Vector3f m_ScalingPivotTranslation = Vector3f::Zero;
    Vector3f m_RotationAxis = Vector3f::Zero; // degrees, order XYZ
    Vector3f m_RotationPivot = Vector3f::Zero;
    Vector3f m_RotationPivotTranslation = Vector3f::Zero;
    Vector3f m_JointOrientation = Vector3f::Zero; // degrees, order XYZ
    Vector3f m_ParentScaling{1, 1, 1};
    bool m_ParentScalingEnable = false;
};

/// The translation, rotation, order and scaling of `s`.
void GetSimpleValues(const SSimpleTransform& s, TransformValues& values) noexcept;

/// Whether `v` differs from `neutral` in any component (bit-exact comparison, so NaN differs).
bool Differs(const Vector3f& v, const Vector3f& neutral) noexcept;

/// The local matrix of a simple transform (translation, rotation, scaling) by component word
/// (SBaseTransform::Component bits);
/// true when it is the identity.
bool SimpleLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out);
/// The local matrix of a full transform with pivots and shearing: the shortcuts for words in
/// which the pivots cancel, else (p - Sp)·S·Sh + Sp + St - Rp, then ·Ra·R + Rp + Rt + T. True
/// when it is the identity.
bool TransformLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out);
/// The local matrix of a joint: S · RA · R · JO · IS · T, with IS the inverse of the parent's
/// scaling when enabled (the reciprocal of a zero component is 0).
void JointLocalMatrix(unsigned word, const TransformValues& v, Matrix4f& out);

/// `value` clamped per axis by the enabled limits: mask bits 1/2 minimum/maximum x, 4/8 y,
/// 16/32 z. NaN components are replaced by the enabled minimum, else the maximum, else kept.
Vector3f ClampByLimits(const Vector3f& value, unsigned mask, const Vector3f& minimum,
                       const Vector3f& maximum) noexcept;

/// The child a LOD group shows at squared distance `d2`: scanning the thresholds from the last
/// down, the first i with d2 >= t[i]² gives i + 1; 0 when none is passed.
int SelectLODLevel(float d2, const Array<float>& thresholds) noexcept;

} // namespace Quorlix::Internal
