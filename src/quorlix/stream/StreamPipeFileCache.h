#pragma once
// The buffered file pipe: a StreamPipeFile with an 8192-byte write buffer and the 8192-byte read
// buffer of a BufferedReader, both whole pages. It looks ahead up to 8192 bytes. Every operation
// holds the pipe's lock, so threads may share one pipe; a message of several calls still needs
// Lock/Unlock.
//
// Use one pipe for one direction at a time: reads and writes are coordinated only by a Seek
// between them.

#include "quorlix/platform/Export.h"
#include "quorlix/stream/BufferedReader.h"
#include "quorlix/stream/StreamPipeFile.h"

namespace Quorlix {

class QUORLIX_API StreamPipeFileCache final : public StreamPipeFile, public BufferedReader {
public:
    static constexpr int k_BufferSize = 8192;

    /// Opens like StreamPipeFile::Create.
    static StreamPipeFileCache* Create(const char* path, unsigned mode);

    StreamPipeFileCache(const char* path, unsigned mode);
    /// Pushes pending output down (bytes the file refuses are reported as a warning and lost).
    ~StreamPipeFileCache() override;

    /// Delivers from the buffer; a rest below 8192 bytes comes with one read that also refills
    /// the buffer, a larger rest is read straight into `buffer`.
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    /// -1 at the end; -2 for offsets of 8192 or more that the buffer cannot hold.
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// The number of the caller's bytes that reached the file or stay in the buffer. Data of
    /// 8192 bytes or more goes down at once with what is pending. When the buffer must go down
    /// and the file takes only part of it (a full disc), the count stops at the last byte
    /// written, and the caller's bytes behind it are not kept: a short count always means the
    /// rest was refused. A pipe without a file accepts nothing.
    int Write(const void* data, int n) override;
    /// Writes the buffer down; what the file refuses stays buffered for the next attempt.
    void Flush() override;
    /// Flushes, then cuts the file at the logical position; false when output is stuck.
    bool Truncate() override;
    /// Flushes, returns the read-ahead, and seeks from the logical position. -1, with nothing
    /// moved, when buffered output cannot be written (it would land at the new position).
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override;

    /// Bytes written to the pipe that have not reached the file yet.
    int GetPendingOutput();

private:
    int FillBuffer(unsigned char* data, int size) override;
    /// One read into the caller's bytes and the read buffer behind them.
    int ReadAndRefill(unsigned char* data, int size) override;

    bool PushDown();
    int ReturnReadAhead();

    int m_WriteSize = k_BufferSize;
    int m_WriteFill = 0;
    unsigned char* m_WriteBuffer = nullptr;
};

} // namespace Quorlix
