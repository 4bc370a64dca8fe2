#include "quorlix/core/Timer.h"

#include "quorlix/platform/Time.h"

#include <cmath>

namespace Quorlix {

namespace {

// The conversion factors: constants, since the counter's frequency never changes, so they are
// ready before any static initialiser of the library could use a Timer.
const double k_MicroSecondsPerTick = 1e6 / static_cast<double>(Platform::k_PerformanceFrequency);
const double k_MilliSecondsPerTick = 1e3 / static_cast<double>(Platform::k_PerformanceFrequency);
const double k_SecondsPerTick = 1.0 / static_cast<double>(Platform::k_PerformanceFrequency);

// Truncates toward zero. Clamped to +-2^62 ticks (146 years): a cast of an out-of-range double
// would be undefined, and the margin keeps the elapsed count from wrapping as time goes on.
int64_t TruncateToTicks(double ticks) noexcept {
    constexpr double k_Limit = 4611686018427387904.0;
    if (std::isnan(ticks))
        return 0;
    if (ticks >= k_Limit)
        return int64_t{1} << 62;
    if (ticks <= -k_Limit)
        return -(int64_t{1} << 62);
    return static_cast<int64_t>(ticks);
}

} // namespace

Timer::Timer() noexcept : m_Start(Platform::PerformanceCounter()) {}

int64_t Timer::GetTicks() const noexcept {
    return static_cast<int64_t>(static_cast<uint64_t>(Platform::PerformanceCounter()) -
                                static_cast<uint64_t>(m_Start));
}
double Timer::GetMicroSeconds() const noexcept {
    return TicksToMicroSeconds(GetTicks());
}
double Timer::GetMilliSeconds() const noexcept {
    return TicksToMilliSeconds(GetTicks());
}
double Timer::GetSeconds() const noexcept {
    return TicksToSeconds(GetTicks());
}

void Timer::SetTicks(int64_t ticks) noexcept {
    // Wrapping arithmetic: GetTicks subtracts the same way, so any elapsed value comes back.
    m_Start = static_cast<int64_t>(static_cast<uint64_t>(Platform::PerformanceCounter()) -
                                   static_cast<uint64_t>(ticks));
}
void Timer::SetElapsed(double x, double unitsPerTick) noexcept {
    SetTicks(TruncateToTicks(x / unitsPerTick));
}
void Timer::SetMicroSeconds(double x) noexcept {
    SetElapsed(x, k_MicroSecondsPerTick);
}
void Timer::SetMilliSeconds(double x) noexcept {
    SetElapsed(x, k_MilliSecondsPerTick);
}
void Timer::SetSeconds(double x) noexcept {
    SetElapsed(x, k_SecondsPerTick);
}

int64_t Timer::GetSystemTimerTicks() noexcept {
    return Platform::PerformanceCounter();
}
double Timer::GetSystemTimerMicroSeconds() noexcept {
    return TicksToMicroSeconds(GetSystemTimerTicks());
}
double Timer::GetSystemTimerMilliSeconds() noexcept {
    return TicksToMilliSeconds(GetSystemTimerTicks());
}
double Timer::GetSystemTimerSeconds() noexcept {
    return TicksToSeconds(GetSystemTimerTicks());
}

double Timer::TicksToMicroSeconds(int64_t ticks) noexcept {
    return static_cast<double>(ticks) * k_MicroSecondsPerTick;
}
double Timer::TicksToMilliSeconds(int64_t ticks) noexcept {
    return static_cast<double>(ticks) * k_MilliSecondsPerTick;
}
double Timer::TicksToSeconds(int64_t ticks) noexcept {
    return static_cast<double>(ticks) * k_SecondsPerTick;
}

} // namespace Quorlix
