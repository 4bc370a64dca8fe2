#include "quorlix/scene/UpdateTraverse.h"

#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/LODGroup.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SplineCurve.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/internal/ConstraintMath.h"
#include "quorlix/scene/internal/IKSolve.h"
#include "quorlix/scene/internal/SceneStructure.h"
#include "quorlix/scene/internal/TransformMath.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace Quorlix {

using Internal::LogScriptDebug;
using Internal::LogScriptFatal;
using Internal::LogScriptWarn;

namespace {

bool Is(const ScriptObject* object, int classIndex) noexcept {
    return object->IsA(BuiltinTypeID(classIndex));
}

const char* NameOf(const ScriptObject* object) {
    const char* name =
        Is(object, k_ClassObject) ? static_cast<const Object*>(object)->GetNameCPtr() : nullptr;
    return name != nullptr ? name : "";
}

// Each constraint class moves the node's ModelViewMatrix (a pole vector constraint writes its
// IK handle's pole vector instead, in the space of `current`, the node's parent space).
void UpdateConstraint(Constraint& constraint, TBaseTransform& node, const Matrix4f& current) {
    if (Is(&constraint, k_ClassTransformConstraint))
        Internal::UpdateTransformConstraint(static_cast<const TransformConstraint&>(constraint),
                                            node);
    else if (Is(&constraint, k_ClassAimConstraint))
        Internal::UpdateAimConstraint(static_cast<const AimConstraint&>(constraint), node);
    else if (Is(&constraint, k_ClassPoleVectorConstraint))
        Internal::UpdatePoleVectorConstraint(static_cast<const PoleVectorConstraint&>(constraint),
                                             node, current);
}

constexpr int k_MaxPendingPasses = 100;

} // namespace

// What the walk does with a node, by its class.
enum class XMiniUpdateTraverse::Kind : uint8_t {
    Leaf,          // nothing
    Branch,        // children under the same matrix
    UnknownBranch, // the same, with a warning
    BaseTransform, // a transform without a local matrix of its own: constraints, then a branch
    Transform,
    Joint,
    IKHandle,
    LODGroup,
    Particles,
    SoundEmitter,
    SoundReceiver,
};

XMiniUpdateTraverse::XMiniUpdateTraverse() : m_IK(std::make_unique<Internal::IKWork>()) {}
XMiniUpdateTraverse::~XMiniUpdateTraverse() = default;

void XMiniUpdateTraverse::SetMasks(uint32_t excludeMask, uint32_t drawMask) noexcept {
    m_ExcludeMask = excludeMask;
    m_DrawMask = drawMask;
}

void XMiniUpdateTraverse::TakePending(Array<Obj<TNode>>& out) {
    out.Resize(0);
    out.Swap(m_Pending);
}

void XMiniUpdateTraverse::UpdatePending(const Matrix4f& root) {
    TakePending(m_Waiting);
    for (const Obj<TNode>& node : m_Waiting) {
        const TBaseTransform* parent = node->GetParentTransform();
        UpdateTree(node, parent != nullptr ? parent->GetModelViewMatrix() : root);
    }
    m_Waiting.Resize(0);
}

void XMiniUpdateTraverse::ClearLists() {
    m_Pending.Resize(0);
    m_Particles.Resize(0);
    m_SoundEmitters.Resize(0);
    m_SoundReceivers.Resize(0);
}

