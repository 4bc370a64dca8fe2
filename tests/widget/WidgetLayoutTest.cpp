// Layout of widget trees: the axis rule, containers and their areas, child order, transforms,
// channels, and trees built wrongly (cycles, depth, values that are not finite).

#include "WidgetTestSupport.h"

#include "support/LogCapture.h"

#include <cmath>
#include <limits>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class WidgetLayoutTest : public WidgetSuite {
protected:
    // A window of the given resolution holding `root`, laid out.
    Obj<TWindow> LaidOut(Widget* root, Vector3f resolution = Vector3f(800, 600, 0)) {
        Obj<TWindow> window = TWindow::Create();
        window->m_VirtualResolution = resolution;
        window->SetRootWidget(root);
        window->Layout();
        return window;
    }
};

// Window-space point of a widget's local point (x, y).
Vector2f ToWindow(const Widget& w, float x, float y) {
    const Matrix4f& m = w.GetLayout().m_Matrix;
    return Vector2f(x * m.Get(0, 0) + y * m.Get(1, 0) + m.Get(3, 0),
                    x * m.Get(0, 1) + y * m.Get(1, 1) + m.Get(3, 1));
}

void ExpectPoint(const Vector2f& got, float x, float y) {
    EXPECT_NEAR(got.GetX(), x, 1e-3f);
    EXPECT_NEAR(got.GetY(), y, 1e-3f);
}

TEST_F(WidgetLayoutTest, AxisRuleAlignsAndResizesAgainstTheParent) {
    struct Case {
        WidgetAlignmentMode m_Align;
        WidgetResizeMode m_Resize;
        float m_Position, m_Dimension;
        float m_X, m_Width; // computed
    };
    // The parent is 800 wide.
    const Case cases[] = {
        {AlignCenter, ResizePercent, 0, 0.5f, 200, 400},
        {AlignMax, ResizeExact, -10, 100, 690, 100},
        {AlignMin, ResizeExact, 15, 100, 15, 100},
        {AlignBlock, ResizeExact, 15, 100, 15, 100},
        {AlignCenter, ResizeExact, 5, 100, 355, 100},
        {AlignMax, ResizePercent, 0, 0.25f, 600, 200},
        {AlignMin, ResizeMinimum, 0, 100, 0, 100}, // nothing to grow to: Dimension stands
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.m_Align << "/" << c.m_Resize);
        Obj<Widget> parent = MakeWidget("parent", Vector3f(0, 0, 0), Vector3f(800, 600, 0));
        Obj<Widget> child = MakeWidget("child", Vector3f(c.m_Position, 0, 0),
                                       Vector3f(c.m_Dimension, 50, 0), c.m_Align);
        child->SetResizeMode<0>(c.m_Resize);
        parent->SetWidget(0, child.Get());
        LaidOut(parent.Get());
        EXPECT_FLOAT_EQ(child->GetLayout().m_ComputedPosition[0], c.m_X);
        EXPECT_FLOAT_EQ(child->GetLayout().m_ComputedDimension[0], c.m_Width);
        const float y = c.m_Align == AlignCenter ? 275.0f : c.m_Align == AlignMax ? 550.0f : 0.0f;
        ExpectPoint(ToWindow(*child, 0, 0), c.m_X, y);
    }
}

TEST_F(WidgetLayoutTest, NestedContainersComposeAndHiddenOnesAreSkipped) {
    // The root against the virtual resolution, centred; a panel inside it; a button inside that.
    Obj<Widget> root = MakeWidget("root", Vector3f(0, 0, 0), Vector3f(400, 300, 0), AlignCenter);
    Obj<Widget> panel = MakeWidget("panel", Vector3f(10, 20, 0), Vector3f(100, 100, 0));
    Obj<Widget> button = MakeWidget("button", Vector3f(0, -5, 0), Vector3f(40, 10, 0), AlignMax);
    root->SetWidget(0, panel.Get());
    panel->SetWidget(0, button.Get());
    LaidOut(root.Get());
    ExpectPoint(ToWindow(*root, 0, 0), 200, 150);
    ExpectPoint(ToWindow(*panel, 0, 0), 210, 170);
    ExpectPoint(ToWindow(*button, 0, 0), 270, 255);

    // A hidden container lays out nothing below it: the button keeps its old matrix.
    panel->SetVisibility(0);
    button->SetPosition(Vector3f(-20, -5, 0));
    LaidOut(root.Get());
    ExpectPoint(ToWindow(*button, 0, 0), 270, 255);
    panel->SetVisibility(1);
    LaidOut(root.Get());
    ExpectPoint(ToWindow(*button, 0, 0), 250, 255);
}

