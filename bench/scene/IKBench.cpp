// Two-bone IK handles solved in the update traversal, beside the update of the same nodes with
// the handles left unset, and a frame of 1,000 constrained nodes (point, orient, parent and aim
// constraints with one or two targets) beside the same nodes without constraints.

#include "BenchRatios.h"
#include "quorlix/library/Library.h"
#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"

#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Rigs = 1000;
constexpr int k_Constrained = 1000;
constexpr int k_Targets = 100;

template <class V, bool Index = false>
const ClassMemberOf<V, Index>* Row(int c, const char* name) {
    return static_cast<const ClassMemberOf<V, Index>*>(FindClassMember(BuiltinTypeID(c), name));
}

template <class T>
Obj<T> Make(TBranch* parent, const Vector3f& translation, const Vector3f& rotation) {
    Obj<T> node(T::Create());
    auto* s = static_cast<SSimpleTransform*>(node->GetSNode());
    s->SetTranslation(translation);
    s->SetRotation(rotation);
    parent->AddChild(node);
    return node;
}

// Legs: a turned base, hip and knee joints, an effector at the foot, and a handle at a target
// within reach; with `solve` false the handles have no chain.
struct Rigs {
    explicit Rigs(bool solve) {
        m_Root = TBranch::Create();
        for (int i = 0; i < k_Rigs; ++i) {
            const auto f = static_cast<float>(i % 37);
            Obj<TTransform> base = Make<TTransform>(m_Root, Vector3f(f, 0, -f), Vector3f(0, f, 0));
            Obj<TJoint> hip = Make<TJoint>(base, Vector3f(0, 1, 0), Vector3f::Zero);
            Obj<TJoint> knee = Make<TJoint>(hip, Vector3f(0, -0.5f, 0), Vector3f::Zero);
            static_cast<SJoint*>(knee->GetSNode())->SetPreferredAngle(Vector3f(20, 0, 0));
            Obj<TIKEffector> foot = Make<TIKEffector>(knee, Vector3f(0, -0.5f, 0), Vector3f::Zero);
            Obj<TIKHandle> handle = Make<TIKHandle>(
                m_Root, Vector3f(f + 0.1f * (f - 18) / 18, 0.3f, -f + 0.2f), Vector3f::Zero);
            if (solve) {
                handle->Set(Row<ScriptObject*>(k_ClassTIKHandle, "StartJoint"), hip.Get());
                handle->Set(Row<ScriptObject*>(k_ClassTIKHandle, "EndEffector"), foot.Get());
            }
            m_Feet.push_back(foot);
            m_Handles.push_back(handle);
        }
    }
    Obj<TBranch> m_Root;
    std::vector<Obj<TIKEffector>> m_Feet;
    std::vector<Obj<TIKHandle>> m_Handles;
};

struct Library {
    Library() { DLLInitialize(0); }
    ~Library() { DLLDeInitialize(0); }
};

Library& TheLibrary() {
    static Library library;
    return library;
}

void UpdateRigs(benchmark::State& state, bool solve) {
    TheLibrary();
    Rigs rigs(solve);
    XMiniUpdateTraverse traverse;
    uint32_t frame = 0;
    for (auto _ : state) {
        traverse.SetFrame(++frame);
        traverse.UpdateTree(rigs.m_Root, Matrix4f::Identity);
    }
    if (solve) {
        // Every foot on its handle.
        for (int i = 0; i < k_Rigs; ++i) {
            const Vector3f d = rigs.m_Feet[i]->GetModelViewMatrix().GetM3Vector3() -
                               rigs.m_Handles[i]->GetModelViewMatrix().GetM3Vector3();
            if (d.Length() > 1e-4f)
                state.SkipWithError("a foot missed its handle");
        }
    }
    state.counters["rigs_per_second"] = benchmark::Counter(
        static_cast<double>(k_Rigs), benchmark::Counter::kIsIterationInvariantRate);
}

