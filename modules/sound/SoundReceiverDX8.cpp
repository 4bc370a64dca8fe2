#include "SoundReceiverDX8.h"

#include "SoundDeviceDX8.h"

#include "quorlix/log/LogStream.h"

#include <AL/al.h>

#include <cmath>

namespace Quorlix::DX8 {

SoundReceiver_D::SoundReceiver_D(SoundDevice_D* device) noexcept
    : SoundReceiver(device), m_DeviceD(device) {
    // The listener outlives receivers: a new one starts from its own defaults.
    ApplySettings(GetAllParameters());
}

bool SoundReceiver_D::ApplySettings(const Parameters& p) {
    CriticalSectionLock lock(m_DeviceD->Lock());
    alGetError();
    // OpenAL's space is right-handed: z turns round.
    alListener3f(AL_POSITION, p.m_Position.GetX(), p.m_Position.GetY(), -p.m_Position.GetZ());
    alListener3f(AL_VELOCITY, p.m_Velocity.GetX(), p.m_Velocity.GetY(), -p.m_Velocity.GetZ());
    m_DeviceD->SetListenerMoving(p.m_Velocity.GetX() != 0.0f || p.m_Velocity.GetY() != 0.0f ||
                                 p.m_Velocity.GetZ() != 0.0f);
    const ALfloat orientation[6] = {p.m_Front.GetX(), p.m_Front.GetY(), -p.m_Front.GetZ(),
                                    p.m_Top.GetX(),   p.m_Top.GetY(),   -p.m_Top.GetZ()};
    alListenerfv(AL_ORIENTATION, orientation);
    const float speed = k_SpeedOfSound / p.m_DistanceFactor;
    const bool valid = p.m_DopplerFactor >= 0.0f && p.m_RolloffFactor >= 0.0f &&
                       p.m_DistanceFactor > 0.0f && std::isfinite(speed);
    if (!valid) {
        Xerr.pLockError() << "SoundReceiver_D::ApplySettings: negative Doppler or rolloff factor, "
                             "or distance factor not above 0: factors not applied.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    } else {
        alDopplerFactor(p.m_DopplerFactor);
        alSpeedOfSound(speed);
        m_DeviceD->SetRolloff(p.m_RolloffFactor);
    }
    return valid && alGetError() == AL_NO_ERROR;
}

} // namespace Quorlix::DX8