XMiniUpdateTraverse::Kind XMiniUpdateTraverse::KindOf(const TNode* node) noexcept {
    const MVTBL* table = node->GetClassTable();
    for (int i = 0; i < k_KindCache; ++i) {
        if (table == m_KindTable[i])
            return m_Kind[i];
    }
    Kind kind = Kind::Leaf;
    if (Is(node, k_ClassTSimpleTransform)) {
        kind = Is(node, k_ClassTJoint)      ? Kind::Joint
               : Is(node, k_ClassTIKHandle) ? Kind::IKHandle
                                            : Kind::Transform;
    } else if (Is(node, k_ClassTBaseTransform)) {
        kind = Kind::BaseTransform;
    } else if (Is(node, k_ClassTLODGroup)) {
        kind = Kind::LODGroup;
    } else if (Is(node, k_ClassTBranch)) {
        // Script classes extending TBranch are plain branches; library classes without an
        // update of their own get a warning.
        const int own = ClassIndexOf(node->GetObjectClassID());
        kind = own != k_ClassTBranch && own < k_MasterMVTBLBuiltinSize ? Kind::UnknownBranch
                                                                       : Kind::Branch;
    } else if (Is(node, k_ClassTParticles)) {
        kind = Kind::Particles;
    } else if (Is(node, k_ClassTSoundEmitter)) {
        kind = Kind::SoundEmitter;
    } else if (Is(node, k_ClassTSoundReceiver)) {
        kind = Kind::SoundReceiver;
    }
    m_KindTable[m_KindNext] = table;
    m_Kind[m_KindNext] = kind;
    m_KindNext = (m_KindNext + 1) % k_KindCache;
    return kind;
}

void XMiniUpdateTraverse::UpdateTree(TNode* node, const Matrix4f& matrix) {
    if (node == nullptr || node->IsNil())
        return;
    m_Root = matrix;
    const uint64_t generation = Internal::SceneStructureGeneration();
    if (m_PlanUsable && node == m_PlanRoot && m_ExcludeMask == m_PlanExcludeMask &&
        generation == m_PlanGeneration) {
        RunPlan();
        return;
    }
    const int pending = m_Pending.Size();
    m_Plan.clear();
    m_Planning = true;
    Walk(node);
    // A walk that changed a tree (a constraint or IK solve may) leaves no plan.
    m_PlanUsable = m_Planning && m_Pending.Size() == pending &&
                   Internal::SceneStructureGeneration() == generation;
    m_Planning = false;
    m_PlanRoot = node;
    m_PlanGeneration = generation;
    m_PlanExcludeMask = m_ExcludeMask;
    if (!m_PlanUsable)
        m_Plan.clear();
}

void XMiniUpdateTraverse::RunPlan() noexcept {
    for (const PlanStep& step : m_Plan) {
        const Matrix4f& local = step.m_Local->m_State == SBaseTransform::LocalInvalid
                                    ? step.m_S->GetLocalMatrix()
                                    : step.m_Local->m_Matrix;
        TBaseTransform::ViewSlot& view = *step.m_View;
        view.m_Matrix.AssignMul(local, *step.m_Parent);
        view.m_Frame = m_Frame;
        view.m_InverseValid = false;
    }
}

void XMiniUpdateTraverse::Walk(TNode* node) {
    // Class tables may have been freed and their memory reused since the last walk.
    for (const void*& table : m_KindTable)
        table = nullptr;
    m_IK->m_JointTable = m_IK->m_HandleTable = m_IK->m_SimpleTable = m_IK->m_HandleClass = nullptr;
    m_IK->m_Handle = nullptr;
    m_Stack.clear();
    m_Stack.push_back(Step{node, &m_Root});
    while (!m_Stack.empty()) {
        const Step step = m_Stack.back();
        m_Stack.pop_back();
        Visit(step.m_Node, *step.m_Matrix);
    }
}

void XMiniUpdateTraverse::PushChild(TNode* child, const Matrix4f& matrix) {
    if (child != nullptr)
        m_Stack.push_back(Step{child, &matrix});
}

void XMiniUpdateTraverse::PushChildren(const TBranch* branch, const Matrix4f& matrix) {
    // Last child first, so that children are visited in order.
    for (int i = branch->ChildCount() - 1; i >= 0; --i)
        PushChild(branch->GetChild(i), matrix);
}

bool XMiniUpdateTraverse::Stamped(ScriptObject* object, const char* waitText) {
    if (object == nullptr || !Is(object, k_ClassTBaseTransform))
        return true;
    if (static_cast<TBaseTransform*>(object)->GetMatrixFrame() == m_Frame)
        return true;
    if (m_Debug)
        LogScriptDebug(waitText, NameOf(object));
    return false;
}

