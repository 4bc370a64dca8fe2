#include "quorlix/net/ServerTCP.h"

#include "quorlix/net/ClientTCP.h"
#include "quorlix/platform/Socket.h"
#include "quorlix/platform/Thread.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/script/internal/ScriptLog.h"

namespace Quorlix {

using Platform::SocketHandle;

namespace {

constexpr int k_Backlog = 0x7FFFFFFF;
// How long the accept loop rests when the process is out of descriptors, so that it does not
// spin while connections wait.
constexpr int k_DescriptorBackoffMs = 50;

void LogBindFailure() {
    switch (Platform::LastSocketError()) {
    case Platform::SocketErrorAddressInUse:
        Internal::LogScriptError("Address already in use.");
        break;
    case Platform::SocketErrorAddressMissing:
        Internal::LogScriptError("Cannot assign requested address.");
        break;
    default:
        Internal::LogScriptError("WSAERROR: ", Platform::LastSocketErrorText().c_str(), "\r");
        break;
    }
}

// A listening socket on `address` and `port`, or Invalid after logging why.
SocketHandle Listen(unsigned address, int port, bool logAsAccept) {
    const SocketHandle socket = Platform::CreateStreamSocket();
    if (socket == SocketHandle::Invalid) {
        Internal::LogScriptError("WSAERROR: ", Platform::LastSocketErrorText().c_str(), "\r");
        if (logAsAccept)
            Internal::LogScriptError("Cannot create socket");
        return SocketHandle::Invalid;
    }
    if (port < 0 || port > 65535 || !Platform::BindSocket(socket, address, port)) {
        if (logAsAccept)
            Internal::LogScriptError("Unable to bind.");
        else if (port < 0 || port > 65535)
            Internal::LogScriptError("ServerTCP::Start: port ", port, " is outside 0..65535.");
        else
            LogBindFailure();
        Platform::CloseSocket(socket);
        return SocketHandle::Invalid;
    }
    if (!Platform::ListenSocket(socket, k_Backlog)) {
        Internal::LogScriptError(logAsAccept ? "Unable to listen"
                                             : "ServerTCP::Start: listen failed.");
        Platform::CloseSocket(socket);
        return SocketHandle::Invalid;
    }
    return socket;
}

} // namespace

ServerTCP* ServerTCP::Create() {
    return NewObject<ServerTCP>();
}

ServerTCP::ServerTCP() : m_Listening(SocketHandle::Invalid) {
    ClientTCP::InitWinsock();
}

ServerTCP::~ServerTCP() {
    Stop();
}

void ServerTCP::SetHost(const StringRef& host) {
    m_Host = host;
    m_Address = ClientTCP::GetHostAddress(host);
}

const String& ServerTCP::GetHost() const {
    return m_Host;
}

void ServerTCP::SetPort(int port) {
    m_Port = port;
}

int ServerTCP::GetPort() const {
    return m_Port;
}

void ServerTCP::SetHandshakeCallback(HandshakeCallback callback) {
    m_Callback = callback;
}

bool ServerTCP::Start() {
    if (IsRunning()) {
        Internal::LogScriptError("ServerTCP::Start: the server runs already.");
        return false;
    }
    m_Listening = Listen(m_Address, m_Port, false);
    if (m_Listening == SocketHandle::Invalid)
        return false;
    if (m_Port == 0)
        m_Port = Platform::SocketLocalPort(m_Listening);
    m_Stopping.store(false);
    // The thread gets its own copy: a later SetHandshakeCallback is for the next Start.
    m_ActiveCallback = m_Callback;
    m_Thread = Platform::StartThread(&ServerThread, this);
    if (m_Thread == nullptr) {
        Internal::LogScriptError("Could not create ServerThread.");
        Platform::CloseSocket(m_Listening);
        m_Listening = SocketHandle::Invalid;
        return false;
    }
    return true;
}

void ServerTCP::Stop() {
    if (!IsRunning())
        return;
    m_Stopping.store(true);
    // Wakes the accept; the socket is closed only after the thread is gone, so its number
    // cannot be reused under the loop.
    Platform::ShutdownSocket(m_Listening);
    Platform::JoinThread(m_Thread);
    m_Thread = nullptr;
    Platform::CloseSocket(m_Listening);
    m_Listening = SocketHandle::Invalid;
}

void ServerTCP::ServerThread(void* server) {
    static_cast<ServerTCP*>(server)->AcceptLoop();
}

void ServerTCP::AcceptLoop() {
    bool outOfDescriptors = false;
    while (!m_Stopping.load()) {
        const SocketHandle accepted = Platform::AcceptSocket(m_Listening);
        if (accepted == SocketHandle::Invalid) {
            if (m_Stopping.load())
                break;
            if (Platform::LastSocketError() == Platform::SocketErrorTooManyFiles) {
                // Connections stay queued until descriptors come back; say so once.
                if (!outOfDescriptors)
                    Internal::LogScriptError("ServerTCP: ",
                                             ErrorTextTCP(Platform::SocketErrorTooManyFiles));
                outOfDescriptors = true;
                Platform::SleepMilliseconds(k_DescriptorBackoffMs);
                continue;
            }
            Internal::LogScriptError("Accept failed.");
            break;
        }
        outOfDescriptors = false;
        // Like a connection of ClientTCP::Connect: small writes leave at once.
        Platform::SetSocketNoDelay(accepted, true);
        Obj<ClientTCP> client(ClientTCP::Create());
        client->SetSocket(accepted);
        if (m_ActiveCallback != nullptr)
            m_ActiveCallback(client);
    }
}

ClientTCP* ServerTCP::Accept(const StringRef& host, int port) {
    const SocketHandle listening = Listen(ClientTCP::GetHostAddress(host), port, true);
    if (listening == SocketHandle::Invalid)
        return nullptr;
    const SocketHandle accepted = Platform::AcceptSocket(listening);
    Platform::CloseSocket(listening);
    if (accepted == SocketHandle::Invalid) {
        Internal::LogScriptError("server: accept failed");
        return nullptr;
    }
    Platform::SetSocketNoDelay(accepted, true);
    Obj<ClientTCP> client(ClientTCP::Create());
    client->SetSocket(accepted);
    return client.Handover();
}

} // namespace Quorlix
