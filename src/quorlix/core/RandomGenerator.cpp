#include "quorlix/core/RandomGenerator.h"

#include "quorlix/core/Report.h"

namespace Quorlix {

namespace {
constexpr int64_t k_TwoTo31 = int64_t{1} << 31;
constexpr double k_InverseModulus = 1.0 / 2147483647.0;
} // namespace

void RandomGenerator::SetSeed(int seed) {
    if (seed == 0)
        ReportLine(ReportLevel::Warn, "SetSeed: seed == 0. Every Get-Function will return 0!");
    m_State = static_cast<uint32_t>(seed);
}

uint32_t RandomGenerator::Next() noexcept {
    const uint32_t s = m_State;
    const uint32_t h = ((s >> 16) & 0xFFFFu) * m_Multiplier;
    uint32_t next = m_Multiplier * s + static_cast<uint32_t>(static_cast<int32_t>(h) >> 15);
    if (static_cast<int32_t>(next) < 0)
        next += 0x7FFFFFFFu;
    // Exactly one state (1407677000) sums to 2^31, which the correction turns into 2^32 - 1;
    // keeping 31 bits makes it 2^31 - 1, so every result stays below 2^31 and the derived
    // values in their ranges. Every other step is unchanged by the mask.
    m_State = next & 0x7FFFFFFFu;
    return m_State;
}

int RandomGenerator::GetI32(int n) noexcept {
    return static_cast<int>(int64_t{Next()} * (int64_t{n} + 1) / k_TwoTo31);
}

unsigned RandomGenerator::GetU32(unsigned n) noexcept {
    return static_cast<unsigned>(int64_t{Next()} * (int64_t{n} + 1) / k_TwoTo31);
}

int RandomGenerator::GetI32(int min, int max) noexcept {
    // The span in 64 bits: max - min in 32 bits would wrap for spans past 2^31 - 1 and give
    // values outside min..max. Where it fits, this is GetI32(max - min) + min.
    const int64_t span = int64_t{max} - min;
    return static_cast<int>(int64_t{Next()} * (span + 1) / k_TwoTo31 + min);
}

unsigned RandomGenerator::GetU32(unsigned min, unsigned max) noexcept {
    return GetU32(max - min) + min;
}

float RandomGenerator::GetF32(float x) noexcept {
    return static_cast<float>(Next()) * 4.656612873077392578125e-10f * x; // 2^-31
}

float RandomGenerator::GetF32(float min, float max) noexcept {
    return static_cast<float>(GetF64(static_cast<double>(min), static_cast<double>(max)));
}

double RandomGenerator::GetF64(double x) noexcept {
    return Next() * k_InverseModulus * x;
}

double RandomGenerator::GetF64(double min, double max) noexcept {
    return Next() * k_InverseModulus * (max - min) + min;
}

} // namespace Quorlix
