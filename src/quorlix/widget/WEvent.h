#pragma once
// Widget events: the event codes, the input record a window routes through its widgets, the
// handlers that relate an incoming event to a message for another object, and the callback
// objects through which a host hears those messages.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/WeakObjTarget.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Quorlix {

class Widget;

/// Delivery of one incoming event through handlers: how deep forwarding is, which (widget,
/// event) pairs handlers delivered (each at most once), and whether a stop was logged. A window
/// keeps one, so a stop is logged once per window.
struct QUORLIX_API WDispatch {
    static constexpr int k_MaxDepth = 16;

    /// Starts the delivery of `event` to `widget`; false (logging the first stop) when a
    /// handler delivered the pair already or the depth limit is reached.
    bool Enter(const Widget* widget, uint32_t event);
    void Leave() noexcept { --m_Depth; }
    /// Forgets the pairs of the previous incoming event.
    void Reset() noexcept {
        m_Depth = 0;
        m_Delivered.clear();
    }

    int m_Depth = 0;
    std::vector<std::pair<const Widget*, uint32_t>> m_Delivered;
    bool m_Reported = false;
    const char* m_Owner = ""; // the window's name for the log line
};

/// WEvent owns the enumeration WEvent.TypeEnum; its values are the event codes.
class QUORLIX_API WEvent : public Object {
public:
    enum Type : uint32_t {
        None = 1,
        ShowWidget,
        HideWidget,
        KeyboardPressKey,
        KeyboardReleaseKey,
        KeyboardClickKey,
        KeyboardDoubleClickKey,
        MouseButtonPressLeft, // 8; the four events of a button follow each other
        MouseButtonReleaseLeft,
        MouseButtonClickLeft,
        MouseButtonDoubleClickLeft,
        MouseButtonPressRight,
        MouseButtonReleaseRight,
        MouseButtonClickRight,
        MouseButtonDoubleClickRight,
        MouseButtonPressMiddle,
        MouseButtonReleaseMiddle,
        MouseButtonClickMiddle,
        MouseButtonDoubleClickMiddle,
        MouseButtonPressExtendedA,
        MouseButtonReleaseExtendedA,
        MouseButtonClickExtendedA,
        MouseButtonDoubleClickExtendedA,
        MouseButtonPressExtendedB,
        MouseButtonReleaseExtendedB,
        MouseButtonClickExtendedB,
        MouseButtonDoubleClickExtendedB,
        MouseScrollLeft,
        MouseScrollRight,
        MouseScrollUp,
        MouseScrollDown,
        ToggleWidget,
        Focus,
        FocusLost, // 34, the last named one
        // Sent by the window to its focus widget after every processed event; no script name.
        FocusTick = 35,
    };
    static constexpr uint32_t k_TypeCount = 34;

    static WEvent* Create();
    static const TypeInfo* GetWEventTypeInfo() noexcept;
    WEvent() noexcept = default;
    ~WEvent() override;
};

/// The buttons of an input record's mask: the low three bits are the buttons the window's
/// pressed/down/released flags are derived for; the extended buttons sit above them.
enum WButton : uint32_t {
    ButtonLeft = 1,
    ButtonRight = 2,
    ButtonMiddle = 4,
    ButtonExtendedA = 8,
    ButtonExtendedB = 16,
};

/// One input event as a window routes it. The window fills in the widgets and the derived
/// flags; the owner of the window gives the mask, the pointer, a key, wheel steps and the time.
struct QUORLIX_API WInputRecord {
    static constexpr int k_Buttons = 5; // left, right, middle, extended A, extended B

    // Given by the owner.
    uint32_t m_ButtonMask = 0;
    Vector2f m_Pointer{0, 0}; // virtual coordinates of the window
    uint32_t m_KeyCode = 0;   // as the render pipe queues it; 0 for none
    int32_t m_WheelX = 0;     // steps, right positive
    int32_t m_WheelY = 0;     // steps, up positive
    uint32_t m_Time = 0;      // ms; clicks within 500 ms of each other are double clicks

    // Filled in by the window.
    Obj<Widget> m_Hovered;
    Obj<Widget> m_Focus;
    Obj<Widget> m_Capture;
    bool m_CaptureHeld = false;
    bool m_Pressed[k_Buttons] = {};
    bool m_Down[k_Buttons] = {};
    bool m_Released[k_Buttons] = {};
    WDispatch* m_Dispatch = nullptr; // the window's; SendEvent makes one when null

    /// The button index (0 left .. 4 extended B) of a mask bit.
    static int ButtonIndex(uint32_t bit) noexcept;
};

/// Relates an incoming event ("Handle") to a message ("Message") for "Destination", with a
/// user value. A widget destination receives the message as an event; a WEventCallback hears it
/// through its virtual function.
class QUORLIX_API WEventHandler : public Object {
public:
    static WEventHandler* Create();
    static const TypeInfo* GetWEventHandlerTypeInfo() noexcept;
    WEventHandler() noexcept = default;
    ~WEventHandler() override;

    /// The destination; the nil object when none (or when a widget destination is gone).
    ScriptObject* GetDestination() const noexcept;
    /// A widget destination is held weakly: handlers often target their own widget's
    /// container (a close button hiding its frame), and a counted reference would make that a
    /// cycle that never dies. Any other object (a host's callback) is held counted.
    void SetDestination(ScriptObject* destination);

    WEvent::Type m_Handle = WEvent::None;
    WEvent::Type m_Message = WEvent::None;
    uint32_t m_UserValue = 0;

private:
    Obj<ScriptObject> m_Destination; // not a widget
    Obj<WeakObjTarget> m_WidgetDestination;
};

/// A destination that hands messages to the host. The base does nothing: hosts derive from it
/// and override OnMessage. The widget's UserCommand is passed as text and never executed.
class QUORLIX_API WEventCallback : public Object {
public:
    static WEventCallback* Create();
    static const TypeInfo* GetWEventCallbackTypeInfo() noexcept;
    WEventCallback() noexcept = default;
    ~WEventCallback() override;

    virtual void OnMessage(Widget& source, uint32_t message, uint32_t userValue,
                           const StringRef& userCommand);
};

} // namespace Quorlix
