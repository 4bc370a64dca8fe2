#pragma once
// A read/write pipe over a growable byte buffer in memory, with full look-ahead: script text
// held in memory, generated data, tests.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

#include <vector>

namespace Quorlix {

class QUORLIX_API StreamPipeMemory final : public StreamPipe {
public:
    /// An empty pipe positioned at 0.
    static StreamPipeMemory* Create();
    /// A pipe holding a copy of `size` bytes, positioned at 0 (size <= 0 gives an empty one).
    static StreamPipeMemory* Create(const void* data, int size);

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    /// Any distance ahead: -1 past the end, never -2.
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// Overwrites from the position and extends the data; at most up to 2^31 - 1 bytes in all.
    int Write(const void* data, int n) override;
    bool Truncate() override;
    void Flush() override {}
    /// Positions 0 to the size are valid; origin -1 counts from the end (size + offset).
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

    /// The whole content (not only what follows the position). Not locked: for the owner.
    const unsigned char* GetData() const noexcept { return m_Bytes.data(); }
    int GetSize() const noexcept { return static_cast<int>(m_Bytes.size()); }
    int GetPosition() const noexcept { return m_Position; }

    StreamPipeMemory() = default;

private:
    CriticalSection m_Section;
    std::vector<unsigned char> m_Bytes;
    int m_Position = 0;
};

} // namespace Quorlix
