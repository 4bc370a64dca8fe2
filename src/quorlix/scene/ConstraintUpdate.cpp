// The constraint update: each constraint class moves its node's ModelViewMatrix from the
// targets' matrices of the same pass.

#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/internal/ConstraintMath.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cmath>

namespace Quorlix::Internal {

namespace {

// The target's matrix when it takes part with `weight`, else null.
const TBaseTransform* UsableTarget(ScriptObject* target, float weight) {
    // NaN and infinite weights take no part: they would turn every sum into NaN.
    if (!(weight > 0.0f) || !std::isfinite(weight))
        return nullptr;
    if (target == nullptr || target->IsNil() || !target->IsA(BuiltinTypeID(k_ClassTBaseTransform)))
        return nullptr;
    return static_cast<const TBaseTransform*>(target);
}

float WeightOf(const Array<float>& weights, int i) {
    return i < weights.Size() ? weights[i] : 1.0f;
}

// Calls add(matrix, normalised weight) for every usable target; false when there is none.
template <class Add>
bool ForEachTarget(const Constraint& constraint, Add&& add) {
    const Array<Obj<ScriptObject>>& targets = constraint.GetTargetArray();
    const Array<float>& weights = constraint.GetWeightArray();
    // In double: large finite weights must not overflow the sum.
    double total = 0.0;
    for (int i = 0; i < targets.Size(); ++i) {
        const float weight = WeightOf(weights, i);
        if (UsableTarget(targets[i].Get(), weight) != nullptr)
            total += weight;
    }
    if (total <= 0.0)
        return false;
    for (int i = 0; i < targets.Size(); ++i) {
        const float weight = WeightOf(weights, i);
        if (const TBaseTransform* target = UsableTarget(targets[i].Get(), weight))
            add(target->GetModelViewMatrix(), static_cast<float>(weight / total));
    }
    return true;
}

// A broken setup is logged once per node with `text` + the node's name.
void ReportSetup(TBaseTransform& node,
                 const char* text = "UpdateConstraint: incorrect setup for ") {
    if (node.GetConstraintSetupReported())
        return;
    node.SetConstraintSetupReported();
    const char* name = node.GetNameCPtr();
    LogScriptError(text, name != nullptr ? name : "");
}

// The weighted mean of the usable targets' positions; false when there is none.
bool TargetPosition(const Constraint& constraint, Vector3f& position) {
    TargetBlend blend;
    if (!ForEachTarget(constraint, [&](const Matrix4f& m, float weight) {
            blend.AddTranslation(m.GetM3Vector3(), weight);
        }))
        return false;
    position = blend.GetTranslation();
    return true;
}

} // namespace

void UpdateTransformConstraint(const TransformConstraint& constraint, TBaseTransform& node) {
    const TransformConstraint::ConstraintType type = constraint.GetConstraintType();
    const bool point = type == TransformConstraint::Point || type == TransformConstraint::Parent;
    const bool orient = type == TransformConstraint::Orient || type == TransformConstraint::Parent;
    const bool scale = type == TransformConstraint::Scale;
    if (!point && !orient && !scale)
        return; // a value outside the enumeration drives nothing

    TargetBlend blend;
    AffineParts target;
    const bool any = ForEachTarget(constraint, [&](const Matrix4f& m, float weight) {
        if (point)
            blend.AddTranslation(m.GetM3Vector3(), weight);
        if (orient || scale) {
            DecomposeParts(m, target);
            if (orient)
                blend.AddRotation(target.m_Rotation, weight);
            if (scale)
                blend.AddScale(target.m_Scale, weight);
        }
    });
    if (!any) {
        ReportSetup(node);
        return;
    }

    const unsigned exclude = constraint.GetExcludeMask();
    if (!orient && !scale) {
        // Only the translation row moves: the rest of the matrix stays bit for bit.
        Matrix4f m = node.GetModelViewMatrix();
        m.AccessM3Vector3() = MixComponents(m.GetM3Vector3(), blend.GetTranslation(), exclude);
        node.SetModelViewMatrix(m);
        return;
    }
    AffineParts parts;
    DecomposeParts(node.GetModelViewMatrix(), parts);
    if (point)
        parts.m_Translation = MixComponents(parts.m_Translation, blend.GetTranslation(), exclude);
    if (orient) {
        Matrix4f rotation;
        blend.GetRotation(rotation);
        OrientWithOffset(rotation, constraint.GetOrientOffset(), exclude, parts.m_Rotation);
    }
    if (scale)
        parts.m_Scale = MixComponents(parts.m_Scale, blend.GetScale(), exclude);
    Matrix4f m;
    ComposeParts(parts, m);
    node.SetModelViewMatrix(m);
}

void UpdateAimConstraint(const AimConstraint& constraint, TBaseTransform& node) {
    Vector3f target;
    if (!TargetPosition(constraint, target)) {
        ReportSetup(node);
        return;
    }
    AffineParts parts;
    DecomposeParts(node.GetModelViewMatrix(), parts);
    Vector3f worldUp = constraint.GetUpTargetVector();
    ScriptObject* upTarget = constraint.GetUpTarget();
    if (upTarget != nullptr && !upTarget->IsNil() &&
        upTarget->IsA(BuiltinTypeID(k_ClassTBaseTransform))) {
        worldUp =
            static_cast<const TBaseTransform*>(upTarget)->GetModelViewMatrix().GetM3Vector3() -
            parts.m_Translation;
    }
    Matrix4f aim;
    // A target on the node, or an up along the aim, gives no direction: the node keeps its turn.
    if (!AimRotation(constraint.GetAimVector(), constraint.GetUpVector(),
                     target - parts.m_Translation, worldUp, constraint.GetTwist(), aim))
        return;
    Matrix4f rotation = parts.m_Rotation;
    OrientWithOffset(aim, constraint.GetOrientOffset(), constraint.GetExcludeMask(), rotation);
    // A non-finite offset must not reach the matrix.
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (!std::isfinite(rotation.Get(r, c)))
                return;
        }
    }
    parts.m_Rotation = rotation;
    Matrix4f m;
    ComposeParts(parts, m);
    node.SetModelViewMatrix(m);
}

