#include "quorlix/widget/TWindow.h"

#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetClassIndex.h"
#include "quorlix/widget/internal/WidgetPainter.h"
#include "quorlix/widget/internal/WidgetWalk.h"

#include <cmath>
#include <utility>

namespace Quorlix {

namespace {

thread_local uint32_t t_ReachStamp = 0;

// The input walk: keeps the last widget input reaches (in drawing order) under the pointer,
// skipping subtrees whose box misses it; or, with m_Stamp, stamps every widget input reaches.
struct ReachWalk {
    WidgetWalk m_Walk;
    Vector2f m_Pointer;
    uint32_t m_Stamp = 0;
    Widget* m_Hit = nullptr;

    static void Visit(Widget& w, void* context) {
        auto& r = *static_cast<ReachWalk*>(context);
        if (w.GetVisibility() == 0 || w.IsDisabled() || !r.m_Walk.Enter())
            return;
        if (r.m_Stamp != 0)
            w.m_ReachStamp = r.m_Stamp;
        else if (!w.GetLayout().SubtreeBoxContains(r.m_Pointer)) {
            r.m_Walk.Leave();
            return;
        } else if (w.GetLayout().Contains(r.m_Pointer))
            r.m_Hit = &w;
        w.ForEachChild(&Visit, context);
        r.m_Walk.Leave();
    }
};

// Finds `m_Child` among the children a container shows.
struct ChildSearch {
    const Widget* m_Child;
    bool m_Found = false;
    static void Visit(Widget& w, void* context) {
        auto& s = *static_cast<ChildSearch*>(context);
        s.m_Found = s.m_Found || &w == s.m_Child;
    }
};

// The mask bits each button's flags are derived from, and the group it is compared within:
// the low three bits together (only an exact single button counts), the extended ones apart.
constexpr uint32_t k_ButtonBit[WInputRecord::k_Buttons] = {ButtonLeft, ButtonRight, ButtonMiddle,
                                                           ButtonExtendedA, ButtonExtendedB};
constexpr uint32_t k_ButtonGroup[WInputRecord::k_Buttons] = {7, 7, 7, 0x18, 0x18};

} // namespace

SWindow* SWindow::Create() {
    return NewObject<SWindow>();
}
const TypeInfo* SWindow::GetSWindowTypeInfo() noexcept {
    return &TypeOf<SWindow>();
}
SWindow::~SWindow() = default;

TWindow* TWindow::Create() {
    return NewObject<TWindow>();
}
const TypeInfo* TWindow::GetTWindowTypeInfo() noexcept {
    return &TypeOf<TWindow>();
}
TWindow::TWindow() : TLeaf(SWindow::Create()) {}
TWindow::~TWindow() {
    delete m_Painter;
}

ScriptObject* TWindow::GetRootWidgetObject() const noexcept {
    return Widget::ObjectOrNil(m_RootWidget.Get());
}

void TWindow::SetRootWidget(ScriptObject* root) {
    if (root != nullptr && !root->IsNil() && !root->IsA(BuiltinTypeID(k_ClassWidget))) {
        root->ExpectFailed(BuiltinTypeID(k_ClassWidget));
        root = nullptr;
    }
    m_RootWidget = root != nullptr && !root->IsNil() ? static_cast<Widget*>(root) : nullptr;
}

bool TWindow::IsEmpty() const noexcept {
    const float x = m_VirtualResolution[0], y = m_VirtualResolution[1];
    return !(std::isfinite(x) && std::isfinite(y) && x != 0.0f && y != 0.0f);
}

void TWindow::Layout() {
    Widget* root = m_RootWidget.Get();
    if (root == nullptr || IsEmpty())
        return;
    Obj<Widget> hold(root);
    WidgetWalk walk;
    walk.m_Resolution = m_VirtualResolution;
    walk.m_Reported = &m_DepthReported;
    walk.m_Owner = GetNameCPtr();
    if (!walk.Enter())
        return;
    root->QueryLayout();
    root->GetLayout().Place(m_VirtualResolution);
    root->UpdateLayout(walk, Matrix4f::Identity);
}

Widget* TWindow::Reach(const Vector2f& pointer) {
    ReachWalk walk{{}, pointer};
    walk.m_Walk.m_Reported = &m_DepthReported;
    walk.m_Walk.m_Owner = GetNameCPtr();
    if (m_RootWidget && !IsEmpty())
        ReachWalk::Visit(*m_RootWidget, &walk);
    return walk.m_Hit;
}

bool TWindow::Reachable(Widget& w) {
    if (!m_RootWidget || IsEmpty())
        return false;
    // Up the Parent links: each widget visible and enabled, and shown by the next.
    Widget* at = &w;
    for (int depth = 0; depth < Widget::k_MaxDepth; ++depth) {
        if (at->GetVisibility() == 0 || at->IsDisabled())
            return false;
        if (at == m_RootWidget.Get())
            return true;
        Widget* parent = at->GetParent();
        if (parent == nullptr)
            break;
        ChildSearch search{at};
        parent->ForEachChild(&ChildSearch::Visit, &search);
        if (!search.m_Found)
            break;
        at = parent;
    }
    // The links do not lead to the root (a widget stored in two containers keeps one Parent):
    // stamp everything input reaches.
    ReachWalk walk{{}, Vector2f(0, 0), ++t_ReachStamp};
    if (walk.m_Stamp == 0) // wrapped: 0 means "never reached"
        walk.m_Stamp = ++t_ReachStamp;
    walk.m_Walk.m_Reported = &m_DepthReported;
    walk.m_Walk.m_Owner = GetNameCPtr();
    ReachWalk::Visit(*m_RootWidget, &walk);
    return w.m_ReachStamp == walk.m_Stamp;
}

void TWindow::Keep(Obj<Widget>& slot, int32_t bit) {
    if (slot && !Reachable(*slot)) {
        slot->SetStateBits(bit, false);
        slot = nullptr;
    }
}

namespace {

// The inverse of a general 4 x 4 matrix by elimination with partial pivoting; false when it is
// singular.
bool Invert(const Matrix4f& matrix, float (&out)[16]) noexcept {
    float a[4][8];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = matrix.Get(r, c);
            a[r][c + 4] = r == c ? 1.0f : 0.0f;
        }
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        }
        if (!(std::fabs(a[pivot][c]) > 1e-30f))
            return false;
        if (pivot != c) {
            for (int k = 0; k < 8; ++k)
                std::swap(a[c][k], a[pivot][k]);
        }
        const float scale = 1.0f / a[c][c];
        for (int k = 0; k < 8; ++k)
            a[c][k] *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const float f = a[r][c];
            for (int k = 0; k < 8; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = a[r][c + 4];
    }
    return true;
}

} // namespace

