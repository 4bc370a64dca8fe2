// Input routing of window nodes: button flags, hit tests, clicks and captures, focus events,
// keys and text editing, handlers and their limits, and widgets that vanish between events.

#include "WidgetTestSupport.h"

#include "quorlix/render/RenderPipe.h"
#include "support/LogCapture.h"

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

using Heard = std::vector<std::string>;

// A window 800 x 600 whose root fills it, with two buttons side by side and a text field.
class WindowEventTest : public WidgetSuite {
protected:
    void SetUp() override {
        m_Window = TWindow::Create();
        m_Window->SetName("ui");
        m_Window->m_VirtualResolution = Vector3f(800, 600, 0);
        m_Root = MakeWidget("root", Vector3f(0, 0, 0), Vector3f(800, 600, 0));
        m_A = MakeWidget("A", Vector3f(100, 100, 0), Vector3f(100, 50, 0));
        m_B = MakeWidget("B", Vector3f(300, 100, 0), Vector3f(100, 50, 0));
        m_Text = MakeWidget<WText>("text", Vector3f(100, 300, 0), Vector3f(300, 40, 0));
        m_Root->SetWidget(0, m_A.Get());
        m_Root->SetWidget(1, m_B.Get());
        m_Root->SetWidget(2, m_Text.Get());
        m_Window->SetRootWidget(m_Root.Get());
        m_Window->Layout();
        m_Recorder = EventRecorder::Create();
        for (Widget* w : {m_A.Get(), m_B.Get(), static_cast<Widget*>(m_Text.Get())})
            Watch(*w, *m_Recorder);
    }

    // One event at (x, y) with `mask`; returns the record as the window left it.
    WInputRecord Event(float x, float y, uint32_t mask = 0, uint32_t key = 0, int wheel = 0) {
        WInputRecord record;
        record.m_Pointer = Vector2f(x, y);
        record.m_ButtonMask = mask;
        record.m_KeyCode = key;
        record.m_WheelY = wheel;
        record.m_Time = m_Time;
        m_Time += 100;
        m_Window->ProcessEvent(record);
        return record;
    }
    void Click(float x, float y, uint32_t button = ButtonLeft) {
        Event(x, y, button);
        Event(x, y, 0);
    }
    Heard Take() {
        Heard heard;
        heard.swap(m_Recorder->m_Heard);
        return heard;
    }
    void Type(uint32_t key) { Event(0, 0, 0, key); }

public:
    Obj<TWindow> m_Window;
    Obj<Widget> m_Root, m_A, m_B;
    Obj<WText> m_Text;
    Obj<EventRecorder> m_Recorder;
    uint32_t m_Time = 1000;
};

TEST_F(WindowEventTest, ButtonFlagsFollowTheMaskRules) {
    struct Step {
        uint32_t m_Mask;
        bool m_LeftPressed, m_LeftReleased, m_RightPressed, m_RightReleased;
    };
    const Step steps[] = {
        {3, false, false, false, false}, // both at once: not exactly one button
        {0, false, false, false, false}, // nothing was pressed alone, so nothing is released
        {1, true, false, false, false},
        {3, false, true, false, false},  // a second button reports the first released
        {2, false, false, false, false}, // left goes up: the previous mask was not "left"
        {0, false, false, false, true},
        {0, false, false, false, false}, // released once only
        {8, false, false, false, false}, // an extended button alone is no left press
        {9, true, false, false, false},  // left joins: the low buttons are counted apart
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.m_Mask);
        const WInputRecord r = Event(700, 500, s.m_Mask); // over the root only
        EXPECT_EQ(r.m_Pressed[0], s.m_LeftPressed);
        EXPECT_EQ(r.m_Released[0], s.m_LeftReleased);
        EXPECT_EQ(r.m_Pressed[1], s.m_RightPressed);
        EXPECT_EQ(r.m_Released[1], s.m_RightReleased);
        EXPECT_EQ(r.m_Down[0], (s.m_Mask & 1) != 0);
    }
}

