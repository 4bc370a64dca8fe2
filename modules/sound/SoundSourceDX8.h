#pragma once
// A DX8 source: an OpenAL source fed by a queue of a few buffers that are refilled from the
// source's own cursor of its audio file. 2D sources are queued as stereo (pan applied to the
// samples) and play on the direct channels; 3D sources are queued as mono.
//
// Every member is used under the device's lock (SoundDevice_D::Lock).

#include "quorlix/sound/SoundSource.h"

#include <AL/al.h>

#include <array>
#include <cstdint>

namespace Quorlix::DX8 {

class SoundDevice_D;

class SoundSource_D final : public SoundSource {
public:
    /// Queued buffers per source and source frames per buffer.
    static constexpr int k_BufferCount = 4;
    static constexpr int k_BufferFrames = 4096;
    /// Buffers queued by Play and SetPlayPosition themselves.
    static constexpr int k_StartBuffers = 2;

    SoundSource_D(SoundDevice_D* device, AudioSrcFile* file, uint32_t flags) noexcept;
    ~SoundSource_D() override;

    bool Play(bool loop, double startTime) override;
    bool Stop() override;
    bool Pause() override;
    bool Continue() override;
    bool IsPlaying() override;
    bool IsSoSoOk() override { return m_Ok; }
    bool SetPlayPosition(double seconds) override;
    double GetPlayPosition() override;

    /// Under the device lock: takes back the buffers played, queues new ones and restarts a
    /// source that ran dry while data remains.
    void Refill();
    /// Under the device lock, before the loopback device renders `frames` more: Refill, unless
    /// the queue surely keeps a buffer ahead of what those frames can play.
    void RefillBefore(int frames);
    void ApplyRolloff(float rolloff);

protected:
    bool ApplySettings(const Parameters& parameters) override;

private:
    struct Buffer {
        ALuint m_Name = 0;
        int16_t* m_Mapped = nullptr; // its storage, mapped for writing; null: alBufferData fills it
        int64_t m_StartFrame = 0;    // the file frame its first sample comes from
        int32_t m_Frames = 0;
    };

    enum class State { Stopped, Playing, Paused };

    void Setup();
    int64_t TotalFrames() const noexcept;
    /// The file frame being heard now.
    int64_t CurrentFrame();
    /// Unqueues everything and, when playing, queues from `frame` on and plays.
    void Restart(int64_t frame);
    void UnqueueAll();
    /// The number of buffers taken back.
    int UnqueueProcessed();
    /// Fills and queues up to `count` more buffers.
    void QueueBuffers(int count);
    /// Decodes and converts into the buffer after the tail; false when nothing is left.
    bool FillOne();
    /// Up to `frames` frames from the cursor into `out`, round a loop; fewer at the end.
    int32_t DecodeFrames(int16_t* out, int32_t frames);
    /// Decoded frames to what the buffer holds: mono in space, panned stereo otherwise.
    void Convert(const int16_t* in, int16_t* out, int32_t frames) const;
    /// The buffer's storage mapped for writing, made on first use; null without the extension.
    int16_t* Mapped(Buffer& buffer);
    void Unmap(Buffer& buffer);
    /// After a refill: up to which rendered frame the queue needs no look.
    void Schedule();

    SoundDevice_D* m_Device; // kept alive by the source's holder reference
    bool m_Ok = false;
    ALuint m_Source = 0;
    std::array<Buffer, k_BufferCount> m_Buffers{}; // a ring: queued from m_QueueHead on
    int m_QueueHead = 0;
    int m_Queued = 0;
    int m_Cursor = -1;
    State m_State = State::Stopped;
    bool m_Loop = false;
    bool m_AtEnd = false;
    int64_t m_EndFrame = 0;   // where the data really ends, once a read found it
    int64_t m_StillFrame = 0; // the position while not playing
    int64_t m_NextFrame = 0;  // the file frame the cursor reads next
    int32_t m_Pan = 0;
    bool m_MapFailed = false; // the extension refused this source's buffers: alBufferData only
    // Refill passes before the device has rendered past this frame need not look at the queue.
    int64_t m_SkipUntil = INT64_MIN;
    double m_Step = 1.0;   // source frames played per device frame (frequency over output rate)
    bool m_Moving = false; // a velocity: Doppler shifts the pitch by what only OpenAL knows
};

} // namespace Quorlix::DX8
