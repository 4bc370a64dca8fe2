// What the DX8 module plays, read back through its loopback device: levels as ratios of the RMS
// of each channel, sides, Doppler shifts and pitches by zero crossings, play control.

#include "SoundModuleTestSupport.h"

#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"
#include "quorlix/stream/Archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Rate = Loopback::k_Rate;
// Levels are measured from 0.2 s on, past the gain ramps of a source that starts.
constexpr int k_From = k_Rate / 5;
constexpr int k_Window = k_Rate / 4;
// The output is dithered: silence measures below this.
constexpr double k_Dither = 2.0;

using Arrange = std::function<void(SoundSource&, SoundReceiver&)>;

struct Heard {
    double m_Left = 0, m_Right = 0;
    double Both() const { return std::hypot(m_Left, m_Right); }
};

class SoundOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_Folder = new TempDir;
        Tone(*s_Folder / "tone.wav", k_Rate, 1, 2.0, 1000);
        Tone(*s_Folder / "tone22050.wav", 22050, 1, 2.0, 1000);
        Tone(*s_Folder / "second.wav", k_Rate, 1, 1.0, 1000);
        // Left only, and 500 Hz then 1500 Hz.
        Sox("-n -r 44100 -c 2 -b 16 " + *s_Folder / "left.wav" + " synth 2 sine 1000 sine 0");
        Sox("-n -r 44100 -c 1 -b 16 " + *s_Folder / "steps.wav" +
            " synth 0.5 sine 500 : synth 0.5 sine 1500");
        // Never near zero but at its edges: a gap in the output shows as a quiet stretch.
        Sox("-n -r 44100 -c 1 -b 16 " + *s_Folder / "square.wav" + " synth 0.1 square 500 vol 0.5");
    }
    static void TearDownTestSuite() { delete s_Folder; }

    void SetUp() override { ASSERT_TRUE(m_Loopback.IsOpen()); }

    Obj<SoundSource> Source(const std::string& name, uint32_t flags,
                            AudioSrcFile::CacheMode mode = AudioSrcFile::CacheStreaming) {
        return Obj<SoundSource>(m_Loopback.Device()->CreateSoundSource(
            String((*s_Folder / name).c_str()), flags, mode));
    }

    /// Plays `name` (looping) after `setup` and measures both channels from k_From on. The
    /// receiver is made new for each, with its defaults.
    Heard Hear(const std::string& name, uint32_t flags, const Arrange& setup,
               std::vector<int16_t>* samplesOut = nullptr) {
        Obj<SoundReceiver> receiver(m_Loopback.Device()->CreateSoundReceiver());
        Obj<SoundSource> source = Source(name, flags);
        EXPECT_TRUE(source && receiver);
        if (!source || !receiver)
            return {};
        setup(*source, *receiver);
        EXPECT_TRUE(source->Play(true, 0.0));
        std::vector<int16_t> samples = m_Loopback.Render(k_Rate);
        const Heard heard{Rms(samples, 0, k_From, k_Window), Rms(samples, 1, k_From, k_Window)};
        if (samplesOut != nullptr)
            *samplesOut = std::move(samples);
        return heard;
    }

    static TempDir* s_Folder;
    Loopback m_Loopback;
};

TempDir* SoundOutput::s_Folder = nullptr;

// A file played after a setup, and what it should give.
struct PlayCase {
    const char* m_Name;
    const char* m_File;
    uint32_t m_Flags;
    Arrange m_Setup;
    double m_Expected = 0;
};

struct LevelCase {
    const char* m_Name;
    uint32_t m_Flags;
    Arrange m_Subject;
    Arrange m_Baseline; // null: the subject's right channel over its left
    double m_Expected;
    double m_Tolerance;
};

} // namespace

