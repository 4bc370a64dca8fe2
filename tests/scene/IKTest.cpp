// IK handles through the update: two-bone reach, straightening, pole vector, twist and preferred
// angles, one-bone aim, CCD chains, spline IK against curves evaluated here from Bernstein
// polynomials, dependency links, solve priority, pending handles, repeatability and bad input.

#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SplineCurve.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"

#include "SceneTestSupport.h"
#include "support/LogCapture.h"

#include <cmath>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

bool Finite(const Matrix4f& m) {
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(m.GetData()[i]))
            return false;
    }
    return true;
}

SJoint& S(TJoint* joint) {
    return *static_cast<SJoint*>(joint->GetSNode());
}

// Where `node` sits when nothing but its rest pose places it (multiplied from the root down, as
// the update does).
Matrix4f Rest(const TBaseTransform* node) {
    std::vector<const TBaseTransform*> path;
    for (const TBaseTransform* p = node; p != nullptr; p = p->GetParentTransform())
        path.push_back(p);
    Matrix4f m = Matrix4f::Identity;
    for (size_t i = path.size(); i-- > 0;) {
        const Matrix4f above = m;
        m.AssignMul(static_cast<const SBaseTransform*>(path[i]->GetSNode())->GetLocalMatrix(),
                    above);
    }
    return m;
}

// A cubic Bezier curve, which a B-spline with knots 0 0 0 0 1 1 1 1 is.
Vector3f Bezier(const Vector3f (&p)[4], float t) {
    const float u = 1.0f - t;
    return p[0] * (u * u * u) + p[1] * (3 * u * u * t) + p[2] * (3 * u * t * t) +
           p[3] * (t * t * t);
}

// The parameter of the curve point nearest `q`, its distance, and the arc length up to it.
struct Nearest {
    float m_Distance = 1e30f;
    float m_Arc = 0;
};
Nearest NearestOnBezier(const Vector3f (&p)[4], const Vector3f& q) {
    constexpr int k_Steps = 20000;
    Nearest best;
    float arc = 0;
    Vector3f previous = Bezier(p, 0);
    for (int i = 0; i <= k_Steps; ++i) {
        const Vector3f point = Bezier(p, static_cast<float>(i) / k_Steps);
        arc += point.Distance(previous);
        previous = point;
        const float d = point.Distance(q);
        if (d < best.m_Distance)
            best = Nearest{d, arc};
    }
    return best;
}

class IK : public QuorlixTest::SceneTest {
protected:
    Obj<TIKHandle> Handle(const char* name, TBranch* parent, const Vector3f& position,
                          TJoint* start, TIKEffector* effector, bool spline = false) {
        Obj<TIKHandle> handle(spline ? TIKSplineHandle::Create() : TIKHandle::Create());
        handle->SetName(name);
        static_cast<SIKHandle*>(handle->GetSNode())->SetTranslation(position);
        handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "StartJoint"), start);
        handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "EndEffector"), effector);
        parent->AddChild(handle);
        return handle;
    }

    void SetPole(TIKHandle* handle, const Vector3f& pole, float twist = 0.0f) {
        SNode* s = handle->GetSNode();
        s->Set(Member<Vector3f>(k_ClassSIKHandle, "PoleVector"), pole);
        s->Set(Member<float>(k_ClassSIKHandle, "Twist"), twist);
    }

    void SetCurve(TSplineCurve* curve, const std::vector<Vector3f>& cvs,
                  const std::vector<float>& knots) {
        Array<Vector3f> c;
        for (const Vector3f& v : cvs)
            c.Add(v);
        Array<float> k;
        for (float f : knots)
            k.Add(f);
        SNode* s = curve->GetSNode();
        EXPECT_TRUE(s->SetArray<Vector3f>(Member<Vector3f>(k_ClassSSplineCurve, "CVArray"), c));
        EXPECT_TRUE(s->SetArray<float>(Member<float>(k_ClassSSplineCurve, "KnotArray"), k));
    }

    void Frame(TNode* root, const Matrix4f& view = Matrix4f::Identity) {
        XMiniUpdateTraverse traverse;
        SceneUpdateFrame frame;
        frame.m_Frame = ++m_Frame;
        EXPECT_EQ(UpdateSceneFrame(traverse, root, view, frame), 0);
    }

    uint32_t m_Frame = 0;
};

