// Constraints through the update: weighted targets against values worked out here from the
// targets' own translations, angles and scales, exclude masks, unusable targets, the order of
// several constraints, targets later in the tree, repeatability, aim frames and pole vectors.

#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"

#include "SceneTestSupport.h"
#include "support/LogCapture.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr float k_Pi = 3.14159265358979f;
constexpr float k_Eps = 1e-5f;

float Radians(float degrees) {
    return degrees * k_Pi / 180.0f;
}

STransform& S(TTransform* t) {
    return *static_cast<STransform*>(t->GetSNode());
}

class Constraints : public QuorlixTest::SceneTest {
protected:
    enum Type : int { Point = 1, Orient, Parent, Scale }; // enumerator indices

    Obj<ScriptObject> Make(Type type, const std::vector<ScriptObject*>& targets,
                           const std::vector<float>& weights = {}) {
        Obj<ScriptObject> c = Make(k_ClassTransformConstraint, targets, weights);
        c->Set(Member<const ClassType_Enum*>(k_ClassTransformConstraint, "ConstraintType"),
               MemberIDOf<ClassType_Enum>(type, k_ClassTransformConstraintConstraintTypeEnum));
        return c;
    }

    Obj<ScriptObject> Make(int classIndex, const std::vector<ScriptObject*>& targets,
                           const std::vector<float>& weights = {}) {
        Obj<ScriptObject> c = ScriptObject::Create(BuiltinTypeID(classIndex));
        for (size_t i = 0; i < targets.size(); ++i)
            c->Set(Member<ScriptObject*, true>(k_ClassConstraint, "TargetArray"),
                   static_cast<int>(i), targets[i]);
        for (size_t i = 0; i < weights.size(); ++i)
            c->Set(Member<float, true>(k_ClassConstraint, "WeightArray"), static_cast<int>(i),
                   weights[i]);
        return c;
    }

    static void Attach(TBaseTransform* node, const std::vector<ScriptObject*>& constraints) {
        for (size_t i = 0; i < constraints.size(); ++i)
            node->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"),
                      static_cast<int>(i), constraints[i]);
    }

    static void SetExclude(ScriptObject* c, uint32_t mask) {
        c->Set(Member<uint32_t>(k_ClassConstraint, "ExcludeMask"), mask);
    }

    void Update(TNode* root) {
        XMiniUpdateTraverse traverse;
        traverse.SetFrame(++m_Frame);
        traverse.UpdateTree(root, Matrix4f::Identity);
        EXPECT_EQ(traverse.GetPending().Size(), 0);
    }

    // A whole frame: nodes waiting for ones later in the tree are solved from the pending list.
    void UpdateFrame(TNode* root) {
        XMiniUpdateTraverse traverse;
        SceneUpdateFrame frame;
        frame.m_Frame = ++m_Frame;
        EXPECT_EQ(UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame), 0);
    }

    uint32_t m_Frame = 0;
};

TEST_F(Constraints, PointAndScaleTakeTheWeightedMeanOfTheTargets) {
    Obj<TBranch> root(TBranch::Create());
    // The second target's rotation must not leak into the scales read from its matrix.
    Obj<TTransform> a = MakeNode("a", root, Vector3f(1, 2, 3), Vector3f::Zero, Vector3f(2, 3, 4));
    Obj<TTransform> b =
        MakeNode("b", root, Vector3f(-3, 6, 7), Vector3f(40, -25, 10), Vector3f(4, 1, 2));
    {
        // Weights 1 and 3: a quarter of the way from b to a; the node keeps its turn and scale.
        Obj<TTransform> node =
            MakeNode("node", root, Vector3f(9, 9, 9), Vector3f(0, 0, 90), Vector3f(2, 2, 2));
        Attach(node, {Make(Point, {a, b}, {1.0f, 3.0f}).Get()});
        Update(root);
        ExpectNear(Position(node), (Vector3f(1, 2, 3) * 1.0f + Vector3f(-3, 6, 7) * 3.0f) / 4.0f,
                   "point");
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(0, 2, 0), "point keeps rotation");
    }
    {
        // Scale per axis, b without a weight counting 1; the node keeps its turn and place.
        Obj<TTransform> node = MakeNode("node", root, Vector3f(1, 0, 0), Vector3f(0, 0, 90));
        Attach(node, {Make(Scale, {a, b}, {1.0f}).Get()});
        Update(root);
        const Vector3f s = (Vector3f(2, 3, 4) + Vector3f(4, 1, 2)) / 2.0f;
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(0, s[0], 0), "scale x");
        ExpectNear(Axis(node, Vector3f(0, 1, 0)), Vector3f(-s[1], 0, 0), "scale y");
        ExpectNear(Axis(node, Vector3f(0, 0, 1)), Vector3f(0, 0, s[2]), "scale z");
        ExpectNear(Position(node), Vector3f(1, 0, 0), "scale keeps translation");
    }
}

