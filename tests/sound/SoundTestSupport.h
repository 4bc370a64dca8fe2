#pragma once
// Shared by the sound tests: the fake modules' file names, whether one is mapped, and a fixture
// that selects the fake module TEST and checks that a test leaves nothing loaded or alive.

#include "FakeSoundProbe.h"

#include "quorlix/sound/SoundDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace QuorlixTest {

inline std::string SoundModuleName(const char* variant) {
    return std::string("libQuorlix010219SOUND") + variant + ".so";
}

inline bool IsMapped(const std::string& fileName) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.ends_with("/" + fileName))
            return true;
    return false;
}

inline FakeSoundProbe& Probe() {
    return *QuorlixSoundTestProbe();
}

/// Parameter blocks are plain 4-byte fields.
template <class Block>
bool SameBlock(const Block& a, const Block& b) {
    return std::memcmp(&a, &b, sizeof(Block)) == 0;
}

class SoundTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("QUORLIX_SOUND_MODULE", "TEST", 1);
        FakeSoundProbe& probe = Probe();
        probe.m_Constructed = probe.m_Destroyed = probe.m_FillCalls = 0;
        probe.m_SourceApplied = probe.m_ReceiverApplied = 0;
    }
    void TearDown() override {
        unsetenv("QUORLIX_SOUND_MODULE");
        EXPECT_EQ(Quorlix::SoundDevice::GetExisting(), nullptr);
        EXPECT_EQ(Probe().m_Constructed.load(), Probe().m_Destroyed.load());
        EXPECT_FALSE(IsMapped(SoundModuleName("TEST")));
    }
};

} // namespace QuorlixTest
