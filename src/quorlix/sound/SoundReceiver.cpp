#include "quorlix/sound/SoundReceiver.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/sound/SoundDevice.h"

#include <cmath>

namespace Quorlix {

namespace {

bool IsFinite(const Vector3f& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Zero vectors count as parallel to anything: no orientation can be made of them.
bool AreParallel(const Vector3f& a, const Vector3f& b) {
    const double ax = a[0], ay = a[1], az = a[2], bx = b[0], by = b[1], bz = b[2];
    const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    const double cross = cx * cx + cy * cy + cz * cz;
    const double lengths = (ax * ax + ay * ay + az * az) * (bx * bx + by * by + bz * bz);
    return lengths == 0.0 || cross <= 1e-12 * lengths;
}

void LogRefused(const char* why) {
    Xerr.pLockWarn() << "SoundReceiver::CommitSettings: " << why << "; not committed.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace

SoundReceiver* SoundReceiver::Create(SoundDevice* device) {
    return device != nullptr ? device->CreateSoundReceiver() : nullptr;
}

SoundReceiver::SoundReceiver(SoundDevice* device) noexcept : m_Device(device) {}

SoundReceiver::~SoundReceiver() {
    if (m_Device != nullptr && m_Device->m_Receiver == this)
        m_Device->m_Receiver = nullptr;
}

bool SoundReceiver::SetPosition(const Vector3f& position, bool commit) {
    m_Parameters.m_Position = position;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetOrientation(const Vector3f& front, const Vector3f& top, bool commit) {
    m_Parameters.m_Front = front;
    m_Parameters.m_Top = top;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetOrientFront(const Vector3f& front, bool commit) {
    m_Parameters.m_Front = front;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetOrientTop(const Vector3f& top, bool commit) {
    m_Parameters.m_Top = top;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetVelocity(const Vector3f& velocity, bool commit) {
    m_Parameters.m_Velocity = velocity;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetRolloffFactor(float factor, bool commit) {
    m_Parameters.m_RolloffFactor = factor;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetDopplerFactor(float factor, bool commit) {
    m_Parameters.m_DopplerFactor = factor;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetDistanceFactor(float factor, bool commit) {
    m_Parameters.m_DistanceFactor = factor;
    return !commit || CommitSettings();
}

bool SoundReceiver::SetAllParameters(const Vector3f& position, const Vector3f& front,
                                     const Vector3f& top, const Vector3f& velocity, float rolloff,
                                     float doppler, float distance, bool commit) {
    m_Parameters = Parameters{position, front, top, velocity, rolloff, doppler, distance};
    return !commit || CommitSettings();
}

void SoundReceiver::GetOrientation(Vector3f& front, Vector3f& top) const noexcept {
    front = m_Parameters.m_Front;
    top = m_Parameters.m_Top;
}

bool SoundReceiver::CommitSettings() {
    const Parameters& p = m_Parameters;
    if (!IsFinite(p.m_Position) || !IsFinite(p.m_Front) || !IsFinite(p.m_Top) ||
        !IsFinite(p.m_Velocity) || !std::isfinite(p.m_RolloffFactor) ||
        !std::isfinite(p.m_DopplerFactor) || !std::isfinite(p.m_DistanceFactor)) {
        LogRefused("a value is not finite");
        return false;
    }
    if (AreParallel(p.m_Front, p.m_Top)) {
        LogRefused("front and top orientation are parallel or zero");
        return false;
    }
    return ApplySettings(p);
}

} // namespace Quorlix
