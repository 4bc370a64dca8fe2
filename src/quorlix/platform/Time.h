#pragma once
// Clocks: the wall-clock time of day for log line prefixes, and the monotonic performance
// counter behind Timer.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix::Platform {

/// Milliseconds since midnight UTC (0 to 86,399,999).
QUORLIX_API uint32_t UtcMillisecondsOfDay() noexcept;

/// Ticks of the performance counter per second: nanoseconds, so always 1e9.
constexpr int64_t k_PerformanceFrequency = 1000000000;

/// The performance counter: nanoseconds of a monotonic clock that is unaffected by changes of
/// the time of day. Counts from an arbitrary fixed point (boot), so it stays far from overflow.
QUORLIX_API int64_t PerformanceCounter() noexcept;

} // namespace Quorlix::Platform
