#pragma once
// Shared pieces of the widget tests: the library started once per suite, widgets made with
// their placement in one call, and a recorder of the events widgets deliver.

#include "quorlix/library/Library.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/Widget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace QuorlixTest {

class WidgetSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Quorlix::DLLInitialize(0); }
    static void TearDownTestSuite() { Quorlix::DLLDeInitialize(0); }
};

/// A widget of class W named `name` at `position` with `dimension`, aligned at the minimum on
/// every axis unless told otherwise.
template <class W = Quorlix::Widget>
Quorlix::Obj<W> MakeWidget(const char* name, Quorlix::Vector3f position,
                           Quorlix::Vector3f dimension,
                           Quorlix::WidgetAlignmentMode align = Quorlix::AlignMin) {
    Quorlix::Obj<W> w = W::Create();
    w->SetName(name);
    w->SetPosition(position);
    w->SetDimension(dimension);
    w->template SetAlignmentMode<0>(align);
    w->template SetAlignmentMode<1>(align);
    w->template SetAlignmentMode<2>(align);
    return w;
}

/// Hears every message sent to it as "<source>:<event name or number>".
class EventRecorder : public Quorlix::WEventCallback {
public:
    static EventRecorder* Create() { return Quorlix::NewObject<EventRecorder>(); }
    void OnMessage(Quorlix::Widget& source, uint32_t message, uint32_t userValue,
                   const Quorlix::StringRef& command) override;

    std::vector<std::string> m_Heard;
    uint32_t m_LastUserValue = 0;
    std::string m_LastCommand;
};

/// The script name of an event code ("35" for the unnamed one).
std::string EventName(uint32_t event);

/// Adds to `w` a handler per named event (1..34) that tells `recorder`.
void Watch(Quorlix::Widget& w, EventRecorder& recorder);

/// A handler relating `handle` to `message` for `destination`.
Quorlix::Obj<Quorlix::WEventHandler> Handler(uint32_t handle, uint32_t message,
                                             Quorlix::ScriptObject* destination,
                                             uint32_t userValue = 0);

} // namespace QuorlixTest