void UpdatePoleVectorConstraint(const PoleVectorConstraint& constraint, TBaseTransform& node,
                                const Matrix4f& current) {
    if (!node.IsA(BuiltinTypeID(k_ClassTIKHandle))) {
        ReportSetup(node, "owner of TTransformConstraint ");
        return;
    }
    Vector3f target;
    if (!TargetPosition(constraint, target)) {
        ReportSetup(node);
        return;
    }
    const auto& handle = static_cast<const TIKHandle&>(node);
    const TJoint* start = handle.GetStartJoint();
    if (start == nullptr || start->IsNil()) {
        ReportSetup(node);
        return;
    }
    // The joint's place this pass from its parent, which the update has placed before the
    // handle: the joint itself may be left to the IK solve that follows.
    Vector3f origin = start->GetModelViewMatrix().GetM3Vector3();
    if (const TBaseTransform* parent = start->GetParentTransform()) {
        const auto* local = static_cast<const SBaseTransform*>(start->GetSNode());
        Matrix4f world;
        world.AssignMul(local->GetLocalMatrix(), parent->GetModelViewMatrix());
        origin = world.GetM3Vector3();
    }
    // Stored in the handle's parent space: the view pass then stores what the first pass did.
    Vector3f pole = target - origin;
    Matrix4f inverse;
    if (current != Matrix4f::Identity && inverse.AssignInvertAffine(current)) {
        const Vector3f pass = pole;
        MulVector3Matrix3x3(pole, pass, inverse);
    }
    if (std::isfinite(pole.GetX()) && std::isfinite(pole.GetY()) && std::isfinite(pole.GetZ()))
        static_cast<SIKHandle*>(handle.GetSNode())->SetPoleVector(pole);
}

} // namespace Quorlix::Internal
