// The modules as files and as outputs: what they export, the DX3 module's clock, and the DX8
// module on a real OpenAL device (the wave writer standing in for a sound card).

#include "SoundModuleTestSupport.h"

#include "quorlix/platform/Threading.h"
#include "quorlix/platform/Time.h"
#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"
#include "quorlix/sound/internal/SoundModule.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <set>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string ModulePath(const std::string& variant) {
    return std::string(QUORLIX_SOUND_MODULE_DIR) + "/libQuorlix010219SOUND" + variant + ".so";
}

/// The functions a shared object exports.
std::set<std::string> ExportedFunctions(const std::string& path) {
    std::set<std::string> names;
    FILE* nm = ::popen(("nm -D --defined-only " + path).c_str(), "r");
    if (nm == nullptr)
        return names;
    char line[1024];
    while (std::fgets(line, sizeof line, nm) != nullptr) {
        char type = 0;
        char name[1000] = {};
        if (std::sscanf(line, "%*s %c %999s", &type, name) == 2 && (type == 'T' || type == 'W'))
            names.insert(name);
    }
    ::pclose(nm);
    return names;
}

bool ModuleMapped(const char* variant) {
    std::ifstream maps("/proc/self/maps");
    const std::string name = std::string("libQuorlix010219SOUND") + variant + ".so";
    for (std::string line; std::getline(maps, line);)
        if (line.find(name) != std::string::npos)
            return true;
    return false;
}

double Seconds() {
    return double(Platform::PerformanceCounter()) / double(Platform::k_PerformanceFrequency);
}

} // namespace

TEST(SoundModules, ExportOnlyWhatTheLibraryLooksUp) {
    const std::set<std::string> factories = {Internal::k_SoundDeviceFactorySymbol,
                                             Internal::k_AudioSrcFileFactorySymbol};
    EXPECT_EQ(ExportedFunctions(ModulePath("DX3")), factories);
    std::set<std::string> dx8 = factories;
    dx8.insert("QuorlixSoundRenderLoopback");
    EXPECT_EQ(ExportedFunctions(ModulePath("DX8")), dx8);
}

TEST(SoundModules, UnloadAfterTheirLastObjectWhateverTheOrder) {
    TempDir folder;
    const std::string tone = Tone(folder / "tone.wav", 44100, 1, 0.2, 440);
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        Loopback loopback;
        ASSERT_TRUE(loopback.IsOpen());
        Obj<SoundSource> source(loopback.Device()->CreateSoundSource(
            String(tone.c_str()), SoundSource::k_Flag3D, AudioSrcFile::CacheMode(cycle % 2)));
        Obj<SoundReceiver> receiver(loopback.Device()->CreateSoundReceiver());
        ASSERT_TRUE(source && receiver && source->Play(true, 0.0));
        loopback.Render(2048);
        // The device goes first, the source last but one: each keeps the device alive.
        loopback.Close();
        if (cycle % 2 == 0) {
            receiver = nullptr;
            EXPECT_TRUE(source->IsPlaying());
        }
        source = nullptr;
        receiver = nullptr;
        EXPECT_FALSE(ModuleMapped("DX8"));
    }
}

TEST(SoundModules, DX3SourcesRunWithTheClock) {
    TempDir folder;
    const std::string tone = Tone(folder / "tone.wav", 22050, 1, 1.0, 440);
    ::setenv("QUORLIX_SOUND_MODULE", "DX3", 1);
    Obj<SoundDevice> device(CreateDevice());
    ASSERT_TRUE(device);
    EXPECT_EQ(device->GetThread(), nullptr);
    EXPECT_EQ(device->GetDevice(), nullptr);
    EXPECT_EQ(Platform::FindLibrarySymbol(device->GetModuleHandle(), "QuorlixSoundRenderLoopback"),
              nullptr);
    {
        // The DX8 module's render function renders only its own loopback devices.
        Platform::DynamicLibrary* dx8 = Platform::LoadDynamicLibrary(ModulePath("DX8").c_str());
        ASSERT_NE(dx8, nullptr);
        const auto render = reinterpret_cast<Loopback::RenderFunction>(
            Platform::FindLibrarySymbol(dx8, "QuorlixSoundRenderLoopback"));
        int16_t samples[8] = {};
        EXPECT_EQ(render(device.Get(), samples, 4), -1);
        EXPECT_EQ(render(nullptr, samples, 4), -1);
        Platform::UnloadDynamicLibrary(dx8);
    }
    Obj<SoundSource> source(
        device->CreateSoundSource(String(tone.c_str()), 0, AudioSrcFile::CacheStreaming));
    ASSERT_TRUE(source && source->IsSoSoOk());
    // The position lies between the time slept and the time that passed, at the source's speed.
    const auto expectRunning = [&](double from, double started, double speed) {
        Platform::SleepMilliseconds(150);
        const double position = source->GetPlayPosition();
        EXPECT_GE(position, from + 0.15 * speed - 1e-3);
        EXPECT_LE(position, from + (Seconds() - started) * speed + 1e-3);
    };
    double started = Seconds();
    ASSERT_TRUE(source->Play(false, 0.0));
    expectRunning(0.0, started, 1.0);
    // Twice its rate: twice as fast from where it is.
    const double before = source->GetPlayPosition();
    started = Seconds();
    ASSERT_TRUE(source->SetFrequency(44100, true));
    expectRunning(before, started, 2.0);

    // Looping wraps round; once, it stops at the end.
    started = Seconds();
    ASSERT_TRUE(source->SetFrequency(22050, true) && source->Play(true, 0.9));
    Platform::SleepMilliseconds(200);
    EXPECT_TRUE(source->IsPlaying());
    const double wrapped = source->GetPlayPosition();
    EXPECT_GE(wrapped, 0.1 - 1e-3);
    EXPECT_LE(wrapped, Seconds() - started - 0.1 + 1e-3);
    ASSERT_TRUE(source->Play(false, 0.9));
    Platform::SleepMilliseconds(200);
    EXPECT_FALSE(source->IsPlaying());
    EXPECT_DOUBLE_EQ(source->GetPlayPosition(), 1.0);

    // Paused, it stays; stopped, it stays too and cannot go on.
    ASSERT_TRUE(source->Play(false, 0.5) && source->Pause());
    const double paused = source->GetPlayPosition();
    Platform::SleepMilliseconds(50);
    EXPECT_DOUBLE_EQ(source->GetPlayPosition(), paused);
    EXPECT_TRUE(source->Continue());
    EXPECT_TRUE(source->Stop());
    EXPECT_FALSE(source->IsPlaying());
    EXPECT_FALSE(source->Continue());
}

TEST(SoundModules, RealDevicePlaysThroughTheWaveWriter) {
    TempDir folder;
    const std::string tone = Tone(folder / "tone.ogg", 44100, 1, 1.0, 1000);
    int rate = 0;
    const std::vector<int16_t> samples = PlayThroughWaveWriter(
        folder / "alsoft.conf", folder / "out.wav", QUORLIX_SOUND_WAVE_PLAYER, tone, rate);
    ASSERT_FALSE(samples.empty());
    const int frames = int(samples.size() / 2);
    // The tone is there for its second, at its pitch.
    int loud = 0, first = -1;
    for (int f = 0; f + 100 <= frames; f += 100)
        if (Rms(samples, 0, f, 100) > 1000) {
            loud += 100;
            first = first < 0 ? f : first;
        }
    EXPECT_NEAR(loud, rate, rate / 20);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(Frequency(samples, 0, first + rate / 10, rate / 2, rate), 1000, 5);
}