TEST_F(WidgetLayoutTest, ChildrenSortByPriorityStablyWithEmptySlotsLast) {
    Obj<Widget> parent = Widget::Create();
    Obj<Widget> a = MakeWidget("a", {}, {}), b = MakeWidget("b", {}, {}),
                c = MakeWidget("c", {}, {}), d = MakeWidget("d", {}, {});
    a->m_ChildPriority = 5;
    c->m_ChildPriority = 1;
    d->m_ChildPriority = 5; // ties keep their order: a before d
    parent->SetWidget(0, a.Get());
    parent->SetWidget(2, c.Get()); // slot 1 stays empty
    parent->SetWidget(3, d.Get());
    parent->SetWidget(4, b.Get()); // priority 0
    LaidOut(parent.Get());
    ASSERT_EQ(parent->WidgetCount(), 5);
    const Widget* expected[] = {b.Get(), c.Get(), a.Get(), d.Get(), nullptr};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(parent->GetWidget(i), expected[i]) << i;

    // The Part's case: 5, nil, 1 gives 1, 5, nil.
    Obj<Widget> other = Widget::Create();
    other->SetWidget(0, a.Get());
    other->SetWidget(2, c.Get());
    LaidOut(other.Get());
    EXPECT_EQ(other->GetWidget(0), c.Get());
    EXPECT_EQ(other->GetWidget(1), a.Get());
    EXPECT_EQ(other->GetWidget(2), nullptr);
}

TEST_F(WidgetLayoutTest, TransformScalesThenRotatesAboutItsPivots) {
    Obj<WTransform> turn =
        MakeWidget<WTransform>("turn", Vector3f(100, 50, 0), Vector3f(200, 100, 0));
    turn->m_Rotation = Vector3f(0, 0, 90);
    turn->m_RotationPivot = Vector3f(10, 0, 0);
    turn->m_Scaling = Vector3f(2, 2, 1);
    turn->m_ScalingPivot = Vector3f(0, 10, 0);
    Obj<Widget> inside = MakeWidget("inside", Vector3f(4, 0, 0), Vector3f(10, 10, 0));
    turn->SetWidget(0, inside.Get());
    LaidOut(turn.Get());
    // p -> scale about (0, 10): (2x, 2y - 10) -> rotate 90 degrees about (10, 0):
    // (x', y') = (10 - y, x - 10) for row vectors turning +x to +y -> translate (100, 50).
    const auto expect = [](float x, float y) {
        const float sx = 2 * x, sy = 2 * y - 10;
        const float rx = 10 - sy, ry = sx - 10;
        return Vector2f(rx + 100, ry + 50);
    };
    const Vector2f origin = expect(0, 0), corner = expect(5, 3);
    ExpectPoint(ToWindow(*turn, 0, 0), origin.GetX(), origin.GetY());
    ExpectPoint(ToWindow(*turn, 5, 3), corner.GetX(), corner.GetY());
    const Vector2f child = expect(4, 0);
    ExpectPoint(ToWindow(*inside, 0, 0), child.GetX(), child.GetY());
    // The inverse takes window points back: the child's corner is inside it, its outside not.
    const Vector2f in = expect(4 + 9, 9), out = expect(4 + 11, 5);
    EXPECT_TRUE(inside->GetLayout().Contains(in));
    EXPECT_FALSE(inside->GetLayout().Contains(out));
}

