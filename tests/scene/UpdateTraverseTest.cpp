// The update traversal: model-view matrices against an independent product, masks, waiting
// nodes and the frame's re-processing, LOD levels, the lists of the frame, and deep trees.

#include "quorlix/scene/UpdateTraverse.h"
#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/LODGroup.h"
#include "quorlix/scene/Particles.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/Transform.h"

#include "SceneTestSupport.h"
#include "support/LogCapture.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;
using QuorlixTest::MakeNode;

namespace {

class UpdateTraversal : public QuorlixTest::SceneTest {};

STransform& S(TTransform* t) {
    return *static_cast<STransform*>(t->GetSNode());
}

Vector3f Apply(const Vector3f& p, const Matrix4f& m) {
    Vector3f out;
    MulVector3Matrix4x3(out, p, m);
    return out;
}

Vector3f RandomVector(std::mt19937& random, float range) {
    std::uniform_real_distribution<float> d(-range, range);
    return Vector3f(d(random), d(random), d(random));
}

// Expected ModelViewMatrix of a node under `root`: the local matrices up the path.
Matrix4f PathProduct(TTransform* node, const Matrix4f& root) {
    Matrix4f expected = S(node).GetLocalMatrix();
    for (TBaseTransform* up = node->GetParentTransform(); up != nullptr;
         up = up->GetParentTransform())
        expected.Mul(static_cast<SBaseTransform*>(up->GetSNode())->GetLocalMatrix());
    expected.Mul(root);
    return expected;
}

TEST_F(UpdateTraversal, ModelViewMatricesAreTheProductOfTheLocalMatricesOnThePath) {
    {
        // A point of the child goes through the child's own matrix first, then the parent's.
        Obj<TTransform> parent = MakeNode("parent", nullptr, Vector3f(10, 0, 0));
        Obj<TTransform> child = MakeNode("child", parent);
        S(child).SetRotation(Vector3f(0, 0, 90));
        XMiniUpdateTraverse traverse;
        traverse.SetFrame(7);
        traverse.UpdateTree(parent, Matrix4f::Identity);
        const Vector3f p = Apply(Vector3f(1, 0, 0), child->GetModelViewMatrix());
        EXPECT_NEAR(p.GetX(), 10, 1e-5f);
        EXPECT_NEAR(p.GetY(), 1, 1e-5f);
        EXPECT_EQ(child->GetMatrixFrame(), 7u);
    }
    // Random trees under a random root matrix, every member of STransform in play.
    std::mt19937 random(3);
    Matrix4f root;
    root.MakeRotation(Vector3f(0.3f, -1.2f, 0.7f), Eulerf::ZXY);
    root.SetM30(5);
    std::vector<Obj<TTransform>> nodes;
    nodes.push_back(MakeNode("n0", nullptr));
    for (int i = 1; i < 300; ++i) {
        std::uniform_int_distribution<int> pick(0, i - 1);
        Obj<TTransform> node = MakeNode("n", nodes[pick(random)]);
        STransform& s = S(node);
        s.SetTranslation(RandomVector(random, 5));
        s.SetRotation(RandomVector(random, 180));
        s.SetScaling(Vector3f(1, 1, 1) + RandomVector(random, 0.5f));
        if (i % 3 == 0) {
            s.SetRotationPivot(RandomVector(random, 2));
            s.SetScalingPivot(RandomVector(random, 2));
            s.SetShearing(RandomVector(random, 0.3f));
            s.SetRotationAxis(RandomVector(random, 30));
        }
        nodes.push_back(node);
    }
    XMiniUpdateTraverse traverse;
    traverse.UpdateTree(nodes[0], root);
    for (const Obj<TTransform>& node : nodes)
        EXPECT_TRUE(node->GetModelViewMatrix().EqualEpsilon(PathProduct(node, root), 1e-3f));
}

TEST_F(UpdateTraversal, ARepeatedUpdateFollowsEveryChangeOfTheTree) {
    // One traversal updates a tree again and again while it changes in every way that moves
    // a node or changes its route; each update must match a fresh computation.
    std::mt19937 random(11);
    Obj<TTransform> root = MakeNode("root", nullptr);
    std::vector<Obj<TTransform>> nodes{root};
    for (int i = 1; i < 120; ++i) {
        std::uniform_int_distribution<int> pick(0, i - 1);
        Obj<TTransform> node = MakeNode("n", nodes[pick(random)], RandomVector(random, 3));
        S(node).SetRotation(RandomVector(random, 90));
        nodes.push_back(node);
    }
    XMiniUpdateTraverse traverse;
    traverse.SetMasks(2, ~0u);
    const auto visibility = Member<uint32_t>(k_ClassSNode, "Visibility");
    for (uint32_t round = 1; round <= 300; ++round) {
        std::uniform_int_distribution<int> pick(1, static_cast<int>(nodes.size()) - 1);
        TTransform* node = nodes[pick(random)];
        switch (round % 6) {
        case 0: // a local member
            S(node).SetTranslation(RandomVector(random, 3));
            break;
        case 1: { // a new parent, when it is not in the node's subtree
            TTransform* parent = nodes[pick(random)];
            if (!parent->IsSelfOrDescendantOf(node))
                node->SetParent(parent);
            break;
        }
        case 2: // hidden or shown, through the member row
            node->GetSNode()->Set(visibility, (round / 6) % 2 == 0 ? 2u : 1u);
            break;
        case 3: { // another S node
            Obj<STransform> s(STransform::Create());
            s->SetScaling(Vector3f(2, 1, 1));
            node->SetSNode(s);
            break;
        }
        case 4: // a new leaf under the node
            nodes.push_back(MakeNode("new", node, RandomVector(random, 1)));
            break;
        case 5: // detached, then back under the root (the tree may hold the only reference)
            node->SetParent(nullptr);
            root->AddChild(node);
            break;
        }
        Matrix4f matrix;
        matrix.MakeTranslation(Vector3f(0, 0, -static_cast<float>(round)));
        traverse.SetFrame(round);
        traverse.UpdateTree(root, matrix);
        for (const Obj<TTransform>& n : nodes) {
            bool shown = true;
            for (const TNode* up = n; up != nullptr; up = up->GetParent())
                shown = shown && (up->GetSNode()->GetVisibility() & 2) == 0;
            ASSERT_EQ(n->GetMatrixFrame() == round, shown) << "round " << round;
            if (shown) {
                ASSERT_TRUE(n->GetModelViewMatrix().EqualEpsilon(PathProduct(n, matrix), 1e-3f))
                    << "round " << round;
            }
        }
    }
    {
        // A constraint added through the member row takes effect at the next frame, and its
        // removal too.
        for (const Obj<TTransform>& n : nodes)
            n->GetSNode()->SetVisibility(1);
        Obj<TTransform> target = MakeNode("target", root, Vector3f(7, 8, 9));
        TTransform* node = nodes.back();
        SceneUpdateFrame frame;
        UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame);
        UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame);
        Obj<ScriptObject> glue = ScriptObject::Create(BuiltinTypeID(k_ClassTransformConstraint));
        glue->Set(Member<ScriptObject*, true>(k_ClassConstraint, "TargetArray"), 0, target.Get());
        node->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), 0,
                  glue.Get());
        EXPECT_EQ(UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame), 0);
        EXPECT_TRUE(Apply(Vector3f::Zero, node->GetModelViewMatrix())
                        .EqualEpsilon(Vector3f(7, 8, 9), 1e-4f));
        EXPECT_TRUE(node->SetArray<ScriptObject*>(
            Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), {}));
        UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame);
        EXPECT_TRUE(
            node->GetModelViewMatrix().EqualEpsilon(PathProduct(node, Matrix4f::Identity), 1e-4f));
    }
}

