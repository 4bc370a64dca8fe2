#pragma once
// The arithmetic of constraints, apart from the objects that hold the values: splitting a
// matrix into the parts a constraint replaces, blending the targets' parts by weight and
// putting the node's matrix back together. Row vectors: p' = p · M.

#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Quaternionf.h"
#include "quorlix/math/Vector3f.h"

namespace Quorlix {
class AimConstraint;
class PoleVectorConstraint;
class TBaseTransform;
class TransformConstraint;
} // namespace Quorlix

namespace Quorlix::Internal {

/// An affine matrix as rows r0 = s0·u0, r1 = s1·(k01·u0 + u1), r2 = s2·(k02·u0 + k12·u1 + u2)
/// and translation t, with u0, u1, u2 the rows of a proper rotation. Shear is kept relative to
/// the scale, so a constraint that replaces the scale leaves the shape of a sheared node.
struct AffineParts {
    Vector3f m_Scale{1, 1, 1};                // s0, s1, s2; a left-handed matrix gets a negative s2
    Vector3f m_Shear = Vector3f::Zero;        // k01, k02, k12
    Matrix4f m_Rotation = Matrix4f::Identity; // rows u0, u1, u2; translation zero
    Vector3f m_Translation = Vector3f::Zero;
};

/// Gram-Schmidt on the rows of `m`. A (nearly) zero row gets some unit row completing the
/// rotation and a scale of 0, so ComposeParts gives back `m` up to rounding for every input.
void DecomposeParts(const Matrix4f& m, AffineParts& parts) noexcept;
/// The affine matrix of `parts`: the inverse of DecomposeParts.
void ComposeParts(const AffineParts& parts, Matrix4f& m) noexcept;

/// The component of `driven` where the bit of `excludeMask` (1 x, 2 y, 4 z) is clear, else the
/// one of `own`.
Vector3f MixComponents(const Vector3f& own, const Vector3f& driven, unsigned excludeMask) noexcept;

/// Weighted sums of the targets' parts. Weights are given already normalised.
class TargetBlend {
public:
    void AddTranslation(const Vector3f& t, float weight) noexcept;
    /// The first rotation added fixes the hemisphere: later ones are flipped to its side.
    void AddRotation(const Matrix4f& rotation, float weight) noexcept;
    void AddScale(const Vector3f& s, float weight) noexcept;

    const Vector3f& GetTranslation() const noexcept { return m_Translation; }
    const Vector3f& GetScale() const noexcept { return m_Scale; }
    /// The normalised blend of the rotations, as a rotation matrix.
    void GetRotation(Matrix4f& rotation) const noexcept;

private:
    Vector3f m_Translation = Vector3f::Zero;
    Vector3f m_Scale = Vector3f::Zero;
    Quaternionf m_Rotation{0, 0, 0, 0};
    Quaternionf m_First{0, 0, 0, 1};
    bool m_HasFirst = false;
};

/// `blend` preceded by the rotation of `offsetDegrees` (order XYZ), so the offset turns the node
/// in the frame the targets give it; the rotations about the world axes excluded by
/// `excludeMask` (Euler angles XYZ) are those of `own`. The result replaces `own`.
void OrientWithOffset(const Matrix4f& blend, const Vector3f& offsetDegrees, unsigned excludeMask,
                      Matrix4f& own) noexcept;

/// The rotation turning the local `aim` onto the world `direction` with the local `up` in the
/// plane of `direction` and `worldUp` (on worldUp's side), then rolled by `twistDegrees` about
/// `direction`. False, `rotation` untouched, when a vector is zero or not finite or an up is
/// parallel to its aim.
bool AimRotation(const Vector3f& aim, const Vector3f& up, const Vector3f& direction,
                 const Vector3f& worldUp, float twistDegrees, Matrix4f& rotation) noexcept;

/// Moves `node`'s ModelViewMatrix by the constraint (ConstraintUpdate.cpp).
void UpdateTransformConstraint(const TransformConstraint& constraint, TBaseTransform& node);
void UpdateAimConstraint(const AimConstraint& constraint, TBaseTransform& node);
/// Writes the pole vector of `node`, which must be an IK handle, in the space of `current` (the
/// handle's parent space); leaves its matrix alone.
void UpdatePoleVectorConstraint(const PoleVectorConstraint& constraint, TBaseTransform& node,
                                const Matrix4f& current);

} // namespace Quorlix::Internal
