// Drawing: every visible window the frame collects draws its laid-out tree over the scene,
// each widget as quads in window space through its styles' render shaders.

#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetClassIndex.h"
#include "quorlix/widget/WidgetStyle.h"
#include "quorlix/widget/internal/WidgetPainter.h"
#include "quorlix/widget/internal/WidgetText.h"
#include "quorlix/widget/internal/WidgetWalk.h"

#include <cmath>

namespace Quorlix {

namespace {

RenderShader* AsShader(ScriptObject* object) noexcept {
    return object != nullptr && !object->IsNil() && object->IsA(BuiltinTypeID(k_ClassRenderShader))
               ? static_cast<RenderShader*>(object)
               : nullptr;
}

TileTexture2D* TileTextureOf(ScriptObject* shader) noexcept {
    Texture* texture = TextureOfShader(shader);
    return texture != nullptr && texture->IsA(BuiltinTypeID(k_ClassTileTexture2D))
               ? static_cast<TileTexture2D*>(texture)
               : nullptr;
}

float Finite(float v) noexcept {
    return std::isfinite(v) ? v : 0.0f;
}

// The paint walk: parents before children, hidden subtrees skipped.
struct PaintWalk {
    WidgetWalk m_Walk;
    WidgetPainter* m_Painter;

    static void Visit(Widget& w, void* context) {
        auto& p = *static_cast<PaintWalk*>(context);
        if (w.GetVisibility() == 0 || !p.m_Walk.Enter())
            return;
        w.Paint(*p.m_Painter);
        w.ForEachChild(&Visit, context);
        p.m_Walk.Leave();
    }
};

} // namespace

// --- The painter ----------------------------------------------------------------------------

void WidgetPainter::Begin(RenderEngine& engine, bool windowHasInput) {
    m_Engine = &engine;
    m_Shader = nullptr;
    m_WindowHasInput = windowHasInput;
    m_Vertices.clear();
}

void WidgetPainter::End() {
    Flush();
    m_Engine = nullptr;
}

void WidgetPainter::Flush() {
    if (m_Engine != nullptr && !m_Vertices.empty())
        m_Engine->DrawOverlayQuads(m_Shader, m_Vertices.data(),
                                   static_cast<int>(m_Vertices.size() / 4));
    m_Vertices.clear();
}

void WidgetPainter::Quad(ScriptObject* shaderObject, const Matrix4f& m, float x0, float y0,
                         float x1, float y1, const UV& uv, const Vector4f& color) {
    if (m_Engine == nullptr || !(color.GetW() > 0.0f))
        return;
    RenderShader* shader = AsShader(shaderObject);
    if (shader != m_Shader) {
        Flush();
        m_Shader = shader;
    }
    const float corners[4][4] = {{x0, y0, uv.m_U0, uv.m_V0},
                                 {x1, y0, uv.m_U1, uv.m_V0},
                                 {x1, y1, uv.m_U1, uv.m_V1},
                                 {x0, y1, uv.m_U0, uv.m_V1}};
    for (const auto& c : corners) {
        OverlayVertex& v = m_Vertices.emplace_back();
        v.m_X = Finite(c[0] * m.Get(0, 0) + c[1] * m.Get(1, 0) + m.Get(3, 0));
        v.m_Y = Finite(c[0] * m.Get(0, 1) + c[1] * m.Get(1, 1) + m.Get(3, 1));
        v.m_U = c[2];
        v.m_V = c[3];
        for (int i = 0; i < 4; ++i)
            v.m_Color[i] = color[i];
    }
}

bool WidgetPainter::TileUV(const TileTexture2D& texture, int tile, UV& uv) noexcept {
    const Array<Vector2f>& corners = texture.m_TileTexCoordArray;
    if (tile < 0 || tile >= corners.Size() / 2)
        return false;
    // Tile corners count y down from the picture's top row; texture rows go up.
    const Vector2f& a = corners[2 * tile];
    const Vector2f& b = corners[2 * tile + 1];
    uv = UV{a.GetX(), 1.0f - a.GetY(), b.GetX(), 1.0f - b.GetY()};
    return true;
}

// --- What each widget draws -------------------------------------------------------------------

const Vector4f& Widget::FrameColor(const WidgetStyle& style, bool windowHasInput) const noexcept {
    if (IsDisabled())
        return style.m_DisableFrameColor;
    if ((m_WidgetState & k_StateFocus) != 0)
        return style.m_FocusFrameColor;
    if ((m_WidgetState & k_StateHovered) != 0)
        return style.m_EnableFrameColor;
    if (!windowHasInput)
        return style.m_InactiveFrameColor;
    return style.m_DefaultFrameColor;
}

void Widget::Paint(WidgetPainter& painter) {
    PaintFrame(painter);
}

void Widget::PaintFrame(WidgetPainter& painter) {
    const WidgetStyle* style = m_WidgetStyle.Get();
    if (style == nullptr)
        return;
    const Vector4f& color = FrameColor(*style, painter.WindowHasInput());
    ScriptObject* shader = style->m_WidgetShader.Get();
    const Matrix4f& m = m_Layout.m_Matrix;
    const Vector3f& d = m_Layout.m_ComputedDimension;
    const TileTexture2D* tiles = TileTextureOf(shader);
    const Array<int32_t>& select = style->m_TileSelectArray;
    if (tiles == nullptr || select.Size() != 9) {
        painter.Quad(shader, m, 0, 0, d[0], d[1], WidgetPainter::UV{}, color);
        return;
    }
    // Nine pieces: the border widths cut the rectangle into three columns and three rows; the
    // outer columns and rows reach over the inner ones by the overlaps.
    const Vector3f& wMin = style->m_BorderWidthMin;
    const Vector3f& wMax = style->m_BorderWidthMax;
    const Vector3f& oMin = style->m_BorderOverlapMin;
    const Vector3f& oMax = style->m_BorderOverlapMax;
    const float x[4] = {0, Finite(wMin[0]), Finite(d[0] - wMax[0]), d[0]};
    const float y[4] = {0, Finite(wMin[1]), Finite(d[1] - wMax[1]), d[1]};
    const auto span = [](const float* edge, int i, float overMin, float overMax, float& a,
                         float& b) {
        a = edge[i] - (i == 2 ? Finite(overMax) : 0.0f);
        b = edge[i + 1] + (i == 0 ? Finite(overMin) : 0.0f);
    };
    const int32_t offset = (m_WidgetState & k_StateFocus) != 0 ? style->m_FocusFrameTileOffset : 0;
    // The centre first, then the edges, then the corners over them.
    static const int k_Order[9] = {4, 1, 3, 5, 7, 0, 2, 6, 8};
    for (int piece : k_Order) {
        WidgetPainter::UV uv;
        const int64_t tile = int64_t{select[piece]} + offset;
        if (tile < 0 || tile > INT32_MAX ||
            !WidgetPainter::TileUV(*tiles, static_cast<int>(tile), uv))
            continue; // a hostile index draws nothing for its piece
        float x0, x1, y0, y1;
        span(x, piece % 3, oMin[0], oMax[0], x0, x1);
        span(y, piece / 3, oMin[1], oMax[1], y0, y1);
        painter.Quad(shader, m, x0, y0, x1, y1, uv, color);
    }
}

void Widget::PaintText(WidgetPainter& painter, const FontStyle* style, const StringRef& text,
                       const Vector4f& color) {
    FontTexture2D* font = FontTextureOf(style);
    if (font == nullptr || text.Size() == 0)
        return;
    font->MakeGeneratedImage(); // the glyph table, made once
    const float imageWidth = font->m_ImageSize.GetX(), imageHeight = font->m_ImageSize.GetY();
    if (!(imageWidth > 0.0f) || !(imageHeight > 0.0f))
        return;
    const float scale = FontScale(*style, *font);
    const float fixed = Finite(style->m_FontSize.GetX());
    const float top = Finite((m_Layout.m_ComputedDimension[1] - style->m_FontSize.GetY()) * 0.5f);
    ScriptObject* shader = style->m_FontShader.Get();
    const Matrix4f& m = m_Layout.m_Matrix;
    const auto pass = [&](float dx, float dy, const Vector4f& c) {
        float pen = 0.0f;
        for (int i = 0; i < text.Size(); ++i) {
            const FontTexture2D::Glyph& g = font->GetGlyph(static_cast<unsigned char>(text[i]));
            if (g.m_Width > 0 && g.m_Height > 0) {
                const float x0 = pen + static_cast<float>(g.m_OffsetX) * scale + dx;
                const float y0 = top + dy;
                const WidgetPainter::UV uv{static_cast<float>(g.m_X) / imageWidth,
                                           1.0f - static_cast<float>(g.m_Y) / imageHeight,
                                           static_cast<float>(g.m_X + g.m_Width) / imageWidth,
                                           1.0f - static_cast<float>(g.m_Y + g.m_Height) /
                                                      imageHeight};
                painter.Quad(shader, m, x0, y0, x0 + static_cast<float>(g.m_Width) * scale,
                             y0 + static_cast<float>(g.m_Height) * scale, uv, c);
            }
            pen += fixed != 0.0f ? fixed : static_cast<float>(g.m_Advance) * scale;
        }
    };
    const Vector3f& shadow = style->m_ShadowOffset;
    if (shadow[0] != 0.0f || shadow[1] != 0.0f)
        pass(Finite(shadow[0]), Finite(shadow[1]), style->m_ShadowColor);
    pass(0, 0, color);
}

void WLabel::Paint(WidgetPainter& painter) {
    PaintFrame(painter);
    PaintText(painter, m_FontStyle.Get(), m_Text, m_FontColor);
}

void WText::Paint(WidgetPainter& painter) {
    PaintFrame(painter);
    PaintText(painter, m_FontStyle.Get(), m_Text, m_FontColor);
}

void WImage::Paint(WidgetPainter& painter) {
    PaintFrame(painter);
    const Matrix4f& m = m_Layout.m_Matrix;
    const Vector3f& d = m_Layout.m_ComputedDimension;
    if (const TileCollection* tiles = m_TileCollection.Get()) {
        const int i = m_TileSelect;
        if (i < 0 || i >= tiles->TileCount())
            return;
        ScriptObject* shader = tiles->m_ShaderArray[i].Get();
        const TileTexture2D* texture = TileTextureOf(shader);
        WidgetPainter::UV uv;
        if (texture != nullptr && WidgetPainter::TileUV(*texture, tiles->m_TileSelectArray[i], uv))
            painter.Quad(shader, m, 0, 0, d[0], d[1], uv, tiles->m_ColorArray[i]);
        return;
    }
    if (m_ImageShader)
        painter.Quad(m_ImageShader.Get(), m, 0, 0, d[0], d[1], WidgetPainter::UV{}, m_ImageColor);
}

void WChannel::Paint(WidgetPainter&) {}

// --- The window --------------------------------------------------------------------------------

void TWindow::Draw(RenderEngine& engine, const Matrix4f& cameraProjection,
                   const Matrix4f& parentModelView) {
    if (!m_RootWidget || IsEmpty())
        return;
    Obj<TWindow> self(this);
    Layout();
    Matrix4f projection, modelView;
    if (m_UseCameraProjection) {
        // Virtual y runs down, the scene's up.
        Matrix4f flip;
        flip.MakeScaling(Vector3f(1, -1, 1));
        projection = cameraProjection;
        modelView.AssignMul(flip, parentModelView);
    } else {
        const float w = m_VirtualResolution[0], h = m_VirtualResolution[1];
        projection.Set(2 / w, 0, 0, 0, 0, -2 / h, 0, 0, 0, 0, -1, 0, -1, 1, 0, 1);
        modelView = Matrix4f::Identity;
    }
    m_DrawMatrix.AssignMul(modelView, projection);
    m_Drawn = true;
    if (m_Painter == nullptr)
        m_Painter = new WidgetPainter;
    engine.BeginOverlay(projection, modelView);
    m_Painter->Begin(engine, m_InputFocus);
    PaintWalk walk{{}, m_Painter};
    walk.m_Walk.m_Resolution = m_VirtualResolution;
    walk.m_Walk.m_Reported = &m_DepthReported;
    walk.m_Walk.m_Owner = GetNameCPtr();
    PaintWalk::Visit(*m_RootWidget, &walk);
    m_Painter->End();
    engine.EndOverlay();
}

} // namespace Quorlix
