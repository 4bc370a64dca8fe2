// Builds a widget tree from the input bytes (every widget class, hostile numbers, stores at
// hostile indices, cycle attempts, shared subtrees, handlers that forward in loops, callbacks
// that change the tree while an event is delivered), puts it in a window and routes a sequence
// of input events through it, with tree changes and layouts in between. Nothing may crash, leak
// or run away.
//
// Input layout: a few header bytes (widget count, store count, handler count), one record per
// widget, the stores, the handlers, the window, then steps until the input ends. Every read past
// the end yields zeros, so any prefix of an input is an input too.

#include "quorlix/library/Library.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetStyle.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_MaxWidgets = 64;
constexpr int k_MaxStores = 192;
constexpr int k_MaxHandlers = 160;
constexpr int k_MaxSteps = 256;
// Stores that grow an array by the most the library allows: each adds 65,536 empty slots that
// every later walk scans.
constexpr int k_MaxBigGrowths = 2;
// What the walks of one input may cost, in widget visits and slots scanned (estimated from the
// tree before each walk): a tree of shared subtrees can make each walk reach the library's own
// visit budget, and a few of those are enough to learn from.
constexpr uint64_t k_WalkBudget = uint64_t{1} << 23;
// Tree changes the callbacks may make, over the whole input.
constexpr int k_MaxCallbackEdits = 256;

void Start() {
    static const bool started = [] {
        setenv("QUORLIX_NO_DIALOGS", "1", 1);
        DLLInitialize(0);
        // Refused stores and stopped walks log a line each; the lines are formatted all the
        // same, but a run of millions of inputs should not print them.
        Xerr.SetStreamPipe(StreamPipeNull::GetSingleton());
        return true;
    }();
    (void)started;
}

// Reads the input front to back; past its end every read is 0.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    bool AtEnd() const noexcept { return m_Pos >= m_Size; }
    uint8_t Byte() noexcept { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; }
    uint32_t U32() noexcept {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }
    int Below(int n) noexcept { return Byte() % n; }
    bool Bit() noexcept { return (Byte() & 1) != 0; }

    // Ordinary values mostly, and the ones that break arithmetic.
    float Float() noexcept {
        const uint8_t kind = Byte();
        switch (kind % 12) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return std::numeric_limits<float>::infinity();
        case 2:
            return -std::numeric_limits<float>::infinity();
        case 3:
            return 1e30f;
        case 4:
            return -1e30f;
        case 5: {
            const uint32_t bits = U32();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        case 6:
            return std::numeric_limits<float>::denorm_min();
        case 7:
            return static_cast<float>(Byte()) / 255.0f; // fractions, for percent sizes
        default:
            return static_cast<float>(static_cast<int8_t>(Byte())) * 16.0f;
        }
    }
    Vector3f Vec3() noexcept {
        const float x = Float(), y = Float();
        return Vector3f(x, y, Float());
    }
    Vector4f Color() noexcept {
        const float r = Float(), g = Float(), b = Float();
        return Vector4f(r, g, b, Float());
    }

    // Small indices mostly, then the edges of what a store accepts.
    int Index(int size) noexcept {
        switch (Byte() % 10) {
        case 0:
            return -1;
        case 1:
            return std::numeric_limits<int>::min();
        case 2:
            return std::numeric_limits<int>::max();
        case 3:
            return size + 65537; // one beyond the growth a store may make
        case 4:
            return size + 65536;
        case 5:
            return static_cast<int>(U32());
        default:
            return Byte() % 16;
        }
    }
    int32_t Int() noexcept {
        switch (Byte() % 8) {
        case 0:
            return std::numeric_limits<int32_t>::min();
        case 1:
            return std::numeric_limits<int32_t>::max();
        case 2:
            return Widget::k_NilPriority;
        case 3:
            return static_cast<int32_t>(U32());
        default:
            return static_cast<int8_t>(Byte());
        }
    }

    String Text() {
        char bytes[32];
        const int n = Byte() % 33;
        for (int i = 0; i < n; ++i) {
            const uint8_t c = Byte();
            bytes[i] = static_cast<char>(c != 0 ? c : 'x');
        }
        return String(bytes, n);
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
};