bool XMiniUpdateTraverse::ConstraintSolvable(ScriptObject* object) {
    const auto* constraint = static_cast<const Constraint*>(object);
    const Array<Obj<ScriptObject>>& targets = constraint->GetTargetArray();
    const Array<float>& weights = constraint->GetWeightArray();
    for (int i = 0; i < targets.Size(); ++i) {
        // A target without a weight counts fully.
        const float weight = i < weights.Size() ? weights[i] : 1.0f;
        if (weight > 0.0f && !Stamped(targets[i].Get(), "SolvableConstraint: waiting for "))
            return false;
    }
    if (Is(object, k_ClassAimConstraint) &&
        !Stamped(static_cast<const AimConstraint*>(object)->GetUpTarget(),
                 "SolvableConstraint: aim waiting for "))
        return false;
    return true;
}

bool XMiniUpdateTraverse::IKSolvable(TNode* node) {
    auto* handle = static_cast<TIKHandle*>(node);
    TBaseTransform* parent = nullptr;
    if (TJoint* start = handle->GetStartJoint()) {
        parent = start->GetParentTransform();
        if (parent == nullptr) {
            start->ExpectFailed(BuiltinTypeID(k_ClassTBaseTransform));
        } else if (parent->GetMatrixFrame() != m_Frame) {
            if (m_Debug)
                LogScriptDebug("SolvableIK: waiting for ", NameOf(parent));
            return false;
        }
    }
    if (IsSplineIK(*handle)) {
        const auto* spline = static_cast<TIKSplineHandle*>(node);
        for (const Obj<ScriptObject>& cluster : spline->GetClusterHandleArray()) {
            if (!Stamped(cluster.Get(), "SolvableSplineIK: waiting for "))
                return false;
        }
        // The curve's CVs are placed by its parent transform.
        const TSplineCurve* curve = spline->GetSplineCurve();
        if (curve != nullptr &&
            !Stamped(curve->GetParentTransform(), "SolvableSplineIK: waiting for "))
            return false;
    }
    GatherIKChain(*handle, parent);
    return !WaitsForIKPriority(*handle);
}

bool XMiniUpdateTraverse::Waits(TNode* node, TBaseTransform* transform) {
    for (const Obj<ScriptObject>& entry : transform->GetConstraintArray()) {
        ScriptObject* constraint = entry.Get();
        if (constraint == nullptr || constraint->IsNil())
            continue;
        if (!Is(constraint, k_ClassConstraint)) {
            constraint->ExpectFailed(BuiltinTypeID(k_ClassConstraint));
            continue;
        }
        if (!ConstraintSolvable(constraint)) {
            m_Pending.Add(Obj<TNode>(node));
            if (m_Debug)
                LogScriptDebug("Wait/Dependant: ", NameOf(node), " ", NameOf(constraint));
            return true;
        }
    }
    // Its IK handle moves the joint, as long as the handle is in a tree and not hidden by the
    // masks: a handle that is never visited must not freeze its chain.
    if (KindOf(node) == Kind::Joint) {
        ScriptObject* object = static_cast<TJoint*>(node)->GetIKDependency();
        if (object != nullptr && !object->IsNil() &&
            (object->GetClassTable() == m_IK->m_HandleTable || Is(object, k_ClassTIKHandle))) {
            m_IK->m_HandleTable = object->GetClassTable();
            const auto* handle = static_cast<const TIKHandle*>(object);
            if (handle->GetParent() != nullptr &&
                (handle->GetSNode()->GetVisibility() & m_ExcludeMask) == 0)
                return true;
        }
    }
    return false;
}