TEST_F(WindowEventTest, ClicksDoubleClicksAndDragsOut) {
    Click(150, 120);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft", "A:Focus", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft"}));
    // The next click within 500 ms is a double click; the one after starts a new pair.
    Click(150, 120);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft", "A:MouseButtonDoubleClickLeft"}));
    Click(150, 120);
    EXPECT_EQ(Take().size(), 3u);
    m_Time += 600;
    Click(150, 120, ButtonRight);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressRight", "A:MouseButtonReleaseRight",
                             "A:MouseButtonClickRight"}));

    // Pressed on A, dragged onto B and released there: A keeps the pointer and hears the
    // release, nobody hears a click.
    Event(150, 120, ButtonLeft);
    Event(350, 120, ButtonLeft);
    EXPECT_EQ(m_Window->GetCaptureWidget(), m_A.Get());
    EXPECT_EQ(m_Window->GetHoveredWidget(), m_B.Get());
    Event(350, 120, 0);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft"}));
    EXPECT_EQ(m_Window->GetCaptureWidget(), nullptr);

    // Two buttons at once: pressing right while left is held releases left (a click, since
    // the pointer is still inside) and presses nothing.
    Event(150, 120, ButtonLeft);
    Event(150, 120, ButtonLeft | ButtonRight);
    Event(150, 120, 0);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft"}));

    // The extended buttons and the wheel.
    m_Time += 600;
    Click(150, 120, ButtonExtendedB);
    Event(150, 120, 0, 0, 2);
    Event(150, 120, 0, 0, -1);
    Event(500, 500, 0, 0, 1); // over the root: A hears nothing
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressExtendedB", "A:MouseButtonReleaseExtendedB",
                             "A:MouseButtonClickExtendedB", "A:MouseScrollUp", "A:MouseScrollUp",
                             "A:MouseScrollDown"}));
}

TEST_F(WindowEventTest, FocusMovesWithFocusLostFirstThenTheTick) {
    Obj<EventRecorder> ticks = EventRecorder::Create();
    m_B->m_EventHandlerArray.Add(
        Obj<ScriptObject>(Handler(WEvent::FocusTick, WEvent::FocusTick, ticks.Get()).Get()));
    Click(150, 120);
    Take();
    Event(350, 120, ButtonLeft);
    EXPECT_EQ(Take(), (Heard{"B:MouseButtonPressLeft", "A:FocusLost", "B:Focus"}));
    EXPECT_EQ(ticks->m_Heard, (Heard{"B:35"}));
    EXPECT_EQ(m_Window->GetFocusWidget(), m_B.Get());
    EXPECT_EQ(m_B->m_WidgetState, k_StateFocus | k_StateHovered | k_StatePressed);
    Event(350, 120, 0);
    EXPECT_EQ(m_A->m_WidgetState, 0);
    EXPECT_EQ(ticks->m_Heard.size(), 2u); // every event while it has the focus

    // A focus-transparent widget is clicked without taking the focus.
    m_A->m_FocusTransparent = true;
    Take();
    m_Time += 600;
    Click(150, 120);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft"}));
    EXPECT_EQ(m_Window->GetFocusWidget(), m_B.Get());
}

