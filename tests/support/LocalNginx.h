#pragma once
// A web server of the tests' own: nginx on a free loopback port, serving a folder of files made
// by the test, with its configuration, pid file, logs and temporary paths in a temporary
// folder. It runs in the foreground as a child of the test and is stopped by its pid.

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace QuorlixTest {

/// A port that nothing listened on a moment ago, 0 when none could be had.
inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) == 0)
        port = ntohs(where.sin_port);
    ::close(fd);
    return port;
}

/// Whether something accepts connections on the loopback port.
inline bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    where.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
    ::close(fd);
    return ok;
}

class LocalNginx {
public:
    /// The nginx program, or "" when it is not installed.
    static std::string Program() {
        for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx"})
            if (::access(path, X_OK) == 0)
                return path;
        return std::string();
    }

    LocalNginx() {
        char folder[] = "/tmp/nginxXXXXXX";
        if (::mkdtemp(folder) == nullptr)
            return;
        m_Folder = folder;
        std::filesystem::create_directories(m_Folder + "/www");
        std::filesystem::create_directories(m_Folder + "/temp");
    }
    ~LocalNginx() {
        Stop();
        std::error_code ignored;
        if (!m_Folder.empty())
            std::filesystem::remove_all(m_Folder, ignored);
    }
    LocalNginx(const LocalNginx&) = delete;
    LocalNginx& operator=(const LocalNginx&) = delete;

    /// The folder served as "/".
    std::string Root() const { return m_Folder + "/www"; }
    int Port() const { return m_Port; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_Port) + path;
    }

    /// Starts the server and waits until it accepts connections; false when it does not.
    bool Start() {
        const std::string program = Program();
        if (program.empty() || m_Folder.empty())
            return false;
        for (int attempt = 0; attempt < 3 && m_Pid <= 0; ++attempt) {
            m_Port = FreeLoopbackPort();
            WriteConfiguration();
            const std::string conf = m_Folder + "/nginx.conf";
            const std::string errors = m_Folder + "/error.log";
            const char* argv[] = {program.c_str(), "-p", m_Folder.c_str(), "-c",
                                  conf.c_str(),    "-e", errors.c_str(),   nullptr};
            pid_t pid = 0;
            if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr,
                              const_cast<char* const*>(argv), environ) != 0)
                return false;
            m_Pid = pid;
            // Up to five seconds for it to listen; a port taken in between ends it early.
            for (int wait = 0; wait < 500; ++wait) {
                if (Accepts(m_Port))
                    return true;
                int status = 0;
                if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
                    m_Pid = 0;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            Stop();
        }
        return false;
    }

    /// Stops the server by its pid and waits for it.
    void Stop() {
        if (m_Pid <= 0)
            return;
        ::kill(m_Pid, SIGTERM);
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = 0;
    }

    /// The end of nginx's error log, for failure messages.
    std::string ErrorLog() const {
        std::ifstream in(m_Folder + "/error.log");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    void WriteConfiguration() const {
        const std::string temp = m_Folder + "/temp";
        std::ofstream conf(m_Folder + "/nginx.conf");
        conf << "daemon off;\n"
                "master_process off;\n"
                "worker_processes 1;\n"
                "pid "
             << m_Folder << "/nginx.pid;\n"
             << "error_log " << m_Folder << "/error.log warn;\n"
             << "events { worker_connections 512; }\n"
                "http {\n"
                "  access_log off;\n"
                "  sendfile on;\n"
                "  default_type application/octet-stream;\n"
                "  client_body_temp_path "
             << temp << "/body;\n  proxy_temp_path " << temp << "/proxy;\n  fastcgi_temp_path "
             << temp << "/fastcgi;\n  uwsgi_temp_path " << temp << "/uwsgi;\n  scgi_temp_path "
             << temp << "/scgi;\n"
             << "  server {\n    listen 127.0.0.1:" << m_Port << ";\n    root " << m_Folder
             << "/www;\n  }\n}\n";
    }

    std::string m_Folder;
    int m_Port = 0;
    pid_t m_Pid = 0;
};

} // namespace QuorlixTest
