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
    m_WriteBuffer = static_cast<unsigned char*>(Platform::AllocatePages(k_BufferSize));
    if (m_WriteBuffer == nullptr)
        Platform::ReportOutOfMemory();
}

StreamPipeFileCache::~StreamPipeFileCache() {
    if (!PushDown()) {
        Xreport.pLockWarn() << "StreamPipeFileCache::~StreamPipeFileCache: " << m_WriteFill
                            << " bytes could not be written.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    Platform::FreePages(m_WriteBuffer, k_BufferSize);
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

int StreamPipeFileCache::FillBuffer(unsigned char* data, int size) {
    const int64_t count = Platform::ReadFile(m_File, data, static_cast<size_t>(size));
    return count > 0 ? static_cast<int>(count) : 0;
}

int StreamPipeFileCache::ReadAndRefill(unsigned char* data, int size) {
    const int64_t count = Platform::ReadFileScatter(m_File, data, static_cast<size_t>(size),
                                                    GetBuffer(), k_BufferSize);
    if (count <= 0)
        return 0;
    if (count <= size)
        return static_cast<int>(count);
    SetBuffered(static_cast<int>(count) - size);
    return size;
}

// Moves the file pointer back over the unread part of the read buffer and empties it, so that
// the file position is the logical one. -1 when the file cannot move (the buffer is then kept).
int StreamPipeFileCache::ReturnReadAhead() {
    const int unread = GetBuffered();
    if (unread > 0 && Platform::SeekFile(m_File, -int64_t{unread}, SeekCurrent) < 0)
        return -1;
    DropBuffered();
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
    return BufferedReader::Read();
}

int StreamPipeFileCache::Peek() {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Peek();
}

int StreamPipeFileCache::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Read(buffer, n);
}

int StreamPipeFileCache::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::PeekAt(offset);
}

int StreamPipeFileCache::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Skip(n);
}

bool StreamPipeFileCache::Truncate() {
    CriticalSectionLock lock(m_Section);
    if (!PushDown() || ReturnReadAhead() < 0)
        return false;
    return StreamPipeFile::Truncate();
}

int64_t StreamPipeFileCache::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    // Asking where reading stands keeps the read-ahead: dropping it would cost a read for
    // every question (a progress bar asks once per statement).
    if (offset == 0 && origin == SeekCurrent && m_WriteFill == 0) {
        const int64_t position = StreamPipeFile::Seek(0, SeekCurrent);
        return position < 0 ? position : position - GetBuffered();
    }
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
