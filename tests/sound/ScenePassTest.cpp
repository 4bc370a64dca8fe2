// An emitter passing the listener through the frame loop on a real device: OpenAL's wave writer
// stands in for a sound card and the DX8 module's refill thread feeds it. What the listener
// hears: the side the emitter is on, and its pitch raised while it comes and lowered as it goes.

#include "soundmodules/SoundModuleTestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>

using namespace QuorlixTest;

TEST(SoundScenePass, EmitterPassesTheListener) {
    TempDir folder;
    const std::string tone = Tone(folder / "tone.wav", 44100, 1, 1.0, 1000);
    int rate = 0;
    const std::vector<int16_t> samples = PlayThroughWaveWriter(
        folder / "alsoft.conf", folder / "out.wav", QUORLIX_SOUND_SCENE_PASS_PLAYER, tone, rate);
    ASSERT_FALSE(samples.empty());
    const int frames = int(samples.size() / 2);

    // The pass is where the output is louder than a fiftieth of its loudest 10 ms.
    const int block = rate / 100;
    std::vector<double> levels;
    for (int f = 0; f + block <= frames; f += block)
        levels.push_back(std::hypot(Rms(samples, 0, f, block), Rms(samples, 1, f, block)));
    ASSERT_FALSE(levels.empty());
    const double loudest = *std::max_element(levels.begin(), levels.end());
    const auto loud = [&](double level) { return level > loudest / 50; };
    const int first = int(std::find_if(levels.begin(), levels.end(), loud) - levels.begin());
    const int last = int(levels.rend() - std::find_if(levels.rbegin(), levels.rend(), loud));
    const int begin = first * block, end = last * block, third = (end - begin) / 3;
    // Two seconds of motion; the step rate and the device's latency blur the edges.
    EXPECT_NEAR(double(end - begin) / rate, 2.0, 0.3);
    ASSERT_GT(third, rate / 2);

    // From +x it is on the right, from -x on the left.
    const double rightOverLeft =
        Rms(samples, 1, begin, third) / std::max(Rms(samples, 0, begin, third), 1.0);
    const double leftOverRight =
        Rms(samples, 0, end - third, third) / std::max(Rms(samples, 1, end - third, third), 1.0);
    EXPECT_GT(rightOverLeft, 3.0);
    EXPECT_GT(leftOverRight, 3.0);

    // About 30 units a second against 343.3: 1000 / (1 - 0.087) Hz coming, 1000 / (1 + 0.087)
    // going. Windows of a quarter second on the nearer channel, past the first step (which has
    // no velocity yet) and before the last.
    const int window = rate / 4;
    const double coming = Frequency(samples, 1, begin + rate / 5, window, rate);
    const double going = Frequency(samples, 0, end - rate / 10 - window, window, rate);
    EXPECT_GT(coming, 1050.0);
    EXPECT_LT(coming, 1150.0);
    EXPECT_LT(going, 950.0);
    EXPECT_GT(going, 870.0);

    std::printf("pass of %.2f s: right/left %.1f first third, left/right %.1f last third; "
                "%.1f Hz coming, %.1f Hz going\n",
                double(end - begin) / rate, rightOverLeft, leftOverRight, coming, going);
}
