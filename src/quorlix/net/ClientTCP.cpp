#include "quorlix/net/ClientTCP.h"

#include "quorlix/platform/Socket.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <climits>
#include <cstring>

namespace Quorlix {

using Platform::SocketHandle;

namespace {

// The generic line of a failed socket call: the system's text of the last error.
void LogSocketError() {
    Internal::LogScriptError("WSAERROR: ", Platform::LastSocketErrorText().c_str(), "\r");
}

// Seconds and microseconds as a poll time-out, clamped; negative parts count as 0.
int Milliseconds(int64_t seconds, int64_t microseconds) {
    const int64_t total =
        (seconds < 0 ? 0 : seconds) * 1000 + ((microseconds < 0 ? 0 : microseconds) + 999) / 1000;
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

// Whether a receive error means the connection is gone (its text is logged, the socket
// closed); the others are reported as a time-out.
bool IsLostOnReceive(int error) {
    switch (error) {
    case 10022:
    case 10024:
    case 10038:
    case 10040:
    case 10050:
    case 10053:
    case 10054:
    case 10057:
    case 10060:
    case 10093:
        return true;
    default:
        return false;
    }
}

} // namespace

const char* ErrorTextTCP(int error) noexcept {
    switch (error) {
    case 10022:
        return "Invalid argument.";
    case 10024:
        return "Too many open files.";
    case 10038:
        return "Socket operation on non-socket.";
    case 10040:
        return "Message too long.";
    case 10050:
        return "Network is down.";
    case 10053:
        return "Software caused connection abort.";
    case 10054:
        return "Connection reset by peer.";
    case 10060:
        return "Connection timed out.";
    case 10093:
        return "Winsocket not initialized.";
    default:
        return "Unknown error.";
    }
}

ClientTCP* ClientTCP::Create() {
    return NewObject<ClientTCP>();
}

bool ClientTCP::InitWinsock() {
    return true;
}

String ClientTCP::GetHostName() {
    std::string name;
    if (!Platform::LocalHostName(name)) {
        LogSocketError();
        return String();
    }
    return String(name.c_str());
}

unsigned ClientTCP::GetHostAddress(const StringRef& name) {
    uint32_t address = 0;
    return Platform::ResolveIPv4(name.GetCPtr(), address) ? address : 0;
}

String ClientTCP::GetIPAddressAsString(const StringRef& name) {
    return String(Platform::FormatIPv4(GetHostAddress(name)).c_str());
}

ClientTCP::ClientTCP() : m_Socket(SocketHandle::Invalid) {
    InitWinsock();
    m_Packet.Resize(k_PacketSize);
}

ClientTCP::~ClientTCP() {
    Disconnect();
}

void ClientTCP::SetSocket(SocketHandle socket) {
    if (m_Socket != SocketHandle::Invalid && m_Socket != socket)
        Disconnect();
    m_Socket = socket;
}

void ClientTCP::SetHost(const StringRef& host) {
    m_Host = host;
}

void ClientTCP::SetPort(int port) {
    m_Port = port;
}

bool ClientTCP::Connect(const StringRef& host, int port) {
    m_Host = host;
    m_Port = port;
    return Connect();
}

bool ClientTCP::Connect() {
    Disconnect();
    if (m_Port < 1 || m_Port > 65535) {
        Internal::LogScriptError("ClientTCP::Connect: port ", m_Port, " of ", m_Host.Ref(),
                                 " is outside 1..65535.");
        return false;
    }
    uint32_t address = 0;
    if (!Platform::ResolveIPv4(m_Host.GetCPtr(), address)) {
        Internal::LogScriptError("ClientTCP::Connect: cannot resolve \"", m_Host.Ref(), "\".");
        return false;
    }
    const SocketHandle socket = Platform::CreateStreamSocket();
    if (socket == SocketHandle::Invalid) {
        Internal::LogScriptError("Could not create socket.");
        return false;
    }
    if (!Platform::ConnectSocket(socket, address, m_Port)) {
        LogSocketError();
        Platform::CloseSocket(socket);
        return false;
    }
    m_Socket = socket;
    Platform::SetSocketNoDelay(m_Socket, true);
    return true;
}

bool ClientTCP::Disconnect() {
    if (m_Socket == SocketHandle::Invalid)
        return false;
    Platform::ShutdownSocket(m_Socket);
    const bool closed = Platform::CloseSocket(m_Socket);
    m_Socket = SocketHandle::Invalid;
    return closed;
}

void ClientTCP::CloseAfterFailure() {
    if (m_Socket == SocketHandle::Invalid)
        return;
    // The connection failed: no shutdown handshake, just give the descriptor back.
    Platform::CloseSocket(m_Socket);
    m_Socket = SocketHandle::Invalid;
}

bool ClientTCP::Coalesce(bool flag) {
    return IsConnected() && Platform::SetSocketNoDelay(m_Socket, flag);
}

int ClientTCP::Send(const char* text) {
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    return Send(text, length > INT_MAX ? INT_MAX : static_cast<int>(length));
}

int ClientTCP::Send(const char* data, int n) {
    if (!IsConnected())
        return TCPNotConnected;
    if (data == nullptr || n <= 0)
        return TCPSendFailed;
    const int64_t sent = Platform::SendSocket(m_Socket, data, static_cast<size_t>(n));
    if (sent >= 0)
        return static_cast<int>(sent);
    const int error = Platform::LastSocketError();
    if (error == 10053 || error == 10054 || error == 10060) {
        Internal::LogScriptError(ErrorTextTCP(error));
        CloseAfterFailure();
        return TCPConnectionLost;
    }
    return TCPSendFailed;
}

bool ClientTCP::WaitReadable(int milliseconds) {
    return WaitFor(Platform::SocketReadable, milliseconds);
}

bool ClientTCP::WaitFor(int events, int milliseconds) {
    const int ready = Platform::PollSocket(m_Socket, events, milliseconds);
    if (ready == Platform::SocketFailed) {
        Internal::LogScriptError(ErrorTextTCP(Platform::TakeSocketError(m_Socket)));
        CloseAfterFailure();
        return false;
    }
    if (ready < 0) {
        LogSocketError();
        return false;
    }
    return ready != 0;
}

int ClientTCP::ReceiveOnce(char* buffer, int size, bool peek) {
    const int64_t got = Platform::ReceiveSocket(m_Socket, buffer, static_cast<size_t>(size), peek);
    if (got > 0)
        return static_cast<int>(got);
    if (got == 0) {
        CloseAfterFailure();
        return TCPNotConnected;
    }
    const int error = Platform::LastSocketError();
    if (IsLostOnReceive(error)) {
        Internal::LogScriptError(ErrorTextTCP(error));
        CloseAfterFailure();
        return TCPConnectionLost;
    }
    // Nothing waiting on a non-blocking socket is not worth a log line.
    if (error != Platform::SocketErrorWouldBlock)
        LogSocketError();
    return TCPTimedOut;
}

int ClientTCP::Receive(char* buffer, int size, int timeout) {
    if (!IsConnected())
        return TCPNotConnected;
    if (buffer == nullptr || size <= 0)
        return 0;
    if (timeout > 0 && !WaitReadable(Milliseconds(timeout, 0)))
        return IsConnected() ? TCPTimedOut : TCPConnectionLost;
    return ReceiveOnce(buffer, size, false);
}

int ClientTCP::ReceiveLine(char* buffer, int size, int timeout) {
    if (!IsConnected() || buffer == nullptr || size < 1)
        return 0;
    int stored = 0;
    buffer[0] = '\0';
    // One byte of the buffer always stays for the terminator.
    while (size - 1 - stored > 0) {
        if (timeout > 0 && !WaitReadable(Milliseconds(timeout, 0)))
            break;
        const int peeked = ReceiveOnce(buffer + stored, size - 1 - stored, true);
        if (peeked <= 0)
            break;
        const auto* feed = static_cast<const char*>(
            std::memchr(buffer + stored, '\n', static_cast<size_t>(peeked)));
        const int take = feed != nullptr ? static_cast<int>(feed - (buffer + stored)) + 1 : peeked;
        // The bytes are waiting: this receive takes exactly those that were peeked at.
        const int got = ReceiveOnce(buffer + stored, take, false);
        if (got <= 0)
            break;
        stored += got;
        buffer[stored] = '\0';
        if (feed != nullptr && got == take)
            break;
    }
    return stored;
}

bool ClientTCP::IsReadyToReceive(bool poll) {
    return IsConnected() && WaitReadable(poll ? 0 : -1);
}

bool ClientTCP::IsReadyToSend(bool poll) {
    if (!IsConnected())
        return false;
    return WaitFor(Platform::SocketWritable, poll ? 0 : -1);
}

bool ClientTCP::WaitForReceive(int seconds, int microseconds) {
    return IsConnected() && (Platform::PollSocket(m_Socket, Platform::SocketReadable,
                                                  Milliseconds(seconds, microseconds)) &
                             Platform::SocketReadable) != 0;
}

bool ClientTCP::WaitForSend(int seconds, int microseconds) {
    return IsConnected() && (Platform::PollSocket(m_Socket, Platform::SocketWritable,
                                                  Milliseconds(seconds, microseconds)) &
                             Platform::SocketWritable) != 0;
}

bool ClientTCP::IsConnected() const {
    return m_Socket != SocketHandle::Invalid;
}

int ClientTCP::IsDataAvailable() {
    return IsConnected() ? Platform::SocketPendingBytes(m_Socket) : -1;
}

bool ClientTCP::SetNonBlocking(bool on) {
    return IsConnected() && Platform::SetSocketNonBlocking(m_Socket, on);
}

void ClientTCP::SetPacketSize(int n) {
    if (n > m_Packet.Capacity())
        m_Packet.Reserve(n);
}

int ClientTCP::GetPacketSize() const {
    return m_Packet.Size();
}

char* ClientTCP::GetPacketBuffer() {
    m_Packet.MakePrivate();
    return const_cast<char*>(m_Packet.Data());
}

void ClientTCP::ClearPacketBuffer() {
    const int capacity = m_Packet.Capacity();
    Array<char> fresh;
    fresh.Reserve(capacity);
    m_Packet = static_cast<Array<char>&&>(fresh);
}

} // namespace Quorlix