TEST_F(Constraints, OrientBlendsOnTheFirstTargetsHemisphereThenTurnsByTheOffset) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> z30 = MakeNode("z30", root, Vector3f(1, 2, 3), Vector3f(0, 0, 30));
    Obj<TTransform> z90 = MakeNode("z90", root, Vector3f(4, 5, 6), Vector3f(0, 0, 90));
    Obj<TTransform> z100 = MakeNode("z100", root, Vector3f::Zero, Vector3f(0, 0, 100));
    Obj<TTransform> zm100 = MakeNode("zm100", root, Vector3f::Zero, Vector3f(0, 0, -100));
    {
        // Weights 1 and 3 about one axis: the angle of the normalised sum of half-angle pairs.
        Obj<TTransform> node =
            MakeNode("node", root, Vector3f(5, 0, 0), Vector3f(45, 0, 0), Vector3f(2, 2, 2));
        Attach(node, {Make(Orient, {z30, z90}, {1.0f, 3.0f}).Get()});
        Update(root);
        const float half = std::atan2(1.0f * std::sin(Radians(15)) + 3.0f * std::sin(Radians(45)),
                                      1.0f * std::cos(Radians(15)) + 3.0f * std::cos(Radians(45)));
        const float angle = 2.0f * half;
        ExpectNear(Axis(node, Vector3f(1, 0, 0)),
                   Vector3f(2 * std::cos(angle), 2 * std::sin(angle), 0), "orient x");
        ExpectNear(Axis(node, Vector3f(0, 0, 1)), Vector3f(0, 0, 2), "orient z");
        ExpectNear(Position(node), Vector3f(5, 0, 0), "orient keeps translation");
    }
    {
        // 100 and -100 degrees meet the short way at 180, not at 0 as quaternions of opposite
        // signs would.
        Obj<TTransform> node = MakeNode("node", root, Vector3f::Zero);
        Attach(node, {Make(Orient, {z100, zm100}).Get()});
        Update(root);
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(-1, 0, 0), "hemisphere");
    }
    {
        // Offset 90 about x, then the target's 90 about z: x -> y, y -> z, z -> x.
        Obj<TTransform> node = MakeNode("node", root, Vector3f::Zero);
        Obj<ScriptObject> c = Make(Orient, {z90});
        c->Set(Member<Vector3f>(k_ClassTransformConstraint, "OrientOffset"), Vector3f(90, 0, 0));
        Attach(node, {c.Get()});
        Update(root);
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(0, 1, 0), "offset x");
        ExpectNear(Axis(node, Vector3f(0, 1, 0)), Vector3f(0, 0, 1), "offset y");
        ExpectNear(Axis(node, Vector3f(0, 0, 1)), Vector3f(1, 0, 0), "offset z");
    }
    {
        // Parent: position and rotation of the blend, the node's own scale.
        Obj<TTransform> node =
            MakeNode("node", root, Vector3f(7, 0, 0), Vector3f(10, 20, 30), Vector3f(2, 1, 1));
        Attach(node, {Make(Parent, {z90}).Get()});
        Update(root);
        ExpectNear(Position(node), Vector3f(4, 5, 6), "parent position");
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(0, 2, 0), "parent x");
        ExpectNear(Axis(node, Vector3f(0, 1, 0)), Vector3f(-1, 0, 0), "parent y");
    }
}

