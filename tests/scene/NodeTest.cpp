// The node model: S/T pairs, the tree of T nodes and its links, names, and the members whose
// sets have effects (visibility, camera, transforms). Plain members and their defaults are
// covered by the class walk of the script tests.

#include "quorlix/scene/Node.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/Field.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"

#include "SceneTestSupport.h"
#include "support/LogCapture.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

class SceneNodes : public QuorlixTest::SceneTest {
protected:
    static const ClassMember_Object* ParentMember() {
        return Member<ScriptObject*>(k_ClassTNode, "Parent");
    }
    static const ClassMember_Index_Object* ChildMember() {
        return Member<ScriptObject*, true>(k_ClassTBranch, "Child");
    }
    static const std::string k_OwnAncestor;
};

const std::string SceneNodes::k_OwnAncestor =
    "[Error]TNode::SetParent: \"A\" cannot become its own ancestor; assignment ignored.";

Obj<TBranch> NamedBranch(const char* name) {
    Obj<TBranch> b(TBranch::Create());
    b->SetName(name);
    return b;
}

TEST_F(SceneNodes, TObjectsComeWithAnSObjectOfTheirClass) {
    const int pairs[][2] = {
        {k_ClassTNode, k_ClassSNode},
        {k_ClassTBranch, k_ClassSBranch},
        {k_ClassTTransform, k_ClassSTransform},
        {k_ClassTClusterHandle, k_ClassSClusterHandle},
        {k_ClassTJoint, k_ClassSJoint},
        {k_ClassTIKSplineHandle, k_ClassSIKSplineHandle},
        {k_ClassTSplineCurve, k_ClassSSplineCurve},
        {k_ClassTCamera, k_ClassSCamera},
        {k_ClassTLODGroup, k_ClassSLODGroup},
        {k_ClassTGeometry, k_ClassSGeometry},
        {k_ClassTSpriteGeometry, k_ClassSSpriteGeometry},
        {k_ClassTLensflare, k_ClassSLensflare},
        {k_ClassTParticles, k_ClassSParticles},
        {k_ClassTEmitter, k_ClassSEmitter},
        {k_ClassTField, k_ClassSField},
        {k_ClassTGravityField, k_ClassSGravityField},
        {k_ClassTRadialField, k_ClassSRadialField},
        {k_ClassTContainer, k_ClassSContainer},
        {k_ClassTSoundEmitter, k_ClassSSoundEmitter},
        {k_ClassTSoundReceiver, k_ClassSSoundReceiver},
        {k_ClassTPolygonGeometry, k_ClassSPolygonGeometry},
        {k_ClassTSkinPolygonGeometry, k_ClassSSkinPolygonGeometry},
        {k_ClassTMetaballs, k_ClassSMetaballs},
    };
    for (const auto& pair : pairs) {
        Obj<ScriptObject> t = ScriptObject::Create(BuiltinTypeID(pair[0]));
        ASSERT_TRUE(t->IsA(BuiltinTypeID(k_ClassTNode))) << pair[0];
        SNode* s = static_cast<TNode*>(t.Get())->GetSNode();
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetObjectClassID(), BuiltinTypeID(pair[1]));
        EXPECT_EQ(BlockRefCount(s), 1); // no stray S objects or references
        EXPECT_EQ(t->Get(Member<ScriptObject*>(k_ClassTNode, "SNode")), s);
    }
    // The native Create does the same, and the type records name the objects' types.
    Obj<TCamera> camera(TCamera::Create());
    EXPECT_EQ(camera->GetTypeInfo(), TCamera::GetTCameraTypeInfo());
    EXPECT_EQ(camera->GetSNode()->GetTypeInfo(), SCamera::GetSCameraTypeInfo());
    Obj<TGravityField> gravity = TGravityField::Create();
    EXPECT_EQ(gravity->GetSNode()->GetTypeInfo(), SGravityField::GetSGravityFieldTypeInfo());
}

