// The render, shader, texture and material classes as the registry lists them, their defaults,
// and the references that accept only their own class.

#include "quorlix/image/ImageLayer.h"
#include "quorlix/library/Library.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Texture.h"
#include "support/LogCapture.h"
#include "support/RegistryCheck.h"

#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class RenderClasses : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

constexpr int k_WrapMode = -3924 & 0xFFF;

const std::vector<RegistryClass>& RenderRegistry() {
    static const std::vector<RegistryClass> classes = {
        {"RenderPipe",
         -3968,
         -4032,
         {{1, "RenderEngineType", k_Str, 0, "Auto"},
          {2, "Fullscreen", k_Bool, 0, false},
          {3, "Resolution", k_V2, 0, Vector2f(640, 480)},
          {4, "RefreshRate", k_F32, 0, 70.0f},
          {5, "SwapInterval", k_I32, 0, 0},
          {6, "ColorBits", k_I32, 0, 16},
          {7, "AlphaBits", k_I32, 0, 0},
          {8, "DepthBits", k_I32, 0, 16},
          {9, "StencilBits", k_I32, 0, 0},
          {10, "BufferBackColorCount", k_I32, 0, 1},
          {11, "BufferBackgroundColorCount", k_I32, 0, 0},
          {12, "BufferBackgroundDepthStencilCount", k_I32, 0, 0},
          {13, "BufferFrontColorAccessEnable", k_Bool, 0, false},
          {14, "BufferBackColorAccessEnable", k_Bool, 0, false},
          {15, "BufferBackDepthStencilAccessEnable", k_Bool, 0, false},
          {16, "WindowBorderEnable", k_Bool, 0, true},
          {17, "WindowPosition", k_V2, 0, Vector2f(0, 0)},
          {18, "WindowTitle", k_Str, 0, ""},
          {19, "EnableTexture", k_I32, 0, 1},
          {20, "EnableTextureThread", k_I32, 0, 1},
          {21, "MaxTextureUnit", k_I32, 0, 8},
          {22, "WindowVisibility", k_Bool, 0, true},
          {23, "TextureLoadTimeLimit", k_F32, 0, -1.0f},
          {24, "ImagePath", k_Str, 0, "Images/"},
          {25, "WindowResizeable", k_Bool, 0, true},
          {26, "WindowMaximize", k_Bool, 0, false},
          {27, "MaxTextureSizeShift", k_I32, 0, 0}}},
        {"RenderChannel",
         -3967,
         -4032,
         {{1, "SceneRoot", k_Obj, 0x1200},
          {2, "Camera", k_Obj, 0x1200},
          {3, "Viewport", k_V4, 0, Vector4f(0, 1, 0, 1)},
          {4, "Clipping", k_V2, 0, Vector2f(0.5f, 1024.0f)},
          {5, "CullFrustumFactor", k_F32, 0, 1.0f},
          {6, "Enable", k_Bool, 0, true},
          {7, "ColorClearEnable", k_Bool, 0, true},
          {8, "ColorClearValue", k_V3, 0, Vector3f(0.25f, 0.25f, 0.25f)},
          {9, "AlphaClearEnable", k_Bool, 0, false},
          {10, "AlphaClearValue", k_F32, 0, 1.0f},
          {11, "DepthClearEnable", k_Bool, 0, true},
          {12, "DepthClearValue", k_F64, 0, 1.0},
          {13, "StencilClearEnable", k_Bool, 0, false},
          {14, "StencilClearValue", k_U32, 0, 0u},
          {15, "BufferBackgroundColorIndex", k_I32, 0, -1},
          {16, "BufferBackgroundDepthStencilIndex", k_I32, 0, -1},
          {17, "DrawMask", k_U32, 0, 0x7FFFFFFFu},
          {18, "ExcludeMask", k_U32, 0, 0x80000000u}}},
        {"RenderShader",
         -3966,
         -4032,
         {{1, "Surface", k_Obj, 0x1200},
          {2, "MultiDrawLayer", k_I32, 0, 16},
          {3, "LightEnable", k_Bool, 0, true},
          {4, "DepthTestEnable", k_Bool, 0, true},
          {5, "CullEnable", k_Bool, 0, true},
          {6, "DepthWriteEnable", k_Bool, 0, true},
          {7, "DepthBias", k_V2, 0, Vector2f(0, 0)}}},
        {"ShaderExpression", -3965, -4032, {}},
        {"ShaderPhong",
         -3964,
         -3965,
         {{1, "Color", k_Obj, 0x1200},
          {2, "Ambient", k_Obj, 0x1200},
          {3, "Bump", k_Obj, 0x1200},
          {4, "Reflection", k_Obj, 0x1200},
          {5, "Material", k_Obj, 0x1200}}},
        {"ShaderTexture",
         -3963,
         -3965,
         {{1, "Texture", k_Obj, 0x1200},
          {2, "TexCoordSource", k_I32, 0, 0},
          {3, "TexCoordTransform", k_Obj, 0x1200}}},
        {"ShaderLayer", -3962, -3965, {{1, "Layer", k_Obj, 0x2600}}},
        {"Texture",
         -3957,
         -4032,
         {{1, "FileObject", k_Obj, 0x1200},
          {2, "DefaultColor", k_V4, 0, Vector4f(0.5f, 0.5f, 0.5f, 1.0f)},
          {3, "MipMapEnable", k_Bool, 0, true},
          {4, "Anisotropic", k_F32, 0, 1.0f},
          {5, "LODBias", k_F32, 0, 0.0f},
          {6, "ImageLayer", k_Obj, 0x1200}}},
        {"Texture2D",
         -3956,
         -3957,
         {{1, "WrapU", k_Enum, 0, EnumeratorDefault{k_WrapMode, 2}},
          {2, "WrapV", k_Enum, 0, EnumeratorDefault{k_WrapMode, 2}}}},
        {"TileTexture2D", -3960, -3956, {{1, "TileTexCoordArray", k_V2, 0x800}}},
        {"FontTexture2D",
         -3955,
         -3956,
         {{1, "FontName", k_Str, 0, "Tahoma"},
          {2, "FontWeight", k_F32, 0, 0.0f},
          {3, "FontItalic", k_F32, 0, 0.0f},
          {4, "FakeShadow", k_V2, 0, Vector2f(0, 0)},
          {5, "ImageSize", k_V2, 0, Vector2f(256, 256)},
          {6, "CharacterSize", k_V2, 0, Vector2f(0, 32)},
          {7, "CharacterDistance", k_V2, 0, Vector2f(4, 4)},
          {8, "CharacterMap", k_Str, 0,
           " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmno"
           "pqrstuvwxyz{|}~"}}},
        {"RenderMaterial",
         -3959,
         -4032,
         {{1, "AmbientColor", k_V3, 0, Vector3f(0.8f, 0.8f, 0.8f)},
          {2, "DiffuseColor", k_V3, 0, Vector3f(0.8f, 0.8f, 0.8f)},
          {3, "SpecularColor", k_V3, 0, Vector3f(0, 0, 0)},
          {4, "EmissionColor", k_V3, 0, Vector3f(0, 0, 0)},
          {5, "Shininess", k_F32, 0, 20.0f},
          {6, "Transparency", k_F32, 0, 0.0f}}},
    };
    return classes;
}

