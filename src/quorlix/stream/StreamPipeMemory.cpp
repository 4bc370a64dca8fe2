#include "quorlix/stream/StreamPipeMemory.h"

#include <climits>
#include <cstring>

namespace Quorlix {

StreamPipeMemory* StreamPipeMemory::Create() {
    return NewObject<StreamPipeMemory>();
}

StreamPipeMemory* StreamPipeMemory::Create(const void* data, int size) {
    StreamPipeMemory* pipe = NewObject<StreamPipeMemory>();
    if (data != nullptr && size > 0) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        pipe->m_Bytes.assign(bytes, bytes + size);
    }
    return pipe;
}

int StreamPipeMemory::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    const int available = GetSize() - m_Position;
    if (buffer == nullptr || n <= 0 || available <= 0)
        return 0;
    const int count = n < available ? n : available;
    std::memcpy(buffer, m_Bytes.data() + m_Position, static_cast<size_t>(count));
    m_Position += count;
    return count;
}

int StreamPipeMemory::Read() {
    CriticalSectionLock lock(m_Section);
    return m_Position < GetSize() ? m_Bytes[static_cast<size_t>(m_Position++)] : -1;
}

int StreamPipeMemory::Peek() {
    return PeekAt(0);
}

int StreamPipeMemory::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0)
        return -1;
    const int64_t at = int64_t{m_Position} + offset;
    return at < GetSize() ? m_Bytes[static_cast<size_t>(at)] : -1;
}

int StreamPipeMemory::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    const int available = GetSize() - m_Position;
    if (n <= 0 || available <= 0)
        return 0;
    const int count = n < available ? n : available;
    m_Position += count;
    return count;
}

int StreamPipeMemory::Write(const void* data, int n) {
    CriticalSectionLock lock(m_Section);
    if (data == nullptr || n <= 0)
        return 0;
    const int room = INT_MAX - m_Position;
    const int count = n < room ? n : room;
    const size_t end = static_cast<size_t>(m_Position) + static_cast<size_t>(count);
    if (end > m_Bytes.size())
        m_Bytes.resize(end);
    std::memcpy(m_Bytes.data() + m_Position, data, static_cast<size_t>(count));
    m_Position += count;
    return count;
}

bool StreamPipeMemory::Truncate() {
    CriticalSectionLock lock(m_Section);
    m_Bytes.resize(static_cast<size_t>(m_Position));
    return true;
}

int64_t StreamPipeMemory::Seek(int64_t offset, int origin) {
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
        base = GetSize();
        break;
    default:
        return -1;
    }
    // Offsets come from callers and files: keep the sum from wrapping.
    if (offset > INT_MAX || offset < -int64_t{INT_MAX})
        return -1;
    const int64_t position = base + offset;
    if (position < 0 || position > GetSize())
        return -1;
    m_Position = static_cast<int>(position);
    return position;
}

} // namespace Quorlix
