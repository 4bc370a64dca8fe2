#include "SoundSourceDX8.h"

#include "SoundDeviceDX8.h"

#include "quorlix/log/LogStream.h"

#include <AL/alext.h>

#include <algorithm>
#include <cmath>

namespace Quorlix::DX8 {

namespace {

// Hundredths of a decibel to an amplitude factor; the bottom of the range is silence.
float Gain(int32_t volume) noexcept {
    return volume <= -10000 ? 0.0f : std::pow(10.0f, static_cast<float>(volume) / 2000.0f);
}

int16_t Scaled(int32_t sample, float gain) noexcept {
    const float v = std::nearbyint(static_cast<float>(sample) * gain);
    return static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
}

void LogFailure(const char* what) {
    Xerr.pLockError() << "SoundSource_D: " << what << ".";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace

SoundSource_D::SoundSource_D(SoundDevice_D* device, AudioSrcFile* file, uint32_t flags) noexcept
    : SoundSource(file, flags), m_Device(device) {
    Setup();
}

void SoundSource_D::Setup() {
    AudioSrcFile* file = GetAudioSrcFile();
    if (file == nullptr || file->GetFrameBytes() == 0)
        return;
    CriticalSectionLock lock(m_Device->Lock());
    alGetError();
    alGenSources(1, &m_Source);
    if (alGetError() != AL_NO_ERROR) {
        m_Source = 0;
        LogFailure("no OpenAL source left");
        return;
    }
    ALuint names[k_BufferCount] = {};
    alGenBuffers(k_BufferCount, names);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &m_Source);
        m_Source = 0;
        LogFailure("no OpenAL buffers left");
        return;
    }
    for (int i = 0; i < k_BufferCount; ++i)
        m_Buffers[i].m_Name = names[i];
    m_Cursor = file->GetCacheMode() == AudioSrcFile::CacheWholeFile ? file->AddModeAll()
                                                                    : file->AddModePointer();
    m_EndFrame = TotalFrames();
    if (!Is3DSound()) {
        // Heard as it is: at the listener, each channel straight to its speaker.
        alSourcei(m_Source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(m_Source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSource3f(m_Source, AL_DIRECTION, 0.0f, 0.0f, 0.0f);
        if (m_Device->HasDirectChannels())
            alSourcei(m_Source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    }
    alSourcef(m_Source, AL_ROLLOFF_FACTOR, m_Device->GetRolloff());
    m_Device->AddSource(this);
    m_Ok = true;
    ApplySettings(GetAllParameters());
}

SoundSource_D::~SoundSource_D() {
    if (!m_Ok)
        return;
    CriticalSectionLock lock(m_Device->Lock());
    m_Device->RemoveSource(this);
    alSourceStop(m_Source);
    alSourcei(m_Source, AL_BUFFER, 0);
    alDeleteSources(1, &m_Source);
    for (Buffer& buffer : m_Buffers) {
        Unmap(buffer);
        alDeleteBuffers(1, &buffer.m_Name);
    }
}

int64_t SoundSource_D::TotalFrames() const noexcept {
    const AudioSrcFile* file = GetAudioSrcFile();
    return file->GetSize() / file->GetFrameBytes();
}

bool SoundSource_D::Play(bool loop, double startTime) {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    m_Loop = loop;
    m_State = State::Playing;
    const double rate = GetAudioSrcFile()->GetSamplesPerSecond();
    const double frame = std::isfinite(startTime) ? std::max(startTime, 0.0) * rate : 0.0;
    Restart(static_cast<int64_t>(std::min(frame, 9e18)));
    return true;
}

bool SoundSource_D::Stop() {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    if (m_State == State::Playing)
        Refill();
    m_StillFrame = CurrentFrame();
    m_State = State::Stopped;
    UnqueueAll();
    return true;
}

bool SoundSource_D::Pause() {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    if (m_State == State::Playing) {
        alSourcePause(m_Source);
        m_State = State::Paused;
    }
    return m_State == State::Paused;
}

bool SoundSource_D::Continue() {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    if (m_State == State::Paused) {
        m_State = State::Playing;
        if (m_Queued > 0)
            alSourcePlay(m_Source);
        Refill();
    }
    return m_State == State::Playing;
}

bool SoundSource_D::IsPlaying() {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    Refill();
    return m_State == State::Playing;
}

bool SoundSource_D::SetPlayPosition(double seconds) {
    if (!m_Ok || !std::isfinite(seconds) || seconds < 0.0)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    const double frame = seconds * GetAudioSrcFile()->GetSamplesPerSecond();
    Restart(static_cast<int64_t>(std::min(frame, 9e18)));
    return true;
}

double SoundSource_D::GetPlayPosition() {
    if (!m_Ok)
        return 0.0;
    CriticalSectionLock lock(m_Device->Lock());
    Refill();
    return static_cast<double>(CurrentFrame()) / GetAudioSrcFile()->GetSamplesPerSecond();
}

int64_t SoundSource_D::CurrentFrame() {
    if (m_Queued == 0)
        return m_StillFrame;
    // The offset counts from the start of the first buffer still queued.
    ALint offset = 0;
    alGetSourcei(m_Source, AL_SAMPLE_OFFSET, &offset);
    int64_t frame = m_StillFrame;
    for (int i = 0; i < m_Queued; ++i) {
        const Buffer& buffer = m_Buffers[(m_QueueHead + i) % k_BufferCount];
        if (offset < buffer.m_Frames || i == m_Queued - 1) {
            frame = buffer.m_StartFrame + std::min<int64_t>(offset, buffer.m_Frames);
            break;
        }
        offset -= buffer.m_Frames;
    }
    // A buffer that wrapped round a loop goes on past the end.
    if (m_EndFrame > 0 && frame >= m_EndFrame)
        frame = m_Loop ? frame % m_EndFrame : m_EndFrame;
    return frame;
}

void SoundSource_D::Restart(int64_t frame) {
    UnqueueAll();
    m_AtEnd = false;
    if (frame >= m_EndFrame)
        frame = m_Loop && m_EndFrame > 0 ? frame % m_EndFrame : m_EndFrame;
    AudioSrcFile* file = GetAudioSrcFile();
    file->PeekAt(frame * file->GetFrameBytes(), m_Cursor);
    m_NextFrame = frame;
    m_StillFrame = frame;
    if (m_State == State::Stopped)
        return;
    // Enough to start with; the next refill queues the rest, so that starting stays cheap.
    QueueBuffers(k_StartBuffers - m_Queued);
    if (m_Queued == 0) {
        m_State = State::Stopped;
        m_StillFrame = m_EndFrame;
    } else if (m_State == State::Playing) {
        alSourcePlay(m_Source);
    }
}

void SoundSource_D::UnqueueAll() {
    alSourceStop(m_Source);
    alSourcei(m_Source, AL_BUFFER, 0);
    m_QueueHead = 0;
    m_Queued = 0;
    m_SkipUntil = INT64_MIN;
}

int SoundSource_D::UnqueueProcessed() {
    ALint processed = 0;
    alGetSourcei(m_Source, AL_BUFFERS_PROCESSED, &processed);
    processed = std::min<ALint>(processed, m_Queued);
    if (processed <= 0)
        return 0;
    ALuint names[k_BufferCount];
    alSourceUnqueueBuffers(m_Source, processed, names);
    m_QueueHead = (m_QueueHead + processed) % k_BufferCount;
    m_Queued -= processed;
    return processed;
}

void SoundSource_D::Refill() {
    if (!m_Ok || m_State != State::Playing)
        return;
    const int queued = m_Queued;
    const int processed = UnqueueProcessed();
    // A source that ran dry has every buffer processed: with one left unprocessed it still
    // plays, and no state need be asked.
    if (processed == 0 && m_Queued > 0) {
        Schedule();
        return;
    }
    QueueBuffers(k_BufferCount);
    if (processed < queued) {
        Schedule();
        return;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(m_Source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) {
        Schedule();
    } else if (m_Queued > 0) {
        alSourcePlay(m_Source); // ran dry before this refill
        Schedule();
    } else {
        m_State = State::Stopped;
        m_StillFrame = m_EndFrame;
    }
}

void SoundSource_D::RefillBefore(int frames) {
    // The listener may have started moving since the last look.
    if (m_Device->RenderedFrames() + frames <= m_SkipUntil && !m_Device->IsListenerMoving())
        return;
    Refill();
}

// The buffers behind the one playing last at least their length over the fastest step, whatever
// is left of the first; one of them is kept in hand. A Doppler shift has no such bound here: a
// moving source, or any source while the listener moves, is looked at before every slice.
void SoundSource_D::Schedule() {
    m_SkipUntil = INT64_MIN;
    if (m_Moving || m_Device->IsListenerMoving())
        return;
    int64_t behind = 0;
    for (int i = 1; i < m_Queued; ++i)
        behind += m_Buffers[(m_QueueHead + i) % k_BufferCount].m_Frames;
    const int64_t spare = behind - k_BufferFrames;
    if (spare > 0 && m_Step > 0.0)
        m_SkipUntil = m_Device->RenderedFrames() + static_cast<int64_t>(double(spare) / m_Step);
}

void SoundSource_D::ApplyRolloff(float rolloff) {
    if (m_Ok)
        alSourcef(m_Source, AL_ROLLOFF_FACTOR, rolloff);
}

void SoundSource_D::QueueBuffers(int count) {
    // One call queues them all, in ring order.
    ALuint names[k_BufferCount];
    int filled = 0;
    while (filled < count && FillOne())
        names[filled++] = m_Buffers[(m_QueueHead + m_Queued - 1) % k_BufferCount].m_Name;
    if (filled > 0)
        alSourceQueueBuffers(m_Source, filled, names);
}

bool SoundSource_D::FillOne() {
    if (m_Queued == k_BufferCount || m_AtEnd)
        return false;
    AudioSrcFile* file = GetAudioSrcFile();
    const uint32_t channels = file->GetChannels();
    const bool stereo = !Is3DSound();
    const int outChannels = stereo ? 2 : 1;
    // Mono placed in space and unpanned stereo go as they are decoded.
    const bool asDecoded = channels == uint32_t(outChannels) && (!stereo || m_Pan == 0);
    // Buffers queue round the ring: the free one follows the tail.
    Buffer& buffer = m_Buffers[(m_QueueHead + m_Queued) % k_BufferCount];
    int16_t* const mapped = Mapped(buffer);
    int16_t* decoded = mapped;
    if (!asDecoded || mapped == nullptr) {
        std::vector<int16_t>& scratch = m_Device->DecodeScratch();
        scratch.resize(std::max(scratch.size(), size_t(k_BufferFrames) * channels));
        decoded = scratch.data();
    }
    const int64_t start = m_NextFrame;
    const int32_t frames = DecodeFrames(decoded, k_BufferFrames);
    if (frames <= 0)
        return false;
    std::vector<int16_t>& converted = m_Device->ConvertScratch();
    converted.resize(std::max(converted.size(), size_t(k_BufferFrames) * 2));
    const int16_t* samples = decoded;
    if (!asDecoded) {
        int16_t* out = mapped != nullptr ? mapped : converted.data();
        Convert(decoded, out, frames);
        samples = out;
    }
    const int64_t bytes = int64_t(frames) * outChannels * 2;
    if (mapped == nullptr || frames < k_BufferFrames) {
        // The last buffer of a sound holds fewer frames: storage of its own length, given a
        // copy, as the mapped storage goes with the new data.
        if (mapped != nullptr) {
            std::copy_n(mapped, size_t(frames) * outChannels, converted.data());
            samples = converted.data();
            Unmap(buffer);
        }
        alBufferData(buffer.m_Name, stereo ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, samples,
                     static_cast<ALsizei>(bytes),
                     static_cast<ALsizei>(file->GetSamplesPerSecond()));
    }
    buffer.m_StartFrame = start;
    buffer.m_Frames = frames;
    ++m_Queued;
    return true;
}

int16_t* SoundSource_D::Mapped(Buffer& buffer) {
    const SoundDevice_D::MapBufferCalls& calls = m_Device->MapBuffer();
    if (buffer.m_Mapped != nullptr || calls.m_Storage == nullptr || m_MapFailed)
        return buffer.m_Mapped;
    const bool stereo = !Is3DSound();
    const ALsizei bytes = k_BufferFrames * (stereo ? 4 : 2);
    constexpr auto k_Access =
        SoundDevice_D::MapBufferCalls::k_Write | SoundDevice_D::MapBufferCalls::k_Persistent;
    // Persistent: the buffer is queued while mapped, and written only while it is not.
    calls.m_Storage(buffer.m_Name, stereo ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, nullptr, bytes,
                    static_cast<ALsizei>(GetAudioSrcFile()->GetSamplesPerSecond()), k_Access);
    buffer.m_Mapped = static_cast<int16_t*>(calls.m_Map(buffer.m_Name, 0, bytes, k_Access));
    m_MapFailed = buffer.m_Mapped == nullptr;
    return buffer.m_Mapped;
}

void SoundSource_D::Unmap(Buffer& buffer) {
    if (buffer.m_Mapped == nullptr)
        return;
    m_Device->MapBuffer().m_Unmap(buffer.m_Name);
    buffer.m_Mapped = nullptr;
}

int32_t SoundSource_D::DecodeFrames(int16_t* samples, int32_t frames) {
    AudioSrcFile* file = GetAudioSrcFile();
    const int frameBytes = static_cast<int>(file->GetFrameBytes());
    auto* out = reinterpret_cast<unsigned char*>(samples);
    int32_t done = 0;
    bool wrapped = false;
    while (done < frames) {
        const int n =
            file->Read(out + int64_t(done) * frameBytes, (frames - done) * frameBytes, m_Cursor);
        if (n > 0) {
            done += n / frameBytes;
            m_NextFrame += n / frameBytes;
            wrapped = false;
            continue;
        }
        if (n == 0) {
            // The data ends here, which may be before the size the header promised.
            const int64_t end = m_NextFrame;
            if (end > 0)
                m_EndFrame = std::min(m_EndFrame, end);
            if (m_Loop && !wrapped && end > 0) {
                file->PeekAt(0, m_Cursor);
                m_NextFrame = 0;
                wrapped = true;
                continue;
            }
        }
        m_AtEnd = true;
        break;
    }
    return done;
}

void SoundSource_D::Convert(const int16_t* in, int16_t* out, int32_t frames) const {
    const uint32_t channels = GetAudioSrcFile()->GetChannels();
    if (Is3DSound()) {
        // Only mono data is placed in space: every channel counts alike.
        for (int32_t f = 0; f < frames; ++f, in += channels) {
            int32_t sum = 0;
            for (uint32_t c = 0; c < channels; ++c)
                sum += in[c];
            out[f] = static_cast<int16_t>(sum / static_cast<int32_t>(channels));
        }
        return;
    }
    // Pan attenuates the other side: -600 leaves the right at 0.501 of the left.
    const float left = m_Pan > 0 ? Gain(-m_Pan) : 1.0f;
    const float right = m_Pan < 0 ? Gain(m_Pan) : 1.0f;
    for (int32_t f = 0; f < frames; ++f, in += channels) {
        int32_t l = in[0], r = in[0];
        if (channels >= 2) {
            // More than two channels: the even ones to the left, the odd ones to the right.
            int32_t sums[2] = {0, 0};
            for (uint32_t c = 0; c < channels; ++c)
                sums[c & 1] += in[c];
            const auto half = static_cast<int32_t>(channels / 2);
            l = sums[0] / static_cast<int32_t>(channels - channels / 2);
            r = sums[1] / half;
        }
        out[size_t(f) * 2] = Scaled(l, left);
        out[size_t(f) * 2 + 1] = Scaled(r, right);
    }
}

bool SoundSource_D::ApplySettings(const Parameters& p) {
    if (!m_Ok)
        return false;
    CriticalSectionLock lock(m_Device->Lock());
    alGetError();
    alSourcef(m_Source, AL_GAIN, Gain(p.m_Volume));
    alSourcef(m_Source, AL_PITCH,
              static_cast<float>(p.m_Frequency) /
                  static_cast<float>(GetAudioSrcFile()->GetSamplesPerSecond()));
    // The pitch may have risen: the queue is looked at before the next slice.
    m_Step = static_cast<double>(p.m_Frequency) / SoundDevice_D::k_LoopbackRate;
    m_Moving = Is3DSound() && (p.m_Velocity.GetX() != 0.0f || p.m_Velocity.GetY() != 0.0f ||
                               p.m_Velocity.GetZ() != 0.0f);
    m_SkipUntil = INT64_MIN;
    if (Is3DSound()) {
        // OpenAL's space is right-handed: z turns round.
        alSource3f(m_Source, AL_POSITION, p.m_Position.GetX(), p.m_Position.GetY(),
                   -p.m_Position.GetZ());
        alSource3f(m_Source, AL_VELOCITY, p.m_Velocity.GetX(), p.m_Velocity.GetY(),
                   -p.m_Velocity.GetZ());
        alSource3f(m_Source, AL_DIRECTION, p.m_ConeOrientation.GetX(), p.m_ConeOrientation.GetY(),
                   -p.m_ConeOrientation.GetZ());
        alSourcef(m_Source, AL_CONE_INNER_ANGLE, static_cast<float>(p.m_InnerConeAngle));
        alSourcef(m_Source, AL_CONE_OUTER_ANGLE, static_cast<float>(p.m_OuterConeAngle));
        alSourcef(m_Source, AL_CONE_OUTER_GAIN, Gain(p.m_OuterConeVolume));
        const float minimum = std::max(p.m_MinDistance, 0.0f);
        alSourcef(m_Source, AL_REFERENCE_DISTANCE, minimum);
        alSourcef(m_Source, AL_MAX_DISTANCE, std::max(p.m_MaxDistance, minimum));
    } else if (p.m_Pan != m_Pan) {
        // The pan is in the queued samples: queue them again from where the sound is.
        m_Pan = p.m_Pan;
        if (m_State != State::Stopped) {
            if (m_State == State::Playing)
                Refill();
            if (m_State != State::Stopped)
                Restart(CurrentFrame());
        }
    }
    return alGetError() == AL_NO_ERROR;
}

} // namespace Quorlix::DX8