TEST_F(SoundOutput, LevelsFollowVolumePanConesAndDistances) {
    const auto at = [](float x, float y, float z) {
        return [=](SoundSource& s, SoundReceiver&) { s.SetPosition(Vector3f(x, y, z), true); };
    };
    const auto then = [](Arrange a, Arrange b) {
        return [=](SoundSource& s, SoundReceiver& r) { a(s, r), b(s, r); };
    };
    const auto cone = [](float z) {
        return [=](SoundSource& s, SoundReceiver&) {
            s.SetPosition(Vector3f(0, 0, 2), false);
            s.SetConeAngles(90, 180, false);
            s.SetOuterConeVolume(-1200, false);
            s.SetConeOrientation(Vector3f(0, 0, z), true);
        };
    };
    const auto maxDistance = [](float m) {
        return [=](SoundSource& s, SoundReceiver&) { s.SetMaxDistance(m, true); };
    };
    const Arrange none = [](SoundSource&, SoundReceiver&) {};
    const LevelCase cases[] = {
        {"volume -600", 0, [](SoundSource& s, SoundReceiver&) { s.SetVolume(-600, true); }, none,
         0.501, 0.01},
        // Silence is the output's dither alone, 90 dB down.
        {"volume -10000", 0, [](SoundSource& s, SoundReceiver&) { s.SetVolume(-10000, true); },
         none, 0.0, 1e-4},
        {"pan -600", 0, [](SoundSource& s, SoundReceiver&) { s.SetPan(-600, true); }, nullptr,
         0.501, 0.01},
        {"pan -10000", 0, [](SoundSource& s, SoundReceiver&) { s.SetPan(-10000, true); }, nullptr,
         0.0, 1e-4},
        {"outer cone facing away", SoundSource::k_Flag3D, cone(1), cone(-1), 0.251, 0.01},
        {"twice the minimum distance", SoundSource::k_Flag3D, at(0, 0, 2), at(0, 0, 1), 0.5, 0.01},
        {"past the maximum distance", SoundSource::k_Flag3D, then(maxDistance(4), at(0, 0, 8)),
         then(maxDistance(4), at(0, 0, 5)), 1.0, 0.01},
        {"rolloff 2", SoundSource::k_Flag3D,
         then(at(0, 0, 2), [](SoundSource&, SoundReceiver& r) { r.SetRolloffFactor(2.0f, true); }),
         at(0, 0, 2), 2.0 / 3.0, 0.01},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.m_Name);
        const Heard subject = Hear("tone.wav", c.m_Flags, c.m_Subject);
        if (!c.m_Baseline) {
            ASSERT_GT(subject.m_Left, 0.0);
        }
        const double ratio = c.m_Baseline
                                 ? subject.Both() / Hear("tone.wav", c.m_Flags, c.m_Baseline).Both()
                                 : subject.m_Right / subject.m_Left;
        EXPECT_NEAR(ratio, c.m_Expected, c.m_Tolerance);
    }
}

TEST_F(SoundOutput, PositionalSourcesTakeTheirSide) {
    const auto heard = [&](Vector3f position, Vector3f front) {
        return Hear("tone.wav", SoundSource::k_Flag3D, [&](SoundSource& s, SoundReceiver& r) {
            r.SetOrientFront(front, true);
            s.SetPosition(position, true);
        });
    };
    const Vector3f ahead(0, 0, 1), right(1, 0, 0), left(-1, 0, 0);
    const Heard inFront = heard(ahead, ahead);
    EXPECT_NEAR(inFront.m_Right / inFront.m_Left, 1.0, 0.02);
    const Heard onTheRight = heard(right, ahead);
    EXPECT_LT(onTheRight.m_Left, 0.02 * onTheRight.m_Right);
    const Heard behind = heard(Vector3f(0, 0, -1), ahead);
    EXPECT_LT(behind.Both(), 0.9 * inFront.Both());
    // Turned 90 degrees to the right, what was ahead is on the left; turned left, on the right.
    const Heard turnedRight = heard(ahead, right);
    EXPECT_LT(turnedRight.m_Right, 0.02 * turnedRight.m_Left);
    const Heard turnedLeft = heard(ahead, left);
    EXPECT_LT(turnedLeft.m_Left, 0.02 * turnedLeft.m_Right);
}

TEST_F(SoundOutput, StereoFilesStayApartIn2DAndMixToMonoIn3D) {
    const Arrange none = [](SoundSource&, SoundReceiver&) {};
    const Heard flat = Hear("left.wav", 0, none);
    EXPECT_GT(flat.m_Left, 1000.0);
    EXPECT_LT(flat.m_Right, k_Dither);
    const Heard placed =
        Hear("left.wav", SoundSource::k_Flag3D,
             [](SoundSource& s, SoundReceiver&) { s.SetPosition(Vector3f(0, 0, 1), true); });
    EXPECT_NEAR(placed.m_Right / placed.m_Left, 1.0, 0.02);
}

