#include "quorlix/widget/WidgetInput.h"

#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/WidgetClassIndex.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Quorlix {

namespace {

using Target = std::pair<Obj<TWindow>, RenderChannel*>;

// The windows with input focus in the channel's scene, as the channel draws it (nodes outside
// its masks are skipped with their subtrees).
void CollectWindows(RenderChannel& channel, std::vector<Target>& out, std::vector<TNode*>& stack) {
    TNode* root = channel.m_SceneRoot.Get();
    if (root == nullptr || root->IsNil())
        return;
    stack.clear();
    stack.push_back(root);
    while (!stack.empty()) {
        TNode* node = stack.back();
        stack.pop_back();
        const uint32_t visibility = node->GetSNode()->GetVisibility();
        if ((visibility & channel.m_ExcludeMask) != 0 || (visibility & channel.m_DrawMask) == 0)
            continue;
        if (node->IsA(BuiltinTypeID(k_ClassTWindow))) {
            auto* window = static_cast<TWindow*>(node);
            const bool known = std::any_of(
                out.begin(), out.end(), [&](const Target& t) { return t.first.Get() == window; });
            if (window->m_InputFocus && !known)
                out.emplace_back(window, &channel);
        } else if (node->IsA(BuiltinTypeID(k_ClassTBranch))) {
            const auto* branch = static_cast<const TBranch*>(node);
            for (int i = branch->ChildCount() - 1; i >= 0; --i) {
                if (TNode* child = branch->GetChild(i))
                    stack.push_back(child);
            }
        }
    }
}

void Observe(RenderPipe& pipe, const Platform::WindowEvent& event, void* context) {
    auto& system = *static_cast<RenderSystem*>(context);
    if (&pipe == system.GetRenderPipe())
        WidgetInput::DispatchEvent(system, event);
}

} // namespace

int WidgetInput::PumpEvents(RenderSystem& system) {
    return RenderPipe::PumpWindowEvents(&Observe, &system);
}

int WidgetInput::DispatchEvent(RenderSystem& system, const Platform::WindowEvent& event) {
    using E = Platform::WindowEvent;
    const Obj<RenderPipe> pipe(system.GetRenderPipe());
    if (!pipe)
        return 0;
    // Pointer and buttons of the event, or of the pipe's tracker for events without them.
    const InputTracker& tracker = pipe->GetInputTracker();
    WInputRecord base;
    int x = tracker.GetX(), y = tracker.GetY();
    base.m_ButtonMask = tracker.GetButtonMask();
    base.m_Time = event.m_Time;
    switch (event.m_Kind) {
    case E::MouseMove:
    case E::MouseUp:
    case E::MouseDown:
    case E::MouseDoubleClick:
        x = event.m_X;
        y = event.m_Y;
        base.m_ButtonMask = event.m_ButtonMask;
        break;
    case E::MouseWheel:
        base.m_WheelX = event.m_X;
        base.m_WheelY = event.m_Y;
        base.m_ButtonMask = event.m_ButtonMask;
        break;
    case E::Character:
    case E::KeyDown:
        base.m_KeyCode = RenderPipe::KeyCodeOf(event);
        if (base.m_KeyCode == 0)
            return 0;
        break;
    case E::FocusLost:
        base.m_ButtonMask = 0;
        break;
    default:
        return 0;
    }
    int left = 0, top = 0, width = 0, height = 0;
    if (!pipe->GetClientArea(left, top, width, height) || width <= 0 || height <= 0)
        return 0;

    // The windows first, then the events: handlers may change the scenes.
    std::vector<Target> targets;
    std::vector<TNode*> stack;
    for (const Obj<RenderChannel>& channel : system.GetChannels()) {
        if (channel && channel->m_Enable)
            CollectWindows(*channel, targets, stack);
    }
    int count = 0;
    for (const Target& target : targets) {
        TWindow& window = *target.first;
        // The pixel's centre in the channel's viewport (fractions, y from the bottom) as
        // normalised device coordinates, and from there onto the window.
        const Vector4f& v = target.second->GetViewport();
        const float vw = static_cast<float>(width) * (v.GetY() - v.GetX());
        const float vh = static_cast<float>(height) * (v.GetW() - v.GetZ());
        if (!(vw > 0.0f) || !(vh > 0.0f) || window.IsEmpty())
            continue;
        const float nx =
            (static_cast<float>(x) + 0.5f - static_cast<float>(width) * v.GetX()) / vw * 2 - 1;
        const float ny =
            (static_cast<float>(height - y) - 0.5f - static_cast<float>(height) * v.GetZ()) / vh *
                2 -
            1;
        WInputRecord record = base;
        if (!window.PointerFromViewport(nx, ny, record.m_Pointer))
            record.m_Pointer = Vector2f(-1e30f, -1e30f); // off every widget, buttons still count
        window.ProcessEvent(record);
        ++count;
    }
    return count;
}

} // namespace Quorlix
