// Widgets drawn through whole frames on the offscreen GL driver: a window of virtual 640 x 480
// on 640 x 480 pixels, so that virtual units are pixels. Frame colours per state, layout as
// pixels, glyphs against the font texture's own image, shadows, tile frames and tabs; and input
// as SDL events pushed to the pipe's window.

#include "WidgetTestSupport.h"

#include "quorlix/image/Image.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/widget/WidgetInput.h"
#include "quorlix/widget/WidgetStyle.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Width = 640, k_Height = 480;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}
constexpr Rgb k_Black{0, 0, 0}, k_Red{255, 0, 0}, k_Green{0, 255, 0}, k_Blue{0, 0, 255},
    k_White{255, 255, 255}, k_Yellow{255, 255, 0}, k_Cyan{0, 255, 255};

Vector4f Color(const Rgb& c) {
    return Vector4f(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1);
}

// A render shader drawing `texture` unlit.
Obj<RenderShader> TextureShader(Texture* texture) {
    Obj<ShaderTexture> lookup = ShaderTexture::Create();
    lookup->m_Texture = texture;
    Obj<RenderShader> shader = RenderShader::Create();
    shader->m_LightEnable = false;
    shader->m_Surface = lookup.Get();
    return shader;
}

class WidgetDrawGL : public WidgetSuite {
protected:
    static void SetUpTestSuite() {
        WidgetSuite::SetUpTestSuite();
        ASSERT_TRUE(Platform::StartVideo("offscreen")) << Platform::LastWindowError();
    }

    void SetUp() override {
        m_Pipe = RenderPipe::Create();
        m_Pipe->SetWindowVisibility(false);
        m_Pipe->m_ColorBits = 24;
        m_Pipe->SetResolution(Vector2f(k_Width, k_Height));
        m_Pipe->SetEnableTextureThread(0);
        ASSERT_EQ(m_Pipe->ApplyFormat(), 0);
        m_System->SetRenderPipe(m_Pipe);
        Obj<RenderChannel> channel(RenderChannel::Create());
        channel->m_SceneRoot = m_Scene.Get();
        channel->m_ColorClearValue = Vector3f(0, 0, 0);
        m_System->AddChannel(channel);
        m_Window->m_VirtualResolution = Vector3f(k_Width, k_Height, 0);
        m_Window->SetRootWidget(m_Root.Get());
        m_Scene->AddChild(m_Window);
    }
    void TearDown() override {
        m_System->SetRenderPipe(nullptr);
        m_Pipe->DeInitializeWindow();
        m_Pipe = nullptr;
        RenderPipe::PumpWindowEvents();
    }

    // Two frames (textures load during the first) and the picture of the second.
    void Frame() {
        for (int i = 0; i < 2; ++i) {
            m_System->ClearBuffers();
            m_System->DrawTree(0, 0, 0);
            m_Image = Image::Create();
            ASSERT_TRUE(m_Pipe->GetRenderEngine()->ReadPixels(*m_Image));
            m_Pipe->GetRenderEngine()->SwapBuffers();
        }
    }
    // The pixel (x, y) from the top left.
    Rgb Pixel(int x, int y) const {
        const unsigned char* p =
            m_Image->GetData() + ((m_Image->GetHeight() - 1 - y) * m_Image->GetWidth() + x) * 4;
        return Rgb{p[0], p[1], p[2]};
    }
    // The rectangle [x0, x1) x [y0, y1) is `inside` at its four corner pixels and `outside`
    // just beyond each edge.
    void ExpectRect(int x0, int y0, int x1, int y1, const Rgb& inside, const Rgb& outside) {
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " - " << x1 << "," << y1);
        EXPECT_EQ(Pixel(x0, y0), inside);
        EXPECT_EQ(Pixel(x1 - 1, y1 - 1), inside);
        EXPECT_EQ(Pixel(x0, y1 - 1), inside);
        EXPECT_EQ(Pixel(x1 - 1, y0), inside);
        if (x0 > 0) {
            EXPECT_EQ(Pixel(x0 - 1, y0), outside);
        }
        if (y0 > 0) {
            EXPECT_EQ(Pixel(x0, y0 - 1), outside);
        }
        if (x1 < k_Width) {
            EXPECT_EQ(Pixel(x1, y1 - 1), outside);
        }
        if (y1 < k_Height) {
            EXPECT_EQ(Pixel(x1 - 1, y1), outside);
        }
    }
    // A plain box of `color` (an untextured style).
    Obj<Widget> Box(Vector3f position, Vector3f size, const Rgb& color,
                    WidgetAlignmentMode align = AlignMin) {
        Obj<Widget> box = MakeWidget("box", position, size, align);
        Obj<WidgetStyle> style = WidgetStyle::Create();
        style->m_DefaultFrameColor = Color(color);
        box->m_WidgetStyle = style;
        return box;
    }

    Obj<RenderPipe> m_Pipe;
    Obj<RenderSystem> m_System{RenderSystem::Create()};
    Obj<TTransform> m_Scene{TTransform::Create()};
    Obj<TWindow> m_Window{TWindow::Create()};
    Obj<Widget> m_Root{MakeWidget("root", {}, Vector3f(k_Width, k_Height, 0))};
    Obj<Image> m_Image;
};

