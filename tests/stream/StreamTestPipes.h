#pragma once
// Pipes for the Stream tests. Counted objects: make them with Quorlix::NewObject.

#include "quorlix/stream/StreamPipe.h"

#include <string>
#include <utility>
#include <vector>

namespace QuorlixTest {

/// Does nothing and reads as empty; the pipes below override what they watch.
class InertPipe : public Quorlix::StreamPipe {
public:
    void Lock() override {}
    void Unlock() override {}
    int Read(void*, int) override { return 0; }
    int Read() override { return -1; }
    int Peek() override { return -1; }
    int PeekAt(int) override { return -1; }
    int Skip(int) override { return 0; }
    int Write(const void*, int n) override { return n; }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }
};

/// Logs each Write as its text and every other call as <Name>, in order.
class RecordingPipe final : public InertPipe {
public:
    void Lock() override { m_Log.push_back("<Lock>"); }
    void Unlock() override { m_Log.push_back("<Unlock>"); }
    int Write(const void* data, int n) override {
        m_Log.emplace_back(static_cast<const char*>(data), static_cast<size_t>(n));
        return n;
    }
    void Flush() override { m_Log.push_back("<Flush>"); }
    void Color(int fg, int bg) override {
        m_Log.push_back("<Color " + std::to_string(fg) + " " + std::to_string(bg) + ">");
    }
    void Clear() override { m_Log.push_back("<Clear>"); }

    std::vector<std::string> m_Log;
};

/// Reads `data` but sees only `limit` bytes ahead: PeekAt gives -2 from offset `limit` on, as
/// a pipe with a small buffer does.
class LookAheadPipe final : public InertPipe {
public:
    LookAheadPipe(std::string data, int limit) : m_Data(std::move(data)), m_Limit(limit) {}

    int Read() override { return Left() > 0 ? Byte(m_Position++) : -1; }
    int Read(void* buffer, int n) override {
        const size_t count =
            m_Data.copy(static_cast<char*>(buffer), static_cast<size_t>(n), m_Position);
        m_Position += count;
        return static_cast<int>(count);
    }
    int Peek() override { return PeekAt(0); }
    int PeekAt(int offset) override {
        return offset >= m_Limit ? -2 : (offset < Left() ? Byte(m_Position + offset) : -1);
    }
    int Skip(int n) override {
        const int count = n < Left() ? n : Left();
        m_Position += static_cast<size_t>(count);
        return count;
    }

    size_t m_Position = 0;

private:
    int Left() const { return static_cast<int>(m_Data.size() - m_Position); }
    int Byte(size_t at) const { return static_cast<unsigned char>(m_Data[at]); }

    std::string m_Data;
    int m_Limit;
};

} // namespace QuorlixTest