// An arm along +x: shoulder, elbow 2 further, effector 1.5 beyond, a forearm child between.
struct Arm {
    Arm(TBranch* root, const Vector3f& at, const Vector3f& turn = Vector3f::Zero) {
        base = MakeNode<TTransform>("base", root, at, turn);
        shoulder = MakeNode<TJoint>("shoulder", base, Vector3f::Zero);
        elbow = MakeNode<TJoint>("elbow", shoulder, Vector3f(2, 0, 0));
        forearm = MakeNode<TTransform>("forearm", elbow, Vector3f(0.5f, 0, 0));
        effector = MakeNode<TIKEffector>("effector", elbow, Vector3f(1.5f, 0, 0));
    }
    Obj<TTransform> base, forearm;
    Obj<TJoint> shoulder, elbow;
    Obj<TIKEffector> effector;
};

TEST_F(IK, TwoBoneChainReachesWhatItCanAndPointsAtTheRest) {
    Obj<TBranch> root(TBranch::Create());
    Arm arm(root, Vector3f(1, 2, 3), Vector3f(10, 20, 30));
    const Vector3f a = Rest(arm.base).GetM3Vector3();
    Obj<TIKHandle> handle =
        Handle("h", root, a + Vector3f(1, 2.5f, 0.5f), arm.shoulder, arm.effector);
    for (const Vector3f offset :
         {Vector3f(1, 2.5f, 0.5f), Vector3f(0.6f, 0, 0), Vector3f(3, 5, -7)}) {
        S(arm.elbow).SetPreferredAngle(Vector3f(0, 0, 30)); // a straight rest pose needs a side
        static_cast<SIKHandle*>(handle->GetSNode())->SetTranslation(a + offset);
        Frame(root);
        const Vector3f t = a + offset;
        const Vector3f elbow = Position(arm.elbow), end = Position(arm.effector);
        EXPECT_NEAR(Position(arm.shoulder).Distance(a), 0.0f, 1e-5f);
        EXPECT_NEAR(elbow.Distance(a), 2.0f, 1e-4f);
        EXPECT_NEAR(end.Distance(elbow), 1.5f, 1e-4f);
        const float d = offset.Length();
        if (d <= 3.5f && d >= 0.5f) {
            EXPECT_NEAR(end.Distance(t), 0.0f, 1e-4f);
        } else {
            // Straight at the target: elbow and end on the ray.
            const Vector3f dir = offset / d;
            ExpectNear(elbow, a + dir * 2.0f, "straight elbow", 1e-4f);
            ExpectNear(end, a + dir * 3.5f, "straight end", 1e-4f);
        }
        // Children other than the effector follow the elbow.
        Matrix4f forearm;
        forearm.AssignMul(
            static_cast<const SBaseTransform*>(arm.forearm->GetSNode())->GetLocalMatrix(),
            arm.elbow->GetModelViewMatrix());
        EXPECT_TRUE(arm.forearm->GetModelViewMatrix().EqualEpsilon(forearm, 1e-6f));
        // The solution is not stored.
        EXPECT_EQ(S(arm.shoulder).GetRotation(), Vector3f::Zero);
        EXPECT_EQ(S(arm.elbow).GetRotation(), Vector3f::Zero);
    }
}