TEST_F(WidgetDrawGL, FrameColoursFollowTheWidgetState) {
    Obj<Widget> box = Box(Vector3f(100, 60, 0), Vector3f(200, 100, 0), k_Red);
    WidgetStyle& style = *box->m_WidgetStyle;
    style.m_EnableFrameColor = Color(k_Green);
    style.m_FocusFrameColor = Color(k_Blue);
    style.m_DisableFrameColor = Color(k_Yellow);
    style.m_InactiveFrameColor = Color(k_Cyan);
    m_Root->SetWidget(0, box.Get());
    const struct {
        int32_t m_State;
        bool m_InputFocus;
        Rgb m_Color;
    } cases[] = {
        {0, true, k_Red},
        {k_StateHovered, true, k_Green},
        {k_StateHovered | k_StateFocus, true, k_Blue},
        {k_StateDisabled | k_StateFocus, true, k_Yellow},
        {0, false, k_Cyan},
        {k_StateHovered, false, k_Green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.m_State << "/" << c.m_InputFocus);
        box->m_WidgetState = c.m_State;
        m_Window->m_InputFocus = c.m_InputFocus;
        Frame();
        ExpectRect(100, 60, 300, 160, c.m_Color, k_Black);
    }
}

TEST_F(WidgetDrawGL, LayoutShowsInPixels) {
    // Right-aligned, half the parent's width, siblings in order, a hidden subtree, a quarter
    // turn, and tabs that show only the selected one.
    Obj<Widget> right = Box(Vector3f(-10, 10, 0), Vector3f(50, 20, 0), k_Red, AlignMax);
    right->SetAlignmentMode<1>(AlignMin);
    Obj<Widget> half = Box(Vector3f(0, 40, 0), Vector3f(0.5f, 20, 0), k_Green);
    half->SetResizeMode<0>(ResizePercent);
    Obj<Widget> under = Box(Vector3f(20, 80, 0), Vector3f(60, 30, 0), k_Blue);
    Obj<Widget> over = Box(Vector3f(50, 90, 0), Vector3f(60, 30, 0), k_Yellow);
    Obj<Widget> hidden = Box(Vector3f(400, 100, 0), Vector3f(100, 100, 0), k_Cyan);
    Obj<Widget> hiddenChild = Box(Vector3f(10, 10, 0), Vector3f(20, 20, 0), k_White);
    hidden->SetWidget(0, hiddenChild.Get());
    hidden->SetVisibility(0);
    Obj<WTransform> turn = MakeWidget<WTransform>("turn", Vector3f(300, 300, 0), {});
    turn->m_Rotation = Vector3f(0, 0, 90);
    Obj<Widget> turned = Box(Vector3f(0, 0, 0), Vector3f(80, 20, 0), k_White);
    turn->SetWidget(0, turned.Get());
    Obj<WTabFrame> tabs = MakeWidget<WTabFrame>("tabs", Vector3f(0, 400, 0), Vector3f(200, 80, 0));
    Obj<Widget> tab0 = Box(Vector3f(0, 0, 0), Vector3f(50, 50, 0), k_Red);
    Obj<Widget> tab1 = Box(Vector3f(100, 0, 0), Vector3f(50, 50, 0), k_Green);
    tabs->SetTab(0, tab0.Get());
    tabs->SetTab(1, tab1.Get());
    tabs->m_TabSelect = 1;
    int slot = 0;
    for (Widget* w : {right.Get(), half.Get(), under.Get(), over.Get(), hidden.Get(),
                      static_cast<Widget*>(turn.Get()), static_cast<Widget*>(tabs.Get())})
        m_Root->SetWidget(slot++, w);
    Frame();
    ExpectRect(580, 10, 630, 30, k_Red, k_Black);
    ExpectRect(0, 40, 320, 60, k_Green, k_Black);
    EXPECT_EQ(Pixel(49, 95), k_Blue);
    EXPECT_EQ(Pixel(50, 95), k_Yellow); // the later sibling over the earlier
    EXPECT_EQ(Pixel(79, 109), k_Yellow);
    EXPECT_EQ(Pixel(450, 150), k_Black);
    EXPECT_EQ(Pixel(420, 120), k_Black);
    // +x turns to +y (down): the 80 x 20 box covers x 280..300, y 300..380.
    ExpectRect(280, 300, 300, 380, k_White, k_Black);
    EXPECT_EQ(Pixel(25, 425), k_Black);
    ExpectRect(100, 400, 150, 450, k_Green, k_Black);

    // Out-of-range selections draw no tab; a zero resolution draws nothing at all.
    tabs->m_TabSelect = 7;
    Frame();
    EXPECT_EQ(Pixel(125, 425), k_Black);
    m_Window->m_VirtualResolution = Vector3f(0, 0, 0);
    Frame();
    EXPECT_EQ(Pixel(600, 20), k_Black);
    EXPECT_EQ(Pixel(10, 50), k_Black);
}

