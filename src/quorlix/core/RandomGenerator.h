#pragma once
// Deterministic pseudo-random numbers: a multiplicative congruential step close to the minimal
// standard generator (multiplier 16807, modulus 2^31 - 1) but computed in a fixed way of its own,
// so that a seed gives the same sequence on every platform. Not locked: one thread per object.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RandomGenerator {
public:
    /// State 1973272912, multiplier 16807.
    RandomGenerator() noexcept = default;
    /// `seed` as the state (0 makes every result 0), multiplier 16807.
    explicit RandomGenerator(int seed) noexcept : m_State(static_cast<uint32_t>(seed)) {}
    RandomGenerator(const RandomGenerator&) noexcept = default;
    RandomGenerator& operator=(const RandomGenerator&) noexcept = default;

    /// Stores `seed` as the state; 0 is stored too, with a warning on Xerr.
    void SetSeed(int seed);

    // Each Get advances the state once and derives its value from the new state r (0 <= r <
    // 2^31): GetI32(n) is r * (n + 1) / 2^31 (0..n for n >= 0, n..0 for negative n), GetU32(n)
    // the same over unsigned n; the (min, max) forms lie in min..max. GetF32(x) and GetF64(x)
    // lie in 0..x, the (min, max) forms in min..max.
    int GetI32(int n) noexcept;
    unsigned GetU32(unsigned n) noexcept;
    int GetI32(int min, int max) noexcept;
    unsigned GetU32(unsigned min, unsigned max) noexcept;
    float GetF32(float x) noexcept;
    float GetF32(float min, float max) noexcept;
    double GetF64(double x) noexcept;
    double GetF64(double min, double max) noexcept;

    /// Advances the state once and returns it. The steps of the sequence's definition.
    uint32_t Next() noexcept;
    uint32_t GetState() const noexcept { return m_State; }

private:
    uint32_t m_State = 1973272912u;
    uint32_t m_Multiplier = 16807u;
};

} // namespace Quorlix