TEST_F(SoundOutput, PitchFollowsFrequencyAndDoppler) {
    const auto approaching = [](float distanceFactor) {
        return [=](SoundSource& s, SoundReceiver& r) {
            r.SetDistanceFactor(distanceFactor, true);
            s.SetPosition(Vector3f(0, 0, 3), false);
            s.SetVelocity(Vector3f(0, 0, -34.33f), true);
        };
    };
    const PlayCase cases[] = {
        {"as recorded", "tone.wav", 0, [](SoundSource&, SoundReceiver&) {}, 1000},
        {"a 22050 Hz file at its own rate", "tone22050.wav", 0,
         [](SoundSource& s, SoundReceiver&) { EXPECT_EQ(s.GetFrequency(), 22050u); }, 1000},
        {"frequency doubled", "tone.wav", 0,
         [](SoundSource& s, SoundReceiver&) { s.SetFrequency(88200, true); }, 2000},
        {"approaching", "tone.wav", SoundSource::k_Flag3D, approaching(1.0f), 1000 / 0.9},
        {"approaching, distance factor 2", "tone.wav", SoundSource::k_Flag3D, approaching(2.0f),
         1250},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.m_Name);
        std::vector<int16_t> samples;
        Hear(c.m_File, c.m_Flags, c.m_Setup, &samples);
        // Half a second from 0.1 s on.
        EXPECT_NEAR(Frequency(samples, 0, k_Rate / 10, k_Rate / 2), c.m_Expected,
                    c.m_Expected * 0.005);
    }
}

TEST_F(SoundOutput, NothingChangesBeforeCommitSettings) {
    Obj<SoundSource> source = Source("tone.wav", 0);
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->Play(true, 0.0));
    const auto level = [&] {
        const std::vector<int16_t> samples = m_Loopback.Render(k_From + k_Window);
        return Rms(samples, 0, k_From, k_Window);
    };
    const double full = level();
    EXPECT_TRUE(source->SetVolume(-600, false));
    EXPECT_TRUE(source->SetPan(-10000, false));
    EXPECT_EQ(source->GetVolume(), -600);
    const std::vector<int16_t> before = m_Loopback.Render(k_From + k_Window);
    EXPECT_NEAR(Rms(before, 0, k_From, k_Window) / full, 1.0, 0.01);
    EXPECT_NEAR(Rms(before, 1, k_From, k_Window) / full, 1.0, 0.01);
    EXPECT_TRUE(source->CommitSettings());
    EXPECT_NEAR(level() / full, 0.501, 0.01);
}

TEST_F(SoundOutput, WholeFileSourcesPlayTheSameSamples) {
    std::vector<int16_t> heard[2];
    for (int mode = 0; mode < 2; ++mode) {
        Obj<SoundSource> source = Source("tone.wav", 0, AudioSrcFile::CacheMode(mode));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->GetAudioSrcFile()->GetCacheMode(), mode);
        source->Play(false, 0.0);
        heard[mode] = m_Loopback.Render(k_Rate);
    }
    std::vector<int16_t> difference(heard[0].size());
    for (size_t i = 0; i < difference.size(); ++i)
        difference[i] = static_cast<int16_t>(heard[0][i] - heard[1][i]);
    // Past the first source's start on the new device, where the mixer ramps its gains up.
    constexpr int k_Ramp = k_Rate / 100;
    EXPECT_LT(Rms(difference, 0, k_Ramp, k_Rate - k_Ramp), k_Dither);
    EXPECT_LT(Rms(difference, 1, k_Ramp, k_Rate - k_Ramp), k_Dither);
}

