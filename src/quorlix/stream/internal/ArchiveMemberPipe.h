#pragma once
// The read pipe under every archive member: the bytes [start, start + length) of the archive
// file, through a file handle of its own while it lives, behind the shared buffered reader.
// Reads of 8192 bytes or more go from the file straight into the caller's buffer; smaller ones
// come with one call that also refills the reader's buffer with what follows.
//
// A chunk window over a cached file pipe did the same job, but the cached pipe maps fresh pages
// for its buffers and unmaps them again, which cost more than reading a small member: the
// buffer lives inside this object. Every operation holds the pipe's lock, so threads may share
// one pipe.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/BufferedReader.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>
#include <string>

namespace Quorlix::Internal {

/// Open handles on one archive file, which member pipes take and give back, so that reading
/// many members does not open and close the file for each. Counted: the archive and its member
/// pipes hold it. Thread-safe.
class ArchiveFileHandles {
public:
    static ArchiveFileHandles* Create(const std::string& path);
    explicit ArchiveFileHandles(const std::string& path);
    ~ArchiveFileHandles();
    ArchiveFileHandles(const ArchiveFileHandles&) = delete;
    ArchiveFileHandles& operator=(const ArchiveFileHandles&) = delete;

    /// A kept handle or a newly opened one, at an unknown position; Invalid when the file
    /// cannot be opened.
    Platform::FileHandle Take();
    /// Keeps `file` for a later Take (two at most: every archive in the storage cache holds
    /// its own), else closes it.
    void Give(Platform::FileHandle file);
    /// Closes the kept handles; handles given back afterwards are closed at once. The archive
    /// calls it when it closes, before it may replace the file.
    void Close();

private:
    static constexpr int k_Kept = 2;

    CriticalSection m_Section;
    std::string m_Path;
    Platform::FileHandle m_Kept[k_Kept];
    int m_KeptCount = 0;
    bool m_Closed = false;
};

class ArchiveMemberPipe final : public StreamPipe, public BufferedReader {
public:
    /// Takes over `file`, which must stand at `start`, and gives it back to `handles` when
    /// released (closes it when `handles` is null). A negative start or length counts as 0.
    static ArchiveMemberPipe* Create(ArchiveFileHandles* handles, Platform::FileHandle file,
                                     int64_t start, int64_t length);
    ArchiveMemberPipe(ArchiveFileHandles* handles, Platform::FileHandle file, int64_t start,
                      int64_t length);
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
    int FillBuffer(unsigned char* data, int size) override;
    int ReadAndRefill(unsigned char* data, int size) override;
    // Bytes of the range not yet read from the file (the buffer's are read already).
    int64_t LeftInFile() const noexcept { return m_Length - m_FileRead; }
    int64_t Position() const noexcept { return m_FileRead - GetBuffered(); }

    CriticalSection m_Section;
    Obj<ArchiveFileHandles> m_Handles;
    Platform::FileHandle m_File;
    int64_t m_Start;
    int64_t m_Length;
    int64_t m_FileRead = 0; // bytes of the range read from the file, from the range's start
    uint64_t m_Times[3] = {};
    unsigned char m_Buffer[k_BufferSize];
};

} // namespace Quorlix::Internal
