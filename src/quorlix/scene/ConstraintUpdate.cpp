// The constraint update: each constraint class moves its node's ModelViewMatrix from the
// targets' matrices of the same pass.

#include "quorlix/scene/Constraint.h"
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

void ReportSetup(TBaseTransform& node) {
    if (node.GetConstraintSetupReported())
        return;
    node.SetConstraintSetupReported();
    const char* name = node.GetNameCPtr();
    LogScriptError("UpdateConstraint: incorrect setup for ", name != nullptr ? name : "");
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

} // namespace Quorlix::Internal
