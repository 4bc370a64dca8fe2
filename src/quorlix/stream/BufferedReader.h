#pragma once
// The read side that buffered sources share: an 8192-byte page buffer in front of a source that
// delivers bytes in pieces (a file, a decoder, a decipherer; later the script lexers and image
// readers). A derived class supplies the bytes through FillBuffer; the buffer does the rest:
//
//  - Read()/Peek() return a byte as 0..255 or -1 at the end. While the buffer holds data they
//    are inline and make no virtual call.
//  - Read(buffer, n) takes what the buffer holds; a rest below 8192 bytes is served by one
//    refill, a larger rest goes straight into the caller's buffer (ReadDirect). The count is
//    short only where the source gave less.
//  - PeekAt(offset) looks `offset` bytes past the next one. A byte not yet buffered is fetched
//    behind the unread ones (which are moved to the front); -1 when the data ends before it.
//    Offsets of 8192 or more give -2 (-1 when no byte is left at all), whatever is buffered, so
//    the answer does not depend on the reads before.
//  - Skip(n) consumes, refilling as often as needed; the bytes skipped (short at the end).
//
// A source whose data comes in blocks (a block cipher) names its block size as the granule:
// every size handed to FillBuffer and ReadDirect is then a whole number of blocks, and the buffer
// keeps room for one block more than 8192 bytes so that look-ahead still reaches offset 8191.
//
// A pipe names its StreamPipe base first and BufferedReader second (counted handles point at the
// start of the object) and forwards its Read, Peek, PeekAt and Skip to the reader's.
//
// Not thread-safe: a class that shares its reader among threads locks around these calls.

#include "quorlix/platform/Export.h"

#include <cstring>

namespace Quorlix {

class QUORLIX_API BufferedReader {
public:
    static constexpr int k_BufferSize = 8192;

    BufferedReader(const BufferedReader&) = delete;
    BufferedReader& operator=(const BufferedReader&) = delete;

    int Read() { return m_Position < m_Fill ? m_Buffer[m_Position++] : ReadRefill(); }
    int Peek() { return m_Position < m_Fill ? m_Buffer[m_Position] : PeekRefill(); }
    int PeekAt(int offset) {
        return static_cast<unsigned>(offset) < static_cast<unsigned>(m_Fill - m_Position) &&
                       offset < k_BufferSize
                   ? m_Buffer[m_Position + offset]
                   : PeekAtRefill(offset);
    }
    /// Bytes delivered into `buffer` (0 for a null buffer or n <= 0).
    int Read(void* buffer, int n) {
        if (buffer == nullptr || n <= 0 || n > m_Fill - m_Position)
            return ReadMore(buffer, n);
        std::memcpy(buffer, m_Buffer + m_Position, static_cast<size_t>(n));
        m_Position += n;
        return n;
    }
    /// Bytes skipped (0 for n <= 0).
    int Skip(int n);

    /// Bytes read from the source that the caller has not consumed yet.
    int GetBuffered() const noexcept { return m_Fill - m_Position; }

protected:
    /// Owns a page buffer; `granule` (1 to 4096) is the size of the source's blocks.
    explicit BufferedReader(int granule = 1);
    /// Reads the `size` bytes at `data` in place, without a buffer of its own or a source: the
    /// block must outlive the reader; FillBuffer is never called.
    BufferedReader(const void* data, int size);
    /// Buffers in `buffer` (k_BufferSize bytes, granule 1), which the derived class owns, for
    /// readers made and dropped so often that mapping a page buffer for each would cost more
    /// than the reading (archive members).
    explicit BufferedReader(unsigned char (&buffer)[k_BufferSize]);
    virtual ~BufferedReader();

    /// Fills up to `size` bytes at `data` (inside the buffer) from the source; the count, 0 at
    /// the end. `size` is a whole number of granules. A short count is not the end: the reader
    /// asks again when it needs more.
    virtual int FillBuffer(unsigned char* data, int size) = 0;
    /// Serves a request of 8192 bytes or more (`size`, a whole number of granules) straight into
    /// the caller's `data`, the buffer being empty; by default FillBuffer there.
    virtual int ReadDirect(unsigned char* data, int size) { return FillBuffer(data, size); }
    /// Serves the rest of a request below 8192 bytes (`size`), the buffer being empty: delivers
    /// into `data` and refills the buffer with what follows. The bytes delivered. By default one
    /// refill and a copy; a source that can fill both in one transfer overrides it, using
    /// GetBuffer and SetBuffered.
    virtual int ReadAndRefill(unsigned char* data, int size);

    /// Empties the buffer and fills it from the source; the bytes now buffered.
    int Refill();
    /// Forgets the buffered bytes (a seek moves the source).
    void DropBuffered() noexcept { m_Position = m_Fill = 0; }
    /// The buffer's start, for ReadAndRefill (null when reading in place).
    unsigned char* GetBuffer() noexcept { return m_Owned ? m_Buffer : nullptr; }
    /// Declares the first `fill` bytes of the buffer unread.
    void SetBuffered(int fill) noexcept {
        m_Position = 0;
        m_Fill = fill;
    }

private:
    int ReadMore(void* buffer, int n);
    int ReadRefill();
    int PeekRefill();
    int PeekAtRefill(int offset);

    unsigned char* m_Buffer;
    int m_Position = 0;
    int m_Fill = 0;
    int m_Capacity;
    int m_Granule;
    bool m_Owned;     // has a source and a buffer to fill (false: reads a block in place)
    bool m_OwnsPages; // frees the page buffer
};

} // namespace Quorlix
