#pragma once
// Fixed-size slots handed out in address order. Transform nodes keep the matrices that every
// update reads and writes in such slots instead of inside the objects: a tree made in one go
// then has its local matrices side by side in one run of memory and its results in another,
// and the update streams through a few megabytes instead of the whole objects (hundreds of
// bytes a node, most of them members the update never looks at).

#include <cstddef>
#include <mutex>
#include <vector>

namespace Quorlix::Internal {

class SlotPool {
public:
    /// Slots of `slotSize` bytes (at least a pointer, a multiple of the pointer size).
    explicit SlotPool(size_t slotSize) noexcept;
    /// Frees the blocks: only for a pool none of whose slots is still in use.
    ~SlotPool();
    SlotPool(const SlotPool&) = delete;
    SlotPool& operator=(const SlotPool&) = delete;

    /// Uninitialised memory for one slot: the last slot given back, else the next one of the
    /// current block. When every slot has been given back the pool starts again from its first
    /// block, so that a scene made after another has its slots in order again. Safe from any
    /// thread.
    void* Acquire();
    /// Gives a slot of this pool back; null is ignored.
    void Release(void* slot) noexcept;

    /// Slots handed out and not given back.
    size_t InUse() const noexcept;

private:
    static constexpr size_t k_SlotsPerBlock = 4096;

    mutable std::mutex m_Lock;
    const size_t m_SlotSize;
    std::vector<char*> m_Blocks;
    size_t m_Block = 0;     // the block m_Next points into
    char* m_Next = nullptr; // next never-used slot of that block
    char* m_End = nullptr;
    // Given-back slots. Kept apart from the slots themselves: taking one must not read memory
    // that is likely out of every cache.
    std::vector<void*> m_Free;
    size_t m_InUse = 0;
};

} // namespace Quorlix::Internal
