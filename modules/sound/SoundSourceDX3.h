#pragma once
// A DX3 source: plays nothing, but its position runs with the clock at the committed
// frequency (a file at twice its rate gets through in half the time), wraps round when
// looping and stops at the end otherwise. Its cursor follows the position.

#include "quorlix/sound/SoundSource.h"

#include <cstdint>

namespace Quorlix::DX3 {

class SoundSource_D final : public SoundSource {
public:
    SoundSource_D(AudioSrcFile* file, uint32_t flags) noexcept;

    bool Play(bool loop, double startTime) override;
    bool Stop() override;
    bool Pause() override;
    bool Continue() override;
    bool IsPlaying() override;
    bool IsSoSoOk() override { return m_Cursor >= 0; }
    bool SetPlayPosition(double seconds) override;
    double GetPlayPosition() override;

protected:
    bool ApplySettings(const Parameters& parameters) override;

private:
    enum class State { Stopped, Playing, Paused };

    /// Brings the position (and the state at the end) up to the clock.
    double Advance();
    void Rebase(double seconds);
    void FollowWithCursor(double seconds);

    int m_Cursor = -1;
    State m_State = State::Stopped;
    bool m_Loop = false;
    double m_Speed = 1.0;    // committed frequency / the file's rate
    double m_Base = 0.0;     // seconds of sound at m_BaseTicks
    int64_t m_BaseTicks = 0; // performance counter
};

} // namespace Quorlix::DX3
