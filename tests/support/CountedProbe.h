#pragma once
// A counted library object that reports its destruction, for tests of handles and containers
// that hold references.

#include "quorlix/core/Memory.h"

#include <atomic>

namespace QuorlixTest {

/// Increments `*destroyed` when its destructor runs. Create it with Quorlix::NewObject (the
/// block starts with reference count 0).
struct CountedProbe {
    explicit CountedProbe(std::atomic<int>* destroyed, int value = 0) noexcept
        : m_Destroyed(destroyed), m_Value(value) {}
    ~CountedProbe() { m_Destroyed->fetch_add(1, std::memory_order_relaxed); }
    CountedProbe(const CountedProbe&) = delete;
    CountedProbe& operator=(const CountedProbe&) = delete;

    std::atomic<int>* m_Destroyed;
    int m_Value;
};

/// A derived probe, for handle conversions.
struct DerivedProbe : CountedProbe {
    using CountedProbe::CountedProbe;
};

} // namespace QuorlixTest
