// Scene emitters and the listener on the null sound module: file names, the sound switch, the
// shared device and its messages, and what the frame loop's sound step hands the sources.

#include "quorlix/sound/SoundScene.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/RenderSystemTraverse.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"

#include "../scene/SceneTestSupport.h"
#include "SceneSystem.h"
#include "support/LogCapture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace Quorlix;
using QuorlixTest::LogCapture;
using QuorlixTest::MakeNode;

namespace {

namespace fs = std::filesystem;

int Count(const LogCapture& log, const std::string& text) {
    int n = 0;
    for (const std::string& line : log.Messages())
        n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
}

bool ModuleMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libQuorlix010219SOUND") != std::string::npos)
            return true;
    return false;
}

class SoundSceneTest : public QuorlixTest::SceneTest {
protected:
    static void SetUpTestSuite() {
        QuorlixTest::SceneTest::SetUpTestSuite();
        setenv("QUORLIX_SOUND_MODULE", "DX3", 1);
        s_Dir = fs::temp_directory_path() / ("quorlix-sound-scene-" + std::to_string(getpid()));
        fs::create_directories(s_Dir / "Sounds");
        const std::string make = "sox -q -n -r 22050 -c 1 -b 16 '" +
                                 (s_Dir / "Sounds" / "boom.wav").string() + "' synth 0.5 sine 440";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
    }
    static void TearDownTestSuite() {
        fs::remove_all(s_Dir);
        QuorlixTest::SceneTest::TearDownTestSuite();
    }
    void SetUp() override { SetSoundEnable(true); }

    static Obj<TSoundEmitter> Emitter(const std::string& fileName) {
        Obj<TSoundEmitter> emitter(TSoundEmitter::Create());
        Obj<FileObject> file(FileObject::Create());
        file->SetFileName(String(fileName.c_str()));
        // What a loader sets: the folder the scene came from.
        file->SetStoragePath(String((s_Dir.string() + "/").c_str()));
        static_cast<SSoundEmitter*>(emitter->GetSNode())->m_FileObject = file.Get();
        return emitter;
    }

    static inline fs::path s_Dir;
};

TEST_F(SoundSceneTest, EmitterFileNamesAndTheLoadMessage) {
    LogCapture log;
    {
        SoundEmitterPlayer plain;
        ASSERT_EQ(plain.Load(*Emitter("boom.wav")), SOK);
        ASSERT_TRUE(plain.IsLoaded());
        EXPECT_EQ(plain.GetSource()->GetFrequency(), 22050u);
        SoundEmitterPlayer absolute;
        const std::string path = (s_Dir / "Sounds" / "boom.wav").string();
        ASSERT_EQ(absolute.Load(*Emitter("absolute://" + path)), SOK);
        EXPECT_TRUE(absolute.IsLoaded());
        // Both share the one device.
        EXPECT_EQ(plain.GetSource()->GetHolder(), absolute.GetSource()->GetHolder());
        SoundEmitterPlayer missing;
        EXPECT_TRUE(Failed(missing.Load(*Emitter("absolute://Sounds/boom.wav"))));
        EXPECT_FALSE(missing.IsLoaded());
    }
    const std::string loaded = "Loaded Sound " + (s_Dir / "Sounds" / "boom.wav").string() + " in ";
    EXPECT_EQ(Count(log, loaded), 2);
    EXPECT_EQ(SoundDevice::GetExisting(), nullptr); // the last player let the device go
    EXPECT_FALSE(ModuleMapped());
}

TEST_F(SoundSceneTest, SoundOffAndSilentEmittersLoadNothing) {
    SoundEmitterPlayer silent;
    EXPECT_EQ(silent.Play(*Obj<TSoundEmitter>(TSoundEmitter::Create()), true), SOK);
    EXPECT_FALSE(silent.IsLoaded());
    SetSoundEnable(false);
    SoundEmitterPlayer off;
    EXPECT_EQ(off.Load(*Emitter("boom.wav")), SOK);
    EXPECT_EQ(off.Play(*Emitter("boom.wav"), true), SOK);
    EXPECT_FALSE(off.IsLoaded());
    EXPECT_FALSE(ModuleMapped());
}

TEST_F(SoundSceneTest, NoDeviceFailsAndAHeldDeviceIsReported) {
    {
        setenv("QUORLIX_SOUND_MODULE", "NOSUCHMODULE", 1);
        LogCapture log;
        SoundEmitterPlayer player;
        EXPECT_TRUE(Failed(player.Load(*Emitter("boom.wav"))));
        EXPECT_EQ(Count(log, "no SoundDevice."), 1);
        setenv("QUORLIX_SOUND_MODULE", "DX3", 1);
    }
    LogCapture log;
    Obj<SoundDevice> held;
    {
        SoundEmitterPlayer player;
        ASSERT_EQ(player.Load(*Emitter("boom.wav")), SOK);
        held = SoundDevice::GetExisting();
    }
    EXPECT_EQ(Count(log, "SoundDevice.RefCount = 2"), 1);
    EXPECT_EQ(SoundDevice::GetExisting(), held.Get());
}