TEST_F(WindowEventTest, HitTestsTakeTheLastDrawnAndSkipHiddenAndDisabled) {
    // C overlaps A and is drawn after it; D inside a hidden panel; E disabled.
    Obj<Widget> c = MakeWidget("C", Vector3f(150, 100, 0), Vector3f(100, 50, 0));
    Obj<Widget> panel = MakeWidget("panel", Vector3f(0, 400, 0), Vector3f(200, 100, 0));
    Obj<Widget> d = MakeWidget("D", Vector3f(0, 0, 0), Vector3f(200, 100, 0));
    Obj<Widget> e = MakeWidget("E", Vector3f(300, 400, 0), Vector3f(100, 100, 0));
    m_Root->SetWidget(3, c.Get());
    m_Root->SetWidget(4, panel.Get());
    m_Root->SetWidget(5, e.Get());
    panel->SetWidget(0, d.Get());
    panel->SetVisibility(0);
    e->m_WidgetState = k_StateDisabled;
    m_Window->Layout();
    const struct {
        float m_X, m_Y;
        const Widget* m_Hit;
    } cases[] = {
        {120, 120, m_A.Get()},    {160, 120, c.Get()},      {249, 149, c.Get()},
        {250, 120, m_Root.Get()}, {100, 450, m_Root.Get()}, {350, 450, m_Root.Get()},
        {-1, -1, nullptr},        {800, 0, nullptr},
    };
    for (const auto& hit : cases) {
        SCOPED_TRACE(testing::Message() << hit.m_X << "," << hit.m_Y);
        EXPECT_EQ(Event(hit.m_X, hit.m_Y).m_Hovered.Get(), hit.m_Hit);
    }
    panel->SetVisibility(1);
    m_Window->Layout();
    EXPECT_EQ(Event(100, 450).m_Hovered.Get(), d.Get());
}

TEST_F(WindowEventTest, TypingEditsTheFocusedTextAtItsCursor) {
    Click(150, 310);
    Take();
    const uint32_t del = RenderPipe::PackKeyName("DEL"), left = RenderPipe::PackKeyName("CSLF"),
                   right = RenderPipe::PackKeyName("CSRT"), home = RenderPipe::PackKeyName("HOME"),
                   end = RenderPipe::PackKeyName("END");
    for (uint32_t key : {uint32_t{'a'}, uint32_t{'b'}, uint32_t{'c'}, 0xE9u})
        Type(key);
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "abc\xE9");
    Heard heard = Take();
    ASSERT_EQ(heard.size(), 12u); // press, release and click per key; no two keys alike
    EXPECT_EQ(heard[0], "text:KeyboardPressKey");
    EXPECT_EQ(heard[2], "text:KeyboardClickKey");

    for (uint32_t key : {home, del, right, uint32_t{'X'}, end, 8u, left, left, 8u})
        Type(key);
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "Xc");
    EXPECT_EQ(m_Text->GetCursor(), 0);
    // Control bytes and DEL (127) are no text; a key code twice within 500 ms is a double.
    for (uint32_t key : {1u, 127u, 27u})
        Type(key);
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "Xc");
    m_Text->m_Text = String("");
    Take();
    Type('q');
    Type('q');
    heard = Take();
    EXPECT_EQ(heard.back(), "text:KeyboardDoubleClickKey");

    // MaxLength bytes at most; 0 or less means 65,535.
    m_Text->m_MaxLength = 4;
    for (uint32_t key : {uint32_t{'1'}, uint32_t{'2'}, uint32_t{'3'}, uint32_t{'4'}})
        Type(key);
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "qq12");
    m_Text->m_MaxLength = -1;
    EXPECT_EQ(m_Text->GetEffectiveMaxLength(), 65535);
    m_Text->m_Text = String(std::string(65534, 'x').c_str());
    Type('y');
    Type('z');
    EXPECT_EQ(m_Text->m_Text.Size(), 65535);
}