TEST_F(WidgetDrawGL, GlyphsAreTheFontTexturesOwnAndShadowsFollowTheOffset) {
    Obj<FontTexture2D> font = FontTexture2D::Create();
    font->m_FontName = "DejaVu Sans";
    font->m_CharacterSize = Vector2f(0, 32);
    Obj<FontStyle> style = FontStyle::Create();
    style->m_FontShader = TextureShader(font.Get()).Get();
    style->m_FontSize = Vector2f(0, 32); // one font-image pixel a virtual unit
    Obj<WLabel> label = MakeWidget<WLabel>("label", Vector3f(50, 200, 0), Vector3f(400, 32, 0));
    label->m_Text = "Hg";
    label->m_FontStyle = style;
    m_Root->SetWidget(0, label.Get());
    Frame();

    const Image* atlas = font->GetGeneratedImage();
    ASSERT_NE(atlas, nullptr);
    const int bpp = atlas->GetBytesPerPixel();
    ASSERT_EQ(bpp, 2);
    // Alpha of the atlas at (x, y) from its top row.
    const auto coverage = [&](int x, int y) {
        return atlas->GetData()[((atlas->GetHeight() - 1 - y) * atlas->GetWidth() + x) * bpp + 1];
    };
    float pen = 50;
    int inked = 0;
    for (char c : std::string("Hg")) {
        const FontTexture2D::Glyph& g = font->GetGlyph(static_cast<unsigned char>(c));
        ASSERT_GT(g.m_Width, 0);
        const int left = static_cast<int>(pen) + g.m_OffsetX;
        for (int j = 0; j < g.m_Height; ++j) {
            for (int i = 0; i < g.m_Width; ++i) {
                const int want = coverage(g.m_X + i, g.m_Y + j);
                const Rgb got = Pixel(left + i, 200 + j);
                ASSERT_NEAR(got.r, want, 1) << c << " at " << i << "," << j;
                ASSERT_EQ(got.r, got.b);
                inked += want > 128 ? 1 : 0;
            }
        }
        pen += g.m_Advance;
    }
    EXPECT_GT(inked, 50);

    // A red shadow 8 units right: left of the text nothing moves, right of the text's last
    // column the shadow shows where the glyph's ink was.
    style->m_ShadowOffset = Vector3f(8, 0, 0);
    style->m_ShadowColor = Vector4f(1, 0, 0, 1);
    label->m_Text = "l";
    Frame();
    const FontTexture2D::Glyph& l = font->GetGlyph('l');
    int column = -1, row = -1; // a fully inked texel of the 'l'
    for (int j = 0; j < l.m_Height && column < 0; ++j)
        for (int i = 0; i < l.m_Width && column < 0; ++i)
            if (coverage(l.m_X + i, l.m_Y + j) == 255 && i + 8 >= l.m_Width)
                column = i, row = j;
    ASSERT_GE(column, 0);
    EXPECT_EQ(Pixel(50 + l.m_OffsetX + column, 200 + row), k_White);
    EXPECT_EQ(Pixel(50 + l.m_OffsetX + column + 8, 200 + row), k_Red);
}

