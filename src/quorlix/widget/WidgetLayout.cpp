// Layout: every widget is placed against its parent's computed dimension, axis by axis, and
// gets a matrix from its own space to the window's virtual space.

#include "quorlix/math/Scalar.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetStyle.h"
#include "quorlix/widget/internal/WidgetText.h"
#include "quorlix/widget/internal/WidgetWalk.h"

#include <cmath>

namespace Quorlix {

namespace {

float Finite(float v) noexcept {
    return std::isfinite(v) ? v : 0.0f;
}

Matrix4f Translation(const Vector3f& t) {
    Matrix4f m;
    m.MakeTranslation(t);
    return m;
}

} // namespace

void WidgetLayout::Place(const Vector3f& parent) noexcept {
    for (int a = 0; a < 3; ++a) {
        float d = m_ComputedDimension[a];
        if (m_Resize[a] == ResizePercent)
            d = parent[a] * m_Dimension[a];
        d = Finite(d);
        float p = m_Position[a];
        if (m_Alignment[a] == AlignCenter)
            p += (parent[a] - d) * 0.5f;
        else if (m_Alignment[a] == AlignMax)
            p += parent[a] - d;
        m_ComputedDimension[a] = d;
        m_ComputedPosition[a] = Finite(p);
    }
}

const Matrix4f& WidgetLayout::GetInverse() noexcept {
    if (!m_InverseValid) {
        if (!m_Inverse.AssignInvertAffine(m_Matrix))
            m_Inverse = Matrix4f::Identity;
        m_InverseValid = true;
    }
    return m_Inverse;
}

bool WidgetLayout::Contains(const Vector2f& p) noexcept {
    const Matrix4f& m = GetInverse();
    const float x = p.GetX() * m.Get(0, 0) + p.GetY() * m.Get(1, 0) + m.Get(3, 0);
    const float y = p.GetX() * m.Get(0, 1) + p.GetY() * m.Get(1, 1) + m.Get(3, 1);
    return x >= 0.0f && x < m_ComputedDimension[0] && y >= 0.0f && y < m_ComputedDimension[1];
}

void WidgetLayout::ResetSubtreeBox() noexcept {
    const Matrix4f& m = m_Matrix;
    const float w = m_ComputedDimension[0], h = m_ComputedDimension[1];
    for (int c = 0; c < 2; ++c) {
        // The extremes of the four corners: the origin plus each axis's part where it helps.
        const float o = m.Get(3, c), ax = w * m.Get(0, c), ay = h * m.Get(1, c);
        m_SubtreeBox[c] = o + (ax < 0.0f ? ax : 0.0f) + (ay < 0.0f ? ay : 0.0f);
        m_SubtreeBox[c + 2] = o + (ax > 0.0f ? ax : 0.0f) + (ay > 0.0f ? ay : 0.0f);
    }
}

void WidgetLayout::GrowSubtreeBox(const WidgetLayout& below) noexcept {
    for (int c = 0; c < 2; ++c) {
        if (below.m_SubtreeBox[c] < m_SubtreeBox[c])
            m_SubtreeBox[c] = below.m_SubtreeBox[c];
        if (below.m_SubtreeBox[c + 2] > m_SubtreeBox[c + 2])
            m_SubtreeBox[c + 2] = below.m_SubtreeBox[c + 2];
    }
}

void Widget::QueryLayout() {
    m_Layout.m_ComputedDimension = m_Layout.m_Dimension;
    bool grows = false;
    for (WidgetResizeMode mode : m_Layout.m_Resize)
        grows = grows || mode == ResizeMinimum;
    if (!grows)
        return;
    const Vector3f content = GetContentSize();
    for (int a = 0; a < 3; ++a) {
        if (m_Layout.m_Resize[a] == ResizeMinimum &&
            !(m_Layout.m_ComputedDimension[a] >= content[a]))
            m_Layout.m_ComputedDimension[a] = content[a];
    }
}

void Widget::ComputeMatrix(const Matrix4f& parent) {
    // The translation by the computed position times the parent, without the full product: the
    // parent's axes, and its origin moved along them.
    const float* p = parent.GetData();
    const Vector3f& t = m_Layout.m_ComputedPosition;
    float m[16];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m[4 * r + c] = p[4 * r + c];
        m[4 * r + 3] = 0.0f;
    }
    for (int c = 0; c < 3; ++c)
        m[12 + c] = t[0] * p[c] + t[1] * p[4 + c] + t[2] * p[8 + c] + p[12 + c];
    m[15] = 1.0f;
    m_Layout.m_Matrix.Set(m);
    m_Layout.m_InverseValid = false;
}

void Widget::LayoutChild(WidgetWalk& walk, Widget& child, const Vector3f& dimension,
                         const Matrix4f& matrix) {
    if (!walk.Enter())
        return;
    child.QueryLayout();
    child.m_Layout.Place(dimension);
    child.UpdateLayout(walk, matrix);
    if (child.m_Layout.m_Visibility != 0)
        m_Layout.GrowSubtreeBox(child.m_Layout);
    walk.Leave();
}

