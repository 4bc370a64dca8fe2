#pragma once
// A read-only gzip decoder over another pipe. Concatenated members decode as
// one stream; data that does not begin with the gzip magic passes through
// unchanged. Decoding streams: a request inflates only as many bytes as it asks
// for, so a small file that expands enormously costs only what is read. Corrupt
// data (bad header, CRC or length mismatch, a truncated member) ends the data:
// reads give what was decoded before it, then nothing. The pipe has no lock of
// its own: Lock/Unlock take the inner pipe's.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/BufferedReader.h"
#include "quorlix/stream/StreamPipeFilter.h"

#include <cstdint>

struct z_stream_s;

namespace Quorlix {

class QUORLIX_API StreamPipeCompressZ final : public StreamPipeFilter, public BufferedReader {
public:
    static constexpr int k_BufferSize = 8192;
    static constexpr int k_InputSize = 16384;

    /// Holds a reference to `inner` (null reads as empty) and reads the first member's header.
    static StreamPipeCompressZ* Create(StreamPipe* inner);
    explicit StreamPipeCompressZ(StreamPipe* inner);
    ~StreamPipeCompressZ() override;

    /// Requests of 8192 bytes or more are decoded straight into `buffer`.
    int Read(void* buffer, int n) override { return BufferedReader::Read(buffer, n); }
    int Read() override { return BufferedReader::Read(); }
    int Peek() override { return BufferedReader::Peek(); }
    /// -1 at the end; -2 for offsets of 8192 or more that the buffer cannot hold.
    int PeekAt(int offset) override { return BufferedReader::PeekAt(offset); }
    /// Decodes what it skips.
    int Skip(int n) override { return BufferedReader::Skip(n); }
    /// Read-only: -1.
    int Write(const void*, int) override { return -1; }
    /// Only Seek(0, SeekBegin), which seeks the inner pipe to 0 and decodes anew
    /// from there; the inner pipe's result. Anything else is refused with a
    /// warning: -1.
    int64_t Seek(int64_t offset, int origin) override;
    /// Offset 0 only (else a warning and -1): SeekBegin restarts as Seek does,
    /// SeekEnd moves the inner pipe to its end and ends the data, SeekCurrent
    /// gives the inner pipe's position.
    int64_t SeekCompressed(int64_t offset, int origin) override;

    /// Whether the data did not begin with the gzip magic and passes through as it is.
    bool IsTransparent() const noexcept { return m_Transparent; }
    /// Whether decoding stopped at corrupt or truncated data rather than at the
    /// end.
    bool IsDamaged() const noexcept { return m_Status == StatusDamaged; }

private:
    enum Status : int { StatusDecoding, StatusEnded, StatusDamaged };

    /// Decodes up to `n` bytes into `out`; fewer only at the end of the data (in
    /// transparent mode: as the inner pipe delivers).
    int Decode(unsigned char* out, int n);
    int FillBuffer(unsigned char* data, int size) override { return Decode(data, size); }
    /// Empties both buffers, clears every flag and the inflate state, and reads
    /// the first header from wherever the inner pipe is.
    void Restart();
    /// Reads a member header. Without the gzip magic the first member turns the
    /// pipe transparent (its bytes stay in the input buffer); after a member it
    /// ends the data.
    void ReadHeader(bool first);
    /// Checks the trailer of the member whose deflate data just ended and goes on
    /// to the next.
    bool EndMember();
    /// Makes `count` input bytes available (appending to what is buffered); false
    /// at the end.
    bool HaveInput(int count);
    /// The next input byte, -1 at the end.
    int NextByte();
    bool SkipInput(int64_t count);

    z_stream_s* m_Stream = nullptr;
    unsigned char* m_Input = nullptr;
    int m_InputPosition = 0;
    int m_InputFill = 0;
    bool m_InputEnded = false;
    Status m_Status = StatusDecoding;
    uint32_t m_Crc = 0;
    uint32_t m_MemberSize = 0; // decoded bytes of the member, modulo 2^32 as the trailer has it
    bool m_Transparent = false;
};

} // namespace Quorlix