TEST_F(SoundOutput, PlayControlMovesThePosition) {
    Obj<SoundSource> source = Source("second.wav", 0);
    ASSERT_TRUE(source);
    EXPECT_DOUBLE_EQ(source->GetPlayTime(), 1.0);
    const auto render = [&](double seconds) {
        return m_Loopback.Render(static_cast<int>(seconds * k_Rate));
    };
    // A source that stops fades out within a few milliseconds.
    const auto silent = [&](double seconds) {
        const std::vector<int16_t> samples = render(seconds);
        const int from = k_Rate / 50;
        return Rms(samples, 0, from, int(samples.size() / 2) - from) < k_Dither;
    };
    // 30 ms: the position is known to a render slice and a queued buffer's start.
    constexpr double k_Near = 0.03;

    ASSERT_TRUE(source->Play(false, 0.0));
    render(0.5);
    EXPECT_TRUE(source->IsPlaying());
    EXPECT_NEAR(source->GetPlayPosition(), 0.5, k_Near);
    render(0.7);
    EXPECT_FALSE(source->IsPlaying());
    EXPECT_DOUBLE_EQ(source->GetPlayPosition(), 1.0);
    EXPECT_TRUE(silent(0.1));

    // Looping wraps round; a start time is where it starts.
    ASSERT_TRUE(source->Play(true, 0.25));
    render(1.0);
    EXPECT_TRUE(source->IsPlaying());
    EXPECT_NEAR(source->GetPlayPosition(), 0.25, k_Near);
    EXPECT_TRUE(source->SetPlayPosition(0.6));
    EXPECT_NEAR(source->GetPlayPosition(), 0.6, k_Near);
    render(0.2);
    EXPECT_NEAR(source->GetPlayPosition(), 0.8, k_Near);

    // Paused, it is silent and stays where it was; it goes on from there.
    EXPECT_TRUE(source->Pause());
    const double paused = source->GetPlayPosition();
    EXPECT_TRUE(silent(0.2));
    EXPECT_DOUBLE_EQ(source->GetPlayPosition(), paused);
    EXPECT_FALSE(source->IsPlaying());
    EXPECT_TRUE(source->Continue());
    render(0.1);
    EXPECT_NEAR(source->GetPlayPosition(), std::fmod(paused + 0.1, 1.0), k_Near);

    EXPECT_TRUE(source->Stop());
    EXPECT_FALSE(source->IsPlaying());
    EXPECT_FALSE(source->Continue());
    EXPECT_TRUE(silent(0.1));
    EXPECT_FALSE(source->SetPlayPosition(-1.0));

    // Half a second in, the second tone plays.
    Obj<SoundSource> steps = Source("steps.wav", 0);
    ASSERT_TRUE(steps && steps->Play(false, 0.5));
    EXPECT_NEAR(Frequency(render(0.3), 0, k_Rate / 20, k_Rate / 5), 1500, 1500 * 0.005);
}

// A source's queue is looked at only when the frames rendered since its last refill could have
// taken it low. Whatever the pitch, its changes and Doppler shifts, it never runs dry.
TEST_F(SoundOutput, LoopingSourcesNeverRunDry) {
    struct DryCase {
        const char* m_Name;
        uint32_t m_Flags;
        std::vector<Arrange> m_Steps; // each committed, then played for a second
    };
    const auto frequency = [](uint32_t hz) -> Arrange {
        return [=](SoundSource& s, SoundReceiver&) { EXPECT_TRUE(s.SetFrequency(hz, true)); };
    };
    const Arrange near = [](SoundSource& s, SoundReceiver&) {
        s.SetPosition(Vector3f(0, 0, 2), true);
    };
    const Arrange moving = [](SoundSource& s, SoundReceiver&) {
        s.SetVelocity(Vector3f(0, 0, -30), true);
    };
    // Towards the source at 300 units/s: heard some 1.9 times as fast.
    const Arrange listenerMoving = [](SoundSource&, SoundReceiver& r) {
        r.SetVelocity(Vector3f(0, 0, 300), true);
    };
    const Arrange nothing = [](SoundSource&, SoundReceiver&) {};
    // A full queue at 100 Hz lasts minutes, and 200000 Hz drains it in a tenth of a second.
    const DryCase cases[] = {
        {"2D at 200000 Hz", 0, {frequency(200000), nothing}},
        {"3D at 200000 Hz", SoundSource::k_Flag3D, {near, frequency(200000), nothing}},
        {"2D from 100 Hz to 200000 Hz", 0, {nothing, frequency(100), frequency(200000)}},
        {"3D from 100 Hz to 200000 Hz",
         SoundSource::k_Flag3D,
         {near, frequency(100), frequency(200000)}},
        {"3D moving from 100 Hz to 200000 Hz",
         SoundSource::k_Flag3D,
         {near, moving, frequency(100), frequency(200000)}},
        {"listener starting to move",
         SoundSource::k_Flag3D,
         {near, frequency(100), frequency(40000), listenerMoving}},
    };
    constexpr int k_Window = 256;
    const auto quietest = [&](const std::vector<int16_t>& samples, int from) {
        double least = 1e9;
        for (int f = from; f + k_Window <= int(samples.size() / 2); f += k_Window)
            least = std::min(least, Rms(samples, 0, f, k_Window));
        return least;
    };
    for (const DryCase& c : cases) {
        SCOPED_TRACE(c.m_Name);
        Obj<SoundReceiver> receiver(m_Loopback.Device()->CreateSoundReceiver());
        Obj<SoundSource> source = Source("square.wav", c.m_Flags);
        ASSERT_TRUE(source && receiver);
        ASSERT_TRUE(source->Play(true, 0.0));
        for (size_t i = 0; i < c.m_Steps.size(); ++i) {
            SCOPED_TRACE(i);
            c.m_Steps[i](*source, *receiver);
            // Past the gain ramp of the start. A queue run dry is silent until the next refill,
            // a whole render slice; the square wave's slowest edges measure some 1000 at 2 units.
            EXPECT_GT(quietest(m_Loopback.Render(k_Rate), i == 0 ? k_Rate / 50 : 0), 500.0);
        }
        EXPECT_TRUE(source->IsPlaying());
        source = nullptr;
        m_Loopback.Render(k_Rate / 20);
    }
}

