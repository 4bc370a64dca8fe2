#pragma once
// A count of the changes to the class tables (classes created or deleted, members defined,
// tables grown). A loader may keep what it checked against the tables (a member's entry for a
// class) for as long as the count has not moved.

#include <atomic>
#include <cstdint>

namespace Quorlix::Internal {

extern std::atomic<uint32_t> G_ClassTableEpoch;

inline uint32_t ClassTableEpoch() noexcept {
    return G_ClassTableEpoch.load(std::memory_order_relaxed);
}

inline void ClassTablesChanged() noexcept {
    G_ClassTableEpoch.fetch_add(1, std::memory_order_relaxed);
}

} // namespace Quorlix::Internal