struct Fuzz;

// A host callback that changes the tree while an event is being delivered: removes children,
// hides, disables, drops the fuzzer's own reference or the window's root.
class Meddler : public WEventCallback {
public:
    static Meddler* Create() { return NewObject<Meddler>(); }
    void OnMessage(Widget& source, uint32_t message, uint32_t userValue,
                   const StringRef& command) override;

    Fuzz* m_Fuzz = nullptr;
};

struct Fuzz {
    explicit Fuzz(Reader& in) : m_In(in) {}

    Reader& m_In;
    std::vector<Obj<Widget>> m_Widgets; // null once the fuzzer let go of one
    std::vector<Obj<WEventHandler>> m_Handlers;
    std::vector<Obj<Meddler>> m_Meddlers;
    Obj<TWindow> m_Window;
    Obj<RenderEngine> m_Engine;    // the null engine: drawing runs without a display
    Obj<WEventHandler> m_Stranger; // an object of another class, stored where widgets go
    int m_BigGrowths = 0;
    int m_CallbackEdits = 0;
    uint64_t m_WalkCost = 0;
    uint32_t m_Time = 0;

    Widget* Pick() {
        if (m_Widgets.empty())
            return nullptr;
        return m_Widgets[m_In.Below(static_cast<int>(m_Widgets.size()))].Get();
    }
    // A widget, nil, the nil object or an object that is not a widget.
    ScriptObject* PickStored() {
        switch (m_In.Byte() % 16) {
        case 0:
            return nullptr;
        case 1:
            return &G_NilObject;
        case 2:
            return m_Stranger.Get();
        default:
            return Pick();
        }
    }
    // Keeps arrays from growing by the largest step too often.
    int Index(int size) {
        int i = m_In.Index(size);
        if (i > size + 16 && i <= size + 65536 && ++m_BigGrowths > k_MaxBigGrowths)
            i = size;
        return i;
    }

    void MakeWidget() {
        Obj<Widget> w;
        switch (m_In.Below(8)) {
        case 0:
            w = Widget::Create();
            break;
        case 1: {
            Obj<WFrame> f = WFrame::Create();
            f->m_FocusLevel = m_In.Int();
            w = f.Get();
            break;
        }
        case 2: {
            Obj<WTabFrame> t = WTabFrame::Create();
            t->m_TabSelect = m_In.Index(4);
            w = t.Get();
            break;
        }
        case 3: {
            Obj<WLabel> l = WLabel::Create();
            l->m_Text = m_In.Text();
            l->m_FontStyle = MakeFontStyle();
            l->m_FontColor = m_In.Color();
            w = l.Get();
            break;
        }
        case 4: {
            Obj<WImage> image = WImage::Create();
            image->m_ImageColor = m_In.Color();
            image->m_TileSelect = m_In.Int();
            image->m_TileCollection = MakeTiles();
            w = image.Get();
            break;
        }
        case 5: {
            Obj<WText> t = WText::Create();
            t->m_Text = m_In.Text();
            t->m_FontStyle = MakeFontStyle();
            t->m_MaxLength = m_In.Bit() ? m_In.Int() : m_In.Byte() % 8;
            w = t.Get();
            break;
        }
        case 6: {
            Obj<WTransform> t = WTransform::Create();
            t->m_Rotation = m_In.Vec3();
            t->m_RotationOrder = static_cast<Eulerf::RotationOrder>(m_In.Below(6));
            t->m_RotationPivot = m_In.Vec3();
            t->m_Scaling = m_In.Vec3();
            t->m_ScalingPivot = m_In.Vec3();
            w = t.Get();
            break;
        }
        default:
            w = WChannel::Create();
            break;
        }
        w->SetName(m_Widgets.empty() ? "root" : "w");
        w->SetPosition(m_In.Vec3());
        w->SetDimension(m_In.Vec3());
        SetModes(*w);
        const uint8_t flags = m_In.Byte();
        w->SetVisibility((flags & 3) == 0 ? 0 : (flags & 3) == 3 ? m_In.U32() : 1);
        w->m_WidgetState = (flags & 4) != 0 ? static_cast<int32_t>(m_In.U32()) : 0;
        w->m_FocusTransparent = (flags & 8) != 0;
        w->m_ChildPriority = (flags & 16) != 0 ? m_In.Int() : 0;
        if ((flags & 32) != 0)
            w->m_UserCommand = m_In.Text();
        if ((flags & 64) != 0)
            w->m_WidgetStyle = MakeStyle();
        m_Widgets.push_back(w);
    }

