#pragma once
// The search for the library's sibling modules along a library search path, behind
// DLLDetectAmbiguousLibraries.

#include <cstdint>

namespace Quorlix::Internal {

/// The sibling module names; index i is bit i of the search masks.
inline constexpr const char* k_SiblingLibraries[] = {
    "libQuorlix010219.so", "libQuorlix010219SOUNDDX3.so", "libQuorlix010219SOUNDDX8.so",
    "libQuorlix010219IM.so"};
inline constexpr int k_SiblingCount = 4;

/// Bit 31 in a mask: some sibling exists twice with different file times.
inline constexpr uint32_t k_SiblingAmbiguousBit = 0x80000000u;

struct SiblingSearch {
    uint32_t m_Found;     // bit i: sibling i exists somewhere; bit 31 when ambiguous
    uint32_t m_Ambiguous; // bit i: sibling i exists with two different write times; bit 31 too
};

/// Probes every directory of `searchPath` (split at ':'; one trailing '/' dropped; empty pieces
/// skipped), then "./", for each sibling. A sibling found again with another write time than
/// the first one found is ambiguous. A null or empty `searchPath` searches nothing, not even
/// "./", and gives two zero masks.
SiblingSearch SearchSiblingLibraries(const char* searchPath);

} // namespace Quorlix::Internal