TEST_F(SceneNodes, SNodeAssignmentChecksTheClassAndSharesTheObject) {
    Obj<TCamera> a(TCamera::Create());
    Obj<TCamera> b(TCamera::Create());
    Obj<SNode> original(a->GetSNode());
    const auto* sNode = Member<ScriptObject*>(k_ClassTNode, "SNode");
    {
        // Another S class, a T object and nil are refused; the S object stays.
        LogCapture log;
        Obj<SLight> light(SLight::Create());
        a->Set(sNode, light.Get());
        a->SetSNode(nullptr);
        a->Set(sNode, &G_NilObject);
        EXPECT_EQ(a->GetSNode(), original.Get());
        const std::string refused =
            "[Error]TNode_D::SetSNode: assignment of incompatible SNode ignored.";
        EXPECT_EQ(log.Messages(), std::vector<std::string>(3, refused));
    }
    // Two T objects share one S object; it lives while either refers to it.
    Obj<SNode> shared(b->GetSNode());
    a->Set(sNode, shared.Get());
    EXPECT_EQ(a->GetSNode(), b->GetSNode());
    EXPECT_EQ(BlockRefCount(original.Get()), 1);
    EXPECT_EQ(BlockRefCount(shared.Get()), 3);
    b = nullptr;
    EXPECT_EQ(BlockRefCount(shared.Get()), 2);
    EXPECT_EQ(a->GetSNode(), shared.Get());
}

