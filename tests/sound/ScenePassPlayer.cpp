// An emitter passing a listener, through the frame loop on the DX8 module's default device, for
// SoundScenePass.EmitterPassesTheListener, which runs it in a process of its own with an OpenAL
// configuration (OpenAL reads it once per process). The listener stands at the origin facing
// +z; the emitter goes along x from +30 to -30 at z = 3 in two seconds of real time, frames
// about every 20 ms. Exit 0 when every sound step was taken and the emitter played on a device
// with a refill thread to the end.
//
// usage: QuorlixSoundScenePassPlayer FILE

#include "quorlix/library/Library.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/platform/Time.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/RenderSystemTraverse.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundScene.h"
#include "quorlix/sound/SoundSource.h"

#include "SceneSystem.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Quorlix;

namespace {

constexpr double k_Seconds = 2.0;
constexpr double k_FrameSeconds = 0.02;
constexpr float k_From = 30.0f, k_To = -30.0f, k_Z = 3.0f;
// The frame clock starts one sound interval in, so that the first frame is a sound step and
// the emitter starts at its first place.
constexpr double k_ClockStart = 0.125;

double Now() {
    return double(Platform::PerformanceCounter()) / double(Platform::k_PerformanceFrequency);
}

int Fail(const char* what) {
    std::fprintf(stderr, "scene pass player: %s\n", what);
    return 1;
}

int Run(const char* file) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> ear(TTransform::Create());
    root->AddChild(ear);
    Obj<TCamera> camera(TCamera::Create());
    ear->AddChild(camera);
    ear->AddChild(Obj<TSoundReceiver>(TSoundReceiver::Create()));
    Obj<TTransform> mover(TTransform::Create());
    root->AddChild(mover);
    auto* place = static_cast<SSimpleTransform*>(mover->GetSNode());
    Obj<TSoundEmitter> emitter(TSoundEmitter::Create());
    Obj<FileObject> sound(FileObject::Create());
    sound->SetFileName(String(("absolute://" + std::string(file)).c_str()));
    static_cast<SSoundEmitter*>(emitter->GetSNode())->m_FileObject = sound.Get();
    mover->AddChild(emitter);

    Obj<RenderSystem> system = QuorlixTest::MakeSceneSystem(root.Get(), camera.Get());
    const RenderSystemTraverse_D& traverse = system->GetTraverse();

    const double start = Now();
    int frames = 0;
    for (double elapsed = 0.0; elapsed <= k_Seconds; elapsed = Now() - start) {
        const float x = k_From + (k_To - k_From) * float(elapsed / k_Seconds);
        place->SetTranslation(Vector3f(x, 0.0f, k_Z));
        system->DrawTree(k_ClockStart + elapsed, k_ClockStart + elapsed, 1);
        ++frames;
        // The emitter plays from the first step on, on a device with its refill thread.
        SoundScene* scene = traverse.GetSoundScene();
        SoundEmitterPlayer* player = scene != nullptr ? scene->FindPlayer(*emitter) : nullptr;
        if (player == nullptr || player->GetSource() == nullptr ||
            !player->GetSource()->IsPlaying())
            return Fail("the emitter does not play");
        if (SoundDevice::GetExisting() == nullptr ||
            SoundDevice::GetExisting()->GetThread() == nullptr)
            return Fail("no device with a refill thread");
        // Frames on a 20 ms grid: a slow frame is not carried into the next.
        const double wait = start + k_FrameSeconds * frames - Now();
        if (wait > 0.0)
            Platform::SleepMilliseconds(static_cast<int>(wait * 1000.0) + 1);
    }
    // A step comes with the first frame at least an eighth of a second after the previous one:
    // every seventh frame of the 20 ms grid, 15 in two seconds; fewer only when frames were late.
    const int64_t steps = traverse.GetSoundUpdates();
    std::printf("frames %d, sound steps %lld\n", frames, static_cast<long long>(steps));
    if (steps < int64_t(k_Seconds * 6))
        return Fail("sound steps missing");
    return 0; // the scene goes with the system, the device with the last player: the file ends
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1);
    ::unsetenv("QUORLIX_SOUND_LOOPBACK");
    DLLInitialize(0);
    const int status = Run(argv[1]);
    DLLDeInitialize(0);
    return status;
}
