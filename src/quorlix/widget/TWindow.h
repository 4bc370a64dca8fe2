#pragma once
// Window nodes: a TWindow in the scene holds the root widget of a user interface, lays it out
// against its virtual resolution and routes input through it; SWindow is its S half.
//
// Input: the owner calls ProcessEvent once per input event. The window finds the widget under
// the pointer (the last drawn that contains it; hidden subtrees and disabled widgets are never
// hit), hands the record to it, or to the widget that captured the pointer, tracks focus and
// sends the focus events. Widgets that left the tree, or were hidden or disabled, stop being
// the hovered, focus or capture widget at the next event.

#include "quorlix/core/Obj.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/widget/WEvent.h"

#include <cstdint>

namespace Quorlix {

class RenderEngine;
class Widget;
class WidgetPainter;

class QUORLIX_API SWindow : public SLeaf {
public:
    static SWindow* Create();
    static const TypeInfo* GetSWindowTypeInfo() noexcept;
    SWindow() noexcept = default;
    ~SWindow() override;
};

class QUORLIX_API TWindow : public TLeaf {
public:
    static TWindow* Create();
    static const TypeInfo* GetTWindowTypeInfo() noexcept;
    TWindow();
    ~TWindow() override;

    Widget* GetRootWidget() const noexcept { return m_RootWidget.Get(); }
    ScriptObject* GetRootWidgetObject() const noexcept;
    /// Takes a widget; anything else is reported as a failed type check and nil is stored.
    void SetRootWidget(ScriptObject* root);

    /// Lays out the tree: the root against VirtualResolution, children in ChildPriority order.
    /// A zero (or not finite) resolution lays out nothing.
    void Layout();

    /// Lays out and draws the tree through `engine` as an overlay: (0, 0)-(VirtualResolution)
    /// stretched over the viewport, y down, parents before children; with UseCameraProjection
    /// in the camera's projection under `parentModelView`, a virtual unit a scene unit.
    void Draw(RenderEngine& engine, const Matrix4f& cameraProjection,
              const Matrix4f& parentModelView);

    /// Routes one input event through the widgets (see the file comment); the record comes back
    /// with the hovered, focus and capture widgets of this event.
    void ProcessEvent(WInputRecord& record);

    /// The virtual point under a point of the channel's viewport given in normalised device
    /// coordinates (-1..1, y up), through the matrices of the last draw (before the first, as a
    /// screen window would draw). For a window drawn in the camera's projection, where the
    /// line of sight meets the window's plane; false when it does not.
    bool PointerFromViewport(float x, float y, Vector2f& pointer) const noexcept;

    Widget* GetHoveredWidget() const noexcept { return m_Hovered.Get(); }
    Widget* GetFocusWidget() const noexcept { return m_Focus.Get(); }
    Widget* GetCaptureWidget() const noexcept { return m_Capture.Get(); }
    /// Whether the resolution has a zero or non-finite axis (x or y): such a window draws and
    /// takes nothing.
    bool IsEmpty() const noexcept;

    Vector3f m_VirtualResolution{2048, 1536, 2048};
    bool m_InputFocus = true;
    bool m_UseCameraProjection = false;

private:
    // Finds the widget input reaches (visible, enabled path from the root) under the pointer.
    Widget* Reach(const Vector2f& pointer);
    // Whether input reaches `w`.
    bool Reachable(Widget& w);
    // Drops `slot` unless input reaches its widget, clearing its state bit `bit`.
    void Keep(Obj<Widget>& slot, int32_t bit);

    Obj<Widget> m_RootWidget;
    Obj<Widget> m_Hovered;
    Obj<Widget> m_Focus;
    Obj<Widget> m_Capture;
    uint32_t m_PreviousMask = 0;
    bool m_DepthReported = false;       // the depth limit of walks is logged once per window
    WDispatch m_Dispatch;               // and so is a forwarding stop
    WidgetPainter* m_Painter = nullptr; // made at the first draw
    Matrix4f m_DrawMatrix;              // window space to clip space at the last draw
    bool m_Drawn = false;
};

} // namespace Quorlix
