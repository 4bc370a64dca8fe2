#include "quorlix/stream/StreamPipeFileCache.h"

#include "quorlix/platform/File.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"
#include "quorlix/stream/ReportStream.h"

#include <cstring>

namespace Quorlix {

namespace {

// Writes until everything went or the file refuses; the bytes written.
int WriteAll(Platform::FileHandle file, const unsigned char* data, int n) {
    return static_cast<int>(Platform::WriteFileFully(file, data, static_cast<size_t>(n)));
}

// The same for `first` followed by `second`, gathered into as few calls as the file allows.
int64_t WriteAll(Platform::FileHandle file, const unsigned char* first, int firstBytes,
                 const unsigned char* second, int secondBytes) {
    int64_t done = 0;
    while (done < firstBytes) {
        const int64_t count =
            Platform::WriteFileGather(file, first + done, static_cast<size_t>(firstBytes - done),
                                      second, static_cast<size_t>(secondBytes));
        if (count <= 0)
            return done;
        done += count;
    }
    const int written = static_cast<int>(done - firstBytes); // of `second`
    return done + WriteAll(file, second + written, secondBytes - written);
}

} // namespace

StreamPipeFileCache* StreamPipeFileCache::Create(const char* path, unsigned mode) {
    return NewObject<StreamPipeFileCache>(path, mode);
}

StreamPipeFileCache::StreamPipeFileCache(const char* path, unsigned mode)
    : StreamPipeFile(path, mode) {
    // One mapping holds both buffers, each of whole pages.
    auto* pages = static_cast<unsigned char*>(Platform::AllocatePages(2 * k_BufferSize));
    if (pages == nullptr)
        Platform::ReportOutOfMemory();
    m_WriteBuffer = pages;
    m_ReadBuffer = pages + k_BufferSize;
}

StreamPipeFileCache::~StreamPipeFileCache() {
    if (!PushDown()) {
        Xreport.pLockWarn() << "StreamPipeFileCache::~StreamPipeFileCache: " << m_WriteFill
                            << " bytes could not be written.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    Platform::FreePages(m_WriteBuffer, 2 * k_BufferSize);
}

bool StreamPipeFileCache::PushDown() {
    if (m_WriteFill == 0)
        return true;
    const int done = WriteAll(m_File, m_WriteBuffer, m_WriteFill);
    if (done > 0) {
        std::memmove(m_WriteBuffer, m_WriteBuffer + done, static_cast<size_t>(m_WriteFill - done));
        m_WriteFill -= done;
    }
    return m_WriteFill == 0;
}

int StreamPipeFileCache::Refill() {
    m_ReadPosition = 0;
    const int64_t count = Platform::ReadFile(m_File, m_ReadBuffer, static_cast<size_t>(m_ReadSize));
    m_ReadFill = count > 0 ? static_cast<int>(count) : 0;
    return m_ReadFill;
}

// Moves the file pointer back over the unread part of the read buffer and empties it, so that
// the file position is the logical one. -1 when the file cannot move (the buffer is then kept).
int StreamPipeFileCache::ReturnReadAhead() {
    const int unread = m_ReadFill - m_ReadPosition;
    if (unread > 0 && Platform::SeekFile(m_File, -int64_t{unread}, SeekCurrent) < 0)
        return -1;
    m_ReadPosition = m_ReadFill = 0;
    return 0;
}

int StreamPipeFileCache::Write(const void* data, int n) {
    CriticalSectionLock lock(m_Section);
    if (data == nullptr || n <= 0 || !IsOpen())
        return 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const int room = m_WriteSize - m_WriteFill;
    if (n < room) {
        std::memcpy(m_WriteBuffer + m_WriteFill, bytes, static_cast<size_t>(n));
        m_WriteFill += n;
        return n;
    }
    const int earlier = m_WriteFill;
    int64_t done;
    if (n < m_WriteSize) {
        // Fill the buffer up, write it whole and keep the rest.
        std::memcpy(m_WriteBuffer + m_WriteFill, bytes, static_cast<size_t>(room));
        done = WriteAll(m_File, m_WriteBuffer, m_WriteSize);
        if (done == m_WriteSize) {
            std::memcpy(m_WriteBuffer, bytes + room, static_cast<size_t>(n - room));
            m_WriteFill = n - room;
            return n;
        }
    } else {
        // Large data bypasses the buffer: the pending bytes and the caller's go down together.
        done = WriteAll(m_File, m_WriteBuffer, m_WriteFill, bytes, n);
        if (done == int64_t{earlier} + n) {
            m_WriteFill = 0;
            return n;
        }
    }
    // The file took only part. Keep what earlier calls were told was accepted; the caller's
    // bytes that did not go down are refused, not kept.
    if (done < earlier) {
        std::memmove(m_WriteBuffer, m_WriteBuffer + done, static_cast<size_t>(earlier - done));
        m_WriteFill = earlier - static_cast<int>(done);
        return 0;
    }
    m_WriteFill = 0;
    return static_cast<int>(done - earlier);
}

void StreamPipeFileCache::Flush() {
    CriticalSectionLock lock(m_Section);
    PushDown();
}

int StreamPipeFileCache::GetPendingOutput() {
    CriticalSectionLock lock(m_Section);
    return m_WriteFill;
}

int StreamPipeFileCache::Read() {
    CriticalSectionLock lock(m_Section);
    if (m_ReadPosition == m_ReadFill && Refill() == 0)
        return -1;
    return m_ReadBuffer[m_ReadPosition++];
}

int StreamPipeFileCache::Peek() {
    CriticalSectionLock lock(m_Section);
    if (m_ReadPosition == m_ReadFill && Refill() == 0)
        return -1;
    return m_ReadBuffer[m_ReadPosition];
}

int StreamPipeFileCache::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    if (buffer == nullptr || n <= 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const int buffered = m_ReadFill - m_ReadPosition;
    int delivered = n < buffered ? n : buffered;
    std::memcpy(out, m_ReadBuffer + m_ReadPosition, static_cast<size_t>(delivered));
    m_ReadPosition += delivered;
    const int rest = n - delivered;
    if (rest == 0)
        return delivered;
    if (rest < m_ReadSize) {
        // One read serves the rest and refills the buffer with what follows.
        m_ReadPosition = m_ReadFill = 0;
        const int64_t count =
            Platform::ReadFileScatter(m_File, out + delivered, static_cast<size_t>(rest),
                                      m_ReadBuffer, static_cast<size_t>(m_ReadSize));
        if (count <= 0)
            return delivered;
        if (count <= rest)
            return delivered + static_cast<int>(count);
        m_ReadFill = static_cast<int>(count) - rest;
        return delivered + rest;
    }
    const int64_t count = Platform::ReadFile(m_File, out + delivered, static_cast<size_t>(rest));
    return count > 0 ? delivered + static_cast<int>(count) : delivered;
}

int StreamPipeFileCache::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0)
        return -1;
    if (m_ReadPosition == m_ReadFill && Refill() == 0)
        return -1;
    if (offset < m_ReadFill - m_ReadPosition)
        return m_ReadBuffer[m_ReadPosition + offset];
    if (offset >= m_ReadSize)
        return -2;
    // Move the unread bytes to the front and fill the rest.
    const int unread = m_ReadFill - m_ReadPosition;
    std::memmove(m_ReadBuffer, m_ReadBuffer + m_ReadPosition, static_cast<size_t>(unread));
    m_ReadPosition = 0;
    m_ReadFill = unread;
    while (m_ReadFill <= offset) {
        const int64_t count = Platform::ReadFile(m_File, m_ReadBuffer + m_ReadFill,
                                                 static_cast<size_t>(m_ReadSize - m_ReadFill));
        if (count <= 0)
            break;
        m_ReadFill += static_cast<int>(count);
    }
    return offset < m_ReadFill ? m_ReadBuffer[offset] : -1;
}

int StreamPipeFileCache::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    if (n <= 0)
        return 0;
    const int buffered = m_ReadFill - m_ReadPosition;
    int skipped = n < buffered ? n : buffered;
    m_ReadPosition += skipped;
    while (skipped < n) {
        const int filled = Refill();
        if (filled == 0)
            break;
        const int take = n - skipped < filled ? n - skipped : filled;
        m_ReadPosition = take;
        skipped += take;
    }
    return skipped;
}

bool StreamPipeFileCache::Truncate() {
    CriticalSectionLock lock(m_Section);
    if (!PushDown() || ReturnReadAhead() < 0)
        return false;
    return StreamPipeFile::Truncate();
}

int64_t StreamPipeFileCache::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    if (!PushDown() || ReturnReadAhead() < 0)
        return -1;
    return StreamPipeFile::Seek(offset, origin);
}

bool StreamPipeFileCache::SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
    CriticalSectionLock lock(m_Section);
    // Output written later would move the write time again.
    PushDown();
    return StreamPipeFile::SetFileTime(created, accessed, written);
}

} // namespace Quorlix
