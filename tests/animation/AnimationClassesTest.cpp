// The animation, pose, parent-control and spline classes as the registry lists them, their
// defaults, the key columns of the splines, and the members computed from others.

#include "quorlix/animation/AnimationClip.h"
#include "quorlix/animation/AnimationLibrary.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/animation/ParentControl.h"
#include "quorlix/animation/PoseBlend.h"
#include "quorlix/animation/Spline.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"
#include "support/RegistryCheck.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using AnimationClasses = QuorlixTest::ScriptTest;

// KeyValue, KeyTangentIn, KeyTangentOut of element type `type`.
std::vector<RegistryMember> KeyColumns(int type) {
    return {{1, "KeyValue", type, 0x400},
            {2, "KeyTangentIn", type, 0x400},
            {3, "KeyTangentOut", type, 0x400}};
}

TEST_F(AnimationClasses, RegistryAndDefaultsMatchTheTable) {
    const std::vector<RegistryClass> classes = {
        {"ParentControl",
         -3856,
         -4032,
         {{1, "ParentManager", k_Obj, 0x1200},
          {2, "Child", k_Obj, 0x1200},
          {3, "ParentID", k_I32, 0, -1},
          {4, "ParentIDSwap", k_I32, 0x1, -1},
          {5, "SwapRange", k_ClassVector4f, 0, Vector4f(0, 0, 0, 0)}}},
        {"ParentManager",
         -3855,
         -4032,
         {{1, "ControlArray", k_Obj, 0x2600}, {2, "ParentArray", k_Obj, 0x2600}}},
        {"PoseBlend",
         -3902,
         -4032,
         {{1, "BlendControl", k_Obj, 0x2600},
          {2, "PoseDefault", k_F32, 0x400},
          {3, "OperatorArray", k_ClassEnum, 0x400},
          {4, "ValueArray", k_Obj, 0x2600},
          {5, "ConnectionGroup", k_Obj, 0x1200}}},
        {"AnimationClip",
         -3952,
         -4032,
         {{1, "AnimationLibrary", k_Obj, 0x1200},
          {2, "Enabled", k_ClassBool, 0, true},
          {3, "Relative", k_ClassBool, 0, false},
          {4, "Cycles", k_F64, 0, 1.0},
          {5, "Scale", k_F64, 0, 1.0},
          {6, "StartTime", k_F64, 0, 0.0},
          {7, "EndTime", k_F64, 0x1, 1.0},
          {8, "Duration", k_F64, 0x1, 1.0},
          {9, "WarpTime", k_F64, 0, -1.0},
          {10, "AmplitudeScale", k_F32, 0, 1.0f},
          {11, "Track", k_I32, 0, 0}}},
        {"AnimationClipEvent", -3951, -3952, {}},
        {"AnimationLibrary",
         -3950,
         -4032,
         {{1, "StartTime", k_F64, 0, 0.0},
          {2, "EndTime", k_F64, 0, 0.0},
          {3, "Curve", k_Obj, 0x2600},
          {4, "GroupPort", k_I32, 0x400}}},
        {"AnimationScheduler",
         -3949,
         -4032,
         {{1, "ConnectionGroup", k_Obj, 0x1200},
          {2, "AnimationClip", k_Obj, 0x2600},
          {3, "RemoveExpiredClip", k_ClassBool, 0, false},
          {4, "TrackEndTime", k_F64, 0x400, ElementsDefault{32, -1.0}}}},
        {"ConnectionGroup",
         -3948,
         -4032,
         {{1, "Object", k_Obj, 0x2600},
          {2, "Member", k_ClassMemberID, 0x400},
          {3, "MemberIndex", k_I32, 0x400},
          {4, "MemberMask", k_ClassU32, 0x400}}},
        {"SplineBase", -3947, -4032, {{1, "KeyTime", k_F32, 0x400}}},
        {"SplineScalarf", -3946, -3947, KeyColumns(k_F32)},
        {"SplineVector2f", -3945, -3947, KeyColumns(k_ClassVector2f)},
        {"SplineVector3f", -3944, -3947, KeyColumns(k_ClassVector3f)},
        {"SplineVector4f", -3943, -3947, KeyColumns(k_ClassVector4f)},
        {"SplineQuaternionf", -3942, -3947, {{1, "KeyValue", k_ClassVector4f, 0x400}}},
    };
    for (const RegistryClass& c : classes) {
        ExpectRegistered(c);
        ExpectDefaults(c);
    }
    ExpectEnumeration(
        {"PoseBlend.OperatorEnum", -3901, "PoseBlend", {"Add", "Blend", "Min", "Max", "Mul"}});
    Obj<AnimationClipEvent> event = AnimationClipEvent::Create();
    EXPECT_EQ(event->GetEventMode(), 1u);
    EXPECT_EQ(event->GetTypeInfo(), AnimationClipEvent::GetAnimationClipEventTypeInfo());
}