TEST_F(WidgetDrawGL, TileFramesImagesAndHostileTileIndices) {
    // A 64 x 64 picture of four quadrants, one tile each: red, green / blue, white.
    Obj<Image> picture = Image::Create();
    ASSERT_TRUE(picture->Allocate(4, 64, 64, 0));
    for (int y = 0; y < 64; ++y) { // memory rows from the bottom
        for (int x = 0; x < 64; ++x) {
            const bool top = y >= 32, left = x < 32;
            const Rgb c = top ? (left ? k_Red : k_Green) : (left ? k_Blue : k_White);
            unsigned char* p = picture->GetData() + (y * 64 + x) * 4;
            p[0] = static_cast<unsigned char>(c.r);
            p[1] = static_cast<unsigned char>(c.g);
            p[2] = static_cast<unsigned char>(c.b);
            p[3] = 255;
        }
    }
    Obj<TileTexture2D> tiles = TileTexture2D::Create();
    tiles->SetGeneratedImage(picture.Get());
    tiles->m_MipMapEnable = false;
    for (const Vector2f& corner :
         {Vector2f(0, 0), Vector2f(0.5f, 0.5f), Vector2f(0.5f, 0), Vector2f(1, 0.5f),
          Vector2f(0, 0.5f), Vector2f(0.5f, 1), Vector2f(0.5f, 0.5f), Vector2f(1, 1)})
        tiles->m_TileTexCoordArray.Add(corner);
    Obj<RenderShader> shader = TextureShader(tiles.Get());

    Obj<Widget> frame = MakeWidget("frame", Vector3f(100, 100, 0), Vector3f(300, 200, 0));
    Obj<WidgetStyle> style = WidgetStyle::Create();
    style->m_WidgetShader = shader.Get();
    for (int32_t t : {0, 1, 0, 1, 3, 1, 2, 1, 2})
        style->m_TileSelectArray.Add(t);
    style->m_BorderWidthMin = Vector3f(40, 40, 0);
    style->m_BorderWidthMax = Vector3f(40, 40, 0);
    frame->m_WidgetStyle = style;
    Obj<WImage> image = MakeWidget<WImage>("image", Vector3f(500, 100, 0), Vector3f(100, 100, 0));
    Obj<TileCollection> collection = TileCollection::Create();
    collection->m_ShaderArray.Add(Obj<ScriptObject>(shader.Get()));
    collection->m_ColorArray.Add(Vector4f(1, 1, 1, 1));
    collection->m_TileSelectArray.Add(2);
    collection->m_TileSelectArray.Add(3); // uneven: only one tile in the collection
    image->m_TileCollection = collection;
    m_Root->SetWidget(0, frame.Get());
    m_Root->SetWidget(1, image.Get());
    Frame();
    EXPECT_EQ(Pixel(120, 120), k_Red);   // top-left corner
    EXPECT_EQ(Pixel(250, 120), k_Green); // top edge
    EXPECT_EQ(Pixel(120, 200), k_Green); // left edge
    EXPECT_EQ(Pixel(250, 200), k_White); // centre
    EXPECT_EQ(Pixel(380, 280), k_Blue);  // bottom-right corner
    EXPECT_EQ(Pixel(99, 200), k_Black);
    EXPECT_EQ(Pixel(550, 150), k_Blue); // the image's tile 2

    // Hostile indices draw nothing for their piece; the rest stays.
    style->m_TileSelectArray = Array<int32_t>();
    for (int32_t t : {0, 1, 0, 1, 99, 1, 2, -5, 2})
        style->m_TileSelectArray.Add(t);
    style->m_FocusFrameTileOffset = INT32_MAX;
    image->m_TileSelect = 1;
    Frame();
    EXPECT_EQ(Pixel(250, 200), k_Black);
    EXPECT_EQ(Pixel(250, 280), k_Black);
    EXPECT_EQ(Pixel(120, 120), k_Red);
    EXPECT_EQ(Pixel(550, 150), k_Black);
    frame->m_WidgetState = k_StateFocus; // every index + INT32_MAX: none left
    Frame();
    EXPECT_EQ(Pixel(120, 120), k_Black);
}

