// One update traversal of a tree of 100,000 transform nodes (branching 10, every node with a
// translation, rotation and scaling, local matrices cached, made depth first as a scene file
// lists them), beside a plain loop that multiplies the same local matrices with their parents'
// results in arrays of the same order. The traversal runs its plan when the tree kept its
// shape since the last update (the usual frame); the full walk, which visits every object and
// makes the plan, is measured on its own by changing the tree's shape before every update.

#include "BenchRatios.h"
#include "quorlix/library/Library.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"

#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Nodes = 100000;
constexpr int k_Branching = 10;

struct Tree {
    Tree() {
        DLLInitialize(0);
        // Complete levels of 10 up to 100,000 nodes, made depth first as a scene file lists
        // them; parents always come before their children in the arrays.
        m_Nodes.reserve(k_Nodes);
        int remaining = k_Nodes;
        int depth = 0;
        for (int level = 1; remaining > 0; level *= k_Branching, ++depth)
            remaining -= level;
        Add(-1, 0, depth);
        m_Result.resize(m_Nodes.size());
    }

    // Node with parent `parent` at `level`, then its subtree, while the count allows.
    void Add(int parent, int level, int depth) {
        if (static_cast<int>(m_Nodes.size()) >= k_Nodes)
            return;
        const int index = static_cast<int>(m_Nodes.size());
        Obj<TTransform> node(TTransform::Create());
        auto& s = *static_cast<STransform*>(node->GetSNode());
        const auto f = static_cast<float>(index % 97);
        s.SetTranslation(Vector3f(f * 0.01f, 1.0f, -f * 0.02f));
        s.SetRotation(Vector3f(f, 2.0f * f, 0.5f * f));
        s.SetScaling(Vector3f(1.0f + f * 0.001f, 1.0f, 1.0f));
        if (parent >= 0)
            m_Nodes[static_cast<size_t>(parent)]->AddChild(node);
        m_Parent.push_back(parent);
        m_Local.push_back(s.GetLocalMatrix()); // builds and caches it
        m_Nodes.push_back(node);
        if (level + 1 < depth) {
            for (int i = 0; i < k_Branching; ++i)
                Add(index, level + 1, depth);
        }
    }

    ~Tree() {
        m_Nodes.clear();
        DLLDeInitialize(0);
    }

    std::vector<Obj<TTransform>> m_Nodes;
    std::vector<int> m_Parent;
    std::vector<Matrix4f> m_Local;
    std::vector<Matrix4f> m_Result;
};

Tree& TheTree() {
    static Tree tree;
    return tree;
}

void BM_XMiniUpdateTraverse_UpdateTree(benchmark::State& state) {
    Tree& tree = TheTree();
    XMiniUpdateTraverse traverse;
    uint32_t frame = 0;
    for (auto _ : state) {
        traverse.SetFrame(++frame);
        traverse.UpdateTree(tree.m_Nodes[0], Matrix4f::Identity);
    }
    if (tree.m_Nodes.back()->GetMatrixFrame() != frame)
        state.SkipWithError("the traversal did not reach the last node");
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(k_Nodes), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_XMiniUpdateTraverse_UpdateTree)->Unit(benchmark::kMillisecond);

void BM_XMiniUpdateTraverse_FullWalk(benchmark::State& state) {
    Tree& tree = TheTree();
    XMiniUpdateTraverse traverse;
    uint32_t frame = 0;
    SNode* root = tree.m_Nodes[0]->GetSNode();
    for (auto _ : state) {
        root->SetVisibility(1); // a change of shape as far as the plan is concerned
        traverse.SetFrame(++frame);
        traverse.UpdateTree(tree.m_Nodes[0], Matrix4f::Identity);
    }
    if (tree.m_Nodes.back()->GetMatrixFrame() != frame)
        state.SkipWithError("the traversal did not reach the last node");
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(k_Nodes), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_XMiniUpdateTraverse_FullWalk)->Unit(benchmark::kMillisecond);

void BM_PlainLoop_MultiplyMatrices(benchmark::State& state) {
    Tree& tree = TheTree();
    for (auto _ : state) {
        tree.m_Result[0] = tree.m_Local[0];
        for (int i = 1; i < static_cast<int>(tree.m_Local.size()); ++i)
            tree.m_Result[i].AssignMul(tree.m_Local[i], tree.m_Result[tree.m_Parent[i]]);
        benchmark::DoNotOptimize(tree.m_Result.data());
    }
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(k_Nodes), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainLoop_MultiplyMatrices)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    TheTree();
    // 10 million nodes a second is 10 ms for the tree.
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {QuorlixBench::Comparison{"BM_XMiniUpdateTraverse_UpdateTree",
                                  "BM_PlainLoop_MultiplyMatrices"},
         QuorlixBench::Comparison{"BM_XMiniUpdateTraverse_FullWalk",
                                  "BM_PlainLoop_MultiplyMatrices"}},
        {{"BM_XMiniUpdateTraverse_UpdateTree", "at least 10 million nodes per second", 1e7, 0},
         {"BM_XMiniUpdateTraverse_FullWalk", "at least 10 million nodes per second", 1e7, 0}});
}
