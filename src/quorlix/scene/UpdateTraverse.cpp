#include "quorlix/scene/UpdateTraverse.h"

#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/LODGroup.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/internal/TransformMath.h"
#include "quorlix/script/internal/ScriptLog.h"

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

// The constraint and IK arithmetic plugs in here; until it exists a constraint leaves the
// matrix the transform update gave the node, and an IK handle moves no joint.
void UpdateConstraint(Constraint&, TBaseTransform&) {}
void SolveIK(TIKHandle&) {}

constexpr int k_MaxPendingPasses = 100;

} // namespace

XMiniUpdateTraverse::XMiniUpdateTraverse() = default;
XMiniUpdateTraverse::~XMiniUpdateTraverse() = default;

void XMiniUpdateTraverse::SetMasks(uint32_t excludeMask, uint32_t drawMask) noexcept {
    m_ExcludeMask = excludeMask;
    m_DrawMask = drawMask;
}

void XMiniUpdateTraverse::TakePending(Array<Obj<TNode>>& out) {
    out.Clear();
    out.Swap(m_Pending);
}

void XMiniUpdateTraverse::ClearLists() {
    m_Pending.Clear();
    m_Particles.Clear();
    m_SoundEmitters.Clear();
    m_SoundReceivers.Clear();
}

void XMiniUpdateTraverse::UpdateTree(TNode* node, const Matrix4f& matrix) {
    if (node == nullptr || node->IsNil())
        return;
    m_Stack.clear();
    m_Stack.push_back(Step{node, matrix});
    while (!m_Stack.empty()) {
        // Copied out: visiting pushes children, which may move the stack.
        const Step step = m_Stack.back();
        m_Stack.pop_back();
        Visit(step.m_Node, step.m_Matrix);
    }
}

void XMiniUpdateTraverse::PushChild(TNode* child, const Matrix4f& matrix) {
    if (child != nullptr)
        m_Stack.push_back(Step{child, matrix});
}

void XMiniUpdateTraverse::PushChildren(TBranch* branch, const Matrix4f& matrix) {
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
    if (TJoint* start = handle->GetStartJoint()) {
        TBaseTransform* parent = start->GetParentTransform();
        if (parent == nullptr) {
            start->ExpectFailed(BuiltinTypeID(k_ClassTBaseTransform));
        } else if (!Stamped(parent, "SolvableIK: waiting for ")) {
            return false;
        }
    }
    if (Is(node, k_ClassTIKSplineHandle)) {
        for (const Obj<ScriptObject>& cluster :
             static_cast<TIKSplineHandle*>(node)->GetClusterHandleArray()) {
            if (!Stamped(cluster.Get(), "SolvableSplineIK: waiting for "))
                return false;
        }
    }
    return true;
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
    // Its IK handle moves the joint.
    if (Is(node, k_ClassTJoint)) {
        ScriptObject* handle = static_cast<TJoint*>(node)->GetIKDependency();
        if (handle != nullptr && !handle->IsNil())
            return true;
    }
    return false;
}

void XMiniUpdateTraverse::UpdateTransform(TBaseTransform* node, const Matrix4f& current) {
    const auto* local = static_cast<const SBaseTransform*>(node->GetSNode());
    // The node's own local matrix applies first, then its ancestors' and the root matrix.
    Matrix4f m;
    m.AssignMul(local->GetLocalMatrix(), current);
    node->SetModelViewMatrix(m);
    const Array<Obj<ScriptObject>>& constraints = node->GetConstraintArray();
    if (constraints.Size() != 0) {
        for (const Obj<ScriptObject>& entry : constraints) {
            ScriptObject* constraint = entry.Get();
            if (constraint != nullptr && Is(constraint, k_ClassConstraint))
                UpdateConstraint(*static_cast<Constraint*>(constraint), *node);
        }
        m = node->GetModelViewMatrix();
    }
    if (Is(node, k_ClassTIKHandle))
        SolveIK(*static_cast<TIKHandle*>(node));
    node->SetMatrixFrame(m_Frame);
    PushChildren(node, m);
}

