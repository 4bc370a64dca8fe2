#include "quorlix/sound/SoundDevice.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"
#include "quorlix/sound/internal/SoundModule.h"

#include <atomic>
#include <mutex>

namespace Quorlix {

namespace {

using SoundDeviceFactory = SoundDevice* (*)(SoundDevice::SDType, SoundDevice::SpeakerType,
                                            SoundDevice::Quality, void*);

std::atomic<SoundDevice*> G_Device{nullptr};
std::atomic<int32_t> G_DefaultSpeakerType{2};
std::atomic<int32_t> G_DefaultQuality{5};

std::mutex& CreateLock() {
    static std::mutex s_Lock;
    return s_Lock;
}

} // namespace

SoundDevice* SoundDevice::Create(SDType type, SpeakerType speakerType, Quality quality,
                                 void* windowHandle) {
    std::lock_guard<std::mutex> guard(CreateLock());
    if (SoundDevice* existing = G_Device.load())
        return existing;
    if (type != SDTypeDefault && type != SDTypeHardware)
        return nullptr;
    Internal::SoundModule module =
        Internal::LoadSoundModule("SoundDevice::Create", Internal::SoundFactory::Device);
    if (module.m_Library == nullptr)
        return nullptr;
    auto factory = reinterpret_cast<SoundDeviceFactory>(module.m_Factory);
    SoundDevice* device = factory(type, speakerType, quality, windowHandle);
    if (device == nullptr && module.m_AutomaticDX8) {
        // A machine without an output device (a server, a build machine) still runs its
        // scenes: the null module keeps time for every source instead.
        Platform::UnloadDynamicLibrary(module.m_Library);
        Xerr.pLockWarn() << "SoundDevice::Create(" << module.m_FileName.c_str()
                         << "): no device; sound continues without output.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        module =
            Internal::LoadSoundModule("SoundDevice::Create", Internal::SoundFactory::Device, "DX3");
        if (module.m_Library == nullptr)
            return nullptr;
        factory = reinterpret_cast<SoundDeviceFactory>(module.m_Factory);
        device = factory(type, speakerType, quality, windowHandle);
    }
    if (device == nullptr) {
        Platform::UnloadDynamicLibrary(module.m_Library);
        return nullptr;
    }
    AttachSoundObject(device, module.m_Library, nullptr);
    G_Device.store(device);
    return device;
}

SoundDevice* SoundDevice::GetExisting() noexcept {
    return G_Device.load();
}

void SoundDevice::SetTypeQuality(SpeakerType speakerType, Quality quality) noexcept {
    G_DefaultSpeakerType.store(speakerType);
    G_DefaultQuality.store(quality);
}

SoundDevice::SpeakerType SoundDevice::GetDefaultSpeakerType() noexcept {
    return SpeakerType(G_DefaultSpeakerType.load());
}

SoundDevice::Quality SoundDevice::GetDefaultQuality() noexcept {
    return Quality(G_DefaultQuality.load());
}

// The device keeps the speaker type and quality it was made with, 0 included: 0 is a value
// the module interprets (the emitters pass 0, 0), not a request for the process defaults, which
// a module may consult through GetDefaultSpeakerType and GetDefaultQuality.
SoundDevice::SoundDevice(SDType type, SpeakerType speakerType, Quality quality) noexcept
    : m_Type(type), m_SpeakerType(speakerType), m_Quality(quality) {}

SoundDevice::~SoundDevice() {
    SoundDevice* self = this;
    G_Device.compare_exchange_strong(self, nullptr);
}

SoundSource* SoundDevice::CreateSoundSource(const StringRef& path, uint32_t flags,
                                            AudioSrcFile::CacheMode cacheMode) {
    SoundSource* source = MakeSoundSource(path, flags, cacheMode);
    if (source == nullptr)
        return nullptr;
    AttachSoundObject(source, nullptr, this);
    // The file holds the device too, for a handle kept past its source. Inside the source's
    // destructor its reference is never the last: the source's own goes after it.
    if (AudioSrcFile* file = source->GetAudioSrcFile();
        file != nullptr && file->GetHolder() == nullptr)
        AttachSoundObject(file, nullptr, this);
    return source;
}

SoundReceiver* SoundDevice::CreateSoundReceiver() {
    if (m_Receiver != nullptr)
        return m_Receiver;
    SoundReceiver* receiver = MakeSoundReceiver();
    if (receiver == nullptr)
        return nullptr;
    AttachSoundObject(receiver, nullptr, this);
    m_Receiver = receiver;
    return receiver;
}

} // namespace Quorlix
