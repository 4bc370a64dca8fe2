#pragma once
// Little- and big-endian integers in byte buffers: the file formats (archives, settings values,
// digests) fix their byte order, whatever the machine's. Pointers need no alignment. At run
// time each load and store is one memcpy plus, where the orders differ, one byte swap, which
// compilers turn into a single move; in constant evaluation they go byte by byte.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Quorlix {

namespace Internal {

template <class T>
constexpr T ByteSwap(T v) noexcept {
    static_assert(std::is_unsigned_v<T>);
    if constexpr (sizeof(T) == 1)
        return v;
    else if constexpr (sizeof(T) == 2)
        return static_cast<T>(__builtin_bswap16(v));
    else if constexpr (sizeof(T) == 4)
        return static_cast<T>(__builtin_bswap32(v));
    else
        return static_cast<T>(__builtin_bswap64(v));
}

template <class T, bool Little>
constexpr T LoadOrdered(const unsigned char* p) noexcept {
    if (std::is_constant_evaluated()) {
        T v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<T>(T{p[i]} << (8 * (Little ? i : sizeof(T) - 1 - i)));
        return v;
    }
    T v;
    std::memcpy(&v, p, sizeof(T));
    return (std::endian::native == std::endian::little) == Little ? v : ByteSwap(v);
}

template <class T, bool Little>
constexpr void StoreOrdered(unsigned char* p, T v) noexcept {
    if (std::is_constant_evaluated()) {
        for (size_t i = 0; i < sizeof(T); ++i)
            p[i] = static_cast<unsigned char>(v >> (8 * (Little ? i : sizeof(T) - 1 - i)));
        return;
    }
    if ((std::endian::native == std::endian::little) != Little)
        v = ByteSwap(v);
    std::memcpy(p, &v, sizeof(T));
}

} // namespace Internal

constexpr uint16_t LoadLE16(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint16_t, true>(p);
}
constexpr uint32_t LoadLE32(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint32_t, true>(p);
}
constexpr uint64_t LoadLE64(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint64_t, true>(p);
}
constexpr uint16_t LoadBE16(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint16_t, false>(p);
}
constexpr uint32_t LoadBE32(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint32_t, false>(p);
}
constexpr uint64_t LoadBE64(const unsigned char* p) noexcept {
    return Internal::LoadOrdered<uint64_t, false>(p);
}

constexpr void StoreLE16(unsigned char* p, uint16_t v) noexcept {
    Internal::StoreOrdered<uint16_t, true>(p, v);
}
constexpr void StoreLE32(unsigned char* p, uint32_t v) noexcept {
    Internal::StoreOrdered<uint32_t, true>(p, v);
}
constexpr void StoreLE64(unsigned char* p, uint64_t v) noexcept {
    Internal::StoreOrdered<uint64_t, true>(p, v);
}
constexpr void StoreBE16(unsigned char* p, uint16_t v) noexcept {
    Internal::StoreOrdered<uint16_t, false>(p, v);
}
constexpr void StoreBE32(unsigned char* p, uint32_t v) noexcept {
    Internal::StoreOrdered<uint32_t, false>(p, v);
}
constexpr void StoreBE64(unsigned char* p, uint64_t v) noexcept {
    Internal::StoreOrdered<uint64_t, false>(p, v);
}

} // namespace Quorlix
