// Animation libraries, connection groups, clips and the scheduler's frame: timing, tracks,
// member writes, events, the bookkeeping of the clip list, and a scene animated from a script.

#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/animation/AnimationClip.h"
#include "quorlix/animation/AnimationLibrary.h"
#include "quorlix/animation/AnimationScheduler.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/animation/ParentControl.h"
#include "quorlix/animation/PoseBlend.h"
#include "quorlix/animation/Spline.h"
#include "quorlix/scene/BlendControl.h"
#include "quorlix/scene/Fog.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/script/ScriptEngine.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using Lines = std::vector<std::string>;

class Scheduler : public ScriptTest {};

const ClassType_MemberID* Weight() {
    return MemberIDOf(1, k_ClassBlendControl);
}

// A library over [start, end] with a scalar curve of `keys` on port 0.
Obj<AnimationLibrary> Library(float start, float end, std::initializer_list<KeyScalarf> keys) {
    Obj<SplineScalarf> curve = SplineScalarf::Create();
    for (const KeyScalarf& key : keys)
        curve->AddKey(key);
    Obj<AnimationLibrary> library = AnimationLibrary::Create();
    library->m_StartTime = start;
    library->m_EndTime = end;
    library->SetCurve(0, curve.Get());
    library->SetGroupPort(0, 0);
    return library;
}

// The curve answers the library time: tangents equal to the step make the segment straight.
Obj<AnimationLibrary> TimeLibrary(float start, float end) {
    return Library(start, end, {{start, start, 0, end - start}, {end, end, end - start, 0}});
}

// The curve holds `value` over [0, 4].
Obj<AnimationLibrary> ConstantLibrary(float value) {
    return Library(0, 4, {{0, value}});
}

// A scheduler whose group drives the Weight of two blend controls, ports 0 and 1.
struct Rig {
    Rig() {
        for (int p = 0; p < 2; ++p) {
            m_Target[p] = BlendControl::Create();
            m_Group->SetObject(p, m_Target[p].Get());
            m_Group->m_Member[p] = Weight();
        }
        m_Scheduler->m_ConnectionGroup = m_Group;
        m_Scheduler->SetName("player");
    }
    // Appends a clip; the list holds the only handle.
    template <class Clip = AnimationClip>
    Clip* Add(AnimationLibrary* library, double start = 0, double scale = 1, double cycles = 1,
              int track = 0) {
        Obj<Clip> clip = Clip::Create();
        clip->m_AnimationLibrary = library;
        clip->m_StartTime = start;
        clip->m_Scale = scale;
        clip->m_Cycles = cycles;
        clip->m_Track = track;
        m_Scheduler->SetAnimationClip(m_Scheduler->GetAnimationClipCount(), clip.Get());
        return clip.Get();
    }
    // The weight on `port` after a frame at `time`; -100 when the frame did not write it.
    float Frame(double time, int port = 0) {
        m_Target[port]->m_Weight = -100;
        m_Scheduler->AdvanceFrame(time);
        return m_Target[port]->m_Weight;
    }

    Obj<AnimationScheduler> m_Scheduler = AnimationScheduler::Create();
    Obj<ConnectionGroup> m_Group = ConnectionGroup::Create();
    Obj<BlendControl> m_Target[2];
};