TEST_F(RenderClasses, RegistryAndDefaultsMatchTheTable) {
    for (const RegistryClass& c : RenderRegistry()) {
        ExpectRegistered(c);
        ExpectDefaults(c);
    }
    ExpectEnumeration({"Texture2D.WrapModeEnum", -3924, "Texture2D", {"Clamp", "Repeat"}});
    // 95 characters, blank to tilde.
    EXPECT_EQ(std::strlen(FontTexture2D::k_PrintableASCII), 95u);

    // Creation through the registry and through Create gives the same native type.
    Obj<ScriptObject> made = ScriptObject::Create(MakeTypeID(-3955));
    Obj<FontTexture2D> created = FontTexture2D::Create();
    EXPECT_EQ(made->GetTypeInfo(), FontTexture2D::GetFontTexture2DTypeInfo());
    EXPECT_EQ(created->GetTypeInfo(), FontTexture2D::GetFontTexture2DTypeInfo());
    EXPECT_EQ(created->GetObjectClassID(), MakeTypeID(-3955));
}

TEST_F(RenderClasses, TypedMembersRefuseOtherClasses) {
    Obj<RenderShader> shader = RenderShader::Create();
    Obj<ShaderPhong> phong = ShaderPhong::Create();
    Obj<Texture2D> texture = Texture2D::Create();
    const auto* surface = MemberIDOf<ClassMember_Object>(1, -3966 & 0xFFF);
    const auto* layer = MemberIDOf<ClassMember_Object>(6, -3957 & 0xFFF);
    const auto* wrapU = MemberIDOf<ClassMember_Enum>(1, -3956 & 0xFFF);
    {
        // Derived classes are accepted.
        shader->Set(surface, phong.Get());
        EXPECT_EQ(shader->m_Surface.Get(), phong.Get());
        Obj<GroupLayer> group = GroupLayer::Create();
        texture->Set(layer, group.Get());
        EXPECT_EQ(texture->m_ImageLayer.Get(), group.Get());
        texture->Set(wrapU, MemberIDOf<ClassType_Enum>(1, k_WrapMode));
        EXPECT_EQ(texture->m_WrapU, Texture2D::WrapMode::Clamp);
    }
    {
        // Other classes and foreign enumerators are refused and logged; nothing changes.
        LogCapture log;
        shader->Set(surface, texture.Get());
        Obj<TransformLayer> transform = TransformLayer::Create();
        texture->Set(layer, transform.Get());
        texture->Set(wrapU, MemberIDOf<ClassType_Enum>(2, -3916 & 0xFFF));
        EXPECT_EQ(shader->m_Surface.Get(), phong.Get());
        EXPECT_NE(texture->m_ImageLayer.Get(), nullptr);
        EXPECT_EQ(texture->m_WrapU, Texture2D::WrapMode::Clamp);
        const std::vector<std::string> expected = {
            "[Error]RenderShader.Surface: object of the wrong class refused.",
            "[Error]Texture.ImageLayer: object of the wrong class refused.",
            "[Error]Texture2D.WrapU: enumerator of another enumeration refused.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
    {
        // A texture's file must be a FileObject: another class is refused and clears it, where
        // the channel's node references keep their value.
        const auto* file = MemberIDOf<ClassMember_Object>(1, -3957 & 0xFFF);
        Obj<FileObject> image = FileObject::Create();
        texture->Set(file, image.Get());
        EXPECT_EQ(texture->GetFileObject(), image.Get());
        Obj<RenderChannel> channel = RenderChannel::Create();
        const auto* root = MemberIDOf<ClassMember_Object>(1, -3967 & 0xFFF);
        const auto* camera = MemberIDOf<ClassMember_Object>(2, -3967 & 0xFFF);
        Obj<TBranch> scene = TBranch::Create();
        Obj<TLeaf> eye = TLeaf::Create();
        channel->Set(root, scene.Get());
        channel->Set(camera, eye.Get());
        LogCapture log;
        texture->Set(file, phong.Get());
        channel->Set(root, image.Get());
        channel->Set(camera, scene->GetSNode());
        EXPECT_TRUE(texture->Get(file)->IsNil());
        EXPECT_EQ(channel->Get(root), scene.Get());
        EXPECT_EQ(channel->Get(camera), eye.Get());
        const std::vector<std::string> expected = {
            "[Error]Texture.FileObject: object of the wrong class refused.",
            "[Error]RenderChannel.SceneRoot: object of the wrong class refused.",
            "[Error]RenderChannel.Camera: object of the wrong class refused.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
}

} // namespace