TEST_F(WindowEventTest, HandlersToggleSendToCallbacksAndStopLoops) {
    // A click on A toggles a panel; A's callback hears its user value and command.
    Obj<Widget> panel = MakeWidget("panel", Vector3f(0, 0, 0), Vector3f(10, 10, 0));
    m_Root->SetWidget(3, panel.Get());
    Obj<EventRecorder> host = EventRecorder::Create();
    m_A->m_UserCommand = "quit();"; // handed over as text, never executed
    m_A->m_EventHandlerArray.Add(Obj<ScriptObject>(
        Handler(WEvent::MouseButtonClickLeft, WEvent::ToggleWidget, panel.Get()).Get()));
    m_A->m_EventHandlerArray.Add(Obj<ScriptObject>(
        Handler(WEvent::MouseButtonClickLeft, WEvent::ShowWidget, host.Get(), 77).Get()));
    Click(150, 120);
    EXPECT_EQ(panel->GetVisibility(), 0u);
    EXPECT_EQ(host->m_Heard, (Heard{"A:ShowWidget"}));
    EXPECT_EQ(host->m_LastUserValue, 77u);
    EXPECT_EQ(host->m_LastCommand, "quit();");
    m_Time += 600;
    Click(150, 120);
    EXPECT_EQ(panel->GetVisibility(), 1u);

    // A's click shows B, and A and B forward ShowWidget to each other forever; a chain of 20
    // forwards HideWidget from B's click.
    LogCapture log;
    m_A->m_EventHandlerArray.Add(Obj<ScriptObject>(
        Handler(WEvent::MouseButtonClickLeft, WEvent::ShowWidget, m_B.Get()).Get()));
    m_A->m_EventHandlerArray.Add(
        Obj<ScriptObject>(Handler(WEvent::ShowWidget, WEvent::ShowWidget, m_B.Get()).Get()));
    m_B->m_EventHandlerArray.Add(
        Obj<ScriptObject>(Handler(WEvent::ShowWidget, WEvent::ShowWidget, m_A.Get()).Get()));
    std::vector<Obj<Widget>> chain;
    for (int i = 0; i < 20; ++i) {
        chain.push_back(MakeWidget("link", {}, {}));
        if (i > 0)
            chain[i - 1]->m_EventHandlerArray.Add(Obj<ScriptObject>(
                Handler(WEvent::HideWidget, WEvent::HideWidget, chain[i].Get()).Get()));
    }
    m_B->m_EventHandlerArray.Add(Obj<ScriptObject>(
        Handler(WEvent::MouseButtonClickLeft, WEvent::HideWidget, chain[0].Get()).Get()));
    Take();
    m_Time += 600;
    Click(150, 120); // B, A, then B again: stopped
    Click(350, 120); // the chain: stopped 15 links below B's click
    EXPECT_EQ(Take(),
              (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft", "A:MouseButtonClickLeft",
                     "B:ShowWidget", "A:ShowWidget", "B:MouseButtonPressLeft", "A:FocusLost",
                     "B:Focus", "B:MouseButtonReleaseLeft", "B:MouseButtonClickLeft"}));
    int hidden = 0;
    for (const Obj<Widget>& link : chain)
        hidden += link->GetVisibility() == 0 ? 1 : 0;
    EXPECT_EQ(hidden, WDispatch::k_MaxDepth - 1);
    ASSERT_EQ(log.Messages().size(), 1u); // once per window
    EXPECT_EQ(log.Messages()[0], "[Error]TWindow::ProcessEvent: \"ui\": event forwarding stopped "
                                 "(16 levels, or an event sent twice to one widget).");
}

