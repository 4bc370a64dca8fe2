#include "quorlix/platform/Socket.h"

#include "quorlix/platform/Process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Quorlix::Platform {

namespace {

// errno of the thread's last failure; 0 when a lookup failed without one.
thread_local int t_LastErrno = 0;
thread_local int t_LastError = 0;

int Fd(SocketHandle socket) noexcept {
    return static_cast<int>(socket);
}

// Records errno as the last failure and gives `result` back.
template <class T>
T Fail(T result) noexcept {
    t_LastErrno = errno;
    t_LastError = SocketErrorOfErrno(errno);
    return result;
}

sockaddr_in AddressOf(uint32_t address, int port) noexcept {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    where.sin_port = htons(static_cast<uint16_t>(port));
    return where;
}

int64_t Milliseconds() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

} // namespace

int SocketErrorOfErrno(int error) noexcept {
    switch (error) {
    case EINVAL:
        return SocketErrorInvalidArgument;
    case EMFILE:
    case ENFILE:
        return SocketErrorTooManyFiles;
    case EAGAIN:
        return SocketErrorWouldBlock;
    case ENOTSOCK:
    case EBADF:
        return SocketErrorNotSocket;
    case EMSGSIZE:
        return SocketErrorMessageSize;
    case EADDRINUSE:
        return SocketErrorAddressInUse;
    case EADDRNOTAVAIL:
        return SocketErrorAddressMissing;
    case ENETDOWN:
        return SocketErrorNetworkDown;
    case ECONNABORTED:
        return SocketErrorAborted;
    case ECONNRESET:
    case EPIPE:
        return SocketErrorReset;
    case ENOTCONN:
        return SocketErrorNotConnected;
    case ETIMEDOUT:
        return SocketErrorTimedOut;
    case ECONNREFUSED:
        return SocketErrorRefused;
    case EHOSTUNREACH:
    case ENETUNREACH:
        return SocketErrorHostUnreachable;
    default:
        return 0;
    }
}

int LastSocketError() noexcept {
    return t_LastError;
}

std::string LastSocketErrorText() {
    if (t_LastErrno == 0)
        return t_LastError == SocketErrorHostNotFound ? "Host not found" : "No error";
    return SystemErrorText(t_LastErrno);
}

SocketHandle CreateStreamSocket() noexcept {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? Fail(SocketHandle::Invalid) : static_cast<SocketHandle>(fd);
}

bool CloseSocket(SocketHandle socket) noexcept {
    // A close interrupted by a signal has released the descriptor all the same on Linux:
    // never repeat it, another thread may own the number by now.
    return ::close(Fd(socket)) == 0 || errno == EINTR ? true : Fail(false);
}

bool ShutdownSocket(SocketHandle socket) noexcept {
    return ::shutdown(Fd(socket), SHUT_RDWR) == 0 ? true : Fail(false);
}

bool ConnectSocket(SocketHandle socket, uint32_t address, int port) noexcept {
    const sockaddr_in where = AddressOf(address, port);
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0)
        return true;
    if (errno != EINTR)
        return Fail(false);
    // An interrupted connect goes on in the background: wait for its outcome.
    for (;;) {
        pollfd entry{Fd(socket), POLLOUT, 0};
        const int ready = ::poll(&entry, 1, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Fail(false);
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return Fail(false);
        if (error == 0)
            return true;
        errno = error;
        return Fail(false);
    }
}

bool BindSocket(SocketHandle socket, uint32_t address, int port) noexcept {
    const int on = 1;
    if (::setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return Fail(false);
    const sockaddr_in where = AddressOf(address, port);
    return ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0
               ? true
               : Fail(false);
}

bool ListenSocket(SocketHandle socket, int backlog) noexcept {
    // The kernel cuts the backlog to somaxconn itself.
    return ::listen(Fd(socket), backlog) == 0 ? true : Fail(false);
}

SocketHandle AcceptSocket(SocketHandle listening) noexcept {
    for (;;) {
        const int fd = ::accept4(Fd(listening), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            return static_cast<SocketHandle>(fd);
        // A connection reset before it was taken is no failure of the listening socket; Linux
        // also passes on the network errors of the new connection, which are the same case.
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO || errno == ENETDOWN ||
            errno == ENOPROTOOPT || errno == EHOSTDOWN || errno == ENONET ||
            errno == EHOSTUNREACH || errno == EOPNOTSUPP || errno == ENETUNREACH)
            continue;
        return Fail(SocketHandle::Invalid);
    }
}

int SocketLocalPort(SocketHandle socket) noexcept {
    sockaddr_in where{};
    socklen_t length = sizeof where;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&where), &length) != 0)
        return Fail(-1);
    return ntohs(where.sin_port);
}

