#include "SoundDeviceDX3.h"

#include "AudioSrcFile_D.h"
#include "SoundSourceDX3.h"

namespace Quorlix::DX3 {

SoundDevice_D::SoundDevice_D(SDType type, SpeakerType speakerType, Quality quality) noexcept
    : SoundDevice(type, speakerType, quality) {}

String SoundDevice_D::GetDeviceName() {
    return String("No output");
}

SoundSource* SoundDevice_D::MakeSoundSource(const StringRef& path, uint32_t flags,
                                            AudioSrcFile::CacheMode cacheMode) {
    int64_t size = 0;
    Obj<AudioSrcFile> file(AudioSrcFile_D::Open(path, size, cacheMode));
    if (!file)
        return nullptr; // logged
    Obj<SoundSource_D> source(NewObject<SoundSource_D>(file.Get(), flags));
    return source.Handover();
}

SoundReceiver* SoundDevice_D::MakeSoundReceiver() {
    return NewObject<SoundReceiver_D>(this);
}

} // namespace Quorlix::DX3

namespace Quorlix {

QUORLIX_API SoundDevice* CreateSoundDeviceDirectSound(SoundDevice::SDType type,
                                                      SoundDevice::SpeakerType speakerType,
                                                      SoundDevice::Quality quality, void*) {
    return NewObject<DX3::SoundDevice_D>(type, speakerType, quality);
}

} // namespace Quorlix
