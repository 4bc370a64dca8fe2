// The buffered file pipe against plain read()/write() of 64 KiB blocks, on a 256 MiB file that
// sits in the page cache (writes start each pass with nothing dirty), so the figures are the
// pipe's own cost. Large transfers bypass the
// pipe's buffers and should cost what the system calls cost; 4 KiB transfers go through them and
// pay for 8 KiB system calls and one more copy.

#include "BenchRatios.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeFileCache.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int64_t k_FileSize = int64_t{256} << 20;
constexpr int k_Block = 64 << 10;

const std::string& FilePath() {
    static const std::string s_Path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr && *folder ? folder : "/tmp") + "/QuorlixPipeBench." +
               std::to_string(::getpid());
    }();
    return s_Path;
}

// Writes the file once and reads it once, so every benchmark finds it in the page cache.
void PrepareFile() {
    static bool s_Done = false;
    if (s_Done)
        return;
    s_Done = true;
    std::vector<char> block(k_Block, 'q');
    const int fd = ::open(FilePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    for (int64_t done = 0; fd >= 0 && done < k_FileSize; done += k_Block)
        if (::write(fd, block.data(), k_Block) != k_Block)
            break;
    ::close(fd);
    const int in = ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC);
    while (in >= 0 && ::read(in, block.data(), k_Block) > 0) {
    }
    ::close(in);
}

// Writes back what the previous pass left dirty, so that no pass pays for another's writeback.
void SettleFile(benchmark::State& state) {
    state.PauseTiming();
    const int fd = ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC);
    ::fdatasync(fd);
    ::close(fd);
    state.ResumeTiming();
}

void Finish(benchmark::State& state, int64_t bytes) {
    if (bytes != k_FileSize)
        state.SkipWithError("short transfer");
    state.SetBytesProcessed(state.iterations() * k_FileSize);
}

void BM_Posix_Read64K(benchmark::State& state) {
    PrepareFile();
    std::vector<char> block(k_Block);
    int64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC);
        total = 0;
        for (ssize_t n; (n = ::read(fd, block.data(), k_Block)) > 0;)
            total += n;
        ::close(fd);
    }
    Finish(state, total);
}

void PipeRead(benchmark::State& state, int chunk) {
    PrepareFile();
    std::vector<char> block(static_cast<size_t>(chunk));
    int64_t total = 0;
    for (auto _ : state) {
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create(FilePath().c_str(), 1);
        total = 0;
        for (int n; (n = pipe->Read(block.data(), chunk)) > 0;)
            total += n;
    }
    Finish(state, total);
}

void BM_StreamPipeFileCache_Read64K(benchmark::State& state) {
    PipeRead(state, k_Block);
}
void BM_StreamPipeFileCache_Read4K(benchmark::State& state) {
    PipeRead(state, 4096);
}

void BM_Posix_Write64K(benchmark::State& state) {
    PrepareFile();
    std::vector<char> block(k_Block, 'w');
    int64_t total = 0;
    for (auto _ : state) {
        SettleFile(state);
        const int fd = ::open(FilePath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        total = 0;
        while (total < k_FileSize && ::write(fd, block.data(), k_Block) == k_Block)
            total += k_Block;
        ::close(fd);
    }
    Finish(state, total);
}

void PipeWrite(benchmark::State& state, int chunk) {
    PrepareFile();
    std::vector<char> block(static_cast<size_t>(chunk), 'w');
    int64_t total = 0;
    for (auto _ : state) {
        SettleFile(state);
        Obj<StreamPipeFileCache> pipe = StreamPipeFileCache::Create(FilePath().c_str(), 2 | 8);
        total = 0;
        while (total < k_FileSize && pipe->Write(block.data(), chunk) == chunk)
            total += chunk;
    }
    Finish(state, total);
}

void BM_StreamPipeFileCache_Write64K(benchmark::State& state) {
    PipeWrite(state, k_Block);
}
void BM_StreamPipeFileCache_Write4K(benchmark::State& state) {
    PipeWrite(state, 4096);
}

// Whole-file passes: a few, repeated, keeping the best.
#define PIPE_BENCHMARK(name)                                                                       \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3)
PIPE_BENCHMARK(BM_Posix_Read64K);
PIPE_BENCHMARK(BM_StreamPipeFileCache_Read64K);
PIPE_BENCHMARK(BM_StreamPipeFileCache_Read4K);
PIPE_BENCHMARK(BM_Posix_Write64K);
PIPE_BENCHMARK(BM_StreamPipeFileCache_Write64K);
PIPE_BENCHMARK(BM_StreamPipeFileCache_Write4K);

} // namespace

int main(int argc, char** argv) {
    const std::vector<QuorlixBench::Comparison> comparisons = {
        {"BM_StreamPipeFileCache_Read64K/iterations:3/repeats:3/real_time",
         "BM_Posix_Read64K/iterations:3/repeats:3/real_time", true},
        {"BM_StreamPipeFileCache_Read4K/iterations:3/repeats:3/real_time",
         "BM_Posix_Read64K/iterations:3/repeats:3/real_time", true},
        {"BM_StreamPipeFileCache_Write64K/iterations:3/repeats:3/real_time",
         "BM_Posix_Write64K/iterations:3/repeats:3/real_time", true},
        {"BM_StreamPipeFileCache_Write4K/iterations:3/repeats:3/real_time",
         "BM_Posix_Write64K/iterations:3/repeats:3/real_time", true},
    };
    const int result = QuorlixBench::RunAndCompare(argc, argv, comparisons);
    ::unlink(FilePath().c_str());
    return result;
}
