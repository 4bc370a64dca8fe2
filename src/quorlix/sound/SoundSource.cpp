#include "quorlix/sound/SoundSource.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/sound/SoundDevice.h"

#include <algorithm>
#include <cmath>

namespace Quorlix {

namespace {

constexpr int32_t k_Silent = -10000;
constexpr int32_t k_PanRange = 10000;
constexpr uint32_t k_MinFrequency = 100;
constexpr uint32_t k_MaxFrequency = 200000;
constexpr uint32_t k_FullCircle = 360;

bool IsFinite(const Vector3f& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

} // namespace

SoundSource* SoundSource::Create(SoundDevice* device, const StringRef& path, uint32_t flags,
                                 AudioSrcFile::CacheMode cacheMode) {
    return device != nullptr ? device->CreateSoundSource(path, flags, cacheMode) : nullptr;
}

SoundSource::SoundSource(AudioSrcFile* file, uint32_t flags) noexcept
    : m_File(file), m_FileSize(file != nullptr ? file->GetSize() : 0), m_Flags(flags) {
    // A file plays at its own rate until told otherwise.
    if (file != nullptr && file->GetSamplesPerSecond() != 0)
        m_Parameters.m_Frequency = file->GetSamplesPerSecond();
}

SoundSource::~SoundSource() = default;

double SoundSource::GetPlayTime() const noexcept {
    return m_File ? m_File->GetPlayTime() : 0.0;
}

bool SoundSource::SetFrequency(uint32_t frequency, bool commit) {
    m_Parameters.m_Frequency = frequency;
    return !commit || CommitSettings();
}

bool SoundSource::SetPan(int32_t pan, bool commit) {
    m_Parameters.m_Pan = pan;
    return !commit || CommitSettings();
}

bool SoundSource::SetVolume(int32_t volume, bool commit) {
    m_Parameters.m_Volume = volume;
    return !commit || CommitSettings();
}

bool SoundSource::SetPosition(const Vector3f& position, bool commit) {
    m_Parameters.m_Position = position;
    return !commit || CommitSettings();
}

bool SoundSource::SetVelocity(const Vector3f& velocity, bool commit) {
    m_Parameters.m_Velocity = velocity;
    return !commit || CommitSettings();
}

bool SoundSource::SetConeAngles(uint32_t inner, uint32_t outer, bool commit) {
    m_Parameters.m_InnerConeAngle = inner;
    m_Parameters.m_OuterConeAngle = outer;
    return !commit || CommitSettings();
}

bool SoundSource::SetInnerConeAngle(uint32_t inner, bool commit) {
    m_Parameters.m_InnerConeAngle = inner;
    return !commit || CommitSettings();
}

bool SoundSource::SetOuterConeAngle(uint32_t outer, bool commit) {
    m_Parameters.m_OuterConeAngle = outer;
    return !commit || CommitSettings();
}

bool SoundSource::SetConeOrientation(const Vector3f& orientation, bool commit) {
    m_Parameters.m_ConeOrientation = orientation;
    return !commit || CommitSettings();
}

bool SoundSource::SetOuterConeVolume(int32_t volume, bool commit) {
    m_Parameters.m_OuterConeVolume = volume;
    return !commit || CommitSettings();
}

bool SoundSource::SetDistances(float minimum, float maximum, bool commit) {
    m_Parameters.m_MinDistance = minimum;
    m_Parameters.m_MaxDistance = maximum;
    return !commit || CommitSettings();
}

bool SoundSource::SetMinDistance(float minimum, bool commit) {
    m_Parameters.m_MinDistance = minimum;
    return !commit || CommitSettings();
}

bool SoundSource::SetMaxDistance(float maximum, bool commit) {
    m_Parameters.m_MaxDistance = maximum;
    return !commit || CommitSettings();
}

// The flag is accepted for the callers' sake: committing stays a separate step here.
int SoundSource::SetAllParameters(uint32_t frequency, int32_t pan, int32_t volume,
                                  const Vector3f& position, const Vector3f& velocity,
                                  uint32_t innerAngle, uint32_t outerAngle,
                                  const Vector3f& coneOrientation, int32_t outerConeVolume,
                                  float minDistance, float maxDistance, bool /*commit*/) {
    m_Parameters = Parameters{frequency,       pan,         volume,     position,
                              velocity,        innerAngle,  outerAngle, coneOrientation,
                              outerConeVolume, minDistance, maxDistance};
    return 1;
}

void SoundSource::GetConeAngles(uint32_t& inner, uint32_t& outer) const noexcept {
    inner = m_Parameters.m_InnerConeAngle;
    outer = m_Parameters.m_OuterConeAngle;
}

void SoundSource::GetDistances(float& minimum, float& maximum) const noexcept {
    minimum = m_Parameters.m_MinDistance;
    maximum = m_Parameters.m_MaxDistance;
}

// The block keeps what the setters stored; the module gets the clamped copy.
bool SoundSource::CommitSettings() {
    Parameters p = m_Parameters;
    if (!IsFinite(p.m_Position) || !IsFinite(p.m_Velocity) || !IsFinite(p.m_ConeOrientation) ||
        !std::isfinite(p.m_MinDistance) || !std::isfinite(p.m_MaxDistance)) {
        Xerr.pLockWarn() << "SoundSource::CommitSettings: a value is not finite; not committed.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return false;
    }
    p.m_Volume = std::clamp(p.m_Volume, k_Silent, 0);
    p.m_OuterConeVolume = std::clamp(p.m_OuterConeVolume, k_Silent, 0);
    p.m_Pan = std::clamp(p.m_Pan, -k_PanRange, k_PanRange);
    p.m_Frequency = std::clamp(p.m_Frequency, k_MinFrequency, k_MaxFrequency);
    p.m_OuterConeAngle = std::min(p.m_OuterConeAngle, k_FullCircle);
    p.m_InnerConeAngle = std::min(p.m_InnerConeAngle, p.m_OuterConeAngle);
    return ApplySettings(p);
}

} // namespace Quorlix
