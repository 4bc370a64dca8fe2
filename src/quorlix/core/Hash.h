#pragma once
// The library's two hash functions.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

/// The lookup2 hash of `length` bytes with the given initial value. Reads exactly the bytes
/// given, so any buffer may be hashed. Stored name hashes depend on these exact values.
QUORLIX_API unsigned FastStringHash32(const unsigned char* data, unsigned length,
                                      unsigned initial) noexcept;

/// Mixes the bits of a 32-bit integer (object ids, addresses).
constexpr unsigned AddressHash32(unsigned x) noexcept {
    x *= 4097;
    x ^= x >> 22;
    x *= 17;
    x ^= x >> 9;
    x *= 1025;
    x ^= x >> 2;
    x *= 129;
    x ^= x >> 12;
    return x;
}

/// Address form: the upper half of a 64-bit pointer is folded in before mixing.
inline unsigned AddressHash32(const void* address) noexcept {
    const auto bits = reinterpret_cast<uintptr_t>(address);
    return AddressHash32(static_cast<unsigned>(bits) ^ static_cast<unsigned>(bits >> 32));
}

} // namespace Quorlix
