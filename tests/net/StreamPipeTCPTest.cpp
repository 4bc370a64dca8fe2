// The pipe over a connection: the reads, peeks and skips every pipe gives, buffered writes, and
// a script executed as it arrives.

#include "quorlix/net/StreamPipeTCP.h"
#include "net/NetTestSupport.h"
#include "quorlix/library/Library.h"
#include "quorlix/net/ClientTCP.h"
#include "quorlix/script/ScriptEngine.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// A pipe reading what a writer thread sends through a loopback connection, then closes.
class StreamPipeTCPTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_Writer.joinable())
            m_Writer.join();
    }

    // The reading pipe; the bytes are sent in pieces of `piece` from another thread.
    Obj<StreamPipe> Open(const std::string& bytes, int piece = 1000) {
        if (m_Writer.joinable())
            m_Writer.join();
        Obj<ClientTCP> client(ClientTCP::Create());
        EXPECT_TRUE(client->Connect(String("127.0.0.1"), m_Server->GetPort()));
        Obj<ClientTCP> peer = ConnectionQueue::Instance().Take();
        m_Writer = std::thread([peer, bytes, piece] {
            for (size_t at = 0; at < bytes.size(); at += static_cast<size_t>(piece)) {
                const int n = static_cast<int>(std::min(bytes.size() - at, size_t(piece)));
                for (int sent = 0; sent < n;) {
                    const int r = peer->Send(bytes.data() + at + sent, n - sent);
                    if (r <= 0)
                        return;
                    sent += r;
                }
            }
            peer->Disconnect();
        });
        return Obj<StreamPipe>(StreamPipeTCP::Create(client, 5));
    }

    Obj<ServerTCP> m_Server = LoopbackServer(&ConnectionQueue::Keep);
    std::thread m_Writer;
};

TEST_F(StreamPipeTCPTest, ReadsPeeksAndSkipsLikeEveryPipe) {
    const std::string content = Pattern();
    for (int chunk : {1, 7, 8191, 8192, 8193, 30000}) {
        Obj<StreamPipe> pipe = Open(content, 777);
        std::string all;
        std::vector<char> buffer(static_cast<size_t>(chunk));
        for (int n; (n = ReadFully(*pipe, buffer.data(), chunk)) > 0;)
            all.append(buffer.data(), static_cast<size_t>(n));
        EXPECT_TRUE(all == content) << "chunk " << chunk;
        EXPECT_EQ(pipe->Read(), -1);
    }
    Obj<StreamPipe> pipe = Open(content, 3000);
    const auto at = [&](size_t i) { return static_cast<unsigned char>(content[i]); };
    EXPECT_EQ(pipe->Peek(), at(0));
    EXPECT_EQ(pipe->Read(), at(0));
    // Look-ahead waits for bytes still on their way, up to the buffer's size.
    for (int offset : {0, 1, 100, 8190})
        EXPECT_EQ(pipe->PeekAt(offset), at(1 + static_cast<size_t>(offset))) << offset;
    EXPECT_EQ(pipe->PeekAt(8192), -2);
    EXPECT_EQ(pipe->Read(), at(1));
    EXPECT_EQ(pipe->Skip(0), 0);
    EXPECT_EQ(pipe->Skip(-5), 0);
    EXPECT_EQ(pipe->Skip(10), 10);
    EXPECT_EQ(pipe->Read(), at(12));
    const int size = static_cast<int>(content.size());
    EXPECT_EQ(pipe->Skip(size - 23), size - 23);
    EXPECT_EQ(pipe->PeekAt(9), at(content.size() - 1));
    EXPECT_EQ(pipe->PeekAt(10), -1);
    EXPECT_EQ(pipe->Skip(INT_MAX), 10);
    EXPECT_EQ(pipe->Skip(1), 0);
    // A connection has no position.
    EXPECT_EQ(pipe->Seek(0, SeekBegin), -1);
    EXPECT_EQ(pipe->Seek(0, SeekCurrent), -1);
    EXPECT_FALSE(pipe->Truncate());
}

TEST_F(StreamPipeTCPTest, WritesArriveWholeAfterFlush) {
    Obj<ClientTCP> client(ClientTCP::Create());
    ASSERT_TRUE(client->Connect(String("127.0.0.1"), m_Server->GetPort()));
    Obj<ClientTCP> peer = ConnectionQueue::Instance().Take();
    ASSERT_TRUE(peer);
    Obj<StreamPipe> pipe(StreamPipeTCP::Create(client, 5));
    const std::string bytes = Pattern();
    size_t done = 0;
    for (int chunk : {1, 7, 8191, 8192, 3609}) {
        EXPECT_EQ(pipe->Write(bytes.data() + done, chunk), chunk);
        done += static_cast<size_t>(chunk);
    }
    pipe->Flush();
    std::string received(bytes.size(), '\0');
    size_t got = 0;
    while (got < received.size()) {
        const int n =
            peer->Receive(received.data() + got, static_cast<int>(received.size() - got), 5);
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    EXPECT_TRUE(received == bytes);
    // Small writes wait for Flush.
    EXPECT_EQ(pipe->Write("abc", 3), 3);
    EXPECT_FALSE(peer->WaitForReceive(0, 200000));
    pipe->Flush();
    EXPECT_TRUE(peer->WaitForReceive(5, 0));
}

TEST_F(StreamPipeTCPTest, ScriptEngineExecutesWhatArrives) {
    DLLInitialize(0);
    {
        std::string script = "//KS 0.3\n";
        for (int i = 0; i < 2000; ++i)
            script += "var :v" + std::to_string(i) + " " + std::to_string(i) + ";\n";
        Obj<StreamPipe> pipe = Open(script, 101);
        Obj<ScriptEngine> engine(ScriptEngine::Create());
        engine->Execute(pipe, String("remote"), 0);
        EXPECT_EQ(engine->GetErrorCount(), 0);
        EXPECT_EQ(std::string(engine->FindObjectC("v1999")->GetObjectClassName()), "I32");
    }
    DLLDeInitialize(0);
}

} // namespace
