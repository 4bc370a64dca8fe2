#include "quorlix/core/Hash.h"

#include <cstring>

namespace Quorlix {

namespace {

inline uint32_t ReadLittleEndian32(const unsigned char* p) noexcept {
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    return word;
}

#define QUORLIX_LOOKUP2_MIX(a, b, c)                                                               \
    do {                                                                                           \
        a -= b;                                                                                    \
        a -= c;                                                                                    \
        a ^= (c >> 13);                                                                            \
        b -= c;                                                                                    \
        b -= a;                                                                                    \
        b ^= (a << 8);                                                                             \
        c -= a;                                                                                    \
        c -= b;                                                                                    \
        c ^= (b >> 13);                                                                            \
        a -= b;                                                                                    \
        a -= c;                                                                                    \
        a ^= (c >> 12);                                                                            \
        b -= c;                                                                                    \
        b -= a;                                                                                    \
        b ^= (a << 16);                                                                            \
        c -= a;                                                                                    \
        c -= b;                                                                                    \
        c ^= (b >> 5);                                                                             \
        a -= b;                                                                                    \
        a -= c;                                                                                    \
        a ^= (c >> 3);                                                                             \
        b -= c;                                                                                    \
        b -= a;                                                                                    \
        b ^= (a << 10);                                                                            \
        c -= a;                                                                                    \
        c -= b;                                                                                    \
        c ^= (b >> 15);                                                                            \
    } while (0)

} // namespace

unsigned FastStringHash32(const unsigned char* data, unsigned length, unsigned initial) noexcept {
    uint32_t a = 0x9E3779B9u;
    uint32_t b = 0x9E3779B9u;
    uint32_t c = initial;
    unsigned left = length;
    while (left >= 12) {
        a += ReadLittleEndian32(data);
        b += ReadLittleEndian32(data + 4);
        c += ReadLittleEndian32(data + 8);
        QUORLIX_LOOKUP2_MIX(a, b, c);
        data += 12;
        left -= 12;
    }
    // The tail is read byte by byte: nothing past the last byte is touched. The low byte of c
    // is taken by the length.
    c += length;
    switch (left) {
    case 11:
        c += static_cast<uint32_t>(data[10]) << 24;
        [[fallthrough]];
    case 10:
        c += static_cast<uint32_t>(data[9]) << 16;
        [[fallthrough]];
    case 9:
        c += static_cast<uint32_t>(data[8]) << 8;
        [[fallthrough]];
    case 8:
        b += static_cast<uint32_t>(data[7]) << 24;
        [[fallthrough]];
    case 7:
        b += static_cast<uint32_t>(data[6]) << 16;
        [[fallthrough]];
    case 6:
        b += static_cast<uint32_t>(data[5]) << 8;
        [[fallthrough]];
    case 5:
        b += data[4];
        [[fallthrough]];
    case 4:
        a += static_cast<uint32_t>(data[3]) << 24;
        [[fallthrough]];
    case 3:
        a += static_cast<uint32_t>(data[2]) << 16;
        [[fallthrough]];
    case 2:
        a += static_cast<uint32_t>(data[1]) << 8;
        [[fallthrough]];
    case 1:
        a += data[0];
        [[fallthrough]];
    default:
        break;
    }
    QUORLIX_LOOKUP2_MIX(a, b, c);
    return c;
}

#undef QUORLIX_LOOKUP2_MIX

} // namespace Quorlix
