#pragma once
// Shared by the sound tests: the fake modules' names and paths, whether a module is mapped,
// and a fixture that selects the fake module for each test.

#include "FakeSoundProbe.h"

#include <gtest/gtest.h>

#include <string>

namespace QuorlixTest {

/// "libQuorlix010219SOUND<variant>.so" and its path beside the library.
std::string SoundModuleName(const char* variant);
std::string SoundModulePath(const char* variant);
/// Whether a file of that name is mapped into the process (/proc/self/maps).
bool IsMapped(const std::string& fileName);

FakeSoundProbe& Probe();

/// Selects the fake module TEST and clears the probe; afterwards no device may be left and
/// the module must be unmapped.
class SoundTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace QuorlixTest