TEST_F(Constraints, ExcludeMasksKeepTheNodesOwnComponents) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> target =
        MakeNode("target", root, Vector3f(1, 2, 3), Vector3f(0, 0, 90), Vector3f(2, 3, 4));
    Obj<TTransform> node =
        MakeNode("node", root, Vector3f(7, 8, 9), Vector3f(30, 0, 0), Vector3f(5, 6, 7));
    {
        Obj<ScriptObject> c = Make(Point, {target});
        SetExclude(c, 2);
        Attach(node, {c.Get()});
        Update(root);
        ExpectNear(Position(node), Vector3f(1, 8, 3), "point without y");
    }
    {
        // Keeps the node's 30 degrees about x, takes the target's 90 about z.
        Obj<ScriptObject> c = Make(Orient, {target});
        SetExclude(c, 1);
        Attach(node, {c.Get()});
        Update(root);
        Matrix4f expected, factor;
        expected.MakeScaling(Vector3f(5, 6, 7));
        factor.MakeRotationX(Radians(30));
        expected.Mul(factor);
        factor.MakeRotationZ(Radians(90));
        expected.Mul(factor);
        factor.MakeTranslation(Vector3f(7, 8, 9));
        expected.Mul(factor);
        EXPECT_TRUE(node->GetModelViewMatrix().EqualEpsilon(expected, k_Eps));
    }
    {
        Obj<ScriptObject> c = Make(Scale, {target});
        SetExclude(c, 5);
        Attach(node, {c.Get()});
        Update(root);
        // Rotation about x by 30 degrees leaves the x axis alone and turns y and z.
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(5, 0, 0), "scale x own");
        ExpectNear(Vector3f(Axis(node, Vector3f(0, 1, 0)).Length(), 0, 0), Vector3f(3, 0, 0),
                   "scale y driven");
        ExpectNear(Vector3f(Axis(node, Vector3f(0, 0, 1)).Length(), 0, 0), Vector3f(7, 0, 0),
                   "scale z own");
    }
}

TEST_F(Constraints, UnusableTargetsAreSkippedAndABrokenSetupIsLoggedOncePerNode) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> zeroWeight = MakeNode("zero", root, Vector3f(100, 0, 0));
    Obj<TBranch> branch(TBranch::Create()); // not a transform
    root->AddChild(branch);
    Obj<TTransform> b = MakeNode("b", root, Vector3f(4, 0, 0));
    Obj<TTransform> negative = MakeNode("negative", root, Vector3f(-100, 0, 0));
    Obj<TTransform> d = MakeNode("d", root, Vector3f(0, 8, 0));
    {
        // Weights 0, -, -, 3, -2 and d without a weight: b counts 3, d counts 1.
        Obj<TTransform> node = MakeNode("node", root, Vector3f::Zero);
        Attach(node, {Make(Point, {zeroWeight, &G_NilObject, branch, b, negative, d},
                           {0.0f, 5.0f, 5.0f, 3.0f, -2.0f})
                          .Get()});
        LogCapture log;
        Update(root);
        ExpectNear(Position(node), Vector3f(3, 2, 0), "usable targets");
        EXPECT_TRUE(log.Messages().empty()) << log.Text();
    }
    {
        // No usable target in two constraints over two frames: one line, the node as it was.
        Obj<TTransform> node = MakeNode("lonely", root, Vector3f(1, 1, 1));
        Attach(node, {Make(Parent, {zeroWeight}, {0.0f}).Get(),
                      Make(Scale, {&G_NilObject, branch}).Get()});
        LogCapture log;
        Update(root);
        Update(root);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]UpdateConstraint: incorrect setup for lonely"});
        EXPECT_EQ(node->GetModelViewMatrix(), S(node).GetLocalMatrix());
        // Another node reports for itself.
        Obj<TTransform> other = MakeNode("other", root, Vector3f::Zero);
        Attach(other, {Make(Point, {}).Get()});
        Update(root);
        ASSERT_EQ(log.Messages().size(), 2u);
        EXPECT_EQ(log.Messages()[1], "[Error]UpdateConstraint: incorrect setup for other");
    }
}

