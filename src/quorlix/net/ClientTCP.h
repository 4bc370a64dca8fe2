#pragma once
// A TCP connection, blocking by default, with time-outs, line reception, a reusable packet
// buffer and uniform negative result codes. The HTTP client is built on it and the server hands
// every connection it accepts to its callback as one.
//
// Transfer results: a count of bytes (0 or more), or one of the TCPResult codes. Failures are
// logged to Xerr with the texts of ErrorTextTCP. A ClientTCP is used by one thread at a time.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

namespace Platform {
enum class SocketHandle : int;
}

/// The negative results of the transfer operations.
enum TCPResult : int {
    TCPSendFailed = -3,     // a send failed with another error; the connection stays
    TCPTimedOut = -4,       // nothing within the time-out, or a receive error of another kind
    TCPConnectionLost = -5, // the error was logged with its text and the socket closed
    TCPNotConnected = -6,   // not connected, or the peer closed (the socket is closed)
};

/// The text of a documented socket error number ("Connection reset by peer."), "Unknown error."
/// for the others.
QUORLIX_API const char* ErrorTextTCP(int error) noexcept;

class QUORLIX_API ClientTCP {
public:
    static constexpr int k_DefaultPort = 6969;
    static constexpr int k_PacketSize = 1024;

    /// A new unconnected client (count 0; hold it in an Obj).
    static ClientTCP* Create();
    /// Nothing to start on this system: true. Kept for hosts that call it first.
    static bool InitWinsock();
    /// The machine's host name (at most 260 bytes), or "" after logging the socket error.
    static String GetHostName();
    /// The IPv4 address (network byte order) of a dotted address or resolved name; 0 when it
    /// does not resolve.
    static unsigned GetHostAddress(const StringRef& name);
    /// The same address in dotted form ("0.0.0.0" when it does not resolve).
    static String GetIPAddressAsString(const StringRef& name);

    ClientTCP();
    ClientTCP(const ClientTCP&) = delete;
    ClientTCP& operator=(const ClientTCP&) = delete;
    /// Shuts the connection down and closes it.
    virtual ~ClientTCP();

    /// Takes over an open socket (a connection the server accepted); an open one is closed.
    virtual void SetSocket(Platform::SocketHandle socket);
    virtual void SetHost(const StringRef& host);
    virtual void SetPort(int port);
    /// Stores host and port, closes an open socket and connects anew (dotted address first,
    /// else the first address of the name), then turns the no-delay option on. False, logged,
    /// with no socket left open, when the socket cannot be made, the host does not resolve, the
    /// port is outside 1..65535 or the connection is refused.
    virtual bool Connect(const StringRef& host, int port);
    /// Connect with the stored host and port.
    virtual bool Connect();
    /// Shuts both directions down and closes; whether the close succeeded (false when there
    /// was no connection).
    virtual bool Disconnect();
    /// Sets the no-delay option to `flag`; false when not connected.
    virtual bool Coalesce(bool flag);
    /// Sends `text` without its terminator.
    virtual int Send(const char* text);
    /// One send of `n` bytes: the count sent, which may be less than n (no retry). n <= 0 or a
    /// null `data` sends nothing: TCPSendFailed. Reset, aborted and timed-out connections log
    /// their text, close and give TCPConnectionLost; other errors give TCPSendFailed.
    virtual int Send(const char* data, int n);
    /// One receive of up to `size` bytes, after a wait of up to `timeout` seconds when it is
    /// positive (TCPTimedOut when nothing came). A peer that closed: close, TCPNotConnected.
    /// Errors with a documented text log it, close and give TCPConnectionLost; others log the
    /// socket error and give TCPTimedOut. `size` <= 0 or a null buffer: 0.
    virtual int Receive(char* buffer, int size, int timeout);
    /// Receives one line: bytes up to and including the next line feed, at most size - 1 of
    /// them, always followed by a terminator inside the buffer. The bytes stored (a line that
    /// does not fit comes in several calls); 0 when not connected, for a null buffer or `size`
    /// below 1. A time-out (`timeout` seconds per wait, when positive), an error or a closed
    /// peer end it with what was stored so far; the bytes after the line stay unread.
    virtual int ReceiveLine(char* buffer, int size, int timeout);
    /// Whether the socket can be read (written) now (`poll`) or after an unlimited wait. A
    /// socket with a pending error logs its text, is closed and gives false; so does a wait
    /// that fails.
    virtual bool IsReadyToReceive(bool poll);
    virtual bool IsReadyToSend(bool poll);
    /// Whether the socket becomes readable (writable) within the time.
    virtual bool WaitForReceive(int seconds, int microseconds);
    virtual bool WaitForSend(int seconds, int microseconds);
    virtual bool IsConnected() const;
    /// The bytes waiting to be received, -1 on failure or without a connection.
    virtual int IsDataAvailable();
    virtual bool SetNonBlocking(bool on);
    /// Grows the packet buffer's capacity to at least `n` bytes (its size stays).
    virtual void SetPacketSize(int n);
    /// The packet buffer's size: 1024 zero bytes at first, 0 after ClearPacketBuffer.
    virtual int GetPacketSize() const;
    virtual char* GetPacketBuffer();
    /// Replaces the packet buffer by an empty one of the old capacity.
    virtual void ClearPacketBuffer();

    /// The socket, for the platform layer's waits (Invalid when not connected).
    Platform::SocketHandle GetSocket() const noexcept { return m_Socket; }
    const String& GetHost() const noexcept { return m_Host; }
    int GetPort() const noexcept { return m_Port; }

protected:
    /// Closes the socket after a failure whose text was logged.
    void CloseAfterFailure();
    /// Waits up to `milliseconds` (negative: without limit) for readability: true when ready;
    /// false on a time-out, or when the socket failed (then logged and closed).
    bool WaitReadable(int milliseconds);
    /// Waits as WaitReadable does for `events` (Platform::SocketReadable or SocketWritable).
    bool WaitFor(int events, int milliseconds);
    /// One receive with the error handling of Receive; `peek` leaves the bytes in the socket.
    int ReceiveOnce(char* buffer, int size, bool peek);

private:
    Platform::SocketHandle m_Socket;
    String m_Host;
    int m_Port = k_DefaultPort;
    Array<char> m_Packet;
};

} // namespace Quorlix
