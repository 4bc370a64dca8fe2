#pragma once
// Helpers of the sound module tests: sound files made by sox, the DX8 module's loopback device
// and measures of what it renders (levels, frequencies).

#include "quorlix/core/Obj.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/sound/SoundDevice.h"
#include "stream/PipeTestSupport.h"

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace QuorlixTest {

/// Runs sox with `arguments` (its chatter dropped); true when it succeeded.
inline bool Sox(const std::string& arguments) {
    return std::system(("sox " + arguments + " 2>/dev/null").c_str()) == 0;
}

/// `path` (its extension names the container): `seconds` of a sine of `frequency` Hz, 16-bit.
inline std::string Tone(const std::string& path, int rate, int channels, double seconds,
                        double frequency) {
    Sox("-n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 " + path +
        " synth " + std::to_string(seconds) + " sine " + std::to_string(frequency));
    return path;
}

/// Selects the DX8 module and, with `loopback`, its loopback device for the next Create.
inline void SelectDX8(bool loopback) {
    ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1);
    if (loopback)
        ::setenv("QUORLIX_SOUND_LOOPBACK", "1", 1);
    else
        ::unsetenv("QUORLIX_SOUND_LOOPBACK");
}

inline Quorlix::SoundDevice* CreateDevice() {
    return Quorlix::SoundDevice::Create(Quorlix::SoundDevice::SDTypeDefault,
                                        Quorlix::SoundDevice::SpeakerType(2),
                                        Quorlix::SoundDevice::Quality(5), nullptr);
}

/// The DX8 module's loopback device and its render function: stereo 16-bit 44100 Hz.
class Loopback {
public:
    static constexpr int k_Rate = 44100;
    using RenderFunction = int (*)(Quorlix::SoundDevice*, void*, int);

    Loopback() {
        SelectDX8(true);
        m_Device = CreateDevice();
        if (m_Device)
            m_Render = reinterpret_cast<RenderFunction>(Quorlix::Platform::FindLibrarySymbol(
                m_Device->GetModuleHandle(), "QuorlixSoundRenderLoopback"));
    }

    bool IsOpen() const { return m_Device && m_Render != nullptr; }
    /// Drops this handle on the device.
    void Close() { m_Device = nullptr; }
    Quorlix::SoundDevice* Device() const { return m_Device.Get(); }

    /// `frames` stereo frames, rendered 1024 at a time as a mixer's callback would.
    std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> samples(size_t(frames) * 2);
        for (int done = 0; done < frames; done += 1024)
            m_Render(m_Device.Get(), samples.data() + size_t(done) * 2,
                     std::min(1024, frames - done));
        return samples;
    }

private:
    Quorlix::Obj<Quorlix::SoundDevice> m_Device;
    RenderFunction m_Render = nullptr;
};

/// Root mean square of one channel of stereo samples over [from, from + frames).
/// Runs `program tone` with OpenAL's output sent to a WAV file (OpenAL reads its configuration
/// once per process, so a real device plays in a process of its own) and returns the file's
/// stereo samples, scaled to 16 bits by their peak (the writer stores floats); empty when the
/// program fails or writes nothing.
inline std::vector<int16_t> PlayThroughWaveWriter(const std::string& conf,
                                                  const std::string& output,
                                                  const std::string& program,
                                                  const std::string& tone, int& rate) {
    WriteFileBytes(conf, "drivers=wave\n[wave]\nfile=" + output + "\n");
    const std::string command = "ALSOFT_CONF=" + conf + " " + program + " " + tone;
    if (std::system(command.c_str()) != 0)
        return {};
    SF_INFO info{};
    SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    std::vector<int16_t> samples(size_t(info.frames) * size_t(info.channels));
    samples.resize(size_t(sf_readf_short(file, samples.data(), info.frames)) *
                   size_t(info.channels));
    sf_close(file);
    rate = info.samplerate;
    return info.channels == 2 ? samples : std::vector<int16_t>{};
}

inline double Rms(const std::vector<int16_t>& stereo, int channel, int from, int frames) {
    double sum = 0;
    for (int f = from; f < from + frames; ++f) {
        const double v = stereo[size_t(f) * 2 + size_t(channel)];
        sum += v * v;
    }
    return std::sqrt(sum / frames);
}

/// The frequency of one channel over [from, from + frames): rising zero crossings, placed
/// between samples by linear interpolation, counted from the first to the last.
inline double Frequency(const std::vector<int16_t>& stereo, int channel, int from, int frames,
                        int rate = Loopback::k_Rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (int f = from + 1; f < from + frames; ++f) {
        const double a = stereo[size_t(f - 1) * 2 + size_t(channel)];
        const double b = stereo[size_t(f) * 2 + size_t(channel)];
        if (a < 0 && b >= 0) {
            const double t = (f - 1) + (-a) / (b - a);
            if (first < 0)
                first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

} // namespace QuorlixTest
