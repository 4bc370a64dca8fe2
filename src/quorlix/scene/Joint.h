#pragma once
// Skeleton nodes: joints, and the IK effectors and handles that move chains of joints.

#include "quorlix/platform/Export.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/script/WeakObjTarget.h"

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
    void SetPreferredAngle(const Vector3f& v) noexcept {
        m_PreferredAngle = v;
        m_PreferredTurnValid = false;
    }
    /// The rotation matrix of PreferredAngle (degrees, order XYZ), kept until the angle changes:
    /// the IK solvers turn the rest pose by it every frame.
    const Matrix4f& GetPreferredTurn() const noexcept;
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
    mutable bool m_PreferredTurnValid = false;
    mutable Matrix4f m_PreferredTurn;
};

/// A joint placement. `IKDependency` names the IK handle that moves the joint (set by the IK
/// solve; read-only to scripts); such a joint is left to its handle by the update.
///
/// The link is weak: the handle holds its start joint and so, through the tree, the chain, and a
/// counted link back would keep both alive forever. The joint holds the handle's weak cell, which
/// reads as the nil object once the handle is gone; the handle clears the links of joints that
/// leave its chain.
class QUORLIX_API TJoint : public TSimpleTransform {
public:
    static TJoint* Create();
    static const TypeInfo* GetTJointTypeInfo() noexcept;
    TJoint();
    ~TJoint() override;

    /// The handle, or the nil object when none (or when it has died).
    ScriptObject* GetIKDependency() const noexcept {
        return m_IKDependency ? m_IKDependency->GetTarget() : &G_NilObject;
    }
    /// Links the joint to `handle` weakly; null or the nil object clears the link.
    void SetIKDependency(ScriptObject* handle) noexcept;

private:
    Obj<WeakObjTarget> m_IKDependency;
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

    /// The direction, from the start joint, in which the chain bends, in the space of the
    /// handle's parent (the space its own translation is in), so that one value serves both
    /// update passes; written by pole vector constraints. Zero leaves the side to the joints'
    /// rest pose and `PreferredAngle`. It does not enter the local matrix.
    const Vector3f& GetPoleVector() const noexcept { return m_PoleVector; }
    void SetPoleVector(const Vector3f& v) noexcept { m_PoleVector = v; }
    /// Degrees by which the solved chain is rolled about the start-to-handle axis.
    float GetTwist() const noexcept { return m_Twist; }

private:
    friend void BindSceneNodeClasses();
    Vector3f m_PoleVector = Vector3f::Zero;
    float m_Twist = 0.0f;
};

/// An IK handle moving the chain from `StartJoint` to `EndEffector`: the joints from the start
/// joint down to the effector's parent, each the parent of the next. The update solves the chain
/// towards the handle's position every pass, from the joints' rest pose (their S nodes), and
/// writes the result into the joints' ModelViewMatrix only; their children follow.
///
/// - One joint turns to aim the effector at the handle.
/// - Two joints: the effector reaches the handle when the chain is long enough, else the chain
///   points straight at it. The middle joint bends towards `PoleVector`; without one, to the
///   side it bends to in the rest pose turned by the joints' `PreferredAngle`. `Twist` rolls the
///   bend plane about the start-to-handle axis.
/// - Longer chains: cyclic coordinate descent from the rest pose turned by the preferred angles
///   (at most 32 iterations, done within 1e-4), then rolled by `Twist`; `PoleVector` is not used.
///
/// Each chain joint's `IKDependency` names the handle of the lowest `SolvePriority` among those
/// whose chains hold it (on a tie, the first to claim it). A handle sharing joints with a handle
/// of lower priority solves after it, from its result, and so has the last word on the shared
/// joints; not when the lower one's start joint lies inside this handle's chain, since that one
/// must wait for this chain. The order holds once both handles have solved once.
///
/// A start joint that is not an ancestor of the effector, a node on the way that is not a joint,
/// a start joint without a parent transform or a handle inside its own chain's subtree is logged
/// once per handle ("IK: <reason> for <handle>") and leaves the joints to the normal update.
/// Non-finite positions leave the chain in its rest pose. A handle that is detached or hidden by
/// the update's exclusion mask leaves its joints to the normal update; one hidden only through
/// an ancestor leaves them where it last placed them.
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
    friend class XMiniUpdateTraverse;
    Obj<TJoint> m_StartJoint;
    Obj<TIKEffector> m_EndEffector;
    int32_t m_SolvePriority = 0;
    bool m_IKSetupReported = false;     // a broken setup is logged once
    Array<Obj<WeakObjTarget>> m_Marked; // the joints whose IKDependency this handle claimed
};

class QUORLIX_API SIKSplineHandle : public SIKHandle {
public:
    static SIKSplineHandle* Create();
    static const TypeInfo* GetSIKSplineHandleTypeInfo() noexcept;
    SIKSplineHandle() noexcept = default;
    ~SIKSplineHandle() override;
};

/// An IK handle that lays its chain along `SplineCurve`, a cubic B-spline (KnotArray holds
/// CVArray's count + 4 non-decreasing knots, or + 2 with the end knots implied): the start joint
/// at the curve's start, each next joint (and the effector) further along the curve by the arc
/// length of the rest pose's bone, beyond the curve's end straight on along its last chord. Each
/// joint turns to aim at the next (carried down the chain so that bones do not flip), and
/// `Twist` rolls the joints about their bones, growing linearly from 0 at the start joint to
/// the full angle at the last. The curve's CVs are in the space of its parent transform (the
/// handle's parent space without one).
///
/// `ClusterHandleArray[i]` moves control vertex i: `Origin` of a cluster handle is its rest
/// position in the curve's space, and the CV, taken relative to it, goes through the cluster's
/// ModelViewMatrix, so a cluster at rest at its origin leaves the CV in place and moving or
/// turning the cluster moves or turns the CV about it (other transforms act with origin 0).
/// A curve that is missing, has fewer than 4 CVs, a knot count that fits neither form,
/// decreasing or non-finite knots, an empty domain or non-finite CVs is logged once per handle
/// and leaves the chain in its rest pose.
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
