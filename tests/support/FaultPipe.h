#pragma once
// A pipe that wraps another and misbehaves on purpose, so tests can prove that a reader answers
// short reads, early ends, failing calls and damaged bytes with a clean error. Make it with
// Quorlix::NewObject<FaultPipe>(inner); it holds the inner pipe.

#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace QuorlixTest {

class FaultPipe final : public Quorlix::StreamPipe {
public:
    enum class Fault { None, Once, Always };

    explicit FaultPipe(Quorlix::StreamPipe* inner) : m_Inner(inner) {}

    /// Reads deliver at most `bytes` bytes per call (0: no limit).
    void Trickle(int bytes) { m_Trickle = bytes; }
    /// The data ends at byte `offset` of the inner pipe: reads, skips and peeks stop there.
    void CutAt(int64_t offset) { m_Cut = offset; }
    /// PeekAt sees only `bytes` ahead and gives -2 from there on, as a small buffer does.
    void LookAhead(int bytes) { m_LookAhead = bytes; }
    /// After `calls` more successful calls, reads (Read, Read(buffer), Skip, Peek, PeekAt) fail
    /// once or from then on, answering as at the end of the data.
    void FailReads(Fault fault, int calls = 0) { Arm(m_Reads, fault, calls); }
    /// Writes accept nothing.
    void FailWrites(Fault fault, int calls = 0) { Arm(m_Writes, fault, calls); }
    /// Seeks give -1 and do not move.
    void FailSeeks(Fault fault, int calls = 0) { Arm(m_Seeks, fault, calls); }
    /// Bit `bit` of the byte at `offset` reads inverted.
    void FlipBit(int64_t offset, int bit) {
        m_FlipOffset = offset;
        m_FlipMask = static_cast<unsigned char>(1u << (bit & 7));
    }
    /// Seeks from the end answer as for data of `size` bytes and do not move, so that a huge
    /// input can be offered without allocating it.
    void ClaimSize(int64_t size) { m_ClaimedSize = size; }
    /// The position as the reader sees it.
    int64_t Position() const { return m_Position; }

    void Lock() override { m_Inner->Lock(); }
    void Unlock() override { m_Inner->Unlock(); }
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override { return PeekAt(0); }
    int PeekAt(int offset) override;
    int Skip(int n) override;
    int Write(const void* data, int n) override;
    bool Truncate() override { return m_Inner->Truncate(); }
    void Flush() override { m_Inner->Flush(); }
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        m_Inner->GetFileTime(created, accessed, written);
    }
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override {
        return m_Inner->SetFileTime(created, accessed, written);
    }

private:
    struct Trigger {
        Fault m_Fault = Fault::None;
        int m_Calls = 0;
    };
    static void Arm(Trigger& trigger, Fault fault, int calls) { trigger = {fault, calls}; }
    /// Whether this call fails; counts the call.
    static bool Fires(Trigger& trigger);
    /// How many of `n` bytes the cut leaves from the current position.
    int Allowed(int n) const;
    unsigned char Flip(int64_t at, unsigned char byte) const {
        return at == m_FlipOffset ? static_cast<unsigned char>(byte ^ m_FlipMask) : byte;
    }

    Quorlix::Obj<Quorlix::StreamPipe> m_Inner;
    int m_Trickle = 0;
    int64_t m_Cut = -1;
    int m_LookAhead = -1;
    Trigger m_Reads, m_Writes, m_Seeks;
    int64_t m_FlipOffset = -1;
    unsigned char m_FlipMask = 0;
    int64_t m_Position = 0;
    int64_t m_ClaimedSize = -1;
};

} // namespace QuorlixTest
