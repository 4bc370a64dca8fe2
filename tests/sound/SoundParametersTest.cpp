// Parameter blocks: defaults, setters and commits, clamping, refused blocks.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr float k_NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float k_Inf = std::numeric_limits<float>::infinity();

bool SameBlock(const SoundSource::Parameters& a, const SoundSource::Parameters& b) {
    return a.m_Frequency == b.m_Frequency && a.m_Pan == b.m_Pan && a.m_Volume == b.m_Volume &&
           a.m_Position == b.m_Position && a.m_Velocity == b.m_Velocity &&
           a.m_InnerConeAngle == b.m_InnerConeAngle && a.m_OuterConeAngle == b.m_OuterConeAngle &&
           a.m_ConeOrientation == b.m_ConeOrientation &&
           a.m_OuterConeVolume == b.m_OuterConeVolume && a.m_MinDistance == b.m_MinDistance &&
           a.m_MaxDistance == b.m_MaxDistance;
}

bool SameBlock(const SoundReceiver::Parameters& a, const SoundReceiver::Parameters& b) {
    return a.m_Position == b.m_Position && a.m_Front == b.m_Front && a.m_Top == b.m_Top &&
           a.m_Velocity == b.m_Velocity && a.m_RolloffFactor == b.m_RolloffFactor &&
           a.m_DopplerFactor == b.m_DopplerFactor && a.m_DistanceFactor == b.m_DistanceFactor;
}

class SoundParameters : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        m_Device = SoundDevice::Create(SoundDevice::SDTypeHardware, SoundDevice::SpeakerType(0),
                                       SoundDevice::Quality(0), nullptr);
        ASSERT_TRUE(m_Device);
        // 22050 Hz mono, 1 s.
        m_Source = m_Device->CreateSoundSource(String("44100:44100:22050:1"), SoundSource::k_Flag3D,
                                               AudioSrcFile::CacheStreaming);
        m_Receiver = m_Device->CreateSoundReceiver();
        ASSERT_TRUE(m_Source && m_Receiver);
    }
    void TearDown() override {
        m_Source = nullptr;
        m_Receiver = nullptr;
        m_Device = nullptr;
        SoundTest::TearDown();
    }

    Obj<SoundDevice> m_Device;
    Obj<SoundSource> m_Source;
    Obj<SoundReceiver> m_Receiver;
};

} // namespace

TEST_F(SoundParameters, NewObjectsHoldTheDefaultsAndTheFileRate) {
    SoundSource::Parameters expected;
    expected.m_Frequency = 22050; // the file's rate, not 44100
    EXPECT_TRUE(SameBlock(m_Source->GetAllParameters(), expected));
    EXPECT_TRUE(SameBlock(m_Receiver->GetAllParameters(), SoundReceiver::Parameters{}));
    EXPECT_TRUE(m_Source->Is3DSound());
    EXPECT_EQ(m_Source->GetFileSize(), 44100);
    EXPECT_DOUBLE_EQ(m_Source->GetPlayTime(), 1.0);
    EXPECT_EQ(Probe().m_SourceApplied.load(), 0);
    EXPECT_EQ(Probe().m_ReceiverApplied.load(), 0);
}

