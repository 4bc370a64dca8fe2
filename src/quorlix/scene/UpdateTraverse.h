#pragma once
// The update traversal: walks a tree of T nodes from a root under a root matrix and gives every
// transform node its ModelViewMatrix, the product of its local matrix, its ancestors' and the
// root matrix (row vectors: a point goes through its own local matrix first). Nodes whose inputs
// are not up to date in this pass (constraint targets, IK chains) are handed back in the pending
// list instead; particle systems and sound nodes are collected for the frame.
//
// The walk keeps its own stack, so trees of any depth are safe. One traversal object serves one
// thread; the tree must not change while it runs.
//
// A walk that meets only branches, leaves and plain transforms (no constraints, joints, IK,
// LOD groups, particles or sound nodes) leaves a plan behind: the list of its matrix products
// in walk order. While no tree changes shape (see the structure counter of the scene module)
// the next walk from the same root under the same exclusion mask runs the plan instead of
// visiting the objects: the same products in the same order, reading the cached local
// matrices and writing the results, and nothing else. Changes of local members need no new
// plan; a local matrix marked invalid is rebuilt on the way as in a walk.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/scene/Transform.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Quorlix {

class TBaseTransform;
class TIKHandle;
class TJoint;
namespace Internal {
struct IKWork;
}

class QUORLIX_API XMiniUpdateTraverse {
public:
    XMiniUpdateTraverse();
    ~XMiniUpdateTraverse();
    XMiniUpdateTraverse(const XMiniUpdateTraverse&) = delete;
    XMiniUpdateTraverse& operator=(const XMiniUpdateTraverse&) = delete;

    /// Nodes whose S node's Visibility shares a bit with the exclusion mask are skipped with
    /// their subtree. The draw mask is kept for the drawing side.
    void SetMasks(uint32_t excludeMask, uint32_t drawMask) noexcept;
    uint32_t GetExcludeMask() const noexcept { return m_ExcludeMask; }
    uint32_t GetDrawMask() const noexcept { return m_DrawMask; }
    /// The stamp written to MatrixFrame of every updated transform node in this pass.
    void SetFrame(uint32_t stamp) noexcept { m_Frame = stamp; }
    uint32_t GetFrame() const noexcept { return m_Frame; }
    /// With debug on, waiting nodes are reported with debug log lines ("Wait/Dependant: ...").
    void SetDebug(bool on) noexcept { m_Debug = on; }

    /// Updates the subtree of `node` with `matrix` as the current matrix. Null or the nil
    /// object does nothing.
    void UpdateTree(TNode* node, const Matrix4f& matrix);

    /// Nodes that waited in this pass, particle systems (TParticles), sound emitters and sound
    /// receivers met; each entry holds a count.
    const Array<Obj<TNode>>& GetPending() const noexcept { return m_Pending; }
    const Array<Obj<TNode>>& GetParticles() const noexcept { return m_Particles; }
    const Array<Obj<TNode>>& GetSoundEmitters() const noexcept { return m_SoundEmitters; }
    const Array<Obj<TNode>>& GetSoundReceivers() const noexcept { return m_SoundReceivers; }
    /// Takes the pending list over (the traversal's own becomes empty and keeps the capacity
    /// `out` had).
    void TakePending(Array<Obj<TNode>>& out);
    /// Updates the pending nodes again, each under its parent transform's ModelViewMatrix (or
    /// `root` when it has none); those that still wait form the new pending list.
    void UpdatePending(const Matrix4f& root);
    /// Empties all four lists. They keep their capacity, so a frame like the last one
    /// allocates nothing.
    void ClearLists();

private:
    // A node to visit and the matrix it is visited under: its parent transform's
    // ModelViewMatrix or the root matrix, both of which outlive the walk.
    struct Step {
        TNode* m_Node;
        const Matrix4f* m_Matrix;
    };
    enum class Kind : uint8_t;
    Kind KindOf(const TNode* node) noexcept;
    // Runs one node; children to visit go onto the stack.
    void Visit(TNode* node, const Matrix4f& current);
    void VisitTransform(TNode* node, Kind kind, const Matrix4f& current);
    bool Waits(TNode* node, TBaseTransform* transform);
    bool ConstraintSolvable(ScriptObject* constraint);
    bool IKSolvable(TNode* handle);
    bool Stamped(ScriptObject* object, const char* waitText);
    void UpdateTransform(TBaseTransform* node, const Matrix4f& current);
    // The IK solve (IKSolve.cpp). The chain is gathered by the solvable test; `current` is the
    // matrix of the handle's parent space.
    bool IsSplineIK(const TIKHandle& handle);
    void GatherIKChain(TIKHandle& handle, TBaseTransform* startParent);
    bool WaitsForIKPriority(const TIKHandle& handle);
    void SolveIK(TIKHandle& handle, const Matrix4f& current);
    void ClaimIKChain(TIKHandle& handle);
    void ReleaseIKChain(TIKHandle& handle);
    void ReportIK(TIKHandle& handle, const char* why);
    bool SolveSplineIK(TIKHandle& handle, const Matrix4f& current);
    void PushChildren(const TBranch* branch, const Matrix4f& matrix);
    void PushChild(TNode* child, const Matrix4f& matrix);

