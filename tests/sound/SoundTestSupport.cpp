#include "SoundTestSupport.h"

#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/sound/SoundDevice.h"

#include <cstdlib>
#include <fstream>

extern "C" __attribute__((visibility("default"))) QuorlixTest::FakeSoundProbe*
QuorlixSoundTestProbe() {
    static QuorlixTest::FakeSoundProbe s_Probe;
    return &s_Probe;
}

namespace QuorlixTest {

std::string SoundModuleName(const char* variant) {
    return std::string("libQuorlix010219SOUND") + variant + ".so";
}

std::string SoundModulePath(const char* variant) {
    const std::string library = Quorlix::Platform::LibraryPath();
    return library.substr(0, library.rfind('/') + 1) + SoundModuleName(variant);
}

bool IsMapped(const std::string& fileName) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.ends_with("/" + fileName))
            return true;
    return false;
}

FakeSoundProbe& Probe() {
    return *QuorlixSoundTestProbe();
}

void SoundTest::SetUp() {
    setenv("QUORLIX_SOUND_MODULE", "TEST", 1);
    FakeSoundProbe& probe = Probe();
    probe.m_Constructed = 0;
    probe.m_Destroyed = 0;
    probe.m_FillCalls = 0;
    probe.m_LastFillPosition = -1;
    probe.m_SourceApplied = 0;
    probe.m_ReceiverApplied = 0;
}

void SoundTest::TearDown() {
    unsetenv("QUORLIX_SOUND_MODULE");
    EXPECT_EQ(Quorlix::SoundDevice::GetExisting(), nullptr);
    EXPECT_EQ(Probe().m_Constructed.load(), Probe().m_Destroyed.load());
    EXPECT_FALSE(IsMapped(SoundModuleName("TEST")));
}

} // namespace QuorlixTest
