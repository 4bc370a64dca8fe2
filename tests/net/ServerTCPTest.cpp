// The TCP server: many clients in sequence and at once, a clean stop while clients wait, ports
// taken and given back, the null callback and the one-shot accept.

#include "quorlix/net/ServerTCP.h"
#include "net/NetTestSupport.h"
#include "quorlix/net/ClientTCP.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// Answers one line with the same line, then lets the connection go.
void Echo(ClientTCP* client) {
    char line[64];
    const int n = client->ReceiveLine(line, sizeof line, 5);
    if (n > 0)
        client->Send(line, n);
}

// One client's round trip through the echo server: whether its line came back.
bool RoundTrip(int port, const std::string& text) {
    Obj<ClientTCP> client(ClientTCP::Create());
    if (!client->Connect(String("127.0.0.1"), port))
        return false;
    const std::string line = text + "\n";
    if (client->Send(line.c_str()) != static_cast<int>(line.size()))
        return false;
    char answer[64];
    return client->ReceiveLine(answer, sizeof answer, 5) == static_cast<int>(line.size()) &&
           line == answer;
}

TEST(ServerTCP, ServesAThousandClientsInSequenceAndThirtyTwoAtOnce) {
    LogCapture capture;
    const int before = OpenDescriptors();
    {
        Obj<ServerTCP> server = LoopbackServer(&Echo);
        const int port = server->GetPort();
        ASSERT_GT(port, 0);
        int served = 0;
        for (int i = 0; i < 1000; ++i)
            served += RoundTrip(port, "client " + std::to_string(i)) ? 1 : 0;
        EXPECT_EQ(served, 1000);

        std::atomic<int> together{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 32; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 4; ++i)
                    together += RoundTrip(port, std::to_string(t) + "/" + std::to_string(i));
            });
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(together.load(), 128);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(capture.Text().find("Accept failed."), std::string::npos) << capture.Text();
}

TEST(ServerTCP, StopsWhileClientsWaitAndGivesItsPortBack) {
    LogCapture capture;
    const int before = OpenDescriptors();
    int port = 0;
    std::atomic<int> waited{0};
    std::thread waiting;
    {
        Obj<ServerTCP> server = LoopbackServer(&ConnectionQueue::Keep);
        port = server->GetPort();
        Obj<ClientTCP> client(ClientTCP::Create());
        ASSERT_TRUE(client->Connect(String("127.0.0.1"), port));
        waiting = std::thread([client] {
            char buffer[8];
            (void)client->Receive(buffer, sizeof buffer, 30);
        });
        ASSERT_TRUE(ConnectionQueue::Instance().Take());
        // A second one, which the server may or may not have taken when it stops.
        Obj<ClientTCP> queued(ClientTCP::Create());
        EXPECT_TRUE(queued->Connect(String("127.0.0.1"), port));

        const auto start = std::chrono::steady_clock::now();
        server = nullptr;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        // The connection handed out is the callback's: dropping it ends the client's wait.
        ConnectionQueue::Instance().Clear();
        waiting.join();
        waited = 1;
        char buffer[8];
        EXPECT_LT(queued->Receive(buffer, sizeof buffer, 5), 0);
    }
    EXPECT_EQ(waited.load(), 1);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(capture.Text().find("Accept failed."), std::string::npos) << capture.Text();

    // The port is free again at once; a second server on a taken port says so.
    Obj<ServerTCP> again(ServerTCP::Create());
    again->SetHost(String("127.0.0.1"));
    again->SetPort(port);
    EXPECT_TRUE(again->Start());
    EXPECT_FALSE(again->Start());
    Obj<ServerTCP> rival(ServerTCP::Create());
    rival->SetHost(String("127.0.0.1"));
    rival->SetPort(port);
    EXPECT_FALSE(rival->Start());
    EXPECT_NE(capture.Text().find("Address already in use."), std::string::npos);
}

TEST(ServerTCP, WithoutACallbackClosesWhatItAccepts) {
    Obj<ServerTCP> server = LoopbackServer(nullptr);
    Obj<ClientTCP> client(ClientTCP::Create());
    ASSERT_TRUE(client->Connect(String("127.0.0.1"), server->GetPort()));
    char buffer[4];
    EXPECT_EQ(client->Receive(buffer, sizeof buffer, 5), TCPNotConnected);
}

TEST(ServerTCP, WaitsForDescriptorsInsteadOfFailingOrSpinning) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own checks open descriptors, and there are none to be had";
#endif
    LogCapture capture;
    {
        Obj<ServerTCP> server = LoopbackServer(&ConnectionQueue::Keep);
        Obj<ClientTCP> client(ClientTCP::Create());
        // The process's descriptors run out: the accept after the client's (or its own, if
        // the server had not reserved a descriptor yet) finds none.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = static_cast<rlim_t>(OpenDescriptors() + 16);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> filler;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            filler.push_back(fd);
        // One left, for the client's socket.
        ::close(filler.back());
        filler.pop_back();
        EXPECT_TRUE(client->Connect(String("127.0.0.1"), server->GetPort()));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int fd : filler)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        // Served once descriptors are back, and so is the next one.
        EXPECT_TRUE(ConnectionQueue::Instance().Take());
        Obj<ClientTCP> next(ClientTCP::Create());
        EXPECT_TRUE(next->Connect(String("127.0.0.1"), server->GetPort()));
        EXPECT_TRUE(ConnectionQueue::Instance().Take());
    }
    ConnectionQueue::Instance().Clear();
    const std::string log = capture.Text();
    const size_t first = log.find("Too many open files.");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("Too many open files.", first + 1), std::string::npos) << "said once";
    EXPECT_EQ(log.find("Accept failed."), std::string::npos) << log;
}

TEST(ServerTCP, AcceptsOneConnectionOnTheCallersThread) {
    LogCapture quiet; // refused attempts until the accept listens
    const int port = FreeLoopbackPort();
    std::thread connecting([port] {
        Obj<ClientTCP> client(ClientTCP::Create());
        for (int i = 0; i < 500 && !client->Connect(String("127.0.0.1"), port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        client->Send("hi\n");
        char buffer[4];
        (void)client->Receive(buffer, sizeof buffer, 5);
    });
    Obj<ServerTCP> server(ServerTCP::Create());
    Obj<ClientTCP> accepted(server->Accept(String("127.0.0.1"), port));
    ASSERT_TRUE(accepted);
    char line[8];
    EXPECT_EQ(accepted->ReceiveLine(line, sizeof line, 5), 3);
    EXPECT_STREQ(line, "hi\n");
    accepted = nullptr;
    connecting.join();
    // The listening socket went with the accept.
    EXPECT_FALSE(Accepts(port));
}

} // namespace
