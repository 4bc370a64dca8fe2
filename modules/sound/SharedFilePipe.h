#pragma once
// A read-only pipe over a small sound file held in memory and shared by every streaming source
// made from the same file while any of them lives. A cursor's refill then decodes from memory
// instead of asking the OS for its next piece, and sources that play one sound keep one copy.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/String.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Quorlix::DX8 {

class SharedFilePipe final : public StreamPipe {
public:
    /// Files up to this size are held; larger ones stream from the file as before.
    static constexpr int64_t k_MaxBytes = int64_t(1) << 20;

    /// `path` as Storage opens it from this thread, at position 0: a pipe over content shared
    /// with the pipes opened before from the same path while the file keeps its size and time,
    /// or the file's own pipe when it is larger than k_MaxBytes or tells no time. Null, with
    /// nothing logged, when it cannot be opened: the caller's own open says why.
    static StreamPipe* Open(const StringRef& path);

    struct Content {
        std::vector<unsigned char> m_Bytes;
        uint64_t m_Created = 0, m_Accessed = 0, m_Written = 0;
    };
    explicit SharedFilePipe(std::shared_ptr<const Content> content) noexcept;

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override { return PeekAt(0); }
    int PeekAt(int offset) override;
    int Skip(int n) override;
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override;
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

private:
    int Size() const noexcept { return static_cast<int>(m_Content->m_Bytes.size()); }

    CriticalSection m_Section;
    std::shared_ptr<const Content> m_Content;
    int m_Position = 0;
};

} // namespace Quorlix::DX8
