#pragma once
// Widgets: script objects that make two-dimensional user interfaces over the scene. A widget
// lies in a virtual coordinate space (x right, y down) relative to its parent, placed by its
// alignment and resize modes; containers hold their children in "WidgetArray" (and a WFrame in
// three slots, a WTabFrame in its tab array), and a TWindow holds the root.
//
// A child knows its container through "Parent", a weak link the container sets when the child
// is stored. Trees are checked when they are built: storing a widget into its own subtree is
// refused. The walks over a tree (layout, hit test, drawing) still stop at depth 256, since a
// subtree deeper than the check's reach can close a cycle.
//
// Like every script object, a widget tree belongs to one thread.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Eulerf.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/WeakObjTarget.h"
#include "quorlix/widget/WEvent.h"

#include <cstdint>

namespace Quorlix {

class FontStyle;
class TileCollection;
class WidgetPainter;
class WidgetStyle;
struct WidgetWalk;

/// Values of Widget.ResizeModeEnum.
enum WidgetResizeMode : uint32_t { ResizeExact = 1, ResizeMinimum = 2, ResizePercent = 3 };
/// Values of Widget.AlignmentModeEnum.
enum WidgetAlignmentMode : uint32_t { AlignCenter = 1, AlignMin = 2, AlignMax = 3, AlignBlock = 4 };

/// The placement of one widget (or of one area of a frame) and what layout made of it.
struct QUORLIX_API WidgetLayout {
    uint32_t m_Visibility = 1;
    WidgetAlignmentMode m_Alignment[3] = {AlignCenter, AlignCenter, AlignCenter};
    WidgetResizeMode m_Resize[3] = {ResizeExact, ResizeExact, ResizeExact};
    Vector3f m_Position{0, 0, 0};
    Vector3f m_Dimension{0, 0, 0};
    Vector3f m_ComputedPosition{0, 0, 0};
    Vector3f m_ComputedDimension{0, 0, 0};
    // The window-space box (x0, y0, x1, y1) around this block and all laid out below it, from
    // the last layout: the input walk skips subtrees whose box misses the pointer.
    float m_SubtreeBox[4] = {0, 0, 0, 0};
    Matrix4f m_Matrix = Matrix4f::Identity; // virtual window space from this block's space
    Matrix4f m_Inverse = Matrix4f::Identity;
    bool m_InverseValid = true;

    /// Places the block against a parent of computed dimension `parent`, once the widget's
    /// layout query has set m_ComputedDimension: ResizePercent takes Dimension as a fraction of
    /// the parent; AlignCenter centres, AlignMax puts the far edge on the parent's, the others
    /// start at 0; Position is added. Values that are not finite come out as 0.
    void Place(const Vector3f& parent) noexcept;
    /// The inverse of m_Matrix, computed on the first request after a change (the identity
    /// when m_Matrix cannot be inverted).
    const Matrix4f& GetInverse() noexcept;
    /// Whether the point `p` of window space lies inside [0, computed dimension) in x and y.
    bool Contains(const Vector2f& p) noexcept;
    /// Sets the subtree box to this block's own rectangle under m_Matrix.
    void ResetSubtreeBox() noexcept;
    /// Grows the subtree box over `below`'s.
    void GrowSubtreeBox(const WidgetLayout& below) noexcept;
    bool SubtreeBoxContains(const Vector2f& p) const noexcept {
        return p.GetX() >= m_SubtreeBox[0] && p.GetX() < m_SubtreeBox[2] &&
               p.GetY() >= m_SubtreeBox[1] && p.GetY() < m_SubtreeBox[3];
    }
};

/// WidgetState bits.
enum WidgetStateBits : int32_t {
    k_StateDisabled = 1, // set by scripts: the widget takes no input and draws disabled
    k_StateHovered = 2,
    k_StateFocus = 4,
    k_StatePressed = 8,
};

/// The base of all widgets; on its own an invisible container.
class QUORLIX_API Widget : public Object {
public:
    /// Walks (layout, hit test, drawing, validity) stop below this depth with one error line.
    static constexpr int k_MaxDepth = 256;
    /// The ChildPriority an empty slot sorts by: after every ordinary widget.
    static constexpr int32_t k_NilPriority = 0x10000000;

    static Widget* Create();
    static const TypeInfo* GetWidgetTypeInfo() noexcept;
    Widget() noexcept;
    ~Widget() override;