TEST_F(IK, PoleVectorTwistAndPreferredAngleChooseTheBendSide) {
    // Arm along +x at the origin, target on the x axis: only the bend side is in question.
    Obj<TBranch> root(TBranch::Create());
    Arm arm(root, Vector3f::Zero);
    Obj<TIKHandle> handle = Handle("h", root, Vector3f(2.5f, 0, 0), arm.shoulder, arm.effector);
    struct Case {
        const char* what;
        Vector3f preferred, pole;
        float twist;
        Vector3f side; // where the elbow must go, across the x axis
    };
    const Case cases[] = {
        // The elbow turned +30 about z curls the end to +y, so the elbow sits on -y.
        {"preferred +z", Vector3f(0, 0, 30), Vector3f::Zero, 0, Vector3f(0, -1, 0)},
        {"preferred -z", Vector3f(0, 0, -30), Vector3f::Zero, 0, Vector3f(0, 1, 0)},
        {"preferred about y", Vector3f(0, 40, 0), Vector3f::Zero, 0, Vector3f(0, 0, 1)},
        // A pole overrides the preferred angle; its part along the axis does not count.
        {"pole", Vector3f(0, 0, 30), Vector3f(5, 0, 2), 0, Vector3f(0, 0, 1)},
        // Rolled 90 degrees counter-clockwise about +x: +z goes to -y.
        {"pole and twist", Vector3f(0, 0, 30), Vector3f(0, 0, 2), 90, Vector3f(0, -1, 0)},
        {"twist alone", Vector3f(0, 0, -30), Vector3f::Zero, 90, Vector3f(0, 0, 1)},
    };
    for (const Case& c : cases) {
        S(arm.elbow).SetPreferredAngle(c.preferred);
        SetPole(handle, c.pole, c.twist);
        Frame(root);
        const Vector3f elbow = Position(arm.elbow);
        // Law of cosines: 2 and 1.5 meeting at 2.5 is a right angle at the elbow.
        const float along = (4.0f + 6.25f - 2.25f) / (2 * 2.5f);
        ExpectNear(elbow, Vector3f(along, 0, 0) + c.side * std::sqrt(4.0f - along * along), c.what,
                   1e-4f);
        ExpectNear(Position(arm.effector), Vector3f(2.5f, 0, 0), c.what, 1e-4f);
    }
}

TEST_F(IK, OneJointAimsAndThreeJointsConverge) {
    Obj<TBranch> root(TBranch::Create());
    {
        // Start joints hang under a transform, which places them.
        Obj<TTransform> base = MakeNode<TTransform>("base", root, Vector3f::Zero);
        Obj<TJoint> joint = MakeNode<TJoint>("joint", base, Vector3f(1, 1, 1));
        Obj<TIKEffector> effector = MakeNode<TIKEffector>("effector", joint, Vector3f(2, 0, 0));
        Obj<TIKHandle> handle = Handle("h", root, Vector3f(1, 4, 1), joint, effector);
        Frame(root);
        ExpectNear(Position(effector), Vector3f(1, 3, 1), "aimed");
        // x to +y is a quarter turn about z; z stays. A quarter twist about +y takes z to +x.
        ExpectNear(Axis(joint, Vector3f(0, 0, 1)), Vector3f(0, 0, 1), "untwisted");
        SetPole(handle, Vector3f::Zero, 90);
        Frame(root);
        ExpectNear(Position(effector), Vector3f(1, 3, 1), "twisted aim");
        ExpectNear(Axis(joint, Vector3f(0, 0, 1)), Vector3f(1, 0, 0), "twisted");
        root->ResizeChild(0);
    }
    {
        Obj<TTransform> base = MakeNode<TTransform>("base", root, Vector3f::Zero);
        Obj<TJoint> j0 = MakeNode<TJoint>("j0", base, Vector3f::Zero);
        Obj<TJoint> j1 = MakeNode<TJoint>("j1", j0, Vector3f(1, 0, 0));
        Obj<TJoint> j2 = MakeNode<TJoint>("j2", j1, Vector3f(1, 0, 0));
        Obj<TIKEffector> effector = MakeNode<TIKEffector>("effector", j2, Vector3f(1, 0, 0));
        const Vector3f target(1.5f, 1.5f, 0.5f);
        Obj<TIKHandle> handle = Handle("h", root, target, j0, effector);
        Frame(root);
        EXPECT_LT(Position(effector).Distance(target), 1e-4f);
        EXPECT_NEAR(Position(j1).Distance(Position(j0)), 1.0f, 1e-4f);
        EXPECT_NEAR(Position(j2).Distance(Position(j1)), 1.0f, 1e-4f);
        EXPECT_NEAR(Position(effector).Distance(Position(j2)), 1.0f, 1e-4f);
        // Out of reach: the chain ends up stretched along the line to the target.
        static_cast<SIKHandle*>(handle->GetSNode())->SetTranslation(Vector3f(0, 6, 8));
        Frame(root);
        ExpectNear(Position(effector), Vector3f(0, 1.8f, 2.4f), "stretched", 1e-3f);
    }
}

