#pragma once
// The library's byte channel. Every loader and every formatted stream works on a StreamPipe
// without knowing what is behind it: a file, a buffered file, a console, memory, a module
// resource, the null sink, a filter or a network connection.
//
// Conventions shared by every pipe:
//  - Read()/Peek()/PeekAt() return a byte as 0..255, -1 at the end of the data, and -2 when
//    the pipe cannot look ahead (or not that far);
//  - counts are bytes transferred; a failure transfers 0;
//  - Seek origins: 1 from the start, 0 from the current position, -1 from the end; the result
//    is the new position or -1;
//  - file times are 100-ns counts since 1601 (zeros when not available).
// Pipes are counted objects made by the static Create functions of the concrete classes and
// destroyed through their type record when the last handle lets go.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

/// Seek origins.
enum SeekStart : int { SeekBegin = 1, SeekCurrent = 0, SeekEnd = -1 };

/// Open-mode word of the file, cache and resource pipes.
enum : unsigned {
    IORead = 0x1,
    IOWrite = 0x2,
    IODispositionMask = 0x1C, // 0 or 16 open existing; 4 create new; 8 or 24 truncate existing;
                              // 12 or 28 create always; 20 open always
    IOUnbuffered = 0x10000,   // Stream(path, mode): plain file pipe instead of the cache pipe
    IOReadDefault = 1,        // read-only access to an existing file
};

class QUORLIX_API StreamPipe {
public:
    StreamPipe() = default;
    StreamPipe(const StreamPipe&) = delete;
    StreamPipe& operator=(const StreamPipe&) = delete;

    /// Takes the pipe's lock (re-entrant for the owning thread).
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    /// Bytes read into `buffer` (0 at the end or on error).
    virtual int Read(void* buffer, int n) = 0;
    /// The next byte, or -1 at the end.
    virtual int Read() = 0;
    /// The next byte without consuming it; -1 at the end, -2 when the pipe cannot look ahead.
    virtual int Peek() = 0;
    /// The byte `offset` places after the next one; -1 at the end, -2 when unsupported or
    /// too far ahead.
    virtual int PeekAt(int offset) = 0;
    /// Bytes skipped.
    virtual int Skip(int n) = 0;
    /// Bytes accepted.
    virtual int Write(const void* data, int n) = 0;
    /// Cuts the data at the current position; false when unsupported.
    virtual bool Truncate();
    /// Pushes buffered output down.
    virtual void Flush() = 0;
    /// The new position, or -1.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    /// Seek in the underlying (compressed) data; plain pipes treat it as Seek.
    virtual int64_t SeekCompressed(int64_t offset, int origin) = 0;
    virtual void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) = 0;
    /// A zero time leaves that time unchanged; false when unsupported.
    virtual bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) = 0;
    /// Selects the colour of the following text (4-bit colour numbers); ignored where
    /// meaningless.
    virtual void Color(int foreground, int background);
    /// Clears a display; ignored where meaningless.
    virtual void Clear();

    virtual ~StreamPipe() = default;
};

/// The position Seek(offset, origin) asks for in a window of `length` bytes read up to
/// `position`, clamped to 0..length (a sum that overflows is clamped too); -1 for an unknown
/// origin. For the pipes that clamp their seeks (archive members, chunks).
QUORLIX_API int64_t ClampedSeekTarget(int64_t offset, int origin, int64_t position,
                                      int64_t length) noexcept;

/// Reads `n` bytes from a pipe that may deliver them in pieces; the count delivered (less only
/// at the end of the data or on an error).
QUORLIX_API int ReadFully(StreamPipe& pipe, void* buffer, int n);
/// Writes `n` bytes to a pipe that may take them in pieces; the count written (less only when
/// the pipe refuses more).
QUORLIX_API int64_t WriteFully(StreamPipe& pipe, const void* data, int64_t n);

} // namespace Quorlix
