#include "quorlix/stream/StreamPipeCipherTEA.h"

#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"
#include "quorlix/stream/ReportStream.h"

#include <bit>
#include <cstring>

namespace Quorlix {

namespace {

constexpr uint32_t k_Delta = 0x9E3779B9u;
constexpr uint32_t k_DecipherSum = 0xC6EF3720u; // k_Delta * 32
constexpr int k_Block = 8;

// Eight 32-bit lanes. ECB blocks are independent, so the bulk path runs sixteen blocks at once
// in two vectors of eight: the 32 dependent cycles of one block pipeline with the others'.
// Without AVX2 each vector is two SSE registers.
using Lanes = uint32_t __attribute__((vector_size(32)));

#define QUORLIX_TEA_INLINE [[gnu::always_inline]] inline

QUORLIX_TEA_INLINE uint32_t LoadWord(const unsigned char* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap32(word);
    return word;
}

QUORLIX_TEA_INLINE void StoreWord(unsigned char* bytes, uint32_t word) {
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap32(word);
    std::memcpy(bytes, &word, 4);
}

// Splits eight blocks into their y and z words.
QUORLIX_TEA_INLINE void Load8(const unsigned char* bytes, Lanes& y, Lanes& z) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = LoadWord(bytes + 4 * i);
    y = Lanes{w[0], w[2], w[4], w[6], w[8], w[10], w[12], w[14]};
    z = Lanes{w[1], w[3], w[5], w[7], w[9], w[11], w[13], w[15]};
}

QUORLIX_TEA_INLINE void Store8(unsigned char* bytes, const Lanes& y, const Lanes& z) {
    for (int i = 0; i < 8; ++i) {
        StoreWord(bytes + 8 * i, y[i]);
        StoreWord(bytes + 8 * i + 4, z[i]);
    }
}

// Enciphers or deciphers `count` blocks in place.
template <bool Encipher>
QUORLIX_TEA_INLINE void Blocks(unsigned char* bytes, int count, const unsigned key[4]) {
    const uint32_t k0 = key[0], k1 = key[1], k2 = key[2], k3 = key[3];
    for (; count >= 16; count -= 16, bytes += 16 * k_Block) {
        Lanes y0, z0, y1, z1;
        Load8(bytes, y0, z0);
        Load8(bytes + 64, y1, z1);
        if constexpr (Encipher) {
            uint32_t sum = 0;
            for (int cycle = 0; cycle < 32; ++cycle) {
                sum += k_Delta;
                y0 += ((z0 << 4) + k0) ^ (z0 + sum) ^ ((z0 >> 5) + k1);
                y1 += ((z1 << 4) + k0) ^ (z1 + sum) ^ ((z1 >> 5) + k1);
                z0 += ((y0 << 4) + k2) ^ (y0 + sum) ^ ((y0 >> 5) + k3);
                z1 += ((y1 << 4) + k2) ^ (y1 + sum) ^ ((y1 >> 5) + k3);
            }
        } else {
            uint32_t sum = k_DecipherSum;
            for (int cycle = 0; cycle < 32; ++cycle) {
                z0 -= ((y0 << 4) + k2) ^ (y0 + sum) ^ ((y0 >> 5) + k3);
                z1 -= ((y1 << 4) + k2) ^ (y1 + sum) ^ ((y1 >> 5) + k3);
                y0 -= ((z0 << 4) + k0) ^ (z0 + sum) ^ ((z0 >> 5) + k1);
                y1 -= ((z1 << 4) + k0) ^ (z1 + sum) ^ ((z1 >> 5) + k1);
                sum -= k_Delta;
            }
        }
        Store8(bytes, y0, z0);
        Store8(bytes + 64, y1, z1);
    }
    for (; count > 0; --count, bytes += k_Block) {
        unsigned block[2] = {LoadWord(bytes), LoadWord(bytes + 4)};
        if constexpr (Encipher)
            EncipherTEA32(block, block, key);
        else
            DecipherTEA32(block, block, key);
        StoreWord(bytes, block[0]);
        StoreWord(bytes + 4, block[1]);
    }
}

using BlockFunction = void (*)(unsigned char* bytes, int count, const unsigned key[4]);

template <bool Encipher>
void PlainBlocks(unsigned char* bytes, int count, const unsigned key[4]) {
    Blocks<Encipher>(bytes, count, key);
}

// The same code for processors with AVX2, where each vector is one register.
template <bool Encipher>
__attribute__((target("avx2"))) void WideBlocks(unsigned char* bytes, int count,
                                                const unsigned key[4]) {
    Blocks<Encipher>(bytes, count, key);
}

// Chosen at first use, not through an IFUNC: resolvers run during relocation, before
// sanitizer runtimes are up, and kill instrumented builds before main.
struct BlockFunctions {
    BlockFunction m_Encipher;
    BlockFunction m_Decipher;
};

const BlockFunctions& Pick() {
    static const BlockFunctions s_Functions = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2"))
            return BlockFunctions{&WideBlocks<true>, &WideBlocks<false>};
        return BlockFunctions{&PlainBlocks<true>, &PlainBlocks<false>};
    }();
    return s_Functions;
}

void EncipherBlocks(unsigned char* bytes, int count, const unsigned key[4]) {
    if (count > 0)
        Pick().m_Encipher(bytes, count, key);
}