    void SetModes(Widget& w) {
        WidgetLayout& layout = w.GetLayout();
        for (int a = 0; a < 3; ++a) {
            const uint8_t b = m_In.Byte();
            layout.m_Alignment[a] = static_cast<WidgetAlignmentMode>(AlignCenter + b % 4);
            layout.m_Resize[a] = static_cast<WidgetResizeMode>(ResizeExact + (b >> 2) % 3);
        }
    }

    // A font style without a shader: text measures FontSize.x per character.
    Obj<FontStyle> MakeFontStyle() {
        if (m_In.Byte() % 4 == 0)
            return {};
        Obj<FontStyle> style = FontStyle::Create();
        const float x = m_In.Float();
        style->m_FontSize = Vector2f(x, m_In.Float());
        style->m_ShadowOffset = m_In.Vec3();
        return style;
    }

    // A frame style without a shader (so one quad per frame), with hostile borders and tiles.
    Obj<WidgetStyle> MakeStyle() {
        Obj<WidgetStyle> style = WidgetStyle::Create();
        style->m_FontStyle = MakeFontStyle();
        style->m_DefaultFrameColor = m_In.Color();
        style->m_FocusFrameColor = m_In.Color();
        for (int i = m_In.Below(12); i > 0; --i)
            style->m_TileSelectArray.Add(m_In.Int());
        style->m_FocusFrameTileOffset = m_In.Int();
        style->m_BorderWidthMin = m_In.Vec3();
        style->m_BorderWidthMax = m_In.Vec3();
        style->m_BorderOverlapMin = m_In.Vec3();
        style->m_BorderOverlapMax = m_In.Vec3();
        return style;
    }

    // Arrays of uneven lengths (the collection holds as many tiles as the shortest), with tile
    // numbers no texture has.
    Obj<TileCollection> MakeTiles() {
        if (m_In.Byte() % 4 == 0)
            return {};
        Obj<TileCollection> tiles = TileCollection::Create();
        for (int i = m_In.Below(5); i > 0; --i)
            tiles->m_ShaderArray.Add(m_In.Bit() ? Obj<ScriptObject>()
                                                : Obj<ScriptObject>(m_Stranger.Get()));
        for (int i = m_In.Below(5); i > 0; --i)
            tiles->m_ColorArray.Add(m_In.Color());
        for (int i = m_In.Below(5); i > 0; --i)
            tiles->m_TileSelectArray.Add(m_In.Int());
        for (int i = m_In.Below(5); i > 0; --i)
            tiles->m_NameArray.Add(m_In.Text());
        return tiles;
    }

