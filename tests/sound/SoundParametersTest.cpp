// Parameter blocks: defaults, explicit commits, clamping, refused blocks.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/sound/SoundDevice.h"

#include <limits>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr float k_NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float k_Inf = std::numeric_limits<float>::infinity();
using SourceBlock = SoundSource::Parameters;
using ReceiverBlock = SoundReceiver::Parameters;

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
    void Store(const SourceBlock& b) {
        EXPECT_EQ(m_Source->SetAllParameters(b.m_Frequency, b.m_Pan, b.m_Volume, b.m_Position,
                                             b.m_Velocity, b.m_InnerConeAngle, b.m_OuterConeAngle,
                                             b.m_ConeOrientation, b.m_OuterConeVolume,
                                             b.m_MinDistance, b.m_MaxDistance, true),
                  1);
    }
    bool Commit(const ReceiverBlock& b) {
        return m_Receiver->SetAllParameters(b.m_Position, b.m_Front, b.m_Top, b.m_Velocity,
                                            b.m_RolloffFactor, b.m_DopplerFactor,
                                            b.m_DistanceFactor, true);
    }

    Obj<SoundDevice> m_Device;
    Obj<SoundSource> m_Source;
    Obj<SoundReceiver> m_Receiver;
};

} // namespace

TEST_F(SoundParameters, SettersReachTheModuleOnlyWhenCommitted) {
    SourceBlock defaults;
    defaults.m_Frequency = 22050; // the file's rate, not 44100
    EXPECT_TRUE(SameBlock(m_Source->GetAllParameters(), defaults));
    EXPECT_TRUE(SameBlock(m_Receiver->GetAllParameters(), ReceiverBlock{}));
    EXPECT_TRUE(m_Source->Is3DSound());
    EXPECT_DOUBLE_EQ(m_Source->GetPlayTime(), 1.0);

    EXPECT_TRUE(m_Source->SetVolume(-600, false));
    EXPECT_TRUE(m_Source->SetConeAngles(30, 90, false));
    EXPECT_TRUE(m_Receiver->SetOrientFront(Vector3f(1, 0, 0), false));
    EXPECT_EQ(m_Source->GetVolume(), -600);
    EXPECT_EQ(m_Receiver->GetOrientFront(), Vector3f(1, 0, 0));
    EXPECT_EQ(Probe().m_SourceApplied + Probe().m_ReceiverApplied, 0);
    // SetAllParameters of a source never commits, whatever its flag says.
    Store(m_Source->GetAllParameters());
    EXPECT_EQ(Probe().m_SourceApplied.load(), 0);

    EXPECT_TRUE(m_Source->CommitSettings());
    EXPECT_TRUE(m_Receiver->CommitSettings());
    EXPECT_TRUE(SameBlock(Probe().m_SourceBlock, m_Source->GetAllParameters()));
    EXPECT_TRUE(SameBlock(Probe().m_ReceiverBlock, m_Receiver->GetAllParameters()));
    EXPECT_TRUE(m_Source->SetPosition(Vector3f(1, 2, 3), true));
    EXPECT_TRUE(m_Receiver->SetRolloffFactor(2.0f, true));
    EXPECT_EQ(Probe().m_SourceBlock.m_Position, Vector3f(1, 2, 3));
    EXPECT_EQ(Probe().m_ReceiverBlock.m_RolloffFactor, 2.0f);
    EXPECT_EQ(Probe().m_SourceApplied + Probe().m_ReceiverApplied, 4);
}

TEST_F(SoundParameters, CommitClampsWhatTheModuleGets) {
    const Vector3f o(0, 0, 0), z(0, 0, 1);
    struct Case {
        SourceBlock m_Stored, m_Applied;
    };
    const Case cases[] = {
        {{99, -10001, -20000, o, o, 500, 400, z, -10001, 1, 10},
         {100, -10000, -10000, o, o, 360, 360, z, -10000, 1, 10}},
        {{200001, 20000, 1, o, o, 90, 60, z, 1, 1, 10},
         {200000, 10000, 0, o, o, 60, 60, z, 0, 1, 10}},
        {{100, 10000, -10000, o, o, 60, 360, z, 0, 1, 10},
         {100, 10000, -10000, o, o, 60, 360, z, 0, 1, 10}},
    };
    for (const Case& c : cases) {
        Store(c.m_Stored);
        ASSERT_TRUE(m_Source->CommitSettings());
        EXPECT_TRUE(SameBlock(Probe().m_SourceBlock, c.m_Applied));
        EXPECT_TRUE(SameBlock(m_Source->GetAllParameters(), c.m_Stored)); // kept as set
    }
}

TEST_F(SoundParameters, RefusedBlocksLogOneLineAndReachNothing) {
    const Vector3f o(0, 0, 0), y(0, 1, 0), z(0, 0, 1), bad(0, k_NaN, 0);
    const SourceBlock sources[] = {{44100, 0, 0, bad, o, 360, 360, z, 0, 1, 10},
                                   {44100, 0, 0, o, o, 360, 360, Vector3f(k_Inf, 0, 0), 0, 1, 10},
                                   {44100, 0, 0, o, o, 360, 360, z, 0, 1, -k_Inf}};
    for (const SourceBlock& block : sources) {
        LogCapture log;
        Store(block);
        EXPECT_FALSE(m_Source->CommitSettings());
        EXPECT_FALSE(m_Source->SetVolume(-100, true)); // the bad value stays in the block
        EXPECT_EQ(log.Messages(), std::vector<std::string>(2, "[Warn ]SoundSource::CommitSettings: "
                                                              "a value is not finite; not "
                                                              "committed."));
    }
    const std::string finite = "a value is not finite";
    const std::string parallel = "front and top orientation are parallel or zero";
    const std::pair<ReceiverBlock, const std::string*> receivers[] = {
        {{o, z, Vector3f(0, 0, -2), o, 1, 1, 1}, &parallel},
        {{o, o, y, o, 1, 1, 1}, &parallel},
        {{o, z, y, o, k_Inf, 1, 1}, &finite},
        {{o, z, y, bad, 1, 1, 1}, &finite},
    };
    for (const auto& [block, why] : receivers) {
        LogCapture log;
        EXPECT_FALSE(Commit(block));
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Warn ]SoundReceiver::CommitSettings: " + *why +
                                           "; not committed."});
    }
    EXPECT_EQ(Probe().m_SourceApplied + Probe().m_ReceiverApplied, 0);
    // Nearly parallel is still an orientation.
    EXPECT_TRUE(Commit({o, z, Vector3f(0, 0.001f, 1), o, 1, 1, 1}));
}
