#pragma once
// A counted library object that reports its destruction, for tests of handles and containers
// that hold references.

#include "quorlix/core/Memory.h"

#include <atomic>

namespace QuorlixTest {

/// Increments `*destroyed` when its destructor runs. Create it with Quorlix::NewObject (the
/// block starts with reference count 0).
struct CountedProbe {
    explicit CountedProbe(std::atomic<int>* destroyed) noexcept : m_Destroyed(destroyed) {}
    ~CountedProbe() { m_Destroyed->fetch_add(1, std::memory_order_relaxed); }

    std::atomic<int>* m_Destroyed;
};

} // namespace QuorlixTest