void Widget::UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) {
    if (m_Layout.m_Visibility == 0)
        return;
    ComputeMatrix(parent);
    m_Layout.ResetSubtreeBox();
    if (m_WidgetArray.IsEmpty())
        return; // most widgets: no snapshot, whose counting is atomic
    SortChildren();
    // A handler cannot run during layout, but a child's layout query is virtual: walk a
    // snapshot of the array all the same.
    const Array<Obj<Widget>> children = m_WidgetArray;
    for (const Obj<Widget>& child : children) {
        if (child)
            LayoutChild(walk, *child, m_Layout.m_ComputedDimension, m_Layout.m_Matrix);
    }
}

void WFrame::UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) {
    Widget::UpdateLayout(walk, parent);
    if (m_Layout.m_Visibility == 0)
        return;
    // Each area is as wide as the frame and as high as its widget (sized against the frame):
    // title at the top, menu below it, status at the bottom.
    const Vector3f& size = m_Layout.m_ComputedDimension;
    float top = 0.0f;
    for (int area = TitleArea; area <= StatusArea; ++area) {
        WidgetLayout& block = m_Area[area];
        Widget* widget = m_Slot[area].Get();
        float height = 0.0f;
        if (widget != nullptr && widget->GetLayout().m_Visibility != 0) {
            widget->QueryLayout();
            widget->GetLayout().Place(size);
            height = widget->GetLayout().m_ComputedDimension[1];
        }
        const float y = area == StatusArea ? size[1] - height : top;
        if (area != StatusArea)
            top += height;
        block.m_ComputedPosition = Vector3f(0, Finite(y), 0);
        block.m_ComputedDimension = Vector3f(size[0], Finite(height), size[2]);
        block.m_Matrix.AssignMulAffine(Translation(block.m_ComputedPosition), m_Layout.m_Matrix);
        block.m_InverseValid = false;
        if (widget == nullptr || widget->GetLayout().m_Visibility == 0 || !walk.Enter())
            continue;
        // Placed against the frame above; in y the area holds it at its own Position.
        widget->GetLayout().m_ComputedPosition[1] = Finite(widget->GetLayout().m_Position[1]);
        widget->UpdateLayout(walk, block.m_Matrix);
        m_Layout.GrowSubtreeBox(widget->GetLayout());
        walk.Leave();
    }
}

void WTabFrame::UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) {
    Widget::UpdateLayout(walk, parent);
    if (m_Layout.m_Visibility == 0)
        return;
    if (Widget* tab = GetSelectedTab()) {
        Obj<Widget> hold(tab);
        LayoutChild(walk, *tab, m_Layout.m_ComputedDimension, m_Layout.m_Matrix);
    }
}

void WTransform::ComputeMatrix(const Matrix4f& parent) {
    // Scale about the scaling pivot, rotate about the rotation pivot, then translate.
    Matrix4f m = Translation(-1.0f * m_ScalingPivot);
    Matrix4f step;
    Vector3f scaling(Finite(m_Scaling[0]), Finite(m_Scaling[1]), Finite(m_Scaling[2]));
    step.MakeScaling(scaling);
    m.MulAffine(step);
    m.MulAffine(Translation(m_ScalingPivot - m_RotationPivot));
    const float toRadians = k_Pi / 180.0f;
    step.MakeRotation(Vector3f(Finite(m_Rotation[0]) * toRadians, Finite(m_Rotation[1]) * toRadians,
                               Finite(m_Rotation[2]) * toRadians),
                      m_RotationOrder);
    m.MulAffine(step);
    m.MulAffine(Translation(m_RotationPivot + m_Layout.m_ComputedPosition));
    m_Layout.m_Matrix.AssignMulAffine(m, parent);
    m_Layout.m_InverseValid = false;
}

void WChannel::UpdateLayout(WidgetWalk& walk, const Matrix4f& parent) {
    Widget::UpdateLayout(walk, parent);
    if (m_Layout.m_Visibility == 0)
        return;
    // The rectangle's window-space corner and extent (scaling and rotation of transforms
    // above are taken as the bounding box of the two corners).
    const Matrix4f& m = m_Layout.m_Matrix;
    const Vector3f& d = m_Layout.m_ComputedDimension;
    const auto at = [&](float x, float y, int c) {
        return x * m.Get(0, c) + y * m.Get(1, c) + m.Get(3, c);
    };
    const float x0 = at(0, 0, 0), y0 = at(0, 0, 1);
    const float x1 = at(d[0], d[1], 0), y1 = at(d[0], d[1], 1);
    const Vector3f& r = walk.m_Resolution;
    if (!(r[0] > 0.0f) || !(r[1] > 0.0f))
        return;
    m_Viewport = Vector4f(Finite(std::fmin(x0, x1) / r[0]), Finite(std::fmin(y0, y1) / r[1]),
                          Finite(std::fabs(x1 - x0) / r[0]), Finite(std::fabs(y1 - y0) / r[1]));
}

Vector3f WLabel::GetContentSize() {
    const Vector2f size = MeasureText(m_FontStyle.Get(), m_Text);
    return Vector3f(size.GetX(), size.GetY(), 0);
}

Vector3f WText::GetContentSize() {
    const Vector2f size = MeasureText(m_FontStyle.Get(), m_Text);
    return Vector3f(size.GetX(), size.GetY(), 0);
}

} // namespace Quorlix
