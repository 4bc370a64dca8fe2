#pragma once
// A TCP server: listens on one address and port and hands every connection it accepts, as a
// ClientTCP, to a handshake callback on a thread of its own. The callback runs on that thread
// and connections are served one after another unless it passes them to other threads; it keeps
// a count on a connection it wants to keep, the others are closed when it returns. Accepted
// connections have the no-delay option on, as connections made by ClientTCP::Connect do.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

#include <atomic>

namespace Quorlix {

namespace Platform {
struct JoinableThread;
enum class SocketHandle : int;
} // namespace Platform

class ClientTCP;

class QUORLIX_API ServerTCP {
public:
    using HandshakeCallback = void (*)(ClientTCP*);

    /// A new server for any address on port 6969 (count 0; hold it in an Obj).
    static ServerTCP* Create();

    ServerTCP();
    ServerTCP(const ServerTCP&) = delete;
    ServerTCP& operator=(const ServerTCP&) = delete;
    /// Stops the server (see Stop).
    virtual ~ServerTCP();

    /// Stores the text and its resolved address (0, any address, when it does not resolve).
    virtual void SetHost(const StringRef& host);
    virtual const String& GetHost() const;
    /// Takes effect at the next Start.
    virtual void SetPort(int port);
    /// The port asked for; after a Start on port 0, the one the system picked.
    virtual int GetPort() const;
    /// Takes effect at the next Start. Null: accepted connections are closed at once.
    virtual void SetHandshakeCallback(HandshakeCallback callback);
    /// Binds and listens on the caller's thread, then accepts on the server thread. False
    /// (logged) when the server runs already, the address cannot be bound ("Address already in
    /// use.", "Cannot assign requested address." or the socket error), listening fails or the
    /// thread cannot be made.
    virtual bool Start();

    /// Ends the accept loop: shuts the listening socket down, waits for the server thread (and
    /// so for a callback that runs) and closes it. Connections handed out stay open. Nothing
    /// when the server is not running. Not to be called from the callback.
    void Stop();
    bool IsRunning() const noexcept { return m_Thread != nullptr; }

    /// Accepts one connection on the caller's thread: binds to `host` (any address when it does
    /// not resolve) and `port`, listens, accepts, closes the listening socket. The connection
    /// (count 0), or null after a logged failure.
    ClientTCP* Accept(const StringRef& host, int port);

private:
    static void ServerThread(void* server);
    void AcceptLoop();

    String m_Host;
    unsigned m_Address = 0;
    int m_Port = 6969;
    HandshakeCallback m_Callback = nullptr;
    HandshakeCallback m_ActiveCallback = nullptr; // the running thread's
    Platform::JoinableThread* m_Thread = nullptr;
    Platform::SocketHandle m_Listening;
    std::atomic<bool> m_Stopping{false};
};

} // namespace Quorlix
