// Loading the sound module, the single device and receiver, and what keeps a module mapped.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"
#include "quorlix/sound/internal/SoundModule.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using SoundModule = SoundTest;

Obj<SoundDevice> MakeDevice() {
    return SoundDevice::Create(SoundDevice::SDTypeHardware, SoundDevice::SpeakerType(0),
                               SoundDevice::Quality(0), nullptr);
}

} // namespace

TEST_F(SoundModule, TypeOutsideZeroAndOneLoadsNothing) {
    LogCapture log;
    for (const int type : {2, -1}) {
        EXPECT_EQ(SoundDevice::Create(SoundDevice::SDType(type), SoundDevice::SpeakerType(2),
                                      SoundDevice::Quality(5), nullptr),
                  nullptr);
        EXPECT_FALSE(IsMapped(SoundModuleName("TEST")));
    }
    EXPECT_TRUE(log.Messages().empty());
}

TEST_F(SoundModule, CreateGivesTheOneDeviceAsMade) {
    EXPECT_EQ(SoundDevice::GetDefaultSpeakerType(), 2);
    EXPECT_EQ(SoundDevice::GetDefaultQuality(), 5);
    Obj<SoundDevice> first = MakeDevice();
    ASSERT_TRUE(first);
    EXPECT_TRUE(IsMapped(SoundModuleName("TEST")));
    EXPECT_EQ(SoundDevice::GetExisting(), first.Get());
    // Speaker type and quality 0 are kept as passed, not replaced by the defaults.
    EXPECT_EQ(first->GetSoundDeviceType(), SoundDevice::SDTypeHardware);
    EXPECT_EQ(first->GetSpeakerType(), 0);
    EXPECT_EQ(first->GetQuality(), 0);
    const Obj<SoundDevice> second = SoundDevice::Create(
        SoundDevice::SDTypeDefault, SoundDevice::SpeakerType(3), SoundDevice::Quality(4), nullptr);
    EXPECT_EQ(second.Get(), first.Get());
    EXPECT_EQ(Probe().m_Constructed.load(), 1);
    first = nullptr;
    EXPECT_EQ(SoundDevice::GetExisting(), second.Get());
}

