#include "SoundDeviceDX8.h"

#include "AudioSrcFile_D.h"
#include "SharedFilePipe.h"
#include "SoundReceiverDX8.h"
#include "SoundSourceDX8.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/Thread.h"
#include "quorlix/platform/Threading.h"

#include <AL/al.h>
#include <AL/alext.h>

#include <algorithm>
#include <string>

namespace Quorlix::DX8 {

namespace {

void LogFailure(const char* what, const char* detail = nullptr) {
    Xerr.pLockError() << "SoundDevice_D::Open: " << what;
    if (detail != nullptr)
        Xerr << ": " << detail;
    Xerr << ".";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace

SoundDevice_D::SoundDevice_D(SDType type, SpeakerType speakerType, Quality quality) noexcept
    : SoundDevice(type, speakerType, quality) {}

SoundDevice_D::~SoundDevice_D() {
    if (m_Thread != nullptr) {
        m_Quit.store(true, std::memory_order_release);
        Platform::PostCountingSemaphore(m_Wake, 1);
        Platform::JoinThread(m_Thread);
    }
    if (m_Wake != nullptr)
        Platform::DestroyCountingSemaphore(m_Wake);
    if (m_Context != nullptr) {
        if (alcGetCurrentContext() == m_Context)
            alcMakeContextCurrent(nullptr);
        alcDestroyContext(m_Context);
    }
    if (m_Device != nullptr)
        alcCloseDevice(m_Device);
}

bool SoundDevice_D::Open(bool loopback) {
    m_Loopback = loopback;
    // Room for a few hundred streaming sources of either kind; the default is 256 in all.
    constexpr ALCint k_Sources = 1024;
    if (loopback) {
        if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") != ALC_TRUE) {
            LogFailure("no ALC_SOFT_loopback");
            return false;
        }
        const auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        const auto supported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
            alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
        m_RenderSamples =
            reinterpret_cast<RenderSamples>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (open == nullptr || supported == nullptr || m_RenderSamples == nullptr) {
            LogFailure("ALC_SOFT_loopback entry points missing");
            return false;
        }
        m_Device = open(nullptr);
        if (m_Device == nullptr ||
            supported(m_Device, k_LoopbackRate, ALC_STEREO_SOFT, ALC_SHORT_SOFT) != ALC_TRUE) {
            LogFailure("no loopback device for stereo 16-bit output");
            return false;
        }
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                     ALC_STEREO_SOFT,
                                     ALC_FORMAT_TYPE_SOFT,
                                     ALC_SHORT_SOFT,
                                     ALC_FREQUENCY,
                                     k_LoopbackRate,
                                     ALC_MONO_SOURCES,
                                     k_Sources,
                                     ALC_STEREO_SOURCES,
                                     k_Sources,
                                     0};
        m_Context = alcCreateContext(m_Device, attributes);
    } else {
        m_Device = alcOpenDevice(nullptr);
        if (m_Device == nullptr) {
            LogFailure("no default output device");
            return false;
        }
        const ALCint attributes[] = {ALC_MONO_SOURCES, k_Sources, ALC_STEREO_SOURCES, k_Sources, 0};
        m_Context = alcCreateContext(m_Device, attributes);
    }
    if (m_Context == nullptr || alcMakeContextCurrent(m_Context) != ALC_TRUE) {
        LogFailure("no context on the device");
        return false;
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alSpeedOfSound(SoundReceiver_D::k_SpeedOfSound);
    alDopplerFactor(1.0f);
    m_DirectChannels = alIsExtensionPresent("AL_SOFT_direct_channels") == AL_TRUE;
    // Still marked experimental in the OpenAL Soft releases that have it: taken only with all
    // three entry points, and buffers fall back to alBufferData whenever a call fails.
    // QUORLIX_SOUND_MAP_BUFFERS=0 leaves it alone, as on an OpenAL without it.
    if (alIsExtensionPresent("AL_SOFTX_map_buffer") == AL_TRUE &&
        !(Platform::HasEnvironmentVariable("QUORLIX_SOUND_MAP_BUFFERS") &&
          Platform::GetEnvironmentVariable("QUORLIX_SOUND_MAP_BUFFERS") == "0")) {
        MapBufferCalls calls;
        calls.m_Storage =
            reinterpret_cast<MapBufferCalls::Storage>(alGetProcAddress("alBufferStorageSOFT"));
        calls.m_Map = reinterpret_cast<MapBufferCalls::Map>(alGetProcAddress("alMapBufferSOFT"));
        calls.m_Unmap =
            reinterpret_cast<MapBufferCalls::Unmap>(alGetProcAddress("alUnmapBufferSOFT"));
        if (calls.m_Storage != nullptr && calls.m_Map != nullptr && calls.m_Unmap != nullptr)
            m_MapBuffer = calls;
    }
    if (loopback)
        return true;
    m_Wake = Platform::CreateCountingSemaphore(0);
    int error = 0;
    m_Thread = Platform::StartThread(&ThreadBody, this, error);
    if (m_Thread == nullptr) {
        LogFailure("no refill thread", Platform::SystemErrorText(error).c_str());
        return false;
    }
    return true;
}

String SoundDevice_D::GetDeviceName() {
    const ALCchar* name = alcGetString(m_Device, ALC_DEVICE_SPECIFIER);
    return String(name != nullptr ? name : "");
}

uint32_t SoundDevice_D::GetDeviceVersion() {
    ALCint major = 0, minor = 0;
    alcGetIntegerv(m_Device, ALC_MAJOR_VERSION, 1, &major);
    alcGetIntegerv(m_Device, ALC_MINOR_VERSION, 1, &minor);
    return (static_cast<uint32_t>(major) << 16) | static_cast<uint32_t>(minor);
}

int SoundDevice_D::RenderLoopback(void* buffer, int frames) {
    auto* out = static_cast<int16_t*>(buffer);
    // Short slices: no source may play past what its queue holds between two refills.
    for (int done = 0; done < frames;) {
        const int slice = std::min(frames - done, k_RenderSliceFrames);
        CriticalSectionLock lock(m_Lock);
        for (SoundSource_D* source : m_Sources)
            source->RefillBefore(slice);
        m_RenderSamples(m_Device, out + int64_t(done) * 2, slice);
        m_RenderedFrames += slice;
        done += slice;
    }
    return frames;
}

void SoundDevice_D::AddSource(SoundSource_D* source) {
    m_Sources.push_back(source);
}

void SoundDevice_D::RemoveSource(SoundSource_D* source) {
    m_Sources.erase(std::remove(m_Sources.begin(), m_Sources.end(), source), m_Sources.end());
}

void SoundDevice_D::SetRolloff(float rolloff) {
    m_Rolloff = rolloff;
    for (SoundSource_D* source : m_Sources)
        source->ApplyRolloff(rolloff);
}

SoundSource* SoundDevice_D::MakeSoundSource(const StringRef& path, uint32_t flags,
                                            AudioSrcFile::CacheMode cacheMode) {
    int64_t size = 0;
    Obj<AudioSrcFile> file;
    // A streaming source refills its cursor every second: a small file is read once, from
    // memory it shares with the other sources playing it.
    Obj<StreamPipe> pipe(cacheMode == AudioSrcFile::CacheStreaming ? SharedFilePipe::Open(path)
                                                                   : nullptr);
    if (pipe)
        file = AudioSrcFile_D::Open(pipe.Get(), path, size, cacheMode);
    else
        file = AudioSrcFile_D::Open(path, size, cacheMode);
    if (!file)
        return nullptr; // logged
    Obj<SoundSource_D> source(NewObject<SoundSource_D>(this, file.Get(), flags));
    return source.Handover();
}

SoundReceiver* SoundDevice_D::MakeSoundReceiver() {
    return NewObject<SoundReceiver_D>(this);
}

void SoundDevice_D::ThreadBody(void* self) {
    auto* device = static_cast<SoundDevice_D*>(self);
    while (!device->m_Quit.load(std::memory_order_acquire)) {
        device->RefillAll();
        Platform::TimedWaitCountingSemaphore(device->m_Wake, k_RefillMilliseconds);
    }
}

void SoundDevice_D::RefillAll() {
    CriticalSectionLock lock(m_Lock);
    for (SoundSource_D* source : m_Sources)
        source->Refill();
}

} // namespace Quorlix::DX8

namespace Quorlix {

QUORLIX_API SoundDevice* CreateSoundDeviceDirectSound(SoundDevice::SDType type,
                                                      SoundDevice::SpeakerType speakerType,
                                                      SoundDevice::Quality quality, void*) {
    const bool loopback = Platform::HasEnvironmentVariable("QUORLIX_SOUND_LOOPBACK") &&
                          Platform::GetEnvironmentVariable("QUORLIX_SOUND_LOOPBACK") != "0";
    Obj<DX8::SoundDevice_D> device(NewObject<DX8::SoundDevice_D>(type, speakerType, quality));
    if (!device->Open(loopback))
        return nullptr; // the handle closes what was opened
    return device.Handover();
}

} // namespace Quorlix

extern "C" QUORLIX_API int QuorlixSoundRenderLoopback(Quorlix::SoundDevice* device, void* buffer,
                                                      int frames) {
    auto* loopback = dynamic_cast<Quorlix::DX8::SoundDevice_D*>(device);
    if (loopback == nullptr || !loopback->IsLoopback() || frames < 0 ||
        (frames > 0 && buffer == nullptr))
        return -1;
    return loopback->RenderLoopback(buffer, frames);
}
