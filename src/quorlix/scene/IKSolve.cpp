// The IK solve inside the update traversal: gathers a handle's chain, claims its joints, solves
// from the rest pose in the pass's own space and writes the joints' ModelViewMatrix, then hands
// the joints' children to the traversal's stack so that they follow.

#include "quorlix/scene/internal/IKSolve.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SplineCurve.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"
#include "quorlix/scene/internal/IKMath.h"
#include "quorlix/scene/internal/TransformMath.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace Quorlix {

using Internal::IKQuat;
using Internal::IKVec;
using Internal::IKWork;

namespace {

constexpr int k_CCDIterations = 32;
constexpr double k_CCDTolerance = 1e-4;
// Chords per knot span of the arc length table of spline IK curves.
constexpr int k_SplineSamplesPerSpan = 64;

bool Is(const ScriptObject* object, int classIndex) noexcept {
    return object != nullptr && !object->IsNil() && object->IsA(BuiltinTypeID(classIndex));
}

// Is() for the classes met on every solve: the joints of chains mostly share one class table,
// whose answer is kept for the walk (tables may be freed between walks).
bool IsOften(const ScriptObject* object, int classIndex, const void*& yes) noexcept {
    if (object != nullptr && yes != nullptr && object->GetClassTable() == yes)
        return true;
    if (!Is(object, classIndex))
        return false;
    yes = object->GetClassTable();
    return true;
}

IKVec ToIK(const Vector3f& v) noexcept {
    return IKVec{v.GetX(), v.GetY(), v.GetZ()};
}

Vector3f ToVector(const IKVec& v) noexcept {
    return Vector3f(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

IKVec PositionOf(const Matrix4f& m) noexcept {
    return ToIK(m.GetM3Vector3());
}

// `start` turned by `rotation` about its own origin and moved to `position`.
Matrix4f Solved(const Matrix4f& start, const IKQuat& rotation, const IKVec& position) noexcept {
    Matrix4f m = start;
    m.AccessM0Vector3() = ToVector(Internal::Rotate(rotation, ToIK(start.GetM0Vector3())));
    m.AccessM1Vector3() = ToVector(Internal::Rotate(rotation, ToIK(start.GetM1Vector3())));
    m.AccessM2Vector3() = ToVector(Internal::Rotate(rotation, ToIK(start.GetM2Vector3())));
    m.AccessM3Vector3() = ToVector(position);
    return m;
}

// Where the point `local` of a node's frame lands under `m` (affine).
IKVec PointOf(const Vector3f& local, const Matrix4f& m) noexcept {
    Vector3f out;
    MulVector3Matrix4x3(out, local, m);
    return ToIK(out);
}

SJoint& S(const TJoint* joint) noexcept {
    return *static_cast<SJoint*>(joint->GetSNode());
}

const SBaseTransform& LocalOf(const TBaseTransform* node) noexcept {
    return *static_cast<const SBaseTransform*>(node->GetSNode());
}

// What the normal update does for a joint before its matrix: the parent's scaling is cancelled.
void CopyParentScaling(TJoint* joint, IKWork& work) {
    const TBranch* parent = joint->GetParent();
    const SNode* parentS = parent != nullptr ? parent->GetSNode() : nullptr;
    if (parentS != nullptr && IsOften(parentS, k_ClassSSimpleTransform, work.m_SimpleTable)) {
        static_cast<SJoint*>(joint->GetSNode())
            ->SetParentScaling(static_cast<const SSimpleTransform*>(parentS)->GetScaling());
    }
}

// The handle that claimed `joint`, while it is alive and in a tree; a detached handle holds
// nothing.
const TIKHandle* HandleOf(const TJoint* joint, IKWork& work) noexcept {
    ScriptObject* object = joint->GetIKDependency();
    if (!IsOften(object, k_ClassTIKHandle, work.m_HandleTable))
        return nullptr;
    const auto* handle = static_cast<const TIKHandle*>(object);
    return handle->GetParent() != nullptr ? handle : nullptr;
}

} // namespace

bool XMiniUpdateTraverse::IsSplineIK(const TIKHandle& handle) {
    // Handles of one class follow each other; the answer for the last class table is kept.
    IKWork& work = *m_IK;
    if (handle.GetClassTable() != work.m_HandleClass) {
        work.m_HandleClass = handle.GetClassTable();
        work.m_HandleIsSpline = Is(&handle, k_ClassTIKSplineHandle);
    }
    return work.m_HandleIsSpline;
}

void XMiniUpdateTraverse::GatherIKChain(TIKHandle& handle, TBaseTransform* startParent) {
    IKWork& work = *m_IK;
    work.m_Handle = &handle;
    work.m_StartParent = startParent;
    work.m_Chain.clear();
    work.m_State = IKWork::Chain::Broken;
    TJoint* start = handle.GetStartJoint();
    TIKEffector* effector = handle.GetEndEffector();
    if (start == nullptr || effector == nullptr || start->IsNil() || effector->IsNil()) {
        work.m_State = IKWork::Chain::None; // not set up yet: nothing to say
        return;
    }
    // From the effector's parent up to the start joint, every step a joint. The walk is bounded
    // by the tree's depth; past a node that is not a joint it only looks for the start joint.
    const char* why = nullptr;
    for (TBranch* node = effector->GetParent();; node = node->GetParent()) {
        if (node == nullptr) {
            work.m_Why = "start joint is not an ancestor of the effector";
            work.m_Chain.clear();
            return;
        }
        if (why == nullptr && !IsOften(node, k_ClassTJoint, work.m_JointTable))
            why = "a node between the start joint and the effector is not a joint";
        if (why == nullptr)
            work.m_Chain.push_back(static_cast<TJoint*>(static_cast<TNode*>(node)));
        if (node == start)
            break;
    }
    if (why != nullptr) {
        work.m_Why = why;
        work.m_Chain.clear();
        return;
    }
    std::reverse(work.m_Chain.begin(), work.m_Chain.end());
    if (startParent == nullptr) {
        work.m_Why = "start joint has no parent transform";
        return;
    }
    // A handle under its own chain would be placed by the solve it drives.
    if (handle.IsSelfOrDescendantOf(start)) {
        work.m_Why = "handle lies below its own start joint";
        return;
    }
    work.m_State = IKWork::Chain::Valid;
    ClaimIKChain(handle);
}

void XMiniUpdateTraverse::ClaimIKChain(TIKHandle& handle) {
    IKWork& work = *m_IK;
    Array<Obj<WeakObjTarget>>& marked = handle.m_Marked;
    bool same = marked.Size() == static_cast<int>(work.m_Chain.size());
    for (int i = 0; same && i < marked.Size(); ++i)
        same = marked[i]->GetTarget() == work.m_Chain[static_cast<size_t>(i)];
    work.m_Released.clear();
    if (!same) {
        // The chain changed: let go of the old joints first, keeping those it still holds.
        for (const Obj<WeakObjTarget>& cell : marked) {
            ScriptObject* object = cell->GetTarget();
            if (Is(object, k_ClassTJoint)) {
                auto* joint = static_cast<TJoint*>(object);
                if (joint->GetIKDependency() == &handle) {
                    joint->SetIKDependency(nullptr);
                    work.m_Released.push_back(joint);
                }
            }
        }
        marked.Clear();
        for (TJoint* joint : work.m_Chain)
            marked.Add(Obj<WeakObjTarget>(const_cast<WeakObjTarget*>(joint->GetWeakObjTarget())));
    }
    // Claimed when free, or held by a handle of higher priority. That handle, when it has
    // solved already in this pass (it came first in the tree, and the first frame had not told
    // it of this one), solves again after this one: it has the last word on shared joints.
    work.m_Owner.resize(work.m_Chain.size());
    const TIKHandle* overtaken = nullptr;
    for (size_t i = 0; i < work.m_Chain.size(); ++i) {
        TJoint* joint = work.m_Chain[i];
        const TIKHandle* owner = HandleOf(joint, work);
        if (owner != &handle &&
            (owner == nullptr || owner->GetSolvePriority() > handle.GetSolvePriority())) {
            if (owner != nullptr && owner != overtaken && owner->GetMatrixFrame() == m_Frame) {
                overtaken = owner;
                m_Pending.Add(Obj<TNode>(const_cast<TIKHandle*>(owner)));
            }
            joint->SetIKDependency(&handle);
            owner = &handle;
        }
        work.m_Owner[i] = owner;
    }
    // Joints that left the chain were skipped in this pass: update them now under their parent
    // when it is already placed (otherwise the walk still reaches them).
    if (work.m_Released.empty())
        return;
    std::unordered_set<const TNode*> released(work.m_Released.begin(), work.m_Released.end());
    for (TJoint* joint : work.m_Released) {
        if (!joint->GetIKDependency()->IsNil() || released.count(joint->GetParent()) != 0)
            continue;
        const TBaseTransform* parent = joint->GetParentTransform();
        if (parent != nullptr && parent->GetMatrixFrame() == m_Frame)
            PushChild(joint, parent->GetModelViewMatrix());
    }
}

void XMiniUpdateTraverse::ReleaseIKChain(TIKHandle& handle) {
    // Reuses the claim with an empty chain: every marked joint is let go.
    IKWork& work = *m_IK;
    work.m_Chain.clear();
    if (handle.m_Marked.Size() != 0)
        ClaimIKChain(handle);
}

bool XMiniUpdateTraverse::WaitsForIKPriority(const TIKHandle& handle) {
    IKWork& work = *m_IK;
    if (work.m_State != IKWork::Chain::Valid)
        return false;
    std::unordered_set<const TNode*> chain; // filled when first needed
    for (const TIKHandle* owner : work.m_Owner) {
        if (owner == nullptr || owner == &handle ||
            owner->GetSolvePriority() >= handle.GetSolvePriority() ||
            owner->GetMatrixFrame() == m_Frame)
            continue;
        // An owner starting inside this chain needs this chain's result first.
        if (chain.empty())
            chain.insert(work.m_Chain.begin() + 1, work.m_Chain.end());
        if (chain.count(owner->GetStartJoint()) != 0)
            continue;
        if (m_Debug)
            Internal::LogScriptDebug("SolvableIK: waiting for ", owner->GetNameCPtr());
        return true;
    }
    return false;
}

void XMiniUpdateTraverse::ReportIK(TIKHandle& handle, const char* why) {
    if (handle.m_IKSetupReported)
        return;
    handle.m_IKSetupReported = true;
    const char* name = handle.GetNameCPtr();
    Internal::LogScriptError("IK: ", why, " for ", name != nullptr ? name : "");
}

void XMiniUpdateTraverse::SolveIK(TIKHandle& handle, const Matrix4f& current) {
    IKWork& work = *m_IK;
    if (work.m_Handle != &handle) {
        const TJoint* start = handle.GetStartJoint();
        GatherIKChain(handle, start != nullptr ? start->GetParentTransform() : nullptr);
    }
    work.m_Handle = nullptr; // the gathered chain serves this solve only
    if (work.m_State != IKWork::Chain::Valid) {
        if (work.m_State == IKWork::Chain::Broken)
            ReportIK(handle, work.m_Why);
        ReleaseIKChain(handle);
        return;
    }

    // The start state: joints already solved in this pass by a handle of theirs keep that
    // result; the others take their rest pose under it.
    const size_t count = work.m_Chain.size();
    const bool spline = IsSplineIK(handle);
    work.m_Start.resize(count);
    work.m_Points.resize(count + 1);
    work.m_Rotation.assign(count, IKQuat{});
    work.m_Kept.resize(count);
    const Matrix4f* parent = &work.m_StartParent->GetModelViewMatrix();
    for (size_t i = 0; i < count; ++i) {
        TJoint* joint = work.m_Chain[i];
        // As the normal update does, the joint cancels its parent's scaling.
        if (i == 0)
            CopyParentScaling(joint, work);
        else
            S(joint).SetParentScaling(S(work.m_Chain[i - 1]).GetScaling());
        const TIKHandle* owner = work.m_Owner[i];
        work.m_Kept[i] = owner != &handle && owner->GetMatrixFrame() == m_Frame;
        if (work.m_Kept[i])
            work.m_Start[i] = joint->GetModelViewMatrix();
        else
            work.m_Start[i].AssignMul(LocalOf(joint).GetLocalMatrix(), *parent);
        work.m_Points[i] = PositionOf(work.m_Start[i]);
        parent = &work.m_Start[i];
    }
    TIKEffector* effector = handle.GetEndEffector();
    // Only the effector's place matters: its local translation row under the last joint.
    work.m_Points[count] =
        PointOf(LocalOf(effector).GetLocalMatrix().GetM3Vector3(), work.m_Start.back());
    const IKVec target = PositionOf(handle.GetModelViewMatrix());
    const auto* s = static_cast<const SIKHandle*>(handle.GetSNode());
    const double twist = static_cast<double>(s->GetTwist()) * Internal::k_DegreesToRadians;

    bool solved = false;
    bool finite = Internal::Finite(target) && std::isfinite(twist);
    for (const IKVec& p : work.m_Points)
        finite = finite && Internal::Finite(p);
    if (spline) {
        solved = finite && SolveSplineIK(handle, current);
    } else if (!finite) {
        // Left in the rest pose.
    } else if (count == 1) {
        const IKVec a = work.m_Points[0];
        const IKVec toTarget = target - a;
        work.m_Rotation[0] =
            Internal::Compose(Internal::RotationBetween(work.m_Points[1] - a, toTarget),
                              Internal::AxisAngle(toTarget, twist));
        solved = true;
    } else if (count == 2) {
        // The pole in this pass's space; without one, the side the rest pose turned by the
        // preferred angles bends to.
        Vector3f poleVector;
        MulVector3Matrix3x3(poleVector, s->GetPoleVector(), current);
        IKVec pole = ToIK(poleVector);
        if (!(Internal::Length(pole) > 0.0)) {
            // The middle joint and the effector in the start joint's frame, turned by the
            // preferred angles (each turns what lies below its joint), then into the pass.
            const Matrix4f& local1 = LocalOf(work.m_Chain[1]).GetLocalMatrix();
            Vector3f end = LocalOf(effector).GetLocalMatrix().GetM3Vector3();
            Vector3f middle = local1.GetM3Vector3();
            Vector3f v;
            if (S(work.m_Chain[1]).GetPreferredAngle() != Vector3f::Zero) {
                MulVector3Matrix3x3(v, end, S(work.m_Chain[1]).GetPreferredTurn());
                end = v;
            }
            MulVector3Matrix4x3(v, end, local1);
            end = v;
            if (S(work.m_Chain[0]).GetPreferredAngle() != Vector3f::Zero) {
                const Matrix4f& turn = S(work.m_Chain[0]).GetPreferredTurn();
                MulVector3Matrix3x3(v, end, turn);
                end = v;
                MulVector3Matrix3x3(v, middle, turn);
                middle = v;
            }
            MulVector3Matrix4x3(v, end, work.m_Start[0]);
            end = v;
            MulVector3Matrix4x3(v, middle, work.m_Start[0]);
            middle = v;
            const IKVec a = work.m_Points[0];
            const IKVec bone = ToIK(middle) - a;
            const IKVec line = ToIK(end) - a;
            const double lineLength = Internal::Length(line);
            pole = lineLength > 0.0
                       ? bone - line * (Internal::Dot(bone, line) / (lineLength * lineLength))
                       : bone;
            // A straight pose leaves rounding noise, which is no side.
            if (!(Internal::Length(pole) > 1e-5 * Internal::Length(bone)))
                pole = IKVec{};
        }
        Internal::TwoBoneResult result;
        // Last resort for the side: the start joint's own frame, which turns with the pass.
        const IKVec fallback =
            ToIK(work.m_Start[0].GetM1Vector3()) + ToIK(work.m_Start[0].GetM2Vector3()) * 0.5;
        if (Internal::SolveTwoBone(work.m_Points[0], work.m_Points[1], work.m_Points[2], target,
                                   pole, fallback, twist, result)) {
            work.m_Rotation[0] = result.m_Upper;
            work.m_Rotation[1] = result.m_Lower;
            work.m_Points[1] = result.m_Middle;
            solved = true;
        }
    } else {
        // Seeded with the preferred angles, which decide the way the chain folds.
        bool turned = false;
        for (const TJoint* joint : work.m_Chain)
            turned = turned || S(joint).GetPreferredAngle() != Vector3f::Zero;
        if (turned) {
            const Matrix4f* above = &work.m_StartParent->GetModelViewMatrix();
            for (size_t i = 0; i < count; ++i) {
                const TJoint* joint = work.m_Chain[i];
                if (!work.m_Kept[i]) {
                    Matrix4f m;
                    m.AssignMul(LocalOf(joint).GetLocalMatrix(), *above);
                    if (S(joint).GetPreferredAngle() != Vector3f::Zero) {
                        work.m_Start[i].AssignMul(S(joint).GetPreferredTurn(), m);
                    } else {
                        work.m_Start[i] = m;
                    }
                }
                work.m_Points[i] = PositionOf(work.m_Start[i]);
                above = &work.m_Start[i];
            }
            work.m_Points[count] =
                PointOf(LocalOf(effector).GetLocalMatrix().GetM3Vector3(), work.m_Start.back());
        }
        Internal::SolveCCD(work.m_Points, work.m_Rotation, target, k_CCDIterations, k_CCDTolerance);
        if (twist != 0.0) {
            const IKVec a = work.m_Points[0];
            const IKQuat roll = Internal::AxisAngle(work.m_Points[count] - a, twist);
            for (size_t i = 0; i <= count; ++i) {
                work.m_Points[i] = a + Internal::Rotate(roll, work.m_Points[i] - a);
                if (i < count)
                    work.m_Rotation[i] = Internal::Compose(work.m_Rotation[i], roll);
            }
        }
        solved = true;
    }

    // Write the chain; anything not finite leaves the whole chain in its start state.
    for (size_t i = 0; solved && i <= count; ++i) {
        // Checked as the floats written: a double beyond the float range is no place either.
        const Vector3f written = ToVector(work.m_Points[i]);
        solved = std::isfinite(written.GetX()) && std::isfinite(written.GetY()) &&
                 std::isfinite(written.GetZ());
        if (solved && i < count) {
            const IKQuat& q = work.m_Rotation[i];
            solved = std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) &&
                     std::isfinite(q.w);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        TJoint* joint = work.m_Chain[i];
        joint->SetModelViewMatrix(
            solved ? Solved(work.m_Start[i], work.m_Rotation[i], work.m_Points[i])
                   : work.m_Start[i]);
        joint->SetMatrixFrame(m_Frame);
    }
    // The joints' children follow: the effector and side branches; the next chain joint is
    // placed already (last child first, so that children are visited in order).
    for (size_t i = count; i-- > 0;) {
        const TJoint* joint = work.m_Chain[i];
        const TNode* next = i + 1 < count ? work.m_Chain[i + 1] : nullptr;
        for (int c = joint->ChildCount() - 1; c >= 0; --c) {
            TNode* child = joint->GetChild(c);
            if (child != next)
                PushChild(child, joint->GetModelViewMatrix());
        }
    }
}

bool XMiniUpdateTraverse::SolveSplineIK(TIKHandle& handle, const Matrix4f& current) {
    IKWork& work = *m_IK;
    const auto& spline = static_cast<const TIKSplineHandle&>(handle);
    const TSplineCurve* curve = spline.GetSplineCurve();
    if (curve == nullptr || curve->IsNil() || !Is(curve->GetSNode(), k_ClassSSplineCurve)) {
        ReportIK(handle, "spline IK without a curve");
        return false;
    }
    const auto* s = static_cast<const SSplineCurve*>(curve->GetSNode());
    const TBaseTransform* curveParent = curve->GetParentTransform();
    const Matrix4f& space = curveParent != nullptr ? curveParent->GetModelViewMatrix() : current;
    const Array<Vector3f>& cvs = s->GetCVArray();
    const Array<Obj<ScriptObject>>& clusters = spline.GetClusterHandleArray();
    work.m_CVs.resize(static_cast<size_t>(cvs.Size()));
    for (int i = 0; i < cvs.Size(); ++i) {
        Vector3f cv = cvs[i];
        const Matrix4f* through = &space;
        ScriptObject* cluster = i < clusters.Size() ? clusters[i].Get() : nullptr;
        if (Is(cluster, k_ClassTBaseTransform)) {
            const auto* node = static_cast<const TBaseTransform*>(cluster);
            if (Is(node->GetSNode(), k_ClassSClusterHandle))
                cv -= static_cast<const SClusterHandle*>(node->GetSNode())->GetOrigin();
            through = &node->GetModelViewMatrix();
        }
        Vector3f placed;
        MulVector3Matrix4x3(placed, cv, *through);
        work.m_CVs[static_cast<size_t>(i)] = ToIK(placed);
    }
    const Array<float>& knots = s->GetKnotArray();
    work.m_Knots.resize(static_cast<size_t>(knots.Size()));
    for (int i = 0; i < knots.Size(); ++i)
        work.m_Knots[static_cast<size_t>(i)] = knots[i];
    const char* why = "";
    if (!work.m_Curve.Assign(work.m_CVs, work.m_Knots, why)) {
        ReportIK(handle, why);
        return false;
    }
    work.m_Curve.MeasureArcLength(k_SplineSamplesPerSpan);

    // Joints at the rest pose's bone lengths along the curve.
    const size_t count = work.m_Chain.size();
    work.m_Rest = work.m_Points;
    double along = 0.0;
    work.m_Points[0] = work.m_Curve.AtArcLength(0.0);
    for (size_t i = 0; i < count; ++i) {
        along += Internal::Length(work.m_Rest[i + 1] - work.m_Rest[i]);
        work.m_Points[i + 1] = work.m_Curve.AtArcLength(along);
    }
    // Each joint aims at the next; the turn is carried down so that each bone turns the least
    // from where its parent's turn took it. The twist is added after, joint by joint.
    const double twist =
        static_cast<double>(static_cast<const SIKHandle*>(handle.GetSNode())->GetTwist()) *
        Internal::k_DegreesToRadians;
    IKQuat carried;
    for (size_t i = 0; i < count; ++i) {
        const IKVec rest = Internal::Rotate(carried, work.m_Rest[i + 1] - work.m_Rest[i]);
        const IKVec bone = work.m_Points[i + 1] - work.m_Points[i];
        carried = Internal::Compose(carried, Internal::RotationBetween(rest, bone));
        const double share =
            count > 1 ? static_cast<double>(i) / static_cast<double>(count - 1) : 1.0;
        work.m_Rotation[i] = Internal::Compose(carried, Internal::AxisAngle(bone, twist * share));
    }
    return true;
}

} // namespace Quorlix