// OpenAL buffers mapped into memory take the decoded samples without a copy; without the
// extension (or with QUORLIX_SOUND_MAP_BUFFERS=0) they are copied in. Both play the same.
TEST_F(SoundOutput, MappedAndCopiedBuffersPlayTheSame) {
    const Arrange none = [](SoundSource&, SoundReceiver&) {};
    const Arrange panned = [](SoundSource& s, SoundReceiver&) { s.SetPan(-600, true); };
    const Arrange placed = [](SoundSource& s, SoundReceiver&) {
        s.SetPosition(Vector3f(1, 0, 1), true);
    };
    // The sounds end within the render: their last buffer is a short one.
    const PlayCase cases[] = {
        {"mono in 2D", "second.wav", 0, none},
        {"stereo as decoded", "left.wav", 0, none},
        {"stereo panned", "left.wav", 0, panned},
        {"mono in space", "second.wav", SoundSource::k_Flag3D, placed},
        {"stereo mixed down in space", "left.wav", SoundSource::k_Flag3D, placed},
    };
    std::vector<int16_t> heard[2][std::size(cases)];
    m_Loopback.Close();
    for (int mapped = 0; mapped < 2; ++mapped) {
        ::setenv("QUORLIX_SOUND_MAP_BUFFERS", mapped ? "1" : "0", 1);
        Loopback loopback;
        ASSERT_TRUE(loopback.IsOpen());
        Obj<SoundReceiver> receiver(loopback.Device()->CreateSoundReceiver());
        for (size_t i = 0; i < std::size(cases); ++i) {
            Obj<SoundSource> source(loopback.Device()->CreateSoundSource(
                String((*s_Folder / cases[i].m_File).c_str()), cases[i].m_Flags,
                AudioSrcFile::CacheStreaming));
            ASSERT_TRUE(source && receiver);
            cases[i].m_Setup(*source, *receiver);
            ASSERT_TRUE(source->Play(false, 0.0));
            heard[mapped][i] = loopback.Render(k_Rate * 5 / 2);
            EXPECT_FALSE(source->IsPlaying());
        }
    }
    ::unsetenv("QUORLIX_SOUND_MAP_BUFFERS");
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].m_Name);
        const std::vector<int16_t>& a = heard[0][i];
        const std::vector<int16_t>& b = heard[1][i];
        ASSERT_EQ(a.size(), b.size());
        std::vector<int16_t> difference(a.size());
        for (size_t k = 0; k < a.size(); ++k)
            difference[k] = static_cast<int16_t>(a[k] - b[k]);
        const int frames = int(a.size() / 2);
        EXPECT_GT(std::hypot(Rms(a, 0, 0, frames), Rms(a, 1, 0, frames)), 1000.0);
        EXPECT_LT(Rms(difference, 0, 0, frames), k_Dither);
        EXPECT_LT(Rms(difference, 1, 0, frames), k_Dither);
    }
}