    // --- The widget's virtual slots --------------------------------------------------------
    /// The widget's own layout block.
    WidgetLayout& GetLayout() noexcept { return m_Layout; }
    const WidgetLayout& GetLayout() const noexcept { return m_Layout; }
    /// Sets the computed dimension before the widget is placed: Dimension, grown to the
    /// content in axes with ResizeMinimum.
    virtual void QueryLayout();
    /// Lays out this widget under a parent whose window-space matrix is `parent`, once it has
    /// been placed, and then its children.
    virtual void UpdateLayout(WidgetWalk& walk, const Matrix4f& parent);
    /// Reacts to the input record routed to this widget (the hit widget, or the capture).
    virtual void ProcessInput(WInputRecord& record);
    /// Delivers event `event`: the widget's own reaction (OnEvent), then every handler whose
    /// Handle is the event, on a snapshot of the handler array.
    void SendEvent(uint32_t event, WInputRecord& record);
    /// The widget's own reaction to an event: ShowWidget, HideWidget and ToggleWidget set or
    /// flip Visibility; event 35 turns the record's key into the keyboard events.
    virtual void OnEvent(uint32_t event, WInputRecord& record);
    /// Draws the widget itself (its children are drawn after it): a plain widget its frame.
    virtual void Paint(WidgetPainter& painter);
    /// The content extent for ResizeMinimum (labels: their text); 0 for a plain widget.
    virtual Vector3f GetContentSize();
    /// Calls `visit` for each child the widget shows (WidgetArray, and the slots subclasses
    /// add), in drawing order.
    virtual void ForEachChild(void (*visit)(Widget& child, void* context), void* context);
    /// Calls `visit` for each child the widget holds, shown or not (a tab frame's every tab):
    /// what the store check searches for cycles.
    virtual void ForEachHeldChild(void (*visit)(Widget& child, void* context), void* context);

    // --- Members -------------------------------------------------------------------------------
    int WidgetCount() const noexcept { return m_WidgetArray.Size(); }
    /// Child i; null outside the array or for an empty slot.
    Widget* GetWidget(int i) const noexcept {
        return i >= 0 && i < m_WidgetArray.Size() ? m_WidgetArray[i].Get() : nullptr;
    }
    /// Stores `child` at index i, growing the array with empty slots (at most 65,536 beyond its
    /// size). The widget there before loses its Parent when it names this container; `child`
    /// gets this container as Parent. An object that is not a widget is reported as a failed
    /// type check and nil is stored; a widget whose subtree holds this container (or that is
    /// this container) is refused with an error line and nothing changes.
    void SetWidget(int i, ScriptObject* child);
    /// Shrinks (clearing the Parent of the widgets cut off) or grows the array.
    void ResizeWidget(int count);
    /// Child i as a script value (the nil object for an empty slot).
    ScriptObject* GetWidgetObject(int i) const noexcept { return ObjectOrNil(GetWidget(i)); }
    const Array<Obj<Widget>>& GetWidgetArray() const noexcept { return m_WidgetArray; }

    uint32_t GetVisibility() const noexcept { return m_Layout.m_Visibility; }
    void SetVisibility(uint32_t visibility) noexcept { m_Layout.m_Visibility = visibility; }
    const Vector3f& GetPosition() const noexcept { return m_Layout.m_Position; }
    void SetPosition(const Vector3f& p) noexcept { m_Layout.m_Position = p; }
    const Vector3f& GetDimension() const noexcept { return m_Layout.m_Dimension; }
    void SetDimension(const Vector3f& d) noexcept { m_Layout.m_Dimension = d; }
    template <int A>
    WidgetResizeMode GetResizeMode() const noexcept {
        return m_Layout.m_Resize[A];
    }
    template <int A>
    void SetResizeMode(WidgetResizeMode mode) noexcept {
        m_Layout.m_Resize[A] = mode;
    }
    template <int A>
    WidgetAlignmentMode GetAlignmentMode() const noexcept {
        return m_Layout.m_Alignment[A];
    }
    template <int A>
    void SetAlignmentMode(WidgetAlignmentMode mode) noexcept {
        m_Layout.m_Alignment[A] = mode;
    }

    /// The container that stored this widget last; null when none (or when it is gone).
    Widget* GetParent() const noexcept;
    ScriptObject* GetParentObject() const noexcept;
    /// Containers set Parent; a script may too (a widget only, anything else clears it).
    void SetParentObject(ScriptObject* parent);
    ScriptObject* GetUserWeakObject() const noexcept;
    void SetUserWeakObject(ScriptObject* object);

    bool IsDisabled() const noexcept { return (m_WidgetState & k_StateDisabled) != 0; }
    /// The frame colour of the widget's state in `style`: disabled, focus, hovered, inactive
    /// (the window takes no input), else the default.
    const Vector4f& FrameColor(const WidgetStyle& style, bool windowHasInput) const noexcept;
    /// Sets or clears the bits of `mask` in WidgetState.
    void SetStateBits(int32_t mask, bool on) noexcept {
        m_WidgetState = on ? (m_WidgetState | mask) : (m_WidgetState & ~mask);
    }

    /// `w`, or the nil object for null.
    static ScriptObject* ObjectOrNil(Widget* w) noexcept;