TEST_F(Scheduler, LibraryEvaluatesCurvesIntoVector4f) {
    Obj<AnimationLibrary> library = AnimationLibrary::Create();
    {
        // Writing either array grows both; new ports are -1, new curves empty.
        library->SetCurve(2, SplineScalarf::Create());
        EXPECT_EQ(library->GetGroupPortCount(), 3);
        EXPECT_EQ(library->GetGroupPort(1), -1);
        library->SetGroupPort(4, 7);
        EXPECT_EQ(library->GetCurveCount(), 5);
        EXPECT_EQ(library->GetCurve(4), nullptr);
        library->SetCurveCount(1);
        EXPECT_EQ(library->GetGroupPortCount(), 1);
    }
    // Each spline fills as many components as it has, the rest stay zero; no curve, or an
    // index outside, gives zero and an error.
    auto curve = [&](int i, auto* spline, const auto& key) {
        spline->AddKey(key);
        library->SetCurve(i, spline);
    };
    curve(0, SplineScalarf::Create(), KeyScalarf{0, 5});
    curve(1, SplineVector2f::Create(), KeyVector2f{0, Vector2f(1, 2)});
    curve(2, SplineVector3f::Create(), KeyVector3f{0, Vector3f(1, 2, 3)});
    curve(3, SplineVector4f::Create(), KeyVector4f{0, Vector4f(1, 2, 3, 4)});
    curve(4, SplineQuaternionf::Create(), KeyQuaternionf{0, Quaternionf(0, 0, 0, 1)});
    library->SetCurve(5, nullptr);
    const std::pair<int, Vector4f> cases[] = {{0, Vector4f(5, 0, 0, 0)}, {1, Vector4f(1, 2, 0, 0)},
                                              {2, Vector4f(1, 2, 3, 0)}, {3, Vector4f(1, 2, 3, 4)},
                                              {4, Vector4f(0, 0, 0, 1)}, {5, Vector4f::Zero},
                                              {6, Vector4f::Zero},       {-1, Vector4f::Zero}};
    LogCapture log;
    for (const auto& [i, expected] : cases) {
        Vector4f out(9, 9, 9, 9);
        library->EvaluateCurve(i, 0.5, out);
        EXPECT_EQ(out, expected) << i;
    }
    EXPECT_EQ(log.Messages(),
              Lines(3, "[Error]AnimationLibrary: index out of range / no curve at given index."));
}