TEST_F(IK, SplineChainLiesAlongItsCurveByArcLength) {
    Obj<TBranch> root(TBranch::Create());
    // Rest bones along +y of lengths 1, 2 and 1; the curve lives 5 up z.
    Obj<TTransform> base = MakeNode<TTransform>("base", root, Vector3f::Zero);
    Obj<TJoint> j0 = MakeNode<TJoint>("j0", base, Vector3f(0, 3, 0));
    Obj<TJoint> j1 = MakeNode<TJoint>("j1", j0, Vector3f(0, 1, 0));
    Obj<TJoint> j2 = MakeNode<TJoint>("j2", j1, Vector3f(0, 2, 0));
    Obj<TIKEffector> effector = MakeNode<TIKEffector>("effector", j2, Vector3f(0, 1, 0));
    Obj<TTransform> space = MakeNode<TTransform>("space", root, Vector3f(0, 0, 5));
    Obj<TSplineCurve> curve(TSplineCurve::Create());
    space->AddChild(curve);
    Obj<TIKHandle> handle = Handle("h", root, Vector3f::Zero, j0, effector, true);
    handle->Set(Member<ScriptObject*>(k_ClassTIKSplineHandle, "SplineCurve"), curve.Get());
    const std::vector<TBaseTransform*> chain = {j0, j1, j2, effector};
    const Vector3f bent[4] = {Vector3f(0, 0, 0), Vector3f(3, 0, 0), Vector3f(3, 3, 0),
                              Vector3f(6, 3, 1)};
    auto expectOnCurve = [&](const Vector3f(&p)[4], const char* what) {
        float previousArc = 0;
        const float bones[] = {0, 1, 2, 1};
        for (int i = 0; i < 4; ++i) {
            Vector3f local = Position(chain[i]) - Vector3f(0, 0, 5);
            const Nearest n = NearestOnBezier(p, local);
            EXPECT_LT(n.m_Distance, 2e-3f) << what << " joint " << i;
            EXPECT_NEAR(n.m_Arc - previousArc, bones[i], 2e-3f) << what << " joint " << i;
            previousArc = n.m_Arc;
            if (i < 3) {
                // Each joint's bone (rest +y) points at the next joint.
                Vector3f to = Position(chain[i + 1]) - Position(chain[i]);
                to.Normalize();
                Vector3f bone = Axis(static_cast<TJoint*>(chain[i]), Vector3f(0, 1, 0));
                bone.Normalize();
                ExpectNear(bone, to, what, 1e-4f);
            }
        }
    };
    {
        SetCurve(curve, {bent[0], bent[1], bent[2], bent[3]}, {0, 0, 0, 0, 1, 1, 1, 1});
        Frame(root);
        expectOnCurve(bent, "bent");
    }
    {
        // A cluster at rest at its origin changes nothing; moved, it moves the last CV.
        Obj<TClusterHandle> cluster = MakeNode<TClusterHandle>("cluster", space, bent[3]);
        cluster->GetSNode()->Set(Member<Vector3f>(k_ClassSClusterHandle, "Origin"), bent[3]);
        for (int i = 0; i < 4; ++i)
            handle->Set(Member<ScriptObject*, true>(k_ClassTIKSplineHandle, "ClusterHandleArray"),
                        i, i == 3 ? static_cast<ScriptObject*>(cluster.Get()) : &G_NilObject);
        Frame(root);
        expectOnCurve(bent, "cluster at rest");
        static_cast<STransform*>(cluster->GetSNode())->SetTranslation(bent[3] + Vector3f(0, 0, 2));
        Frame(root);
        const Vector3f moved[4] = {bent[0], bent[1], bent[2], bent[3] + Vector3f(0, 0, 2)};
        expectOnCurve(moved, "cluster moved");
    }
    {
        // Twist grows from none at the start joint to the whole angle at the last.
        std::vector<Vector3f> sides;
        for (TJoint* joint : {j0.Get(), j1.Get(), j2.Get()})
            sides.push_back(Axis(joint, Vector3f(0, 0, 1)));
        SetPole(handle, Vector3f::Zero, 60);
        Frame(root);
        const float expected[] = {0, 30, 60};
        const TJoint* joints[] = {j0, j1, j2};
        for (int i = 0; i < 3; ++i) {
            const float c = Axis(joints[i], Vector3f(0, 0, 1)).Dot(sides[i]);
            EXPECT_NEAR(std::acos(std::fmin(1.0f, c)) * 57.29578f, expected[i], 1e-2f) << i;
        }
    }
}

