#pragma once
// A counter of changes to the shape of scene trees: every change of a Child array or a Parent,
// of an S node, a Visibility or a ConstraintArray, and every death of a node moves it on. The
// update traversal keeps what it learnt from walking a tree (its plan) only while the counter
// stands still, so a plan never outlives a node it names or misses a change of route.

#include <atomic>
#include <cstdint>

namespace Quorlix::Internal {

extern std::atomic<uint64_t> g_SceneStructure;

inline void SceneStructureChanged() noexcept {
    g_SceneStructure.fetch_add(1, std::memory_order_relaxed);
}
inline uint64_t SceneStructureGeneration() noexcept {
    return g_SceneStructure.load(std::memory_order_relaxed);
}

} // namespace Quorlix::Internal
