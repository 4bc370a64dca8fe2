#include "quorlix/core/Hash.h"
#include "quorlix/platform/Memory.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

using namespace Quorlix;

namespace {

// lookup2 written again from its published description, deliberately in another shape than
// the library's: registers in an array, one loop for the mix, the key assembled bytewise.
void Lookup2Mix(uint32_t r[3]) {
    static const unsigned k_Shifts[9] = {13, 8, 13, 12, 16, 5, 3, 10, 15};
    for (int step = 0; step < 9; ++step) {
        const int x = step % 3, y = (x + 1) % 3, z = (x + 2) % 3;
        r[x] -= r[y] + r[z];
        // a and c take right shifts, b left shifts
        r[x] ^= x == 1 ? r[z] << k_Shifts[step] : r[z] >> k_Shifts[step];
    }
}

uint32_t ReferenceLookup2(const unsigned char* key, size_t length, uint32_t initial) {
    uint32_t r[3] = {0x9E3779B9u, 0x9E3779B9u, initial};
    size_t at = 0;
    for (; length - at >= 12; at += 12) {
        for (size_t i = 0; i < 12; ++i)
            r[i / 4] += uint32_t{key[at + i]} << (8 * (i % 4));
        Lookup2Mix(r);
    }
    r[2] += static_cast<uint32_t>(length);
    // the low byte of c holds the length, so c's tail bytes start one byte up
    for (size_t i = 0; at + i < length; ++i)
        r[i / 4] += uint32_t{key[at + i]} << (8 * (i % 4) + (i >= 8 ? 8 : 0));
    Lookup2Mix(r);
    return r[2];
}

} // namespace

TEST(FastStringHash32, MatchesLookup2AndReadsOnlyTheGivenBytes) {
    // The empty key, as a third, separately written implementation hashes it.
    const unsigned char none = 0;
    EXPECT_EQ(FastStringHash32(&none, 0, 0), 0xBD49D10Du);

    // Random keys that end at the last byte of a page followed by an unmapped one: a read
    // past the end faults.
    const size_t page = Platform::PageSize();
    auto* pages = static_cast<unsigned char*>(Platform::AllocatePages(2 * page));
    ASSERT_NE(pages, nullptr);
    Platform::FreePages(pages + page, page);
    std::mt19937 random(20240613);
    for (int round = 0; round < 2000; ++round) {
        const unsigned length = random() % 101;
        unsigned char* key = pages + page - length;
        for (unsigned i = 0; i < length; ++i)
            key[i] = static_cast<unsigned char>(random());
        const uint32_t initial = round % 4 == 0 ? 0 : static_cast<uint32_t>(random());
        ASSERT_EQ(FastStringHash32(key, length, initial), ReferenceLookup2(key, length, initial))
            << "length " << length << ", initial " << initial;
    }
    Platform::FreePages(pages, page);
}

// Values worked out from the shift-and-add form of the mix (x += x << 12, x ^= x >> 22,
// x += x << 4, x ^= x >> 9, x += x << 10, x ^= x >> 2, x += x << 7, x ^= x >> 12), not by
// calling the library.
TEST(AddressHash32, MatchesTheShiftAndAddMix) {
    const std::pair<unsigned, unsigned> known[] = {
        {0x00000000u, 0x00000000u}, {0x00000001u, 0xAF227BB7u}, {0x00000002u, 0x5E54F76Fu},
        {0x80000000u, 0x1E3BA9B1u}, {0xFFFFFFFFu, 0x047D84DFu}, {0x12345678u, 0x3AF08458u},
        {0xDEADBEEFu, 0x688CD63Eu}};
    for (const auto& [in, out] : known)
        EXPECT_EQ(AddressHash32(in), out) << std::hex << in;
    static_assert(AddressHash32(1u) == 0xAF227BB7u); // usable in constant expressions
    // Pointers: the upper half is folded into the lower before the mix.
    const auto* pointer = reinterpret_cast<const void*>(uintptr_t{0x00007F1234567890});
    EXPECT_EQ(AddressHash32(pointer), 0xCC1AB16Fu);
}