TEST_F(Constraints, SolvePriorityThenArrayOrderDecidesTheResult) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> a = MakeNode("a", root, Vector3f(1, 0, 0));
    Obj<TTransform> b = MakeNode("b", root, Vector3f(0, 2, 0));
    Obj<TTransform> turned = MakeNode("turned", root, Vector3f(9, 9, 9), Vector3f(0, 0, 90));
    Obj<TTransform> node = MakeNode("node", root, Vector3f::Zero);
    Obj<ScriptObject> toA = Make(Point, {a});
    Obj<ScriptObject> toB = Make(Point, {b});
    const auto* priority = Member<int32_t>(k_ClassConstraint, "SolvePriority");
    Attach(node, {toA.Get(), &G_NilObject, toB.Get()});
    {
        // Equal priorities: array order, the last one wins.
        Update(root);
        ExpectNear(Position(node), Vector3f(0, 2, 0), "array order");
    }
    {
        // toB runs first now, so toA wins although it comes first in the array.
        toA->Set(priority, 5);
        toB->Set(priority, -3);
        Update(root);
        ExpectNear(Position(node), Vector3f(1, 0, 0), "priority order");
    }
    {
        // A later constraint works on what the earlier ones left: point then orient.
        Obj<ScriptObject> orient = Make(Orient, {turned});
        orient->Set(priority, 7);
        Attach(node, {orient.Get(), &G_NilObject, toB.Get()});
        Update(root);
        ExpectNear(Position(node), Vector3f(0, 2, 0), "both position");
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), Vector3f(0, 1, 0), "both rotation");
    }
}

TEST_F(Constraints, TargetsLaterInTheTreeAreSolvedWithinTheFrameAndRepeatExactly) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> follower = MakeNode("follower", root, Vector3f::Zero);
    Obj<TTransform> child = MakeNode("child", follower, Vector3f(1, 0, 0));
    Obj<TTransform> leader = MakeNode("leader", root, Vector3f(0, 3, 0), Vector3f(0, 0, 90));
    Obj<TTransform> other =
        MakeNode("other", leader, Vector3f(2, 0, 0), Vector3f(0, 0, 60), Vector3f(1, 2, 3));
    Attach(follower,
           {Make(Parent, {leader, other}, {3.0f, 1.0f}).Get(), Make(Scale, {other}).Get()});
    Matrix4f view;
    view.MakeTranslation(Vector3f(0, 0, -10));
    SceneUpdateFrame frame;
    XMiniUpdateTraverse traverse;
    frame.m_Frame = 20;
    EXPECT_EQ(UpdateSceneFrame(traverse, root, view, frame), 0);
    EXPECT_EQ(child->GetMatrixFrame(), 20u);
    // Leader at (0, 3, 0), other at (0, 5, 0) in the world: 3:1 gives (0, 3.5, 0), then the view.
    ExpectNear(Position(follower), Vector3f(0, 3.5f, -10), "follower");
    // World turns of 90 and 150 degrees about z, 3:1; other's x scale is 1.
    const float angle = 2.0f * std::atan2(3.0f * std::sin(Radians(45)) + std::sin(Radians(75)),
                                          3.0f * std::cos(Radians(45)) + std::cos(Radians(75)));
    ExpectNear(Position(child) - Position(follower), Vector3f(std::cos(angle), std::sin(angle), 0),
               "child follows");
    ExpectNear(Vector3f(Axis(follower, Vector3f(0, 0, 1)).Length(), 0, 0), Vector3f(3, 0, 0),
               "scale after parent");

    std::vector<Matrix4f> first;
    for (TBaseTransform* node : {follower.Get(), child.Get(), leader.Get(), other.Get()})
        first.push_back(node->GetModelViewMatrix());
    frame.m_Frame = 21;
    EXPECT_EQ(UpdateSceneFrame(traverse, root, view, frame), 0);
    int i = 0;
    for (TBaseTransform* node : {follower.Get(), child.Get(), leader.Get(), other.Get()})
        EXPECT_EQ(node->GetModelViewMatrix(), first[static_cast<size_t>(i++)])
            << node->GetNameCPtr();
}

class AimConstraints : public Constraints {
protected:
    static void SetVector(ScriptObject* c, const char* name, const Vector3f& v) {
        c->Set(Member<Vector3f>(k_ClassAimConstraint, name), v);
    }

    // The node's axes against the images expected of local x, y and z, each of length `scale`.
    static void ExpectAxes(const TBaseTransform* node, const Vector3f& x, const Vector3f& y,
                           const Vector3f& z, float scale, const char* what) {
        ExpectNear(Axis(node, Vector3f(1, 0, 0)), x * scale, what);
        ExpectNear(Axis(node, Vector3f(0, 1, 0)), y * scale, what);
        ExpectNear(Axis(node, Vector3f(0, 0, 1)), z * scale, what);
    }
};

