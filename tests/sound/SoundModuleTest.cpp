// Loading the sound module, the single device and receiver, and what keeps a module mapped.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundScene.h"
#include "quorlix/sound/SoundSource.h"
#include "quorlix/sound/internal/SoundModule.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace Quorlix;
using namespace QuorlixTest;

extern "C" __attribute__((visibility("default"))) FakeSoundProbe* QuorlixSoundTestProbe() {
    static FakeSoundProbe s_Probe;
    return &s_Probe;
}

namespace {

std::string SoundModulePath(const char* variant) {
    const std::string library = Platform::LibraryPath();
    return library.substr(0, library.rfind('/') + 1) + SoundModuleName(variant);
}

using SoundModule = SoundTest;

Obj<SoundDevice> MakeDevice(int type = 1, int speakerType = 0, int quality = 0) {
    return SoundDevice::Create(SoundDevice::SDType(type), SoundDevice::SpeakerType(speakerType),
                               SoundDevice::Quality(quality), nullptr);
}

Obj<SoundSource> MakeSource(SoundDevice& device) {
    return device.CreateSoundSource(String("4000"), 0, AudioSrcFile::CacheStreaming);
}

} // namespace

TEST_F(SoundModule, OneDeviceOfTypeZeroOrOne) {
    LogCapture log;
    EXPECT_EQ(MakeDevice(2).Get(), nullptr);
    EXPECT_EQ(MakeDevice(-1).Get(), nullptr);
    EXPECT_FALSE(IsMapped(SoundModuleName("TEST"))); // nothing was loaded for them
    EXPECT_TRUE(log.Messages().empty());

    EXPECT_EQ(SoundDevice::GetDefaultSpeakerType(), 2);
    EXPECT_EQ(SoundDevice::GetDefaultQuality(), 5);
    Obj<SoundDevice> first = MakeDevice();
    ASSERT_TRUE(first);
    EXPECT_TRUE(IsMapped(SoundModuleName("TEST")));
    // Speaker type and quality 0 are kept as passed, not replaced by the defaults.
    EXPECT_EQ(first->GetSoundDeviceType(), SoundDevice::SDTypeHardware);
    EXPECT_EQ(int(first->GetSpeakerType()) + int(first->GetQuality()), 0);
    const Obj<SoundDevice> second = MakeDevice(0, 3, 4);
    EXPECT_EQ(second.Get(), first.Get());
    first = nullptr;
    EXPECT_EQ(SoundDevice::GetExisting(), second.Get());
}

TEST_F(SoundModule, LoadFailuresAreLoggedAndUnloaded) {
    struct Case {
        const char* m_Variant;
        bool m_Device;
        const char* m_Message; // after the caller and the module name
    };
    const Case cases[] = {{"MISSING", true, "DLL load failed."},
                          {"MISSING", false, "DLL load failed."},
                          {"NOFACT", true, "create function unresolved."},
                          {"NOFACT", false, "create function unresolved."}};
    for (const Case& c : cases) {
        setenv("QUORLIX_SOUND_MODULE", c.m_Variant, 1);
        const std::string name = SoundModuleName(c.m_Variant);
        std::string expected = std::string("[Error]") +
                               (c.m_Device ? "SoundDevice" : "AudioSrcFile") + "::Create(" + name +
                               "): " + c.m_Message;
        SCOPED_TRACE(expected);
        LogCapture log;
        int64_t size = -1;
        if (c.m_Device)
            EXPECT_EQ(MakeDevice().Get(), nullptr);
        else
            EXPECT_EQ(AudioSrcFile::Create(String("9"), size, AudioSrcFile::CacheStreaming),
                      nullptr);
        EXPECT_EQ(size, c.m_Device ? -1 : 0);
        const std::vector<std::string> messages = log.Messages();
        ASSERT_EQ(messages.size(), 1u);
        if (c.m_Variant[0] == 'M') {
            // The loader's reason follows on a line of its own.
            expected += "\n    Error: ";
            EXPECT_EQ(messages[0].substr(0, expected.size()), expected);
            EXPECT_NE(messages[0].find(name, expected.size()), std::string::npos);
        } else {
            EXPECT_EQ(messages[0], expected);
        }
        EXPECT_FALSE(IsMapped(name));
    }
    // A factory that fails leaves nothing loaded.
    setenv("QUORLIX_SOUND_MODULE", "TEST", 1);
    int64_t size = -1;
    EXPECT_EQ(AudioSrcFile::Create(String("fail"), size, AudioSrcFile::CacheStreaming), nullptr);
    EXPECT_EQ(size, 0);
}

