#pragma once
// MD5 digests (RFC 1321): the 16-byte value and the generator that computes it over input given
// in pieces of any size. Not locked: one thread per generator.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix {

/// A 16-byte digest, in the byte order of its usual hexadecimal form.
struct QUORLIX_API MD5 {
    uint8_t m_Bytes[16] = {};

    bool operator==(const MD5& other) const noexcept;
    bool operator!=(const MD5& other) const noexcept { return !(*this == other); }
    /// All 16 bytes 0.
    void SetZero() noexcept;
};

class QUORLIX_API MD5Generator {
public:
    MD5Generator() noexcept { Reset(); }

    /// Starts a new digest.
    void Reset() noexcept;
    /// Adds `count` bytes (none for count <= 0; `bytes` may then be null).
    void Update(const void* bytes, int64_t count) noexcept;
    /// Pads the input, writes the digest to `out` and resets, so the generator can start over.
    void Final(MD5& out) noexcept;

private:
    uint64_t m_BitCount;
    uint32_t m_State[4];
    uint8_t m_Block[64];
};

} // namespace Quorlix