    // One change of the tree's links.
    void Store() {
        Widget* target = Pick();
        if (target == nullptr)
            return;
        switch (m_In.Below(8)) {
        case 0:
        case 1:
        case 2: {
            // Arguments are read one statement at a time: their order of evaluation is not
            // fixed, and an input must mean the same with every compiler.
            const int i = Index(target->WidgetCount());
            target->SetWidget(i, PickStored());
            break;
        }
        case 3:
            if (auto* frame = dynamic_cast<WFrame*>(target)) {
                const auto area = static_cast<WFrame::Area>(m_In.Below(3));
                frame->SetAreaWidget(area, PickStored());
            } else {
                target->SetWidget(target->WidgetCount(), PickStored());
            }
            break;
        case 4:
            if (auto* tabs = dynamic_cast<WTabFrame*>(target)) {
                if (m_In.Bit()) {
                    const int i = Index(tabs->TabCount());
                    tabs->SetTab(i, PickStored());
                } else {
                    tabs->m_TabSelect = m_In.Index(tabs->TabCount());
                }
            } else {
                target->ResizeWidget(Index(target->WidgetCount()));
            }
            break;
        case 5: {
            // Stores an ancestor (or the widget itself) below it: always refused.
            Widget* ancestor = target;
            for (int up = m_In.Below(8); up > 0 && ancestor->GetParent() != nullptr; --up)
                ancestor = ancestor->GetParent();
            target->SetWidget(target->WidgetCount(), ancestor);
            break;
        }
        case 6:
            target->SetParentObject(PickStored());
            break;
        default:
            if (auto* tabs = dynamic_cast<WTabFrame*>(target))
                tabs->ResizeTab(Index(tabs->TabCount()));
            else
                target->ResizeWidget(Index(target->WidgetCount()));
            break;
        }
    }

    void AddHandler() {
        Widget* owner = Pick();
        if (owner == nullptr)
            return;
        Obj<WEventHandler> h = WEventHandler::Create();
        h->m_Handle = static_cast<WEvent::Type>(1 + m_In.Below(35));
        h->m_Message = static_cast<WEvent::Type>(1 + m_In.Below(35));
        h->m_UserValue = m_In.Byte();
        switch (m_In.Below(8)) {
        case 0: {
            Obj<Meddler> meddler = Meddler::Create();
            meddler->m_Fuzz = this;
            m_Meddlers.push_back(meddler);
            h->SetDestination(meddler.Get());
            break;
        }
        case 1:
            h->SetDestination(PickStored());
            break;
        case 2:
            h->SetDestination(WEventCallback::Create());
            break;
        default:
            h->SetDestination(Pick());
            break;
        }
        // Now and then something that is not a handler sits in the array.
        owner->m_EventHandlerArray.Add(m_In.Byte() % 16 == 0 ? Obj<ScriptObject>(m_Stranger.Get())
                                                             : Obj<ScriptObject>(h.Get()));
        m_Handlers.push_back(h);
    }

    // The cost a walk from the root would have: a visit per path to each widget plus the slots
    // scanned, capped at the library's own visit budget.
    uint64_t WalkCost() const {
        std::vector<std::pair<Widget*, uint64_t>> memo;
        return CostOf(m_Window->GetRootWidget(), memo, 0);
    }
    static uint64_t CostOf(Widget* w, std::vector<std::pair<Widget*, uint64_t>>& memo, int depth) {
        constexpr uint64_t k_Cap = uint64_t{1} << 21;
        if (w == nullptr || depth > Widget::k_MaxDepth)
            return 0;
        for (const auto& [widget, cost] : memo)
            if (widget == w)
                return cost;
        uint64_t cost = 1 + static_cast<uint64_t>(w->WidgetCount());
        const auto add = [&](Widget* child) {
            cost = std::min(k_Cap, cost + CostOf(child, memo, depth + 1));
        };
        for (const Obj<Widget>& child : w->GetWidgetArray())
            add(child.Get());
        if (auto* frame = dynamic_cast<WFrame*>(w))
            for (int area = WFrame::TitleArea; area <= WFrame::StatusArea; ++area)
                add(frame->GetAreaWidget(static_cast<WFrame::Area>(area)));
        if (auto* tabs = dynamic_cast<WTabFrame*>(w)) {
            cost += static_cast<uint64_t>(tabs->TabCount());
            add(tabs->GetSelectedTab());
        }
        memo.emplace_back(w, cost);
        return cost;
    }
    // Whether the walks may go on; each walk is charged before it runs.
    bool Charge() {
        m_WalkCost += WalkCost();
        return m_WalkCost <= k_WalkBudget;
    }

