#pragma once
// The listener. Setters store into the parameter block; with `commit` (or at CommitSettings)
// the whole block goes to the module. Getters read the block.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/SoundObject.h"

namespace Quorlix {

class QUORLIX_API SoundReceiver : public SoundObject {
public:
    struct Parameters {
        Vector3f m_Position{0.0f, 0.0f, 0.0f};
        Vector3f m_Front{0.0f, 0.0f, 1.0f};
        Vector3f m_Top{0.0f, 1.0f, 0.0f};
        Vector3f m_Velocity{0.0f, 0.0f, 0.0f};
        float m_RolloffFactor = 1.0f;
        float m_DopplerFactor = 1.0f;
        float m_DistanceFactor = 1.0f;
    };

    /// The device's receiver (the existing one when there is one); null for a null device.
    static SoundReceiver* Create(SoundDevice* device);

    ~SoundReceiver() override;

    bool SetPosition(const Vector3f& position, bool commit);
    bool SetOrientation(const Vector3f& front, const Vector3f& top, bool commit);
    bool SetOrientFront(const Vector3f& front, bool commit);
    bool SetOrientTop(const Vector3f& top, bool commit);
    bool SetVelocity(const Vector3f& velocity, bool commit);
    bool SetRolloffFactor(float factor, bool commit);
    bool SetDopplerFactor(float factor, bool commit);
    bool SetDistanceFactor(float factor, bool commit);
    bool SetAllParameters(const Vector3f& position, const Vector3f& front, const Vector3f& top,
                          const Vector3f& velocity, float rolloff, float doppler, float distance,
                          bool commit);

    const Vector3f& GetPosition() const noexcept { return m_Parameters.m_Position; }
    void GetOrientation(Vector3f& front, Vector3f& top) const noexcept;
    const Vector3f& GetOrientFront() const noexcept { return m_Parameters.m_Front; }
    const Vector3f& GetOrientTop() const noexcept { return m_Parameters.m_Top; }
    const Vector3f& GetVelocity() const noexcept { return m_Parameters.m_Velocity; }
    float GetRolloffFactor() const noexcept { return m_Parameters.m_RolloffFactor; }
    float GetDopplerFactor() const noexcept { return m_Parameters.m_DopplerFactor; }
    float GetDistanceFactor() const noexcept { return m_Parameters.m_DistanceFactor; }
    const Parameters& GetAllParameters() const noexcept { return m_Parameters; }

    /// Hands the block to the module. A block with a non-finite value, or with front and top
    /// parallel (or either zero), is not committed: one log line, false.
    bool CommitSettings();

protected:
    explicit SoundReceiver(SoundDevice* device) noexcept;

    /// The module applies the whole block.
    virtual bool ApplySettings(const Parameters& parameters) = 0;

    SoundDevice* GetDeviceOf() const noexcept { return m_Device; }

private:
    SoundDevice* m_Device; // kept alive through the holder reference
    Parameters m_Parameters;
};

} // namespace Quorlix
