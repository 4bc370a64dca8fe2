#include "quorlix/scene/Node.h"

#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/internal/SceneStructure.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cmath>

namespace Quorlix {

std::atomic<uint64_t> Internal::g_SceneStructure{0};

namespace {

// How far one assignment may grow a Child array, as for index members in general.
constexpr int k_MaxChildGrowth = 65536;

void LogOwnAncestor(const TNode* node) {
    Internal::LogScriptError("TNode::SetParent: \"", node->GetNameCPtr(),
                             "\" cannot become its own ancestor; assignment ignored.");
}

} // namespace

// --- SNode ------------------------------------------------------------------------------------

SNode* SNode::Create() {
    return NewObject<SNode>();
}
const TypeInfo* SNode::GetSNodeTypeInfo() noexcept {
    return &TypeOf<SNode>();
}
SNode::~SNode() {
    Internal::SceneStructureChanged();
}

void SNode::SetVisibility(uint32_t visibility) noexcept {
    m_Visibility = visibility;
    Internal::SceneStructureChanged();
}

void SNode::SetVisibilityF32(float v) noexcept {
    // NaN fails the comparison and hides the node.
    SetVisibility(std::fabs(v) >= 5.9604645e-8f ? 1u : 0u);
}

// --- TNode ------------------------------------------------------------------------------------

TNode* TNode::Create() {
    return NewObject<TNode>();
}
const TypeInfo* TNode::GetTNodeTypeInfo() noexcept {
    return &TypeOf<TNode>();
}

TNode::TNode() : TNode(SNode::Create()) {}
TNode::TNode(SNode* s) : m_SNode(s) {}
TNode::~TNode() {
    Internal::SceneStructureChanged();
}

void TNode::SetSNode(SNode* s) {
    Internal::SceneStructureChanged();
    if (s == m_SNode.Get())
        return;
    if (s == nullptr || !SameClass(s->GetObjectClassID(), m_SNode->GetObjectClassID())) {
        Internal::LogScriptError("TNode_D::SetSNode: assignment of incompatible SNode ignored.");
        return;
    }
    m_SNode = s;
}

ScriptObject* TNode::GetParentObject() const noexcept {
    return m_Parent != nullptr ? static_cast<ScriptObject*>(m_Parent) : &G_NilObject;
}

bool TNode::IsSelfOrDescendantOf(const TNode* node) const noexcept {
    for (const TNode* n = this; n != nullptr; n = n->m_Parent) {
        if (n == node)
            return true;
    }
    return false;
}

void TNode::SetParent(ScriptObject* parent) {
    Internal::SceneStructureChanged();
    if (parent == nullptr || parent->IsNil()) {
        if (m_Parent == nullptr)
            return;
        // The parent's array may hold the only reference.
        const Obj<TNode> keep(this);
        m_Parent->RemoveChildEntry(this);
        m_Parent = nullptr;
        return;
    }
    if (!parent->IsA(BuiltinTypeID(k_ClassTBranch))) {
        parent->ExpectFailed(BuiltinTypeID(k_ClassTBranch));
        return;
    }
    auto* branch = static_cast<TBranch*>(parent);
    if (branch == m_Parent)
        return;
    // Only a node with children can be an ancestor of another; skipping the walk keeps
    // building deep trees top-down linear.
    const bool hasChildren =
        IsA(BuiltinTypeID(k_ClassTBranch)) && static_cast<const TBranch*>(this)->ChildCount() > 0;
    if (branch == this || (hasChildren && branch->IsSelfOrDescendantOf(this))) {
        LogOwnAncestor(this);
        return;
    }
    const Obj<TNode> keep(this);
    branch->m_Child.Add(Obj<TNode>(this));
    if (m_Parent != nullptr)
        m_Parent->RemoveChildEntry(this);
    m_Parent = branch;
}

TBaseTransform* TNode::GetParentTransform() const noexcept {
    for (TBranch* n = m_Parent; n != nullptr; n = n->m_Parent) {
        if (n->IsA(BuiltinTypeID(k_ClassTBaseTransform)))
            return static_cast<TBaseTransform*>(static_cast<TNode*>(n));
    }
    return nullptr;
}

ScriptObject* TNode::GetParentTransformObject() const noexcept {
    TBaseTransform* t = GetParentTransform();
    return t != nullptr ? static_cast<ScriptObject*>(t) : &G_NilObject;
}

// --- Leaves and branches ----------------------------------------------------------------------

SLeaf* SLeaf::Create() {
    return NewObject<SLeaf>();
}
const TypeInfo* SLeaf::GetSLeafTypeInfo() noexcept {
    return &TypeOf<SLeaf>();
}
SLeaf::~SLeaf() = default;

TLeaf* TLeaf::Create() {
    return NewObject<TLeaf>();
}
const TypeInfo* TLeaf::GetTLeafTypeInfo() noexcept {
    return &TypeOf<TLeaf>();
}
TLeaf::TLeaf() : TNode(SLeaf::Create()) {}
TLeaf::~TLeaf() = default;

SBranch* SBranch::Create() {
    return NewObject<SBranch>();
}
const TypeInfo* SBranch::GetSBranchTypeInfo() noexcept {
    return &TypeOf<SBranch>();
}
SBranch::~SBranch() = default;

TBranch* TBranch::Create() {
    return NewObject<TBranch>();
}
const TypeInfo* TBranch::GetTBranchTypeInfo() noexcept {
    return &TypeOf<TBranch>();
}
TBranch::TBranch() : TNode(SBranch::Create()) {}

TBranch::~TBranch() {
    // Releasing the children one by one would recurse once per level of the subtree. Instead,
    // a child about to die with this branch hands its own children to the work list first, so
    // every destructor runs with an empty array and the depth of the tree costs no stack.
    Array<Obj<TNode>> doomed;
    doomed.Swap(m_Child);
    for (int i = 0; i < doomed.Size(); ++i) {
        if (doomed[i])
            doomed[i]->m_Parent = nullptr;
    }
    while (!doomed.IsEmpty()) {
        Obj<TNode> node = static_cast<Obj<TNode>&&>(doomed[doomed.Size() - 1]);
        doomed.Remove(doomed.Size() - 1);
        if (!node || BlockRefCount(node.Get()) != 1 || !node->IsA(BuiltinTypeID(k_ClassTBranch)))
            continue;
        auto* branch = static_cast<TBranch*>(node.Get());
        for (int i = 0; i < branch->m_Child.Size(); ++i) {
            if (branch->m_Child[i]) {
                branch->m_Child[i]->m_Parent = nullptr;
                doomed.Add(branch->m_Child[i]);
            }
        }
        branch->m_Child.Clear();
    }
}

bool TBranch::RemoveChildEntry(const TNode* child) noexcept {
    for (int i = m_Child.Size() - 1; i >= 0; --i) {
        if (m_Child[i].Get() == child) {
            m_Child.Remove(i);
            return true;
        }
    }
    return false;
}

void TBranch::SetChild(int i, TNode* child) {
    Internal::SceneStructureChanged();
    if (i < 0 || i > m_Child.Size() + k_MaxChildGrowth) {
        Internal::LogScriptError("TBranch::SetChild: index ", i, " of \"", GetNameCPtr(),
                                 "\" is out of range.");
        return;
    }
    if (child == GetChild(i))
        return;
    const Obj<TNode> keep(child);
    if (child != nullptr) {
        const bool hasChildren = child->IsA(BuiltinTypeID(k_ClassTBranch)) &&
                                 static_cast<const TBranch*>(child)->ChildCount() > 0;
        if (child == this || (hasChildren && IsSelfOrDescendantOf(child))) {
            LogOwnAncestor(child);
            return;
        }
        if (child->m_Parent != nullptr) {
            child->m_Parent->RemoveChildEntry(child);
            child->m_Parent = nullptr;
        }
    }
    // Removing the child from this array may have moved index i down by one.
    if (i > m_Child.Size())
        i = m_Child.Size();
    while (m_Child.Size() <= i)
        m_Child.Add(Obj<TNode>());
    if (m_Child[i])
        m_Child[i]->m_Parent = nullptr;
    m_Child[i] = child; // may destroy the node replaced, which nothing touches afterwards
    if (child != nullptr)
        child->m_Parent = this;
}

void TBranch::ResizeChild(int count) {
    Internal::SceneStructureChanged();
    if (count < 0 || count > m_Child.Size() + k_MaxChildGrowth) {
        Internal::LogScriptError("TBranch::ResizeChild: count ", count, " of \"", GetNameCPtr(),
                                 "\" is out of range.");
        return;
    }
    while (m_Child.Size() > count) {
        Obj<TNode> node = static_cast<Obj<TNode>&&>(m_Child[m_Child.Size() - 1]);
        m_Child.Remove(m_Child.Size() - 1);
        if (node)
            node->m_Parent = nullptr;
    }
    while (m_Child.Size() < count)
        m_Child.Add(Obj<TNode>());
}

// --- Names ------------------------------------------------------------------------------------

void SetTSNodeName(ScriptObject* t, const StringRef& name) {
    if (t == nullptr || t->IsNil() || !t->IsA(BuiltinTypeID(k_ClassObject)))
        return;
    static_cast<Object*>(t)->SetName(name);
    if (!t->IsA(BuiltinTypeID(k_ClassTNode)))
        return;
    SNode* s = static_cast<TNode*>(t)->GetSNode();
    if (s == nullptr)
        return;
    const int cut = name.RSearch(':') + 1; // 0 without a colon
    const String head(name.GetCPtr(), cut);
    const String sName = String(head.Ref(), "S") + (name.GetCPtr() + cut);
    s->SetName(sName.Ref());
}

} // namespace Quorlix