    Obj<WidgetStyle> m_WidgetStyle;
    Array<Obj<ScriptObject>> m_EventHandlerArray;
    bool m_FocusTransparent = false;
    int32_t m_WidgetState = 0;
    String m_InfoText;
    Obj<ScriptObject> m_InfoWidget;
    Obj<ScriptObject> m_UserObject;
    String m_UserCommand;
    Array<String> m_UserCommandArray;
    int32_t m_ChildPriority = 0;

    // Walk bookkeeping: the last input walk that reached this widget, and the last subtree
    // search of the store check that visited it.
    uint32_t m_ReachStamp = 0;
    uint32_t m_CheckStamp = 0;

protected:
    friend struct WidgetWalk;
    friend class TWindow;

    /// Stores `child` into `slot` of this container with the Parent rule and the checks of
    /// SetWidget; `what` names the setter in error lines.
    bool StoreChild(Obj<Widget>& slot, ScriptObject* child, const char* what);
    /// SetWidget and ResizeWidget on a child array of this container.
    void StoreAt(Array<Obj<Widget>>& array, int i, ScriptObject* child, const char* what);
    void ResizeChildren(Array<Obj<Widget>>& array, int count, const char* what);
    /// Moves the widgets of `array` to `out`, clearing their Parent where it names this.
    void TakeArray(Array<Obj<Widget>>& array, Array<Obj<Widget>>& out) const;
    /// Clears the Parent of `child` when it names this container.
    void Unparent(Widget* child) const noexcept;
    /// Lays out one child against `dimension` (this container's, or an area's) under `matrix`.
    void LayoutChild(WidgetWalk& walk, Widget& child, const Vector3f& dimension,
                     const Matrix4f& matrix);
    /// The local matrix of this widget: its computed position then the parent's matrix.
    virtual void ComputeMatrix(const Matrix4f& parent);
    /// Draws the frame of WidgetStyle over the widget's rectangle: one quad, or nine pieces from
    /// the style's tile selection on a tile texture.
    void PaintFrame(WidgetPainter& painter);
    /// Draws `text` left-aligned and centred vertically, its shadow first.
    void PaintText(WidgetPainter& painter, const FontStyle* style, const StringRef& text,
                   const Vector4f& color);
    /// Sorts WidgetArray by ChildPriority (stable; empty slots last).
    void SortChildren();
    /// Moves every child reference out of this widget (destruction without recursion).
    virtual void TakeChildren(Array<Obj<Widget>>& out);
    /// Releases `doomed`, handing the children of widgets that die with it to the list first.
    static void ReleaseTree(Array<Obj<Widget>>& doomed);

    WidgetLayout m_Layout;
    Array<Obj<Widget>> m_WidgetArray;
    Obj<WeakObjTarget> m_Parent;
    Obj<WeakObjTarget> m_UserWeakObject;
    // The last click and key: which and when, for double clicks.
    uint32_t m_LastClickEvent = 0;
    uint32_t m_LastClickTime = 0;
    uint32_t m_LastKeyCode = 0;
    uint32_t m_LastKeyTime = 0;
};

/// A widget with a title, a menu and a status area: title on top, menu below it, status at the
/// bottom, each as high as the widget it holds.
class QUORLIX_API WFrame : public Widget {
public:
    enum Area { TitleArea, MenuArea, StatusArea };

    static WFrame* Create();
    static const TypeInfo* GetWFrameTypeInfo() noexcept;
    WFrame() noexcept = default;
    ~WFrame() override;

    /// The widget of an area; null when none.
    Widget* GetAreaWidget(Area area) const noexcept { return m_Slot[area].Get(); }
    /// Stores the widget of an area with the rules of SetWidget.
    void SetAreaWidget(Area area, ScriptObject* w);
    template <Area A>
    ScriptObject* GetAreaObject() const noexcept {
        return ObjectOrNil(m_Slot[A].Get());
    }
    template <Area A>
    void SetAreaObject(ScriptObject* w) {
        SetAreaWidget(A, w);
    }
    const WidgetLayout& GetAreaLayout(Area area) const noexcept { return m_Area[area]; }

    void UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) override;
    void ForEachChild(void (*visit)(Widget& child, void* context), void* context) override;

    int32_t m_FocusLevel = 0;

protected:
    void TakeChildren(Array<Obj<Widget>>& out) override;

private:
    Obj<Widget> m_Slot[3];
    WidgetLayout m_Area[3];
};

/// Shows (lays out, draws, hit-tests) only TabWidgetArray[TabSelect] besides its WidgetArray.
class QUORLIX_API WTabFrame : public Widget {
public:
    static WTabFrame* Create();
    static const TypeInfo* GetWTabFrameTypeInfo() noexcept;
    WTabFrame() noexcept = default;
    ~WTabFrame() override;

