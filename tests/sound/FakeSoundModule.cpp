// A sound module without output for the library-side tests: memory-backed ramp files, and a
// device, sources and a receiver that report what reaches them to the program's probe.

#include "FakeSoundProbe.h"

#include "quorlix/core/Obj.h"
#include "quorlix/sound/SoundDevice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// Weak: the module also loads into a program without a probe.
extern "C" __attribute__((weak)) QuorlixTest::FakeSoundProbe* QuorlixSoundTestProbe();

namespace {

using namespace Quorlix;

QuorlixTest::FakeSoundProbe& Probe() {
    static QuorlixTest::FakeSoundProbe s_Unobserved;
    return QuorlixSoundTestProbe != nullptr ? *QuorlixSoundTestProbe() : s_Unobserved;
}

struct Counted {
    Counted() { Probe().m_Constructed++; }
    ~Counted() { Probe().m_Destroyed++; }
};

class FakeFile : public AudioSrcFile, Counted {
public:
    // "<announced>[:<delivered>[:<rate>:<channels>]]", or "fail".
    static FakeFile* Open(const StringRef& path, CacheMode cacheMode) {
        const char* shape = path.GetCPtr();
        if (std::strcmp(shape, "fail") == 0)
            return nullptr;
        char* end = nullptr;
        const int64_t announced = std::strtoll(shape, &end, 10);
        const int64_t delivered = *end == ':' ? std::strtoll(end + 1, &end, 10) : announced;
        const uint32_t rate = *end == ':' ? uint32_t(std::strtoul(end + 1, &end, 10)) : 44100;
        const uint32_t channels = *end == ':' ? uint32_t(std::strtoul(end + 1, &end, 10)) : 2;
        Obj<FakeFile> file = NewObject<FakeFile>(delivered);
        file->SetFormat(rate, 16, channels, FileWAV, cacheMode, announced);
        if (cacheMode == CacheWholeFile && !file->DecodeWholeFile())
            return nullptr;
        return file.Handover();
    }
    explicit FakeFile(int64_t delivered) noexcept : m_Delivered(delivered) {}

protected:
    int32_t FillCache(void* cache, int64_t position, int32_t capacity) override {
        Probe().m_FillCalls++;
        Probe().m_LastFillPosition = position;
        const int64_t count = std::clamp<int64_t>(m_Delivered - position, 0, capacity);
        for (int64_t i = 0; i < count; ++i)
            static_cast<unsigned char*>(cache)[i] = QuorlixTest::FakeRampByte(position + i);
        return static_cast<int32_t>(count);
    }

private:
    int64_t m_Delivered;
};

class FakeSource : public SoundSource, Counted {
public:
    FakeSource(AudioSrcFile* file, uint32_t flags) noexcept : SoundSource(file, flags) {}
    bool Play(bool, double) override {
        Probe().m_SourceAppliedAtPlay = Probe().m_SourceApplied.load();
        return true;
    }
    bool Stop() override { return true; }
    bool Pause() override { return true; }
    bool Continue() override { return true; }
    bool IsPlaying() override { return false; }
    bool IsSoSoOk() override { return GetAudioSrcFile() != nullptr; }
    bool SetPlayPosition(double) override { return true; }
    double GetPlayPosition() override { return 0.0; }

protected:
    bool ApplySettings(const Parameters& parameters) override {
        Probe().m_SourceBlock = parameters;
        return ++Probe().m_SourceApplied > 0;
    }
};

class FakeReceiver : public SoundReceiver, Counted {
public:
    explicit FakeReceiver(SoundDevice* device) noexcept : SoundReceiver(device) {}

protected:
    bool ApplySettings(const Parameters& parameters) override {
        Probe().m_ReceiverBlock = parameters;
        return ++Probe().m_ReceiverApplied > 0;
    }
};

class FakeDevice : public SoundDevice, Counted {
public:
    FakeDevice(SDType type, SpeakerType speakerType, Quality quality) noexcept
        : SoundDevice(type, speakerType, quality) {}
    void* GetDevice() override { return this; }
    Platform::JoinableThread* GetThread() override { return nullptr; }
    String GetDeviceName() override { return "fake"; }
    uint32_t GetDeviceVersion() override { return 1; }

protected:
    SoundSource* MakeSoundSource(const StringRef& path, uint32_t flags,
                                 AudioSrcFile::CacheMode cacheMode) override {
        FakeFile* file = FakeFile::Open(path, cacheMode);
        return file != nullptr ? NewObject<FakeSource>(file, flags) : nullptr;
    }
    SoundReceiver* MakeSoundReceiver() override { return NewObject<FakeReceiver>(this); }
};

} // namespace

namespace Quorlix {

SoundDevice* CreateSoundDeviceDirectSound(SoundDevice::SDType type,
                                          SoundDevice::SpeakerType speakerType,
                                          SoundDevice::Quality quality, void*) {
    return NewObject<FakeDevice>(type, speakerType, quality);
}

AudioSrcFile* CreateAudioSrcFileWindows(const StringRef& path, int64_t& size,
                                        AudioSrcFile::CacheMode cacheMode) {
    AudioSrcFile* file = FakeFile::Open(path, cacheMode);
    size = file != nullptr ? file->GetSize() : 0;
    return file;
}

} // namespace Quorlix
