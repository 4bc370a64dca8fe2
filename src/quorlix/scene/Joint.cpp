#include "quorlix/scene/Joint.h"

#include "quorlix/scene/internal/TransformMath.h"

namespace Quorlix {

// --- SJoint / TJoint ----------------------------------------------------------------------------

SJoint* SJoint::Create() {
    return NewObject<SJoint>();
}
const TypeInfo* SJoint::GetSJointTypeInfo() noexcept {
    return &TypeOf<SJoint>();
}
SJoint::~SJoint() = default;

void SJoint::SetRotationAxis(const Vector3f& v) noexcept {
    m_RotationAxis = v;
    SetComponent(ComponentRotationAxis, v != Vector3f::Zero);
    InvalidateLocal();
}

void SJoint::SetJointOrientation(const Vector3f& v) noexcept {
    m_JointOrientation = v;
    SetComponent(ComponentJointOrientation, v != Vector3f::Zero);
    InvalidateLocal();
}

const Matrix4f& SJoint::GetPreferredTurn() const noexcept {
    if (!m_PreferredTurnValid) {
        m_PreferredTurn.MakeRotation(m_PreferredAngle * Internal::k_DegreesToRadians, Eulerf::XYZ);
        m_PreferredTurnValid = true;
    }
    return m_PreferredTurn;
}

void SJoint::SetParentScaling(const Vector3f& v) noexcept {
    if (v == m_ParentScaling)
        return;
    m_ParentScaling = v;
    SetComponent(ComponentParentScaling, v != Vector3f(1.0f, 1.0f, 1.0f));
    InvalidateLocal();
}

void SJoint::SetParentScalingEnable(bool on) noexcept {
    if (on == m_ParentScalingEnable)
        return;
    m_ParentScalingEnable = on;
    InvalidateLocal();
}

bool SJoint::BuildLocal(Matrix4f& out) const {
    Internal::TransformValues values;
    Internal::GetSimpleValues(*this, values);
    values.m_RotationAxis = m_RotationAxis;
    values.m_JointOrientation = m_JointOrientation;
    values.m_ParentScaling = m_ParentScaling;
    values.m_ParentScalingEnable = m_ParentScalingEnable;
    Internal::JointLocalMatrix(GetComponents(), values, out);
    return false; // joints rebuild every time they are invalidated, without a shortcut
}

TJoint* TJoint::Create() {
    return NewObject<TJoint>();
}
const TypeInfo* TJoint::GetTJointTypeInfo() noexcept {
    return &TypeOf<TJoint>();
}
TJoint::TJoint() : TSimpleTransform(SJoint::Create()) {}
TJoint::~TJoint() = default;

void TJoint::SetIKDependency(ScriptObject* handle) noexcept {
    if (handle == nullptr || handle->IsNil()) {
        m_IKDependency = nullptr;
        return;
    }
    // The cell is made once per object and shared; it outlives the object as a nil pointer.
    auto* cell = const_cast<WeakObjTarget*>(handle->GetWeakObjTarget());
    if (cell != m_IKDependency.Get())
        m_IKDependency = cell;
}

// --- IK effectors and handles -------------------------------------------------------------------

SIKEffector* SIKEffector::Create() {
    return NewObject<SIKEffector>();
}
const TypeInfo* SIKEffector::GetSIKEffectorTypeInfo() noexcept {
    return &TypeOf<SIKEffector>();
}
SIKEffector::~SIKEffector() = default;

TIKEffector* TIKEffector::Create() {
    return NewObject<TIKEffector>();
}
const TypeInfo* TIKEffector::GetTIKEffectorTypeInfo() noexcept {
    return &TypeOf<TIKEffector>();
}
TIKEffector::TIKEffector() : TTransform(SIKEffector::Create()) {}
TIKEffector::~TIKEffector() = default;

SIKHandle* SIKHandle::Create() {
    return NewObject<SIKHandle>();
}
const TypeInfo* SIKHandle::GetSIKHandleTypeInfo() noexcept {
    return &TypeOf<SIKHandle>();
}
SIKHandle::~SIKHandle() = default;

TIKHandle* TIKHandle::Create() {
    return NewObject<TIKHandle>();
}
const TypeInfo* TIKHandle::GetTIKHandleTypeInfo() noexcept {
    return &TypeOf<TIKHandle>();
}
TIKHandle::TIKHandle() : TTransform(SIKHandle::Create()) {}
TIKHandle::~TIKHandle() = default;

SIKSplineHandle* SIKSplineHandle::Create() {
    return NewObject<SIKSplineHandle>();
}
const TypeInfo* SIKSplineHandle::GetSIKSplineHandleTypeInfo() noexcept {
    return &TypeOf<SIKSplineHandle>();
}
SIKSplineHandle::~SIKSplineHandle() = default;

TIKSplineHandle* TIKSplineHandle::Create() {
    return NewObject<TIKSplineHandle>();
}
const TypeInfo* TIKSplineHandle::GetTIKSplineHandleTypeInfo() noexcept {
    return &TypeOf<TIKSplineHandle>();
}
TIKSplineHandle::TIKSplineHandle() : TIKHandle(SIKSplineHandle::Create()) {}
TIKSplineHandle::~TIKSplineHandle() = default;

} // namespace Quorlix