TEST_F(AimConstraints, AimAtTheWeightedTargetWithTheUpVectorTowardsTheWorldUp) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> a = MakeNode("a", root, Vector3f(1, 0, 4));
    Obj<TTransform> b = MakeNode("b", root, Vector3f(5, 0, 0));
    {
        // Weights 3 and 1 give (2, 0, 3): from the node a direction of (1, 0, 3); turn and scale
        // of the node's own matrix are replaced and kept respectively.
        Obj<TTransform> node =
            MakeNode("node", root, Vector3f(1, 0, 0), Vector3f(10, 20, 30), Vector3f(2, 2, 2));
        Attach(node, {Make(k_ClassAimConstraint, {a, b}, {3.0f, 1.0f}).Get()});
        Update(root);
        const float r = std::sqrt(10.0f);
        ExpectAxes(node, Vector3f(1, 0, 3) / r, Vector3f(0, 1, 0), Vector3f(-3, 0, 1) / r, 2.0f,
                   "default vectors");
        ExpectNear(Position(node), Vector3f(1, 0, 0), "keeps translation");
    }
    {
        // Local -y aims along (1, 1, 0), local x goes up along z; z = x cross y.
        Obj<TTransform> node = MakeNode("node", root, Vector3f(4, -1, 0));
        Obj<ScriptObject> c = Make(k_ClassAimConstraint, {b});
        SetVector(c, "AimVector", Vector3f(0, -3, 0));
        SetVector(c, "UpVector", Vector3f(2, 0, 0));
        SetVector(c, "UpTargetVector", Vector3f(0, 0, 5));
        Attach(node, {c.Get()});
        Update(root);
        const float h = std::sqrt(0.5f);
        ExpectAxes(node, Vector3f(0, 0, 1), Vector3f(-h, -h, 0), Vector3f(h, -h, 0), 1.0f,
                   "chosen vectors");
    }
}

TEST_F(AimConstraints, AnUpTargetNodeGivesTheWorldUpAndComesFirstEvenWhenLaterInTheTree) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> target = MakeNode("target", root, Vector3f(0, 0, 5));
    Obj<TTransform> node = MakeNode("node", root, Vector3f(0, 0, 1));
    Obj<TTransform> up = MakeNode("up", root, Vector3f(3, 0, 1)); // +x seen from the node
    Obj<ScriptObject> c = Make(k_ClassAimConstraint, {target});
    c->Set(Member<ScriptObject*>(k_ClassAimConstraint, "UpTarget"), up.Get());
    Attach(node, {c.Get()});
    UpdateFrame(root);
    // x to +z, y to +x, z = z cross x = +y; UpTargetVector (0, 1, 0) is not used.
    ExpectAxes(node, Vector3f(0, 0, 1), Vector3f(1, 0, 0), Vector3f(0, 1, 0), 1.0f, "up target");
}

TEST_F(AimConstraints, OffsetTurnsInTheAimedFrameAndTwistRollsAboutTheAimLast) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> target = MakeNode("target", root, Vector3f(0, 0, 5));
    Obj<TTransform> node = MakeNode("node", root, Vector3f::Zero);
    Obj<ScriptObject> c = Make(k_ClassAimConstraint, {target});
    Attach(node, {c.Get()});
    const auto* twist = Member<float>(k_ClassAimConstraint, "Twist");
    {
        // Aimed: x to +z, y to +y, z to -x; rolled 90 degrees about +z: y to -x, z to -y.
        c->Set(twist, 90.0f);
        Update(root);
        ExpectAxes(node, Vector3f(0, 0, 1), Vector3f(-1, 0, 0), Vector3f(0, -1, 0), 1.0f, "twist");
    }
    {
        // 90 about z first sends x to y and y to -x, z stays; aimed +y, -z and -x; rolled -x, -z
        // and -y.
        SetVector(c, "OrientOffset", Vector3f(0, 0, 90));
        Update(root);
        ExpectAxes(node, Vector3f(-1, 0, 0), Vector3f(0, 0, -1), Vector3f(0, -1, 0), 1.0f,
                   "offset and twist");
    }
}

