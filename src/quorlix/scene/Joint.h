#pragma once
// Skeleton nodes: joints, and the IK effectors and handles that move chains of joints.

#include "quorlix/platform/Export.h"
#include "quorlix/scene/Transform.h"

namespace Quorlix {

class TSplineCurve;

/// A simple transform with a rotation axis, a joint orientation and compensation of the
/// parent's scaling (`ParentScaling`, copied from the parent every frame, applied inversely
/// when `ParentScalingEnable`). `PreferredAngle` only guides the IK solvers.
class QUORLIX_API SJoint : public SSimpleTransform {
public:
    static SJoint* Create();
    static const TypeInfo* GetSJointTypeInfo() noexcept;
    SJoint() noexcept = default;
    ~SJoint() override;

    const Vector3f& GetRotationAxis() const noexcept { return m_RotationAxis; }
    void SetRotationAxis(const Vector3f& v) noexcept;
    const Vector3f& GetJointOrientation() const noexcept { return m_JointOrientation; }
    void SetJointOrientation(const Vector3f& v) noexcept;
    /// Stored only: it does not enter the local matrix.
    const Vector3f& GetPreferredAngle() const noexcept { return m_PreferredAngle; }
    void SetPreferredAngle(const Vector3f& v) noexcept { m_PreferredAngle = v; }
    /// An unchanged value keeps the cached matrix valid (the update sets it every frame).
    const Vector3f& GetParentScaling() const noexcept { return m_ParentScaling; }
    void SetParentScaling(const Vector3f& v) noexcept;
    bool GetParentScalingEnable() const noexcept { return m_ParentScalingEnable; }
    void SetParentScalingEnable(bool on) noexcept;

protected:
    bool BuildLocal(Matrix4f& out) const override;

private:
    Vector3f m_RotationAxis = Vector3f::Zero;
    Vector3f m_JointOrientation = Vector3f::Zero;
    Vector3f m_PreferredAngle = Vector3f::Zero;
    Vector3f m_ParentScaling{1.0f, 1.0f, 1.0f};
    bool m_ParentScalingEnable = true;
};

/// A joint placement. `IKDependency` names the IK handle that moves the joint (set by the IK
/// code; read-only to scripts); such a joint is left to its handle by the update.
class QUORLIX_API TJoint : public TSimpleTransform {
public:
    static TJoint* Create();
    static const TypeInfo* GetTJointTypeInfo() noexcept;
    TJoint();
    ~TJoint() override;

    ScriptObject* GetIKDependency() const noexcept {
        return m_IKDependency ? m_IKDependency.Get() : &G_NilObject;
    }
    void SetIKDependency(ScriptObject* handle) noexcept { m_IKDependency = handle; }

private:
    Obj<ScriptObject> m_IKDependency;
};

class QUORLIX_API SIKEffector : public STransform {
public:
    static SIKEffector* Create();
    static const TypeInfo* GetSIKEffectorTypeInfo() noexcept;
    SIKEffector() noexcept = default;
    ~SIKEffector() override;
};

/// The end of an IK chain; `TranslationLink` is the node whose translation it follows.
class QUORLIX_API TIKEffector : public TTransform {
public:
    static TIKEffector* Create();
    static const TypeInfo* GetTIKEffectorTypeInfo() noexcept;
    TIKEffector();
    ~TIKEffector() override;

private:
    friend void BindSceneNodeClasses();
    Obj<ScriptObject> m_TranslationLink;
};

class QUORLIX_API SIKHandle : public STransform {
public:
    static SIKHandle* Create();
    static const TypeInfo* GetSIKHandleTypeInfo() noexcept;
    SIKHandle() noexcept = default;
    ~SIKHandle() override;

    /// The direction, relative to the start joint, in which the chain bends; written by pole
    /// vector constraints. It does not enter the local matrix.
    const Vector3f& GetPoleVector() const noexcept { return m_PoleVector; }
    void SetPoleVector(const Vector3f& v) noexcept { m_PoleVector = v; }

private:
    friend void BindSceneNodeClasses();
    Vector3f m_PoleVector = Vector3f::Zero;
    float m_Twist = 0.0f;
};

/// An IK handle moving the chain from `StartJoint` to `EndEffector`.
class QUORLIX_API TIKHandle : public TTransform {
public:
    static TIKHandle* Create();
    static const TypeInfo* GetTIKHandleTypeInfo() noexcept;
    TIKHandle();
    ~TIKHandle() override;

    TJoint* GetStartJoint() const noexcept { return m_StartJoint.Get(); }
    TIKEffector* GetEndEffector() const noexcept { return m_EndEffector.Get(); }
    int32_t GetSolvePriority() const noexcept { return m_SolvePriority; }

protected:
    explicit TIKHandle(SNode* s) : TTransform(s) {}

private:
    friend void BindSceneNodeClasses();
    Obj<TJoint> m_StartJoint;
    Obj<TIKEffector> m_EndEffector;
    int32_t m_SolvePriority = 0;
};

class QUORLIX_API SIKSplineHandle : public SIKHandle {
public:
    static SIKSplineHandle* Create();
    static const TypeInfo* GetSIKSplineHandleTypeInfo() noexcept;
    SIKSplineHandle() noexcept = default;
    ~SIKSplineHandle() override;
};

/// An IK handle that lays its chain along `SplineCurve`, shaped by the cluster handles.
class QUORLIX_API TIKSplineHandle : public TIKHandle {
public:
    static TIKSplineHandle* Create();
    static const TypeInfo* GetTIKSplineHandleTypeInfo() noexcept;
    TIKSplineHandle();
    ~TIKSplineHandle() override;

    TSplineCurve* GetSplineCurve() const noexcept { return m_SplineCurve.Get(); }
    const Array<Obj<ScriptObject>>& GetClusterHandleArray() const noexcept {
        return m_ClusterHandleArray;
    }

private:
    friend void BindSceneNodeClasses();
    Obj<TSplineCurve> m_SplineCurve;
    Array<Obj<ScriptObject>> m_ClusterHandleArray;
};

} // namespace Quorlix
