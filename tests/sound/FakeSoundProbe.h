#pragma once
// What the fake sound module (FakeSoundModule.cpp) reports to the test program. The program
// defines QuorlixSoundTestProbe and exports it; the module finds it at load time, so the
// records outlive every load and unload of the module.
//
// The fake audio file reads its shape from the path: "<bytes>[:<delivered>[:<rate>:<channels>]]"
// makes a 16-bit sound whose decoded byte at position p is FakeRampByte(p), announcing <bytes>
// and delivering <delivered> (default: all of them). The path "fail" makes the factory fail.

#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"

#include <atomic>
#include <cstdint>

namespace QuorlixTest {

struct FakeSoundProbe {
    std::atomic<int> m_Constructed{0};
    std::atomic<int> m_Destroyed{0};
    std::atomic<int> m_FillCalls{0};
    std::atomic<int64_t> m_LastFillPosition{-1};
    std::atomic<int> m_SourceApplied{0};
    Quorlix::SoundSource::Parameters m_SourceBlock;
    std::atomic<int> m_ReceiverApplied{0};
    Quorlix::SoundReceiver::Parameters m_ReceiverBlock;
};

/// A ramp that does not repeat at any power of two or at the 88200-byte cache size.
inline unsigned char FakeRampByte(int64_t position) {
    return static_cast<unsigned char>(position % 251);
}

} // namespace QuorlixTest

extern "C" QuorlixTest::FakeSoundProbe* QuorlixSoundTestProbe();
