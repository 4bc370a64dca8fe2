#pragma once
// A read-only pipe over a resource compiled into a loaded module (see
// cmake/QuorlixResources.cmake). The bytes are read in place; the module stays loaded while the
// pipe lives.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

namespace Platform {
struct DynamicLibrary;
}

class QUORLIX_API StreamPipeResource final : public StreamPipe {
public:
    /// "module/name.ext": the part before the last '/' names a module already loaded in the
    /// process ("Quorlix010219" or "libQuorlix010219.so" for this library; see
    /// Platform::FindModuleResource), the part after it, cut at its first '.', the resource.
    /// Either part longer than 260 characters, a disposition bit 4 or 8 in `mode`, or a resource
    /// that is not there gives an empty pipe.
    static StreamPipeResource* Create(const char* path, unsigned mode);

    StreamPipeResource(const char* path, unsigned mode);
    ~StreamPipeResource() override;

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    /// Any distance ahead: -1 past the end, never -2.
    int PeekAt(int offset) override;
    int Skip(int n) override;
    /// Read-only: 0.
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    /// Origin 1: offset; 0: position + offset; -1: size - offset (so (1, -1) is the last byte).
    /// A result outside 0 .. size - 1, or another origin, gives -1 and keeps the position.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

    /// Size of the resource (0 for an empty pipe).
    int64_t GetSize() const noexcept { return m_Size; }

    /// The longest module part and resource part of a path.
    static constexpr int k_MaxPart = 260;

private:
    CriticalSection m_Section;
    const unsigned char* m_Data = nullptr;
    int64_t m_Size = 0;
    int64_t m_Position = 0;
    Platform::DynamicLibrary* m_Module = nullptr;
};

} // namespace Quorlix
