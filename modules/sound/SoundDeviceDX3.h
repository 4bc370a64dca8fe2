#pragma once
// The DX3 module: the same decoding and cursors as DX8, and no output at all. Its sources move
// on by the clock, so a scene that asks where a sound is gets the answer it would with output.

#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"

namespace Quorlix::DX3 {

class SoundDevice_D final : public SoundDevice {
public:
    SoundDevice_D(SDType type, SpeakerType speakerType, Quality quality) noexcept;

    void* GetDevice() override { return nullptr; }
    Platform::JoinableThread* GetThread() override { return nullptr; }
    String GetDeviceName() override;
    uint32_t GetDeviceVersion() override { return 0; }

protected:
    SoundSource* MakeSoundSource(const StringRef& path, uint32_t flags,
                                 AudioSrcFile::CacheMode cacheMode) override;
    SoundReceiver* MakeSoundReceiver() override;
};

/// Takes every block; there is nothing to apply it to.
class SoundReceiver_D final : public SoundReceiver {
public:
    explicit SoundReceiver_D(SoundDevice* device) noexcept : SoundReceiver(device) {}

protected:
    bool ApplySettings(const Parameters&) override { return true; }
};

} // namespace Quorlix::DX3