void DecipherBlocks(unsigned char* bytes, int count, const unsigned key[4]) {
    if (count > 0)
        Pick().m_Decipher(bytes, count, key);
}

} // namespace

void EncipherTEA32(const unsigned in[2], unsigned out[2], const unsigned key[4]) {
    uint32_t y = in[0], z = in[1], sum = 0;
    for (int cycle = 0; cycle < 32; ++cycle) {
        sum += k_Delta;
        y += ((z << 4) + key[0]) ^ (z + sum) ^ ((z >> 5) + key[1]);
        z += ((y << 4) + key[2]) ^ (y + sum) ^ ((y >> 5) + key[3]);
    }
    out[0] = y;
    out[1] = z;
}

void DecipherTEA32(const unsigned in[2], unsigned out[2], const unsigned key[4]) {
    uint32_t y = in[0], z = in[1], sum = k_DecipherSum;
    for (int cycle = 0; cycle < 32; ++cycle) {
        z -= ((y << 4) + key[2]) ^ (y + sum) ^ ((y >> 5) + key[3]);
        y -= ((z << 4) + key[0]) ^ (z + sum) ^ ((z >> 5) + key[1]);
        sum -= k_Delta;
    }
    out[0] = y;
    out[1] = z;
}

StreamPipeCipherTEA* StreamPipeCipherTEA::Create(StreamPipe* inner, const unsigned key[4]) {
    return NewObject<StreamPipeCipherTEA>(inner, key);
}

StreamPipeCipherTEA::StreamPipeCipherTEA(StreamPipe* inner, const unsigned key[4])
    : StreamPipeFilter(inner), BufferedReader(k_Block), m_Key{key[0], key[1], key[2], key[3]} {}

StreamPipeCipherTEA::~StreamPipeCipherTEA() {
    if (m_WriteBuffer == nullptr)
        return;
    Flush();
    const int partial = m_WriteFill - m_WriteSealed;
    if (partial > 0 && partial < k_Block) {
        std::memset(m_WriteBuffer + m_WriteFill, 0, static_cast<size_t>(k_Block - partial));
        m_WriteFill += k_Block - partial;
        Flush();
    }
    if (m_WriteFill > 0) {
        Xreport.pLockWarn() << "StreamPipeCipherTEA::~StreamPipeCipherTEA: " << m_WriteFill
                            << " bytes could not be written.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    Platform::FreePages(m_WriteBuffer, k_WritePiece);
}

void StreamPipeCipherTEA::Flush() {
    if (m_WriteFill == 0)
        return;
    // Blocks enciphered by an earlier flush that the inner pipe refused stay at
    // the front; only the plain ones behind them are enciphered now.
    const int whole = m_WriteSealed + (m_WriteFill - m_WriteSealed) / k_Block * k_Block;
    EncipherBlocks(m_WriteBuffer + m_WriteSealed, (whole - m_WriteSealed) / k_Block, m_Key);
    const int written =
        whole > 0 ? static_cast<int>(WriteFully(*m_Inner, m_WriteBuffer, whole)) : 0;
    std::memmove(m_WriteBuffer, m_WriteBuffer + written,
                 static_cast<size_t>(m_WriteFill - written));
    m_WriteFill -= written;
    m_WriteSealed = whole - written;
}

int StreamPipeCipherTEA::Write(const void* data, int n) {
    if (data == nullptr || n <= 0)
        return 0;
    if (m_WriteBuffer == nullptr) {
        m_WriteBuffer = static_cast<unsigned char*>(Platform::AllocatePages(k_WritePiece));
        if (m_WriteBuffer == nullptr)
            Platform::ReportOutOfMemory();
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    int taken = 0;
    while (taken < n) {
        const int room = k_WritePiece - m_WriteFill;
        const int count = n - taken < room ? n - taken : room;
        std::memcpy(m_WriteBuffer + m_WriteFill, bytes + taken, static_cast<size_t>(count));
        m_WriteFill += count;
        taken += count;
        Flush();
        if (m_WriteFill == k_WritePiece)
            break; // the inner pipe takes nothing more
    }
    return taken;
}

int StreamPipeCipherTEA::FillBuffer(unsigned char* data, int size) {
    if (m_ReadEnded)
        return 0;
    int count = 0;
    while (count < size) {
        const int got = m_Inner->Read(data + count, size - count);
        if (got <= 0) {
            // A stream that ends inside a block is damaged: nothing may follow the
            // partial block, even if the inner pipe grows.
            m_ReadEnded = count % k_Block != 0;
            break;
        }
        count += got;
    }
    DecipherBlocks(data, count / k_Block, m_Key);
    return count;
}

int64_t StreamPipeCipherTEA::Seek(int64_t offset, int origin) {
    if (offset != 0) {
        Xreport.pLockWarn() << "StreamPipeCipherTEA::Seek: random seek within "
                               "compressed file not supported.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return -1;
    }
    Flush();
    if (origin == SeekCurrent) {
        // A position query must not drop the read-ahead: those bytes would be lost.
        const int64_t inner = m_Inner->Seek(0, SeekCurrent);
        return inner < 0 ? -1 : inner + m_WriteFill - GetBuffered();
    }
    DropBuffered();
    m_ReadEnded = false;
    return m_Inner->Seek(0, origin);
}

} // namespace Quorlix