TEST_F(UpdateTraversal, TransformMembersClampAndKeepTheirComponentWord) {
    Obj<TTransform> t(TTransform::Create());
    STransform& s = S(t);
    s.Set(Member<uint32_t>(k_ClassSSimpleTransform, "TranslationLimitEnableMask"), 2u);
    s.Set(Member<Vector3f>(k_ClassSSimpleTransform, "Translation"), Vector3f(5, 5, 5));
    EXPECT_EQ(s.GetTranslation(), Vector3f(1, 5, 5));
    {
        LogCapture log;
        s.SetRotation(Vector3f(std::nanf(""), 0, 0));
        s.SetScaling(Vector3f(INFINITY, 1, 1));
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                      "[Error]SSimpleTransform: non-finite Rotation refused.",
                                      "[Error]SSimpleTransform: non-finite Scaling refused."}));
        EXPECT_EQ(s.GetRotation(), Vector3f::Zero);
    }
    {
        // NaN limits clamp nothing; a NaN root matrix spreads only into the matrices under it.
        s.Set(Member<Vector3f>(k_ClassSSimpleTransform, "TranslationMax"),
              Vector3f(std::nanf(""), 1, 1));
        s.SetTranslation(Vector3f(7, 0, 0));
        EXPECT_EQ(s.GetTranslation(), Vector3f(7, 0, 0));
        Matrix4f bad = Matrix4f::Identity;
        bad.SetM00(std::nanf(""));
        XMiniUpdateTraverse traverse;
        traverse.UpdateTree(t, bad);
        EXPECT_TRUE(std::isnan(t->GetModelViewMatrix().Get(0, 0)));
    }
    // Shearing set and cleared again: the identity comes back.
    s.SetTranslation(Vector3f::Zero);
    s.SetShearing(Vector3f(0.5f, 0, 0));
    EXPECT_NE(s.GetLocalMatrix(), Matrix4f::Identity);
    s.SetShearing(Vector3f::Zero);
    EXPECT_EQ(s.GetComponents(), 0u);
    EXPECT_EQ(s.GetLocalMatrix(), Matrix4f::Identity);
    // The pivot example: rotation about (1, 0, 0).
    s.SetRotationPivot(Vector3f(1, 0, 0));
    s.SetRotation(Vector3f(0, 0, 90));
    EXPECT_EQ(s.GetComponents(), 18u);
    const Vector3f p = Apply(Vector3f(2, 0, 0), s.GetLocalMatrix());
    EXPECT_NEAR(p.GetX(), 1, 1e-5f);
    EXPECT_NEAR(p.GetY(), 1, 1e-5f);
}

