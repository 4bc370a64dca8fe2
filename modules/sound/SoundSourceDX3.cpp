#include "SoundSourceDX3.h"

#include "quorlix/platform/Time.h"

#include <algorithm>
#include <cmath>

namespace Quorlix::DX3 {

SoundSource_D::SoundSource_D(AudioSrcFile* file, uint32_t flags) noexcept
    : SoundSource(file, flags) {
    if (file == nullptr || file->GetSamplesPerSecond() == 0)
        return;
    m_Cursor = file->GetCacheMode() == AudioSrcFile::CacheWholeFile ? file->AddModeAll()
                                                                    : file->AddModePointer();
    m_Speed = static_cast<double>(GetFrequency()) / file->GetSamplesPerSecond();
}

bool SoundSource_D::Play(bool loop, double startTime) {
    if (m_Cursor < 0)
        return false;
    m_Loop = loop;
    m_State = State::Playing;
    Rebase(std::isfinite(startTime) ? std::max(startTime, 0.0) : 0.0);
    Advance();
    return true;
}

bool SoundSource_D::Stop() {
    if (m_Cursor < 0)
        return false;
    Rebase(Advance());
    m_State = State::Stopped;
    return true;
}

bool SoundSource_D::Pause() {
    if (m_Cursor < 0)
        return false;
    if (m_State == State::Playing) {
        Rebase(Advance());
        m_State = m_State == State::Playing ? State::Paused : m_State;
    }
    return m_State == State::Paused;
}

bool SoundSource_D::Continue() {
    if (m_State == State::Paused) {
        Rebase(m_Base);
        m_State = State::Playing;
    }
    return m_State == State::Playing;
}

bool SoundSource_D::IsPlaying() {
    Advance();
    return m_State == State::Playing;
}

bool SoundSource_D::SetPlayPosition(double seconds) {
    if (m_Cursor < 0 || !std::isfinite(seconds) || seconds < 0.0)
        return false;
    Rebase(seconds);
    Advance();
    return true;
}

double SoundSource_D::GetPlayPosition() {
    return Advance();
}

bool SoundSource_D::ApplySettings(const Parameters& parameters) {
    if (m_Cursor < 0)
        return false;
    // The time played so far counts at the old speed.
    Rebase(Advance());
    m_Speed =
        static_cast<double>(parameters.m_Frequency) / GetAudioSrcFile()->GetSamplesPerSecond();
    return true;
}

void SoundSource_D::Rebase(double seconds) {
    m_Base = seconds;
    m_BaseTicks = Platform::PerformanceCounter();
}

double SoundSource_D::Advance() {
    const double length = GetPlayTime();
    double position = m_Base;
    if (m_State == State::Playing) {
        const double elapsed = static_cast<double>(Platform::PerformanceCounter() - m_BaseTicks) /
                               static_cast<double>(Platform::k_PerformanceFrequency);
        position += elapsed * m_Speed;
    }
    if (position >= length) {
        if (m_Loop && length > 0.0 && m_State != State::Stopped) {
            position = std::fmod(position, length);
        } else {
            position = length;
            if (m_State == State::Playing) {
                m_State = State::Stopped;
                m_Base = length;
            }
        }
    }
    FollowWithCursor(position);
    return position;
}

void SoundSource_D::FollowWithCursor(double seconds) {
    AudioSrcFile* file = GetAudioSrcFile();
    const int64_t frameBytes = file->GetFrameBytes();
    const int64_t target =
        std::min(static_cast<int64_t>(seconds * file->GetSamplesPerSecond()) * frameBytes,
                 file->GetSize() / frameBytes * frameBytes);
    const int64_t now = file->GetCurrentPos(m_Cursor);
    if (now < 0 || target == now)
        return;
    if (target > now)
        file->Skip(target - now, m_Cursor);
    else
        file->PeekAt(target, m_Cursor);
}

} // namespace Quorlix::DX3