    int TabCount() const noexcept { return m_TabWidgetArray.Size(); }
    Widget* GetTab(int i) const noexcept {
        return i >= 0 && i < m_TabWidgetArray.Size() ? m_TabWidgetArray[i].Get() : nullptr;
    }
    /// As SetWidget, for the tab array.
    void SetTab(int i, ScriptObject* tab);
    void ResizeTab(int count);
    ScriptObject* GetTabObject(int i) const noexcept { return ObjectOrNil(GetTab(i)); }
    /// The selected tab; null when TabSelect is outside the array or the slot is empty.
    Widget* GetSelectedTab() const noexcept { return GetTab(m_TabSelect); }

    void UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) override;
    void ForEachChild(void (*visit)(Widget& child, void* context), void* context) override;
    void ForEachHeldChild(void (*visit)(Widget& child, void* context), void* context) override;

    int32_t m_TabSelect = 0;

protected:
    void TakeChildren(Array<Obj<Widget>>& out) override;

private:
    Array<Obj<Widget>> m_TabWidgetArray;
};

/// One line of text in a font style.
class QUORLIX_API WLabel : public Widget {
public:
    static WLabel* Create();
    static const TypeInfo* GetWLabelTypeInfo() noexcept;
    WLabel() noexcept = default;
    ~WLabel() override;

    /// The text's extent: its width in the font style's glyph cells by FontSize.
    Vector3f GetContentSize() override;
    void Paint(WidgetPainter& painter) override;

    String m_Text;
    Obj<FontStyle> m_FontStyle;
    Vector4f m_FontColor{1, 1, 1, 1};
};

/// A frame that shows an image: ImageShader in ImageColor, or tile TileSelect of its
/// TileCollection.
class QUORLIX_API WImage : public WFrame {
public:
    static WImage* Create();
    static const TypeInfo* GetWImageTypeInfo() noexcept;
    WImage() noexcept = default;
    ~WImage() override;

    void Paint(WidgetPainter& painter) override;

    Obj<ScriptObject> m_ImageShader;
    Vector4f m_ImageColor{1, 1, 1, 1};
    int32_t m_TileSelect = 0;
    Obj<TileCollection> m_TileCollection;
};

/// An editable line of text: typed characters go in at the cursor, at most MaxLength bytes
/// (65,535 when MaxLength is 0 or less).
class QUORLIX_API WText : public Widget {
public:
    static constexpr int32_t k_DefaultMaxLength = 65535;

    static WText* Create();
    static const TypeInfo* GetWTextTypeInfo() noexcept;
    WText() noexcept = default;
    ~WText() override;

    Vector3f GetContentSize() override;
    void Paint(WidgetPainter& painter) override;
    /// Edits on KeyboardPressKey.
    void OnEvent(uint32_t event, WInputRecord& record) override;

    /// Applies one key: a Windows-1252 character (32..255 but 127) goes in at the cursor,
    /// 8 deletes before it, "DEL" at it, "CSLF"/"CSRT"/"HOME"/"END" move it.
    void EditKey(uint32_t code);
    int GetCursor() const noexcept { return m_Cursor; }
    int32_t GetEffectiveMaxLength() const noexcept {
        return m_MaxLength > 0 ? m_MaxLength : k_DefaultMaxLength;
    }

    String m_Text;
    Obj<FontStyle> m_FontStyle;
    Vector4f m_FontColor{1, 1, 1, 1};
    int32_t m_MaxLength = 0;

private:
    int m_Cursor = -1; // -1: at the end
};

/// A container that scales (about ScalingPivot) and rotates (degrees in RotationOrder, about
/// RotationPivot) its content before its translation.
class QUORLIX_API WTransform : public Widget {
public:
    static WTransform* Create();
    static const TypeInfo* GetWTransformTypeInfo() noexcept;
    WTransform() noexcept = default;
    ~WTransform() override;

    Vector3f m_Rotation{0, 0, 0};
    Eulerf::RotationOrder m_RotationOrder = Eulerf::XYZ;
    Vector3f m_RotationPivot{0, 0, 0};
    Vector3f m_Scaling{1, 1, 1};
    Vector3f m_ScalingPivot{0, 0, 0};

protected:
    void ComputeMatrix(const Matrix4f& parent) override;
};

/// A placeholder for a render channel: draws nothing; after layout Viewport holds its rectangle
/// as fractions of the window (x, y, width, height; y down).
class QUORLIX_API WChannel : public Widget {
public:
    static WChannel* Create();
    static const TypeInfo* GetWChannelTypeInfo() noexcept;
    WChannel() noexcept = default;
    ~WChannel() override;

    void UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) override;
    /// Nothing: the host renders a channel there.
    void Paint(WidgetPainter& painter) override;

    Vector4f m_Viewport{0, 0, 1, 1};
};

} // namespace Quorlix