TEST_F(UpdateTraversal, MasksLevelsAndTheListsOfTheFrame) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> hidden = MakeNode("hidden", root);
    hidden->GetSNode()->SetVisibility(0x80000000u);
    Obj<TTransform> under = MakeNode("under", hidden);
    Obj<TParticles> particles(TParticles::Create());
    Obj<TSoundEmitter> emitter(TSoundEmitter::Create());
    Obj<TSoundReceiver> receiver(TSoundReceiver::Create());
    root->AddChild(particles);
    root->AddChild(emitter);
    root->AddChild(receiver);
    // A LOD group 15 units away with thresholds 10 and 20 shows its second child only.
    Obj<TTransform> place = MakeNode("place", root, Vector3f(15, 0, 0));
    Obj<TLODGroup> lod(TLODGroup::Create());
    place->AddChild(lod);
    Array<float> thresholds;
    thresholds.Add(10);
    thresholds.Add(20);
    EXPECT_TRUE(lod->GetSNode()->SetArray<float>(Member<float>(k_ClassSLODGroup, "ThresholdArray"),
                                                 thresholds));
    Obj<TTransform> nearChild = MakeNode("near", lod);
    Obj<TTransform> farChild = MakeNode("far", lod);

    XMiniUpdateTraverse traverse;
    traverse.SetMasks(0x80000000u, ~0u);
    traverse.SetFrame(3);
    traverse.UpdateTree(root, Matrix4f::Identity);
    EXPECT_EQ(hidden->GetMatrixFrame(), 0u);
    EXPECT_EQ(under->GetMatrixFrame(), 0u);
    EXPECT_EQ(nearChild->GetMatrixFrame(), 0u);
    EXPECT_EQ(farChild->GetMatrixFrame(), 3u);
    EXPECT_EQ(traverse.GetParticles().Size(), 1);
    EXPECT_EQ(traverse.GetSoundEmitters().Size(), 1);
    EXPECT_EQ(traverse.GetSoundReceivers().Size(), 1);

    // 25 units away the level is 2, which a group of two children does not have.
    S(place).SetTranslation(Vector3f(25, 0, 0));
    traverse.SetFrame(4);
    traverse.UpdateTree(root, Matrix4f::Identity);
    EXPECT_EQ(nearChild->GetMatrixFrame(), 0u);
    EXPECT_EQ(farChild->GetMatrixFrame(), 3u);
    S(place).SetTranslation(Vector3f(5, 0, 0));
    traverse.SetFrame(5);
    traverse.UpdateTree(root, Matrix4f::Identity);
    EXPECT_EQ(nearChild->GetMatrixFrame(), 5u);

    // A library branch class without an update of its own is walked with a warning.
    Obj<TBaseTransform> base(TBaseTransform::Create());
    base->SetName("base");
    Obj<TTransform> below = MakeNode("below", base);
    LogCapture log;
    traverse.SetFrame(6);
    traverse.UpdateTree(base, Matrix4f::Identity);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"[Warn ]XMiniUpdateTraverse::UpdateTree: encountered "
                                        "unoptimized node type \"TBaseTransform\"."}));
    EXPECT_EQ(below->GetMatrixFrame(), 6u);
}

