#pragma once
// The DX8 listener: the OpenAL context's listener, plus the Doppler factor, the speed of sound
// and the rolloff that every source of the device takes.

#include "quorlix/sound/SoundReceiver.h"

namespace Quorlix::DX8 {

class SoundDevice_D;

class SoundReceiver_D final : public SoundReceiver {
public:
    /// Metres per second; divided by the distance factor.
    static constexpr float k_SpeedOfSound = 343.3f;

    explicit SoundReceiver_D(SoundDevice_D* device) noexcept;

protected:
    bool ApplySettings(const Parameters& parameters) override;

private:
    SoundDevice_D* m_DeviceD; // kept alive by the receiver's holder reference
};

} // namespace Quorlix::DX8
