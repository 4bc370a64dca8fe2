#pragma once
// The output device: made by the sound module, one at a time per process.
//
// SoundDevice::Create loads the module (libQuorlix010219SOUND<variant>.so, found beside this
// library first, then by the loader's search) and calls its factory
// Quorlix::CreateSoundDeviceDirectSound. The device keeps the module loaded; the sources and
// the receiver it makes keep the device.

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/AudioSrcFile.h"
#include "quorlix/sound/SoundObject.h"

#include <cstdint>

namespace Quorlix {

namespace Platform {
struct JoinableThread;
}

class SoundReceiver;
class SoundSource;

class QUORLIX_API SoundDevice : public SoundObject {
public:
    /// Passed to the module unchanged; only 0 and 1 are accepted.
    enum SDType : int32_t { SDTypeDefault = 0, SDTypeHardware = 1 };
    /// Passed to the module unchanged and reported back.
    enum SpeakerType : int32_t {};
    enum Quality : int32_t {};

    /// The device, made on first use: an existing device is returned as it is; a type outside
    /// 0..1 gives null without loading anything. Failures are logged and give null.
    static SoundDevice* Create(SDType type, SpeakerType speakerType, Quality quality,
                               void* windowHandle);
    /// The device that exists now, or null.
    static SoundDevice* GetExisting() noexcept;
    /// Process-wide defaults for the speaker type and quality (2 and 5 at start-up).
    static void SetTypeQuality(SpeakerType speakerType, Quality quality) noexcept;
    static SpeakerType GetDefaultSpeakerType() noexcept;
    static Quality GetDefaultQuality() noexcept;

    ~SoundDevice() override;

    /// A source playing `path` (opened through the library's storage). `flags` bit value 1
    /// makes it positional. Null on failure, logged.
    SoundSource* CreateSoundSource(const StringRef& path, uint32_t flags,
                                   AudioSrcFile::CacheMode cacheMode);
    /// The listener: the existing one when there is one.
    SoundReceiver* CreateSoundReceiver();
    /// The receiver that exists now, or null.
    SoundReceiver* GetReceiver() const noexcept { return m_Receiver; }

    /// The module's own device object (its native handle), or null.
    virtual void* GetDevice() = 0;
    /// The module's playback thread, or null when it has none.
    virtual Platform::JoinableThread* GetThread() = 0;
    virtual String GetDeviceName() = 0;
    virtual uint32_t GetDeviceVersion() = 0;
    virtual SDType GetSoundDeviceType() const noexcept { return m_Type; }
    virtual SpeakerType GetSpeakerType() const noexcept { return m_SpeakerType; }
    virtual Quality GetQuality() const noexcept { return m_Quality; }

protected:
    SoundDevice(SDType type, SpeakerType speakerType, Quality quality) noexcept;

    /// The module's halves of CreateSoundSource and CreateSoundReceiver: a new object
    /// (reference count 0) or null.
    virtual SoundSource* MakeSoundSource(const StringRef& path, uint32_t flags,
                                         AudioSrcFile::CacheMode cacheMode) = 0;
    virtual SoundReceiver* MakeSoundReceiver() = 0;

private:
    friend class SoundReceiver;

    SDType m_Type;
    SpeakerType m_SpeakerType;
    Quality m_Quality;
    SoundReceiver* m_Receiver = nullptr; // not counted: the receiver clears it as it goes
};

/// The factory every sound module exports.
QUORLIX_API SoundDevice* CreateSoundDeviceDirectSound(SoundDevice::SDType type,
                                                      SoundDevice::SpeakerType speakerType,
                                                      SoundDevice::Quality quality,
                                                      void* windowHandle);
/// The audio-file factory every sound module exports; `size` receives the decoded size.
QUORLIX_API AudioSrcFile* CreateAudioSrcFileWindows(const StringRef& path, int64_t& size,
                                                    AudioSrcFile::CacheMode cacheMode);

} // namespace Quorlix
