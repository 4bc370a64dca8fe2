#pragma once
// What the fake sound module (FakeSoundModule.cpp) reports to the test program, which defines
// and exports QuorlixSoundTestProbe; the records outlive every load of the module. The fake
// files are 16-bit sounds whose decoded byte at position p is FakeRampByte(p).

#include "quorlix/sound/SoundReceiver.h"
#include "quorlix/sound/SoundSource.h"

#include <atomic>
#include <cstdint>

namespace QuorlixTest {

struct FakeSoundProbe {
    std::atomic<int> m_Constructed{0}, m_Destroyed{0}; // fake objects of every kind
    std::atomic<int> m_FillCalls{0};
    std::atomic<int64_t> m_LastFillPosition{-1};
    std::atomic<int> m_SourceApplied{0}, m_ReceiverApplied{0};
    std::atomic<int> m_SourceAppliedAtPlay{-1}; // m_SourceApplied when a source last played
    Quorlix::SoundSource::Parameters m_SourceBlock;
    Quorlix::SoundReceiver::Parameters m_ReceiverBlock;
};

/// Repeats neither at a power of two nor at the 88200-byte cache size.
inline unsigned char FakeRampByte(int64_t position) {
    return static_cast<unsigned char>(position % 251);
}

} // namespace QuorlixTest

extern "C" QuorlixTest::FakeSoundProbe* QuorlixSoundTestProbe();
