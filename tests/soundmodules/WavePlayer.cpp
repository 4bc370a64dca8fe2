// Plays one sound file on the DX8 module's default device until it ends, for
// SoundModules.RealDevicePlaysThroughTheWaveWriter, which runs it in a process of its own with
// an OpenAL configuration (OpenAL reads it once per process). Exit 0 when the module's thread
// played the sound to its end while this thread only slept.
//
// usage: QuorlixSoundWavePlayer FILE

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundSource.h"

#include <cstdio>
#include <cstdlib>

using namespace Quorlix;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1);
    ::unsetenv("QUORLIX_SOUND_LOOPBACK");
    Obj<SoundDevice> device(SoundDevice::Create(
        SoundDevice::SDTypeDefault, SoundDevice::SpeakerType(2), SoundDevice::Quality(5), nullptr));
    if (!device || device->GetThread() == nullptr) {
        std::fprintf(stderr, "wave player: no device with a thread\n");
        return 1;
    }
    Obj<SoundSource> source(
        device->CreateSoundSource(String(argv[1]), 0, AudioSrcFile::CacheStreaming));
    if (!source || !source->Play(false, 0.0)) {
        std::fprintf(stderr, "wave player: the source does not play\n");
        return 1;
    }
    // The queue holds well under a second: only the thread's refills get a second through.
    Platform::SleepMilliseconds(static_cast<int>(source->GetPlayTime() * 1000) + 500);
    if (source->IsPlaying() || source->GetPlayPosition() != source->GetPlayTime()) {
        std::fprintf(stderr, "wave player: stopped at %f\n", source->GetPlayPosition());
        return 1;
    }
    return 0; // the device closes with the handles, which completes the file
}
