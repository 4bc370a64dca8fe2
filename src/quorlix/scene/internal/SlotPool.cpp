#include "quorlix/scene/internal/SlotPool.h"

namespace Quorlix::Internal {

SlotPool::SlotPool(size_t slotSize) noexcept
    : m_SlotSize((slotSize + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*)) {}

SlotPool::~SlotPool() {
    for (char* block : m_Blocks)
        delete[] block;
}

void* SlotPool::Acquire() {
    const std::lock_guard<std::mutex> guard(m_Lock);
    ++m_InUse;
    if (!m_Free.empty()) {
        void* slot = m_Free.back();
        m_Free.pop_back();
        return slot;
    }
    if (m_Next == m_End) {
        if (m_Next != nullptr)
            ++m_Block;
        if (m_Block == m_Blocks.size())
            m_Blocks.push_back(new char[m_SlotSize * k_SlotsPerBlock]);
        m_Next = m_Blocks[m_Block];
        m_End = m_Next + m_SlotSize * k_SlotsPerBlock;
    }
    void* slot = m_Next;
    m_Next += m_SlotSize;
    return slot;
}

void SlotPool::Release(void* slot) noexcept {
    if (slot == nullptr)
        return;
    const std::lock_guard<std::mutex> guard(m_Lock);
    if (--m_InUse == 0) {
        // All back: start again from the first block.
        m_Free.clear();
        m_Block = 0;
        m_Next = m_Blocks[0];
        m_End = m_Next + m_SlotSize * k_SlotsPerBlock;
        return;
    }
    m_Free.push_back(slot);
}

size_t SlotPool::InUse() const noexcept {
    const std::lock_guard<std::mutex> guard(m_Lock);
    return m_InUse;
}

} // namespace Quorlix::Internal
