#pragma once
// Window input for widget windows: each input event of a render system's window becomes one
// input record, handed to every TWindow with InputFocus in the scenes of the system's enabled
// channels, with the pointer in that window's virtual coordinates (the channel's viewport
// stretched over the virtual resolution, as the window draws). The record carries the button
// mask (left 1, right 2, middle 4, the extended buttons 8 and 16), the key as the pipe queues it
// (typed characters as their Windows-1252 byte), wheel steps and the event's time.

#include "quorlix/platform/Export.h"

namespace Quorlix {

class RenderPipe;
class RenderSystem;

namespace Platform {
struct WindowEvent;
}

class QUORLIX_API WidgetInput {
public:
    /// Pumps every pending window event to its pipe (RenderPipe::PumpWindowEvents) and the
    /// events of `system`'s pipe on to the widget windows. Returns the events pumped.
    static int PumpEvents(RenderSystem& system);
    /// Hands one event of `system`'s pipe, which the pipe has handled already, to the widget
    /// windows; returns how many windows it went to. Events that carry no input (closing,
    /// resizing, exposure) go nowhere.
    static int DispatchEvent(RenderSystem& system, const Platform::WindowEvent& event);
};

} // namespace Quorlix