TEST_F(SoundModule, LoadFailuresAreLoggedAndUnloaded) {
    struct Case {
        const char* m_Variant;
        bool m_Device;
        std::string m_Expected; // the whole message, or its first line when a reason follows
        bool m_Reason;
    };
    const Case cases[] = {
        {"MISSING", true,
         "[Error]SoundDevice::Create(libQuorlix010219SOUNDMISSING.so): DLL load failed.", true},
        {"MISSING", false,
         "[Error]AudioSrcFile::Create(libQuorlix010219SOUNDMISSING.so): DLL load failed.", true},
        {"NOFACT", true,
         "[Error]SoundDevice::Create(libQuorlix010219SOUNDNOFACT.so): create function unresolved.",
         false},
        {"NOFACT", false,
         "[Error]AudioSrcFile::Create(libQuorlix010219SOUNDNOFACT.so): create function unresolved.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Expected);
        setenv("QUORLIX_SOUND_MODULE", c.m_Variant, 1);
        LogCapture log;
        int64_t size = -1;
        if (c.m_Device)
            EXPECT_EQ(MakeDevice().Get(), nullptr);
        else
            EXPECT_EQ(AudioSrcFile::Create(String("1000"), size, AudioSrcFile::CacheStreaming),
                      nullptr);
        EXPECT_EQ(size, c.m_Device ? -1 : 0);
        const std::vector<std::string> messages = log.Messages();
        ASSERT_EQ(messages.size(), 1u);
        if (c.m_Reason) {
            // The loader's reason follows on a line of its own.
            const std::string lead = c.m_Expected + "\n    Error: ";
            EXPECT_EQ(messages[0].substr(0, lead.size()), lead);
            EXPECT_NE(messages[0].find(SoundModuleName(c.m_Variant), lead.size()),
                      std::string::npos);
        } else {
            EXPECT_EQ(messages[0], c.m_Expected);
        }
        EXPECT_FALSE(IsMapped(SoundModuleName(c.m_Variant)));
    }
    // A factory that fails leaves nothing loaded and logs nothing of the library's own.
    setenv("QUORLIX_SOUND_MODULE", "TEST", 1);
    LogCapture log;
    int64_t size = -1;
    EXPECT_EQ(AudioSrcFile::Create(String("fail"), size, AudioSrcFile::CacheStreaming), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(log.Messages().empty());
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
        if (name.find("CreateSoundDeviceDirectSound") != std::string::npos ||
            name.find("CreateAudioSrcFileWindows") != std::string::npos)
            factories.push_back(name);
    EXPECT_EQ(factories, (std::vector<std::string>{Internal::k_AudioSrcFileFactorySymbol,
                                                   Internal::k_SoundDeviceFactorySymbol}));
}

TEST_F(SoundModule, HundredCyclesLeaveNothingMappedOrAlive) {
    const std::string module = SoundModuleName("TEST");
    for (int i = 0; i < 100; ++i) {
        Obj<SoundDevice> device = MakeDevice();
        ASSERT_TRUE(device);
        Obj<SoundSource> source = device->CreateSoundSource(String("4000"), SoundSource::k_Flag3D,
                                                            AudioSrcFile::CacheStreaming);
        Obj<SoundReceiver> receiver = device->CreateSoundReceiver();
        int64_t size = 0;
        Obj<AudioSrcFile> file =
            AudioSrcFile::Create(String("4000"), size, AudioSrcFile::CacheWholeFile);
        ASSERT_TRUE(source && receiver && file);
        // Release in a different order each time: the module goes with the last object.
        if (i % 2 == 0) {
            // The source goes last: its file lets the device go inside the source's destructor.
            device = nullptr;
            receiver = nullptr;
            file = nullptr;
            source = nullptr;
        } else {
            file = nullptr;
            receiver = nullptr;
            source = nullptr;
            EXPECT_TRUE(IsMapped(module));
            device = nullptr;
        }
        ASSERT_FALSE(IsMapped(module)) << "cycle " << i;
    }
    // Device, source, its file, receiver and the free file, each made and destroyed.
    EXPECT_EQ(Probe().m_Constructed.load(), 500);
    EXPECT_EQ(Probe().m_Destroyed.load(), 500);
}

TEST_F(SoundModule, ObjectsKeepTheirDeviceAndItsModule) {
    const std::string module = SoundModuleName("TEST");
    Obj<SoundDevice> device = MakeDevice();
    ASSERT_TRUE(device);
    Obj<SoundSource> source =
        device->CreateSoundSource(String("4000"), 0, AudioSrcFile::CacheStreaming);
    Obj<SoundReceiver> receiver = device->CreateSoundReceiver();
    ASSERT_TRUE(source && receiver);
    Obj<AudioSrcFile> file = source->GetAudioSrcFile();
    EXPECT_EQ(source->GetHolder(), device.Get());
    EXPECT_EQ(receiver->GetHolder(), device.Get());
    EXPECT_EQ(file->GetHolder(), device.Get());
    EXPECT_NE(device->GetModuleHandle(), nullptr);
    EXPECT_EQ(source->GetModuleHandle(), nullptr);

    device = nullptr;
    ASSERT_NE(SoundDevice::GetExisting(), nullptr);
    EXPECT_TRUE(source->SetVolume(-600, true));
    source = nullptr; // the file handle still holds the device
    EXPECT_NE(SoundDevice::GetExisting(), nullptr);
    EXPECT_TRUE(IsMapped(module));
    EXPECT_EQ(file->GetCurrentPos(file->AddModePointer()), 0);
    file = nullptr;
    EXPECT_TRUE(receiver->SetPosition(Vector3f(1.0f, 0.0f, 0.0f), true));
    receiver = nullptr;
    EXPECT_EQ(SoundDevice::GetExisting(), nullptr);
    EXPECT_FALSE(IsMapped(module));
}

TEST_F(SoundModule, EachObjectUnloadsItsModuleOnce) {
    // A handle of our own: an extra unload would unmap the module under it, a missing one would
    // keep it mapped after ours goes.
    Platform::DynamicLibrary* own = Platform::LoadDynamicLibrary(SoundModulePath("TEST").c_str());
    ASSERT_NE(own, nullptr);
    {
        int64_t size = 0;
        Obj<AudioSrcFile> a =
            AudioSrcFile::Create(String("400"), size, AudioSrcFile::CacheStreaming);
        Obj<AudioSrcFile> b =
            AudioSrcFile::Create(String("400"), size, AudioSrcFile::CacheStreaming);
        ASSERT_TRUE(a && b);
        EXPECT_NE(a->GetModuleHandle(), nullptr);
        Obj<SoundDevice> device = MakeDevice();
        ASSERT_TRUE(device);
        // Two objects of one type, each destroyed through the once-wrapped record.
        Obj<SoundSource> s1 =
            device->CreateSoundSource(String("400"), 0, AudioSrcFile::CacheStreaming);
        Obj<SoundSource> s2 =
            device->CreateSoundSource(String("400"), 0, AudioSrcFile::CacheStreaming);
        ASSERT_TRUE(s1 && s2);
        s1 = nullptr;
        a = nullptr;
        device = nullptr;
        s2 = nullptr;
        b = nullptr;
    }
    EXPECT_EQ(SoundDevice::GetExisting(), nullptr);
    EXPECT_TRUE(IsMapped(SoundModuleName("TEST")));
    Platform::UnloadDynamicLibrary(own);
    EXPECT_FALSE(IsMapped(SoundModuleName("TEST")));
}

TEST_F(SoundModule, OneReceiverPerDeviceUntilItGoes) {
    EXPECT_EQ(SoundReceiver::Create(nullptr), nullptr);
    EXPECT_EQ(SoundSource::Create(nullptr, String("400"), 0, AudioSrcFile::CacheStreaming),
              nullptr);
    Obj<SoundDevice> device = MakeDevice();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->GetReceiver(), nullptr);
    Obj<SoundReceiver> receiver = SoundReceiver::Create(device);
    ASSERT_TRUE(receiver);
    EXPECT_EQ(device->CreateSoundReceiver(), receiver.Get());
    EXPECT_EQ(device->GetReceiver(), receiver.Get());
    const int made = Probe().m_Constructed.load();
    receiver = nullptr;
    EXPECT_EQ(device->GetReceiver(), nullptr);
    receiver = device->CreateSoundReceiver();
    EXPECT_EQ(Probe().m_Constructed.load(), made + 1);
    EXPECT_EQ(device->GetReceiver(), receiver.Get());
}

TEST(SoundSwitch, EnvironmentReadOnceThenSetSoundEnable) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process, so that the first use happens here.
    EXPECT_EXIT(
        {
            setenv("XPDISABLE_SOUNDS", "", 1);
            const bool off = !GetSoundEnable();
            unsetenv("XPDISABLE_SOUNDS");
            const bool stillOff = !GetSoundEnable();
            SetSoundEnable(true);
            const bool on = GetSoundEnable();
            std::exit(off && stillOff && on ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            unsetenv("XPDISABLE_SOUNDS");
            const bool on = GetSoundEnable();
            SetSoundEnable(false);
            std::exit(on && !GetSoundEnable() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
