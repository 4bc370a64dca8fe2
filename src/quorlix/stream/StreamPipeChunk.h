#pragma once
// A read-only window onto a byte range of another pipe: an archive member
// inside the archive file. Positions are relative to the start of the range.
// The chunk moves the inner pipe only in Seek, so whoever makes it leaves the
// inner pipe at the range's start or seeks the chunk to 0 first. It has no lock
// of its own: Lock/Unlock take the inner pipe's.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipeFilter.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API StreamPipeChunk final : public StreamPipeFilter {
public:
    /// The bytes [start, start + length) of `inner`, which the chunk holds a reference to (a
    /// null pipe reads as empty). A negative start or length counts as 0, and the range is cut
    /// where 64 bits end.
    static StreamPipeChunk* Create(StreamPipe* inner, int64_t start, int64_t length);
    StreamPipeChunk(StreamPipe* inner, int64_t start, int64_t length);

    /// Reads, skips and peeks end at the end of the range whatever follows in the
    /// inner pipe.
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// Targets outside the range are clamped to its start or end. -1, with the
    /// position kept, when the inner pipe cannot seek there.
    int64_t Seek(int64_t offset, int origin) override;
    /// Creation and access 0; the last-write time is the chunk's own (set by
    /// SetFileTime).
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override;
    /// Keeps `written` for GetFileTime; nothing reaches the inner pipe, so the
    /// result is false.
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override;

    int64_t GetStart() const noexcept { return m_Start; }
    int64_t GetLength() const noexcept { return m_Length; }

private:
    /// How many of `n` bytes are left before the end of the range (0 for n <= 0).
    int Allowed(int64_t n) const noexcept;

    int64_t m_Start;
    int64_t m_Length;
    int64_t m_Position = 0;
    uint64_t m_WriteTime = 0;
};

} // namespace Quorlix
