#pragma once
// Atomic operations on plain 32-bit words. Reference counts and cached hashes live in block
// headers that are laid out as ordinary integers, so they are changed through these helpers
// rather than declared as std::atomic.

#include <atomic>
#include <cstdint>

namespace Quorlix::Platform {

/// Adds one and returns the new value. Taking a reference needs no ordering: the caller
/// already holds one.
inline int32_t AtomicIncrement(int32_t& word) noexcept {
    return std::atomic_ref<int32_t>(word).fetch_add(1, std::memory_order_relaxed) + 1;
}

/// Subtracts one and returns the new value. Acquire-release, so that the thread that sees the
/// count fall to zero also sees every write made by the threads that dropped earlier references.
inline int32_t AtomicDecrement(int32_t& word) noexcept {
    return std::atomic_ref<int32_t>(word).fetch_sub(1, std::memory_order_acq_rel) - 1;
}

inline int32_t AtomicLoad(int32_t& word) noexcept {
    return std::atomic_ref<int32_t>(word).load(std::memory_order_acquire);
}

inline void AtomicStore(int32_t& word, int32_t value) noexcept {
    std::atomic_ref<int32_t>(word).store(value, std::memory_order_release);
}

/// Relaxed access for values that any thread may recompute identically (cached hashes).
inline uint32_t AtomicLoadRelaxed(uint32_t& word) noexcept {
    return std::atomic_ref<uint32_t>(word).load(std::memory_order_relaxed);
}

inline void AtomicStoreRelaxed(uint32_t& word, uint32_t value) noexcept {
    std::atomic_ref<uint32_t>(word).store(value, std::memory_order_relaxed);
}

} // namespace Quorlix::Platform