TEST(SoundModuleNames, FactoryNamesAreWhatTheModuleExports) {
    const std::string command = "nm -D --defined-only '" + SoundModulePath("TEST") + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0) << output;
    std::vector<std::string> factories;
    std::istringstream lines(output);
    for (std::string address, kind, name; lines >> address >> kind >> name;)
        if (name.find("Create") != std::string::npos)
            factories.push_back(name);
    EXPECT_EQ(factories, (std::vector<std::string>{Internal::k_AudioSrcFileFactorySymbol,
                                                   Internal::k_SoundDeviceFactorySymbol}));
}

TEST_F(SoundModule, HundredCyclesLeaveNothingMappedOrAlive) {
    for (int i = 0; i < 100; ++i) {
        Obj<SoundDevice> device = MakeDevice();
        ASSERT_TRUE(device);
        Obj<SoundSource> source = MakeSource(*device);
        Obj<SoundReceiver> receiver = device->CreateSoundReceiver();
        int64_t size = 0;
        Obj<AudioSrcFile> file =
            AudioSrcFile::Create(String("4000"), size, AudioSrcFile::CacheWholeFile);
        ASSERT_TRUE(source && receiver && file);
        // Two orders; in the first the source goes last, and its file lets the device go
        // inside the source's destructor.
        if (i % 2 == 0) {
            device = nullptr;
            receiver = nullptr;
            file = nullptr;
        } else {
            file = nullptr;
            receiver = nullptr;
        }
        source = nullptr;
        device = nullptr;
        ASSERT_FALSE(IsMapped(SoundModuleName("TEST"))) << "cycle " << i;
    }
    // Device, source, its file, receiver and the free file, each made and destroyed.
    EXPECT_EQ(Probe().m_Constructed.load(), 500);
    EXPECT_EQ(Probe().m_Destroyed.load(), 500);
}

TEST_F(SoundModule, ObjectsKeepTheirDeviceAndOneReceiverSlot) {
    EXPECT_EQ(SoundReceiver::Create(nullptr), nullptr);
    EXPECT_EQ(SoundSource::Create(nullptr, String("9"), 0, AudioSrcFile::CacheStreaming), nullptr);
    Obj<SoundDevice> device = MakeDevice();
    ASSERT_TRUE(device);
    Obj<SoundSource> source =
        SoundSource::Create(device, String("9"), 0, AudioSrcFile::CacheStreaming);
    Obj<SoundReceiver> receiver = SoundReceiver::Create(device);
    ASSERT_TRUE(source && receiver);
    EXPECT_EQ(device->CreateSoundReceiver(), receiver.Get());
    EXPECT_EQ(device->GetReceiver(), receiver.Get());
    Obj<AudioSrcFile> file = source->GetAudioSrcFile();
    for (SoundObject* object :
         {(SoundObject*)source.Get(), (SoundObject*)receiver.Get(), (SoundObject*)file.Get()}) {
        EXPECT_EQ(object->GetHolder(), device.Get());
        EXPECT_EQ(object->GetModuleHandle(), nullptr); // the device keeps the module
    }
    EXPECT_NE(device->GetModuleHandle(), nullptr);

    device = nullptr;
    EXPECT_TRUE(source->SetVolume(-600, true));
    source = nullptr; // the file handle still holds the device
    EXPECT_EQ(file->GetCurrentPos(file->AddModePointer()), 0);
    file = nullptr;
    EXPECT_NE(SoundDevice::GetExisting(), nullptr); // the receiver still holds it
    receiver = nullptr;
    EXPECT_EQ(SoundDevice::GetExisting(), nullptr);

    // A new device starts with an empty slot; a receiver going clears it.
    device = MakeDevice();
    EXPECT_EQ(device->GetReceiver(), nullptr);
    receiver = device->CreateSoundReceiver();
    receiver = nullptr;
    EXPECT_EQ(device->GetReceiver(), nullptr);
}

