#include "quorlix/widget/Widget.h"

#include "quorlix/render/RenderPipe.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/widget/WidgetClassIndex.h"
#include "quorlix/widget/WidgetStyle.h"
#include "quorlix/widget/internal/WidgetWalk.h"

#include <algorithm>

namespace Quorlix {

namespace {

// Slots beyond the array a store may create at once.
constexpr int k_MaxGrowth = 65536;
constexpr uint32_t k_DoubleClickMs = 500;

const ClassType_TypeID* WidgetID() noexcept {
    return BuiltinTypeID(k_ClassWidget);
}

Widget* AsWidget(ScriptObject* object) noexcept {
    return object != nullptr && !object->IsNil() && object->IsA(WidgetID())
               ? static_cast<Widget*>(object)
               : nullptr;
}

ScriptObject* WeakTarget(const Obj<WeakObjTarget>& cell) noexcept {
    return cell ? cell->GetTarget() : nullptr;
}

Obj<WeakObjTarget> WeakCell(ScriptObject* object) {
    if (object == nullptr || object->IsNil())
        return {};
    return Obj<WeakObjTarget>(const_cast<WeakObjTarget*>(object->GetWeakObjTarget()));
}

thread_local uint32_t t_CheckStamp = 0;

// Whether `target` lies in the subtree of `root` (root included), searched to the walks' depth
// limit; each widget is visited once, however many paths lead to it.
struct SubtreeSearch {
    const Widget* m_Target;
    uint32_t m_Stamp;
    int m_Depth = 0;
    bool m_Found = false;