TEST_F(SoundParameters, SettersReachTheModuleOnlyWhenCommitted) {
    using Setter = std::function<bool(SoundSource&, bool)>;
    const Setter setters[] = {
        [](SoundSource& s, bool c) { return s.SetFrequency(11025, c); },
        [](SoundSource& s, bool c) { return s.SetPan(-600, c); },
        [](SoundSource& s, bool c) { return s.SetVolume(-1200, c); },
        [](SoundSource& s, bool c) { return s.SetPosition(Vector3f(1, 2, 3), c); },
        [](SoundSource& s, bool c) { return s.SetVelocity(Vector3f(0, 0, -34.33f), c); },
        [](SoundSource& s, bool c) { return s.SetConeAngles(30, 90, c); },
        [](SoundSource& s, bool c) { return s.SetInnerConeAngle(20, c); },
        [](SoundSource& s, bool c) { return s.SetOuterConeAngle(120, c); },
        [](SoundSource& s, bool c) { return s.SetConeOrientation(Vector3f(1, 0, 0), c); },
        [](SoundSource& s, bool c) { return s.SetOuterConeVolume(-1200, c); },
        [](SoundSource& s, bool c) { return s.SetDistances(2.0f, 50.0f, c); },
        [](SoundSource& s, bool c) { return s.SetMinDistance(3.0f, c); },
        [](SoundSource& s, bool c) { return s.SetMaxDistance(60.0f, c); },
    };
    for (size_t i = 0; i < std::size(setters); ++i) {
        SCOPED_TRACE(i);
        const SoundSource::Parameters before = m_Source->GetAllParameters();
        const int applied = Probe().m_SourceApplied.load();
        EXPECT_TRUE(setters[i](*m_Source, false));
        EXPECT_FALSE(SameBlock(m_Source->GetAllParameters(), before));
        EXPECT_EQ(Probe().m_SourceApplied.load(), applied);
        EXPECT_TRUE(m_Source->CommitSettings());
        EXPECT_EQ(Probe().m_SourceApplied.load(), applied + 1);
        EXPECT_TRUE(SameBlock(Probe().m_SourceBlock, m_Source->GetAllParameters()));
        EXPECT_TRUE(setters[i](*m_Source, true));
        EXPECT_EQ(Probe().m_SourceApplied.load(), applied + 2);
    }

    using ReceiverSetter = std::function<bool(SoundReceiver&, bool)>;
    const ReceiverSetter receiverSetters[] = {
        [](SoundReceiver& r, bool c) { return r.SetPosition(Vector3f(1, 2, 3), c); },
        [](SoundReceiver& r, bool c) {
            return r.SetOrientation(Vector3f(1, 0, 0), Vector3f(0, 0, 1), c);
        },
        [](SoundReceiver& r, bool c) { return r.SetOrientFront(Vector3f(0, 1, 0), c); },
        [](SoundReceiver& r, bool c) { return r.SetOrientTop(Vector3f(1, 0, 0), c); },
        [](SoundReceiver& r, bool c) { return r.SetVelocity(Vector3f(0, 0, 5), c); },
        [](SoundReceiver& r, bool c) { return r.SetRolloffFactor(2.0f, c); },
        [](SoundReceiver& r, bool c) { return r.SetDopplerFactor(0.5f, c); },
        [](SoundReceiver& r, bool c) { return r.SetDistanceFactor(2.0f, c); },
    };
    for (size_t i = 0; i < std::size(receiverSetters); ++i) {
        SCOPED_TRACE(i);
        const SoundReceiver::Parameters before = m_Receiver->GetAllParameters();
        const int applied = Probe().m_ReceiverApplied.load();
        EXPECT_TRUE(receiverSetters[i](*m_Receiver, false));
        EXPECT_FALSE(SameBlock(m_Receiver->GetAllParameters(), before));
        EXPECT_EQ(Probe().m_ReceiverApplied.load(), applied);
        EXPECT_TRUE(m_Receiver->CommitSettings());
        EXPECT_TRUE(SameBlock(Probe().m_ReceiverBlock, m_Receiver->GetAllParameters()));
        EXPECT_TRUE(receiverSetters[i](*m_Receiver, true));
        EXPECT_EQ(Probe().m_ReceiverApplied.load(), applied + 2);
    }
}

TEST_F(SoundParameters, SetAllParametersCommitsOnlyOnTheReceiver) {
    const Vector3f position(1, 2, 3), velocity(4, 5, 6), cone(0, 1, 0);
    EXPECT_EQ(m_Source->SetAllParameters(8000, 100, -300, position, velocity, 40, 80, cone, -500,
                                         5.0f, 500.0f, true),
              1);
    EXPECT_EQ(Probe().m_SourceApplied.load(), 0);
    const SoundSource::Parameters stored{8000, 100,  -300, position, velocity, 40,
                                         80,   cone, -500, 5.0f,     500.0f};
    EXPECT_TRUE(SameBlock(m_Source->GetAllParameters(), stored));
    uint32_t inner = 0, outer = 0;
    m_Source->GetConeAngles(inner, outer);
    float minimum = 0, maximum = 0;
    m_Source->GetDistances(minimum, maximum);
    EXPECT_EQ(inner + outer, 120u);
    EXPECT_EQ(minimum + maximum, 505.0f);

    const SoundReceiver::Parameters block{
        position, Vector3f(1, 0, 0), Vector3f(0, 1, 0), velocity, 2.0f, 3.0f, 4.0f};
    EXPECT_TRUE(m_Receiver->SetAllParameters(block.m_Position, block.m_Front, block.m_Top,
                                             block.m_Velocity, 2.0f, 3.0f, 4.0f, false));
    EXPECT_EQ(Probe().m_ReceiverApplied.load(), 0);
    EXPECT_TRUE(m_Receiver->SetAllParameters(block.m_Position, block.m_Front, block.m_Top,
                                             block.m_Velocity, 2.0f, 3.0f, 4.0f, true));
    EXPECT_EQ(Probe().m_ReceiverApplied.load(), 1);
    EXPECT_TRUE(SameBlock(Probe().m_ReceiverBlock, block));
    Vector3f front, top;
    m_Receiver->GetOrientation(front, top);
    EXPECT_TRUE(front == block.m_Front && top == block.m_Top);
}

