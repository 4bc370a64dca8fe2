#include "quorlix/core/MD5.h"

#include "quorlix/core/Endian.h"

#include <cstring>

namespace Quorlix {

namespace {

inline uint32_t Rotate(uint32_t x, int n) noexcept {
    return (x << n) | (x >> (32 - n));
}

// One step of each round, always inlined with constant shifts. F is the selection written with
// xor/and (one operation shorter), G's two halves are added instead of or-ed (they never share
// a bit), so more of the step can run beside the chain through `b`.
inline void StepF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k, int s) {
    a = b + Rotate(a + (((c ^ d) & b) ^ d) + x + k, s);
}
inline void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k, int s) {
    a = b + Rotate(a + (d & b) + (~d & c) + x + k, s);
}
inline void StepH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k, int s) {
    a = b + Rotate(a + (b ^ c ^ d) + x + k, s);
}
inline void StepI(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k, int s) {
    a = b + Rotate(a + (c ^ (b | ~d)) + x + k, s);
}

// Compresses `blocks` consecutive 64-byte blocks into the state.
void Compress(uint32_t state[4], const uint8_t* data, size_t blocks) noexcept {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLE32(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        StepF(a, b, c, d, x[0], 0xd76aa478, 7);
        StepF(d, a, b, c, x[1], 0xe8c7b756, 12);
        StepF(c, d, a, b, x[2], 0x242070db, 17);
        StepF(b, c, d, a, x[3], 0xc1bdceee, 22);
        StepF(a, b, c, d, x[4], 0xf57c0faf, 7);
        StepF(d, a, b, c, x[5], 0x4787c62a, 12);
        StepF(c, d, a, b, x[6], 0xa8304613, 17);
        StepF(b, c, d, a, x[7], 0xfd469501, 22);
        StepF(a, b, c, d, x[8], 0x698098d8, 7);
        StepF(d, a, b, c, x[9], 0x8b44f7af, 12);
        StepF(c, d, a, b, x[10], 0xffff5bb1, 17);
        StepF(b, c, d, a, x[11], 0x895cd7be, 22);
        StepF(a, b, c, d, x[12], 0x6b901122, 7);
        StepF(d, a, b, c, x[13], 0xfd987193, 12);
        StepF(c, d, a, b, x[14], 0xa679438e, 17);
        StepF(b, c, d, a, x[15], 0x49b40821, 22);

        StepG(a, b, c, d, x[1], 0xf61e2562, 5);
        StepG(d, a, b, c, x[6], 0xc040b340, 9);
        StepG(c, d, a, b, x[11], 0x265e5a51, 14);
        StepG(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        StepG(a, b, c, d, x[5], 0xd62f105d, 5);
        StepG(d, a, b, c, x[10], 0x02441453, 9);
        StepG(c, d, a, b, x[15], 0xd8a1e681, 14);
        StepG(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        StepG(a, b, c, d, x[9], 0x21e1cde6, 5);
        StepG(d, a, b, c, x[14], 0xc33707d6, 9);
        StepG(c, d, a, b, x[3], 0xf4d50d87, 14);
        StepG(b, c, d, a, x[8], 0x455a14ed, 20);
        StepG(a, b, c, d, x[13], 0xa9e3e905, 5);
        StepG(d, a, b, c, x[2], 0xfcefa3f8, 9);
        StepG(c, d, a, b, x[7], 0x676f02d9, 14);
        StepG(b, c, d, a, x[12], 0x8d2a4c8a, 20);

        StepH(a, b, c, d, x[5], 0xfffa3942, 4);
        StepH(d, a, b, c, x[8], 0x8771f681, 11);
        StepH(c, d, a, b, x[11], 0x6d9d6122, 16);
        StepH(b, c, d, a, x[14], 0xfde5380c, 23);
        StepH(a, b, c, d, x[1], 0xa4beea44, 4);
        StepH(d, a, b, c, x[4], 0x4bdecfa9, 11);
        StepH(c, d, a, b, x[7], 0xf6bb4b60, 16);
        StepH(b, c, d, a, x[10], 0xbebfbc70, 23);
        StepH(a, b, c, d, x[13], 0x289b7ec6, 4);
        StepH(d, a, b, c, x[0], 0xeaa127fa, 11);
        StepH(c, d, a, b, x[3], 0xd4ef3085, 16);
        StepH(b, c, d, a, x[6], 0x04881d05, 23);
        StepH(a, b, c, d, x[9], 0xd9d4d039, 4);
        StepH(d, a, b, c, x[12], 0xe6db99e5, 11);
        StepH(c, d, a, b, x[15], 0x1fa27cf8, 16);
        StepH(b, c, d, a, x[2], 0xc4ac5665, 23);

        StepI(a, b, c, d, x[0], 0xf4292244, 6);
        StepI(d, a, b, c, x[7], 0x432aff97, 10);
        StepI(c, d, a, b, x[14], 0xab9423a7, 15);
        StepI(b, c, d, a, x[5], 0xfc93a039, 21);
        StepI(a, b, c, d, x[12], 0x655b59c3, 6);
        StepI(d, a, b, c, x[3], 0x8f0ccc92, 10);
        StepI(c, d, a, b, x[10], 0xffeff47d, 15);
        StepI(b, c, d, a, x[1], 0x85845dd1, 21);
        StepI(a, b, c, d, x[8], 0x6fa87e4f, 6);
        StepI(d, a, b, c, x[15], 0xfe2ce6e0, 10);
        StepI(c, d, a, b, x[6], 0xa3014314, 15);
        StepI(b, c, d, a, x[13], 0x4e0811a1, 21);
        StepI(a, b, c, d, x[4], 0xf7537e82, 6);
        StepI(d, a, b, c, x[11], 0xbd3af235, 10);
        StepI(c, d, a, b, x[2], 0x2ad7d2bb, 15);
        StepI(b, c, d, a, x[9], 0xeb86d391, 21);

        a += a0, b += b0, c += c0, d += d0;
    }
    state[0] = a, state[1] = b, state[2] = c, state[3] = d;
}

} // namespace

bool MD5::operator==(const MD5& other) const noexcept {
    return std::memcmp(m_Bytes, other.m_Bytes, sizeof m_Bytes) == 0;
}

void MD5::SetZero() noexcept {
    std::memset(m_Bytes, 0, sizeof m_Bytes);
}

void MD5Generator::Reset() noexcept {
    m_BitCount = 0;
    m_State[0] = 0x67452301u;
    m_State[1] = 0xEFCDAB89u;
    m_State[2] = 0x98BADCFEu;
    m_State[3] = 0x10325476u;
}

void MD5Generator::Update(const void* bytes, int64_t count) noexcept {
    if (count <= 0)
        return;
    auto input = static_cast<const uint8_t*>(bytes);
    auto remaining = static_cast<uint64_t>(count);
    const auto buffered = static_cast<size_t>((m_BitCount >> 3) & 63);
    // The count is of bits modulo 2^64, as the padding records it.
    m_BitCount += remaining << 3;
    if (buffered != 0) {
        const size_t take =
            remaining < 64 - buffered ? static_cast<size_t>(remaining) : 64 - buffered;
        std::memcpy(m_Block + buffered, input, take);
        input += take;
        remaining -= take;
        if (buffered + take < 64)
            return;
        Compress(m_State, m_Block, 1);
    }
    // Whole blocks straight from the caller's bytes, without a copy.
    Compress(m_State, input, static_cast<size_t>(remaining / 64));
    input += remaining / 64 * 64;
    std::memcpy(m_Block, input, static_cast<size_t>(remaining % 64));
}

void MD5Generator::Final(MD5& out) noexcept {
    uint8_t length[8];
    StoreLE64(length, m_BitCount);
    const auto buffered = static_cast<size_t>((m_BitCount >> 3) & 63);
    // A 1 bit, zeros up to 56 bytes modulo 64, then the bit count; Update keeps the count
    // advancing, so the length is taken first.
    static const uint8_t k_Padding[64] = {0x80};
    Update(k_Padding, static_cast<int64_t>(buffered < 56 ? 56 - buffered : 120 - buffered));
    Update(length, 8);
    for (int i = 0; i < 4; ++i)
        StoreLE32(out.m_Bytes + 4 * i, m_State[i]);
    Reset();
}

} // namespace Quorlix
