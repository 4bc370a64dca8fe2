// Pose blending: the five operators with numbers, the weight threshold, the reach of the
// parallel arrays, and how the ports write F32 and Vector3f members.

#include "quorlix/animation/PoseBlend.h"
#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>
#include <limits>

#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

using PoseBlending = QuorlixTest::ScriptTest;

const ClassType_MemberID* WeightMember() {
    return MemberIDOf(1, k_ClassBlendControl);
}

// A pose whose channel k drives the Weight of target k; PoseDefault is `rest`.
struct Rig {
    Obj<PoseBlend> pose = PoseBlend::Create();
    Obj<ConnectionGroup> group = ConnectionGroup::Create();
    std::vector<Obj<BlendControl>> targets;

    explicit Rig(const std::vector<float>& rest) {
        pose->m_ConnectionGroup = group;
        for (float r : rest) {
            pose->m_PoseDefault.Add(r);
            targets.emplace_back(BlendControl::Create());
            Port(targets.back(), WeightMember(), 0);
        }
    }
    void Port(ScriptObject* object, const ClassType_MemberID* m, uint32_t mask) const {
        group->m_Object.Add(Obj<ScriptObject>(object));
        group->m_Member.Add(m);
        group->m_MemberIndex.Add(0);
        group->m_MemberMask.Add(mask);
    }
    // Appends pose i: weight `w`, operator `op`, values `v`.
    void Add(float w, PoseBlend::Operator op, const std::vector<float>& v) const {
        const int i = pose->GetValueCount();
        Obj<BlendControl> control = BlendControl::Create();
        control->m_Weight = w;
        Obj<VertexDataF32> values = VertexDataF32::Create();
        for (float x : v)
            values->m_DataArray.Add(x);
        pose->SetBlendControl(i, control);
        pose->SetOperator(i, op);
        pose->SetValue(i, values);
    }
    std::vector<float> Run() const {
        for (const Obj<BlendControl>& t : targets)
            t->m_Weight = -99.0f;
        pose->AdvanceFrame();
        std::vector<float> out;
        for (const Obj<BlendControl>& t : targets)
            out.push_back(t->m_Weight);
        return out;
    }
};

using Op = PoseBlend::Operator;
using Floats = std::vector<float>;

