#pragma once
// High-resolution timer over the performance counter (a monotonic nanosecond clock, so one
// tick is one nanosecond). A Timer is a start tick; elapsed values are measured from it. Not
// locked: each Timer object belongs to one thread; the static functions may be called from any.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API Timer {
public:
    /// Starts at the current tick count.
    Timer() noexcept;

    /// Ticks since the start.
    int64_t GetTicks() const noexcept;
    double GetMicroSeconds() const noexcept;
    double GetMilliSeconds() const noexcept;
    double GetSeconds() const noexcept;

    /// Moves the start so that the elapsed value is now `ticks` (or `x` in the unit). A double
    /// becomes ticks by dividing by the unit's factor and truncating; values beyond +-2^62 ticks
    /// (146 years) are clamped to it and NaN counts as 0.
    void SetTicks(int64_t ticks) noexcept;
    void SetMicroSeconds(double x) noexcept;
    void SetMilliSeconds(double x) noexcept;
    void SetSeconds(double x) noexcept;

    /// The raw performance counter, and the same in units.
    static int64_t GetSystemTimerTicks() noexcept;
    static double GetSystemTimerMicroSeconds() noexcept;
    static double GetSystemTimerMilliSeconds() noexcept;
    static double GetSystemTimerSeconds() noexcept;

    static double TicksToMicroSeconds(int64_t ticks) noexcept;
    static double TicksToMilliSeconds(int64_t ticks) noexcept;
    static double TicksToSeconds(int64_t ticks) noexcept;

private:
    void SetElapsed(double x, double unitsPerTick) noexcept;

    int64_t m_Start;
};

} // namespace Quorlix
