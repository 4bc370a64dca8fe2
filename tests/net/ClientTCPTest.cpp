// The TCP client against a server of the library's own on loopback: lines, sends, peer closes,
// time-outs, failed connections and the error texts.

#include "quorlix/net/ClientTCP.h"
#include "net/NetTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// A client connected to a server of the library's own, and the server's end of it.
struct Connection {
    Connection() {
        EXPECT_TRUE(client->Connect(String("127.0.0.1"), server->GetPort()));
        peer = ConnectionQueue::Instance().Take();
        EXPECT_TRUE(peer);
    }
    Obj<ServerTCP> server = LoopbackServer(&ConnectionQueue::Keep);
    Obj<ClientTCP> client{ClientTCP::Create()};
    Obj<ClientTCP> peer;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ClientTCP, ReceiveLineSplitsLinesAndNeverWritesPastItsBuffer) {
    Connection c;
    ASSERT_EQ(c.client->Send("a\nb\nabcdefg\nrest"), 16);
    ASSERT_TRUE(c.peer->WaitForReceive(5, 0));
    char buffer[8];
    // Two one-letter lines arrived together: the first one only.
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 8, 5), 2);
    EXPECT_STREQ(buffer, "a\n");
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 8, 5), 2);
    EXPECT_STREQ(buffer, "b\n");
    // A line longer than the buffer comes in pieces of size - 1, each terminated inside it.
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 4, 5), 3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], '#');
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 4, 5), 3);
    EXPECT_STREQ(buffer, "def");
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 4, 5), 2);
    EXPECT_STREQ(buffer, "g\n");
    // No room at all: nothing read, and nothing written for a size of 0 or less.
    buffer[0] = '#';
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 0, 5), 0);
    EXPECT_EQ(c.peer->ReceiveLine(buffer, -3, 5), 0);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 1, 5), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(c.peer->ReceiveLine(nullptr, 8, 5), 0);
    // A line without its end: what came before the time-out.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 8, 1), 4);
    EXPECT_STREQ(buffer, "rest");
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_TRUE(c.peer->IsConnected());
}

TEST(ClientTCP, SendsReceivesAndReportsClosesAndTimeOuts) {
    Connection c;
    // Zero bytes are no send: -3, and the connection stays.
    EXPECT_EQ(c.client->Send("", 0), TCPSendFailed);
    EXPECT_EQ(c.client->Send(nullptr, 5), TCPSendFailed);
    EXPECT_TRUE(c.client->IsConnected());
    EXPECT_EQ(c.client->Send("12345", 5), 5);
    ASSERT_TRUE(c.peer->WaitForReceive(5, 0));
    EXPECT_EQ(c.peer->IsDataAvailable(), 5);
    EXPECT_TRUE(c.peer->IsReadyToReceive(true));
    char buffer[16] = {};
    EXPECT_EQ(c.peer->Receive(buffer, sizeof buffer, 5), 5);
    EXPECT_STREQ(buffer, "12345");
    EXPECT_FALSE(c.peer->IsReadyToReceive(true));
    EXPECT_TRUE(c.peer->IsReadyToSend(true));
    // Nothing within the time-out: -4, the connection stays.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.peer->Receive(buffer, 4, 1), TCPTimedOut);
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_TRUE(c.peer->IsConnected());
    EXPECT_FALSE(c.peer->WaitForReceive(0, 100000));
    // The peer closes: -6, and the socket is closed.
    EXPECT_TRUE(c.client->Disconnect());
    EXPECT_FALSE(c.client->IsConnected());
    EXPECT_EQ(c.peer->Receive(buffer, 4, 5), TCPNotConnected);
    EXPECT_FALSE(c.peer->IsConnected());
    // Without a connection nothing moves.
    EXPECT_EQ(c.peer->Receive(buffer, 4, 1), TCPNotConnected);
    EXPECT_EQ(c.peer->Send("x", 1), TCPNotConnected);
    EXPECT_EQ(c.peer->ReceiveLine(buffer, 4, 1), 0);
    EXPECT_EQ(c.peer->IsDataAvailable(), -1);
    EXPECT_FALSE(c.peer->Coalesce(true));
    EXPECT_FALSE(c.peer->Disconnect());
}

TEST(ClientTCP, SendingToAClosedPeerLosesTheConnectionWithoutASignal) {
    Connection c;
    c.peer = nullptr; // closes the server's end
    const std::string block(65536, 'x');
    int result = 0;
    // The first sends may still be taken by the system; a reset follows.
    for (int i = 0; i < 100 && result >= 0; ++i)
        result = c.client->Send(block.data(), static_cast<int>(block.size()));
    EXPECT_EQ(result, TCPConnectionLost);
    EXPECT_FALSE(c.client->IsConnected());
}

TEST(ClientTCP, FailedConnectsLeaveNoSocketBehind) {
    LogCapture capture;
    const int before = OpenDescriptors();
    Obj<ClientTCP> client(ClientTCP::Create());
    const int port = FreeLoopbackPort();
    EXPECT_FALSE(client->Connect(String("127.0.0.1"), port));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_FALSE(client->Connect(String("no-such-host.invalid"), 80));
    EXPECT_FALSE(client->Connect(String("127.0.0.1"), 0));
    EXPECT_FALSE(client->Connect(String("127.0.0.1"), 70000));
    EXPECT_EQ(client->GetHost(), "127.0.0.1");
    EXPECT_EQ(client->GetPort(), 70000);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_NE(capture.Text().find("WSAERROR: Connection refused\r\n"), std::string::npos)
        << capture.Text();

    EXPECT_EQ(ClientTCP::GetHostAddress(String("no-such-host.invalid")), 0u);
    EXPECT_EQ(ClientTCP::GetHostAddress(String("127.0.0.1")), htonl(0x7F000001u));
    EXPECT_EQ(ClientTCP::GetIPAddressAsString(String("localhost")), "127.0.0.1");
    EXPECT_GT(ClientTCP::GetHostName().Size(), 0);
}

TEST(ClientTCP, ErrorTextsAndPacketBuffer) {
    EXPECT_STREQ(ErrorTextTCP(10054), "Connection reset by peer.");
    EXPECT_STREQ(ErrorTextTCP(10093), "Winsocket not initialized.");
    EXPECT_STREQ(ErrorTextTCP(10061), "Unknown error.");

    Obj<ClientTCP> client(ClientTCP::Create());
    ASSERT_EQ(client->GetPacketSize(), 1024);
    EXPECT_EQ(std::string(client->GetPacketBuffer(), 1024), std::string(1024, '\0'));
    client->SetPacketSize(5000);
    EXPECT_EQ(client->GetPacketSize(), 1024);
    client->ClearPacketBuffer();
    EXPECT_EQ(client->GetPacketSize(), 0);
}

} // namespace
