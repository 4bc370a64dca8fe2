// The DX8 module mixing 64 and 256 streaming sources through its loopback device, beside OpenAL
// Soft alone playing the same sounds from buffers loaded once; streaming reads through
// AudioSrcFile cursors beside libsndfile's own reads of the same files.

#include "BenchRatios.h"

#include "quorlix/core/Obj.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundSource.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Frames = 1024;

/// The sound files, made by sox once per run in a temporary folder.
struct Files {
    Files() {
        char folder[] = "/tmp/soundbenchXXXXXX";
        m_Folder = ::mkdtemp(folder) != nullptr ? folder : "/tmp";
        const std::string sox = "sox -n -r 44100 -b 16 ";
        for (int i = 0; i < 4; ++i) {
            m_Tones.push_back(m_Folder + "/tone" + std::to_string(i) + ".wav");
            std::system(
                (sox + "-c 1 " + m_Tones.back() + " synth 2 sine " + std::to_string(300 + 150 * i))
                    .c_str());
        }
        m_Long = m_Folder + "/long.wav";
        std::system((sox + "-c 2 " + m_Long + " synth 10 sine 440 sine 660").c_str());
        m_LongFlac = m_Folder + "/long.flac";
        std::system((sox + "-c 2 " + m_LongFlac + " synth 10 sine 440 sine 660").c_str());
    }
    ~Files() { std::filesystem::remove_all(m_Folder); }

    std::string m_Folder, m_Long, m_LongFlac;
    std::vector<std::string> m_Tones;
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

// Source i stands on a circle round the listener, so that every one is panned its own way.
void Place(int i, int count, float& x, float& z) {
    const float angle = 6.2831853f * static_cast<float>(i) / static_cast<float>(count);
    x = 3.0f * std::cos(angle);
    z = 3.0f * std::sin(angle);
}

// Each source starts at its own place in its sound, as sources started at different times do.
double Offset(int i) {
    return 0.0137 * i;
}

void BM_SoundSource_LoopbackStreaming(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1);
    ::setenv("QUORLIX_SOUND_LOOPBACK", "1", 1);
    Obj<SoundDevice> device(SoundDevice::Create(
        SoundDevice::SDTypeDefault, SoundDevice::SpeakerType(2), SoundDevice::Quality(5), nullptr));
    if (!device) {
        state.SkipWithError("no loopback device");
        return;
    }
    const auto render = reinterpret_cast<int (*)(SoundDevice*, void*, int)>(
        Platform::FindLibrarySymbol(device->GetModuleHandle(), "QuorlixSoundRenderLoopback"));
    std::vector<Obj<SoundSource>> sources;
    for (int i = 0; i < count; ++i) {
        const std::string& tone = TheFiles().m_Tones[size_t(i) % TheFiles().m_Tones.size()];
        Obj<SoundSource> source(device->CreateSoundSource(
            String(tone.c_str()), SoundSource::k_Flag3D, AudioSrcFile::CacheStreaming));
        if (!source || !source->IsSoSoOk()) {
            state.SkipWithError("source refused");
            return;
        }
        float x = 0, z = 0;
        Place(i, count, x, z);
        source->SetPosition(Vector3f(x, 0.0f, z), true);
        source->Play(true, Offset(i));
        sources.push_back(source);
    }
    std::vector<int16_t> out(size_t(k_Frames) * 2);
    for (auto _ : state)
        render(device.Get(), out.data(), k_Frames);
    benchmark::DoNotOptimize(out.data());
}

