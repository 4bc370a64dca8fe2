#pragma once
// One playable sound. Setters store into the parameter block; with `commit` (or at
// CommitSettings) the whole block goes to the module. Getters read the block.
//
// Units: volume and outer cone volume in hundredths of a decibel (0 full, -10000 silent), pan
// from -10000 (left only) to 10000 (right only), frequency in Hz, cone angles in degrees,
// distances in scene units, times in seconds.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/AudioSrcFile.h"
#include "quorlix/sound/SoundObject.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API SoundSource : public SoundObject {
public:
    /// CreateSoundSource flag: a positional source (stereo files are heard as mono).
    static constexpr uint32_t k_Flag3D = 1;

    struct Parameters {
        uint32_t m_Frequency = 44100;
        int32_t m_Pan = 0;
        int32_t m_Volume = 0;
        Vector3f m_Position{0.0f, 0.0f, 0.0f};
        Vector3f m_Velocity{0.0f, 0.0f, 0.0f};
        uint32_t m_InnerConeAngle = 360;
        uint32_t m_OuterConeAngle = 360;
        Vector3f m_ConeOrientation{0.0f, 0.0f, 1.0f};
        int32_t m_OuterConeVolume = 0;
        float m_MinDistance = 1.0f;
        float m_MaxDistance = 1000.0f;
    };

    /// Forwards to the device's CreateSoundSource; a null device gives null.
    static SoundSource* Create(SoundDevice* device, const StringRef& path, uint32_t flags,
                               AudioSrcFile::CacheMode cacheMode);

    ~SoundSource() override;

    /// Starts playing at `startTime` seconds into the sound, looping or once.
    virtual bool Play(bool loop, double startTime) = 0;
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    virtual bool Continue() = 0;
    virtual bool IsPlaying() = 0;
    /// Whether the module could set the source up completely.
    virtual bool IsSoSoOk() = 0;
    bool Is3DSound() const noexcept { return (m_Flags & k_Flag3D) != 0; }
    /// Seconds of sound in the file.
    double GetPlayTime() const noexcept;
    virtual bool SetPlayPosition(double seconds) = 0;
    virtual double GetPlayPosition() = 0;

    bool SetFrequency(uint32_t frequency, bool commit);
    bool SetPan(int32_t pan, bool commit);
    bool SetVolume(int32_t volume, bool commit);
    bool SetPosition(const Vector3f& position, bool commit);
    bool SetVelocity(const Vector3f& velocity, bool commit);
    bool SetConeAngles(uint32_t inner, uint32_t outer, bool commit);
    bool SetInnerConeAngle(uint32_t inner, bool commit);
    bool SetOuterConeAngle(uint32_t outer, bool commit);
    bool SetConeOrientation(const Vector3f& orientation, bool commit);
    bool SetOuterConeVolume(int32_t volume, bool commit);
    bool SetDistances(float minimum, float maximum, bool commit);
    bool SetMinDistance(float minimum, bool commit);
    bool SetMaxDistance(float maximum, bool commit);
    /// Stores every field and returns 1; it never commits (call CommitSettings).
    int SetAllParameters(uint32_t frequency, int32_t pan, int32_t volume, const Vector3f& position,
                         const Vector3f& velocity, uint32_t innerAngle, uint32_t outerAngle,
                         const Vector3f& coneOrientation, int32_t outerConeVolume,
                         float minDistance, float maxDistance, bool commit);

    uint32_t GetFrequency() const noexcept { return m_Parameters.m_Frequency; }
    int32_t GetPan() const noexcept { return m_Parameters.m_Pan; }
    int32_t GetVolume() const noexcept { return m_Parameters.m_Volume; }
    const Vector3f& GetPosition() const noexcept { return m_Parameters.m_Position; }
    const Vector3f& GetVelocity() const noexcept { return m_Parameters.m_Velocity; }
    void GetConeAngles(uint32_t& inner, uint32_t& outer) const noexcept;
    uint32_t GetInnerConeAngle() const noexcept { return m_Parameters.m_InnerConeAngle; }
    uint32_t GetOuterConeAngle() const noexcept { return m_Parameters.m_OuterConeAngle; }
    const Vector3f& GetConeOrientation() const noexcept { return m_Parameters.m_ConeOrientation; }
    int32_t GetOuterConeVolume() const noexcept { return m_Parameters.m_OuterConeVolume; }
    void GetDistances(float& minimum, float& maximum) const noexcept;
    float GetMinDistance() const noexcept { return m_Parameters.m_MinDistance; }
    float GetMaxDistance() const noexcept { return m_Parameters.m_MaxDistance; }
    const Parameters& GetAllParameters() const noexcept { return m_Parameters; }

    /// Hands the block to the module, with volumes clamped to [-10000, 0], pan to
    /// [-10000, 10000], frequency to [100, 200000] and the inner cone angle to at most the
    /// outer (both at most 360). A block with a non-finite value is not committed: one log
    /// line, false.
    bool CommitSettings();

    AudioSrcFile* GetAudioSrcFile() const noexcept { return m_File; }
    int64_t GetFileSize() const noexcept { return m_FileSize; }
    uint32_t GetFlags() const noexcept { return m_Flags; }

protected:
    /// `file` may be null (the source is then not SoSoOk). The frequency starts at the file's
    /// rate.
    SoundSource(AudioSrcFile* file, uint32_t flags) noexcept;

    /// The module applies the whole (clamped) block.
    virtual bool ApplySettings(const Parameters& parameters) = 0;

private:
    Parameters m_Parameters;
    Obj<AudioSrcFile> m_File;
    int64_t m_FileSize = 0;
    uint32_t m_Flags = 0;
};

} // namespace Quorlix
