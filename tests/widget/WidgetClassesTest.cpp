// The widget classes as the registry lists them (identifiers are pinned: binary files carry
// them), their defaults and enumerations, and the type checks of their object members.

#include "WidgetTestSupport.h"

#include "quorlix/render/RenderShader.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/widget/WidgetClassIndex.h"
#include "quorlix/widget/WidgetStyle.h"
#include "support/LogCapture.h"
#include "support/RegistryCheck.h"

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class WidgetClasses : public WidgetSuite {};

constexpr int k_Resize = -3884 & 0xFFF;
constexpr int k_Align = -3883 & 0xFFF;
constexpr int k_EventType = -3882 & 0xFFF;
const Vector4f k_White(1, 1, 1, 1);
const Vector3f k_Zero3(0, 0, 0);

const std::vector<RegistryClass>& WidgetRegistry() {
    static const std::vector<RegistryClass> classes = {
        {"SWindow", -3900, -4028, {}},
        {"TWindow",
         -3899,
         -4027,
         {{1, "RootWidget", k_Obj, 0x1200},
          {2, "VirtualResolution", k_V3, 0, Vector3f(2048, 1536, 2048)},
          {3, "InputFocus", k_Bool, 0, true},
          {4, "UseCameraProjection", k_Bool, 0, false}}},
        {"WidgetStyle",
         -3898,
         -4032,
         {{1, "WidgetShader", k_Obj, 0x1200},
          {2, "FontStyle", k_Obj, 0x1200},
          {3, "InactiveFrameColor", k_V4, 0, k_White},
          {4, "DefaultFrameColor", k_V4, 0, k_White},
          {5, "DisableFrameColor", k_V4, 0, k_White},
          {6, "EnableFrameColor", k_V4, 0, k_White},
          {7, "FocusFrameColor", k_V4, 0, k_White},
          {8, "TileSelectArray", k_I32, 0x800},
          {9, "FocusFrameTileOffset", k_I32, 0, 0},
          {10, "BorderWidthMin", k_V3, 0, k_Zero3},
          {11, "BorderWidthMax", k_V3, 0, k_Zero3},
          {12, "BorderOverlapMin", k_V3, 0, k_Zero3},
          {13, "BorderOverlapMax", k_V3, 0, k_Zero3}}},
        {"FontStyle",
         -3897,
         -4032,
         {{1, "FontShader", k_Obj, 0x1200},
          {2, "FontSize", k_V2, 0, Vector2f(0, 32)},
          {3, "ShadowOffset", k_V3, 0, k_Zero3},
          {4, "ShadowColor", k_V4, 0, Vector4f(0, 0, 0, 1)}}},
        {"WEvent", -3896, -4032, {}},
        {"WEventHandler",
         -3895,
         -4032,
         {{1, "Handle", k_Enum, 0, EnumeratorDefault{k_EventType, 1}},
          {2, "Message", k_Enum, 0, EnumeratorDefault{k_EventType, 1}},
          {3, "Destination", k_Obj, 0x1200},
          {4, "UserValue", k_U32, 0, 0u}}},
        {"WEventCallback", -3894, -4032, {}},
        {"Widget",
         -3893,
         -4032,
         {{1, "WidgetStyle", k_Obj, 0x1200},
          {2, "WidgetArray", k_Obj, 0x2600},
          {3, "EventHandlerArray", k_Obj, 0x2600},
          {4, "Visibility", k_U32, 0, 1u},
          {5, "Position", k_V3, 0, k_Zero3},
          {6, "Dimension", k_V3, 0, k_Zero3},
          {7, "ResizeModeX", k_Enum, 0, EnumeratorDefault{k_Resize, 1}},
          {8, "ResizeModeY", k_Enum, 0, EnumeratorDefault{k_Resize, 1}},
          {9, "ResizeModeZ", k_Enum, 0, EnumeratorDefault{k_Resize, 1}},
          {10, "AlignmentModeX", k_Enum, 0, EnumeratorDefault{k_Align, 1}},
          {11, "AlignmentModeY", k_Enum, 0, EnumeratorDefault{k_Align, 1}},
          {12, "AlignmentModeZ", k_Enum, 0, EnumeratorDefault{k_Align, 1}},
          {13, "FocusTransparent", k_Bool, 0, false},
          {14, "WidgetState", k_I32, 0, 0},
          {15, "InfoText", k_Str, 0, ""},
          {16, "InfoWidget", k_Obj, 0x1200},
          {17, "UserObject", k_Obj, 0x1200},
          {18, "UserWeakObject", k_Obj, 0x1202},
          {19, "UserCommand", k_Str, 0, ""},
          {20, "UserCommandArray", k_Str, 0x800},
          {21, "Parent", k_Obj, 0x1203},
          {22, "ChildPriority", k_I32, 0, 0}}},
        {"WFrame",
         -3892,
         -3893,
         {{1, "TitleWidget", k_Obj, 0x1200},
          {2, "MenuWidget", k_Obj, 0x1200},
          {3, "StatusWidget", k_Obj, 0x1200},
          {4, "FocusLevel", k_I32, 0, 0}}},
        {"WTabFrame",
         -3891,
         -3893,
         {{1, "TabWidgetArray", k_Obj, 0x2600}, {2, "TabSelect", k_I32, 0, 0}}},
        {"WLabel",
         -3890,
         -3893,
         {{1, "Text", k_Str, 0, ""},
          {2, "FontStyle", k_Obj, 0x1200},
          {3, "FontColor", k_V4, 0, k_White}}},
        {"WImage",
         -3889,
         -3892,
         {{1, "ImageShader", k_Obj, 0x1200},
          {2, "ImageColor", k_V4, 0, k_White},
          {3, "TileSelect", k_I32, 0, 0},
          {4, "TileCollection", k_Obj, 0x1200}}},
        {"WText",
         -3888,
         -3893,
         {{1, "Text", k_Str, 0, ""},
          {2, "FontStyle", k_Obj, 0x1200},
          {3, "FontColor", k_V4, 0, k_White},
          {4, "MaxLength", k_I32, 0, 0}}},
        {"WTransform",
         -3887,
         -3893,
         {{1, "Rotation", k_V3, 0, k_Zero3},
          {2, "RotationOrder", k_Enum, 0, EnumeratorDefault{k_ClassRotationOrderEnum, 1}},
          {3, "RotationPivot", k_V3, 0, k_Zero3},
          {4, "Scaling", k_V3, 0, Vector3f(1, 1, 1)},
          {5, "ScalingPivot", k_V3, 0, k_Zero3}}},
        {"WChannel", -3886, -3893, {{1, "Viewport", k_V4, 0, Vector4f(0, 0, 1, 1)}}},
        {"TileCollection",
         -3885,
         -4032,
         {{1, "ShaderArray", k_Obj, 0x2600},
          {2, "ColorArray", k_V4, 0x800},
          {3, "TileSelectArray", k_I32, 0x800},
          {4, "NameArray", k_Str, 0x800}}},
    };
    return classes;
}

