#pragma once
// Constraints: objects listed in a transform node's ConstraintArray that override its matrix
// from weighted targets during the update.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/SceneClasses.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

/// The targets (entries may be the nil object) with one weight each, the order among the
/// constraints of a node (`SolvePriority`, lower first, then array order) and the components
/// of the constrained quantity left to the node (`ExcludeMask`: bit 1 x, 2 y, 4 z).
///
/// `WeightArray[i]` belongs to `TargetArray[i]` and a missing weight counts 1. Targets with a
/// weight of 0 or below (or not finite), nil targets and targets that are not transform nodes
/// are ignored; the weights of the rest are normalised. Without any usable target the node is
/// left as it is and "UpdateConstraint: incorrect setup for <node>" is logged once per node.
class QUORLIX_API Constraint : public Object {
public:
    static Constraint* Create();
    static const TypeInfo* GetConstraintTypeInfo() noexcept;
    Constraint() noexcept = default;
    ~Constraint() override;

    const Array<Obj<ScriptObject>>& GetTargetArray() const noexcept { return m_TargetArray; }
    const Array<float>& GetWeightArray() const noexcept { return m_WeightArray; }
    int32_t GetSolvePriority() const noexcept { return m_SolvePriority; }
    uint32_t GetExcludeMask() const noexcept { return m_ExcludeMask; }

private:
    friend void BindSceneNodeClasses();
    Array<Obj<ScriptObject>> m_TargetArray;
    Array<float> m_WeightArray;
    int32_t m_SolvePriority = 0;
    uint32_t m_ExcludeMask = 0;
};

/// Turns the owner so that its local `AimVector` points at the weighted target position and its
/// local `UpVector` lies in the plane of the aim and the world up, on the up's side: the
/// direction from the node to `UpTarget` when that is a transform node, else `UpTargetVector`.
/// `OrientOffset` (Euler degrees, XYZ) then turns the node in the aimed frame and `Twist`
/// degrees roll it about the aim direction last. Translation and scale stay; `ExcludeMask`
/// keeps rotations as for `Orient`. A target on the node, a zero or non-finite vector, an up
/// parallel to its aim or a non-finite offset or twist leave the node's turn as it is.
class QUORLIX_API AimConstraint : public Constraint {
public:
    static AimConstraint* Create();
    static const TypeInfo* GetAimConstraintTypeInfo() noexcept;
    /// AimVector (1, 0, 0), UpVector and UpTargetVector (0, 1, 0), the rest zero.
    AimConstraint() noexcept = default;
    ~AimConstraint() override;

    const Vector3f& GetAimVector() const noexcept { return m_AimVector; }
    const Vector3f& GetUpVector() const noexcept { return m_UpVector; }
    const Vector3f& GetUpTargetVector() const noexcept { return m_UpTargetVector; }
    /// Null or the nil object when none.
    ScriptObject* GetUpTarget() const noexcept { return m_UpTarget.Get(); }
    const Vector3f& GetOrientOffset() const noexcept { return m_OrientOffset; }
    float GetTwist() const noexcept { return m_Twist; }

private:
    friend void BindSceneNodeClasses();
    Vector3f m_AimVector{1.0f, 0.0f, 0.0f};
    Vector3f m_UpVector{0.0f, 1.0f, 0.0f};
    Vector3f m_UpTargetVector{0.0f, 1.0f, 0.0f};
    Obj<ScriptObject> m_UpTarget;
    Vector3f m_OrientOffset = Vector3f::Zero;
    float m_Twist = 0.0f;
};

/// Point, orient, parent or scale constraint, by `ConstraintType`, from the targets'
/// ModelViewMatrix into the node's: `Point` takes the weighted mean of the targets'
/// translations, `Orient` the normalised weighted blend of their rotations (quaternions on the
/// first target's side) preceded by `OrientOffset` (Euler degrees, XYZ, in the frame the targets
/// give), `Parent` both, `Scale` the weighted mean of their scales per axis. Excluded components
/// (rotations about the axes by XYZ Euler angles) and parts not driven keep the node's values.
class QUORLIX_API TransformConstraint : public Constraint {
public:
    /// Values of `ConstraintType` (enumeration TransformConstraint.ConstraintTypeEnum).
    enum ConstraintType : uint32_t { Point, Orient, Parent, Scale };

    static TransformConstraint* Create();
    static const TypeInfo* GetTransformConstraintTypeInfo() noexcept;
    /// Type Point, no offset.
    TransformConstraint() noexcept = default;
    ~TransformConstraint() override;

    ConstraintType GetConstraintType() const noexcept { return m_ConstraintType; }
    const Vector3f& GetOrientOffset() const noexcept { return m_OrientOffset; }

private:
    friend void BindSceneNodeClasses();
    ConstraintType m_ConstraintType = Point;
    Vector3f m_OrientOffset = Vector3f::Zero;
};

/// Sets the `PoleVector` of its owner, an IK handle, to the weighted target position relative to
/// the handle's start joint; the handle's matrix is left alone. Any other owner is skipped and
/// "owner of TTransformConstraint <node>" is logged once per node.
class QUORLIX_API PoleVectorConstraint : public Constraint {
public:
    static PoleVectorConstraint* Create();
    static const TypeInfo* GetPoleVectorConstraintTypeInfo() noexcept;
    PoleVectorConstraint() noexcept = default;
    ~PoleVectorConstraint() override;
};

} // namespace Quorlix
