// Log lines per second into a file: a warning with the default prefix written through a log
// stream on a log pipe over the unbuffered file pipe (what InitLogStreams sets up), beside one
// plain write() per line of the same length. The files live in $TMPDIR and are rewound now and
// then, so their size stays small.

#include "BenchRatios.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace Quorlix;

namespace {

constexpr int k_Rewind = 1 << 16; // lines between two rewinds of the file

std::string TempPath(const char* name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base ? base : "/tmp") + "/" + name + "." +
           std::to_string(::getpid());
}

// The message every benchmark writes, in several insertions as code writes its messages.
void WriteMessage(LogStream& log, int i) {
    log.pLockWarn() << "Loader::Open: texture " << i << " of scene "
                    << "castle.kss"
                    << " not found.";
    log.pLF();
    log.pUnlockMessage();
}

void BM_LogStream_Line(benchmark::State& state) {
    const std::string path = TempPath("LogBench");
    Obj<StreamPipeLog> pipe = StreamPipeLog::Create();
    pipe->SetStreamPipe(StreamPipeFile::Create(path.c_str(), 14), StreamPipeLog::SlotFile);
    LogStream log(pipe);
    const unsigned old = LogStream::SetLogFormat(LogStream::FormatDefault);
    int i = 0;
    for (auto _ : state) {
        WriteMessage(log, i);
        if (++i == k_Rewind) {
            i = 0;
            pipe->Seek(0, SeekBegin);
        }
    }
    LogStream::SetLogFormat(old);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    ::unlink(path.c_str());
}

void BM_Write_Line(benchmark::State& state) {
    // The very bytes the log writes for one message, taken from a memory pipe.
    Obj<StreamPipeMemory> memory = StreamPipeMemory::Create();
    LogStream sample(memory);
    const unsigned old = LogStream::SetLogFormat(LogStream::FormatDefault);
    WriteMessage(sample, 12345);
    LogStream::SetLogFormat(old);
    const std::string line(reinterpret_cast<const char*>(memory->GetData()),
                           static_cast<size_t>(memory->GetSize()));
    const std::string path = TempPath("WriteBench");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        if (++i == k_Rewind) {
            i = 0;
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    ::close(fd);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetLabel(std::to_string(line.size()) + " bytes");
    ::unlink(path.c_str());
}

BENCHMARK(BM_LogStream_Line);
BENCHMARK(BM_Write_Line);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    return QuorlixBench::RunAndCompare(argc, argv,
                                       {Comparison{"BM_LogStream_Line", "BM_Write_Line"}});
}