// Input through the window system: SDL events pushed to the pipe's window, pumped by the
// widget input helper into the windows of the scene.
class WidgetInputSDL : public WidgetDrawGL {
protected:
    void SetUp() override {
        WidgetDrawGL::SetUp();
        m_Id = Platform::GetWindowSystemId(m_Pipe->GetWindow());
        ASSERT_NE(m_Id, 0u);
        m_A = Box(Vector3f(100, 100, 0), Vector3f(100, 50, 0), k_Red);
        m_B = Box(Vector3f(300, 100, 0), Vector3f(100, 50, 0), k_Green);
        m_Text = MakeWidget<WText>("text", Vector3f(100, 300, 0), Vector3f(300, 40, 0));
        m_A->SetName("A");
        m_B->SetName("B");
        m_Root->SetWidget(0, m_A.Get());
        m_Root->SetWidget(1, m_B.Get());
        m_Root->SetWidget(2, m_Text.Get());
        m_Window->Layout();
        m_Recorder = EventRecorder::Create();
        for (Widget* w : {m_A.Get(), m_B.Get(), static_cast<Widget*>(m_Text.Get())})
            Watch(*w, *m_Recorder);
        WidgetInput::PumpEvents(*m_System); // whatever the window system queued so far
    }

    void Button(Uint32 type, Uint8 button, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = m_Id;
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Click(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
        Button(SDL_MOUSEBUTTONDOWN, button, x, y);
        Button(SDL_MOUSEBUTTONUP, button, x, y);
    }
    void Move(int x, int y, Uint32 state) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = m_Id;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = state;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Text(const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = m_Id;
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Key(SDL_Keycode key) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = m_Id;
        e.key.state = SDL_PRESSED;
        e.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Wheel(int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = m_Id;
        e.wheel.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    std::vector<std::string> Pump() {
        WidgetInput::PumpEvents(*m_System);
        std::vector<std::string> heard;
        heard.swap(m_Recorder->m_Heard);
        return heard;
    }

    uint32_t m_Id = 0;
    Obj<Widget> m_A, m_B;
    Obj<WText> m_Text;
    Obj<EventRecorder> m_Recorder;
};

using Heard = std::vector<std::string>;

TEST_F(WidgetInputSDL, MouseEventsReachTheWidgetsUnderThePointer) {
    Click(150, 120);
    EXPECT_EQ(Pump(), (Heard{"A:MouseButtonPressLeft", "A:Focus", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft"}));
    Click(150, 120); // the events are stamped as they are pushed: well within 500 ms
    EXPECT_EQ(Pump(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft",
                             "A:MouseButtonClickLeft", "A:MouseButtonDoubleClickLeft"}));

    // Dragged from A onto B and released there: no click; then B takes the focus.
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 150, 120);
    Move(350, 120, SDL_BUTTON_LMASK);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 350, 120);
    EXPECT_EQ(Pump(), (Heard{"A:MouseButtonPressLeft", "A:MouseButtonReleaseLeft"}));
    Click(350, 120, SDL_BUTTON_RIGHT);
    EXPECT_EQ(Pump(), (Heard{"B:MouseButtonPressRight", "A:FocusLost", "B:Focus",
                             "B:MouseButtonReleaseRight", "B:MouseButtonClickRight"}));

    // Two buttons at once: the second reports the first released (a click, still inside).
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 350, 120);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 350, 120);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 350, 120);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 350, 120);
    EXPECT_EQ(Pump(), (Heard{"B:MouseButtonPressMiddle", "B:MouseButtonReleaseMiddle",
                             "B:MouseButtonClickMiddle"}));

    // The wheel goes to the widget under the pointer; the extended buttons count apart.
    Move(150, 120, 0);
    Wheel(2);
    Wheel(-1);
    Click(150, 120, SDL_BUTTON_X1);
    EXPECT_EQ(Pump(), (Heard{"A:MouseScrollUp", "A:MouseScrollUp", "A:MouseScrollDown",
                             "A:MouseButtonPressExtendedA", "B:FocusLost", "A:Focus",
                             "A:MouseButtonReleaseExtendedA", "A:MouseButtonClickExtendedA"}));

    // A handler on B's click toggles A; a window without input focus hears nothing.
    m_B->m_EventHandlerArray.Add(Obj<ScriptObject>(
        Handler(WEvent::MouseButtonClickLeft, WEvent::ToggleWidget, m_A.Get()).Get()));
    Click(350, 120);
    Pump();
    EXPECT_EQ(m_A->GetVisibility(), 0u);
    m_Window->m_InputFocus = false;
    Click(350, 120);
    EXPECT_EQ(Pump(), Heard{});
    EXPECT_EQ(m_A->GetVisibility(), 0u);
}

