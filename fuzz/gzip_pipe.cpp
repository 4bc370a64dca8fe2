// Gzip decoder fuzzer: the input, as the compressed data, is decoded once in large reads to
// learn its output, then again after a restart through a mix of byte reads, peeks, look-ahead,
// block reads, skips and restarts driven by a generator seeded from the input. Every call must
// agree with the first decoding; nothing may crash, hang or grow without bound.

#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "gzip_pipe: line %d: %s\n", __LINE__, #c), std::abort()))

constexpr size_t k_MaxOutput = size_t{4} << 20; // decoding stops here: bombs are cut short
constexpr int k_Steps = 200;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    Obj<StreamPipeMemory> inner = StreamPipeMemory::Create(data, static_cast<int>(size));
    Obj<StreamPipeCompressZ> pipe = StreamPipeCompressZ::Create(inner);
    std::string output;
    std::vector<char> buffer(1 << 16);
    for (int count; output.size() < k_MaxOutput &&
                    (count = pipe->Read(buffer.data(), static_cast<int>(buffer.size()))) > 0;)
        output.append(buffer.data(), static_cast<size_t>(count));
    const bool complete = output.size() < k_MaxOutput; // the end of the data was seen
    const bool damaged = pipe->IsDamaged();
    if (complete)
        EXPECT(pipe->Read() == -1 && pipe->Peek() == -1);

    EXPECT(pipe->Seek(0, SeekBegin) == 0);
    uint32_t state = static_cast<uint32_t>(size) * 2654435761u;
    for (size_t i = 0; i < size && i < 16; ++i)
        state = state * 31 + data[i];
    size_t at = 0;
    // The byte `offset` ahead as the first decoding gave it; -1 at the end, -3 when unknown.
    const auto expected = [&](size_t offset) {
        if (at + offset < output.size())
            return static_cast<int>(static_cast<unsigned char>(output[at + offset]));
        return complete ? -1 : -3;
    };
    for (int step = 0; step < k_Steps && at < output.size() + 1; ++step) {
        state = state * 1103515245u + 12345u;
        const int n = static_cast<int>((state >> 8) % 20000);
        const size_t left = output.size() - std::min(at, output.size());
        const int whole = static_cast<int>(std::min<size_t>(static_cast<size_t>(n), left));
        switch ((state >> 28) % 6) {
        case 0: {
            const int byte = pipe->Read(), wanted = expected(0);
            EXPECT(byte == wanted || wanted == -3);
            at += byte >= 0 ? 1 : 0;
            break;
        }
        case 1:
            EXPECT(pipe->Peek() == expected(0) || expected(0) == -3);
            break;
        case 2: {
            const int offset = n % 9000, byte = pipe->PeekAt(offset);
            const size_t ahead = static_cast<size_t>(offset);
            // Beyond the buffer: -2, or -1 when the data has already ended.
            if (offset >= StreamPipeCompressZ::k_BufferSize)
                EXPECT(byte == -2 || (byte == -1 && expected(0) == -1));
            else
                EXPECT(byte == expected(ahead) || expected(ahead) == -3);
            break;
        }
        case 3: {
            buffer.resize(static_cast<size_t>(n) + 1);
            const int count = pipe->Read(buffer.data(), n);
            EXPECT(count >= 0 && count <= n);
            EXPECT(count == whole || !complete);
            EXPECT(std::memcmp(buffer.data(), output.data() + at,
                               std::min(static_cast<size_t>(count), left)) == 0);
            at += static_cast<size_t>(count);
            break;
        }
        case 4: {
            const int count = pipe->Skip(n);
            EXPECT(count >= 0 && count <= n && (count == whole || !complete));
            at += static_cast<size_t>(count);
            break;
        }
        default:
            EXPECT(pipe->Seek(0, SeekBegin) == 0);
            at = 0;
            break;
        }
        if (at > output.size())
            break; // past what the first decoding looked at
    }
    // Decoded to the end once more, the data ends the same way.
    if (complete) {
        while (pipe->Read(buffer.data(), static_cast<int>(buffer.size())) > 0) {
        }
        EXPECT(pipe->IsDamaged() == damaged);
    }
    return 0;
}
