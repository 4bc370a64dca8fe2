#pragma once
// The node model. Every scene node is a pair: an S object holds what placements may share (a
// light's colour, a transform's translation) and a T object is one placement of it in the tree.
// The tree is made of T objects only: a TBranch's Child array owns its children and each
// child's Parent is a plain back link to that branch, cleared when the branch dies.
//
// Construction: a T class's default constructor makes exactly one S object of its matching
// class and hands it down through the protected constructor of its base, so that
// `TCamera()` is `TLeaf(SCamera::Create())` and a T object never exists without its S object.
// Classes derived elsewhere follow the same pattern (`TGeometry() : TLeaf(SGeometry::Create())`).
//
// Objects are single-threaded like every script object: no member may be changed while another
// thread uses the same tree.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/math/Spheref.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/SceneClasses.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class TBranch;
class TBaseTransform;

/// The S half of every node. `Visibility` is tested against channel masks; 0 hides the node.
class QUORLIX_API SNode : public Object {
public:
    /// A new SNode (count 0).
    static SNode* Create();
    static const TypeInfo* GetSNodeTypeInfo() noexcept;

    SNode() noexcept = default;
    ~SNode() override;

    /// Fresh nodes are visible: `Visibility` 1.
    uint32_t GetVisibility() const noexcept { return m_Visibility; }
    void SetVisibility(uint32_t visibility) noexcept;
    /// The float view of `Visibility` for animation: 1.0 when it is non-zero, else 0.0.
    float GetVisibilityF32() const noexcept { return m_Visibility != 0 ? 1.0f : 0.0f; }
    /// Sets `Visibility` to 1 when |v| >= 2^-24 (5.9604645e-8), to 0 otherwise; NaN hides.
    void SetVisibilityF32(float v) noexcept;

private:
    friend void BindSceneNodeClasses();
    uint32_t m_Visibility = 1;
};

/// The T half of every node: its S object, its parent and its bounding volume.
class QUORLIX_API TNode : public Object {
public:
    /// Values of `BoundingMode` (enumeration TNode.BoundingModeEnum).
    enum BoundingMode : uint32_t { BoundingDynamic, BoundingStatic, BoundingStaticSubtree };

    /// A new TNode with a new SNode (count 0).
    static TNode* Create();
    static const TypeInfo* GetTNodeTypeInfo() noexcept;

    TNode();
    ~TNode() override;

    /// The S object; never null.
    SNode* GetSNode() const noexcept { return m_SNode.Get(); }
    /// Replaces the S object by `s` when `s` is of exactly the current S object's class;
    /// anything else (null included) is refused with the error "TNode_D::SetSNode: assignment
    /// of incompatible SNode ignored." and nothing changes. Several T objects may share one S
    /// object; it lives as long as one of them refers to it.
    void SetSNode(SNode* s);

    /// The branch whose Child array holds this node; null when unparented.
    TBranch* GetParent() const noexcept { return m_Parent; }
    /// The same as a script value (the nil object when unparented).
    ScriptObject* GetParentObject() const noexcept;
    /// Moves this node under `parent`: appended to its Child array, then removed from the old
    /// parent's. Null or the nil object detaches the node; the current parent changes nothing.
    /// An object that is not a TBranch is reported through ExpectFailed and changes nothing; a
    /// parent that would make the node its own ancestor is refused with the error
    /// "TNode::SetParent: "<name>" cannot become its own ancestor; assignment ignored.".
    /// Detaching may destroy the node when the parent held the only reference.
    void SetParent(ScriptObject* parent);

    /// The nearest ancestor that is a TBaseTransform; null when none.
    TBaseTransform* GetParentTransform() const noexcept;
    ScriptObject* GetParentTransformObject() const noexcept;
    /// `ParentTransform` is computed: a set through its row is ignored without a log line.
    void SetParentTransformObject(ScriptObject*) noexcept {}

