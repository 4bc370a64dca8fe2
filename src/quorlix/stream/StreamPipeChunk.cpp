#include "quorlix/stream/StreamPipeChunk.h"

namespace Quorlix {

StreamPipeChunk* StreamPipeChunk::Create(StreamPipe* inner, int64_t start, int64_t length) {
    return NewObject<StreamPipeChunk>(inner, start, length);
}

StreamPipeChunk::StreamPipeChunk(StreamPipe* inner, int64_t start, int64_t length)
    : StreamPipeFilter(inner), m_Start(start > 0 ? start : 0), m_Length(length > 0 ? length : 0) {
    // start + length must stay a valid inner position.
    if (m_Length > INT64_MAX - m_Start)
        m_Length = INT64_MAX - m_Start;
}

int StreamPipeChunk::Allowed(int64_t n) const noexcept {
    const int64_t left = m_Length - m_Position;
    if (n <= 0 || left <= 0)
        return 0;
    return static_cast<int>(n < left ? n : left);
}

int StreamPipeChunk::Read(void* buffer, int n) {
    const int allowed = Allowed(n);
    if (buffer == nullptr || allowed == 0)
        return 0;
    const int count = m_Inner->Read(buffer, allowed);
    if (count <= 0)
        return 0;
    m_Position += count;
    return count;
}

int StreamPipeChunk::Read() {
    if (Allowed(1) == 0)
        return -1;
    const int byte = m_Inner->Read();
    if (byte >= 0)
        ++m_Position;
    return byte;
}

int StreamPipeChunk::Peek() {
    return Allowed(1) == 0 ? -1 : m_Inner->Peek();
}

int StreamPipeChunk::PeekAt(int offset) {
    if (offset < 0 || Allowed(int64_t{offset} + 1) <= offset)
        return -1;
    return m_Inner->PeekAt(offset);
}

int StreamPipeChunk::Skip(int n) {
    const int allowed = Allowed(n);
    if (allowed == 0)
        return 0;
    const int count = m_Inner->Skip(allowed);
    if (count <= 0)
        return 0;
    m_Position += count;
    return count;
}

int64_t StreamPipeChunk::Seek(int64_t offset, int origin) {
    const int64_t target = ClampedSeekTarget(offset, origin, m_Position, m_Length);
    if (target < 0)
        return -1;
    const int64_t reached = m_Inner->Seek(m_Start + target, SeekBegin);
    // An inner pipe that failed, or landed outside the range, leaves the chunk
    // where it was: a position outside the range would let reads run past its
    // end.
    if (reached < m_Start || reached - m_Start > m_Length)
        return -1;
    m_Position = reached - m_Start;
    return m_Position;
}

void StreamPipeChunk::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    created = accessed = 0;
    written = m_WriteTime;
}

bool StreamPipeChunk::SetFileTime(uint64_t, uint64_t, uint64_t written) {
    m_WriteTime = written;
    return false;
}

} // namespace Quorlix