void XMiniUpdateTraverse::UpdateTransform(TBaseTransform* node, const Matrix4f& current) {
    const auto* local = static_cast<const SBaseTransform*>(node->GetSNode());
    // The node's own local matrix applies first, then its ancestors' and the root matrix.
    Matrix4f m;
    m.AssignMul(local->GetLocalMatrix(), current);
    node->SetModelViewMatrix(m);
    const Array<Obj<ScriptObject>>& entries = node->GetConstraintArray();
    const int count = entries.Size();
    auto constraintAt = [&entries](int i) -> Constraint* {
        ScriptObject* object = entries[i].Get();
        return object != nullptr && Is(object, k_ClassConstraint) ? static_cast<Constraint*>(object)
                                                                  : nullptr;
    };
    // Lower SolvePriority first, then array order. The common cases (no constraint, one, or
    // several already in order) run in array order without sorting or allocating.
    bool ordered = true;
    int32_t previous = INT32_MIN;
    for (int i = 0; i < count && ordered; ++i) {
        if (const Constraint* constraint = constraintAt(i)) {
            ordered = constraint->GetSolvePriority() >= previous;
            previous = constraint->GetSolvePriority();
        }
    }
    if (ordered) {
        for (int i = 0; i < count; ++i) {
            if (Constraint* constraint = constraintAt(i))
                UpdateConstraint(*constraint, *node, current);
        }
    } else {
        std::vector<std::pair<int32_t, int>> order; // (priority, index): a stable order
        order.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (const Constraint* constraint = constraintAt(i))
                order.emplace_back(constraint->GetSolvePriority(), i);
        }
        std::sort(order.begin(), order.end());
        for (const auto& [priority, i] : order)
            UpdateConstraint(*constraintAt(i), *node, current);
    }
    node->SetMatrixFrame(m_Frame);
}

void XMiniUpdateTraverse::VisitTransform(TNode* node, Kind kind, const Matrix4f& current) {
    auto* transform = static_cast<TBaseTransform*>(node);
    if (Waits(node, transform))
        return;
    switch (kind) {
    case Kind::Joint: {
        // The joint cancels its parent's scaling; only simple transforms have one.
        const TBranch* parent = node->GetParent();
        const SNode* parentS = parent != nullptr ? parent->GetSNode() : nullptr;
        if (parentS != nullptr && Is(parentS, k_ClassSSimpleTransform)) {
            static_cast<SJoint*>(node->GetSNode())
                ->SetParentScaling(static_cast<const SSimpleTransform*>(parentS)->GetScaling());
        }
        break;
    }
    case Kind::IKHandle:
        if (!IKSolvable(node)) {
            m_Pending.Add(Obj<TNode>(node));
            if (m_Debug)
                LogScriptDebug("Wait/SolvableIK: ", NameOf(node));
            return;
        }
        break;
    case Kind::BaseTransform:
        LogScriptWarn("XMiniUpdateTraverse::UpdateTree: encountered unoptimized node type \"",
                      node->GetObjectClassName(), "\".");
        PushChildren(transform, current);
        return;
    default:
        break;
    }
    if (m_Planning) {
        if (kind == Kind::Transform && transform->ConstraintCount() == 0) {
            const auto* s = static_cast<const SBaseTransform*>(node->GetSNode());
            m_Plan.push_back(PlanStep{&s->GetLocalSlot(), s, &transform->GetViewSlot(), &current});
        } else {
            m_Planning = false;
        }
    }
    UpdateTransform(transform, current);
    if (kind == Kind::IKHandle)
        SolveIK(*static_cast<TIKHandle*>(node), current);
    // The constraints and the IK solve may have moved the node: its children follow the result.
    PushChildren(transform, transform->GetModelViewMatrix());
}

