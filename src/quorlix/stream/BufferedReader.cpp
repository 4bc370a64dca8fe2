#include "quorlix/stream/BufferedReader.h"

#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"

#include <cstring>

namespace Quorlix {

BufferedReader::BufferedReader(int granule)
    : m_Granule(granule >= 1 && granule <= 4096 ? granule : 1), m_Owned(true), m_OwnsPages(true) {
    // One granule more than a refill takes: look-ahead tops up with whole granules behind any
    // count of unread bytes and still reaches offset 8191.
    m_Capacity = k_BufferSize + m_Granule - 1;
    m_Buffer =
        static_cast<unsigned char*>(Platform::AllocatePages(static_cast<size_t>(m_Capacity)));
    if (m_Buffer == nullptr)
        Platform::ReportOutOfMemory();
}

BufferedReader::BufferedReader(const void* data, int size)
    : m_Buffer(static_cast<unsigned char*>(const_cast<void*>(data))),
      m_Fill(data != nullptr && size > 0 ? size : 0), m_Capacity(m_Fill), m_Granule(1),
      m_Owned(false), m_OwnsPages(false) {}

BufferedReader::BufferedReader(unsigned char (&buffer)[k_BufferSize])
    : m_Buffer(buffer), m_Capacity(k_BufferSize), m_Granule(1), m_Owned(true), m_OwnsPages(false) {}

BufferedReader::~BufferedReader() {
    if (m_OwnsPages)
        Platform::FreePages(m_Buffer, static_cast<size_t>(m_Capacity));
}

int BufferedReader::Refill() {
    m_Position = m_Fill = 0;
    if (!m_Owned)
        return 0;
    const int count = FillBuffer(m_Buffer, k_BufferSize);
    m_Fill = count > 0 ? count : 0;
    return m_Fill;
}

int BufferedReader::ReadRefill() {
    return Refill() > 0 ? m_Buffer[m_Position++] : -1;
}

int BufferedReader::PeekRefill() {
    return Refill() > 0 ? m_Buffer[m_Position] : -1;
}

int BufferedReader::PeekAtRefill(int offset) {
    if (offset < 0)
        return -1;
    if (m_Position == m_Fill && Refill() == 0)
        return -1;
    if (offset >= k_BufferSize)
        return -2;
    if (offset < m_Fill - m_Position)
        return m_Buffer[m_Position + offset];
    if (!m_Owned)
        return -1;
    const int unread = m_Fill - m_Position;
    std::memmove(m_Buffer, m_Buffer + m_Position, static_cast<size_t>(unread));
    m_Position = 0;
    m_Fill = unread;
    while (m_Fill <= offset) {
        const int room = (m_Capacity - m_Fill) / m_Granule * m_Granule;
        const int count = FillBuffer(m_Buffer + m_Fill, room);
        if (count <= 0)
            break;
        m_Fill += count;
    }
    return offset < m_Fill ? m_Buffer[offset] : -1;
}

int BufferedReader::ReadAndRefill(unsigned char* data, int size) {
    const int filled = Refill();
    const int count = size < filled ? size : filled;
    std::memcpy(data, m_Buffer, static_cast<size_t>(count));
    m_Position = count;
    return count;
}

// Requests the buffer cannot serve alone.
int BufferedReader::ReadMore(void* buffer, int n) {
    if (buffer == nullptr || n <= 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const int buffered = m_Fill - m_Position;
    int delivered = n < buffered ? n : buffered;
    std::memcpy(out, m_Buffer + m_Position, static_cast<size_t>(delivered));
    m_Position += delivered;
    int rest = n - delivered;
    if (rest == 0 || !m_Owned)
        return delivered;
    if (rest >= k_BufferSize) {
        m_Position = m_Fill = 0;
        const int direct = rest - rest % m_Granule;
        const int count = ReadDirect(out + delivered, direct);
        if (count <= 0)
            return delivered;
        delivered += count;
        rest -= count;
        // Less than a granule is left, or the source gave less than asked.
        if (count < direct || rest == 0)
            return delivered;
    }
    m_Position = m_Fill = 0;
    const int count = ReadAndRefill(out + delivered, rest);
    return count > 0 ? delivered + count : delivered;
}

int BufferedReader::Skip(int n) {
    if (n <= 0)
        return 0;
    const int buffered = m_Fill - m_Position;
    int skipped = n < buffered ? n : buffered;
    m_Position += skipped;
    while (skipped < n) {
        const int filled = Refill();
        if (filled == 0)
            break;
        const int take = n - skipped < filled ? n - skipped : filled;
        m_Position = take;
        skipped += take;
    }
    return skipped;
}

} // namespace Quorlix
