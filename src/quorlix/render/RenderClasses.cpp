#include "quorlix/render/RenderClasses.h"

#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/script/ClassBinding.h"

namespace Quorlix {

using namespace Bind;

namespace {

constexpr unsigned k_Ref = MemberObjectLink | MemberObjectSingle;                     // 0x1200
constexpr unsigned k_RefArray = MemberObjectIndex | MemberObjectLink | MemberIsIndex; // 0x2600

using RP = RenderPipe;
const MemberRow k_RenderPipeRows[] = {
    Field<&RP::m_RenderEngineType>("RenderEngineType", 1).Default("Auto"),
    Field<&RP::m_Fullscreen>("Fullscreen", 2).Default(false),
    Property<&RP::GetResolution, &RP::SetResolution>("Resolution", 3).Default(Vector2f(640, 480)),
    Field<&RP::m_RefreshRate>("RefreshRate", 4).Default(70.0f),
    Field<&RP::m_SwapInterval>("SwapInterval", 5).Default(0),
    Field<&RP::m_ColorBits>("ColorBits", 6).Default(16),
    Field<&RP::m_AlphaBits>("AlphaBits", 7).Default(0),
    Field<&RP::m_DepthBits>("DepthBits", 8).Default(16),
    Field<&RP::m_StencilBits>("StencilBits", 9).Default(0),
    Field<&RP::m_BufferBackColorCount>("BufferBackColorCount", 10).Default(1),
    Field<&RP::m_BufferBackgroundColorCount>("BufferBackgroundColorCount", 11).Default(0),
    Field<&RP::m_BufferBackgroundDepthStencilCount>("BufferBackgroundDepthStencilCount", 12)
        .Default(0),
    Field<&RP::m_BufferFrontColorAccessEnable>("BufferFrontColorAccessEnable", 13).Default(false),
    Field<&RP::m_BufferBackColorAccessEnable>("BufferBackColorAccessEnable", 14).Default(false),
    Field<&RP::m_BufferBackDepthStencilAccessEnable>("BufferBackDepthStencilAccessEnable", 15)
        .Default(false),
    Field<&RP::m_WindowBorderEnable>("WindowBorderEnable", 16).Default(true),
    Property<&RP::GetWindowPosition, &RP::SetWindowPosition>("WindowPosition", 17)
        .Default(Vector2f(0, 0)),
    Property<&RP::GetWindowTitle, &RP::SetWindowTitle>("WindowTitle", 18).Default(""),
    Property<&RP::GetEnableTexture, &RP::SetEnableTexture>("EnableTexture", 19).Default(1),
    Property<&RP::GetEnableTextureThread, &RP::SetEnableTextureThread>("EnableTextureThread", 20)
        .Default(1),
    Property<&RP::GetMaxTextureUnit, &RP::SetMaxTextureUnit>("MaxTextureUnit", 21).Default(8),
    Property<&RP::GetWindowVisibility, &RP::SetWindowVisibility>("WindowVisibility", 22)
        .Default(true),
    Property<&RP::GetTextureLoadTimeLimit, &RP::SetTextureLoadTimeLimit>("TextureLoadTimeLimit", 23)
        .Default(-1.0f),
    Property<&RP::GetImagePath, &RP::SetImagePath>("ImagePath", 24).Default("Images/"),
    Property<&RP::GetWindowResizeable, &RP::SetWindowResizeable>("WindowResizeable", 25)
        .Default(true),
    Property<&RP::GetWindowMaximize, &RP::SetWindowMaximize>("WindowMaximize", 26).Default(false),
    Property<&RP::GetMaxTextureSizeShift, &RP::SetMaxTextureSizeShift>("MaxTextureSizeShift", 27)
        .Default(0),
};

using RC = RenderChannel;
const MemberRow k_RenderChannelRows[] = {
    Field<&RC::m_SceneRoot>("SceneRoot", 1, k_Ref),
    Field<&RC::m_Camera>("Camera", 2, k_Ref),
    Property<&RC::GetViewport, &RC::SetViewport>("Viewport", 3).Default(Vector4f(0, 1, 0, 1)),
    Property<&RC::GetClipping, &RC::SetClipping>("Clipping", 4).Default(Vector2f(0.5f, 1024.0f)),
    Field<&RC::m_CullFrustumFactor>("CullFrustumFactor", 5).Default(1.0f),
    Field<&RC::m_Enable>("Enable", 6).Default(true),
    Field<&RC::m_ColorClearEnable>("ColorClearEnable", 7).Default(true),
    Field<&RC::m_ColorClearValue>("ColorClearValue", 8).Default(Vector3f(0.25f, 0.25f, 0.25f)),
    Field<&RC::m_AlphaClearEnable>("AlphaClearEnable", 9).Default(false),
    Field<&RC::m_AlphaClearValue>("AlphaClearValue", 10).Default(1.0f),
    Field<&RC::m_DepthClearEnable>("DepthClearEnable", 11).Default(true),
    Field<&RC::m_DepthClearValue>("DepthClearValue", 12).Default(1.0),
    Field<&RC::m_StencilClearEnable>("StencilClearEnable", 13).Default(false),
    Field<&RC::m_StencilClearValue>("StencilClearValue", 14).Default(0u),
    Field<&RC::m_BufferBackgroundColorIndex>("BufferBackgroundColorIndex", 15).Default(-1),
    Field<&RC::m_BufferBackgroundDepthStencilIndex>("BufferBackgroundDepthStencilIndex", 16)
        .Default(-1),
    Field<&RC::m_DrawMask>("DrawMask", 17).Default(0x7FFFFFFFu),
    Field<&RC::m_ExcludeMask>("ExcludeMask", 18).Default(0x80000000u),
};

using RS = RenderShader;
const MemberRow k_RenderShaderRows[] = {
    Field<&RS::m_Surface>("Surface", 1, k_Ref),
    Field<&RS::m_MultiDrawLayer>("MultiDrawLayer", 2).Default(16),
    Field<&RS::m_LightEnable>("LightEnable", 3).Default(true),
    Field<&RS::m_DepthTestEnable>("DepthTestEnable", 4).Default(true),
    Field<&RS::m_CullEnable>("CullEnable", 5).Default(true),
    Field<&RS::m_DepthWriteEnable>("DepthWriteEnable", 6).Default(true),
    Field<&RS::m_DepthBias>("DepthBias", 7).Default(Vector2f(0, 0)),
};

const MemberRow k_ShaderPhongRows[] = {
    Field<&ShaderPhong::m_Color>("Color", 1, k_Ref),
    Field<&ShaderPhong::m_Ambient>("Ambient", 2, k_Ref),
    Field<&ShaderPhong::m_Bump>("Bump", 3, k_Ref),
    Field<&ShaderPhong::m_Reflection>("Reflection", 4, k_Ref),
    Field<&ShaderPhong::m_Material>("Material", 5, k_Ref),
};

const MemberRow k_ShaderTextureRows[] = {
    Field<&ShaderTexture::m_Texture>("Texture", 1, k_Ref),
    Field<&ShaderTexture::m_TexCoordSource>("TexCoordSource", 2).Default(0),
    Field<&ShaderTexture::m_TexCoordTransform>("TexCoordTransform", 3, k_Ref),
};

const MemberRow k_ShaderLayerRows[] = {
    Field<&ShaderLayer::m_Layer>("Layer", 1, k_RefArray),
};

const MemberRow k_TextureRows[] = {
    ClearingProperty<&Texture::GetFileObject, &Texture::SetFileObject>("FileObject", 1, k_Ref),
    Field<&Texture::m_DefaultColor>("DefaultColor", 2).Default(Vector4f(0.5f, 0.5f, 0.5f, 1.0f)),
    Field<&Texture::m_MipMapEnable>("MipMapEnable", 3).Default(true),
    Field<&Texture::m_Anisotropic>("Anisotropic", 4).Default(1.0f),
    Field<&Texture::m_LODBias>("LODBias", 5).Default(0.0f),
    Field<&Texture::m_ImageLayer>("ImageLayer", 6, k_Ref),
};

const MemberRow k_Texture2DRows[] = {
    Field<&Texture2D::m_WrapU>("WrapU", 1).Enumeration(k_ClassTexture2DWrapModeEnum).Default(1u),
    Field<&Texture2D::m_WrapV>("WrapV", 2).Enumeration(k_ClassTexture2DWrapModeEnum).Default(1u),
};

const MemberRow k_TileTexture2DRows[] = {
    Field<&TileTexture2D::m_TileTexCoordArray>("TileTexCoordArray", 1, MemberIsArray),
};

using FT = FontTexture2D;
const MemberRow k_FontTexture2DRows[] = {
    Field<&FT::m_FontName>("FontName", 1).Default("Tahoma"),
    Field<&FT::m_FontWeight>("FontWeight", 2).Default(0.0f),
    Field<&FT::m_FontItalic>("FontItalic", 3).Default(0.0f),
    Field<&FT::m_FakeShadow>("FakeShadow", 4).Default(Vector2f(0, 0)),
    Field<&FT::m_ImageSize>("ImageSize", 5).Default(Vector2f(256, 256)),
    Field<&FT::m_CharacterSize>("CharacterSize", 6).Default(Vector2f(0, 32)),
    Field<&FT::m_CharacterDistance>("CharacterDistance", 7).Default(Vector2f(4, 4)),
    Field<&FT::m_CharacterMap>("CharacterMap", 8).Default(FT::k_PrintableASCII),
};

using RM = RenderMaterial;
const MemberRow k_RenderMaterialRows[] = {
    Field<&RM::m_AmbientColor>("AmbientColor", 1).Default(Vector3f(0.8f, 0.8f, 0.8f)),
    Field<&RM::m_DiffuseColor>("DiffuseColor", 2).Default(Vector3f(0.8f, 0.8f, 0.8f)),
    Field<&RM::m_SpecularColor>("SpecularColor", 3).Default(Vector3f(0, 0, 0)),
    Field<&RM::m_EmissionColor>("EmissionColor", 4).Default(Vector3f(0, 0, 0)),
    Field<&RM::m_Shininess>("Shininess", 5).Default(20.0f),
    Field<&RM::m_Transparency>("Transparency", 6).Default(0.0f),
};

const MemberRow k_WrapModeRows[] = {
    Enumerator("Clamp", 1, 0),
    Enumerator("Repeat", 2, 1),
};

} // namespace

void BindRenderClasses() {
    BindClass(NativeClass<RenderPipe>(k_ClassRenderPipe, k_ClassObject, "RenderPipe")
                  .Members(k_RenderPipeRows));
    BindClass(NativeClass<RenderChannel>(k_ClassRenderChannel, k_ClassObject, "RenderChannel")
                  .Members(k_RenderChannelRows));
    BindClass(NativeClass<RenderShader>(k_ClassRenderShader, k_ClassObject, "RenderShader")
                  .Members(k_RenderShaderRows));
}

void BindShaderClasses() {
    BindClass(
        NativeClass<ShaderExpression>(k_ClassShaderExpression, k_ClassObject, "ShaderExpression"));
    BindClass(NativeClass<ShaderPhong>(k_ClassShaderPhong, k_ClassShaderExpression, "ShaderPhong")
                  .Members(k_ShaderPhongRows));
    BindClass(
        NativeClass<ShaderTexture>(k_ClassShaderTexture, k_ClassShaderExpression, "ShaderTexture")
            .Members(k_ShaderTextureRows));
    BindClass(NativeClass<ShaderLayer>(k_ClassShaderLayer, k_ClassShaderExpression, "ShaderLayer")
                  .Members(k_ShaderLayerRows));
}

void BindTextureClasses() {
    BindClass(
        NativeClass<Texture>(k_ClassTexture, k_ClassObject, "Texture").Members(k_TextureRows));
    BindClass(NativeClass<Texture2D>(k_ClassTexture2D, k_ClassTexture, "Texture2D")
                  .Members(k_Texture2DRows));
    BindClass(NativeClass<TileTexture2D>(k_ClassTileTexture2D, k_ClassTexture2D, "TileTexture2D")
                  .Members(k_TileTexture2DRows));
    BindClass(NativeClass<FontTexture2D>(k_ClassFontTexture2D, k_ClassTexture2D, "FontTexture2D")
                  .Members(k_FontTexture2DRows));
}

void BindRenderMaterialClass() {
    BindClass(NativeClass<RenderMaterial>(k_ClassRenderMaterial, k_ClassObject, "RenderMaterial")
                  .Members(k_RenderMaterialRows));
}

void BindRenderEnumerations() {
    BindClass(PlainClass(k_ClassTexture2DWrapModeEnum, k_ClassScriptObject,
                         "Texture2D.WrapModeEnum", Kind_Enum, "Texture2D")
                  .Members(k_WrapModeRows));
}

} // namespace Quorlix