void XMiniUpdateTraverse::Visit(TNode* node, const Matrix4f& current) {
    if ((node->GetSNode()->GetVisibility() & m_ExcludeMask) != 0)
        return;
    const Kind kind = KindOf(node);
    if (kind != Kind::Branch && kind != Kind::Leaf && kind != Kind::Transform)
        m_Planning = false;
    switch (kind) {
    case Kind::Transform:
    case Kind::Joint:
    case Kind::IKHandle:
    case Kind::BaseTransform:
        VisitTransform(node, kind, current);
        return;
    case Kind::LODGroup: {
        SNode* s = node->GetSNode();
        if (!Is(s, k_ClassSLODGroup)) {
            s->ExpectFailed(BuiltinTypeID(k_ClassSLODGroup));
            return;
        }
        const float x = current.Get(3, 0);
        const float y = current.Get(3, 1);
        const float z = current.Get(3, 2);
        const int level = Internal::SelectLODLevel(x * x + y * y + z * z,
                                                   static_cast<SLODGroup*>(s)->GetThresholdArray());
        const auto* group = static_cast<const TBranch*>(node);
        if (level >= 0 && level < group->ChildCount())
            PushChild(group->GetChild(level), current);
        return;
    }
    case Kind::UnknownBranch:
        LogScriptWarn("XMiniUpdateTraverse::UpdateTree: encountered unoptimized node type \"",
                      node->GetObjectClassName(), "\".");
        [[fallthrough]];
    case Kind::Branch:
        PushChildren(static_cast<const TBranch*>(node), current);
        return;
    case Kind::Particles:
        m_Particles.Add(Obj<TNode>(node));
        return;
    case Kind::SoundEmitter:
        m_SoundEmitters.Add(Obj<TNode>(node));
        return;
    case Kind::SoundReceiver:
        m_SoundReceivers.Add(Obj<TNode>(node));
        return;
    case Kind::Leaf:
        return;
    }
}

namespace {

// Updates the pending nodes again, pass after pass, until `done` says so, none is left or the
// bound is reached; true when the bound was reached.
template <class Done>
bool ReprocessPending(XMiniUpdateTraverse& traverse, const Matrix4f& root, Done&& done) {
    for (int pass = 0; !done(); ++pass) {
        if (traverse.GetPending().Size() == 0)
            return false;
        if (pass == k_MaxPendingPasses)
            return true;
        traverse.UpdatePending(root);
    }
    return false;
}

void ReportEndless(const XMiniUpdateTraverse& traverse, const char* text) {
    LogScriptFatal(text);
    for (const Obj<TNode>& node : traverse.GetPending())
        LogScriptDebug("Node: \"", NameOf(node), "\".");
}

} // namespace

int UpdateSceneWorld(XMiniUpdateTraverse& traverse, TNode* root, const SceneUpdateFrame& frame) {
    if (root == nullptr || root->IsNil())
        return 0;
    traverse.SetMasks(frame.m_ExcludeMask, frame.m_DrawMask);
    traverse.SetDebug(frame.m_Debug);
    // World matrices, under a stamp of their own.
    const uint32_t stamp = frame.m_Frame ^ 0x80000000u;
    traverse.SetFrame(stamp);
    traverse.ClearLists();
    traverse.UpdateTree(root, Matrix4f::Identity);
    const bool endless = ReprocessPending(traverse, Matrix4f::Identity, [&] {
        return frame.m_WaitFor != nullptr && frame.m_WaitFor->GetMatrixFrame() == stamp;
    });
    if (endless)
        ReportEndless(traverse, "RenderSystemTraverse_D: DependantP1 infinite recursion.");
    return traverse.GetPending().Size();
}

int UpdateSceneView(XMiniUpdateTraverse& traverse, TNode* root, const Matrix4f& view,
                    const SceneUpdateFrame& frame) {
    if (root == nullptr || root->IsNil())
        return 0;
    traverse.SetMasks(frame.m_ExcludeMask, frame.m_DrawMask);
    traverse.SetDebug(frame.m_Debug);
    traverse.SetFrame(frame.m_Frame);
    traverse.ClearLists();
    traverse.UpdateTree(root, view);
    if (ReprocessPending(traverse, view, [] { return false; }))
        ReportEndless(traverse, "RenderSystemTraverse_D: DependantP2 infinite recursion.");
    return traverse.GetPending().Size();
}

int UpdateSceneFrame(XMiniUpdateTraverse& traverse, TNode* root, const Matrix4f& view,
                     const SceneUpdateFrame& frame) {
    UpdateSceneWorld(traverse, root, frame);
    return UpdateSceneView(traverse, root, view, frame);
}

} // namespace Quorlix
