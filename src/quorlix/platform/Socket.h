#pragma once
// IPv4 stream sockets behind an opaque handle: creation (close-on-exec), connecting, listening
// with address reuse, accepting, single sends (never raising SIGPIPE) and receives, waits by
// poll, and host-name lookups. A failed call leaves its error in the calling thread's last
// socket error, as the library's documented error numbers (the numbers of the Windows socket
// layer the library's texts are keyed by) beside the system's own text.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Quorlix::Platform {

/// An open socket. Invalid is the only value that names none.
enum class SocketHandle : int { Invalid = -1 };

/// The documented error numbers that errno values map to; 0 stands for any other error.
enum : int {
    SocketErrorInvalidArgument = 10022, // EINVAL
    SocketErrorTooManyFiles = 10024,    // EMFILE, ENFILE
    SocketErrorWouldBlock = 10035,      // EAGAIN
    SocketErrorNotSocket = 10038,       // ENOTSOCK, EBADF
    SocketErrorMessageSize = 10040,     // EMSGSIZE
    SocketErrorAddressInUse = 10048,    // EADDRINUSE
    SocketErrorAddressMissing = 10049,  // EADDRNOTAVAIL
    SocketErrorNetworkDown = 10050,     // ENETDOWN
    SocketErrorAborted = 10053,         // ECONNABORTED
    SocketErrorReset = 10054,           // ECONNRESET, EPIPE
    SocketErrorNotConnected = 10057,    // ENOTCONN
    SocketErrorTimedOut = 10060,        // ETIMEDOUT
    SocketErrorRefused = 10061,         // ECONNREFUSED
    SocketErrorHostUnreachable = 10065, // EHOSTUNREACH, ENETUNREACH
    SocketErrorHostNotFound = 11001,    // a name that does not resolve
};

/// The documented number of an errno value (0 for those without one).
QUORLIX_API int SocketErrorOfErrno(int error) noexcept;
/// The documented number of the calling thread's last socket failure (0 for none or another).
QUORLIX_API int LastSocketError() noexcept;
/// The system's text of the calling thread's last socket failure.
QUORLIX_API std::string LastSocketErrorText();

/// A new IPv4 stream socket, or Invalid.
QUORLIX_API SocketHandle CreateStreamSocket() noexcept;
/// Closes the socket; false when the system refused (the handle is gone all the same).
QUORLIX_API bool CloseSocket(SocketHandle socket) noexcept;
/// Shuts both directions down. On a listening socket this wakes a thread blocked in
/// AcceptSocket, which then fails.
QUORLIX_API bool ShutdownSocket(SocketHandle socket) noexcept;

/// Connects to an IPv4 address (network byte order) and port, waiting as long as the system
/// does; interrupted waits go on.
QUORLIX_API bool ConnectSocket(SocketHandle socket, uint32_t address, int port) noexcept;
/// Binds to an address (network byte order; 0 any) and port (0: the system picks one), with
/// address reuse, so that a restarted server gets its port back at once.
QUORLIX_API bool BindSocket(SocketHandle socket, uint32_t address, int port) noexcept;
/// Listens; backlogs beyond the system's limit are cut to it.
QUORLIX_API bool ListenSocket(SocketHandle socket, int backlog) noexcept;
/// The next connection of a listening socket (close-on-exec), or Invalid. Interrupted calls and
/// connections aborted before they were taken are passed over.
QUORLIX_API SocketHandle AcceptSocket(SocketHandle listening) noexcept;
/// The local port a socket is bound to, or -1.
QUORLIX_API int SocketLocalPort(SocketHandle socket) noexcept;

/// One send (interrupted calls are repeated): bytes sent, possibly fewer than asked, or -1.
QUORLIX_API int64_t SendSocket(SocketHandle socket, const void* data, size_t bytes) noexcept;
/// One receive (interrupted calls are repeated): bytes received, 0 when the peer closed, or -1.
/// `peek` leaves the bytes in the socket.
QUORLIX_API int64_t ReceiveSocket(SocketHandle socket, void* buffer, size_t bytes,
                                  bool peek) noexcept;

/// What PollSocket reports.
enum : int { SocketReadable = 1, SocketWritable = 2, SocketFailed = 4 };
/// Waits up to `milliseconds` (negative: without limit) until the socket is readable (`events`
/// SocketReadable) or writable (SocketWritable): the events that hold, SocketFailed when the
/// socket has a pending error or is no socket, 0 after the time-out, -1 when the wait failed.
/// A peer that closed makes the socket readable. Interrupted waits go on with the time left.
QUORLIX_API int PollSocket(SocketHandle socket, int events, int milliseconds) noexcept;
/// The bytes waiting to be received, or -1.
QUORLIX_API int SocketPendingBytes(SocketHandle socket) noexcept;
/// The socket's pending error as a documented number (also made the last socket error), 0 for
/// none.
QUORLIX_API int TakeSocketError(SocketHandle socket) noexcept;
QUORLIX_API bool SetSocketNonBlocking(SocketHandle socket, bool on) noexcept;
QUORLIX_API bool SetSocketNoDelay(SocketHandle socket, bool on) noexcept;

/// The IPv4 address (network byte order) of a dotted address or else of a host name (its first
/// address); false when it does not resolve.
QUORLIX_API bool ResolveIPv4(const char* name, uint32_t& address);
/// An address in dotted form.
QUORLIX_API std::string FormatIPv4(uint32_t address);
/// The machine's host name; false (empty) when it cannot be had.
QUORLIX_API bool LocalHostName(std::string& name);

} // namespace Quorlix::Platform