TEST_F(WidgetInputSDL, TypingEditsTheFocusedText) {
    m_Text->m_MaxLength = 5;
    Click(150, 310);
    Pump();
    Text("ab\xC3\xA9"); // "abé" in UTF-8: three Windows-1252 bytes
    Text("cde");        // two fit
    Pump();
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "ab\xE9"
                                                     "cd");
    Key(SDLK_HOME);
    Key(SDLK_DELETE);
    Key(SDLK_END);
    Key(SDLK_LEFT);
    Key(SDLK_BACKSPACE);
    Key(SDLK_F5);         // no edit, but a key all the same
    Text("\xE2\x82\xAC"); // the euro sign is Windows-1252 0x80
    Pump();
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "b\xE9\x80"
                                                     "d");
}

TEST_F(WidgetInputSDL, CameraWindowsLieInTheSceneAndTakeThePointerThere) {
    // A window 10 units in front of the eye (no camera: 45 degrees), drawn in the scene's
    // projection: a virtual unit is a scene unit, y down. At that distance a unit is
    // 240 / (10 tan 22.5 degrees) = 57.9 pixels.
    Obj<TTransform> place = TTransform::Create();
    static_cast<STransform*>(place->GetSNode())->SetTranslation(Vector3f(0, 0, -10));
    Obj<TWindow> camera = TWindow::Create();
    camera->m_UseCameraProjection = true;
    camera->m_VirtualResolution = Vector3f(640, 480, 0);
    Obj<Widget> root = MakeWidget("root", {}, Vector3f(1, 1, 0));
    Obj<Widget> box = Box(Vector3f(0, 0, 0), Vector3f(2, 2, 0), k_Red);
    box->SetName("cam");
    root->SetWidget(0, box.Get());
    camera->SetRootWidget(root.Get());
    Watch(*box, *m_Recorder);
    place->AddChild(camera);
    m_Scene->AddChild(place);
    Frame();
    EXPECT_EQ(Pixel(325, 245), k_Red);
    EXPECT_EQ(Pixel(430, 350), k_Red);
    EXPECT_EQ(Pixel(315, 245), k_Black);
    EXPECT_EQ(Pixel(325, 235), k_Black);
    EXPECT_EQ(Pixel(445, 300), k_Black);
    Click(330, 250);
    EXPECT_EQ(Pump(), (Heard{"cam:MouseButtonPressLeft", "cam:Focus", "cam:MouseButtonReleaseLeft",
                             "cam:MouseButtonClickLeft"}));
    EXPECT_EQ(camera->GetFocusWidget(), box.Get());
    Click(310, 250); // beside it, on no widget: the focus stays
    EXPECT_EQ(Pump(), Heard{});
    EXPECT_EQ(camera->GetFocusWidget(), box.Get());
}

TEST_F(WidgetInputSDL, TextOutsideTheCodePageAndEmptyWindowsTakeNothing) {
    Click(150, 310);
    Pump();
    Text("\xE6\x97\xA5x\xF0\x9F\x98\x80"); // a CJK character, x, an emoji: only x
    Pump();
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "x");
    // A window of zero resolution takes nothing at all.
    m_Window->m_VirtualResolution = Vector3f(0, 480, 0);
    Click(150, 120);
    Text("y");
    EXPECT_EQ(Pump(), Heard{});
    EXPECT_EQ(std::string(m_Text->m_Text.GetCPtr()), "x");
}

} // namespace