    static void Visit(Widget& w, void* context) {
        auto& s = *static_cast<SubtreeSearch*>(context);
        if (s.m_Found || w.m_CheckStamp == s.m_Stamp)
            return;
        w.m_CheckStamp = s.m_Stamp;
        if (&w == s.m_Target) {
            s.m_Found = true;
            return;
        }
        if (s.m_Depth > Widget::k_MaxDepth)
            return;
        ++s.m_Depth;
        w.ForEachHeldChild(&Visit, context);
        --s.m_Depth;
    }
};

bool InSubtree(Widget& root, const Widget& target) {
    SubtreeSearch search{&target, ++t_CheckStamp};
    if (search.m_Stamp == 0) // wrapped: stamps of 0 mean "never visited"
        search.m_Stamp = ++t_CheckStamp;
    SubtreeSearch::Visit(root, &search);
    return search.m_Found;
}

// The four events of button b (press, release, click, double click) start here.
uint32_t FirstEventOfButton(int b) noexcept {
    return WEvent::MouseButtonPressLeft + 4 * static_cast<uint32_t>(b);
}

} // namespace

// --- WDispatch and WidgetWalk -----------------------------------------------------------------

bool WDispatch::Enter(const Widget* widget, uint32_t event) {
    // What the window sends itself may repeat (wheel steps); what handlers send may not.
    if (m_Depth == 0) {
        ++m_Depth;
        return true;
    }
    const std::pair<const Widget*, uint32_t> pair{widget, event};
    const bool repeated =
        std::find(m_Delivered.begin(), m_Delivered.end(), pair) != m_Delivered.end();
    if (repeated || m_Depth >= k_MaxDepth) {
        if (!m_Reported) {
            m_Reported = true;
            Internal::LogScriptError("TWindow::ProcessEvent: \"", m_Owner,
                                     "\": event forwarding stopped (", k_MaxDepth,
                                     " levels, or an event sent twice to one widget).");
        }
        return false;
    }
    m_Delivered.push_back(pair);
    ++m_Depth;
    return true;
}

bool WidgetWalk::Enter() {
    if (m_Depth >= Widget::k_MaxDepth || ++m_Visits > k_MaxVisits) {
        if (m_Reported == nullptr || !*m_Reported) {
            if (m_Reported != nullptr)
                *m_Reported = true;
            Internal::LogScriptError("TWindow: \"", m_Owner, "\": widget tree deeper than ",
                                     Widget::k_MaxDepth, " levels or larger than ", k_MaxVisits,
                                     " visits; the rest is skipped.");
        }
        return false;
    }
    ++m_Depth;
    return true;
}

int WInputRecord::ButtonIndex(uint32_t bit) noexcept {
    switch (bit) {
    case ButtonLeft:
        return 0;
    case ButtonRight:
        return 1;
    case ButtonMiddle:
        return 2;
    case ButtonExtendedA:
        return 3;
    case ButtonExtendedB:
        return 4;
    default:
        return -1;
    }
}

// --- Events, handlers, callbacks --------------------------------------------------------------

WEvent* WEvent::Create() {
    return NewObject<WEvent>();
}
const TypeInfo* WEvent::GetWEventTypeInfo() noexcept {
    return &TypeOf<WEvent>();
}
WEvent::~WEvent() = default;

WEventHandler* WEventHandler::Create() {
    return NewObject<WEventHandler>();
}
const TypeInfo* WEventHandler::GetWEventHandlerTypeInfo() noexcept {
    return &TypeOf<WEventHandler>();
}
WEventHandler::~WEventHandler() = default;

ScriptObject* WEventHandler::GetDestination() const noexcept {
    if (m_WidgetDestination)
        return m_WidgetDestination->GetTarget(); // the nil object once the widget is gone
    return m_Destination ? m_Destination.Get() : &G_NilObject;
}

void WEventHandler::SetDestination(ScriptObject* destination) {
    m_Destination = nullptr;
    m_WidgetDestination = nullptr;
    if (Widget* widget = AsWidget(destination))
        m_WidgetDestination = WeakCell(widget);
    else if (destination != nullptr && !destination->IsNil())
        m_Destination = destination;
}

WEventCallback* WEventCallback::Create() {
    return NewObject<WEventCallback>();
}
const TypeInfo* WEventCallback::GetWEventCallbackTypeInfo() noexcept {
    return &TypeOf<WEventCallback>();
}
WEventCallback::~WEventCallback() = default;
void WEventCallback::OnMessage(Widget&, uint32_t, uint32_t, const StringRef&) {}

// --- Widget -------------------------------------------------------------------------------------

Widget* Widget::Create() {
    return NewObject<Widget>();
}
const TypeInfo* Widget::GetWidgetTypeInfo() noexcept {
    return &TypeOf<Widget>();
}
Widget::Widget() noexcept = default;

Widget::~Widget() {
    Array<Obj<Widget>> doomed;
    Widget::TakeChildren(doomed);
    ReleaseTree(doomed);
}

void Widget::TakeChildren(Array<Obj<Widget>>& out) {
    TakeArray(m_WidgetArray, out);
}

void Widget::ReleaseTree(Array<Obj<Widget>>& doomed) {
    // Releasing children one by one would recurse once per level. A widget about to die hands
    // its own children to the list first, so every destructor runs with empty arrays.
    while (!doomed.IsEmpty()) {
        Obj<Widget> widget = static_cast<Obj<Widget>&&>(doomed[doomed.Size() - 1]);
        doomed.Remove(doomed.Size() - 1);
        if (widget && BlockRefCount(widget.Get()) == 1)
            widget->TakeChildren(doomed);
    }
}

ScriptObject* Widget::ObjectOrNil(Widget* w) noexcept {
    return w != nullptr ? static_cast<ScriptObject*>(w) : &G_NilObject;
}

Widget* Widget::GetParent() const noexcept {
    return AsWidget(WeakTarget(m_Parent));
}
ScriptObject* Widget::GetParentObject() const noexcept {
    Widget* parent = GetParent();
    return parent != nullptr ? static_cast<ScriptObject*>(parent) : &G_NilObject;
}
void Widget::SetParentObject(ScriptObject* parent) {
    m_Parent = WeakCell(AsWidget(parent));
}
ScriptObject* Widget::GetUserWeakObject() const noexcept {
    ScriptObject* target = WeakTarget(m_UserWeakObject);
    return target != nullptr ? target : &G_NilObject;
}
void Widget::SetUserWeakObject(ScriptObject* object) {
    m_UserWeakObject = WeakCell(object);
}

void Widget::Unparent(Widget* child) const noexcept {
    if (child != nullptr && WeakTarget(child->m_Parent) == this)
        child->m_Parent = Obj<WeakObjTarget>();
}

bool Widget::StoreChild(Obj<Widget>& slot, ScriptObject* object, const char* what) {
    Widget* child = AsWidget(object);
    if (child == nullptr && object != nullptr && !object->IsNil())
        object->ExpectFailed(WidgetID()); // stores nil, as for any failed type check
    if (child != nullptr && InSubtree(*child, *this)) {
        Internal::LogScriptError(what, ": \"", child->GetNameCPtr(), "\" holds \"", GetNameCPtr(),
                                 "\" in its subtree; storing it would make a ", "cycle, ignored.");
        return false;
    }
    if (slot.Get() == child)
        return true;
    Obj<Widget> old = slot; // keeps the old widget alive until its Parent is settled
    slot = child;
    Unparent(old.Get());
    if (child != nullptr)
        child->m_Parent = WeakCell(this);
    return true;
}

void Widget::StoreAt(Array<Obj<Widget>>& array, int i, ScriptObject* child, const char* what) {
    if (i < 0 || i > array.Size() + k_MaxGrowth) {
        Internal::LogScriptError(what, ": index ", i, " of \"", GetNameCPtr(),
                                 "\" is out of range.");
        return;
    }
    // A refused store must leave the array as it was, so it grows only for a stored widget.
    Obj<Widget> slot = i < array.Size() ? array[i] : Obj<Widget>();
    if (!StoreChild(slot, child, what))
        return;
    if (i >= array.Size())
        array.Resize(i + 1);
    array[i] = static_cast<Obj<Widget>&&>(slot);
}

void Widget::ResizeChildren(Array<Obj<Widget>>& array, int count, const char* what) {
    if (count < 0 || count > array.Size() + k_MaxGrowth) {
        Internal::LogScriptError(what, ": count ", count, " of \"", GetNameCPtr(),
                                 "\" is out of range.");
        return;
    }
    Array<Obj<Widget>> cut;
    for (int i = count; i < array.Size(); ++i) {
        Unparent(array[i].Get());
        cut.Add(array[i]);
    }
    array.Resize(count);
    ReleaseTree(cut);
}

void Widget::TakeArray(Array<Obj<Widget>>& array, Array<Obj<Widget>>& out) const {
    for (const Obj<Widget>& child : array) {
        if (child) {
            Unparent(child.Get());
            out.Add(child);
        }
    }
    array.Clear();
}

void Widget::SetWidget(int i, ScriptObject* child) {
    StoreAt(m_WidgetArray, i, child, "Widget::SetWidget");
}

void Widget::ResizeWidget(int count) {
    ResizeChildren(m_WidgetArray, count, "Widget::ResizeWidget");
}

void Widget::SortChildren() {
    auto priority = [](const Obj<Widget>& w) { return w ? w->m_ChildPriority : k_NilPriority; };
    const int n = m_WidgetArray.Size();
    bool sorted = true;
    for (int i = 1; i < n && sorted; ++i)
        sorted = priority(m_WidgetArray[i - 1]) <= priority(m_WidgetArray[i]);
    if (sorted)
        return; // the usual case: nothing to write, so the array stays shared
    // Insertion sort on the handles' pointers: stable, and arrays of children are short.
    m_WidgetArray.MakePrivate();
    Obj<Widget>* data = &m_WidgetArray[0];
    for (int i = 1; i < n; ++i) {
        Obj<Widget> moving = static_cast<Obj<Widget>&&>(data[i]);
        const int32_t p = priority(moving);
        int j = i;
        for (; j > 0 && priority(data[j - 1]) > p; --j)
            data[j] = static_cast<Obj<Widget>&&>(data[j - 1]);
        data[j] = static_cast<Obj<Widget>&&>(moving);
    }
}

void Widget::ForEachHeldChild(void (*visit)(Widget&, void*), void* context) {
    ForEachChild(visit, context);
}

void Widget::ForEachChild(void (*visit)(Widget&, void*), void* context) {
    for (const Obj<Widget>& child : m_WidgetArray) {
        if (child)
            visit(*child, context);
    }
}

Vector3f Widget::GetContentSize() {
    return Vector3f(0, 0, 0);
}

void Widget::SendEvent(uint32_t event, WInputRecord& record) {
    WDispatch local;
    const bool own = record.m_Dispatch == nullptr;
    if (own)
        record.m_Dispatch = &local;
    WDispatch& dispatch = *record.m_Dispatch;
    if (dispatch.Enter(this, event)) {
        Obj<Widget> self(this); // a handler may drop the last reference to this widget
        OnEvent(event, record);
        const Array<Obj<ScriptObject>> handlers = m_EventHandlerArray; // the snapshot
        for (const Obj<ScriptObject>& object : handlers) {
            if (!object || object->IsNil() || !object->IsA(BuiltinTypeID(k_ClassWEventHandler)))
                continue;
            const auto& handler = static_cast<const WEventHandler&>(*object);
            if (handler.m_Handle != event)
                continue;
            ScriptObject* destination = handler.GetDestination();
            // Callbacks are host classes derived from WEventCallback, which the class tables
            // need not know: they are recognised by their C++ type.
            if (Widget* target = AsWidget(destination))
                target->SendEvent(handler.m_Message, record);
            else if (auto* callback = dynamic_cast<WEventCallback*>(destination))
                callback->OnMessage(*this, handler.m_Message, handler.m_UserValue, m_UserCommand);
        }
        dispatch.Leave();
    }
    if (own)
        record.m_Dispatch = nullptr;
}

void Widget::OnEvent(uint32_t event, WInputRecord& record) {
    switch (event) {
    case WEvent::ShowWidget:
        m_Layout.m_Visibility = 1;
        break;
    case WEvent::HideWidget:
        m_Layout.m_Visibility = 0;
        break;
    case WEvent::ToggleWidget:
        m_Layout.m_Visibility = m_Layout.m_Visibility != 0 ? 0 : 1;
        break;
    case WEvent::FocusTick: {
        const uint32_t key = record.m_KeyCode;
        if (key == 0)
            break;
        SendEvent(WEvent::KeyboardPressKey, record);
        SendEvent(WEvent::KeyboardReleaseKey, record);
        SendEvent(WEvent::KeyboardClickKey, record);
        if (m_LastKeyCode == key && record.m_Time - m_LastKeyTime < k_DoubleClickMs) {
            SendEvent(WEvent::KeyboardDoubleClickKey, record);
            m_LastKeyCode = 0; // a third press starts a new pair
        } else {
            m_LastKeyCode = key;
            m_LastKeyTime = record.m_Time;
        }
        break;
    }
    default:
        break;
    }
}

void Widget::ProcessInput(WInputRecord& record) {
    Obj<Widget> self(this);
    for (int b = 0; b < WInputRecord::k_Buttons; ++b) {
        const uint32_t first = FirstEventOfButton(b);
        if (record.m_Pressed[b] && record.m_Hovered.Get() == this && !record.m_Capture) {
            SetStateBits(k_StatePressed, true);
            record.m_Capture = this;
            record.m_CaptureHeld = true;
            if (!m_FocusTransparent)
                record.m_Focus = this;
            SendEvent(first, record);
        }
        if (record.m_Released[b] && record.m_Capture.Get() == this) {
            SetStateBits(k_StatePressed, false);
            record.m_Capture = nullptr;
            SendEvent(first + 1, record);
            if (record.m_Hovered.Get() == this) {
                SendEvent(first + 2, record);
                if (m_LastClickEvent == first + 2 &&
                    record.m_Time - m_LastClickTime < k_DoubleClickMs) {
                    SendEvent(first + 3, record);
                    m_LastClickEvent = 0;
                } else {
                    m_LastClickEvent = first + 2;
                    m_LastClickTime = record.m_Time;
                }
            }
        }
        if (record.m_Down[b] && record.m_Capture.Get() == this)
            record.m_CaptureHeld = true;
    }
    if (record.m_Hovered.Get() == this) {
        const auto scroll = [&](int32_t steps, uint32_t positive, uint32_t negative) {
            for (int32_t i = 0; i < steps && i < 64; ++i)
                SendEvent(positive, record);
            for (int32_t i = 0; i > steps && i > -64; --i)
                SendEvent(negative, record);
        };
        scroll(record.m_WheelY, WEvent::MouseScrollUp, WEvent::MouseScrollDown);
        scroll(record.m_WheelX, WEvent::MouseScrollRight, WEvent::MouseScrollLeft);
    }
}

// --- Frames, tabs and the other widgets -----------------------------------------------------

WFrame* WFrame::Create() {
    return NewObject<WFrame>();
}
const TypeInfo* WFrame::GetWFrameTypeInfo() noexcept {
    return &TypeOf<WFrame>();
}
WFrame::~WFrame() {
    Array<Obj<Widget>> doomed;
    WFrame::TakeChildren(doomed);
    ReleaseTree(doomed);
}

void WFrame::TakeChildren(Array<Obj<Widget>>& out) {
    for (Obj<Widget>& slot : m_Slot) {
        if (slot) {
            Unparent(slot.Get());
            out.Add(slot);
            slot = nullptr;
        }
    }
    Widget::TakeChildren(out);
}

void WFrame::SetAreaWidget(Area area, ScriptObject* w) {
    static const char* const k_Names[] = {"WFrame::SetTitleWidget", "WFrame::SetMenuWidget",
                                          "WFrame::SetStatusWidget"};
    StoreChild(m_Slot[area], w, k_Names[area]);
}

void WFrame::ForEachChild(void (*visit)(Widget&, void*), void* context) {
    Widget::ForEachChild(visit, context);
    for (const Obj<Widget>& slot : m_Slot) {
        if (slot)
            visit(*slot, context);
    }
}

WTabFrame* WTabFrame::Create() {
    return NewObject<WTabFrame>();
}
const TypeInfo* WTabFrame::GetWTabFrameTypeInfo() noexcept {
    return &TypeOf<WTabFrame>();
}
WTabFrame::~WTabFrame() {
    Array<Obj<Widget>> doomed;
    WTabFrame::TakeChildren(doomed);
    ReleaseTree(doomed);
}

void WTabFrame::TakeChildren(Array<Obj<Widget>>& out) {
    TakeArray(m_TabWidgetArray, out);
    Widget::TakeChildren(out);
}

void WTabFrame::SetTab(int i, ScriptObject* tab) {
    StoreAt(m_TabWidgetArray, i, tab, "WTabFrame::SetTab");
}

void WTabFrame::ResizeTab(int count) {
    ResizeChildren(m_TabWidgetArray, count, "WTabFrame::ResizeTab");
}

void WTabFrame::ForEachHeldChild(void (*visit)(Widget&, void*), void* context) {
    Widget::ForEachChild(visit, context);
    for (const Obj<Widget>& tab : m_TabWidgetArray) {
        if (tab)
            visit(*tab, context);
    }
}

void WTabFrame::ForEachChild(void (*visit)(Widget&, void*), void* context) {
    Widget::ForEachChild(visit, context);
    if (Widget* tab = GetSelectedTab())
        visit(*tab, context);
}

WLabel* WLabel::Create() {
    return NewObject<WLabel>();
}
const TypeInfo* WLabel::GetWLabelTypeInfo() noexcept {
    return &TypeOf<WLabel>();
}
WLabel::~WLabel() = default;

WImage* WImage::Create() {
    return NewObject<WImage>();
}
const TypeInfo* WImage::GetWImageTypeInfo() noexcept {
    return &TypeOf<WImage>();
}
WImage::~WImage() = default;

WText* WText::Create() {
    return NewObject<WText>();
}
const TypeInfo* WText::GetWTextTypeInfo() noexcept {
    return &TypeOf<WText>();
}
WText::~WText() = default;

void WText::OnEvent(uint32_t event, WInputRecord& record) {
    if (event == WEvent::KeyboardPressKey)
        EditKey(record.m_KeyCode);
    Widget::OnEvent(event, record);
}

void WText::EditKey(uint32_t code) {
    const int size = m_Text.Size();
    if (m_Cursor < 0 || m_Cursor > size)
        m_Cursor = size;
    if (code >= 32 && code <= 255 && code != 127) {
        if (size >= GetEffectiveMaxLength())
            return;
        m_Text.Insert(m_Cursor++, static_cast<char>(code));
    } else if (code == 8) {
        if (m_Cursor > 0)
            m_Text.Remove(--m_Cursor);
    } else if (code == RenderPipe::PackKeyName("DEL")) {
        if (m_Cursor < size)
            m_Text.Remove(m_Cursor);
    } else if (code == RenderPipe::PackKeyName("CSLF")) {
        if (m_Cursor > 0)
            --m_Cursor;
    } else if (code == RenderPipe::PackKeyName("CSRT")) {
        if (m_Cursor < size)
            ++m_Cursor;
    } else if (code == RenderPipe::PackKeyName("HOME")) {
        m_Cursor = 0;
    } else if (code == RenderPipe::PackKeyName("END")) {
        m_Cursor = size;
    }
}

WTransform* WTransform::Create() {
    return NewObject<WTransform>();
}
const TypeInfo* WTransform::GetWTransformTypeInfo() noexcept {
    return &TypeOf<WTransform>();
}
WTransform::~WTransform() = default;

WChannel* WChannel::Create() {
    return NewObject<WChannel>();
}
const TypeInfo* WChannel::GetWChannelTypeInfo() noexcept {
    return &TypeOf<WChannel>();
}
WChannel::~WChannel() = default;

// --- Styles ---------------------------------------------------------------------------------

FontStyle* FontStyle::Create() {
    return NewObject<FontStyle>();
}
const TypeInfo* FontStyle::GetFontStyleTypeInfo() noexcept {
    return &TypeOf<FontStyle>();
}
FontStyle::~FontStyle() = default;

WidgetStyle* WidgetStyle::Create() {
    return NewObject<WidgetStyle>();
}
const TypeInfo* WidgetStyle::GetWidgetStyleTypeInfo() noexcept {
    return &TypeOf<WidgetStyle>();
}
WidgetStyle::~WidgetStyle() = default;

TileCollection* TileCollection::Create() {
    return NewObject<TileCollection>();
}
const TypeInfo* TileCollection::GetTileCollectionTypeInfo() noexcept {
    return &TypeOf<TileCollection>();
}
TileCollection::~TileCollection() = default;

int TileCollection::TileCount() const noexcept {
    return std::min({m_ShaderArray.Size(), m_ColorArray.Size(), m_TileSelectArray.Size()});
}

} // namespace Quorlix