TEST_F(SoundParameters, CommitClampsWhatTheModuleGets) {
    struct Case {
        std::function<void(SoundSource&)> m_Set;
        std::function<bool(const SoundSource::Parameters&)> m_Applied;
    };
    using P = SoundSource::Parameters;
    const Case cases[] = {
        {[](SoundSource& s) { s.SetVolume(500, false); },
         [](const P& p) { return p.m_Volume == 0; }},
        {[](SoundSource& s) { s.SetVolume(-20000, false); },
         [](const P& p) { return p.m_Volume == -10000; }},
        {[](SoundSource& s) { s.SetOuterConeVolume(-10001, false); },
         [](const P& p) { return p.m_OuterConeVolume == -10000; }},
        {[](SoundSource& s) { s.SetOuterConeVolume(1, false); },
         [](const P& p) { return p.m_OuterConeVolume == 0; }},
        {[](SoundSource& s) { s.SetPan(-10001, false); },
         [](const P& p) { return p.m_Pan == -10000; }},
        {[](SoundSource& s) { s.SetPan(20000, false); },
         [](const P& p) { return p.m_Pan == 10000; }},
        {[](SoundSource& s) { s.SetFrequency(99, false); },
         [](const P& p) { return p.m_Frequency == 100; }},
        {[](SoundSource& s) { s.SetFrequency(200001, false); },
         [](const P& p) { return p.m_Frequency == 200000; }},
        {[](SoundSource& s) { s.SetConeAngles(500, 400, false); },
         [](const P& p) { return p.m_InnerConeAngle == 360 && p.m_OuterConeAngle == 360; }},
        {[](SoundSource& s) { s.SetConeAngles(90, 60, false); },
         [](const P& p) { return p.m_InnerConeAngle == 60 && p.m_OuterConeAngle == 60; }},
        {[](SoundSource& s) { s.SetConeAngles(60, 90, false); },
         [](const P& p) { return p.m_InnerConeAngle == 60 && p.m_OuterConeAngle == 90; }},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        cases[i].m_Set(*m_Source);
        const SoundSource::Parameters stored = m_Source->GetAllParameters();
        ASSERT_TRUE(m_Source->CommitSettings());
        EXPECT_TRUE(cases[i].m_Applied(Probe().m_SourceBlock));
        // The block keeps what was set.
        EXPECT_TRUE(SameBlock(m_Source->GetAllParameters(), stored));
    }
}

TEST_F(SoundParameters, RefusedBlocksLogOneLineAndReachNothing) {
    const std::string sourceLine =
        "[Warn ]SoundSource::CommitSettings: a value is not finite; not committed.";
    const std::string finiteLine =
        "[Warn ]SoundReceiver::CommitSettings: a value is not finite; not committed.";
    const std::string parallelLine = "[Warn ]SoundReceiver::CommitSettings: front and top "
                                     "orientation are parallel or zero; not committed.";
    const std::function<bool(SoundSource&)> badSources[] = {
        [](SoundSource& s) { return s.SetPosition(Vector3f(k_NaN, 0, 0), true); },
        [](SoundSource& s) { return s.SetVelocity(Vector3f(0, k_Inf, 0), true); },
        [](SoundSource& s) { return s.SetConeOrientation(Vector3f(0, 0, -k_Inf), true); },
        [](SoundSource& s) { return s.SetMinDistance(k_NaN, true); },
        [](SoundSource& s) { return s.SetMaxDistance(k_Inf, true); },
    };
    for (size_t i = 0; i < std::size(badSources); ++i) {
        SCOPED_TRACE(i);
        LogCapture log;
        EXPECT_FALSE(badSources[i](*m_Source));
        EXPECT_FALSE(m_Source->CommitSettings()); // the bad value stays in the block
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{sourceLine, sourceLine}));
        EXPECT_EQ(Probe().m_SourceApplied.load(), 0);
        m_Source->SetAllParameters(22050, 0, 0, Vector3f(0, 0, 0), Vector3f(0, 0, 0), 360, 360,
                                   Vector3f(0, 0, 1), 0, 1.0f, 1000.0f, false);
    }

    struct ReceiverCase {
        Vector3f m_Front, m_Top;
        float m_Rolloff;
        Vector3f m_Position;
        const std::string* m_Line;
    };
    const Vector3f origin(0, 0, 0), z(0, 0, 1), y(0, 1, 0);
    const ReceiverCase cases[] = {
        {z, Vector3f(0, 0, 2), 1.0f, origin, &parallelLine},
        {z, Vector3f(0, 0, -1), 1.0f, origin, &parallelLine},
        {origin, y, 1.0f, origin, &parallelLine},
        {z, origin, 1.0f, origin, &parallelLine},
        {z, y, k_Inf, origin, &finiteLine},
        {z, y, 1.0f, Vector3f(0, k_NaN, 0), &finiteLine},
        {Vector3f(k_NaN, 0, 1), y, 1.0f, origin, &finiteLine},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const ReceiverCase& c = cases[i];
        LogCapture log;
        EXPECT_FALSE(m_Receiver->SetAllParameters(c.m_Position, c.m_Front, c.m_Top, origin,
                                                  c.m_Rolloff, 1.0f, 1.0f, true));
        EXPECT_EQ(log.Messages(), std::vector<std::string>{*c.m_Line});
        EXPECT_EQ(Probe().m_ReceiverApplied.load(), 0);
    }
    // Nearly but not quite parallel is an orientation.
    EXPECT_TRUE(m_Receiver->SetOrientation(z, Vector3f(0, 0.001f, 1), true));
}
