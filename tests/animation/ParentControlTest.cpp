// Re-parenting on request: what queues a control, what the manager's update applies, the tree
// and matrices afterwards, and requests that must be refused.

#include "quorlix/animation/ParentControl.h"
#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/UpdateTraverse.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

using ParentControls = QuorlixTest::ScriptTest;

Obj<TTransform> Transform(const char* name, const Vector3f& translation = Vector3f::Zero) {
    Obj<TTransform> t(TTransform::Create());
    t->SetName(name);
    static_cast<STransform*>(t->GetSNode())->SetTranslation(translation);
    return t;
}

// A manager with two parents (10 and 20 along x) under one root, and a control "grip" for
// `child`, which starts under parent 0.
struct Stage {
    Obj<TTransform> root = Transform("root");
    Obj<TTransform> parents[2] = {Transform("p0", Vector3f(10, 0, 0)),
                                  Transform("p1", Vector3f(20, 0, 0))};
    Obj<TTransform> child = Transform("child", Vector3f(1, 0, 0));
    Obj<ParentManager> manager = ParentManager::Create();
    Obj<ParentControl> control = ParentControl::Create();

    Stage() {
        root->AddChild(parents[0]);
        root->AddChild(parents[1]);
        parents[0]->AddChild(child);
        manager->SetParent(0, parents[0]);
        manager->SetParent(1, parents[1]);
        control->SetName("grip");
        control->m_Child = child.Get();
        control->m_ParentManager = manager;
        manager->SetControl(0, control);
        manager->AdvanceFrame(); // applies nothing: ParentID is -1
    }
    // Controls and their manager refer to each other; the manager lets go of its controls.
    ~Stage() {
        if (manager != nullptr)
            manager->SetControlCount(0);
    }
};

TEST_F(ParentControls, ParentIDRequestsApplyAtTheNextUpdate) {
    {
        // The move happens in the update: Child arrays, Parent and the matrices follow.
        Stage s;
        s.control->SetParentID(1);
        EXPECT_EQ(s.child->GetParent(), s.parents[0].Get());
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[1].Get());
        EXPECT_EQ(s.parents[0]->ChildCount(), 0);
        ASSERT_EQ(s.parents[1]->ChildCount(), 1);
        EXPECT_EQ(s.parents[1]->GetChild(0), s.child.Get());
        XMiniUpdateTraverse().UpdateTree(s.root, Matrix4f::Identity);
        Vector3f origin;
        MulVector3Matrix4x3(origin, Vector3f::Zero, s.child->GetModelViewMatrix());
        EXPECT_EQ(origin, Vector3f(21, 0, 0));
    }
    {
        // The same id twice re-parents once: the second request is ignored, so a child moved
        // by hand in between stays where it was put.
        Stage s;
        s.control->SetParentID(1);
        s.manager->AdvanceFrame();
        s.parents[0]->AddChild(s.child);
        s.control->SetParentID(1);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[0].Get());
        // Applying every control does not repeat a move either.
        s.manager->SetControl(0, s.control);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[0].Get());
        // Negative ids are ignored; ParentIDSwap requests through the swapped view.
        s.control->SetParentID(-2);
        EXPECT_EQ(s.control->GetParentID(), 1);
        s.control->m_SwapRange = Vector4f(0, 1, 1, 2);
        s.control->SetParentIDSwap(1); // id 0
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[0].Get());
        s.control->SetParentIDSwap(0);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[1].Get());
    }
    {
        // A change of ControlArray applies every control, also those whose id was set while
        // they had no manager; a control without a manager only stores its id.
        Stage s;
        Obj<ParentControl> loose = ParentControl::Create();
        Obj<TTransform> other = Transform("other");
        loose->m_Child = other.Get();
        loose->SetParentID(0);
        EXPECT_EQ(other->GetParent(), nullptr);
        s.manager->SetControl(2, loose);
        EXPECT_TRUE(s.manager->IsAllDirty());
        s.manager->AdvanceFrame();
        EXPECT_FALSE(s.manager->IsAllDirty());
        EXPECT_EQ(other->GetParent(), s.parents[0].Get());
        s.manager->SetControlCount(1);
        EXPECT_TRUE(s.manager->IsAllDirty());
    }
}

TEST_F(ParentControls, UndefinedAndCircularRequestsAreRefused) {
    Stage s;
    {
        // Ids beyond ParentArray or naming an empty entry are reported at each update that
        // applies them; the child stays.
        s.control->SetParentID(5);
        LogCapture log;
        s.manager->AdvanceFrame();
        s.control->SetParentID(5); // the same request again is not queued
        s.manager->AdvanceFrame();
        s.manager->SetParent(3, nullptr);
        s.control->SetParentID(2);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[0].Get());
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{
                      "[Warn ]ParentManager: requested undefined ParentID 5 for \"grip\".",
                      "[Warn ]ParentManager: requested undefined ParentID 2 for \"grip\"."}));
    }
    {
        // A parent at or below the child would close a cycle: refused, and tried again later.
        Obj<ParentControl> lift = ParentControl::Create();
        lift->SetName("lift");
        lift->m_ParentManager = s.manager;
        lift->m_Child = s.root.Get();
        s.manager->SetControl(1, lift);
        s.manager->AdvanceFrame();
        LogCapture log;
        lift->SetParentID(1);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.root->GetParent(), nullptr);
        EXPECT_EQ(s.parents[1]->GetParent(), s.root.Get());
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{"[Warn ]ParentManager: ParentID 1 for \"lift\" would "
                                            "put \"root\" below itself; ignored."}));
        Obj<TTransform> top = Transform("top");
        s.manager->SetParent(1, top);
        s.manager->SetControlCount(2);
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.root->GetParent(), top.Get());
    }
}

TEST_F(ParentControls, QueuedControlsMayDieOrOutliveTheirManager) {
    {
        // A control queued several times is applied once; one that dies while queued is
        // skipped; nil entries of ControlArray are passed over.
        Stage s;
        s.manager->SetControl(3, nullptr);
        s.manager->AdvanceFrame();
        s.control->SetParentID(1);
        s.control->SetParentID(0);
        s.control->SetParentID(1);
        Obj<ParentControl> doomed = ParentControl::Create();
        Obj<TTransform> other = Transform("other");
        doomed->m_ParentManager = s.manager;
        doomed->m_Child = other.Get();
        doomed->SetParentID(0);
        doomed = nullptr;
        s.manager->AdvanceFrame();
        EXPECT_EQ(s.child->GetParent(), s.parents[1].Get());
        EXPECT_EQ(other->GetParent(), nullptr);
    }
    {
        // A manager dropped with controls still queued lets them go; they queue elsewhere.
        Stage s;
        Obj<ParentControl> control = s.control;
        Obj<TTransform> child = s.child;
        Obj<ParentManager> spare = ParentManager::Create();
        spare->SetParent(0, s.parents[1]);
        spare->AdvanceFrame();
        control->SetParentID(1); // queued in the stage's manager
        control->m_ParentManager = spare;
        s.manager = nullptr;
        control->SetParentID(0);
        spare->AdvanceFrame();
        EXPECT_EQ(child->GetParent(), s.parents[1].Get());
    }
}

} // namespace