TEST_F(Scheduler, ConnectionGroupCommitsByMemberType) {
    Obj<ConnectionGroup> group = ConnectionGroup::Create();
    // Object[i] grows the four arrays together.
    group->SetObject(2, Obj<BlendControl>(BlendControl::Create()));
    EXPECT_EQ((std::vector<int>{group->m_Member.Size(), group->m_MemberIndex.Size(),
                                group->m_MemberMask.Size()}),
              std::vector<int>(3, 3));
    EXPECT_TRUE(group->GetObject(0)->IsNil());
    EXPECT_EQ(group->GetPortCount(), 3);
    // One port per member type: a constant curve per port, amplitude 1.
    Obj<AnimationClip> clip = AnimationClip::Create();   // Track: I32
    Obj<BlendControl> control = BlendControl::Create();  // Weight: F32
    Obj<SFog> fog = SFog::Create();                      // NearFar: Vector2f
    Obj<SLight> light = SLight::Create();                // Color: Vector3f
    Obj<ParentControl> parent = ParentControl::Create(); // SwapRange: Vector4f
    Obj<PoseBlend> pose = PoseBlend::Create();           // PoseDefault: F32 index member
    const std::pair<ScriptObject*, const ClassType_MemberID*> ports[] = {
        {clip.Get(), MemberIDOf(11, k_ClassAnimationClip)},
        {control.Get(), Weight()},
        {fog.Get(), MemberIDOf(5, k_ClassSFog)},
        {light.Get(), MemberIDOf(1, k_ClassSLight)},
        {parent.Get(), MemberIDOf(5, k_ClassParentControl)},
        {pose.Get(), MemberIDOf(2, k_ClassPoseBlend)},
    };
    for (int p = 0; p < 6; ++p) {
        group->SetObject(p, ports[p].first);
        group->m_Member[p] = ports[p].second;
    }
    group->m_MemberIndex[5] = 2;
    Obj<SplineVector4f> level = SplineVector4f::Create();
    Obj<AnimationLibrary> library = AnimationLibrary::Create();
    library->m_EndTime = 1;
    for (int p = 0; p < 6; ++p) {
        library->SetCurve(p, level.Get());
        library->SetGroupPort(p, p);
    }
    // One frame of `value` through tracks of the given amplitudes.
    auto commit = [&](const Vector4f& value,
                      std::initializer_list<std::pair<int, float>> tracks = {{0, 1.0f}}) {
        level->SetKeyCount(0);
        level->AddKey({0, value});
        group->ResetOutput();
        for (const auto& [track, amplitude] : tracks)
            group->AddOutput(track, library.Get(), 0, amplitude);
        group->CommitOutput();
    };
    commit(Vector4f(1.5f, 2, 3, 4));
    EXPECT_EQ(clip->m_Track, 2);
    EXPECT_EQ(control->m_Weight, 1.5f);
    EXPECT_EQ(fog->GetNearFar(), Vector2f(1.5f, 2));
    EXPECT_EQ(light->GetColor(), Vector3f(1.5f, 2, 3));
    EXPECT_EQ(parent->m_SwapRange, Vector4f(1.5f, 2, 3, 4));
    ASSERT_EQ(pose->m_PoseDefault.Size(), 3);
    EXPECT_EQ(pose->m_PoseDefault[2], 1.5f);
    // I32 members round half up and saturate; NaN gives 0.
    const std::pair<float, int32_t> rounding[] = {{1.49f, 1},
                                                  {-1.5f, -1},
                                                  {1.5f, 2},
                                                  {1e20f, std::numeric_limits<int32_t>::max()},
                                                  {-1e20f, std::numeric_limits<int32_t>::min()},
                                                  {std::nanf(""), 0}};
    for (const auto& [value, rounded] : rounding) {
        commit(Vector4f(value, 0, 0, 0));
        EXPECT_EQ(clip->m_Track, rounded) << value;
    }
    // Tracks add up; writing a track again replaces it.
    commit(Vector4f(1, 1, 1, 1), {{0, 1.0f}, {3, 5.0f}, {3, 2.0f}});
    EXPECT_EQ(control->m_Weight, 3.0f);
    {
        // Members the object lacks, ports past the shortest array, tracks outside 0..31, and
        // times outside the library are refused; the rest of the frame goes on.
        LogCapture log;
        group->m_Member[0] = MemberIDOf(1, k_ClassSLight); // a BlendControl has no Color
        group->m_Member[1] = MemberIDOf(200, k_ClassBlendControl);
        group->m_Member[2] = nullptr;
        group->m_Object[4] = nullptr;  // stored past the setter: counts as nil
        group->m_MemberMask.Resize(5); // port 5 is gone
        control->m_Weight = 7;
        commit(Vector4f(2, 2, 2, 2));
        group->AddOutput(32, library.Get(), 0, 1);
        group->AddOutput(-1, library.Get(), 0, 1);
        group->ResetOutput();
        group->AddOutput(0, library.Get(), -0.5, 1);
        group->AddOutput(0, library.Get(), 1.5, 1);
        group->AddOutput(0, library.Get(), std::numeric_limits<double>::quiet_NaN(), 1);
        group->CommitOutput();
        EXPECT_EQ(control->m_Weight, 7.0f);
        EXPECT_EQ(light->GetColor(), Vector3f(2, 2, 2));
        EXPECT_EQ(parent->m_SwapRange, Vector4f(3, 3, 3, 3));
        const Lines expected = {
            "[Error]ConnectionGroup: animation library specifies invalid port.",
            "[Error]AnimationController: member #1FFF056 class seems unsupported.",
            "[Error]AnimationController: member #C8FFF08E function seems unsupported.",
            "[Error]AnimationController: member #0 class seems unsupported.",
            "[Error]AnimationController: member #5FFF0F0 class seems unsupported.",
            "[Error]ConnectionGroup: track 32 is outside 0..31.",
            "[Error]ConnectionGroup: track -1 is outside 0..31.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
}

TEST_F(Scheduler, ClipsFollowStartScaleCyclesWarpAndTracks) {
    const Obj<AnimationLibrary> line = TimeLibrary(0, 4), late = TimeLibrary(10, 14),
                                empty = TimeLibrary(3, 3), one = ConstantLibrary(1),
                                two = ConstantLibrary(2);
    struct Clip {
        AnimationLibrary* m_Library;
        double m_Start, m_Scale = 1, m_Cycles = 1;
        int m_Track = 0;
        double m_Warp = -1;
        float m_Amplitude = 1;
    };
    const struct {
        const char* m_What;
        std::vector<Clip> m_Clips;
        std::vector<std::pair<double, float>> m_Frames; // time, weight (-100: not written)
    } cases[] = {
        // Sampled at t - start, at its end in the frame that crosses it, then no more.
        {"start 2", {{line, 2}}, {{2, -100}, {4, 2}, {6, 4}, {6.5, 4}, {7, -100}}},
        {"scale 2", {{line, 2, 2}}, {{4, 1}}},
        {"scale -1 plays backwards", {{line, 2, -1}}, {{2.001, 3.999f}, {6, 0}}},
        {"5 s into three cycles", {{line, 1, 1, 3}}, {{6, 1}}},
        {"warp time pins", {{line, 0, 1, 1, 0, 0.5}}, {{0.1, 2}, {0.9, 2}}},
        {"library from its own start", {{late, 0}}, {{1, 11}}},
        // No library range, Scale 0, Cycles 0: ended once started, sampled at the end of their
        // cycle, never NaN, then done.
        {"no length", {{empty, 1}, {line, 1, 0, 1, 1}, {line, 1, 1, 0, 2}}, {{1.5, 7}, {2, -100}}},
        {"tracks add", {{one, 0, 1, 1, 0}, {two, 0, 1, 1, 1}}, {{1, 3}}},
        {"the later clip on a track wins", {{one, 0}, {two, 0}}, {{1, 2}}},
        {"AmplitudeScale", {{one, 0, 1, 1, 0, -1, 1.5f}}, {{1, 1.5f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_What);
        Rig rig;
        for (const Clip& k : c.m_Clips) {
            AnimationClip* clip = rig.Add(k.m_Library, k.m_Start, k.m_Scale, k.m_Cycles, k.m_Track);
            clip->m_WarpTime = k.m_Warp;
            clip->m_AmplitudeScale = k.m_Amplitude;
        }
        for (const auto& [time, weight] : c.m_Frames)
            EXPECT_NEAR(rig.Frame(time), weight, 1e-5f) << time;
    }
}

TEST_F(Scheduler, ClipListKeepsTrackEndsOrderAndLogs) {
    Obj<AnimationLibrary> library = TimeLibrary(0, 1);
    {
        // Track ends rise with the clips put on them; the list sorts by EndTime at the next
        // frame; nil removes; an empty list resets the track ends.
        Rig rig;
        AnimationClip* late = rig.Add(library.Get(), 0, 5);
        AnimationClip* early = rig.Add(library.Get(), 0, 3);
        EXPECT_EQ(rig.m_Scheduler->m_TrackEndTime[0], 5.0);
        EXPECT_EQ(rig.m_Scheduler->m_TrackEndTime[1], -1.0);
        rig.m_Scheduler->AdvanceFrame(0.5);
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClip(0), early);
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClip(1), late);
        rig.m_Scheduler->SetAnimationClip(0, nullptr);
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClip(0), late);
        EXPECT_EQ(rig.m_Scheduler->m_TrackEndTime[0], 5.0);
        rig.m_Scheduler->SetAnimationClip(0, nullptr);
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClipCount(), 0);
        EXPECT_EQ(rig.m_Scheduler->m_TrackEndTime[0], -1.0);
    }
    {
        // Expired clips leave the front of the list.
        Rig rig;
        rig.m_Scheduler->m_RemoveExpiredClip = true;
        rig.Add(library.Get(), 0, 3);
        AnimationClip* kept = rig.Add(library.Get(), 0, 5);
        rig.m_Scheduler->AdvanceFrame(4);
        ASSERT_EQ(rig.m_Scheduler->GetAnimationClipCount(), 1);
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClip(0), kept);
    }
    {
        // Tracks outside 0..31 are refused when added and skipped when changed afterwards; a
        // repeated frame time, an empty entry and a missing group are logged.
        Rig rig;
        LogCapture log;
        Obj<AnimationClip> far = AnimationClip::Create();
        far->SetName("far");
        far->m_Track = 32;
        rig.m_Scheduler->SetAnimationClip(0, far.Get());
        far->m_Track = -1;
        rig.m_Scheduler->SetAnimationClip(0, far.Get());
        EXPECT_EQ(rig.m_Scheduler->GetAnimationClipCount(), 0);
        rig.Add(library.Get(), 0)->m_Track = 40;
        EXPECT_EQ(rig.Frame(0.5), -100.0f);
        rig.m_Scheduler->AdvanceFrame(0.5);
        rig.m_Scheduler->SetAnimationClipCount(2);
        rig.m_Scheduler->AdvanceFrame(0.6);
        rig.m_Scheduler->m_ConnectionGroup = nullptr;
        rig.m_Scheduler->AdvanceFrame(0.7);
        EXPECT_EQ(rig.m_Scheduler->GetLastFrameTime(), 0.6);
        const Lines expected = {
            "[Error]AnimationScheduler.AnimationClip: track 32 of clip \"far\" is outside 0..31.",
            "[Error]AnimationScheduler.AnimationClip: track -1 of clip \"far\" is outside 0..31.",
            "[Error]AnimationScheduler: track 40 of clip at index 0 is outside 0..31.",
            "[Warn ]CONSTD.m_LastFrameTime==frameTime",
            "[Error]AnimationScheduler: track 40 of clip at index 0 is outside 0..31.",
            "[Error]AnimationScheduler: track 40 of clip at index 0 is outside 0..31.",
            "[Warn ]AnimationScheduler: clip at index 1is Nil.",
            "[Warn ]AnimationScheduler: no ConnectionGroup for \"player\".",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
}

// Records the events it receives and runs a hook after each.
struct Recorder : ClipEvent {
    void OnClipEvent() override {
        m_Events.emplace_back(m_Type, m_Position);
        if (m_Hook)
            m_Hook();
    }
    std::vector<std::pair<uint32_t, float>> m_Events;
    std::function<void()> m_Hook;
};

TEST_F(Scheduler, ClipEventsReportAndMayChangeTheList) {
    Obj<AnimationLibrary> library = TimeLibrary(0, 4);
    {
        // Start once, running while before the end, end in each frame that reaches it.
        Rig rig;
        Obj<Recorder> recorder = NewObject<Recorder>();
        AnimationClipEvent* clip = rig.Add<AnimationClipEvent>(library);
        clip->SetEventMode(7);
        clip->SetClipEvent(recorder.Get());
        for (double t : {1.0, 2.0, 5.0, 6.0})
            rig.m_Scheduler->AdvanceFrame(t);
        const std::vector<std::pair<uint32_t, float>> expected = {
            {1, 0.25f}, {2, 0.25f}, {2, 0.5f}, {4, 1.25f}};
        EXPECT_EQ(recorder->m_Events, expected);

        // A clone copies the members and shares the receiver.
        clip->SetName("walk");
        clip->m_Track = 3;
        const Obj<AnimationClip> copy = clip->Clone();
        auto* event = dynamic_cast<AnimationClipEvent*>(copy.Get());
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->GetClipEvent(), recorder.Get());
        EXPECT_EQ(event->GetEventMode(), 7u);
        EXPECT_EQ(event->m_Track, 3);
        EXPECT_EQ(event->m_AnimationLibrary.Get(), library.Get());
        EXPECT_STREQ(event->GetNameCPtr(), "walk");
    }
    {
        // A callback that empties the list and refills it, and one that removes its own clip:
        // the frame goes on over what the list holds.
        Rig rig;
        Obj<Recorder> recorder = NewObject<Recorder>();
        AnimationScheduler* scheduler = rig.m_Scheduler.Get();
        for (int i = 0; i < 3; ++i)
            rig.Add<AnimationClipEvent>(library)->SetClipEvent(recorder.Get());
        Obj<AnimationLibrary> other = ConstantLibrary(9);
        recorder->m_Hook = [&] {
            if (recorder->m_Events.size() == 1) {
                scheduler->SetAnimationClipCount(0);
                Obj<AnimationClip> fresh = AnimationClip::Create();
                fresh->m_AnimationLibrary = other;
                scheduler->SetAnimationClip(0, fresh.Get());
            } else {
                scheduler->SetAnimationClip(0, nullptr);
            }
        };
        EXPECT_EQ(rig.Frame(1), 1.0f); // the first clip played on after its callback
        EXPECT_EQ(scheduler->GetAnimationClipCount(), 1);
        EXPECT_EQ(recorder->m_Events.size(), 1u);
        scheduler->SetAnimationClip(0, nullptr);
        // The list holds the only handle of this one; its callback drops it.
        AnimationClipEvent* self = rig.Add<AnimationClipEvent>(nullptr, 2);
        self->SetClipEvent(recorder.Get());
        scheduler->AdvanceFrame(2.5);
        EXPECT_EQ(scheduler->GetAnimationClipCount(), 0);
        EXPECT_EQ(recorder->m_Events.size(), 2u);
    }
}