TEST_F(WidgetLayoutTest, FrameAreasTabsAndChannels) {
    Obj<WFrame> frame = MakeWidget<WFrame>("frame", Vector3f(0, 0, 0), Vector3f(400, 300, 0));
    Obj<Widget> title = MakeWidget("title", Vector3f(0, 0, 0), Vector3f(1, 20, 0));
    title->SetResizeMode<0>(ResizePercent);
    Obj<Widget> menu = MakeWidget("menu", Vector3f(5, 2, 0), Vector3f(100, 16, 0));
    Obj<Widget> status = MakeWidget("status", Vector3f(0, 0, 0), Vector3f(50, 12, 0), AlignMax);
    frame->SetAreaWidget(WFrame::TitleArea, title.Get());
    frame->SetAreaWidget(WFrame::MenuArea, menu.Get());
    frame->SetAreaWidget(WFrame::StatusArea, status.Get());
    LaidOut(frame.Get());
    EXPECT_EQ(title->GetLayout().m_ComputedDimension[0], 400);
    ExpectPoint(ToWindow(*title, 0, 0), 0, 0);
    ExpectPoint(ToWindow(*menu, 0, 0), 5, 22);
    ExpectPoint(ToWindow(*status, 0, 0), 350, 288);
    EXPECT_EQ(frame->GetAreaLayout(WFrame::MenuArea).m_ComputedDimension[1], 16);
    EXPECT_EQ(status->GetParent(), frame.Get());

    // A tab frame lays out only the selected tab; a channel reports its window fractions.
    Obj<WTabFrame> tabs = MakeWidget<WTabFrame>("tabs", Vector3f(0, 0, 0), Vector3f(800, 600, 0));
    Obj<WChannel> first =
        MakeWidget<WChannel>("first", Vector3f(200, 150, 0), Vector3f(400, 300, 0));
    Obj<WChannel> second = MakeWidget<WChannel>("second", Vector3f(0, 0, 0), Vector3f(80, 60, 0));
    tabs->SetTab(0, first.Get());
    tabs->SetTab(1, second.Get());
    tabs->m_TabSelect = 0;
    LaidOut(tabs.Get());
    EXPECT_EQ(first->m_Viewport, Vector4f(0.25f, 0.25f, 0.5f, 0.5f));
    EXPECT_EQ(second->m_Viewport, Vector4f(0, 0, 1, 1)); // not laid out: the default stands
    for (int select : {-1, 2, 1 << 30}) {
        tabs->m_TabSelect = select;
        EXPECT_EQ(tabs->GetSelectedTab(), nullptr);
        LaidOut(tabs.Get());
    }
    tabs->m_TabSelect = 1;
    LaidOut(tabs.Get());
    EXPECT_EQ(second->m_Viewport, Vector4f(0, 0, 0.1f, 0.1f));
}

TEST_F(WidgetLayoutTest, NonFiniteValuesLayOutAsZeroAndAZeroResolutionLaysOutNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Obj<Widget> root = MakeWidget("root", Vector3f(0, 0, 0), Vector3f(800, 600, 0));
    Obj<Widget> a = MakeWidget("a", Vector3f(nan, 1e30f, 0), Vector3f(nan, inf, 0), AlignCenter);
    Obj<Widget> b = MakeWidget("b", Vector3f(0, 0, 0), Vector3f(1e37f, nan, 0));
    b->SetResizeMode<0>(ResizePercent);
    root->SetWidget(0, a.Get());
    root->SetWidget(1, b.Get());
    LaidOut(root.Get());
    const WidgetLayout& la = a->GetLayout();
    EXPECT_EQ(la.m_ComputedDimension, Vector3f(0, 0, 0));
    EXPECT_EQ(la.m_ComputedPosition[0], 0);              // NaN position
    EXPECT_EQ(la.m_ComputedPosition[1], 1e30f + 300);    // finite, if far away
    EXPECT_EQ(b->GetLayout().m_ComputedDimension[0], 0); // 800 * 1e37 overflows
    EXPECT_EQ(b->GetLayout().m_ComputedDimension[1], 0);

    // A zero or NaN resolution leaves every matrix as it was.
    Obj<Widget> lone = MakeWidget("lone", Vector3f(7, 7, 0), Vector3f(1, 1, 0));
    for (Vector3f resolution : {Vector3f(0, 600, 0), Vector3f(800, nan, 0)}) {
        Obj<TWindow> window = LaidOut(lone.Get(), resolution);
        EXPECT_TRUE(window->IsEmpty());
        EXPECT_EQ(lone->GetLayout().m_Matrix, Matrix4f::Identity);
    }
}

