#include "support/FaultPipe.h"

namespace QuorlixTest {

bool FaultPipe::Fires(Trigger& trigger) {
    if (trigger.m_Fault == Fault::None)
        return false;
    if (trigger.m_Calls > 0) {
        --trigger.m_Calls;
        return false;
    }
    if (trigger.m_Fault == Fault::Once)
        trigger.m_Fault = Fault::None;
    return true;
}

int FaultPipe::Allowed(int n) const {
    if (m_Cut < 0)
        return n;
    const int64_t left = m_Cut - m_Position;
    return left <= 0 ? 0 : left < n ? static_cast<int>(left) : n;
}

int FaultPipe::Read(void* buffer, int n) {
    if (Fires(m_Reads))
        return 0;
    if (m_Trickle > 0 && n > m_Trickle)
        n = m_Trickle;
    n = Allowed(n);
    if (n <= 0)
        return 0;
    const int count = m_Inner->Read(buffer, n);
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (int i = 0; i < count; ++i)
        bytes[i] = Flip(m_Position + i, bytes[i]);
    m_Position += count > 0 ? count : 0;
    return count;
}

int FaultPipe::Read() {
    if (Fires(m_Reads) || Allowed(1) == 0)
        return -1;
    const int byte = m_Inner->Read();
    if (byte < 0)
        return byte;
    return Flip(m_Position++, static_cast<unsigned char>(byte));
}

int FaultPipe::PeekAt(int offset) {
    if (Fires(m_Reads))
        return -1;
    if (m_LookAhead >= 0 && offset >= m_LookAhead)
        return -2;
    if (m_Cut >= 0 && offset >= 0 && m_Position + offset >= m_Cut)
        return -1;
    const int byte = m_Inner->PeekAt(offset);
    return byte < 0 ? byte : Flip(m_Position + offset, static_cast<unsigned char>(byte));
}

int FaultPipe::Skip(int n) {
    if (Fires(m_Reads))
        return 0;
    const int count = m_Inner->Skip(Allowed(n));
    m_Position += count > 0 ? count : 0;
    return count;
}

int FaultPipe::Write(const void* data, int n) {
    if (Fires(m_Writes))
        return 0;
    const int count = m_Inner->Write(data, n);
    m_Position += count > 0 ? count : 0;
    return count;
}

int64_t FaultPipe::Seek(int64_t offset, int origin) {
    if (Fires(m_Seeks))
        return -1;
    if (origin == Quorlix::SeekEnd && m_ClaimedSize >= 0)
        return m_ClaimedSize + offset;
    const int64_t position = m_Inner->Seek(offset, origin);
    if (position >= 0)
        m_Position = position;
    return position;
}

} // namespace QuorlixTest