TEST_F(UpdateTraversal, ConstrainedNodesWaitForTheirTargetsWithinTheFrame) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> follower = MakeNode("follower", root);
    Obj<TTransform> leader = MakeNode("leader", root, Vector3f(0, 3, 0));
    Obj<TTransform> behind = MakeNode("behind", follower, Vector3f(1, 0, 0));
    Obj<ScriptObject> constraint = ScriptObject::Create(BuiltinTypeID(k_ClassTransformConstraint));
    static_cast<Object*>(constraint.Get())->SetName("glue");
    constraint->Set(Member<ScriptObject*, true>(k_ClassConstraint, "TargetArray"), 0, leader.Get());
    follower->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), 0,
                  constraint.Get());
    {
        // The leader comes later in the tree: the follower waits, and with it its subtree.
        LogCapture log;
        XMiniUpdateTraverse traverse;
        traverse.SetDebug(true);
        traverse.SetFrame(9);
        traverse.UpdateTree(root, Matrix4f::Identity);
        ASSERT_EQ(traverse.GetPending().Size(), 1);
        EXPECT_EQ(traverse.GetPending()[0].Get(), follower.Get());
        EXPECT_EQ(behind->GetMatrixFrame(), 0u);
        const std::string text = log.Text();
        EXPECT_NE(text.find("SolvableConstraint: waiting for leader"), std::string::npos) << text;
        EXPECT_NE(text.find("Wait/Dependant: follower glue"), std::string::npos) << text;
    }
    {
        // The frame updates it once the leader is done; the point constraint puts it there.
        Matrix4f view;
        view.MakeTranslation(Vector3f(0, 0, -10));
        XMiniUpdateTraverse traverse;
        SceneUpdateFrame frame;
        frame.m_Frame = 12;
        EXPECT_EQ(UpdateSceneFrame(traverse, root, view, frame), 0);
        EXPECT_EQ(follower->GetMatrixFrame(), 12u);
        EXPECT_EQ(behind->GetMatrixFrame(), 12u);
        EXPECT_EQ(Apply(Vector3f::Zero, behind->GetModelViewMatrix()), Vector3f(1, 3, -10));
    }
    {
        // Pass 1 stops re-processing once the camera's transform carries its stamp; what still
        // waits then is left to pass 2, which updates everything.
        leader->GetSNode()->SetVisibility(1);
        XMiniUpdateTraverse traverse;
        SceneUpdateFrame frame;
        frame.m_Frame = 20;
        frame.m_WaitFor = leader; // stamped in the first walk already
        LogCapture log;
        EXPECT_EQ(UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame), 0);
        EXPECT_TRUE(log.Messages().empty());
        EXPECT_EQ(follower->GetMatrixFrame(), 20u);
    }
    {
        // A target that is never updated (hidden): the bound ends the frame with the report.
        leader->GetSNode()->SetVisibility(0x40000000u);
        XMiniUpdateTraverse traverse;
        SceneUpdateFrame frame;
        frame.m_Frame = 13;
        frame.m_ExcludeMask = 0x40000000u;
        LogCapture log;
        EXPECT_EQ(UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame), 1);
        const std::vector<std::string> messages = log.Messages();
        ASSERT_EQ(messages.size(), 4u);
        EXPECT_EQ(messages[0], "[FATAL]RenderSystemTraverse_D: DependantP1 infinite recursion.");
        EXPECT_EQ(messages[1], "[Debug]Node: \"follower\".");
        EXPECT_EQ(messages[2], "[FATAL]RenderSystemTraverse_D: DependantP2 infinite recursion.");
        EXPECT_EQ(messages[3], "[Debug]Node: \"follower\".");
    }
    {
        // A weight of 0 lets the node go without its target; targets past the weights count.
        constraint->Set(Member<float, true>(k_ClassConstraint, "WeightArray"), 0, 0.0f);
        XMiniUpdateTraverse traverse;
        traverse.SetMasks(0x40000000u, ~0u);
        traverse.SetFrame(14);
        traverse.UpdateTree(root, Matrix4f::Identity);
        EXPECT_EQ(traverse.GetPending().Size(), 0);
        EXPECT_EQ(follower->GetMatrixFrame(), 14u);
    }
}

