#pragma once
// The sink that swallows everything and reads as empty. One permanent instance, the null pipe
// singleton, stands for "no pipe" wherever the library needs one (the log streams start on it).
// It is also the base of write-only sinks, which override Write (and Lock/Unlock) only.

#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class QUORLIX_API StreamPipeNull : public StreamPipe {
public:
    /// A new null pipe (reference count 0).
    static StreamPipeNull* Create();
    /// The process-wide null pipe; never freed.
    static StreamPipeNull* GetSingleton() noexcept;

    void Lock() override {}
    void Unlock() override {}
    int Read(void*, int) override { return 0; }
    int Read() override { return -1; }
    int Peek() override { return -1; }
    int PeekAt(int) override { return -1; }
    int Skip(int) override { return 0; }
    int Write(const void*, int) override { return 0; }
    bool Truncate() override { return false; }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return 0; }
    int64_t SeekCompressed(int64_t, int) override { return 0; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }
};

} // namespace Quorlix