// An enumeration whose enumerators are worth their position (from 1).
void ExpectPositionalEnumeration(const char* name, int id, const char* scope,
                                 const std::vector<const char*>& enumerators) {
    SCOPED_TRACE(name);
    const MVTBL* table = IsTableOf(id & 0xFFF);
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(TypeIDToString(MakeTypeID(id)), name);
    EXPECT_STREQ(TypeIDToScope(MakeTypeID(id)), scope);
    EXPECT_EQ(TableHeader(table)->m_Kind, Kind_Enum);
    ASSERT_EQ(TableHeader(table)->m_Count, static_cast<int>(enumerators.size()) + 1);
    for (size_t k = 1; k <= enumerators.size(); ++k) {
        EXPECT_STREQ(table[k].m_Name, enumerators[k - 1]);
        EXPECT_EQ(table[k].m_OffsetOrValue, k);
    }
}

TEST_F(WidgetClasses, RegistryDefaultsAndEnumerationsMatchTheTable) {
    for (const RegistryClass& c : WidgetRegistry()) {
        ExpectRegistered(c);
        ExpectDefaults(c);
    }
    ExpectPositionalEnumeration("Widget.ResizeModeEnum", -3884, "Widget",
                                {"ResizeExact", "ResizeMinimum", "ResizePercent"});
    ExpectPositionalEnumeration("Widget.AlignmentModeEnum", -3883, "Widget",
                                {"AlignCenter", "AlignMin", "AlignMax", "AlignBlock"});
    ExpectPositionalEnumeration("WEvent.TypeEnum", -3882, "WEvent",
                                {"None",
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
                                 "FocusLost"});

    // A TWindow made through the registry or Create comes with its SWindow.
    for (Obj<ScriptObject> made : {Obj<ScriptObject>(ScriptObject::Create(MakeTypeID(-3899))),
                                   Obj<ScriptObject>(TWindow::Create())}) {
        ASSERT_EQ(made->GetTypeInfo(), TWindow::GetTWindowTypeInfo());
        EXPECT_STREQ(static_cast<TWindow*>(made.Get())->GetSNode()->GetObjectClassName(),
                     "SWindow");
    }
}