int64_t SendSocket(SocketHandle socket, const void* data, size_t bytes) noexcept {
    for (;;) {
        const ssize_t sent = ::send(Fd(socket), data, bytes, MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno != EINTR)
            return Fail(int64_t{-1});
    }
}

int64_t ReceiveSocket(SocketHandle socket, void* buffer, size_t bytes, bool peek) noexcept {
    for (;;) {
        const ssize_t got = ::recv(Fd(socket), buffer, bytes, peek ? MSG_PEEK : 0);
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return Fail(int64_t{-1});
    }
}

int PollSocket(SocketHandle socket, int events, int milliseconds) noexcept {
    short wanted = 0;
    if ((events & SocketReadable) != 0)
        wanted |= POLLIN;
    if ((events & SocketWritable) != 0)
        wanted |= POLLOUT;
    const int64_t deadline = milliseconds < 0 ? 0 : Milliseconds() + milliseconds;
    for (;;) {
        pollfd entry{Fd(socket), wanted, 0};
        int wait = -1;
        if (milliseconds >= 0) {
            const int64_t left = deadline - Milliseconds();
            wait = left < 0 ? 0 : static_cast<int>(left);
        }
        const int ready = ::poll(&entry, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Fail(-1);
        if (ready == 0)
            return 0;
        if ((entry.revents & (POLLERR | POLLNVAL)) != 0)
            return SocketFailed;
        int result = 0;
        // A hang-up reads as the end of the data, which is what a receive will find.
        if ((entry.revents & (POLLIN | POLLHUP)) != 0 && (wanted & POLLIN) != 0)
            result |= SocketReadable;
        if ((entry.revents & POLLOUT) != 0)
            result |= SocketWritable;
        if (result != 0)
            return result;
    }
}

int SocketPendingBytes(SocketHandle socket) noexcept {
    int pending = 0;
    return ::ioctl(Fd(socket), FIONREAD, &pending) == 0 ? pending : Fail(-1);
}

int TakeSocketError(SocketHandle socket) noexcept {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return Fail(SocketErrorOfErrno(errno));
    if (error == 0)
        return 0;
    errno = error;
    return Fail(SocketErrorOfErrno(error));
}

bool SetSocketNonBlocking(SocketHandle socket, bool on) noexcept {
    const int flags = ::fcntl(Fd(socket), F_GETFL);
    if (flags < 0)
        return Fail(false);
    const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return wanted == flags || ::fcntl(Fd(socket), F_SETFL, wanted) == 0 ? true : Fail(false);
}

bool SetSocketNoDelay(SocketHandle socket, bool on) noexcept {
    const int value = on ? 1 : 0;
    return ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0
               ? true
               : Fail(false);
}

bool ResolveIPv4(const char* name, uint32_t& address) {
    if (name == nullptr || name[0] == '\0')
        return false;
    in_addr dotted{};
    if (::inet_pton(AF_INET, name, &dotted) == 1) {
        address = dotted.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name, nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        t_LastErrno = status == EAI_SYSTEM ? errno : 0;
        t_LastError = SocketErrorHostNotFound;
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

std::string FormatIPv4(uint32_t address) {
    in_addr where{};
    where.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &where, text, sizeof text);
    return text;
}

bool LocalHostName(std::string& name) {
    char text[261] = {};
    if (::gethostname(text, sizeof text - 1) != 0) {
        name.clear();
        return Fail(false);
    }
    name = text;
    return true;
}

} // namespace Quorlix::Platform
