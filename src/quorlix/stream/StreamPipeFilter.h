#pragma once
// The base of the filter pipes: a pipe that wraps another one, the inner pipe, of which it holds
// one counted reference. By default a filter is read-only and hands the lock, flushing and file
// times on to the inner pipe; it has no lock of its own, so the owner of a stack takes the inner
// pipe's around multi-call sequences. Releasing the outermost filter releases the whole stack.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API StreamPipeFilter : public StreamPipe {
public:
    void Lock() override { m_Inner->Lock(); }
    void Unlock() override { m_Inner->Unlock(); }
    /// Read-only: 0.
    int Write(const void*, int) override { return 0; }
    void Flush() override { m_Inner->Flush(); }
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        m_Inner->GetFileTime(created, accessed, written);
    }
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override {
        return m_Inner->SetFileTime(created, accessed, written);
    }

protected:
    /// A null inner pipe stands for the null pipe, which reads as empty.
    explicit StreamPipeFilter(StreamPipe* inner);

    Obj<StreamPipe> m_Inner;
};

} // namespace Quorlix