TEST_F(SoundModule, EachObjectUnloadsItsModuleOnce) {
    // A handle of our own: an extra unload would unmap the module under it, a missing one would
    // keep it mapped after ours goes.
    Platform::DynamicLibrary* own = Platform::LoadDynamicLibrary(SoundModulePath("TEST").c_str());
    ASSERT_NE(own, nullptr);
    {
        int64_t size = 0;
        Obj<AudioSrcFile> a = AudioSrcFile::Create(String("9"), size, AudioSrcFile::CacheStreaming);
        Obj<AudioSrcFile> b = AudioSrcFile::Create(String("9"), size, AudioSrcFile::CacheStreaming);
        Obj<SoundDevice> device = MakeDevice();
        ASSERT_TRUE(a && b && device);
        // Two objects of each type, destroyed through the once-wrapped records.
        Obj<SoundSource> s1 = MakeSource(*device), s2 = MakeSource(*device);
        ASSERT_TRUE(s1 && s2);
        s1 = nullptr;
        a = nullptr;
        device = nullptr;
    }
    EXPECT_TRUE(IsMapped(SoundModuleName("TEST")));
    Platform::UnloadDynamicLibrary(own);
    EXPECT_FALSE(IsMapped(SoundModuleName("TEST")));
}

TEST(SoundSwitch, EnvironmentReadOnceThenSetSoundEnable) {
    // A fresh process, so that the first use happens inside.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("XPDISABLE_SOUNDS", "", 1);
            const bool first = GetSoundEnable();
            unsetenv("XPDISABLE_SOUNDS");
            const bool second = GetSoundEnable(); // not read again
            SetSoundEnable(true);
            std::exit(!first && !second && GetSoundEnable() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// An emitter starts where it stands: its place is committed before it plays, or a device that
// mixes on its own thread would sound its first moments at the listener, unattenuated.
class SoundEmitterStart : public SoundTest {
protected:
    // Scene classes are registered by the library's start.
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

TEST_F(SoundEmitterStart, EmittersArePlacedBeforeTheyPlay) {
    FakeSoundProbe& probe = *QuorlixSoundTestProbe();
    Obj<TSoundEmitter> emitter(TSoundEmitter::Create());
    Obj<FileObject> sound(FileObject::Create());
    sound->SetFileName(String("absolute://4000"));
    static_cast<SSoundEmitter*>(emitter->GetSNode())->m_FileObject = sound.Get();
    Matrix4f world = Matrix4f::Identity;
    world.MakeTranslation(Vector3f(5, 0, 0));
    LogCapture log; // the load message
    SoundScene scene;
    probe.m_SourceAppliedAtPlay = -1;
    const int applied = probe.m_SourceApplied;
    scene.AdvanceEmitter(*emitter, world, 0.0);
    for (auto& m : log.Messages())
        printf("LOG %s\n", m.c_str());
    EXPECT_EQ(probe.m_SourceAppliedAtPlay, applied + 1);
    EXPECT_EQ(probe.m_SourceBlock.m_Position.GetX(), 5.0f);
    // Later steps move it without playing it again.
    world.MakeTranslation(Vector3f(6, 0, 0));
    scene.AdvanceEmitter(*emitter, world, 0.125);
    EXPECT_EQ(probe.m_SourceAppliedAtPlay, applied + 1);
    EXPECT_EQ(probe.m_SourceApplied, applied + 2);
}