TEST_F(AimConstraints, DegenerateAimsAndExcludedRotationsKeepTheNodesTurn) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> target = MakeNode("target", root, Vector3f(1, 2, 8));
    Obj<TTransform> onNode = MakeNode("onNode", root, Vector3f(1, 2, 3));
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        ScriptObject* target;
        const char* vector;
        Vector3f value;
    };
    const Case cases[] = {
        {"target on the node", onNode, "AimVector", Vector3f(1, 0, 0)},
        {"zero aim", target, "AimVector", Vector3f::Zero},
        {"up along aim", target, "UpVector", Vector3f(-2, 0, 0)},
        {"world up along the direction", target, "UpTargetVector", Vector3f(0, 0, 3)},
        {"NaN world up", target, "UpTargetVector", Vector3f(0, nan, 0)},
        {"infinite offset", target, "OrientOffset", Vector3f(inf, 0, 0)},
    };
    LogCapture log;
    for (const Case& test : cases) {
        Obj<TTransform> node =
            MakeNode("node", root, Vector3f(1, 2, 3), Vector3f(0, 0, 30), Vector3f(2, 1, 1));
        Obj<ScriptObject> c = Make(k_ClassAimConstraint, {test.target});
        SetVector(c, test.vector, test.value);
        Attach(node, {c.Get()});
        Update(root);
        EXPECT_EQ(node->GetModelViewMatrix(), S(node).GetLocalMatrix()) << test.what;
    }
    {
        Obj<TTransform> node = MakeNode("node", root, Vector3f(1, 2, 3), Vector3f(0, 0, 30));
        Obj<ScriptObject> c = Make(k_ClassAimConstraint, {target});
        c->Set(Member<float>(k_ClassAimConstraint, "Twist"), nan);
        Attach(node, {c.Get()});
        Update(root);
        EXPECT_EQ(node->GetModelViewMatrix(), S(node).GetLocalMatrix()) << "NaN twist";
        // All three world rotations excluded: the aim moves nothing.
        c->Set(Member<float>(k_ClassAimConstraint, "Twist"), 0.0f);
        SetExclude(c, 7);
        Update(root);
        EXPECT_TRUE(node->GetModelViewMatrix().EqualEpsilon(S(node).GetLocalMatrix(), k_Eps));
    }
    EXPECT_TRUE(log.Messages().empty()) << log.Text();
}

TEST_F(Constraints, PoleVectorGoesToTheIKHandleRelativeToItsStartJointOnly) {
    Obj<TBranch> root(TBranch::Create());
    // The handle comes first: it waits until the start joint's parent is placed.
    Obj<TIKHandle> handle(TIKHandle::Create());
    handle->SetName("handle");
    root->AddChild(handle);
    Obj<TTransform> hip = MakeNode("hip", root, Vector3f(0, 1, 0), Vector3f(0, 0, 90));
    Obj<TJoint> joint(TJoint::Create());
    static_cast<SJoint*>(joint->GetSNode())->SetTranslation(Vector3f(2, 0, 0));
    hip->AddChild(joint); // (2, 0, 0) turned 90 degrees about z: the world place (0, 3, 0)
    Obj<TTransform> p = MakeNode("p", root, Vector3f(0, 3, 4));
    Obj<TTransform> q = MakeNode("q", root, Vector3f(4, 3, 0));
    handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "StartJoint"), joint.Get());
    Attach(handle, {Make(k_ClassPoleVectorConstraint, {p, q}).Get()});
    Obj<TTransform> elbow = MakeNode("elbow", root, Vector3f(7, 0, 0));
    Attach(elbow, {Make(k_ClassPoleVectorConstraint, {p}).Get()});
    LogCapture log;
    UpdateFrame(root);
    UpdateFrame(root);
    const auto* s = static_cast<const SIKHandle*>(handle->GetSNode());
    ExpectNear(s->GetPoleVector(), Vector3f(2, 0, 2), "pole vector");
    EXPECT_EQ(handle->GetModelViewMatrix(), Matrix4f::Identity);
    EXPECT_EQ(elbow->GetModelViewMatrix(), S(elbow).GetLocalMatrix());
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>{"[Error]owner of TTransformConstraint elbow"});
}

} // namespace