// Streaming sources of one small file share one copy of it while any of them lives: a file
// rewritten with its size and time kept plays as before until they are gone; a new time, or a
// large file, is read anew.
TEST_F(SoundOutput, SmallFilesAreSharedWhileTheirSourcesLive) {
    namespace fs = std::filesystem;
    const std::string low = Tone(*s_Folder / "low.wav", k_Rate, 1, 1.0, 500);
    const std::string high = Tone(*s_Folder / "high.wav", k_Rate, 1, 1.0, 1500);
    // 12 s of mono is past the 1 MiB held in memory.
    const std::string lowLarge = Tone(*s_Folder / "low-large.wav", k_Rate, 1, 12.0, 500);
    const std::string highLarge = Tone(*s_Folder / "high-large.wav", k_Rate, 1, 12.0, 1500);
    ASSERT_EQ(fs::file_size(low), fs::file_size(high));
    ASSERT_GT(fs::file_size(lowLarge), uintmax_t(1) << 20);
    const fs::file_time_type time = fs::last_write_time(low);
    const auto rewrite = [&](const std::string& name, const std::string& from,
                             fs::file_time_type at) {
        fs::copy_file(from, *s_Folder / name, fs::copy_options::overwrite_existing);
        fs::last_write_time(*s_Folder / name, at);
    };
    const auto pitch = [&](const Obj<SoundSource>& source) {
        EXPECT_TRUE(source);
        if (!source)
            return 0.0;
        EXPECT_TRUE(source->Play(false, 0.0));
        const std::vector<int16_t> samples = m_Loopback.Render(k_Rate / 4);
        EXPECT_TRUE(source->Stop());
        m_Loopback.Render(k_Rate / 20);
        return Frequency(samples, 0, k_Rate / 20, k_Rate / 5);
    };

    rewrite("shared.wav", low, time);
    Obj<SoundSource> first = Source("shared.wav", 0);
    rewrite("shared.wav", high, time);
    EXPECT_NEAR(pitch(Source("shared.wav", 0)), 500, 5);
    EXPECT_NEAR(pitch(Source("shared.wav", SoundSource::k_Flag3D)), 500, 5);
    // A source holding the whole file decodes it itself.
    EXPECT_NEAR(pitch(Source("shared.wav", 0, AudioSrcFile::CacheWholeFile)), 1500, 15);
    first = nullptr;
    Obj<SoundSource> second = Source("shared.wav", 0);
    EXPECT_NEAR(pitch(second), 1500, 15);
    rewrite("shared.wav", low, time + std::chrono::seconds(10));
    EXPECT_NEAR(pitch(Source("shared.wav", 0)), 500, 5);
    EXPECT_NEAR(pitch(second), 1500, 15);

    rewrite("large.wav", lowLarge, time);
    Obj<SoundSource> large = Source("large.wav", 0);
    rewrite("large.wav", highLarge, time);
    EXPECT_NEAR(pitch(Source("large.wav", 0)), 1500, 15);
}

// Archive members stream too: a stored member is shared like a file, a compressed one is
// decoded from its own copy.
TEST_F(SoundOutput, ArchiveMembersPlay) {
    const std::string archivePath = *s_Folder / "sounds.kxp";
    const std::string tone = Tone(*s_Folder / "member.wav", 22050, 1, 1.0, 750);
    for (const Archive::StoreMode mode : {Archive::StoreModeStore, Archive::StoreModeCompress}) {
        SCOPED_TRACE(int(mode));
        {
            Obj<Archive> archive(Archive::Create());
            ASSERT_EQ(archive->OpenNew(String(archivePath.c_str())), nullptr);
            ASSERT_EQ(archive->SetStoreMode(mode, 9), nullptr);
            ASSERT_EQ(
                archive->AddFile(String("tone.wav"), String(tone.c_str()), String(""), nullptr),
                nullptr);
            ASSERT_EQ(archive->Close(), nullptr);
        }
        std::vector<int16_t> samples;
        Hear(
            "sounds.kxp/tone.wav", 0, [](SoundSource&, SoundReceiver&) {}, &samples);
        EXPECT_NEAR(Frequency(samples, 0, k_Rate / 10, k_Rate / 2), 750, 750 * 0.005);
    }
}
