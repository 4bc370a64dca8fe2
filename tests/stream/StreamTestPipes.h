#pragma once
// Pipes for the Stream tests: one that records every call made on it, one whose look-ahead
// ends a given distance ahead. Both are counted objects: make them with Quorlix::NewObject.

#include "quorlix/stream/StreamPipe.h"

#include <string>
#include <utility>
#include <vector>

namespace QuorlixTest {

/// Keeps each Write as one entry and logs the other calls in order, so tests see how text was
/// split into writes and where flushes fell.
class RecordingPipe final : public Quorlix::StreamPipe {
public:
    void Lock() override { m_Calls.push_back("Lock"); }
    void Unlock() override { m_Calls.push_back("Unlock"); }
    int Read(void*, int) override { return 0; }
    int Read() override { return -1; }
    int Peek() override { return -1; }
    int PeekAt(int) override { return -1; }
    int Skip(int) override { return 0; }
    int Write(const void* data, int n) override {
        m_Writes.emplace_back(static_cast<const char*>(data), static_cast<size_t>(n));
        m_Calls.push_back("Write");
        return n;
    }
    void Flush() override { m_Calls.push_back("Flush"); }
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }
    void Color(int foreground, int background) override {
        m_Calls.push_back("Color " + std::to_string(foreground) + " " + std::to_string(background));
    }
    void Clear() override { m_Calls.push_back("Clear"); }

    /// All writes joined.
    std::string Text() const {
        std::string text;
        for (const std::string& w : m_Writes)
            text += w;
        return text;
    }
    /// Forgets what was recorded.
    void Reset() {
        m_Writes.clear();
        m_Calls.clear();
    }

    std::vector<std::string> m_Writes;
    std::vector<std::string> m_Calls;
};

/// Reads `data` but sees only `limit` bytes ahead: PeekAt(offset) gives -2 for every offset
/// from `limit` on (Peek too when `limit` is 0), as a pipe with a small buffer does.
class LookAheadPipe final : public Quorlix::StreamPipe {
public:
    LookAheadPipe(std::string data, int limit) : m_Data(std::move(data)), m_Limit(limit) {}

    void Lock() override {}
    void Unlock() override {}
    int Read(void* buffer, int n) override {
        const int count = n < Left() ? n : Left();
        m_Data.copy(static_cast<char*>(buffer), static_cast<size_t>(count), m_Position);
        m_Position += static_cast<size_t>(count);
        return count;
    }
    int Read() override {
        return Left() > 0 ? static_cast<unsigned char>(m_Data[m_Position++]) : -1;
    }
    int Peek() override { return PeekAt(0); }
    int PeekAt(int offset) override {
        if (offset >= m_Limit)
            return -2;
        return offset < Left() ? static_cast<unsigned char>(m_Data[m_Position + offset]) : -1;
    }
    int Skip(int n) override {
        const int count = n < Left() ? n : Left();
        m_Position += static_cast<size_t>(count);
        return count;
    }
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

    size_t Position() const { return m_Position; }

private:
    int Left() const { return static_cast<int>(m_Data.size() - m_Position); }

    std::string m_Data;
    size_t m_Position = 0;
    int m_Limit;
};

} // namespace QuorlixTest
