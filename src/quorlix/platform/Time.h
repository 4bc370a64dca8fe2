#pragma once
// Wall-clock time of day, for log line prefixes.

#include <cstdint>

namespace Quorlix::Platform {

/// Milliseconds since midnight UTC (0 to 86,399,999).
uint32_t UtcMillisecondsOfDay() noexcept;

} // namespace Quorlix::Platform