TEST_F(SceneNodes, ParentAndChildArraysStayConsistent) {
    Obj<TBranch> p = NamedBranch("P");
    Obj<TBranch> q = NamedBranch("Q");
    Obj<TCamera> child(TCamera::Create());
    const auto* parent = ParentMember();
    const auto* children = ChildMember();

    child->Set(parent, p.Get());
    EXPECT_EQ(child->GetParent(), p.Get());
    ASSERT_EQ(p->ChildCount(), 1);
    EXPECT_EQ(BlockRefCount(child.Get()), 2);
    // The current parent again: nothing changes.
    child->Set(parent, p.Get());
    EXPECT_EQ(p->ChildCount(), 1);
    {
        // A leaf or a non-node cannot be a parent.
        LogCapture log;
        Obj<TCamera> leaf(TCamera::Create());
        child->Set(parent, leaf.Get());
        child->Set(parent, child->GetSNode());
        EXPECT_EQ(child->GetParent(), p.Get());
        const std::vector<std::string> expected = {
            "[Error]ScriptObject::ExpectFailed: cannot cast \"TCamera\" to \"TBranch\".",
            "[Error]ScriptObject::ExpectFailed: cannot cast \"SCamera\" to \"TBranch\".",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
    // Re-parenting moves the node between the arrays.
    child->SetParent(q.Get());
    EXPECT_EQ(p->ChildCount(), 0);
    ASSERT_EQ(q->ChildCount(), 1);
    EXPECT_EQ(q->GetChild(0), child.Get());
    // Storing into Child moves it back and sets Parent; the slot's old node is detached.
    Obj<TCamera> other(TCamera::Create());
    p->Set(children, 0, other.Get());
    p->Set(children, 0, child.Get());
    EXPECT_EQ(child->GetParent(), p.Get());
    EXPECT_EQ(q->ChildCount(), 0);
    EXPECT_EQ(other->GetParent(), nullptr);
    EXPECT_EQ(BlockRefCount(other.Get()), 1);
    // Whole arrays: shrinking detaches, and a child listed twice keeps one place.
    {
        Array<Obj<ScriptObject>> list;
        list.Add(Obj<ScriptObject>(other.Get()));
        list.Add(Obj<ScriptObject>(child.Get()));
        list.Add(Obj<ScriptObject>(other.Get()));
        EXPECT_TRUE(q->SetArray<ScriptObject*>(children, list));
        EXPECT_EQ(p->ChildCount(), 0);
        ASSERT_EQ(q->ChildCount(), 3);
        EXPECT_EQ(q->GetChild(0), child.Get());
        EXPECT_EQ(q->GetChild(1), nullptr);
        EXPECT_EQ(q->GetChild(2), other.Get());
    }
    q->ResizeChild(1);
    EXPECT_EQ(other->GetParent(), nullptr);
    {
        // Indexes out of range are refused.
        LogCapture log;
        q->Set(children, -1, other.Get());
        q->Set(children, 70000, other.Get());
        EXPECT_EQ(log.Messages().size(), 2u);
        EXPECT_EQ(q->ChildCount(), 1);
    }
    // Nil detaches; the node survives on its own handle.
    child->Set(parent, &G_NilObject);
    EXPECT_EQ(q->ChildCount(), 0);
    EXPECT_TRUE(child->Get(parent)->IsNil());
    EXPECT_EQ(BlockRefCount(child.Get()), 1);
    // A node held only by its parent is not destroyed while it detaches itself.
    TCamera* lone = TCamera::Create();
    lone->SetName("lone");
    lone->SetParent(p.Get());
    EXPECT_EQ(BlockRefCount(lone), 1);
    p->GetChild(0)->SetParent(nullptr); // destroys it, after the last access (ASan checks)
    EXPECT_EQ(p->ChildCount(), 0);
}

TEST_F(SceneNodes, CyclesAreRefused) {
    Obj<TBranch> a = NamedBranch("A");
    Obj<TBranch> b = NamedBranch("B");
    Obj<TBranch> c = NamedBranch("C");
    b->SetParent(a.Get());
    c->SetParent(b.Get());
    LogCapture log;
    a->Set(ParentMember(), c.Get());
    a->SetParent(a.Get());
    c->Set(ChildMember(), 0, a.Get());
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(c->ChildCount(), 0);
    EXPECT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(log.Messages(), std::vector<std::string>(3, k_OwnAncestor));
}

TEST_F(SceneNodes, DyingBranchClearsItsChildrenAndReleasesThem) {
    Obj<TCamera> kept(TCamera::Create());
    {
        Obj<TBranch> root(TBranch::Create());
        Obj<TBranch> middle(TBranch::Create());
        middle->SetParent(root.Get());
        kept->SetParent(middle.Get());
        middle = nullptr; // now owned by root only
        EXPECT_EQ(BlockRefCount(kept.Get()), 2);
    }
    // The whole subtree died except the node held here, which no longer points into it.
    EXPECT_EQ(kept->GetParent(), nullptr);
    EXPECT_EQ(BlockRefCount(kept.Get()), 1);
}

TEST_F(SceneNodes, DeepChainIsBuiltAndDestroyedWithoutRecursion) {
    constexpr int k_Depth = 100000;
    Obj<TTransform> root(TTransform::Create());
    Obj<TTransform> deepest = root;
    for (int i = 1; i < k_Depth; ++i) {
        Obj<TTransform> next(TTransform::Create());
        next->SetParent(deepest.Get());
        deepest = next;
    }
    EXPECT_NE(deepest->GetParentTransform(), nullptr);
    {
        // Cycle checks walk the whole chain when they must.
        LogCapture log;
        root->SetParent(deepest.Get());
        EXPECT_EQ(root->GetParent(), nullptr);
    }
    root = nullptr;
    EXPECT_EQ(deepest->GetParent(), nullptr);
    EXPECT_EQ(BlockRefCount(deepest.Get()), 1);
}

TEST_F(SceneNodes, SetTSNodeNameNamesBothHalves) {
    Obj<TLight> lamp(TLight::Create());
    const struct {
        const char* t;
        const char* s;
    } cases[] = {{"Lamp", "SLamp"},
                 {"scene:Lamp", "scene:SLamp"},
                 {"x:y:z", "x:y:Sz"},
                 {"", "S"},
                 {"end:", "end:S"}};
    for (const auto& c : cases) {
        SetTSNodeName(lamp.Get(), String(c.t).Ref());
        EXPECT_STREQ(lamp->GetNameCPtr(), c.t);
        EXPECT_STREQ(lamp->GetSNode()->GetNameCPtr(), c.s);
    }
    // Objects that are not T nodes are only named; nothing happens to nil.
    Obj<SLight> s(SLight::Create());
    SetTSNodeName(s.Get(), String("Lamp").Ref());
    EXPECT_STREQ(s->GetNameCPtr(), "Lamp");
    SetTSNodeName(&G_NilObject, String("Lamp").Ref());
    SetTSNodeName(nullptr, String("Lamp").Ref());
}

TEST_F(SceneNodes, VisibilityF32IsAThresholdedViewOfVisibility) {
    Obj<SNode> s(SNode::Create());
    const auto* f = Member<float>(k_ClassSNode, "VisibilityF32");
    const auto* u = Member<uint32_t>(k_ClassSNode, "Visibility");
    const struct {
        float in;
        uint32_t visibility;
    } cases[] = {
        {0.00000001f, 0},
        {-1.0f, 1},
        {5.9604645e-8f, 1},
        {-5.9604645e-8f, 1},
        {5.96e-8f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0}, // NaN hides
        {-std::numeric_limits<float>::infinity(), 1},
    };
    for (const auto& c : cases) {
        s->Set(f, c.in);
        EXPECT_EQ(s->GetVisibility(), c.visibility) << c.in;
        EXPECT_EQ(s->Get(f), c.visibility != 0 ? 1.0f : 0.0f);
    }
    s->Set(u, 0x80000000u);
    EXPECT_EQ(s->Get(f), 1.0f);
}

TEST_F(SceneNodes, CameraFieldOfViewAndFocalLengthFollowEachOther) {
    Obj<SCamera> cam(SCamera::Create());
    const auto* fov = Member<float>(k_ClassSCamera, "FieldOfView");
    const auto* focal = Member<float>(k_ClassSCamera, "FocalLength");
    EXPECT_NEAR(cam->Get(focal), 28.974f, 0.001f);

    cam->Set(fov, 0.0f);
    EXPECT_EQ(cam->GetFieldOfView(), 1.5258789e-5f);
    cam->Set(fov, 200.0f);
    EXPECT_EQ(cam->GetFieldOfView(), 179.99998f);
    cam->Set(fov, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(cam->GetFieldOfView(), 1.5258789e-5f);

    // FocalLength sets the field of view: 2 atan(0.945 * 12.7 / f) degrees.
    cam->Set(focal, 12.0015f);
    EXPECT_NEAR(cam->GetFieldOfView(), 90.0f, 1e-4f);
    EXPECT_EQ(cam->GetFocalLength(), 12.0015f);
    cam->Set(focal, 0.0f);
    EXPECT_EQ(cam->GetFieldOfView(), 179.99998f);
    cam->Set(focal, -5.0f);
    EXPECT_EQ(cam->GetFieldOfView(), 1.5258789e-5f);
    {
        LogCapture log;
        cam->Set(focal, std::numeric_limits<float>::quiet_NaN());
        EXPECT_EQ(cam->GetFocalLength(), -5.0f);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]SCamera::SetFocalLength: NaN ignored."});
    }
    // The aperture re-derives the focal length from the field of view.
    cam->SetFieldOfView(90.0f);
    cam->Set(Member<Vector2f>(k_ClassSCamera, "Aperture"), Vector2f(1.0f, 1.0f));
    EXPECT_NEAR(cam->GetFocalLength(), 12.7f, 1e-4f);
}

TEST_F(SceneNodes, ParentTransformIsTheNearestTransformAncestor) {
    Obj<TTransform> outer(TTransform::Create());
    Obj<TJoint> inner(TJoint::Create());
    Obj<TBranch> group(TBranch::Create());
    Obj<TCamera> cam(TCamera::Create());
    inner->SetParent(outer.Get());
    group->SetParent(inner.Get());
    cam->SetParent(group.Get());
    const auto* pt = Member<ScriptObject*>(k_ClassTNode, "ParentTransform");
    EXPECT_EQ(cam->Get(pt), inner.Get());
    EXPECT_EQ(inner->GetParentTransform(), outer.Get());
    EXPECT_TRUE(outer->Get(pt)->IsNil());
    // Computed: a set changes nothing and logs nothing.
    LogCapture log;
    cam->Set(pt, outer.Get());
    EXPECT_EQ(cam->Get(pt), inner.Get());
    EXPECT_TRUE(log.Messages().empty());
}

TEST_F(SceneNodes, TransformSettersKeepTheComponentWordAndInvalidate) {
    Obj<STransform> s(STransform::Create());
    EXPECT_EQ(s->GetLocalState(), SBaseTransform::LocalIdentity);
    s->Set(Member<Vector3f>(k_ClassSSimpleTransform, "Translation"), Vector3f(5, 5, 5));
    s->SetScaling(Vector3f(1, 1, 1.0000001f));
    s->SetShearing(Vector3f(0, 1, 0));
    EXPECT_EQ(s->GetLocalState(), SBaseTransform::LocalInvalid);
    EXPECT_EQ(s->GetComponents(), 1u + 4u + 8u);
    EXPECT_EQ(s->GetTranslation(), Vector3f(5, 5, 5)); // limits are off by default
    s->SetTranslation(Vector3f::Zero);
    s->SetScaling(Vector3f(1, 1, 1));
    s->SetShearing(Vector3f::Zero);
    EXPECT_EQ(s->GetComponents(), 0u);

    // A joint keeps its cache when the parent scaling it is given does not change.
    Obj<SJoint> j(SJoint::Create());
    j->SetParentScaling(Vector3f(1, 1, 1));
    j->SetParentScalingEnable(true);
    j->SetPreferredAngle(Vector3f(10, 0, 0));
    EXPECT_EQ(j->GetLocalState(), SBaseTransform::LocalIdentity);
    j->SetParentScaling(Vector3f(2, 1, 1));
    EXPECT_EQ(j->GetLocalState(), SBaseTransform::LocalInvalid);
    EXPECT_EQ(j->GetComponents(), 1024u);

    // The model-view inverse follows the matrix it inverts.
    Obj<TTransform> t(TTransform::Create());
    Matrix4f m = Matrix4f::Identity;
    m.SetM30(3.0f);
    t->SetModelViewMatrix(m);
    EXPECT_FLOAT_EQ(t->GetModelViewMatrixInverse().Get(3, 0), -3.0f);
}

TEST_F(SceneNodes, ScriptClassExtendingTTransformGetsItsSObject) {
    const float speed = 2.5f;
    auto mover = QuorlixTest::DefineClass("Mover", BuiltinTypeID(k_ClassTTransform),
                                          {{"Speed", k_ClassF32, 0, &speed}});
    Obj<ScriptObject> object = ScriptObject::Create(mover->GetClassID());
    ASSERT_TRUE(object->IsA(BuiltinTypeID(k_ClassTTransform)));
    auto* node = static_cast<TTransform*>(object.Get());
    ASSERT_NE(node->GetSNode(), nullptr);
    EXPECT_EQ(node->GetSNode()->GetObjectClassID(), BuiltinTypeID(k_ClassSTransform));
    EXPECT_EQ(BlockRefCount(node->GetSNode()), 1);
    // Native members through the rows, the script member behind them.
    EXPECT_EQ(object->Get(mover->FindMember_F32("Speed")), 2.5f);
    object->Set(mover->FindMember_F32("Speed"), 4.0f);
    node->GetSNode()->Set(Member<Vector3f>(k_ClassSSimpleTransform, "Translation"),
                          Vector3f(1, 2, 3));
    EXPECT_EQ(static_cast<STransform*>(node->GetSNode())->GetTranslation(), Vector3f(1, 2, 3));
    Obj<TBranch> group(TBranch::Create());
    object->Set(ParentMember(), group.Get());
    EXPECT_EQ(group->GetChild(0), node);
    EXPECT_EQ(object->Get(mover->FindMember_F32("Speed")), 4.0f);
    group = nullptr;
    EXPECT_TRUE(object->Get(ParentMember())->IsNil());
}

} // namespace

TEST_F(SceneNodes, FileNamesJoinStoragePathPrefixAndNameUnlessAbsolute) {
    Obj<FileObject> file(FileObject::Create());
    String out("stale");
    file->SetFileName(String("wood").Ref());
    EXPECT_EQ(FormFileName(file.Get(), String("Images/").Ref(), out), SOK);
    EXPECT_STREQ(out.GetCPtr(), "Images/wood");

    file->SetStoragePath(String("data/").Ref());
    EXPECT_EQ(FormFileName(file.Get(), String("Images/").Ref(), out), SOK);
    EXPECT_STREQ(out.GetCPtr(), "data/Images/wood");

    // The rest of an absolute name stands as it is, whatever the prefix and storage path.
    file->SetFileName(String("absolute:///tmp/x").Ref());
    EXPECT_EQ(FormFileName(file.Get(), String("Images/").Ref(), out), SOK);
    EXPECT_STREQ(out.GetCPtr(), "/tmp/x");
    file->SetFileName(String("absolute:/").Ref());
    EXPECT_EQ(FormFileName(file.Get(), String("p/").Ref(), out), SOK);
    EXPECT_STREQ(out.GetCPtr(), "data/p/absolute:/");

    Obj<Object> plain(Object::Create());
    EXPECT_EQ(FormFileName(plain.Get(), String("p/").Ref(), out), ENotFound);
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(FormFileName(nullptr, String("p/").Ref(), out), ENotFound);
}