// The handles alone, each updated as the walk reaches it, after one update has placed the
// rest under the same stamp: the solve and the effector it moves, beside handles without a
// chain.
void UpdateHandles(benchmark::State& state, bool solve) {
    TheLibrary();
    Rigs rigs(solve);
    XMiniUpdateTraverse traverse;
    traverse.SetFrame(1);
    traverse.UpdateTree(rigs.m_Root, Matrix4f::Identity);
    for (auto _ : state) {
        for (const Obj<TIKHandle>& handle : rigs.m_Handles)
            traverse.UpdateTree(handle, Matrix4f::Identity);
    }
    if (solve && rigs.m_Feet[0]->GetModelViewMatrix().GetM3Vector3().Distance(
                     rigs.m_Handles[0]->GetModelViewMatrix().GetM3Vector3()) > 1e-4f)
        state.SkipWithError("a foot missed its handle");
    state.counters["handles_per_second"] = benchmark::Counter(
        static_cast<double>(k_Rigs), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TwoBoneIK_SolveHandles(benchmark::State& state) {
    UpdateHandles(state, true);
}
BENCHMARK(BM_TwoBoneIK_SolveHandles)->Unit(benchmark::kMicrosecond);

void BM_HandlesWithoutChain_Update(benchmark::State& state) {
    UpdateHandles(state, false);
}
BENCHMARK(BM_HandlesWithoutChain_Update)->Unit(benchmark::kMicrosecond);

void BM_TwoBoneIK_Update(benchmark::State& state) {
    UpdateRigs(state, true);
}
BENCHMARK(BM_TwoBoneIK_Update)->Unit(benchmark::kMicrosecond);

void BM_SameNodesWithoutIK_Update(benchmark::State& state) {
    UpdateRigs(state, false);
}
BENCHMARK(BM_SameNodesWithoutIK_Update)->Unit(benchmark::kMicrosecond);

// Targets first, then the constrained nodes; with `constrain` false the nodes have none.
void UpdateConstrained(benchmark::State& state, bool constrain) {
    TheLibrary();
    Obj<TBranch> root(TBranch::Create());
    std::vector<Obj<TTransform>> targets;
    for (int i = 0; i < k_Targets; ++i) {
        const auto f = static_cast<float>(i);
        targets.push_back(Make<TTransform>(root, Vector3f(f, 2 * f, -f), Vector3f(f, 0, 2 * f)));
    }
    const auto* targetRow = Row<ScriptObject*, true>(k_ClassConstraint, "TargetArray");
    const auto* constraintRow = Row<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray");
    const auto* typeRow = Row<const ClassType_Enum*>(k_ClassTransformConstraint, "ConstraintType");
    for (int i = 0; i < k_Constrained; ++i) {
        const auto f = static_cast<float>(i % 53);
        Obj<TTransform> node = Make<TTransform>(root, Vector3f(f, -f, 1), Vector3f(0, 0, f));
        if (!constrain)
            continue;
        const int kind = i % 4; // point, orient, parent, aim
        Obj<ScriptObject> c = ScriptObject::Create(
            BuiltinTypeID(kind == 3 ? k_ClassAimConstraint : k_ClassTransformConstraint));
        if (kind < 3)
            c->Set(typeRow, MemberIDOf<ClassType_Enum>(
                                kind + 1, k_ClassTransformConstraintConstraintTypeEnum));
        const int count = 1 + i % 2;
        for (int t = 0; t < count; ++t)
            c->Set(targetRow, t, targets[static_cast<size_t>((i * 7 + t * 13) % k_Targets)].Get());
        node->Set(constraintRow, 0, c.Get());
    }
    XMiniUpdateTraverse traverse;
    SceneUpdateFrame frame;
    Matrix4f view;
    view.MakeRotation(Vector3f(0.2f, 0.5f, 0), Eulerf::XYZ);
    for (auto _ : state) {
        ++frame.m_Frame;
        if (UpdateSceneFrame(traverse, root, view, frame) != 0)
            state.SkipWithError("nodes left waiting");
    }
    state.counters["constrained_nodes_per_second"] = benchmark::Counter(
        static_cast<double>(k_Constrained), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ConstrainedNodes_UpdateSceneFrame(benchmark::State& state) {
    UpdateConstrained(state, true);
}
BENCHMARK(BM_ConstrainedNodes_UpdateSceneFrame)->Unit(benchmark::kMicrosecond);

void BM_SameNodesUnconstrained_UpdateSceneFrame(benchmark::State& state) {
    UpdateConstrained(state, false);
}
BENCHMARK(BM_SameNodesUnconstrained_UpdateSceneFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // 2 million two-bone solves a second is 500 microseconds for the 1,000 handles.
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {{"BM_TwoBoneIK_SolveHandles", "BM_HandlesWithoutChain_Update"},
         {"BM_TwoBoneIK_Update", "BM_SameNodesWithoutIK_Update"},
         {"BM_ConstrainedNodes_UpdateSceneFrame", "BM_SameNodesUnconstrained_UpdateSceneFrame"}},
        {{"BM_TwoBoneIK_SolveHandles", "at least 2 million two-bone solves per second", 5e5, 0},
         {"BM_TwoBoneIK_Update", "2 million rigs per second with their whole update", 5e5, 0}});
}