void XMiniUpdateTraverse::Visit(TNode* node, const Matrix4f& current) {
    if ((node->GetSNode()->GetVisibility() & m_ExcludeMask) != 0)
        return;
    if (Is(node, k_ClassTBaseTransform) && Waits(node, static_cast<TBaseTransform*>(node)))
        return;

    if (Is(node, k_ClassTSimpleTransform)) {
        if (Is(node, k_ClassTJoint)) {
            // The joint cancels its parent's scaling; only simple transforms have one.
            TBranch* parent = node->GetParent();
            SNode* parentS = parent != nullptr ? parent->GetSNode() : nullptr;
            if (parentS != nullptr && Is(parentS, k_ClassSSimpleTransform)) {
                static_cast<SJoint*>(node->GetSNode())
                    ->SetParentScaling(static_cast<SSimpleTransform*>(parentS)->GetScaling());
            }
        } else if (Is(node, k_ClassTIKHandle) && !IKSolvable(node)) {
            m_Pending.Add(Obj<TNode>(node));
            if (m_Debug)
                LogScriptDebug("Wait/SolvableIK: ", NameOf(node));
            return;
        }
        UpdateTransform(static_cast<TBaseTransform*>(node), current);
        return;
    }
    if (Is(node, k_ClassTLODGroup)) {
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
        auto* group = static_cast<TBranch*>(node);
        if (level >= 0 && level < group->ChildCount())
            PushChild(group->GetChild(level), current);
        return;
    }
    if (Is(node, k_ClassTBranch)) {
        // Branch classes of the library without an update of their own are walked as plain
        // branches, with a warning; script classes extending TBranch are plain branches.
        const int own = ClassIndexOf(node->GetObjectClassID());
        if (own != k_ClassTBranch && own < k_MasterMVTBLBuiltinSize) {
            LogScriptWarn("XMiniUpdateTraverse::UpdateTree: encountered unoptimized node type \"",
                          node->GetObjectClassName(), "\".");
        }
        PushChildren(static_cast<TBranch*>(node), current);
        return;
    }
    if (Is(node, k_ClassTParticles))
        m_Particles.Add(Obj<TNode>(node));
    else if (Is(node, k_ClassTSoundEmitter))
        m_SoundEmitters.Add(Obj<TNode>(node));
    else if (Is(node, k_ClassTSoundReceiver))
        m_SoundReceivers.Add(Obj<TNode>(node));
}

namespace {

// Updates the pending nodes again, pass after pass, until `done` says so, none is left or the
// bound is reached; true when the bound was reached.
template <class Done>
bool ReprocessPending(XMiniUpdateTraverse& traverse, const Matrix4f& root, Done&& done) {
    Array<Obj<TNode>> pending;
    for (int pass = 0; !done(); ++pass) {
        if (traverse.GetPending().Size() == 0)
            return false;
        if (pass == k_MaxPendingPasses)
            return true;
        traverse.TakePending(pending);
        for (const Obj<TNode>& node : pending) {
            const TBaseTransform* parent = node->GetParentTransform();
            traverse.UpdateTree(node, parent != nullptr ? parent->GetModelViewMatrix() : root);
        }
    }
    return false;
}

void ReportEndless(const XMiniUpdateTraverse& traverse, const char* text) {
    LogScriptFatal(text);
    for (const Obj<TNode>& node : traverse.GetPending())
        LogScriptDebug("Node: \"", NameOf(node), "\".");
}

} // namespace

int UpdateSceneFrame(XMiniUpdateTraverse& traverse, TNode* root, const Matrix4f& view,
                     const SceneUpdateFrame& frame) {
    if (root == nullptr || root->IsNil())
        return 0;
    traverse.SetMasks(frame.m_ExcludeMask, frame.m_DrawMask);
    traverse.SetDebug(frame.m_Debug);

    // Pass 1: world matrices, under a stamp of its own.
    const uint32_t stamp = frame.m_Frame ^ 0x80000000u;
    traverse.SetFrame(stamp);
    traverse.ClearLists();
    traverse.UpdateTree(root, Matrix4f::Identity);
    const bool endless1 = ReprocessPending(traverse, Matrix4f::Identity, [&] {
        return frame.m_WaitFor != nullptr && frame.m_WaitFor->GetMatrixFrame() == stamp;
    });
    if (endless1)
        ReportEndless(traverse, "RenderSystemTraverse_D: DependantP1 infinite recursion.");

    // Pass 2: the view.
    traverse.SetFrame(frame.m_Frame);
    traverse.ClearLists();
    traverse.UpdateTree(root, view);
    if (ReprocessPending(traverse, view, [] { return false; }))
        ReportEndless(traverse, "RenderSystemTraverse_D: DependantP2 infinite recursion.");
    return traverse.GetPending().Size();
}

} // namespace Quorlix
