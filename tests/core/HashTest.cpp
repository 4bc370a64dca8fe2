#include "quorlix/core/Hash.h"
#include "quorlix/platform/Memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace Quorlix;

namespace {

// lookup2 written again from its published description, deliberately in another shape than
// the library's: registers in an array, one loop for the mix, the key assembled bytewise.
void Lookup2Mix(uint32_t r[3]) {
    static const unsigned k_Shifts[9] = {13, 8, 13, 12, 16, 5, 3, 10, 15};
    for (int step = 0; step < 9; ++step) {
        const int x = step % 3;
        const int y = (x + 1) % 3;
        const int z = (x + 2) % 3;
        r[x] -= r[y];
        r[x] -= r[z];
        // a and c take right shifts, b left shifts
        r[x] ^= x == 1 ? r[z] << k_Shifts[step] : r[z] >> k_Shifts[step];
    }
}

uint32_t ReferenceLookup2(const std::vector<unsigned char>& key, uint32_t initial) {
    uint32_t r[3] = {0x9E3779B9u, 0x9E3779B9u, initial};
    size_t at = 0;
    for (; key.size() - at >= 12; at += 12) {
        for (size_t i = 0; i < 12; ++i)
            r[i / 4] += uint32_t{key[at + i]} << (8 * (i % 4));
        Lookup2Mix(r);
    }
    r[2] += static_cast<uint32_t>(key.size());
    for (size_t i = 0; at + i < key.size(); ++i) {
        // the low byte of c holds the length, so c's tail bytes start one byte up
        const unsigned shift = 8 * (i % 4) + (i >= 8 ? 8 : 0);
        r[i / 4] += uint32_t{key[at + i]} << shift;
    }
    Lookup2Mix(r);
    return r[2];
}

unsigned Hash(const std::vector<unsigned char>& key, unsigned initial) {
    return FastStringHash32(key.data(), static_cast<unsigned>(key.size()), initial);
}

std::vector<unsigned char> Bytes(const char* text) {
    return std::vector<unsigned char>(text, text + std::strlen(text));
}

} // namespace

TEST(FastStringHash32, MatchesLookup2) {
    // Values from a third, separately written implementation.
    EXPECT_EQ(Hash({}, 0), 0xBD49D10Du);
    EXPECT_EQ(Hash(Bytes("abc"), 0), 0x251E4793u);
    EXPECT_EQ(Hash(Bytes("The quick brown fox jumps over the lazy dog"), 0x12345678), 0x853FABA2u);

    std::mt19937 random(20240613);
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> key(random() % 101);
        for (unsigned char& byte : key)
            byte = static_cast<unsigned char>(random());
        const uint32_t initial = round % 4 == 0 ? 0 : static_cast<uint32_t>(random());
        ASSERT_EQ(Hash(key, initial), ReferenceLookup2(key, initial))
            << "length " << key.size() << ", initial " << initial;
    }
}

TEST(FastStringHash32, ReadsOnlyTheGivenBytes) {
    // A key that ends at the last byte of a page followed by an unmapped one: a read past the
    // end faults.
    const size_t page = Platform::PageSize();
    auto* pages = static_cast<unsigned char*>(Platform::AllocatePages(2 * page));
    ASSERT_NE(pages, nullptr);
    Platform::FreePages(pages + page, page);
    std::mt19937 random(7);
    for (size_t length = 0; length <= 40; ++length) {
        unsigned char* key = pages + page - length;
        for (size_t i = 0; i < length; ++i)
            key[i] = static_cast<unsigned char>(random());
        EXPECT_EQ(FastStringHash32(key, static_cast<unsigned>(length), 3),
                  ReferenceLookup2(std::vector<unsigned char>(key, key + length), 3));
    }
    Platform::FreePages(pages, page);
}

TEST(AddressHash32, MatchesTheShiftForm) {
    auto shiftForm = [](uint32_t x) {
        x += x << 12;
        x ^= x >> 22;
        x += x << 4;
        x ^= x >> 9;
        x += x << 10;
        x ^= x >> 2;
        x += x << 7;
        x ^= x >> 12;
        return x;
    };
    std::mt19937 random(99);
    for (int i = 0; i < 10000; ++i) {
        const uint32_t x = static_cast<uint32_t>(random());
        ASSERT_EQ(AddressHash32(x), shiftForm(x)) << x;
    }
    EXPECT_EQ(AddressHash32(0u), 0u);
    static_assert(AddressHash32(1u) != 1u, "usable in constant expressions");

    // The pointer form folds the upper half in: addresses that differ only there differ.
    const uintptr_t low = 0x00001234ABCD0010u;
    const uintptr_t high = 0x00005678ABCD0010u;
    EXPECT_EQ(AddressHash32(reinterpret_cast<const void*>(low)),
              shiftForm(static_cast<uint32_t>(low) ^ static_cast<uint32_t>(low >> 32)));
    EXPECT_NE(AddressHash32(reinterpret_cast<const void*>(low)),
              AddressHash32(reinterpret_cast<const void*>(high)));
}