bool TWindow::PointerFromViewport(float x, float y, Vector2f& pointer) const noexcept {
    if (!m_Drawn) {
        pointer = Vector2f((x + 1.0f) * 0.5f * m_VirtualResolution[0],
                           (1.0f - y) * 0.5f * m_VirtualResolution[1]);
        return std::isfinite(pointer.GetX()) && std::isfinite(pointer.GetY());
    }
    // The points at the near and the far end of the line of sight, in window space (row
    // vectors: clip = window * m_DrawMatrix), and where the line meets z = 0.
    float inverse[16];
    if (!Invert(m_DrawMatrix, inverse))
        return false;
    float ends[2][3];
    for (int e = 0; e < 2; ++e) {
        const float clip[4] = {x, y, e == 0 ? -1.0f : 1.0f, 1.0f};
        float p[4] = {};
        for (int c = 0; c < 4; ++c) {
            for (int r = 0; r < 4; ++r)
                p[c] += clip[r] * inverse[4 * r + c];
        }
        if (!(std::fabs(p[3]) > 1e-30f))
            return false;
        for (int c = 0; c < 3; ++c)
            ends[e][c] = p[c] / p[3];
    }
    const float dz = ends[0][2] - ends[1][2];
    const float t = std::fabs(dz) > 1e-12f ? ends[0][2] / dz : 0.0f;
    pointer = Vector2f(ends[0][0] + t * (ends[1][0] - ends[0][0]),
                       ends[0][1] + t * (ends[1][1] - ends[0][1]));
    return std::isfinite(pointer.GetX()) && std::isfinite(pointer.GetY()) && t >= 0.0f;
}

void TWindow::ProcessEvent(WInputRecord& record) {
    Obj<TWindow> self(this); // handlers may drop the window's last reference
    m_Dispatch.Reset();
    m_Dispatch.m_Owner = GetNameCPtr();
    record.m_Dispatch = &m_Dispatch;

    // 1. The record starts from the window's widgets, less those input no longer reaches. A
    // focus dropped so has lost it: step 5 compares against the focus from before the drop.
    Obj<Widget> before = m_Focus;
    Widget* hit = Reach(record.m_Pointer);
    Keep(m_Focus, 0); // its bit goes with the FocusLost of step 5
    Keep(m_Capture, k_StatePressed);
    record.m_Hovered = nullptr;
    record.m_Focus = m_Focus;
    record.m_Capture = m_Capture;

    // 2. Button flags from the current and the previous mask.
    const uint32_t current = record.m_ButtonMask;
    for (int b = 0; b < WInputRecord::k_Buttons; ++b) {
        const uint32_t m = k_ButtonBit[b], group = k_ButtonGroup[b];
        record.m_Down[b] = (current & m) != 0;
        record.m_Pressed[b] = (current & group) == m && (m_PreviousMask & group) == 0;
        record.m_Released[b] = (current & group) != m && (m_PreviousMask & group) == m;
    }
    record.m_CaptureHeld = false;
    m_PreviousMask = current;

    // 3. The capture widget takes the event while it holds the pointer, else the hit widget.
    record.m_Hovered = hit;
    if (hit != nullptr)
        hit->SetStateBits(k_StateHovered, true);
    if (m_Hovered && m_Hovered.Get() != hit)
        m_Hovered->SetStateBits(k_StateHovered, false);
    Obj<Widget> target = record.m_Capture ? record.m_Capture : record.m_Hovered;
    if (target)
        target->ProcessInput(record);

    // 4. A capture nobody held any more is released.
    if (!record.m_CaptureHeld && record.m_Capture) {
        record.m_Capture->SetStateBits(k_StatePressed, false);
        record.m_Capture = nullptr;
        Internal::LogScriptDebug("TWindow::ProcessEvent: releasing undefined capture widget.");
    }

    // 5. Focus changes: the old focus hears of it first.
    if (record.m_Focus.Get() != before.Get()) {
        if (before) {
            before->SetStateBits(k_StateFocus, false);
            before->SendEvent(WEvent::FocusLost, record);
        }
        if (record.m_Focus) {
            record.m_Focus->SetStateBits(k_StateFocus, true);
            record.m_Focus->SendEvent(WEvent::Focus, record);
        }
    }

    // 6. The focus widget hears of every event (and takes keys from it).
    if (record.m_Focus) {
        Obj<Widget> focus = record.m_Focus;
        focus->SendEvent(WEvent::FocusTick, record);
    }

    // 7. The window keeps this event's widgets.
    m_Hovered = record.m_Hovered;
    m_Focus = record.m_Focus;
    m_Capture = record.m_Capture;
    record.m_Dispatch = nullptr;
}

} // namespace Quorlix
