#include "quorlix/widget/WidgetClasses.h"

#include "quorlix/render/RenderOverlay.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/ClassBinding.h"
#include "quorlix/widget/TWindow.h"
#include "quorlix/widget/Widget.h"
#include "quorlix/widget/WidgetClassIndex.h"
#include "quorlix/widget/WidgetStyle.h"

namespace Quorlix {

using namespace Bind;

namespace {

constexpr unsigned k_Ref = MemberObjectLink | MemberObjectSingle;                     // 0x1200
constexpr unsigned k_WeakRef = k_Ref | MemberNotOwned;                                // 0x1202
constexpr unsigned k_ParentRef = k_WeakRef | MemberNotWritten;                        // 0x1203
constexpr unsigned k_RefArray = MemberObjectIndex | MemberObjectLink | MemberIsIndex; // 0x2600

const Vector4f k_White(1, 1, 1, 1);

// Rows whose accessors take any object and check for a widget themselves (to store nil for
// anything else) still say which class their objects have.
MemberRow WidgetsOnly(MemberRow row) noexcept {
    row.m_ObjectClass = &ValueOf<Widget*>::ObjectClass;
    return row;
}

const MemberRow k_TWindowRows[] = {
    WidgetsOnly(
        Property<&TWindow::GetRootWidgetObject, &TWindow::SetRootWidget>("RootWidget", 1, k_Ref)),
    Field<&TWindow::m_VirtualResolution>("VirtualResolution", 2)
        .Default(Vector3f(2048, 1536, 2048)),
    Field<&TWindow::m_InputFocus>("InputFocus", 3).Default(true),
    Field<&TWindow::m_UseCameraProjection>("UseCameraProjection", 4).Default(false),
};

using WS = WidgetStyle;
const MemberRow k_WidgetStyleRows[] = {
    Field<&WS::m_WidgetShader>("WidgetShader", 1, k_Ref),
    ClearingField<&WS::m_FontStyle>("FontStyle", 2, k_Ref),
    Field<&WS::m_InactiveFrameColor>("InactiveFrameColor", 3).Default(k_White),
    Field<&WS::m_DefaultFrameColor>("DefaultFrameColor", 4).Default(k_White),
    Field<&WS::m_DisableFrameColor>("DisableFrameColor", 5).Default(k_White),
    Field<&WS::m_EnableFrameColor>("EnableFrameColor", 6).Default(k_White),
    Field<&WS::m_FocusFrameColor>("FocusFrameColor", 7).Default(k_White),
    Field<&WS::m_TileSelectArray>("TileSelectArray", 8, MemberIsArray),
    Field<&WS::m_FocusFrameTileOffset>("FocusFrameTileOffset", 9).Default(0),
    Field<&WS::m_BorderWidthMin>("BorderWidthMin", 10),
    Field<&WS::m_BorderWidthMax>("BorderWidthMax", 11),
    Field<&WS::m_BorderOverlapMin>("BorderOverlapMin", 12),
    Field<&WS::m_BorderOverlapMax>("BorderOverlapMax", 13),
};

const MemberRow k_FontStyleRows[] = {
    Field<&FontStyle::m_FontShader>("FontShader", 1, k_Ref),
    Field<&FontStyle::m_FontSize>("FontSize", 2).Default(Vector2f(0, 32)),
    Field<&FontStyle::m_ShadowOffset>("ShadowOffset", 3),
    Field<&FontStyle::m_ShadowColor>("ShadowColor", 4).Default(Vector4f(0, 0, 0, 1)),
};

const MemberRow k_WEventHandlerRows[] = {
    Field<&WEventHandler::m_Handle>("Handle", 1)
        .Enumeration(k_ClassWEventTypeEnum)
        .Default(uint32_t{WEvent::None}),
    Field<&WEventHandler::m_Message>("Message", 2)
        .Enumeration(k_ClassWEventTypeEnum)
        .Default(uint32_t{WEvent::None}),
    Property<&WEventHandler::GetDestination, &WEventHandler::SetDestination>("Destination", 3,
                                                                             k_Ref),
    Field<&WEventHandler::m_UserValue>("UserValue", 4).Default(0u),
};

const MemberRow k_WidgetRows[] = {
    ClearingField<&Widget::m_WidgetStyle>("WidgetStyle", 1, k_Ref),
    WidgetsOnly(IndexProperty<&Widget::GetWidgetObject, &Widget::SetWidget, &Widget::WidgetCount,
                              &Widget::ResizeWidget>("WidgetArray", 2, k_RefArray)),
    Field<&Widget::m_EventHandlerArray>("EventHandlerArray", 3, k_RefArray),
    Property<&Widget::GetVisibility, &Widget::SetVisibility>("Visibility", 4).Default(1u),
    Property<&Widget::GetPosition, &Widget::SetPosition>("Position", 5),
    Property<&Widget::GetDimension, &Widget::SetDimension>("Dimension", 6),
    Property<&Widget::GetResizeMode<0>, &Widget::SetResizeMode<0>>("ResizeModeX", 7)
        .Enumeration(k_ClassWidgetResizeModeEnum)
        .Default(uint32_t{ResizeExact}),
    Property<&Widget::GetResizeMode<1>, &Widget::SetResizeMode<1>>("ResizeModeY", 8)
        .Enumeration(k_ClassWidgetResizeModeEnum)
        .Default(uint32_t{ResizeExact}),
    Property<&Widget::GetResizeMode<2>, &Widget::SetResizeMode<2>>("ResizeModeZ", 9)
        .Enumeration(k_ClassWidgetResizeModeEnum)
        .Default(uint32_t{ResizeExact}),
    Property<&Widget::GetAlignmentMode<0>, &Widget::SetAlignmentMode<0>>("AlignmentModeX", 10)
        .Enumeration(k_ClassWidgetAlignmentModeEnum)
        .Default(uint32_t{AlignCenter}),
    Property<&Widget::GetAlignmentMode<1>, &Widget::SetAlignmentMode<1>>("AlignmentModeY", 11)
        .Enumeration(k_ClassWidgetAlignmentModeEnum)
        .Default(uint32_t{AlignCenter}),
    Property<&Widget::GetAlignmentMode<2>, &Widget::SetAlignmentMode<2>>("AlignmentModeZ", 12)
        .Enumeration(k_ClassWidgetAlignmentModeEnum)
        .Default(uint32_t{AlignCenter}),
    Field<&Widget::m_FocusTransparent>("FocusTransparent", 13).Default(false),
    Field<&Widget::m_WidgetState>("WidgetState", 14).Default(0),
    Field<&Widget::m_InfoText>("InfoText", 15),
    Field<&Widget::m_InfoWidget>("InfoWidget", 16, k_Ref),
    Field<&Widget::m_UserObject>("UserObject", 17, k_Ref),
    Property<&Widget::GetUserWeakObject, &Widget::SetUserWeakObject>("UserWeakObject", 18,
                                                                     k_WeakRef),
    Field<&Widget::m_UserCommand>("UserCommand", 19),
    Field<&Widget::m_UserCommandArray>("UserCommandArray", 20, MemberIsArray),
    // Containers set Parent when they store a child, so files need not carry it.
    Property<&Widget::GetParentObject, &Widget::SetParentObject>("Parent", 21, k_ParentRef),
    Field<&Widget::m_ChildPriority>("ChildPriority", 22).Default(0),
};

const MemberRow k_WFrameRows[] = {
    WidgetsOnly(Property<&WFrame::GetAreaObject<WFrame::TitleArea>,
                         &WFrame::SetAreaObject<WFrame::TitleArea>>("TitleWidget", 1, k_Ref)),
    WidgetsOnly(Property<&WFrame::GetAreaObject<WFrame::MenuArea>,
                         &WFrame::SetAreaObject<WFrame::MenuArea>>("MenuWidget", 2, k_Ref)),
    WidgetsOnly(Property<&WFrame::GetAreaObject<WFrame::StatusArea>,
                         &WFrame::SetAreaObject<WFrame::StatusArea>>("StatusWidget", 3, k_Ref)),
    Field<&WFrame::m_FocusLevel>("FocusLevel", 4).Default(0),
};

const MemberRow k_WTabFrameRows[] = {
    WidgetsOnly(IndexProperty<&WTabFrame::GetTabObject, &WTabFrame::SetTab, &WTabFrame::TabCount,
                              &WTabFrame::ResizeTab>("TabWidgetArray", 1, k_RefArray)),
    Field<&WTabFrame::m_TabSelect>("TabSelect", 2).Default(0),
};

const MemberRow k_WLabelRows[] = {
    Field<&WLabel::m_Text>("Text", 1),
    ClearingField<&WLabel::m_FontStyle>("FontStyle", 2, k_Ref),
    Field<&WLabel::m_FontColor>("FontColor", 3).Default(k_White),
};

const MemberRow k_WImageRows[] = {
    Field<&WImage::m_ImageShader>("ImageShader", 1, k_Ref),
    Field<&WImage::m_ImageColor>("ImageColor", 2).Default(k_White),
    Field<&WImage::m_TileSelect>("TileSelect", 3).Default(0),
    ClearingField<&WImage::m_TileCollection>("TileCollection", 4, k_Ref),
};

const MemberRow k_WTextRows[] = {
    Field<&WText::m_Text>("Text", 1),
    ClearingField<&WText::m_FontStyle>("FontStyle", 2, k_Ref),
    Field<&WText::m_FontColor>("FontColor", 3).Default(k_White),
    Field<&WText::m_MaxLength>("MaxLength", 4).Default(0),
};

const MemberRow k_WTransformRows[] = {
    Field<&WTransform::m_Rotation>("Rotation", 1),
    Field<&WTransform::m_RotationOrder>("RotationOrder", 2)
        .Enumeration(k_ClassRotationOrderEnum)
        .Default(0u),
    Field<&WTransform::m_RotationPivot>("RotationPivot", 3),
    Field<&WTransform::m_Scaling>("Scaling", 4).Default(Vector3f(1, 1, 1)),
    Field<&WTransform::m_ScalingPivot>("ScalingPivot", 5),
};

const MemberRow k_WChannelRows[] = {
    Field<&WChannel::m_Viewport>("Viewport", 1).Default(Vector4f(0, 0, 1, 1)),
};

const MemberRow k_TileCollectionRows[] = {
    Field<&TileCollection::m_ShaderArray>("ShaderArray", 1, k_RefArray),
    Field<&TileCollection::m_ColorArray>("ColorArray", 2, MemberIsArray),
    Field<&TileCollection::m_TileSelectArray>("TileSelectArray", 3, MemberIsArray),
    Field<&TileCollection::m_NameArray>("NameArray", 4, MemberIsArray),
};

const MemberRow k_ResizeModeRows[] = {
    Enumerator("ResizeExact", 1, ResizeExact),
    Enumerator("ResizeMinimum", 2, ResizeMinimum),
    Enumerator("ResizePercent", 3, ResizePercent),
};

const MemberRow k_AlignmentModeRows[] = {
    Enumerator("AlignCenter", 1, AlignCenter),
    Enumerator("AlignMin", 2, AlignMin),
    Enumerator("AlignMax", 3, AlignMax),
    Enumerator("AlignBlock", 4, AlignBlock),
};

// The names of WEvent.TypeEnum; event code i + 1 is name i.
constexpr const char* k_EventNames[WEvent::k_TypeCount] = {
    "None",
    "ShowWidget",
    "HideWidget",
    "KeyboardPressKey",
    "KeyboardReleaseKey",
    "KeyboardClickKey",
    "KeyboardDoubleClickKey",
    "MouseButtonPressLeft",
    "MouseButtonReleaseLeft",
    "MouseButtonClickLeft",
    "MouseButtonDoubleClickLeft",
    "MouseButtonPressRight",
    "MouseButtonReleaseRight",
    "MouseButtonClickRight",
    "MouseButtonDoubleClickRight",
    "MouseButtonPressMiddle",
    "MouseButtonReleaseMiddle",
    "MouseButtonClickMiddle",
    "MouseButtonDoubleClickMiddle",
    "MouseButtonPressExtendedA",
    "MouseButtonReleaseExtendedA",
    "MouseButtonClickExtendedA",
    "MouseButtonDoubleClickExtendedA",
    "MouseButtonPressExtendedB",
    "MouseButtonReleaseExtendedB",
    "MouseButtonClickExtendedB",
    "MouseButtonDoubleClickExtendedB",
    "MouseScrollLeft",
    "MouseScrollRight",
    "MouseScrollUp",
    "MouseScrollDown",
    "ToggleWidget",
    "Focus",
    "FocusLost",
};

// The frame's draw traversal hands every visible window to this after the lit pass.
void DrawWindowOverlay(TNode& node, const OverlayContext& context) {
    static_cast<TWindow&>(node).Draw(context.m_Engine, context.m_Projection, context.m_ModelView);
}

struct EventTypeRows {
    MemberRow m_Rows[WEvent::k_TypeCount];
    EventTypeRows() {
        for (uint32_t i = 0; i < WEvent::k_TypeCount; ++i)
            m_Rows[i] = Enumerator(k_EventNames[i], static_cast<int>(i) + 1, i + 1);
    }
};

} // namespace

void InitializeGUIClasses() {
    BindClass(NativeClass<SWindow>(k_ClassSWindow, k_ClassSLeaf, "SWindow"));
    BindClass(NativeClass<TWindow>(k_ClassTWindow, k_ClassTLeaf, "TWindow").Members(k_TWindowRows));
    BindClass(NativeClass<WidgetStyle>(k_ClassWidgetStyle, k_ClassObject, "WidgetStyle")
                  .Members(k_WidgetStyleRows));
    BindClass(NativeClass<FontStyle>(k_ClassFontStyle, k_ClassObject, "FontStyle")
                  .Members(k_FontStyleRows));
    BindClass(NativeClass<WEvent>(k_ClassWEvent, k_ClassObject, "WEvent"));
    BindClass(NativeClass<WEventHandler>(k_ClassWEventHandler, k_ClassObject, "WEventHandler")
                  .Members(k_WEventHandlerRows));
    BindClass(NativeClass<WEventCallback>(k_ClassWEventCallback, k_ClassObject, "WEventCallback"));
    BindClass(NativeClass<Widget>(k_ClassWidget, k_ClassObject, "Widget").Members(k_WidgetRows));
    BindClass(NativeClass<WFrame>(k_ClassWFrame, k_ClassWidget, "WFrame").Members(k_WFrameRows));
    BindClass(NativeClass<WTabFrame>(k_ClassWTabFrame, k_ClassWidget, "WTabFrame")
                  .Members(k_WTabFrameRows));
    BindClass(NativeClass<WLabel>(k_ClassWLabel, k_ClassWidget, "WLabel").Members(k_WLabelRows));
    BindClass(NativeClass<WImage>(k_ClassWImage, k_ClassWFrame, "WImage").Members(k_WImageRows));
    BindClass(NativeClass<WText>(k_ClassWText, k_ClassWidget, "WText").Members(k_WTextRows));
    BindClass(NativeClass<WTransform>(k_ClassWTransform, k_ClassWidget, "WTransform")
                  .Members(k_WTransformRows));
    BindClass(
        NativeClass<WChannel>(k_ClassWChannel, k_ClassWidget, "WChannel").Members(k_WChannelRows));
    BindClass(NativeClass<TileCollection>(k_ClassTileCollection, k_ClassObject, "TileCollection")
                  .Members(k_TileCollectionRows));

    BindClass(PlainClass(k_ClassWidgetResizeModeEnum, k_ClassScriptObject, "Widget.ResizeModeEnum",
                         Kind_Enum, "Widget")
                  .Members(k_ResizeModeRows));
    BindClass(PlainClass(k_ClassWidgetAlignmentModeEnum, k_ClassScriptObject,
                         "Widget.AlignmentModeEnum", Kind_Enum, "Widget")
                  .Members(k_AlignmentModeRows));
    SetOverlayDrawer(k_ClassTWindow, &DrawWindowOverlay);
    static const EventTypeRows k_EventTypeRows;
    BindClass(PlainClass(k_ClassWEventTypeEnum, k_ClassScriptObject, "WEvent.TypeEnum", Kind_Enum,
                         "WEvent")
                  .Members(k_EventTypeRows.m_Rows));
}

} // namespace Quorlix