TEST_F(WindowEventTest, VanishedFocusCaptureAndHoverAreDroppedAtTheNextEvent) {
    const struct {
        const char* m_What;
        void (*m_Vanish)(WindowEventTest&);
    } ways[] = {
        {"hidden", [](WindowEventTest& t) { t.m_A->SetVisibility(0); }},
        {"disabled", [](WindowEventTest& t) { t.m_A->m_WidgetState |= k_StateDisabled; }},
        {"removed", [](WindowEventTest& t) { t.m_Root->SetWidget(0, nullptr); }},
        {"parent hidden", [](WindowEventTest& t) { t.m_Root->SetVisibility(0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.m_What);
        SetUp();
        Event(150, 120, ButtonLeft); // A: focus and capture
        Take();
        way.m_Vanish(*this);
        const WInputRecord r = Event(150, 120, ButtonLeft);
        EXPECT_EQ(Take(), (Heard{"A:FocusLost"}));
        EXPECT_EQ(r.m_Focus.Get(), nullptr);
        EXPECT_EQ(m_Window->GetCaptureWidget(), nullptr);
        EXPECT_NE(m_Window->GetHoveredWidget(), m_A.Get());
        EXPECT_EQ(m_A->m_WidgetState & ~k_StateDisabled, 0);
    }
}

TEST_F(WindowEventTest, HandlersThatTearDownTheTreeActOnASnapshot) {
    // A's first press handler empties A's handler array (the one being walked), the root
    // and the window's root.
    struct Demolish : WEventCallback {
        Obj<Widget> m_Root;
        Obj<TWindow> m_Window;
        void OnMessage(Widget& source, uint32_t, uint32_t, const StringRef&) override {
            source.m_EventHandlerArray.Clear();
            m_Root->ResizeWidget(0);
            m_Window->SetRootWidget(nullptr);
        }
    };
    Obj<Demolish> demolish = NewObject<Demolish>();
    demolish->m_Root = m_Root;
    demolish->m_Window = m_Window;
    m_A->m_EventHandlerArray.Insert(
        0, Obj<ScriptObject>(
               Handler(WEvent::MouseButtonPressLeft, WEvent::None, demolish.Get()).Get()));
    Widget* a = m_A.Get();
    m_A = nullptr; // the tree holds A's only reference now
    const WInputRecord r = Event(150, 120, ButtonLeft);
    // The event went on with the snapshot: A (kept alive by the record) heard its press through
    // the recorder's handler, which is gone from A by now, and took focus and capture.
    EXPECT_EQ(r.m_Focus.Get(), a);
    EXPECT_EQ(r.m_Capture.Get(), a);
    EXPECT_EQ(Take(), (Heard{"A:MouseButtonPressLeft"}));
    // At the next event the tree is gone, and the window lets go of A.
    Event(150, 120, 0);
    EXPECT_EQ(m_Window->GetFocusWidget(), nullptr);
    EXPECT_EQ(m_Window->GetCaptureWidget(), nullptr);
    EXPECT_EQ(m_Window->GetHoveredWidget(), nullptr);
}

TEST_F(WindowEventTest, HandlersDoNotKeepTheirTargetsAlive) {
    // A close button whose handler hides its own frame: with a counted destination the frame
    // and the button would hold each other for ever.
    Obj<WeakObjTarget> frameCell, callbackCell;
    Obj<WEventHandler> handler;
    {
        Obj<WFrame> frame = MakeWidget<WFrame>("frame", {}, Vector3f(100, 100, 0));
        Obj<Widget> close = MakeWidget("close", {}, Vector3f(10, 10, 0));
        frame->SetAreaWidget(WFrame::TitleArea, close.Get());
        handler = Handler(WEvent::MouseButtonClickLeft, WEvent::HideWidget, frame.Get());
        close->m_EventHandlerArray.Add(Obj<ScriptObject>(handler.Get()));
        EXPECT_EQ(handler->GetDestination(), frame.Get());
        frameCell = const_cast<WeakObjTarget*>(frame->GetWeakObjTarget());
        // A callback destination is the host's object: held counted.
        Obj<EventRecorder> recorder = EventRecorder::Create();
        callbackCell = const_cast<WeakObjTarget*>(recorder->GetWeakObjTarget());
        Obj<WEventHandler> toHost = Handler(WEvent::None, WEvent::None, recorder.Get());
        close->m_EventHandlerArray.Add(Obj<ScriptObject>(toHost.Get()));
    }
    EXPECT_TRUE(frameCell->GetTarget()->IsNil());
    EXPECT_TRUE(handler->GetDestination()->IsNil());
    EXPECT_TRUE(callbackCell->GetTarget()->IsNil()); // went with the button that held it
}

} // namespace
