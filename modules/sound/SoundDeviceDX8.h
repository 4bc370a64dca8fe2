#pragma once
// The OpenAL output device of the DX8 module: the default device with its own refill thread,
// or, with QUORLIX_SOUND_LOOPBACK set, a loopback device (stereo 16-bit 44100 Hz) that renders
// only when QuorlixSoundRenderLoopback asks and has no thread.
//
// Every source's queue, cursor and play state is shared between that thread and the callers:
// all of it is touched only under the device's one lock.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/SoundDevice.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace Quorlix::Platform {
struct CountingSemaphore;
}

namespace Quorlix::DX8 {

class SoundSource_D;

class SoundDevice_D final : public SoundDevice {
public:
    /// Output rate of the loopback device.
    static constexpr int k_LoopbackRate = 44100;
    /// The refill thread's period.
    static constexpr int k_RefillMilliseconds = 10;
    /// Longest slice rendered between two refills.
    static constexpr int k_RenderSliceFrames = 1024;

    SoundDevice_D(SDType type, SpeakerType speakerType, Quality quality) noexcept;
    ~SoundDevice_D() override;

    /// Opens the device (loopback or not), its context and, for a real device, the thread.
    /// False (logged) on failure.
    bool Open(bool loopback);

    void* GetDevice() override { return m_Device; }
    Platform::JoinableThread* GetThread() override { return m_Thread; }
    String GetDeviceName() override;
    uint32_t GetDeviceVersion() override;

    bool IsLoopback() const noexcept { return m_Loopback; }
    /// Renders `frames` stereo 16-bit frames into `buffer` in slices, refilling before each
    /// slice the sources whose queue that slice could take low.
    int RenderLoopback(void* buffer, int frames);

    CriticalSection& Lock() noexcept { return m_Lock; }
    // Under Lock():
    void AddSource(SoundSource_D* source);
    void RemoveSource(SoundSource_D* source);
    /// The receiver's rolloff, applied to every source, new ones too.
    void SetRolloff(float rolloff);
    float GetRolloff() const noexcept { return m_Rolloff; }
    bool HasDirectChannels() const noexcept { return m_DirectChannels; }

    /// OpenAL Soft's buffers mapped into memory (AL_SOFTX_map_buffer): sources decode straight
    /// into them instead of handing a copy to alBufferData. Null entries without it.
    struct MapBufferCalls {
        using Bits = unsigned int;
        using Storage = void(AL_APIENTRY*)(ALuint, ALenum, const ALvoid*, ALsizei, ALsizei, Bits);
        using Map = void*(AL_APIENTRY*)(ALuint, ALsizei, ALsizei, Bits);
        using Unmap = void(AL_APIENTRY*)(ALuint);
        static constexpr Bits k_Write = 0x2;
        static constexpr Bits k_Persistent = 0x4;
        Storage m_Storage = nullptr;
        Map m_Map = nullptr;
        Unmap m_Unmap = nullptr;
    };
    const MapBufferCalls& MapBuffer() const noexcept { return m_MapBuffer; }
    /// Decoding and conversion space, shared by every source: they refill one at a time.
    std::vector<int16_t>& DecodeScratch() noexcept { return m_DecodeScratch; }
    std::vector<int16_t>& ConvertScratch() noexcept { return m_ConvertScratch; }
    /// Frames the loopback device has rendered: the clock that tells a source when its queue
    /// may run low. Stays 0 on a real device, whose thread looks at every source each time.
    int64_t RenderedFrames() const noexcept { return m_RenderedFrames; }
    /// Set by the receiver: a moving listener shifts every source's pitch by an amount only
    /// OpenAL knows.
    void SetListenerMoving(bool moving) noexcept { m_ListenerMoving = moving; }
    bool IsListenerMoving() const noexcept { return m_ListenerMoving; }

protected:
    SoundSource* MakeSoundSource(const StringRef& path, uint32_t flags,
                                 AudioSrcFile::CacheMode cacheMode) override;
    SoundReceiver* MakeSoundReceiver() override;

private:
    static void ThreadBody(void* self);
    void RefillAll();

    using RenderSamples = void(ALC_APIENTRY*)(ALCdevice*, ALCvoid*, ALCsizei);

    CriticalSection m_Lock;
    ALCdevice* m_Device = nullptr;
    ALCcontext* m_Context = nullptr;
    bool m_Loopback = false;
    bool m_DirectChannels = false;
    RenderSamples m_RenderSamples = nullptr;
    MapBufferCalls m_MapBuffer;
    std::vector<int16_t> m_DecodeScratch;
    std::vector<int16_t> m_ConvertScratch;
    int64_t m_RenderedFrames = 0;
    bool m_ListenerMoving = false;
    Platform::JoinableThread* m_Thread = nullptr;
    Platform::CountingSemaphore* m_Wake = nullptr;
    std::atomic<bool> m_Quit{false};
    std::vector<SoundSource_D*> m_Sources; // not counted: each source removes itself
    float m_Rolloff = 1.0f;
};

} // namespace Quorlix::DX8

/// Renders `frames` frames of a loopback device made by this module into `buffer` (stereo,
/// 16-bit, 44100 Hz), refilling the sources' queues as they need: the frames rendered, or -1
/// when `device` is not such a device (or the arguments are bad).
extern "C" QUORLIX_API int QuorlixSoundRenderLoopback(Quorlix::SoundDevice* device, void* buffer,
                                                      int frames);
