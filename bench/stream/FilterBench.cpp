// The filter pipes against the work they wrap. TEA: the cipher pipe over a memory pipe against
// deciphering one block at a time, goal 300 MB/s for 64 KiB reads; writes of 64 KiB and reads of
// single bytes beside them. Gzip: the decoder pipe reading 64 MiB of
// compressible text against zlib inflating the same gzip bytes from memory (with its own CRC
// check, the same work), goal 0.85 of the baseline.

#include "BenchRatios.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_CipherSize = 16 << 20;
constexpr int k_TextSize = 64 << 20;
constexpr int k_Chunk = 64 << 10;
const unsigned k_Key[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

const std::vector<unsigned char>& Cipher() {
    static const std::vector<unsigned char> s_Bytes = QuorlixBench::RandomBytes(k_CipherSize, 7);
    return s_Bytes;
}

// Words drawn from a small vocabulary: text that deflates about four to one.
const std::string& GzipText() {
    static const std::string s_Gzip = [] {
        static const char* const k_Words[] = {"node", "camera", "light", "0.5",    "1.0",
                                              "{",    "}",      ";\n",   "Matrix", "Vector3f",
                                              "clip", "spline", "key",   "-2.25",  "texture"};
        std::mt19937 random(11);
        std::string text;
        text.reserve(k_TextSize + 16);
        while (text.size() < static_cast<size_t>(k_TextSize)) {
            text += k_Words[random() % std::size(k_Words)];
            text += ' ';
        }
        text.resize(k_TextSize);
        z_stream stream{};
        deflateInit2(&stream, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        std::string gzip(deflateBound(&stream, text.size()), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(text.data());
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = reinterpret_cast<Bytef*>(gzip.data());
        stream.avail_out = static_cast<uInt>(gzip.size());
        deflate(&stream, Z_FINISH);
        gzip.resize(stream.total_out);
        deflateEnd(&stream);
        return gzip;
    }();
    return s_Gzip;
}

void Finish(benchmark::State& state, int64_t bytes, int64_t expected) {
    if (bytes != expected)
        state.SkipWithError("short read");
    state.SetBytesProcessed(state.iterations() * expected);
}

void BM_TEA_DecipherOneBlockAtATime(benchmark::State& state) {
    std::vector<unsigned char> bytes = Cipher();
    for (auto _ : state) {
        for (size_t at = 0; at < bytes.size(); at += 8) {
            unsigned block[2];
            std::memcpy(block, bytes.data() + at, 8);
            DecipherTEA32(block, block, k_Key);
            std::memcpy(bytes.data() + at, block, 8);
        }
        benchmark::DoNotOptimize(bytes.data());
    }
    Finish(state, k_CipherSize, k_CipherSize);
}

void BM_StreamPipeCipherTEA_Read64K(benchmark::State& state) {
    Obj<StreamPipeMemory> inner = StreamPipeMemory::Create(Cipher().data(), k_CipherSize);
    std::vector<char> buffer(k_Chunk);
    int64_t total = 0;
    for (auto _ : state) {
        inner->Seek(0, SeekBegin);
        Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(inner, k_Key);
        total = 0;
        for (int n; (n = pipe->Read(buffer.data(), k_Chunk)) > 0;)
            total += n;
    }
    Finish(state, total, k_CipherSize);
}

// Writes of 64 KiB: every write goes down at once, in whole blocks.
void BM_StreamPipeCipherTEA_Write64K(benchmark::State& state) {
    const std::vector<unsigned char>& plain = Cipher();
    int64_t total = 0;
    for (auto _ : state) {
        Obj<StreamPipeMemory> inner = StreamPipeMemory::Create();
        Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(inner, k_Key);
        total = 0;
        for (int at = 0; at < k_CipherSize; at += k_Chunk)
            total += pipe->Write(plain.data() + at, k_Chunk);
        pipe = nullptr;
        if (inner->GetSize() != k_CipherSize)
            total = 0;
    }
    Finish(state, total, k_CipherSize);
}

// One byte per call: the cost of the buffered reader's path for single bytes.
void BM_StreamPipeCipherTEA_ReadBytes(benchmark::State& state) {
    Obj<StreamPipeMemory> inner = StreamPipeMemory::Create(Cipher().data(), k_CipherSize);
    int64_t total = 0;
    for (auto _ : state) {
        inner->Seek(0, SeekBegin);
        Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(inner, k_Key);
        total = 0;
        unsigned sum = 0;
        for (int c; (c = pipe->Read()) >= 0; ++total)
            sum += static_cast<unsigned>(c);
        benchmark::DoNotOptimize(sum);
    }
    Finish(state, total, k_CipherSize);
}

void BM_Zlib_InflateGzipFromMemory(benchmark::State& state) {
    const std::string& gzip = GzipText();
    std::vector<unsigned char> buffer(k_Chunk);
    int64_t total = 0;
    for (auto _ : state) {
        z_stream stream{};
        inflateInit2(&stream, 31);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
        stream.avail_in = static_cast<uInt>(gzip.size());
        total = 0;
        int status = Z_OK;
        while (status == Z_OK) {
            stream.next_out = buffer.data();
            stream.avail_out = k_Chunk;
            status = inflate(&stream, Z_NO_FLUSH);
            total += k_Chunk - stream.avail_out;
        }
        inflateEnd(&stream);
    }
    Finish(state, total, k_TextSize);
}

void BM_StreamPipeCompressZ_Read64K(benchmark::State& state) {
    const std::string& gzip = GzipText();
    Obj<StreamPipeMemory> inner =
        StreamPipeMemory::Create(gzip.data(), static_cast<int>(gzip.size()));
    std::vector<char> buffer(k_Chunk);
    int64_t total = 0;
    for (auto _ : state) {
        inner->Seek(0, SeekBegin);
        Obj<StreamPipeCompressZ> pipe = StreamPipeCompressZ::Create(inner);
        total = 0;
        for (int n; (n = pipe->Read(buffer.data(), k_Chunk)) > 0;)
            total += n;
    }
    Finish(state, total, k_TextSize);
}

#define FILTER_BENCHMARK(name)                                                                     \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)
FILTER_BENCHMARK(BM_TEA_DecipherOneBlockAtATime);
FILTER_BENCHMARK(BM_StreamPipeCipherTEA_Read64K);
FILTER_BENCHMARK(BM_StreamPipeCipherTEA_Write64K);
FILTER_BENCHMARK(BM_StreamPipeCipherTEA_ReadBytes);
FILTER_BENCHMARK(BM_Zlib_InflateGzipFromMemory);
FILTER_BENCHMARK(BM_StreamPipeCompressZ_Read64K);

} // namespace

int main(int argc, char** argv) {
    const std::vector<QuorlixBench::Comparison> comparisons = {
        {"BM_StreamPipeCipherTEA_Read64K/repeats:3/real_time",
         "BM_TEA_DecipherOneBlockAtATime/repeats:3/real_time", true},
        {"BM_StreamPipeCipherTEA_Write64K/repeats:3/real_time",
         "BM_TEA_DecipherOneBlockAtATime/repeats:3/real_time", true},
        {"BM_StreamPipeCipherTEA_ReadBytes/repeats:3/real_time",
         "BM_TEA_DecipherOneBlockAtATime/repeats:3/real_time", true},
        {"BM_StreamPipeCompressZ_Read64K/repeats:3/real_time",
         "BM_Zlib_InflateGzipFromMemory/repeats:3/real_time", true},
    };
    const std::vector<QuorlixBench::Goal> goals = {
        {"BM_StreamPipeCipherTEA_Read64K/repeats:3/real_time", "at least 300 MB/s", 0, 300e6},
    };
    return QuorlixBench::RunAndCompare(argc, argv, comparisons, goals);
}