    BoundingMode GetBoundingMode() const noexcept { return m_BoundingMode; }
    void SetBoundingMode(BoundingMode mode) noexcept { m_BoundingMode = mode; }
    /// Starts empty: centre (0, 0, 0), radius -1e-16.
    const Spheref& GetBoundingSphere() const noexcept { return m_BoundingSphere; }
    void SetBoundingSphere(const Spheref& sphere) noexcept { m_BoundingSphere = sphere; }

    /// Whether `node` is this node or one of its ancestors.
    bool IsSelfOrDescendantOf(const TNode* node) const noexcept;

protected:
    /// Takes `s` (a fresh S object of the matching class; not null).
    explicit TNode(SNode* s);

private:
    friend class TBranch;
    friend void BindSceneNodeClasses();

    Obj<SNode> m_SNode;
    TBranch* m_Parent = nullptr; // back link: the parent's Child array owns this node
    BoundingMode m_BoundingMode = BoundingDynamic;
    Spheref m_BoundingSphere; // empty
};

/// S half of nodes without children.
class QUORLIX_API SLeaf : public SNode {
public:
    static SLeaf* Create();
    static const TypeInfo* GetSLeafTypeInfo() noexcept;
    SLeaf() noexcept = default;
    ~SLeaf() override;
};

/// T half of nodes without children.
class QUORLIX_API TLeaf : public TNode {
public:
    static TLeaf* Create();
    static const TypeInfo* GetTLeafTypeInfo() noexcept;
    TLeaf();
    ~TLeaf() override;

protected:
    explicit TLeaf(SNode* s) : TNode(s) {}
};

/// S half of nodes with children.
class QUORLIX_API SBranch : public SNode {
public:
    static SBranch* Create();
    static const TypeInfo* GetSBranchTypeInfo() noexcept;
    SBranch() noexcept = default;
    ~SBranch() override;
};

/// T half of nodes with children: `Child`, the ordered array of child T nodes, which holds the
/// strong references to them. A node appears at most once in at most one Child array, and its
/// Parent always names that branch. Destroying a branch clears its children's Parent; a whole
/// subtree that dies with it is released without recursion, so chains of any depth are safe.
class QUORLIX_API TBranch : public TNode {
public:
    static TBranch* Create();
    static const TypeInfo* GetTBranchTypeInfo() noexcept;
    TBranch();
    ~TBranch() override;

    int ChildCount() const noexcept { return m_Child.Size(); }
    /// Child i; null outside the array or for an empty slot.
    TNode* GetChild(int i) const noexcept {
        return i >= 0 && i < m_Child.Size() ? m_Child[i].Get() : nullptr;
    }
    /// Stores `child` at index i (i may be the count, appending; a larger i fills the gap with
    /// empty slots, at most 65536 of them). The node previously at i is detached (its Parent
    /// cleared); `child` leaves its old place (its old parent's array, or another slot of this
    /// one) first. Refused with a logged error: an index out of range, and a child that would
    /// become its own ancestor (the text of TNode::SetParent).
    void SetChild(int i, TNode* child);
    /// Shrinks (detaching the nodes cut off) or grows (with empty slots) the Child array;
    /// a count outside 0..65536 more than now is refused with a logged error.
    void ResizeChild(int count);
    /// Appends `child`, as SetChild(ChildCount(), child).
    void AddChild(TNode* child) { SetChild(ChildCount(), child); }

protected:
    explicit TBranch(SNode* s) : TNode(s) {}

private:
    friend class TNode;
    // Removes `child` from the array without touching its Parent; false when it is not there.
    bool RemoveChildEntry(const TNode* child) noexcept;

    Array<Obj<TNode>> m_Child; // entries may be null (empty slots)
};

/// Names `t` and, when it is a T node, its S object: "S" goes right after the last colon of
/// `name` ("scene:Lamp" names the S object "scene:SLamp") or in front ("Lamp" gives "SLamp").
/// Does nothing for a null object or the nil object.
QUORLIX_API void SetTSNodeName(ScriptObject* t, const StringRef& name);

} // namespace Quorlix
