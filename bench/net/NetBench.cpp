// Loopback throughput of the network module beside its baselines in the same run: a 64 MiB file
// from nginx into a file with ClientHTTP::GetFile beside `curl -o`, and 64 MiB through a
// ClientTCP connection beside plain send() and recv() on a loopback socket pair.

#include "BenchRatios.h"
#include "quorlix/net/ClientHTTP.h"
#include "quorlix/net/ClientTCP.h"
#include "quorlix/net/ServerTCP.h"
#include "support/LocalNginx.h"

#include <arpa/inet.h>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int64_t k_FileBytes = 64 << 20;
constexpr int64_t k_StreamBytes = 64 << 20;
constexpr int k_Block = 64 << 10;

std::unique_ptr<QuorlixTest::LocalNginx> G_Nginx;
std::string G_Output;

std::string FileUrl() {
    return G_Nginx->Url("/file.bin");
}

void BM_ClientHTTP_GetFile(benchmark::State& state) {
    Obj<ClientHTTP> client(ClientHTTP::Create());
    const String url(FileUrl().c_str());
    const String path(G_Output.c_str());
    for (auto _ : state) {
        if (client->GetFile(url, path) != HTTPOk) {
            state.SkipWithError("GetFile failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * k_FileBytes);
}

void BM_Curl_GetFile(benchmark::State& state) {
    const std::string url = FileUrl();
    const char* argv[] = {"curl", "-s", "-o", G_Output.c_str(), url.c_str(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (::posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char* const*>(argv),
                           environ) != 0 ||
            ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * k_FileBytes);
}

// ClientTCP: the server's end sends, the client receives, in blocks of 64 KiB.
std::mutex G_Mutex;
std::deque<Obj<ClientTCP>> G_Accepted;
void KeepConnection(ClientTCP* client) {
    std::lock_guard<std::mutex> lock(G_Mutex);
    G_Accepted.emplace_back(client);
}

void BM_ClientTCP_SendReceive(benchmark::State& state) {
    Obj<ServerTCP> server(ServerTCP::Create());
    server->SetHost(String("127.0.0.1"));
    server->SetPort(0);
    server->SetHandshakeCallback(&KeepConnection);
    Obj<ClientTCP> client(ClientTCP::Create());
    if (!server->Start() || !client->Connect(String("127.0.0.1"), server->GetPort())) {
        state.SkipWithError("no connection");
        return;
    }
    Obj<ClientTCP> peer;
    while (!peer) {
        std::lock_guard<std::mutex> lock(G_Mutex);
        if (!G_Accepted.empty()) {
            peer = G_Accepted.front();
            G_Accepted.pop_front();
        }
    }
    std::vector<char> out(k_Block, 'x');
    std::vector<char> in(k_Block);
    for (auto _ : state) {
        std::thread sender([&] {
            for (int64_t sent = 0; sent < k_StreamBytes;) {
                const int n = peer->Send(out.data(), k_Block);
                if (n <= 0)
                    return;
                sent += n;
            }
        });
        int64_t got = 0;
        while (got < k_StreamBytes) {
            const int n = client->Receive(in.data(), k_Block, 0);
            if (n <= 0)
                break;
            got += n;
        }
        sender.join();
        if (got != k_StreamBytes) {
            state.SkipWithError("bytes lost");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * k_StreamBytes);
}

// The same bytes through plain sockets.
void BM_Socket_Copy(benchmark::State& state) {
    const int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    ::bind(listening, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::listen(listening, 1);
    ::getsockname(listening, reinterpret_cast<sockaddr*>(&where), &length);
    const int receiving = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(receiving, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        state.SkipWithError("no connection");
        return;
    }
    const int sending = ::accept(listening, nullptr, nullptr);
    const int on = 1;
    ::setsockopt(sending, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(receiving, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::vector<char> out(k_Block, 'x');
    std::vector<char> in(k_Block);
    for (auto _ : state) {
        std::thread sender([&] {
            for (int64_t sent = 0; sent < k_StreamBytes;) {
                const ssize_t n = ::send(sending, out.data(), k_Block, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                sent += n;
            }
        });
        int64_t got = 0;
        while (got < k_StreamBytes) {
            const ssize_t n = ::recv(receiving, in.data(), k_Block, 0);
            if (n <= 0)
                break;
            got += n;
        }
        sender.join();
        if (got != k_StreamBytes) {
            state.SkipWithError("bytes lost");
            break;
        }
    }
    ::close(sending);
    ::close(receiving);
    ::close(listening);
    state.SetBytesProcessed(state.iterations() * k_StreamBytes);
}

BENCHMARK(BM_Curl_GetFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClientHTTP_GetFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Socket_Copy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClientTCP_SendReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    G_Nginx = std::make_unique<QuorlixTest::LocalNginx>();
    {
        std::FILE* file = std::fopen((G_Nginx->Root() + "/file.bin").c_str(), "wb");
        const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(k_FileBytes, 7);
        const bool written =
            file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file != nullptr)
            std::fclose(file);
        if (!written || !G_Nginx->Start()) {
            std::fprintf(stderr, "NetBench: cannot serve a file with nginx (make deps)\n");
            return 1;
        }
    }
    G_Output = G_Nginx->Root() + "/../download.bin";
    // Loopback transfers swing with whatever else runs: five runs of each, taken in random order
    // (unless the command line says otherwise), compared by their medians.
    std::vector<char*> arguments(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=5";
    char interleaving[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, {repetitions, interleaving});
    int count = static_cast<int>(arguments.size());
    const int result = QuorlixBench::RunAndCompare(
        count, arguments.data(),
        {{"BM_ClientHTTP_GetFile/real_time_median", "BM_Curl_GetFile/real_time_median", true},
         {"BM_ClientTCP_SendReceive/real_time_median", "BM_Socket_Copy/real_time_median", true}},
        {}, {},
        {{"BM_ClientHTTP_GetFile/real_time_median", "BM_Curl_GetFile/real_time_median",
          "at least 0.8 of curl -o", 0.8},
         {"BM_ClientTCP_SendReceive/real_time_median", "BM_Socket_Copy/real_time_median",
          "at least 0.8 of send/recv", 0.8}});
    G_Nginx.reset();
    return result;
}