TEST_F(UpdateTraversal, JointsTakeTheirParentsScaling) {
    Obj<TTransform> parent = MakeNode("parent", nullptr);
    S(parent).SetScaling(Vector3f(2, 2, 2));
    Obj<TJoint> joint(TJoint::Create());
    parent->AddChild(joint);
    XMiniUpdateTraverse traverse;
    traverse.UpdateTree(parent, Matrix4f::Identity);
    auto& s = *static_cast<SJoint*>(joint->GetSNode());
    EXPECT_EQ(s.GetParentScaling(), Vector3f(2, 2, 2));
    // The joint cancels the parent's scaling: its origin's unit x stays a unit long.
    const Matrix4f& m = joint->GetModelViewMatrix();
    EXPECT_NEAR(m.Get(0, 0), 1.0f, 1e-6f);
    // Under a plain branch the value stays as it was.
    Obj<TBranch> branch(TBranch::Create());
    Obj<TJoint> loose(TJoint::Create());
    branch->AddChild(loose);
    traverse.UpdateTree(branch, Matrix4f::Identity);
    EXPECT_EQ(static_cast<SJoint*>(loose->GetSNode())->GetParentScaling(), Vector3f(1, 1, 1));
}

TEST_F(UpdateTraversal, DeepChainsNeedNoCallStack) {
    const int depth = 100000;
    Obj<TTransform> root = MakeNode("root", nullptr, Vector3f(1, 0, 0));
    TTransform* tail = root;
    for (int i = 1; i < depth; ++i)
        tail = MakeNode("link", tail, Vector3f(1, 0, 0));
    XMiniUpdateTraverse traverse;
    traverse.SetFrame(1);
    traverse.UpdateTree(root, Matrix4f::Identity);
    EXPECT_EQ(tail->GetMatrixFrame(), 1u);
    EXPECT_NEAR(tail->GetModelViewMatrix().Get(3, 0), static_cast<float>(depth), 1.0f);
}

} // namespace