TEST_F(AnimationClasses, KeyColumnsGrowTheKeysTheyShare) {
    const int scalar = -3946 & 0xFFF;
    const auto* time = MemberIDOf<ClassMember_Index_F32>(1, -3947 & 0xFFF);
    const auto* value = MemberIDOf<ClassMember_Index_F32>(1, scalar);
    const auto* tangentIn = MemberIDOf<ClassMember_Index_F32>(2, scalar);
    Obj<SplineScalarf> spline = SplineScalarf::Create();
    {
        // Writing KeyValue[3] on an empty spline makes four keys, three of them all zero.
        spline->Set(value, 3, 2.5f);
        ASSERT_EQ(spline->GetKeyCount(), 4);
        EXPECT_EQ(spline->Size(time), 4);
        EXPECT_EQ(spline->Size(tangentIn), 4);
        for (int i = 0; i < 3; ++i) {
            const KeyScalarf& key = spline->GetKeys()[i];
            EXPECT_EQ(key.m_Time, 0.0f);
            EXPECT_EQ(key.m_Value, 0.0f);
            EXPECT_EQ(key.m_TangentIn, 0.0f);
            EXPECT_EQ(key.m_TangentOut, 0.0f);
        }
        spline->Set(time, 3, 1.5f);
        EXPECT_EQ(spline->GetKeys()[3].m_Time, 1.5f);
        EXPECT_EQ(spline->GetKeys()[3].m_Value, 2.5f);
        EXPECT_EQ(spline->Get(value, 4), 0.0f); // outside: no key made
        EXPECT_EQ(spline->GetKeyCount(), 4);
    }
    {
        // Indices a file could carry never crash or allocate without bound.
        LogCapture log;
        spline->Set(time, -1, 1.0f);
        spline->Set(time, 1 << 24, 1.0f);
        spline->Set(value, 4 + 65536, 1.0f);
        spline->SetKeyCount(-2);
        EXPECT_EQ(spline->GetKeyCount(), 4);
        const std::vector<std::string> expected = {
            "[Error]SplineScalarf.KeyTime: index -1 is out of range.",
            "[Error]SplineScalarf.KeyTime: index 16777216 is out of range.",
            "[Error]SplineScalarf.KeyValue: index 65540 would grow the array by more than 65536 "
            "elements.",
            "[Error]SplineScalarf.KeyTime: count -2 is out of range.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
    {
        // A whole column resizes the keys and keeps the other fields of the keys that stay.
        Array<float> times;
        times.Add(0.25f);
        times.Add(0.75f);
        EXPECT_TRUE(spline->SetArray<float>(MemberIDOf<ClassMember>(1, -3947 & 0xFFF), times));
        ASSERT_EQ(spline->GetKeyCount(), 2);
        EXPECT_EQ(spline->GetKeys()[1].m_Time, 0.75f);
        spline->SetKeyValue(1, 4.0f);
        spline->SetArray<float>(MemberIDOf<ClassMember>(1, -3947 & 0xFFF), times);
        EXPECT_EQ(spline->GetKeyValue(1), 4.0f);
    }
    {
        // Vector columns grow the same keys; quaternion keys grown through KeyTime hold the
        // identity rotation.
        Obj<SplineVector3f> vector = SplineVector3f::Create();
        const auto* out = MemberIDOf<ClassMember_Index_Vector3f>(3, -3944 & 0xFFF);
        vector->Set(out, 1, Vector3f(1, 2, 3));
        EXPECT_EQ(vector->GetKeyCount(), 2);
        EXPECT_EQ(vector->GetKeyTangentOut(1), Vector3f(1, 2, 3));
        EXPECT_EQ(vector->GetKeyValue(1), Vector3f(0, 0, 0));
        Obj<SplineQuaternionf> rotation = SplineQuaternionf::Create();
        rotation->Set(time, 1, 2.0f);
        ASSERT_EQ(rotation->GetKeyCount(), 2);
        EXPECT_EQ(rotation->GetKeys()[0].m_Value, Quaternionf(0, 0, 0, 1));
        EXPECT_EQ(rotation->GetKeyTime(1), 2.0f);
    }
}

TEST_F(AnimationClasses, ComputedMembersFollowTheirSources) {
    {
        // One cycle lasts the library's range; the end scales with |Scale| and Cycles.
        Obj<AnimationClip> clip = AnimationClip::Create();
        Obj<AnimationLibrary> library = AnimationLibrary::Create();
        library->m_StartTime = 1.0;
        library->m_EndTime = 5.0;
        const int c = -3952 & 0xFFF;
        clip->Set(MemberIDOf<ClassMember_Object>(1, c), library.Get());
        clip->m_StartTime = 2.0;
        clip->m_Scale = -2.0;
        clip->m_Cycles = 3.0;
        const auto* end = MemberIDOf<ClassMember_F64>(7, c);
        EXPECT_EQ(clip->Get(MemberIDOf<ClassMember_F64>(8, c)), 4.0);
        EXPECT_EQ(clip->Get(end), 26.0);
        clip->Set(end, 100.0); // ignored
        EXPECT_EQ(clip->Get(end), 26.0);
        clip->m_AnimationLibrary = nullptr;
        EXPECT_EQ(clip->GetDuration(), 1.0);
    }
    {
        // ParentIDSwap exchanges [x0, x1) and [y0, y1); other ids show through.
        Obj<ParentControl> control = ParentControl::Create();
        control->m_SwapRange = Vector4f(0, 10, 20, 30);
        const auto* swap = MemberIDOf<ClassMember_I32>(4, -3856 & 0xFFF);
        control->SetParentID(5);
        EXPECT_EQ(control->Get(swap), 25);
        control->SetParentID(25);
        EXPECT_EQ(control->Get(swap), 5);
        control->SetParentID(15);
        EXPECT_EQ(control->Get(swap), 15);
        control->Set(swap, 22);
        EXPECT_EQ(control->GetParentID(), 2);
        // Components truncate toward zero, NaN counts as 0, results stay within 32 bits.
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const Vector4f odd(nan, 1e20f, 2.9f, -0.5f);
        EXPECT_EQ(ParentControl::SwapID(5, odd), 7);
        EXPECT_EQ(ParentControl::SwapID(std::numeric_limits<int32_t>::max() - 1, odd),
                  std::numeric_limits<int32_t>::max());
        EXPECT_EQ(ParentControl::SwapID(-1, odd), -1);
    }
}

TEST_F(AnimationClasses, TypedArraysRefuseOtherClasses) {
    // Each typed reference takes its own class; others are refused without growing the arrays
    // or changing the entries.
    Obj<AnimationLibrary> library = AnimationLibrary::Create();
    Obj<ParentControl> control = ParentControl::Create();
    Obj<ParentManager> manager = ParentManager::Create();
    Obj<PoseBlend> pose = PoseBlend::Create();
    Obj<SplineVector3f> spline = SplineVector3f::Create();
    Obj<TLeaf> leaf = TLeaf::Create();
    Obj<TBranch> branch = TBranch::Create();
    Obj<BlendControl> weight = BlendControl::Create();
    Obj<VertexDataF32> floats = VertexDataF32::Create();
    Obj<VertexDataVector3f> vectors = VertexDataVector3f::Create();
    Obj<ConnectionGroup> group = ConnectionGroup::Create();
    const auto* curve = MemberIDOf<ClassMember_Index_Object>(3, -3950 & 0xFFF);
    const auto* child = MemberIDOf<ClassMember_Object>(2, -3856 & 0xFFF);
    const auto* parents = MemberIDOf<ClassMember_Index_Object>(2, -3855 & 0xFFF);
    const auto* weights = MemberIDOf<ClassMember_Index_Object>(1, -3902 & 0xFFF);
    const auto* values = MemberIDOf<ClassMember_Index_Object>(4, -3902 & 0xFFF);
    library->Set(curve, 1, spline.Get());
    control->Set(child, leaf.Get());
    manager->Set(parents, 0, branch.Get());
    pose->Set(weights, 0, weight.Get());
    pose->Set(values, 0, floats.Get());
    ASSERT_EQ(library->GetCurveCount(), 2);
    EXPECT_TRUE(library->Get(curve, 0)->IsNil());

    LogCapture log;
    library->Set(curve, 1, group.Get());
    library->Set(curve, 2, group.Get());
    control->Set(child, leaf->GetSNode());
    manager->Set(parents, 0, leaf.Get());
    manager->Set(parents, 1, leaf.Get());
    pose->Set(weights, 0, floats.Get());
    pose->Set(values, 0, vectors.Get());
    EXPECT_EQ(library->GetCurve(1), spline.Get());
    EXPECT_EQ(library->GetCurveCount(), 2);
    EXPECT_EQ(control->m_Child.Get(), leaf.Get());
    EXPECT_EQ(manager->GetParent(0), branch.Get());
    EXPECT_EQ(manager->GetParentCount(), 1);
    EXPECT_EQ(pose->GetBlendControl(0), weight.Get());
    EXPECT_EQ(pose->GetValue(0), floats.Get());
    const std::string refused = ": object of the wrong class refused.";
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "[Error]AnimationLibrary.Curve" + refused,
                                  "[Error]AnimationLibrary.Curve" + refused,
                                  "[Error]ParentControl.Child" + refused,
                                  "[Error]ParentManager.ParentArray" + refused,
                                  "[Error]ParentManager.ParentArray" + refused,
                                  "[Error]PoseBlend.BlendControl" + refused,
                                  "[Error]PoseBlend.ValueArray" + refused,
                              }));
}

} // namespace
