#pragma once
// The read pipe under every archive member: the bytes [start, start + length) of the archive
// file, through a file handle of its own. Reads of 8192 bytes or more go from the file straight
// into the caller's buffer; smaller ones come with one call that also refills an 8192-byte
// buffer inside the pipe, which serves Read(), Peek and PeekAt (up to 8191 bytes ahead).
//
// A chunk window over a cached file pipe did the same job, but the cached pipe maps fresh pages
// for its buffers and unmaps them again, which cost more than reading a small member. Every
// operation holds the pipe's lock, so threads may share one pipe.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace Quorlix::Detail {

class ArchiveMemberPipe final : public StreamPipe {
public:
    static constexpr int k_BufferSize = 8192;

    /// Takes over `file`, which must stand at `start`; closes it when released. A negative
    /// start or length counts as 0.
    static ArchiveMemberPipe* Create(Platform::FileHandle file, int64_t start, int64_t length);
    ArchiveMemberPipe(Platform::FileHandle file, int64_t start, int64_t length);
    ~ArchiveMemberPipe() override;

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    /// Reads, skips and peeks end at the end of the range whatever follows in the file.
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    /// -1 past the end of the range; -2 for offsets of 8192 or more.
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// Read-only: 0.
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    /// Targets outside the range are clamped to its start or end; -1, with the position kept,
    /// when the file cannot seek there.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    /// The member's times as the archive's index gives them (SetFileTime).
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override;
    /// Keeps the times for GetFileTime (zero keeps a time); nothing reaches the archive, so
    /// the result is false.
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override;

private:
    int Buffered() const noexcept { return m_ReadFill - m_ReadPosition; }
    // Bytes of the range not yet read from the file (the buffer's are read already).
    int64_t LeftInFile() const noexcept { return m_Length - m_Position - Buffered(); }
    int Refill();

    CriticalSection m_Section;
    Platform::FileHandle m_File;
    int64_t m_Start;
    int64_t m_Length;
    int64_t m_Position = 0; // of the next byte the caller gets, from the range's start
    uint64_t m_Times[3] = {};
    int m_ReadPosition = 0;
    int m_ReadFill = 0;
    unsigned char m_Buffer[k_BufferSize];
};

} // namespace Quorlix::Detail
