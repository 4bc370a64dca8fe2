#include "quorlix/platform/Time.h"

#include <ctime>

namespace Quorlix::Platform {

uint32_t UtcMillisecondsOfDay() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Leap seconds do not exist in Unix time, so every day has 86,400 seconds.
    const int64_t seconds = static_cast<int64_t>(now.tv_sec) % 86400;
    const int64_t day = seconds < 0 ? seconds + 86400 : seconds;
    return static_cast<uint32_t>(day * 1000 + now.tv_nsec / 1000000);
}

} // namespace Quorlix::Platform

namespace Quorlix::Platform {

int64_t PerformanceCounter() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * k_PerformanceFrequency + now.tv_nsec;
}

} // namespace Quorlix::Platform