    // One matrix product of a plan: view = local · parent.
    struct PlanStep {
        const SBaseTransform::LocalSlot* m_Local;
        const SBaseTransform* m_S; // rebuilds an invalid local matrix
        TBaseTransform::ViewSlot* m_View;
        const Matrix4f* m_Parent; // the parent's ModelViewMatrix, or m_Root
    };
    void Walk(TNode* node);
    void RunPlan() noexcept;

    uint32_t m_ExcludeMask = 0;
    uint32_t m_DrawMask = ~0u;
    uint32_t m_Frame = 0;
    bool m_Debug = false;
    Array<Obj<TNode>> m_Pending;
    Array<Obj<TNode>> m_Particles;
    Array<Obj<TNode>> m_SoundEmitters;
    Array<Obj<TNode>> m_SoundReceivers;
    Array<Obj<TNode>> m_Waiting; // the pending list UpdatePending works through
    std::vector<Step> m_Stack;   // nodes still to visit, with their current matrix
    std::unique_ptr<Internal::IKWork> m_IK;
    Matrix4f m_Root; // the matrix UpdateTree was given
    // The kinds of the classes met last: a rig cycles through a few classes (transform, joint,
    // effector, handle), so one entry would miss on nearly every node.
    static constexpr int k_KindCache = 4;
    const void* m_KindTable[k_KindCache] = {};
    Kind m_Kind[k_KindCache] = {};
    int m_KindNext = 0;
    // The plan of the last walk, and what it holds for.
    std::vector<PlanStep> m_Plan;
    const TNode* m_PlanRoot = nullptr;
    uint64_t m_PlanGeneration = 0;
    uint32_t m_PlanExcludeMask = 0;
    bool m_Planning = false; // the walk so far can be planned
    bool m_PlanUsable = false;
};

/// The two update passes of a frame over a scene, without a renderer (servers, tools, tests,
/// and the frame loop of the render system).
struct QUORLIX_API SceneUpdateFrame {
    uint32_t m_Frame = 0;       // the frame counter; pass 1 flips its top bit
    uint32_t m_ExcludeMask = 0; // as the channel's
    uint32_t m_DrawMask = ~0u;
    bool m_Debug = false;
    /// Pass 1 re-processes pending nodes until this transform carries the stamp (the camera's
    /// transform); without one, until none is left.
    TBaseTransform* m_WaitFor = nullptr;
};

/// Runs pass 1 over `root` with the identity root matrix and the stamp frame ^ 0x80000000
/// (world matrices land in ModelViewMatrix), then pass 2 with `view` as root matrix and the
/// plain frame as stamp. After each pass the pending nodes are updated again, each under its
/// parent transform's ModelViewMatrix (or the pass's root matrix when it has none), pass after
/// pass; after 100 passes the fatal line "RenderSystemTraverse_D: DependantP1 infinite
/// recursion." (P2 for the second pass) is logged with a debug line "Node: "<name>"." per node
/// still waiting. `traverse` keeps the particle and sound lists of pass 2. Returns the number
/// of nodes still waiting after pass 2 (0 when all were updated).
QUORLIX_API int UpdateSceneFrame(XMiniUpdateTraverse& traverse, TNode* root, const Matrix4f& view,
                                 const SceneUpdateFrame& frame);
/// Pass 1 of UpdateSceneFrame alone, for callers that derive the view from its results (the
/// camera's world matrix). Returns the number of nodes still waiting.
QUORLIX_API int UpdateSceneWorld(XMiniUpdateTraverse& traverse, TNode* root,
                                 const SceneUpdateFrame& frame);
/// Pass 2 of UpdateSceneFrame alone; the same result.
QUORLIX_API int UpdateSceneView(XMiniUpdateTraverse& traverse, TNode* root, const Matrix4f& view,
                                const SceneUpdateFrame& frame);

} // namespace Quorlix