    // A change a script (or a host callback) could make between or during events.
    void Edit() {
        Widget* w = Pick();
        switch (m_In.Below(12)) {
        case 0:
            if (w != nullptr)
                w->SetVisibility(0);
            break;
        case 1:
            if (w != nullptr)
                w->SetVisibility(1);
            break;
        case 2:
            if (w != nullptr)
                w->SetStateBits(k_StateDisabled, m_In.Bit());
            break;
        case 3:
            if (w != nullptr && w->WidgetCount() > 0)
                w->SetWidget(m_In.Below(w->WidgetCount()), nullptr);
            break;
        case 4:
            if (w != nullptr)
                w->ResizeWidget(0);
            break;
        case 5: {
            // The fuzzer lets go: the widget lives on only while the tree or the window holds it.
            if (!m_Widgets.empty())
                m_Widgets[m_In.Below(static_cast<int>(m_Widgets.size()))] = nullptr;
            break;
        }
        case 6:
            m_Window->SetRootWidget(PickStored());
            break;
        case 7:
            if (w != nullptr)
                w->m_ChildPriority = m_In.Int();
            break;
        case 8:
            if (auto* tabs = dynamic_cast<WTabFrame*>(w))
                tabs->m_TabSelect = m_In.Index(tabs->TabCount());
            break;
        case 9:
            if (auto* frame = dynamic_cast<WFrame*>(w))
                frame->SetAreaWidget(static_cast<WFrame::Area>(m_In.Below(3)), nullptr);
            break;
        case 10:
            if (w != nullptr) {
                w->SetPosition(m_In.Vec3());
                w->SetDimension(m_In.Vec3());
                SetModes(*w);
            }
            break;
        default:
            if (w != nullptr)
                w->m_EventHandlerArray.Clear();
            break;
        }
    }

    void Event() {
        WInputRecord record;
        const uint8_t shape = m_In.Byte();
        record.m_ButtonMask = (shape & 1) != 0 ? m_In.U32() : m_In.Byte() & 0x1F;
        const Vector3f& r = m_Window->m_VirtualResolution;
        if ((shape & 2) != 0) {
            const float x = m_In.Float();
            record.m_Pointer = Vector2f(x, m_In.Float());
        } else {
            // Somewhere on the window, so that widgets are hit.
            const float fx = m_In.Byte() / 255.0f;
            record.m_Pointer = Vector2f(fx * r[0], m_In.Byte() / 255.0f * r[1]);
        }
        switch ((shape >> 2) & 7) {
        case 0:
        case 1:
            break;
        case 2: {
            static const char* const k_Names[] = {"DEL",  "CSLF", "CSRT", "HOME", "END", "CSUP",
                                                  "CSDN", "INS",  "PGUP", "PGDN", "F1",  "F12"};
            record.m_KeyCode = RenderPipe::PackKeyName(k_Names[m_In.Below(12)]);
            break;
        }
        case 3: {
            static const uint32_t k_Controls[] = {8, 9, 13, 27, 127, 31, 32, 255, 256};
            record.m_KeyCode = k_Controls[m_In.Below(9)];
            break;
        }
        case 4:
            record.m_KeyCode = m_In.U32();
            break;
        default:
            record.m_KeyCode = m_In.Byte();
            break;
        }
        if ((shape & 32) != 0) {
            record.m_WheelX = m_In.Bit() ? m_In.Int() : static_cast<int8_t>(m_In.Byte()) % 4;
            record.m_WheelY = m_In.Bit() ? m_In.Int() : static_cast<int8_t>(m_In.Byte()) % 4;
        }
        // Time mostly moves on a little (double clicks), sometimes jumps or wraps.
        m_Time += (shape & 64) != 0 ? m_In.U32() : m_In.Byte() * 4u;
        record.m_Time = m_Time;
        m_Window->ProcessEvent(record);
    }

