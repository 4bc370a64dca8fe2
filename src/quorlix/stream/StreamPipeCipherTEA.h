#pragma once
// The Tiny Encryption Algorithm over a pipe, in electronic-codebook mode: every
// 8-byte block is enciphered on its own with the same 128-bit key. What is
// written is enciphered, what is read is deciphered. The pipe has no lock of
// its own: Lock/Unlock take the inner pipe's.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/BufferedReader.h"
#include "quorlix/stream/StreamPipeFilter.h"

#include <cstdint>

namespace Quorlix {

/// One 64-bit block as two 32-bit words (little-endian in a byte stream), 32
/// cycles, delta 0x9E3779B9. `in` and `out` may be the same block.
QUORLIX_API void EncipherTEA32(const unsigned in[2], unsigned out[2], const unsigned key[4]);
QUORLIX_API void DecipherTEA32(const unsigned in[2], unsigned out[2], const unsigned key[4]);

class QUORLIX_API StreamPipeCipherTEA final : public StreamPipeFilter, public BufferedReader {
public:
    static constexpr int k_BufferSize = 8192;
    /// The largest piece a write sends down at once.
    static constexpr int k_WritePiece = 64 << 10;

    /// Holds a reference to `inner` (null reads as empty) and a copy of the key.
    static StreamPipeCipherTEA* Create(StreamPipe* inner, const unsigned key[4]);
    StreamPipeCipherTEA(StreamPipe* inner, const unsigned key[4]);
    /// Writes the pending bytes, the last block padded with zero bytes, so a
    /// written stream is always whole blocks. Bytes the inner pipe refuses are
    /// reported as a warning and lost.
    ~StreamPipeCipherTEA() override;

    /// Reads whole blocks below, however the inner pipe delivers them; only a
    /// damaged stream ends in a partial block, which is passed on undeciphered.
    /// Short only at the end of the data.
    int Read(void* buffer, int n) override { return BufferedReader::Read(buffer, n); }
    int Read() override { return BufferedReader::Read(); }
    int Peek() override { return BufferedReader::Peek(); }
    /// -1 at the end; -2 for bytes the 8192-byte buffer cannot reach.
    int PeekAt(int offset) override { return BufferedReader::PeekAt(offset); }
    int Skip(int n) override { return BufferedReader::Skip(n); }
    /// Enciphers and writes down every whole block at once (in pieces of up to
    /// 64 KiB); the 0 to 7 bytes of a partial last block wait for the next write.
    /// The bytes taken; less than `n` only when the inner pipe refuses what is
    /// pending and the write buffer is full.
    int Write(const void* data, int n) override;
    /// Enciphers and writes the whole blocks written so far; 0 to 7 bytes wait
    /// for more (the inner pipe's own Flush is not called).
    void Flush() override;
    /// Only offset 0: flushes whole blocks, drops the read-ahead and seeks the
    /// inner pipe to 0 from `origin`. Seek(0, SeekCurrent) keeps the read-ahead
    /// and gives the logical position. Other offsets are refused with a warning:
    /// -1.
    int64_t Seek(int64_t offset, int origin) override;

private:
    /// Reads up to `size` bytes (a multiple of 8) into `data`, stopping early only
    /// at the end of the inner pipe, and deciphers the whole blocks.
    int FillBuffer(unsigned char* data, int size) override;

    unsigned m_Key[4];
    unsigned char* m_WriteBuffer = nullptr; // made by the first write
    int m_WriteFill = 0;
    int m_WriteSealed = 0;    // bytes at the front already enciphered that the inner pipe refused
    bool m_ReadEnded = false; // the inner pipe ended in the middle of a block
};

} // namespace Quorlix
