#include "quorlix/core/Endian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using namespace Quorlix;

namespace {

constexpr unsigned char k_Bytes[9] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

// The constant-evaluated path is a separate loop: it must agree with the run-time one.
static_assert(LoadLE16(k_Bytes + 1) == 0x0201);
static_assert(LoadLE32(k_Bytes + 1) == 0x04030201u);
static_assert(LoadLE64(k_Bytes + 1) == 0x0807060504030201ull);
static_assert(LoadBE16(k_Bytes + 1) == 0x0102);
static_assert(LoadBE32(k_Bytes + 1) == 0x01020304u);
static_assert(LoadBE64(k_Bytes + 1) == 0x0102030405060708ull);

constexpr std::array<unsigned char, 8> StoredLE64(uint64_t v) {
    std::array<unsigned char, 8> out{};
    StoreLE64(out.data(), v);
    return out;
}
static_assert(StoredLE64(0x0807060504030201ull)[0] == 1 &&
              StoredLE64(0x0807060504030201ull)[7] == 8);

} // namespace

TEST(Endian, LoadsReadBothOrdersAtAnyAlignment) {
    // Every offset into the buffer, so unaligned loads are exercised too.
    unsigned char bytes[24];
    for (int i = 0; i < 24; ++i)
        bytes[i] = static_cast<unsigned char>(0xF0 + i);
    for (int at = 0; at + 8 <= 24; ++at) {
        const unsigned char* p = bytes + at;
        uint64_t le = 0, be = 0;
        for (int i = 0; i < 8; ++i) {
            le |= uint64_t{p[i]} << (8 * i);
            be = be << 8 | p[i];
        }
        EXPECT_EQ(LoadLE64(p), le) << at;
        EXPECT_EQ(LoadBE64(p), be) << at;
        EXPECT_EQ(LoadLE32(p), static_cast<uint32_t>(le)) << at;
        EXPECT_EQ(LoadBE32(p), static_cast<uint32_t>(be >> 32)) << at;
        EXPECT_EQ(LoadLE16(p), static_cast<uint16_t>(le)) << at;
        EXPECT_EQ(LoadBE16(p), static_cast<uint16_t>(be >> 48)) << at;
    }
}

TEST(Endian, StoresWriteOnlyTheirBytesInOrder) {
    unsigned char bytes[12];
    std::fill(std::begin(bytes), std::end(bytes), 0xEE);
    StoreLE32(bytes + 1, 0x11223344u);
    EXPECT_EQ(bytes[0], 0xEE);
    EXPECT_EQ(bytes[1], 0x44);
    EXPECT_EQ(bytes[4], 0x11);
    EXPECT_EQ(bytes[5], 0xEE);
    StoreBE64(bytes + 3, 0x0102030405060708ull);
    EXPECT_EQ(bytes[2], 0x33);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bytes[3 + i], i + 1);
    EXPECT_EQ(bytes[11], 0xEE);
    StoreLE16(bytes, 0xBEEF);
    StoreBE16(bytes + 10, 0xBEEF);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[1], 0xBE);
    EXPECT_EQ(bytes[10], 0xBE);
    EXPECT_EQ(bytes[11], 0xEF);
    // Round trips of values with every byte distinct.
    StoreLE64(bytes + 1, 0xA1B2C3D4E5F60718ull);
    EXPECT_EQ(LoadLE64(bytes + 1), 0xA1B2C3D4E5F60718ull);
    StoreBE32(bytes + 2, 0xA1B2C3D4u);
    EXPECT_EQ(LoadBE32(bytes + 2), 0xA1B2C3D4u);
}
