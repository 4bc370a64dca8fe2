// The DX8 module's refill thread streaming while the caller plays, stops and seeks: a suite of
// its own for the ThreadSanitizer run. OpenAL Soft's null output mixes in real time.

#include "SoundModuleTestSupport.h"

#include "quorlix/platform/Threading.h"
#include "quorlix/sound/SoundSource.h"

#include <gtest/gtest.h>

using namespace Quorlix;
using namespace QuorlixTest;

TEST(SoundModuleThreads, PlayStopAndSeekWhileTheThreadStreams) {
    TempDir folder;
    WriteFileBytes(folder / "alsoft.conf", "drivers=null\n");
    ::setenv("ALSOFT_CONF", (folder / "alsoft.conf").c_str(), 1);
    SelectDX8(false);
    Obj<SoundDevice> device(CreateDevice());
    ASSERT_TRUE(device);
    ASSERT_NE(device->GetThread(), nullptr);
    // A second of sound is more than the queue holds: only refills take a source to its end.
    const std::string files[] = {Tone(folder / "a.wav", 44100, 2, 1.0, 440),
                                 Tone(folder / "b.ogg", 22050, 1, 1.0, 660)};
    Obj<SoundSource> sources[4];
    for (int i = 0; i < 4; ++i) {
        sources[i] = device->CreateSoundSource(String(files[i % 2].c_str()),
                                               i < 2 ? 0 : SoundSource::k_Flag3D,
                                               AudioSrcFile::CacheMode(i / 2 % 2));
        ASSERT_TRUE(sources[i] && sources[i]->IsSoSoOk());
    }
    for (int i = 0; i < 400; ++i) {
        SoundSource& s = *sources[i % 4];
        switch (i % 6) {
        case 0:
            EXPECT_TRUE(s.Play(i % 12 == 0, 0.1));
            break;
        case 1:
            EXPECT_TRUE(s.SetPlayPosition(0.1 * (i % 10)));
            break;
        case 2:
            EXPECT_TRUE(s.SetPan((i % 7 - 3) * 1000, true));
            break;
        case 3: {
            const double position = s.GetPlayPosition();
            EXPECT_TRUE(position >= 0.0 && position <= s.GetPlayTime()) << position;
            break;
        }
        case 4:
            s.IsPlaying();
            break;
        default:
            EXPECT_TRUE(i % 4 == 1 ? s.Pause() || !s.IsPlaying() : s.Stop());
        }
        Platform::SleepMilliseconds(1);
    }
    for (Obj<SoundSource>& s : sources)
        ASSERT_TRUE(s->Play(false, 0.0));
    Platform::SleepMilliseconds(1600);
    for (Obj<SoundSource>& s : sources) {
        EXPECT_FALSE(s->IsPlaying());
        EXPECT_DOUBLE_EQ(s->GetPlayPosition(), s->GetPlayTime());
    }
}