TEST_F(Scheduler, ScriptAnimatesATransform) {
    const char* script = R"(
SplineVector3f:path.{ .KeyTime [0.0, 2.0]; .KeyValue [(0, 0, 0), (2, 4, 6)];
                      .KeyTangentIn [(0, 0, 0), (2, 4, 6)]; .KeyTangentOut [(2, 4, 6), (0, 0, 0)]; };
AnimationLibrary:walk.{ .StartTime 0.0F; .EndTime 2.0F; .Curve [:path]; .GroupPort [0]; };
STransform:s_root.{ .Translation (9, 9, 9); };
ConnectionGroup:ports.{ .Object [:s_root]; .Member [@SSimpleTransform.Translation];
                        .MemberIndex [0]; .MemberMask [7u]; };
AnimationClip:stroll.{ .AnimationLibrary :walk; .StartTime 1.0F; .Cycles 2.0F; };
AnimationScheduler:player.{ .ConnectionGroup :ports; .AnimationClip [:stroll]; };
)";
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    LogCapture err;
    engine->Execute(String(script), String("stroll"), 1);
    auto* player = dynamic_cast<AnimationScheduler*>(engine->FindObjectC("player"));
    auto* transform = dynamic_cast<STransform*>(engine->FindObjectC("s_root"));
    ASSERT_TRUE(player != nullptr && transform != nullptr) << err.Text();
    EXPECT_EQ(player->m_TrackEndTime[0], 5.0);
    // Two 2 s cycles from t = 1. At t = 3.5 the position is 2.5 / 4: 0.25 into the second
    // cycle, library time 0.5 s, a quarter of the straight path.
    for (double t : {1.5, 2.5, 3.5})
        player->AdvanceFrame(t);
    EXPECT_EQ(transform->GetTranslation(), Vector3f(0.5f, 1, 1.5f));
    // The frame that crosses the end (t = 5) plays once more, at 1.5 x 2 cycles: the start of
    // a cycle; after it the clip is done.
    player->AdvanceFrame(7);
    EXPECT_EQ(transform->GetTranslation(), Vector3f(0, 0, 0));
    transform->SetTranslation(Vector3f(5, 5, 5));
    player->AdvanceFrame(8);
    EXPECT_EQ(transform->GetTranslation(), Vector3f(5, 5, 5));
    EXPECT_TRUE(err.Messages().empty()) << err.Text();
}

} // namespace