TEST_F(WidgetLayoutTest, StoringAWidgetIntoItsOwnSubtreeIsRefused) {
    Obj<Widget> a = MakeWidget("a", {}, {}), b = MakeWidget("b", {}, {}),
                c = MakeWidget("c", {}, {});
    Obj<WFrame> frame = MakeWidget<WFrame>("frame", {}, {});
    Obj<WTabFrame> tabs = MakeWidget<WTabFrame>("tabs", {}, {});
    a->SetWidget(0, b.Get());
    b->SetWidget(0, c.Get());
    c->SetWidget(0, frame.Get());
    frame->SetAreaWidget(WFrame::MenuArea, tabs.Get());
    {
        LogCapture log;
        a->SetWidget(1, a.Get());                         // itself
        c->SetWidget(1, a.Get());                         // an ancestor through arrays
        tabs->SetTab(3, b.Get());                         // through a frame's slot
        frame->SetAreaWidget(WFrame::TitleArea, a.Get()); // into a slot
        EXPECT_EQ(log.Messages().size(), 4u);
        EXPECT_EQ(log.Messages()[0], "[Error]Widget::SetWidget: \"a\" holds \"a\" in its "
                                     "subtree; storing it would make a cycle, ignored.");
        EXPECT_EQ(log.Messages()[2], "[Error]WTabFrame::SetTab: \"b\" holds \"tabs\" in its "
                                     "subtree; storing it would make a cycle, ignored.");
    }
    // Nothing changed, not even the arrays' sizes.
    EXPECT_EQ(a->WidgetCount(), 1);
    EXPECT_EQ(c->WidgetCount(), 1);
    EXPECT_EQ(tabs->TabCount(), 0);
    EXPECT_EQ(frame->GetAreaWidget(WFrame::TitleArea), nullptr);
    EXPECT_EQ(a->GetParent(), nullptr);

    // A tab that is not selected is searched too: a cycle through it would show (and never
    // die) once it is selected.
    Obj<WTabFrame> hidden = MakeWidget<WTabFrame>("hidden", {}, {});
    Obj<Widget> page = MakeWidget("page", {}, {});
    hidden->SetTab(1, page.Get()); // TabSelect 0: not shown
    {
        LogCapture log;
        page->SetWidget(0, hidden.Get());
        EXPECT_EQ(log.Messages().size(), 1u);
        EXPECT_EQ(page->WidgetCount(), 0);
    }

    // A widget shared by two containers is found through either: storing the second
    // container below it is refused too, though its Parent names only the first.
    Obj<Widget> other = MakeWidget("other", {}, {});
    other->SetWidget(0, c.Get()); // c now has Parent "other", and still sits in b
    LogCapture log;
    c->SetWidget(1, b.Get());
    EXPECT_EQ(log.Messages().size(), 1u);
}

