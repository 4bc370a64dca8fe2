// Building and releasing a scene tree of 100,000 transforms through the object interface, and
// the resident memory of the same tree with a box mesh under every leaf transform.

#include "BenchRatios.h"
#include "quorlix/core/Memory.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/Transform.h"

#include <cstdio>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Nodes = 100000;
constexpr int k_Branching = 10;
constexpr double k_MiB = 1024.0 * 1024.0;

// The parent of node i in breadth-first order: a root with 10 children, each with 10, and so on
// until the node count is reached. Nodes 10,000 and above are leaves (90,000 of them).
constexpr int ParentOf(int i) {
    return (i - 1) / k_Branching;
}
constexpr bool IsLeaf(int i) {
    return i * k_Branching + 1 >= k_Nodes;
}

// Every transform gets a translation, a rotation and a scaling of its own, through the setters
// (which keep the component word and invalidate the matrices as a script assignment would).
TTransform* NewTransform(int i) {
    TTransform* t = TTransform::Create();
    auto* s = static_cast<STransform*>(t->GetSNode());
    const float f = static_cast<float>(i % 97);
    s->SetTranslation(Vector3f(f, 1.0f, -f));
    s->SetRotation(Vector3f(0.01f * f, 0.5f, 0.0f));
    s->SetScaling(Vector3f(1.0f, 1.0f + 0.01f * f, 1.0f));
    return t;
}

// The tree in `nodes` (breadth-first; nodes[0] is the root, held by `root`).
void BuildTree(Obj<TTransform>& root, std::vector<TTransform*>& nodes) {
    nodes.clear();
    root = NewTransform(0);
    nodes.push_back(root.Get());
    for (int i = 1; i < k_Nodes; ++i) {
        TTransform* t = NewTransform(i);
        nodes[ParentOf(i)]->AddChild(t); // the parent's Child array holds the only reference
        nodes.push_back(t);
    }
}

// A unit box: 6 faces of 4 vertices with their face normals, 12 triangles.
TPolygonGeometry* NewBox() {
    static const float k_Faces[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                        {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    Array<Vector3f> positions;
    Array<Vector3f> normals;
    Array<int32_t> indices;
    positions.Reserve(24);
    normals.Reserve(24);
    indices.Reserve(36);
    for (int f = 0; f < 6; ++f) {
        const Vector3f n(k_Faces[f][0], k_Faces[f][1], k_Faces[f][2]);
        // Two axes across the face: the ones its normal does not point along.
        const Vector3f u(n.GetY() != 0 || n.GetZ() != 0 ? 1.0f : 0.0f, n.GetX() != 0 ? 1.0f : 0.0f,
                         0.0f);
        const Vector3f v(0.0f, n.GetZ() != 0 ? 1.0f : 0.0f,
                         n.GetX() != 0 || n.GetY() != 0 ? 1.0f : 0.0f);
        const int first = positions.Size();
        for (int corner = 0; corner < 4; ++corner) {
            const float a = (corner & 1) != 0 ? 0.5f : -0.5f;
            const float b = (corner & 2) != 0 ? 0.5f : -0.5f;
            positions.Add(n * 0.5f + u * a + v * b);
            normals.Add(n);
        }
        for (int k : {0, 1, 3, 0, 3, 2})
            indices.Add(first + k);
    }
    TPolygonGeometry* box = TPolygonGeometry::Create();
    auto* mesh = static_cast<SPolygonGeometry*>(box->GetSNode());
    mesh->SetPrimType(Primitive::Triangle);
    mesh->SetPrimCount(12);
    mesh->SetVertexArray(positions);
    mesh->m_NormalArray = normals;
    mesh->SetIndexArray(indices);
    return box;
}

void BM_Scene_CreateTree(benchmark::State& state) {
    Obj<TTransform> root;
    std::vector<TTransform*> nodes;
    nodes.reserve(k_Nodes);
    for (auto _ : state) {
        BuildTree(root, nodes);
        // Releasing the tree is not timed here (BM_Scene_ReleaseTree times it).
        state.PauseTiming();
        root = nullptr;
        state.ResumeTiming();
    }
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * k_Nodes, benchmark::Counter::kIsRate);
}

void BM_Scene_ReleaseTree(benchmark::State& state) {
    Obj<TTransform> root;
    std::vector<TTransform*> nodes;
    nodes.reserve(k_Nodes);
    for (auto _ : state) {
        state.PauseTiming();
        BuildTree(root, nodes);
        state.ResumeTiming();
        root = nullptr; // the whole tree dies with its root, without recursion
    }
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * k_Nodes, benchmark::Counter::kIsRate);
}

// Peak resident memory with a box under every leaf transform. Each leaf gets its own geometry
// pair and arrays, as a scene read from a file would; one shared SPolygonGeometry (or shared
// arrays, which are counted blocks) would be far cheaper. Runs first and once: the peak never
// goes down, so a tree built earlier in the process would hide this one.
void BM_Scene_TreeMemory(benchmark::State& state) {
    const size_t before = Platform::PeakResidentBytes();
    Obj<TTransform> root;
    std::vector<TTransform*> nodes;
    nodes.reserve(k_Nodes);
    int boxes = 0;
    for (auto _ : state) {
        BuildTree(root, nodes);
        for (int i = 0; i < k_Nodes; ++i) {
            if (IsLeaf(i)) {
                nodes[i]->AddChild(NewBox());
                ++boxes;
            }
        }
    }
    const size_t peak = Platform::PeakResidentBytes();
    root = nullptr;
    const double grown = static_cast<double>(peak - before);
    state.counters["peak_MiB"] = static_cast<double>(peak) / k_MiB;
    state.counters["tree_MiB"] = grown / k_MiB;
    state.counters["bytes_per_node"] = grown / k_Nodes;
    state.counters["boxes"] = boxes;
}

// Registration order is run order: the memory measurement comes first.
BENCHMARK(BM_Scene_TreeMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scene_CreateTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scene_ReleaseTree)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    const int result = QuorlixBench::RunAndCompare(
        argc, argv, {}, {},
        {{"BM_Scene_TreeMemory/iterations:1", "peak at most 200 MiB", "peak_MiB", 200}});
    // The library's own counters of blocks in use; -1 while allocation is not tracked.
    std::printf("Counted memory: GetMemoryCount %d, GetMemoryUsage %d, type records %d\n",
                Memory::GetMemoryCount(), Memory::GetMemoryUsage(), GetTypeInfoRegistrationCount());
    DLLDeInitialize(0);
    return result;
}