TEST_F(WidgetClasses, ObjectMembersStoreNilForTheWrongClass) {
    Obj<Widget> panel = Widget::Create();
    Obj<WLabel> label = WLabel::Create();
    Obj<TWindow> window = TWindow::Create();
    Obj<WidgetStyle> style = WidgetStyle::Create();
    Obj<FontStyle> font = FontStyle::Create();
    Obj<RenderShader> shader = RenderShader::Create();
    const int widget = k_ClassWidget;
    const auto* styleMember = MemberIDOf<ClassMember_Object>(1, widget);
    const auto* array = MemberIDOf<ClassMember_Index_Object>(2, widget);
    const auto* root = MemberIDOf<ClassMember_Object>(1, k_ClassTWindow);
    const auto* fontMember = MemberIDOf<ClassMember_Object>(2, k_ClassWLabel);

    panel->Set(styleMember, style.Get());
    panel->Set(array, 0, label.Get());
    window->Set(root, panel.Get());
    label->Set(fontMember, font.Get());
    EXPECT_EQ(panel->m_WidgetStyle.Get(), style.Get());
    EXPECT_EQ(panel->GetWidget(0), label.Get());
    EXPECT_EQ(label->GetParent(), panel.Get());
    EXPECT_EQ(window->GetRootWidget(), panel.Get());

    LogCapture log;
    panel->Set(styleMember, font.Get());
    panel->Set(array, 0, shader.Get());
    window->Set(root, style.Get());
    label->Set(fontMember, style.Get());
    EXPECT_TRUE(panel->Get(styleMember)->IsNil());
    EXPECT_TRUE(panel->Get(array, 0)->IsNil());
    EXPECT_EQ(panel->WidgetCount(), 1);
    EXPECT_TRUE(window->Get(root)->IsNil());
    EXPECT_TRUE(label->Get(fontMember)->IsNil());
    // The label left the array: its Parent no longer names the panel.
    EXPECT_EQ(label->GetParent(), nullptr);
    const std::vector<std::string> expected = {
        "[Error]Widget.WidgetStyle: object of the wrong class refused.",
        "[Error]ScriptObject::ExpectFailed: cannot cast \"RenderShader\" to \"Widget\".",
        "[Error]ScriptObject::ExpectFailed: cannot cast \"WidgetStyle\" to \"Widget\".",
        "[Error]WLabel.FontStyle: object of the wrong class refused.",
    };
    EXPECT_EQ(log.Messages(), expected);
}

TEST_F(WidgetClasses, WeakMembersReadNilOnceTheObjectIsGone) {
    Obj<Widget> child = Widget::Create();
    const auto* weak = MemberIDOf<ClassMember_Object>(18, k_ClassWidget);
    const auto* parent = MemberIDOf<ClassMember_Object>(21, k_ClassWidget);
    {
        Obj<Widget> container = Widget::Create();
        Obj<FontStyle> user = FontStyle::Create();
        container->SetWidget(0, child.Get());
        child->Set(weak, user.Get());
        EXPECT_EQ(child->Get(parent), container.Get());
        EXPECT_EQ(child->Get(weak), user.Get());
        // A weak member holds no count: the objects die with their last handle here.
        EXPECT_EQ(BlockRefCount(user.Get()), 1);
    }
    EXPECT_TRUE(child->Get(parent)->IsNil());
    EXPECT_TRUE(child->Get(weak)->IsNil());
}

} // namespace
