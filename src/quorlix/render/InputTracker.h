#pragma once
// InputTracker: the mouse and user messages of a render pipe's window, as (message, wParam,
// lParam) triples. Mouse messages carry the button mask in wParam (ButtonLeft 1, ButtonRight 2,
// ButtonMiddle 4) and the client position in lParam (x in the low 16 bits, y in the high 16,
// both signed); user messages (UserFirst to UserLast) are kept as they came. The tracker keeps
// the last position and buttons and the most recent messages for the host to read. One thread
// (the window's) uses it.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API InputTracker {
public:
    enum Message : uint32_t {
        MouseMove = 0x200,
        LeftDown = 0x201,
        LeftUp = 0x202,
        LeftDoubleClick = 0x203,
        RightDown = 0x204,
        RightUp = 0x205,
        RightDoubleClick = 0x206,
        MiddleDown = 0x207,
        MiddleUp = 0x208,
        MiddleDoubleClick = 0x209,
        CaptureLost = 0x215, // the mouse went to another window: no button is held any more
        UserFirst = 0x400,
        UserLast = 0x7FFF,
    };
    enum Button : uint32_t { ButtonLeft = 1, ButtonRight = 2, ButtonMiddle = 4 };

    struct Entry {
        uint32_t m_Message = 0;
        uint32_t m_WParam = 0;
        uint32_t m_LParam = 0;
    };
    /// Messages kept; when full, the oldest one makes room.
    static constexpr int k_Capacity = 256;

    /// The lParam of a mouse message at (x, y); coordinates are cut to 16 bits.
    static uint32_t PackPosition(int x, int y) noexcept;
    static int PositionX(uint32_t lParam) noexcept;
    static int PositionY(uint32_t lParam) noexcept;

    /// Takes one message. Mouse messages (MouseMove to MiddleDoubleClick) set the position and
    /// the button mask (wParam; bits other than 1, 2 and 4 are dropped); CaptureLost clears the
    /// mask; user messages change nothing but are kept. Any other message is refused (false)
    /// and not kept.
    bool ProcessMessage(uint32_t message, uint32_t wParam, uint32_t lParam) noexcept;

    int GetX() const noexcept { return m_X; }
    int GetY() const noexcept { return m_Y; }
    uint32_t GetButtonMask() const noexcept { return m_Buttons; }

    /// Messages kept and not yet taken, oldest first.
    int GetMessageCount() const noexcept { return m_Count; }
    /// The oldest kept message; false (and `entry` unchanged) when there is none.
    bool PeekMessage(Entry& entry) const noexcept;
    /// Takes the oldest kept message; false when there is none.
    bool PopMessage(Entry& entry) noexcept;
    /// Forgets the kept messages (position and buttons stay).
    void ClearMessages() noexcept;

private:
    Entry m_Ring[k_Capacity];
    int m_Head = 0;
    int m_Count = 0;
    int m_X = 0;
    int m_Y = 0;
    uint32_t m_Buttons = 0;
};

} // namespace Quorlix
