#pragma once
// A StreamPipe over a connected ClientTCP: what the script engine reads remote script from and
// what remote objects write their assignments to. Reads go through the 8192-byte buffer of a
// BufferedReader, so the lexer can look ahead up to 8192 bytes; writes are gathered in a buffer
// of the same size and sent when it fills and at Flush. The pipe cannot seek.
//
// Every operation holds the pipe's lock. The end of the data is a peer that closed, a lost
// connection, or a wait for data longer than the pipe's time-out.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/BufferedReader.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class ClientTCP;

class QUORLIX_API StreamPipeTCP final : public StreamPipe, public BufferedReader {
public:
    static constexpr int k_BufferSize = 8192;

    /// A pipe over `client` (a count is kept on it; null gives a pipe that reads as empty).
    /// `timeout` is the longest wait for data in seconds; 0 or less waits without limit.
    static StreamPipeTCP* Create(ClientTCP* client, int timeout = 0);

    StreamPipeTCP(ClientTCP* client, int timeout);
    /// Sends what is pending.
    ~StreamPipeTCP() override;

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    /// -1 at the end; -2 for offsets of 8192 or more.
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// The count of the caller's bytes sent or buffered; short only when the connection failed.
    int Write(const void* data, int n) override;
    /// Sends the buffered output.
    void Flush() override;
    /// Not possible on a connection: -1.
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

    ClientTCP* GetClient() const noexcept { return m_Client.Get(); }

private:
    int FillBuffer(unsigned char* data, int size) override;
    bool SendPending();

    CriticalSection m_Section;
    Obj<ClientTCP> m_Client;
    int m_Timeout;
    int m_WriteFill = 0;
    unsigned char m_WriteBuffer[k_BufferSize];
};

} // namespace Quorlix