TEST_F(IK, LinksAreWeakAndFollowChainChanges) {
    Obj<TBranch> root(TBranch::Create());
    Arm arm(root, Vector3f::Zero);
    Obj<TIKEffector> near = MakeNode<TIKEffector>("near", arm.shoulder, Vector3f(2, 0, 0));
    Obj<TIKHandle> handle = Handle("h", root, Vector3f(0, 2.5f, 0), arm.shoulder, arm.effector);
    const auto* link = Member<ScriptObject*>(k_ClassTJoint, "IKDependency");
    Frame(root);
    EXPECT_EQ(arm.shoulder->Get(link), handle.Get());
    EXPECT_EQ(arm.elbow->Get(link), handle.Get());
    // A shorter chain lets the elbow go; it follows the aimed shoulder again in the same frame.
    handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "EndEffector"), near.Get());
    Frame(root);
    EXPECT_EQ(arm.elbow->Get(link), &G_NilObject);
    ExpectNear(Position(near), Vector3f(0, 2, 0), "short chain aims");
    Matrix4f elbow;
    elbow.AssignMul(S(arm.elbow).GetLocalMatrix(), arm.shoulder->GetModelViewMatrix());
    EXPECT_EQ(arm.elbow->GetModelViewMatrix(), elbow);
    // Nothing but the tree holds the handle: it dies with its place, and the shoulder is free.
    Obj<WeakObjTarget> cell(const_cast<WeakObjTarget*>(handle->GetWeakObjTarget()));
    handle->SetParent(nullptr);
    handle = nullptr;
    EXPECT_TRUE(cell->GetTarget()->IsNil());
    EXPECT_EQ(arm.shoulder->Get(link), &G_NilObject);
    Frame(root);
    EXPECT_EQ(arm.shoulder->GetModelViewMatrix(), Rest(arm.shoulder));
    EXPECT_EQ(arm.effector->GetModelViewMatrix(), Rest(arm.effector));
}