void BM_OpenAL_LoopbackPreloaded(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    const auto renderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    ALCdevice* device = open != nullptr ? open(nullptr) : nullptr;
    if (device == nullptr || renderSamples == nullptr) {
        state.SkipWithError("no loopback device");
        return;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT,
                                 ALC_FREQUENCY,
                                 44100,
                                 ALC_MONO_SOURCES,
                                 1024,
                                 ALC_STEREO_SOURCES,
                                 1024,
                                 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    alcMakeContextCurrent(context);
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    std::vector<ALuint> buffers(TheFiles().m_Tones.size());
    alGenBuffers(ALsizei(buffers.size()), buffers.data());
    for (size_t i = 0; i < buffers.size(); ++i) {
        SF_INFO info{};
        SNDFILE* file = sf_open(TheFiles().m_Tones[i].c_str(), SFM_READ, &info);
        std::vector<int16_t> samples(size_t(info.frames));
        sf_readf_short(file, samples.data(), info.frames);
        sf_close(file);
        alBufferData(buffers[i], AL_FORMAT_MONO16, samples.data(), ALsizei(samples.size() * 2),
                     info.samplerate);
    }
    std::vector<ALuint> sources(static_cast<size_t>(count));
    alGenSources(count, sources.data());
    for (int i = 0; i < count; ++i) {
        float x = 0, z = 0;
        Place(i, count, x, z);
        alSourcei(sources[size_t(i)], AL_BUFFER, ALint(buffers[size_t(i) % buffers.size()]));
        alSourcei(sources[size_t(i)], AL_LOOPING, AL_TRUE);
        alSource3f(sources[size_t(i)], AL_POSITION, x, 0.0f, -z);
        alSourcef(sources[size_t(i)], AL_SEC_OFFSET, static_cast<float>(Offset(i)));
        alSourcePlay(sources[size_t(i)]);
    }
    if (alGetError() != AL_NO_ERROR)
        state.SkipWithError("OpenAL refused the sources");
    std::vector<int16_t> out(size_t(k_Frames) * 2);
    for (auto _ : state)
        renderSamples(device, out.data(), k_Frames);
    benchmark::DoNotOptimize(out.data());
    alDeleteSources(count, sources.data());
    alDeleteBuffers(ALsizei(buffers.size()), buffers.data());
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
}

constexpr int k_Piece = 4096 * 4; // 4096 stereo frames

void ReadThroughCursor(benchmark::State& state, const std::string& path) {
    ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1);
    int64_t size = 0;
    Obj<AudioSrcFile> file(
        AudioSrcFile::Create(String(path.c_str()), size, AudioSrcFile::CacheStreaming));
    if (!file) {
        state.SkipWithError("file refused");
        return;
    }
    const int cursor = file->AddModePointer();
    std::vector<char> buffer(k_Piece);
    int64_t total = 0;
    for (auto _ : state) {
        file->PeekAt(0, cursor);
        total = 0;
        for (int n; (n = file->Read(buffer.data(), k_Piece, cursor)) > 0;)
            total += n;
    }
    if (total != size)
        state.SkipWithError("short read");
    state.SetBytesProcessed(int64_t(state.iterations()) * total);
}

void ReadWithLibsndfile(benchmark::State& state, const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        state.SkipWithError("libsndfile refused the file");
        return;
    }
    std::vector<int16_t> buffer(k_Piece / 2);
    int64_t total = 0;
    for (auto _ : state) {
        sf_seek(file, 0, SEEK_SET);
        total = 0;
        for (sf_count_t n; (n = sf_readf_short(file, buffer.data(), k_Piece / 4)) > 0;)
            total += n * 4;
    }
    sf_close(file);
    state.SetBytesProcessed(int64_t(state.iterations()) * total);
}

void BM_AudioSrcFile_StreamingReadWav(benchmark::State& state) {
    ReadThroughCursor(state, TheFiles().m_Long);
}
void BM_Libsndfile_ReadWav(benchmark::State& state) {
    ReadWithLibsndfile(state, TheFiles().m_Long);
}
void BM_AudioSrcFile_StreamingReadFlac(benchmark::State& state) {
    ReadThroughCursor(state, TheFiles().m_LongFlac);
}
void BM_Libsndfile_ReadFlac(benchmark::State& state) {
    ReadWithLibsndfile(state, TheFiles().m_LongFlac);
}

#define SOUND_BENCHMARK(name)                                                                      \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)
SOUND_BENCHMARK(BM_SoundSource_LoopbackStreaming)->Arg(64)->Arg(256);
SOUND_BENCHMARK(BM_OpenAL_LoopbackPreloaded)->Arg(64)->Arg(256);
SOUND_BENCHMARK(BM_AudioSrcFile_StreamingReadWav);
SOUND_BENCHMARK(BM_Libsndfile_ReadWav);
SOUND_BENCHMARK(BM_AudioSrcFile_StreamingReadFlac);
SOUND_BENCHMARK(BM_Libsndfile_ReadFlac);

} // namespace

int main(int argc, char** argv) {
    TheFiles();
    const std::string suffix = "/repeats:3/real_time";
    std::vector<QuorlixBench::Comparison> comparisons;
    std::vector<QuorlixBench::SpeedupGoal> goals;
    for (const char* n : {"64", "256"}) {
        const std::string subject = std::string("BM_SoundSource_LoopbackStreaming/") + n + suffix;
        const std::string baseline = std::string("BM_OpenAL_LoopbackPreloaded/") + n + suffix;
        comparisons.push_back({subject, baseline, false});
        goals.push_back({subject, baseline, "at least 0.8x OpenAL alone", 0.8});
    }
    for (const char* kind : {"Wav", "Flac"}) {
        const std::string subject = std::string("BM_AudioSrcFile_StreamingRead") + kind + suffix;
        const std::string baseline = std::string("BM_Libsndfile_Read") + kind + suffix;
        comparisons.push_back({subject, baseline, true});
        goals.push_back({subject, baseline, "at least 0.9x libsndfile", 0.9});
    }
    return QuorlixBench::RunAndCompare(argc, argv, comparisons, {}, {}, goals);
}
