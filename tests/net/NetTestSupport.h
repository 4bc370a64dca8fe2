#pragma once
// Peers of the network tests: a loopback listener that answers with bytes the test scripts
// (for servers that misbehave in the ways a client must survive), a queue of connections a
// ServerTCP handed out, and a count of the process's open descriptors.

#include "quorlix/net/ClientTCP.h"
#include "quorlix/net/ServerTCP.h"
#include "support/LocalNginx.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace QuorlixTest {

/// 100-ns units since 1601 of a UTC time given as seconds since 1970.
inline uint64_t FileTime(int64_t unixSeconds) {
    return static_cast<uint64_t>(unixSeconds + 11644473600) * 10000000u;
}

/// Open descriptors of the process.
inline int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

/// A loopback listener on a port of its own, serving connections one after another on its
/// thread: it reads each request up to its blank line, then calls the answer with the socket and
/// the request. The connection is closed when the answer returns.
class ScriptedPeer {
public:
    using Answer = std::function<void(int socket, const std::string& request)>;

    explicit ScriptedPeer(Answer answer) : m_Answer(std::move(answer)) {
        m_Listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof where;
        ::bind(m_Listening, reinterpret_cast<sockaddr*>(&where), sizeof where);
        ::listen(m_Listening, 64);
        ::getsockname(m_Listening, reinterpret_cast<sockaddr*>(&where), &length);
        m_Port = ntohs(where.sin_port);
        m_Thread = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        m_Stop = true;
        ::shutdown(m_Listening, SHUT_RDWR);
        m_Thread.join();
        ::close(m_Listening);
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    int Port() const { return m_Port; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_Port) + path;
    }
    /// The requests received so far.
    std::deque<std::string> Requests() const {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Requests;
    }
    /// Whether the test is over: answers that hold a connection wait for it.
    bool Stopping() const { return m_Stop; }

    /// Sends all of `bytes`.
    static void SendAll(int socket, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n =
                ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
    }

private:
    void Serve() {
        while (!m_Stop) {
            const int socket = ::accept4(m_Listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0)
                return;
            std::string request;
            char buffer[4096];
            // A request ends with its blank line; two seconds at most.
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd entry{socket, POLLIN, 0};
                if (::poll(&entry, 1, 2000) <= 0)
                    break;
                const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                m_Requests.push_back(request);
            }
            m_Answer(socket, request);
            ::close(socket);
        }
    }

    Answer m_Answer;
    int m_Listening = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    mutable std::mutex m_Mutex;
    std::deque<std::string> m_Requests;
    std::thread m_Thread;
};

/// The connections a ServerTCP hands to its callback, for the test thread to take.
class ConnectionQueue {
public:
    static ConnectionQueue& Instance() {
        static ConnectionQueue s_Queue;
        return s_Queue;
    }
    /// The handshake callback: keeps a count on the connection.
    static void Keep(Quorlix::ClientTCP* client) { Instance().Push(client); }

    void Push(Quorlix::ClientTCP* client) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Clients.emplace_back(client);
        m_Changed.notify_all();
    }
    /// The next connection, or null after five seconds.
    Quorlix::Obj<Quorlix::ClientTCP> Take() {
        std::unique_lock<std::mutex> lock(m_Mutex);
        if (!m_Changed.wait_for(lock, std::chrono::seconds(5), [&] { return !m_Clients.empty(); }))
            return Quorlix::Obj<Quorlix::ClientTCP>();
        Quorlix::Obj<Quorlix::ClientTCP> client = m_Clients.front();
        m_Clients.pop_front();
        return client;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Clients.clear();
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<Quorlix::Obj<Quorlix::ClientTCP>> m_Clients;
};

/// A server of the library's own on a free loopback port, started.
inline Quorlix::Obj<Quorlix::ServerTCP>
LoopbackServer(Quorlix::ServerTCP::HandshakeCallback callback) {
    Quorlix::Obj<Quorlix::ServerTCP> server(Quorlix::ServerTCP::Create());
    server->SetHost(Quorlix::String("127.0.0.1"));
    server->SetPort(0);
    server->SetHandshakeCallback(callback);
    EXPECT_TRUE(server->Start());
    return server;
}

} // namespace QuorlixTest
