#include "quorlix/render/InputTracker.h"

namespace Quorlix {

uint32_t InputTracker::PackPosition(int x, int y) noexcept {
    return (static_cast<uint32_t>(x) & 0xFFFFu) | (static_cast<uint32_t>(y) & 0xFFFFu) << 16;
}

int InputTracker::PositionX(uint32_t lParam) noexcept {
    return static_cast<int16_t>(lParam & 0xFFFFu);
}

int InputTracker::PositionY(uint32_t lParam) noexcept {
    return static_cast<int16_t>(lParam >> 16);
}

bool InputTracker::ProcessMessage(uint32_t message, uint32_t wParam, uint32_t lParam) noexcept {
    constexpr uint32_t k_Buttons = ButtonLeft | ButtonRight | ButtonMiddle;
    if (message >= MouseMove && message <= MiddleDoubleClick) {
        wParam &= k_Buttons;
        m_X = PositionX(lParam);
        m_Y = PositionY(lParam);
        m_Buttons = wParam;
    } else if (message == CaptureLost) {
        m_Buttons = 0;
    } else if (message < UserFirst || message > UserLast) {
        return false;
    }
    if (m_Count == k_Capacity) {
        m_Head = (m_Head + 1) % k_Capacity;
        --m_Count;
    }
    m_Ring[(m_Head + m_Count) % k_Capacity] = Entry{message, wParam, lParam};
    ++m_Count;
    return true;
}

bool InputTracker::PeekMessage(Entry& entry) const noexcept {
    if (m_Count == 0)
        return false;
    entry = m_Ring[m_Head];
    return true;
}

bool InputTracker::PopMessage(Entry& entry) noexcept {
    if (!PeekMessage(entry))
        return false;
    m_Head = (m_Head + 1) % k_Capacity;
    --m_Count;
    return true;
}

void InputTracker::ClearMessages() noexcept {
    m_Head = 0;
    m_Count = 0;
}

} // namespace Quorlix