    void Run() {
        m_Stranger = WEventHandler::Create();
        const int widgets = 1 + m_In.Below(k_MaxWidgets);
        const int stores = m_In.Byte() % (k_MaxStores + 1);
        const int handlers = m_In.Byte() % (k_MaxHandlers + 1);
        for (int i = 0; i < widgets; ++i)
            MakeWidget();
        for (int i = 0; i < stores; ++i)
            Store();
        for (int i = 0; i < handlers; ++i)
            AddHandler();

        m_Window = TWindow::Create();
        m_Window->SetName("fuzz");
        const uint8_t shape = m_In.Byte();
        switch (shape & 3) {
        case 0:
            m_Window->m_VirtualResolution = Vector3f(800, 600, 0);
            break;
        case 1:
            m_Window->m_VirtualResolution = Vector3f(0, 0, 0);
            break;
        default:
            m_Window->m_VirtualResolution = m_In.Vec3();
            break;
        }
        m_Window->m_InputFocus = (shape & 4) == 0;
        m_Window->SetRootWidget((shape & 8) == 0 ? m_Widgets[0].Get() : PickStored());
        if (!Charge())
            return;
        m_Window->Layout();

        for (int step = 0; step < k_MaxSteps && !m_In.AtEnd(); ++step) {
            const uint8_t op = m_In.Byte();
            if (op < 160) {
                if (!Charge())
                    return;
                Event();
            } else if (op < 224) {
                Edit();
            } else if (op < 240) {
                Store();
            } else if (op < 248) {
                if (!Charge())
                    return;
                m_Window->Layout();
            } else {
                // Drawing lays out first: two walks.
                if (!Charge() || !Charge())
                    return;
                if (!m_Engine)
                    m_Engine = RenderEngine::CreateNull();
                m_Window->m_UseCameraProjection = (op & 1) != 0;
                m_Window->Draw(*m_Engine, Matrix4f::Identity, Matrix4f::Identity);
            }
        }
    }

    // Handlers hold callback destinations counted, and the meddlers point back at this state:
    // both links go before the tree does.
    ~Fuzz() {
        for (const Obj<WEventHandler>& h : m_Handlers)
            h->SetDestination(nullptr);
        for (const Obj<Meddler>& m : m_Meddlers)
            m->m_Fuzz = nullptr;
    }
};

void Meddler::OnMessage(Widget& source, uint32_t message, uint32_t userValue, const StringRef&) {
    Fuzz* fuzz = m_Fuzz;
    if (fuzz == nullptr || ++fuzz->m_CallbackEdits > k_MaxCallbackEdits)
        return;
    // What to change comes from the message and user value, not from further input bytes:
    // the order in which callbacks run must not shift what the rest of the input means.
    const uint32_t pick = message * 31 + userValue;
    std::vector<Obj<Widget>>& widgets = fuzz->m_Widgets;
    Widget* other = widgets.empty() ? nullptr : widgets[pick % widgets.size()].Get();
    switch (userValue % 8) {
    case 0:
        source.ResizeWidget(0);
        break;
    case 1:
        if (Widget* parent = source.GetParent())
            parent->ResizeWidget(0);
        break;
    case 2:
        source.SetVisibility(0);
        break;
    case 3:
        source.SetStateBits(k_StateDisabled, true);
        break;
    case 4:
        fuzz->m_Window->SetRootWidget(other);
        break;
    case 5:
        if (!widgets.empty())
            widgets[pick % widgets.size()] = nullptr;
        break;
    case 6:
        if (other != nullptr)
            source.SetWidget(source.WidgetCount(), other);
        break;
    default:
        source.m_EventHandlerArray.Clear();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Start();
    if (size > 4096)
        return 0; // more than the counts can use
    Reader in(data, size);
    Fuzz fuzz(in);
    fuzz.Run();
    return 0;
}