// The sound step of the frame loop: every eighth of a second the emitters take their world
// place, a velocity from their move, and the first receiver becomes the listener.
TEST_F(SoundSceneTest, FrameLoopPlacesEmittersAndTheListener) {
    Obj<TBranch> root(TBranch::Create());
    Obj<TTransform> eye = MakeNode("eye", root, Vector3f(0, 0, -10));
    Obj<TCamera> camera(TCamera::Create());
    eye->AddChild(camera);
    eye->AddChild(Obj<TSoundReceiver>(TSoundReceiver::Create()));
    Obj<TSoundReceiver> second(TSoundReceiver::Create());
    root->AddChild(second);
    Obj<TTransform> mover = MakeNode("mover", root, Vector3f(5, 0, 0), Vector3f(0, 90, 0));
    Obj<TSoundEmitter> emitter = Emitter("boom.wav");
    mover->AddChild(emitter);

    Obj<RenderSystem> system = QuorlixTest::MakeSceneSystem(root.Get(), camera.Get());
    RenderSystemTraverse_D& traverse = system->GetTraverse();

    LogCapture log;
    system->DrawTree(0.1, 0.1, 1);
    EXPECT_EQ(traverse.GetSoundScene(), nullptr); // not yet due
    system->DrawTree(0.125, 0.125, 1);
    SoundScene* sound = traverse.GetSoundScene();
    ASSERT_NE(sound, nullptr);
    SoundEmitterPlayer* player = sound->FindPlayer(*emitter);
    ASSERT_NE(player, nullptr);
    SoundSource* source = player->GetSource();
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->IsPlaying());
    QuorlixTest::ExpectNear(source->GetPosition(), Vector3f(5, 0, 0), "position");
    QuorlixTest::ExpectNear(source->GetVelocity(), Vector3f(0, 0, 0), "first velocity");
    QuorlixTest::ExpectNear(source->GetConeOrientation(), Vector3f(1, 0, 0), "cone", 1e-4f);
    ASSERT_NE(sound->GetListener(), nullptr);
    QuorlixTest::ExpectNear(sound->GetListener()->GetPosition(), Vector3f(0, 0, -10), "listener");
    EXPECT_EQ(Count(log, "more than one TSoundReceiver"), 1);

    static_cast<SSimpleTransform*>(mover->GetSNode())->SetTranslation(Vector3f(6, 0, 0));
    system->DrawTree(0.25, 0.25, 1);
    QuorlixTest::ExpectNear(source->GetVelocity(), Vector3f(8, 0, 0), "velocity", 1e-3f);

    // The clock goes back: the step takes that time and sound goes on from there.
    const int64_t updates = traverse.GetSoundUpdates();
    system->DrawTree(0.05, 0.05, 1);
    EXPECT_EQ(system->GetLastSoundUpdate(), 0.05);
    system->DrawTree(0.25, 0.25, 1);
    EXPECT_EQ(traverse.GetSoundUpdates(), updates + 1);
    EXPECT_EQ(Count(log, "more than one TSoundReceiver"), 1);

    // An emitter the update no longer meets stops and is let go.
    Obj<SoundSource> kept(source);
    mover->SetChild(0, nullptr);
    system->DrawTree(0.375, 0.375, 1);
    EXPECT_EQ(sound->FindPlayer(*emitter), nullptr);
    EXPECT_FALSE(kept->IsPlaying());
}

} // namespace

// Without an output device the automatic choice still gives scenes a device: the null module.
TEST_F(SoundSceneTest, NoOutputDeviceFallsBackToTheNullModule) {
    const fs::path conf = s_Dir / "nodevice.conf";
    std::ofstream(conf) << "[general]\ndrivers=nosuchdriver\n";
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    unsetenv("QUORLIX_SOUND_MODULE");
    LogCapture log;
    {
        Obj<SoundDevice> device(SoundDevice::Create(SoundDevice::SDTypeHardware,
                                                    SoundDevice::SpeakerType(0),
                                                    SoundDevice::Quality(0), nullptr));
        setenv("QUORLIX_SOUND_MODULE", "DX3", 1);
        unsetenv("ALSOFT_CONF");
        ASSERT_NE(device.Get(), nullptr);
        EXPECT_STREQ(device->GetDeviceName().GetCPtr(), "No output");
        EXPECT_EQ(Count(log, "SoundDevice::Create(libQuorlix010219SOUNDDX8.so): no device; sound "
                             "continues without output."),
                  1);
    }
    EXPECT_FALSE(ModuleMapped());
}