TEST_F(IK, LowerSolvePriorityGoesFirstAndTheOtherHasTheLastWord) {
    // j0 - j1 - j2 with an effector under j1 (short chain) and under j2 (long chain).
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> base = MakeNode<TTransform>("base", root, Vector3f::Zero);
    Obj<TJoint> j0 = MakeNode<TJoint>("j0", base, Vector3f::Zero);
    Obj<TJoint> j1 = MakeNode<TJoint>("j1", j0, Vector3f(2, 0, 0));
    Obj<TJoint> j2 = MakeNode<TJoint>("j2", j1, Vector3f(2, 0, 0));
    S(j1).SetPreferredAngle(Vector3f(0, 0, 30));
    Obj<TIKEffector> e1 = MakeNode<TIKEffector>("e1", j1, Vector3f(2, 0, 0));
    Obj<TIKEffector> e2 = MakeNode<TIKEffector>("e2", j2, Vector3f(2, 0, 0));
    const Vector3f t1(1, 3, 0), t2(3, -2, 1);
    // The long chain comes first in the tree.
    Obj<TIKHandle> longer = Handle("long", root, t2, j0, e2);
    Obj<TIKHandle> shorter = Handle("short", root, t1, j0, e1);
    const auto* priority = Member<int32_t>(k_ClassTIKHandle, "SolvePriority");
    const auto* link = Member<ScriptObject*>(k_ClassTJoint, "IKDependency");
    longer->Set(priority, 2);
    shorter->Set(priority, 1);
    {
        // The very first pass: the long chain solves before the short one has claimed its
        // joints, so it solves again once that one took them.
        XMiniUpdateTraverse traverse;
        traverse.SetFrame(1);
        traverse.UpdateTree(root, Matrix4f::Identity);
        Array<Obj<TNode>> pending;
        traverse.TakePending(pending);
        ASSERT_EQ(pending.Size(), 1);
        EXPECT_EQ(pending[0].Get(), longer.Get());
        traverse.UpdateTree(pending[0], Matrix4f::Identity);
        EXPECT_LT(Position(e2).Distance(t2), 1e-4f);
    }
    for (int frame = 0; frame < 2; ++frame) {
        Frame(root);
        EXPECT_EQ(j0->Get(link), shorter.Get());
        EXPECT_EQ(j2->Get(link), longer.Get());
        EXPECT_LT(Position(e2).Distance(t2), 1e-4f) << "the later solve wins, frame " << frame;
    }
    longer->Set(priority, 0);
    Frame(root);
    Frame(root);
    EXPECT_EQ(j0->Get(link), longer.Get());
    EXPECT_LT(Position(e1).Distance(t1), 1e-4f) << "now the short chain solves last";
}

TEST_F(IK, HandlesAndTargetsLaterInTheTreeAndTheViewPassAgree) {
    Obj<TBranch> root(TBranch::Create());
    // Handle first, constrained to a goal and given a pole target that come last.
    Obj<TIKHandle> handle(TIKHandle::Create());
    handle->SetName("h");
    root->AddChild(handle);
    Arm arm(root, Vector3f(1, 0, 0), Vector3f(0, 30, 0));
    Obj<TTransform> goal = MakeNode<TTransform>("goal", root, Vector3f(2, 2, 1));
    Obj<TTransform> pole = MakeNode<TTransform>("pole", root, Vector3f(1, 0, 5));
    handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "StartJoint"), arm.shoulder.Get());
    handle->Set(Member<ScriptObject*>(k_ClassTIKHandle, "EndEffector"), arm.effector.Get());
    auto constraint = [&](int cls, TTransform* target) {
        Obj<ScriptObject> c = ScriptObject::Create(BuiltinTypeID(cls));
        c->Set(Member<ScriptObject*, true>(k_ClassConstraint, "TargetArray"), 0, target);
        return c;
    };
    handle->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), 0,
                constraint(k_ClassTransformConstraint, goal).Get());
    handle->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), 1,
                constraint(k_ClassPoleVectorConstraint, pole).Get());
    Matrix4f view;
    view.MakeRotation(Vector3f(0.3f, -1.1f, 0.4f), Eulerf::XYZ);
    view.AccessM3Vector3() = Vector3f(5, -3, 2);
    for (int pass = 0; pass < 2; ++pass) {
        Frame(root, view);
        // The effector reaches the goal and the elbow bends towards the pole target, in view space.
        EXPECT_LT(Position(arm.effector).Distance(Position(goal)), 1e-4f);
        const Vector3f a = Position(arm.shoulder);
        Vector3f axis = Position(goal) - a;
        axis.Normalize();
        Vector3f toPole = Position(pole) - a;
        toPole -= axis * toPole.Dot(axis);
        Vector3f toElbow = Position(arm.elbow) - a;
        toElbow -= axis * toElbow.Dot(axis);
        EXPECT_NEAR(toElbow.Dot(toPole) / (toElbow.Length() * toPole.Length()), 1.0f, 1e-4f);
    }
    // Repeated frames are identical, and match the pass without a view up to the view itself.
    const std::vector<TBaseTransform*> nodes = {arm.shoulder, arm.elbow, arm.effector, arm.forearm};
    std::vector<Matrix4f> before;
    for (const TBaseTransform* node : nodes)
        before.push_back(node->GetModelViewMatrix());
    Frame(root, view);
    for (size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(nodes[i]->GetModelViewMatrix(), before[i]) << nodes[i]->GetNameCPtr();
    Frame(root);
    Matrix4f viewed;
    viewed.AssignMul(arm.elbow->GetModelViewMatrix(), view);
    EXPECT_TRUE(viewed.EqualEpsilon(before[1], 1e-4f));
}