TEST_F(WidgetLayoutTest, ReplacingASlotClearsParentOnlyWhereItNamesTheContainer) {
    Obj<Widget> first = Widget::Create(), second = Widget::Create();
    Obj<Widget> shared = Widget::Create(), next = Widget::Create();
    first->SetWidget(0, shared.Get());
    second->SetWidget(0, shared.Get()); // Parent: second
    first->SetWidget(0, next.Get());    // first's slot replaced: the Parent stays second
    EXPECT_EQ(shared->GetParent(), second.Get());
    second->SetWidget(0, nullptr);
    EXPECT_EQ(shared->GetParent(), nullptr);

    // Shrinking the array and replacing a frame's slot follow the same rule.
    Obj<WFrame> frame = WFrame::Create();
    first->SetWidget(3, shared.Get());
    frame->SetAreaWidget(WFrame::StatusArea, shared.Get());
    first->ResizeWidget(1);
    EXPECT_EQ(shared->GetParent(), frame.Get());
    frame->SetAreaWidget(WFrame::StatusArea, next.Get());
    EXPECT_EQ(shared->GetParent(), nullptr);
    EXPECT_EQ(next->GetParent(), frame.Get());

    // Out-of-range indexes are refused.
    LogCapture log;
    first->SetWidget(-1, shared.Get());
    first->SetWidget(first->WidgetCount() + 65537, shared.Get());
    first->ResizeWidget(-2);
    EXPECT_EQ(log.Messages().size(), 3u);
    EXPECT_EQ(first->WidgetCount(), 1);
}

TEST_F(WidgetLayoutTest, DeepTreesStopAtTheDepthLimitAndDieWithoutRecursion) {
    // 100,000 levels, built top-down and bottom-up.
    Obj<Widget> root = MakeWidget("root", Vector3f(0, 0, 0), Vector3f(10, 10, 0));
    Widget* leaf = root.Get();
    for (int i = 0; i < 100000; ++i) {
        Obj<Widget> w = MakeWidget("w", Vector3f(1, 0, 0), Vector3f(10, 10, 0));
        leaf->SetWidget(0, w.Get());
        leaf = w.Get();
    }
    Obj<Widget> bottom = MakeWidget("bottom", {}, {});
    for (int i = 0; i < 100000; ++i) {
        Obj<Widget> w = Widget::Create();
        w->SetWidget(0, bottom.Get());
        bottom = w;
    }
    LogCapture log;
    Obj<TWindow> window = TWindow::Create();
    window->SetName("deep");
    window->SetRootWidget(root.Get());
    window->Layout();
    window->Layout(); // logged once per window
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0], "[Error]TWindow: \"deep\": widget tree deeper than 256 levels "
                                 "or larger than 1048576 visits; the rest is skipped.");
    // Level 255 was laid out (its x is 255), the level below it was not.
    Widget* w = root.Get();
    for (int i = 0; i < 255; ++i)
        w = w->GetWidget(0);
    ExpectPoint(ToWindow(*w, 0, 0), 255, 0);
    EXPECT_EQ(w->GetWidget(0)->GetLayout().m_Matrix, Matrix4f::Identity);

    // A cycle deeper than the store check reaches is caught by the depth limit.
    Obj<TWindow> looped = TWindow::Create();
    Widget* deep = root.Get();
    for (int i = 0; i < 300; ++i)
        deep = deep->GetWidget(0);
    deep->ResizeWidget(0);
    deep->SetWidget(0, root.Get());
    EXPECT_EQ(deep->GetWidget(0), root.Get());
    looped->SetRootWidget(root.Get());
    looped->Layout();
    EXPECT_EQ(log.Messages().size(), 2u);
    deep->ResizeWidget(0); // break the cycle, or the tree would never die
}

TEST_F(WidgetLayoutTest, SharedSubtreesCannotBlowUpTheWalk) {
    // Each level holds the next twice: 2^40 paths to the bottom, 40 widgets.
    Obj<Widget> top = Widget::Create();
    Widget* level = top.Get();
    for (int i = 0; i < 40; ++i) {
        Obj<Widget> next = MakeWidget("n", {}, Vector3f(1, 1, 0));
        level->SetWidget(0, next.Get());
        level->SetWidget(1, next.Get());
        level = next.Get();
    }
    LogCapture log;
    Obj<TWindow> window = LaidOut(top.Get());
    EXPECT_EQ(log.Messages().size(), 1u);
}

} // namespace
