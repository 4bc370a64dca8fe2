#include "quorlix/stream/internal/ArchiveMemberPipe.h"

#include "quorlix/core/Obj.h"

#include <cstring>

namespace Quorlix::Internal {

ArchiveFileHandles* ArchiveFileHandles::Create(const std::string& path) {
    return NewObject<ArchiveFileHandles>(path);
}

ArchiveFileHandles::ArchiveFileHandles(const std::string& path) : m_Path(path) {}

ArchiveFileHandles::~ArchiveFileHandles() {
    Close();
}

Platform::FileHandle ArchiveFileHandles::Take() {
    {
        CriticalSectionLock lock(m_Section);
        if (m_KeptCount > 0)
            return m_Kept[--m_KeptCount];
    }
    return Platform::OpenFile(m_Path.c_str(), Platform::FileAccessRead,
                              Platform::FileDisposition::OpenExisting);
}

void ArchiveFileHandles::Give(Platform::FileHandle file) {
    if (file == Platform::FileHandle::Invalid)
        return;
    {
        CriticalSectionLock lock(m_Section);
        if (!m_Closed && m_KeptCount < k_Kept) {
            m_Kept[m_KeptCount++] = file;
            return;
        }
    }
    Platform::CloseFile(file);
}

void ArchiveFileHandles::Close() {
    CriticalSectionLock lock(m_Section);
    m_Closed = true;
    while (m_KeptCount > 0)
        Platform::CloseFile(m_Kept[--m_KeptCount]);
}

ArchiveMemberPipe* ArchiveMemberPipe::Create(ArchiveFileHandles* handles, Platform::FileHandle file,
                                             int64_t start, int64_t length) {
    return NewObject<ArchiveMemberPipe>(handles, file, start, length);
}

ArchiveMemberPipe::ArchiveMemberPipe(ArchiveFileHandles* handles, Platform::FileHandle file,
                                     int64_t start, int64_t length)
    : m_Handles(handles), m_File(file), m_Start(start > 0 ? start : 0),
      m_Length(length > 0 ? length : 0) {
    // start + length must stay a valid file position.
    if (m_Length > INT64_MAX - m_Start)
        m_Length = INT64_MAX - m_Start;
}

ArchiveMemberPipe::~ArchiveMemberPipe() {
    if (m_Handles)
        m_Handles->Give(m_File);
    else
        Platform::CloseFile(m_File);
}

int ArchiveMemberPipe::Refill() {
    m_ReadPosition = m_ReadFill = 0;
    const int64_t left = LeftInFile();
    const size_t want = left < k_BufferSize ? static_cast<size_t>(left) : k_BufferSize;
    if (want == 0)
        return 0;
    const int64_t count = Platform::ReadFile(m_File, m_Buffer, want);
    m_ReadFill = count > 0 ? static_cast<int>(count) : 0;
    return m_ReadFill;
}

int ArchiveMemberPipe::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    if (buffer == nullptr || n <= 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const int delivered = n < Buffered() ? n : Buffered();
    std::memcpy(out, m_Buffer + m_ReadPosition, static_cast<size_t>(delivered));
    m_ReadPosition += delivered;
    m_Position += delivered;
    const int64_t left = LeftInFile();
    const int rest = n - delivered < left ? n - delivered : static_cast<int>(left);
    if (rest <= 0)
        return delivered;
    int64_t count;
    if (rest >= k_BufferSize) {
        count = Platform::ReadFile(m_File, out + delivered, static_cast<size_t>(rest));
    } else {
        // One call serves the rest and refills the buffer with what follows in the range.
        const int64_t after = left - rest;
        m_ReadPosition = m_ReadFill = 0;
        count = Platform::ReadFileScatter(
            m_File, out + delivered, static_cast<size_t>(rest), m_Buffer,
            after < k_BufferSize ? static_cast<size_t>(after) : k_BufferSize);
        if (count > rest) {
            m_ReadFill = static_cast<int>(count - rest);
            count = rest;
        }
    }
    if (count <= 0)
        return delivered;
    m_Position += count;
    return delivered + static_cast<int>(count);
}

int ArchiveMemberPipe::Read() {
    CriticalSectionLock lock(m_Section);
    if (Buffered() == 0 && Refill() == 0)
        return -1;
    ++m_Position;
    return m_Buffer[m_ReadPosition++];
}

int ArchiveMemberPipe::Peek() {
    CriticalSectionLock lock(m_Section);
    if (Buffered() == 0 && Refill() == 0)
        return -1;
    return m_Buffer[m_ReadPosition];
}

int ArchiveMemberPipe::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0 || offset >= m_Length - m_Position)
        return -1;
    if (offset < Buffered())
        return m_Buffer[m_ReadPosition + offset];
    if (offset >= k_BufferSize)
        return -2;
    // Move the unread bytes to the front and read on behind them.
    const int unread = Buffered();
    std::memmove(m_Buffer, m_Buffer + m_ReadPosition, static_cast<size_t>(unread));
    m_ReadPosition = 0;
    m_ReadFill = unread;
    while (m_ReadFill <= offset) {
        const int64_t left = LeftInFile();
        const int room = k_BufferSize - m_ReadFill;
        const int64_t count = Platform::ReadFile(m_File, m_Buffer + m_ReadFill,
                                                 static_cast<size_t>(left < room ? left : room));
        if (count <= 0)
            return -1;
        m_ReadFill += static_cast<int>(count);
    }
    return m_Buffer[offset];
}

int ArchiveMemberPipe::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    if (n <= 0)
        return 0;
    const int taken = n < Buffered() ? n : Buffered();
    m_ReadPosition += taken;
    m_Position += taken;
    const int64_t left = LeftInFile();
    const int rest = n - taken < left ? n - taken : static_cast<int>(left);
    if (rest <= 0 || Platform::SeekFile(m_File, rest, SeekCurrent) < 0)
        return taken;
    m_Position += rest;
    return taken + rest;
}

int64_t ArchiveMemberPipe::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    int64_t base;
    switch (origin) {
    case SeekBegin:
        base = 0;
        break;
    case SeekCurrent:
        base = m_Position;
        break;
    case SeekEnd:
        base = m_Length;
        break;
    default:
        return -1;
    }
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target))
        target = offset < 0 ? 0 : m_Length;
    target = target < 0 ? 0 : target > m_Length ? m_Length : target;
    // Within the buffer nothing needs to move.
    if (target >= m_Position && target - m_Position <= Buffered()) {
        m_ReadPosition += static_cast<int>(target - m_Position);
        m_Position = target;
        return m_Position;
    }
    const int64_t filePosition = m_Start + m_Position + Buffered();
    if (Platform::SeekFile(m_File, m_Start + target, SeekBegin) != m_Start + target) {
        Platform::SeekFile(m_File, filePosition, SeekBegin);
        return -1;
    }
    m_ReadPosition = m_ReadFill = 0;
    m_Position = target;
    return m_Position;
}

void ArchiveMemberPipe::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    CriticalSectionLock lock(m_Section);
    created = m_Times[0];
    accessed = m_Times[1];
    written = m_Times[2];
}

bool ArchiveMemberPipe::SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
    CriticalSectionLock lock(m_Section);
    const uint64_t times[3] = {created, accessed, written};
    for (int i = 0; i < 3; ++i)
        if (times[i] != 0)
            m_Times[i] = times[i];
    return false;
}

} // namespace Quorlix::Internal
