#include "quorlix/net/StreamPipeTCP.h"

#include "quorlix/net/ClientTCP.h"

#include <cstring>

namespace Quorlix {

StreamPipeTCP* StreamPipeTCP::Create(ClientTCP* client, int timeout) {
    return NewObject<StreamPipeTCP>(client, timeout);
}

StreamPipeTCP::StreamPipeTCP(ClientTCP* client, int timeout)
    : m_Client(client), m_Timeout(timeout > 0 ? timeout : 0) {}

StreamPipeTCP::~StreamPipeTCP() {
    SendPending();
}

int StreamPipeTCP::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Read(buffer, n);
}

int StreamPipeTCP::Read() {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Read();
}

int StreamPipeTCP::Peek() {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Peek();
}

int StreamPipeTCP::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::PeekAt(offset);
}

int StreamPipeTCP::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Skip(n);
}

int StreamPipeTCP::FillBuffer(unsigned char* data, int size) {
    if (!m_Client || !m_Client->IsConnected())
        return 0;
    // Script text is answered by script text: send what the other side may be waiting for.
    SendPending();
    const int got = m_Client->Receive(reinterpret_cast<char*>(data), size, m_Timeout);
    return got > 0 ? got : 0;
}

bool StreamPipeTCP::SendPending() {
    int sent = 0;
    while (sent < m_WriteFill) {
        const int piece = m_Client
                              ? m_Client->Send(reinterpret_cast<const char*>(m_WriteBuffer) + sent,
                                               m_WriteFill - sent)
                              : TCPNotConnected;
        if (piece <= 0) {
            // A connection that failed takes nothing more: drop what it refused.
            m_WriteFill = 0;
            return false;
        }
        sent += piece;
    }
    m_WriteFill = 0;
    return true;
}

int StreamPipeTCP::Write(const void* data, int n) {
    CriticalSectionLock lock(m_Section);
    if (data == nullptr || n <= 0 || !m_Client || !m_Client->IsConnected())
        return 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (n < k_BufferSize - m_WriteFill) {
        std::memcpy(m_WriteBuffer + m_WriteFill, bytes, static_cast<size_t>(n));
        m_WriteFill += n;
        return n;
    }
    if (!SendPending())
        return 0;
    if (n < k_BufferSize) {
        std::memcpy(m_WriteBuffer, bytes, static_cast<size_t>(n));
        m_WriteFill = n;
        return n;
    }
    // Large data goes straight to the socket.
    int sent = 0;
    while (sent < n) {
        const int piece = m_Client->Send(reinterpret_cast<const char*>(bytes) + sent, n - sent);
        if (piece <= 0)
            break;
        sent += piece;
    }
    return sent;
}

void StreamPipeTCP::Flush() {
    CriticalSectionLock lock(m_Section);
    SendPending();
}

} // namespace Quorlix
