// The per-frame driver of a host without a frame loop of its own: it finds the schedulers, pose
// blends and parent managers a script made and advances them in that order, so what a clip
// writes reaches a pose blend and a parent manager within the same frame.

#include "quorlix/animation/AnimationSystem.h"
#include "quorlix/scene/BlendControl.h"
#include "quorlix/scene/Node.h"
#include "quorlix/script/ScriptEngine.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

using namespace Quorlix;

namespace {

using Animating = QuorlixTest::ScriptTest;

// A clip drives a blend control's weight (which a pose blend reads) and a parent control's id
// (which a parent manager applies): 0 to 1 over the clip's second, the id in one step at its end.
const char* const k_Script = R"(
SplineScalarf:weight . { .KeyTime [0.0, 1.0]; .KeyValue [0.0, 1.0];
                         .KeyTangentIn [0.0, 1.0]; .KeyTangentOut [1.0, 0.0]; };
SplineScalarf:pick . { .KeyTime [0.0, 1.0]; .KeyValue [0.0, 1.0]; .KeyTangentOut [1.0e30, 0.0]; };
AnimationLibrary:lib . { .StartTime 0.0F; .EndTime 1.0F; .Curve [:weight, :pick];
                         .GroupPort [0, 1]; };
TTransform:a; TTransform:b; TTransform:child;
ParentManager:manager . { .ParentArray [:a, :b];
    .ControlArray [ ParentControl:control . { .ParentManager :manager; .Child :child;
                                              .ParentID 0; } ]; };
BlendControl:knob;
ConnectionGroup:ports . { .Object [:knob, :control];
                          .Member [@BlendControl.Weight, @ParentControl.ParentID];
                          .MemberIndex [0, 0]; .MemberMask [0u, 0u]; };
AnimationClip:clip . { .AnimationLibrary :lib; };
AnimationScheduler:player . { .ConnectionGroup :ports; .AnimationClip [:clip]; };
VertexDataF32:pose . { .DataArray [10.0]; };
BlendControl:out;
ConnectionGroup:outs . { .Object [:out]; .Member [@BlendControl.Weight]; .MemberIndex [0];
                         .MemberMask [0u]; };
PoseBlend:blend . { .BlendControl [:knob]; .PoseDefault [1.0];
                    .OperatorArray [PoseBlend.Add]; .ValueArray [:pose];
                    .ConnectionGroup :outs; };
)";

TEST_F(Animating, DriversAdvanceInOrderWithinOneFrame) {
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    {
        QuorlixTest::LogCapture log;
        engine->Execute(String(k_Script), String("drivers.kss"), 0);
        ASSERT_EQ(engine->GetErrorCount(), 0) << log.Text();
    }
    auto* out = dynamic_cast<BlendControl*>(engine->FindObjectC("out"));
    auto* child = dynamic_cast<TNode*>(engine->FindObjectC("child"));
    ASSERT_NE(out, nullptr);
    ASSERT_NE(child, nullptr);

    AnimationSystem animation(engine->GetRootNamespace());
    EXPECT_EQ(animation.GetSchedulerCount(), 1);
    EXPECT_EQ(animation.GetPoseBlendCount(), 1);
    EXPECT_EQ(animation.GetParentManagerCount(), 1);

    // Half way: the pose blend sees the weight the clip wrote in this frame.
    animation.AdvanceFrame(0.5);
    EXPECT_FLOAT_EQ(out->m_Weight, 1.0f + 0.5f * 10.0f);
    EXPECT_EQ(child->GetParent(), engine->FindObjectC("a"));
    // At the end the id steps to 1, and the manager moves the child in the same frame.
    animation.AdvanceFrame(1.0);
    EXPECT_FLOAT_EQ(out->m_Weight, 11.0f);
    EXPECT_EQ(child->GetParent(), engine->FindObjectC("b"));

    // Without drivers, or without a namespace, nothing is held and a frame does nothing.
    animation.Collect(ScriptNamespace::Nil());
    EXPECT_EQ(animation.GetSchedulerCount() + animation.GetPoseBlendCount() +
                  animation.GetParentManagerCount(),
              0);
    animation.AdvanceFrame(2.0);

    // The control and its manager hold each other.
    dynamic_cast<ParentManager*>(engine->FindObjectC("manager"))->SetControlCount(0);
}

} // namespace