TEST_F(PoseBlending, OperatorsCombineWeightedPosesOverTheRestPose) {
    struct Pose {
        float m_W;
        Op m_Op;
        Floats m_V;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Pose weak[] = {{0.0005f, Op::Add, {100}}, {nan, Op::Add, {100}}};
    const struct {
        const char* m_What;
        Floats m_Rest;
        std::vector<Pose> m_Poses;
        Floats m_Expected;
        std::vector<std::string> m_Log = {};
    } cases[] = {
        {"Add scales; PoseDefault on top", {1, 10}, {{0.5f, Op::Add, {4, -2}}}, {3, 9}},
        {"Blend moves by the weight", {0}, {{1, Op::Add, {2}}, {0.25f, Op::Blend, {6}}}, {3}},
        {"Min raises", {0, 0}, {{1, Op::Add, {2, 2}}, {0.5f, Op::Min, {6, 1}}}, {4, 2}},
        {"Max lowers", {0, 0}, {{1, Op::Add, {2, 2}}, {0.5f, Op::Max, {6, 1}}}, {2, 1.5f}},
        {"Mul, not >1e10", {0, 0}, {{1, Op::Add, {2, 2}}, {0.5f, Op::Mul, {3, 2e10f}}}, {3, 2}},
        {"unknown",
         {0},
         {{1, Op::Add, {2}}, {1, Op(7), {5}}},
         {2},
         {"[Warn ]PoseBlend: unsupported operator 7."}},
        // Weights below 2^-10 (and NaN) are ignored; 2^-10 itself counts, with either sign.
        {"weak weights", {0}, {weak[0], weak[1]}, {0}},
        {"2^-10", {0}, {weak[0], weak[1], {-0.0009765625f, Op::Add, {1024}}}, {-1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_What);
        Rig rig(c.m_Rest);
        for (const Pose& p : c.m_Poses)
            rig.Add(p.m_W, p.m_Op, p.m_V);
        LogCapture log;
        EXPECT_EQ(rig.Run(), c.m_Expected);
        EXPECT_EQ(log.Messages(), c.m_Log);
    }
}

TEST_F(PoseBlending, OnlyWhatEveryArrayReachesTakesPart) {
    {
        // Pose 1 lacks an operator, pose 2 a control: only pose 0 is applied.
        Rig rig({0.0f});
        for (float v : {1.0f, 10.0f, 100.0f})
            rig.Add(1.0f, Op::Add, {v});
        rig.pose->SetOperatorCount(1);
        rig.pose->SetBlendControlCount(2);
        EXPECT_EQ(rig.Run(), (Floats{1.0f}));
        // Nil controls and values are skipped.
        rig.pose->SetValueCount(4);
        rig.pose->SetOperatorCount(4);
        rig.pose->SetBlendControl(3, Obj<BlendControl>(BlendControl::Create()));
        EXPECT_EQ(rig.Run(), (Floats{11.0f}));
    }
    {
        // A short pose vector touches its own channels only; a long one is cut at PoseDefault.
        Rig rig({0.0f, 0.0f, 0.0f});
        rig.Add(1.0f, Op::Add, {1.0f});
        rig.Add(1.0f, Op::Add, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f});
        EXPECT_EQ(rig.Run(), (Floats{2.0f, 2.0f, 3.0f}));
    }
    {
        // Ports beyond the channels, or beyond any of the group's arrays, are not written;
        // nil objects are passed over.
        Rig rig({1.0f, 2.0f, 3.0f});
        Obj<BlendControl> extra = BlendControl::Create();
        rig.Port(extra, WeightMember(), 0);
        rig.group->m_MemberMask.Resize(2);
        rig.group->m_Object[0] = &G_NilObject;
        rig.pose->AdvanceFrame();
        EXPECT_EQ((Floats{rig.targets[0]->m_Weight, rig.targets[1]->m_Weight,
                          rig.targets[2]->m_Weight, extra->m_Weight}),
                  (Floats{1, 2, 1, 1}));
    }
    {
        // Without a group, or without channels, there is nothing to write.
        Rig rig({});
        rig.Add(1.0f, Op::Add, {5.0f});
        rig.pose->AdvanceFrame();
        rig.pose->m_ConnectionGroup = nullptr;
        rig.pose->m_PoseDefault.Add(1.0f);
        rig.pose->AdvanceFrame();
    }
}

TEST_F(PoseBlending, PortsWriteF32AndMaskedVector3fMembers) {
    Obj<SSimpleTransform> transform = SSimpleTransform::Create();
    const auto* translation = MemberIDOf(1, k_ClassSSimpleTransform);
    {
        // MemberMask picks the components: 5 is x and z; 0 writes the vector back unchanged.
        Rig rig({7.0f, 9.0f});
        rig.targets.clear();
        for (int p : {0, 1}) {
            rig.group->m_Object[p] = transform.Get();
            rig.group->m_Member[p] = translation;
            rig.group->m_MemberMask[p] = p == 0 ? 5 : 0;
        }
        transform->SetTranslation(Vector3f(1, 2, 3));
        rig.pose->AdvanceFrame();
        EXPECT_EQ(transform->GetTranslation(), Vector3f(7, 2, 7));
    }
    {
        // Ports go from last to first: port 0 has the last word on a shared member.
        Rig rig({4.0f, 5.0f});
        rig.group->m_Object[1] = rig.targets[0].Get();
        rig.pose->AdvanceFrame();
        EXPECT_EQ(rig.targets[0]->m_Weight, 4.0f);
    }
    {
        // Index members are skipped silently; other types, members the object lacks and
        // identifiers outside the tables are reported, and the other ports still written.
        Rig rig({1.0f, 2.0f, 3.0f, 4.0f, 5.0f});
        Obj<PoseBlend> other = PoseBlend::Create();
        rig.Port(other, MemberIDOf(2, k_ClassPoseBlend), 0);              // PoseDefault
        rig.Port(transform, MemberIDOf(5, k_ClassSSimpleTransform), 0);   // a U32
        rig.Port(transform, WeightMember(), 0);                           // not its class
        rig.Port(transform, MakeMemberID(0xC8FFFFA0u), 0);                // no such class
        rig.Port(transform, MemberIDOf(200, k_ClassSSimpleTransform), 0); // no such member
        for (int k = 0; k < 5; ++k)
            rig.pose->m_PoseDefault.Add(0.0f);
        LogCapture log;
        rig.pose->AdvanceFrame();
        EXPECT_EQ(rig.targets[4]->m_Weight, 5.0f);
        EXPECT_EQ(other->m_PoseDefault.Size(), 0);
        const std::vector<std::string> expected = {
            "[Error]PoseBlend: port 9 names a member its object does not have.",
            "[Error]PoseBlend: port 8 names a member its object does not have.",
            "[Error]PoseBlend: port 7 names a member its object does not have.",
            "[Warn ]PoseBlend: unsupported attribute type.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
}

} // namespace