TEST_F(IK, BadSetupsAndValuesLeaveTheChainAtRest) {
    Obj<TBranch> root(TBranch::Create());
    const auto* startRow = Member<ScriptObject*>(k_ClassTIKHandle, "StartJoint");
    {
        LogCapture log;
        Arm arm(root, Vector3f::Zero);
        Arm other(root, Vector3f(0, 5, 0));
        // Start joint not above the effector; a plain transform inside the chain; the handle
        // below its own start joint.
        Obj<TIKHandle> apart =
            Handle("apart", root, Vector3f(1, 1, 0), other.shoulder, arm.effector);
        Obj<TJoint> deep = MakeNode<TJoint>("deep", arm.forearm, Vector3f(1, 0, 0));
        Obj<TIKEffector> under = MakeNode<TIKEffector>("under", deep, Vector3f(1, 0, 0));
        Obj<TIKHandle> across = Handle("across", root, Vector3f(1, 1, 0), arm.shoulder, under);
        Obj<TIKHandle> inside =
            Handle("inside", arm.forearm, Vector3f(1, 1, 0), arm.shoulder, arm.effector);
        // The binding refuses a handle's joint of the wrong class.
        apart->Set(startRow, arm.forearm.Get());
        EXPECT_EQ(apart->Get(startRow), other.shoulder.Get());
        EXPECT_EQ(log.Messages().size(), 1u);
        Frame(root);
        Frame(root);
        const std::vector<std::string> messages = log.Messages();
        EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.end()),
                  (std::vector<std::string>{
                      "[Error]IK: handle lies below its own start joint for inside",
                      "[Error]IK: start joint is not an ancestor of the effector for apart",
                      "[Error]IK: a node between the start joint and the effector is not a joint "
                      "for across"}));
        const std::vector<TBaseTransform*> nodes = {arm.shoulder, arm.elbow, arm.effector, deep};
        for (const TBaseTransform* node : nodes)
            EXPECT_EQ(node->GetModelViewMatrix(), Rest(node)) << node->GetNameCPtr();
        // The handle under its own chain holds its ancestor: a cycle only its owner can cut.
        inside->Set(startRow, nullptr);
        root->ResizeChild(0);
    }
    {
        // Zero-length bones, a target on the start joint, a target at infinity.
        Arm arm(root, Vector3f::Zero);
        Obj<TIKHandle> handle = Handle("h", root, Vector3f(0, 3, 0), arm.shoulder, arm.effector);
        S(arm.elbow).SetTranslation(Vector3f::Zero);
        Frame(root);
        ExpectNear(Position(arm.effector), Vector3f(0, 1.5f, 0), "one bone of two");
        S(arm.elbow).SetTranslation(Vector3f(2, 0, 0));
        static_cast<SIKHandle*>(handle->GetSNode())->SetTranslation(Vector3f::Zero);
        Frame(root);
        EXPECT_NEAR(Position(arm.effector).Length(), 0.5f, 1e-4f) << "folded onto the start";
        Obj<TTransform> far = MakeNode<TTransform>("far", root, Vector3f(1e30f, 0, 0));
        static_cast<STransform*>(far->GetSNode())->SetScaling(Vector3f(1e30f, 1, 1));
        handle->SetParent(far);
        static_cast<SIKHandle*>(handle->GetSNode())->SetTranslation(Vector3f(1e30f, 0, 0));
        Frame(root);
        EXPECT_FALSE(std::isfinite(Position(handle).GetX()));
        EXPECT_EQ(arm.effector->GetModelViewMatrix(), Rest(arm.effector));
        root->ResizeChild(0);
    }
    {
        // Spline handles with unusable curves stay at rest, each logged once.
        Arm arm(root, Vector3f::Zero);
        Obj<TSplineCurve> curve(TSplineCurve::Create());
        root->AddChild(curve);
        const float nan = std::nanf("");
        const std::vector<Vector3f> four = {Vector3f(0, 0, 0), Vector3f(1, 0, 0), Vector3f(2, 0, 0),
                                            Vector3f(3, 0, 0)};
        struct Case {
            std::vector<Vector3f> cvs;
            std::vector<float> knots;
            std::string text;
        };
        const Case cases[] = {
            {{}, {}, "spline IK without a curve"},
            {{four[0], four[1], four[2]}, {0, 0, 0, 1, 1, 1, 1}, "fewer than four control points"},
            {four, {0, 0, 0, 1, 1}, "knot count does not match the control points"},
            {four, {0, 0, 1, 0, 1, 1}, "knots not finite and non-decreasing"},
            {four, {0, 0, nan, 1, 1, 1}, "knots not finite and non-decreasing"},
            {four, {1, 1, 1, 1, 1, 1}, "empty parameter domain"},
        };
        for (const Case& c : cases) {
            Obj<TIKHandle> handle =
                Handle("s", root, Vector3f::Zero, arm.shoulder, arm.effector, true);
            if (!c.cvs.empty()) {
                SetCurve(curve, c.cvs, c.knots);
                handle->Set(Member<ScriptObject*>(k_ClassTIKSplineHandle, "SplineCurve"),
                            curve.Get());
            }
            LogCapture log;
            Frame(root);
            Frame(root);
            EXPECT_EQ(log.Messages(), std::vector<std::string>{"[Error]IK: " + c.text + " for s"});
            EXPECT_EQ(arm.effector->GetModelViewMatrix(), Rest(arm.effector)) << c.text;
            handle->SetParent(nullptr);
        }
        root->ResizeChild(0);
    }
    {
        // 100,000 joints: bounded work and memory, finite output, the end moved towards the
        // target. Both the CCD and the spline solver.
        constexpr int k_Joints = 100000;
        Obj<TTransform> base = MakeNode<TTransform>("base", root, Vector3f::Zero);
        Obj<TJoint> start = MakeNode<TJoint>("start", base, Vector3f::Zero);
        TJoint* last = start;
        for (int i = 1; i < k_Joints; ++i)
            last = MakeNode<TJoint>("j", last, Vector3f(0.001f, 0, 0)).Get();
        Obj<TIKEffector> effector = MakeNode<TIKEffector>("end", last, Vector3f(0.001f, 0, 0));
        const Vector3f target(10, 40, 0);
        const float before = Position(effector).Distance(target);
        Obj<TIKHandle> handle = Handle("long", root, target, start, effector);
        Frame(root);
        EXPECT_TRUE(Finite(last->GetModelViewMatrix()));
        EXPECT_LT(Position(effector).Distance(target), before);
        handle->SetParent(nullptr);
        handle = nullptr;
        Obj<TSplineCurve> curve(TSplineCurve::Create());
        root->AddChild(curve);
        SetCurve(curve,
                 {Vector3f(0, 0, 0), Vector3f(0, 30, 0), Vector3f(30, 30, 0), Vector3f(30, 60, 0)},
                 {0, 0, 0, 1, 1, 1});
        Obj<TIKHandle> spline = Handle("spline", root, target, start, effector, true);
        spline->Set(Member<ScriptObject*>(k_ClassTIKSplineHandle, "SplineCurve"), curve.Get());
        Frame(root);
        EXPECT_TRUE(Finite(last->GetModelViewMatrix()));
        EXPECT_GT(Position(effector).GetY(), 10.0f);
        root->ResizeChild(0);
    }
}

} // namespace
