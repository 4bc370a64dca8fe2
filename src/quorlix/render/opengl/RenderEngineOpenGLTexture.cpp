// The OpenGL engine's texture side: the residency of each texture (placeholder, load within the
// frame's budget, download), the texture objects it builds from images, the base stage's
// texture binding and the deletion of names whose textures were released on any thread.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Timer.h"
#include "quorlix/image/Image.h"
#include "quorlix/log/Trace.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/render/internal/TextureRelease.h"
#include "quorlix/render/opengl/OpenGLAPI.h"
#include "quorlix/render/opengl/internal/RenderEngineOpenGL.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/VertexData.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace Quorlix {

namespace {

using GLenum = OpenGLAPI::GLenum;

constexpr GLenum k_Texture2D = 0x0DE1;
constexpr GLenum k_UnsignedByte = 0x1401;
constexpr GLenum k_Float = 0x1406;
constexpr GLenum k_UnpackAlignment = 0x0CF5;
constexpr GLenum k_MaxTextureSize = 0x0D33;
constexpr GLenum k_Rgb = 0x1907;
constexpr GLenum k_Rgba = 0x1908;
constexpr GLenum k_Luminance = 0x1909;
constexpr GLenum k_LuminanceAlpha = 0x190A;
constexpr GLenum k_Luminance8 = 0x8040;
constexpr GLenum k_Luminance8Alpha8 = 0x8045;
constexpr GLenum k_Rgb8 = 0x8051;
constexpr GLenum k_Rgba8 = 0x8058;
constexpr GLenum k_Modulate = 0x2100;
constexpr GLenum k_TextureEnvMode = 0x2200;
constexpr GLenum k_TextureEnv = 0x2300;
constexpr GLenum k_Linear = 0x2601;
constexpr GLenum k_LinearMipmapLinear = 0x2703;
constexpr GLenum k_TextureMagFilter = 0x2800;
constexpr GLenum k_TextureMinFilter = 0x2801;
constexpr GLenum k_TextureWrapS = 0x2802;
constexpr GLenum k_TextureWrapT = 0x2803;
constexpr GLenum k_Clamp = 0x2900;
constexpr GLenum k_Repeat = 0x2901;
constexpr GLenum k_ClampToEdge = 0x812F;
constexpr GLenum k_TextureCoordArray = 0x8078;
constexpr GLenum k_ColorArray = 0x8076;
constexpr GLenum k_Quads = 0x0007;
constexpr GLenum k_Lighting = 0x0B50;
constexpr GLenum k_DepthTest = 0x0B71;
constexpr GLenum k_CullFace = 0x0B44;
constexpr GLenum k_Fog = 0x0B60;
constexpr GLenum k_Blend = 0x0BE2;
constexpr GLenum k_SrcAlpha = 0x0302;
constexpr GLenum k_OneMinusSrcAlpha = 0x0303;
constexpr GLenum k_TextureMaxAnisotropy = 0x84FE;
constexpr GLenum k_MaxTextureMaxAnisotropy = 0x84FF;
constexpr GLenum k_TextureFilterControl = 0x8500;
constexpr GLenum k_TextureLodBias = 0x8501;

OpenGLAPI& GL = G_OpenGLAPI;

struct ReleasedEntry {
    uint32_t m_Name;
    uint32_t m_Owner;
};

// Function statics: textures may die during static destruction, after a namespace-scope list.
CriticalSection& ReleasedLock() {
    static CriticalSection* lock = new CriticalSection();
    return *lock;
}
std::vector<ReleasedEntry>& ReleasedList() {
    static auto* list = new std::vector<ReleasedEntry>();
    return *list;
}

// trunc(c * 255) as a byte; out-of-range values saturate and NaN gives 0.
uint8_t ColorByte(float c) {
    const double v = static_cast<double>(c) * 255.0;
    if (!(v > 0.0))
        return 0;
    return v >= 255.0 ? 255 : static_cast<uint8_t>(v);
}

bool Usable(const Image* image) {
    return image != nullptr && image->GetWidth() > 0 && image->GetHeight() > 0 &&
           image->GetBytesPerPixel() >= 1 && image->GetBytesPerPixel() <= 4 &&
           image->GetData() != nullptr && image->GetFormat() == 0;
}

// The next level when it is the proper half of `level` and can be uploaded; else null.
const Image* NextLevel(const Image* level) {
    const Image* next = level->GetMipMap();
    if (!Usable(next) || next->GetBytesPerPixel() != level->GetBytesPerPixel() ||
        next->GetWidth() != std::max(1, level->GetWidth() / 2) ||
        next->GetHeight() != std::max(1, level->GetHeight() / 2))
        return nullptr;
    return next;
}

// The first ShaderTexture with a texture in a surface, depth first; `budget` bounds the walk
// of layers that name each other.
const ShaderTexture* FindShaderTexture(const ScriptObject* e, int& budget) {
    if (e == nullptr || e->IsNil() || --budget < 0)
        return nullptr;
    if (const auto* t = dynamic_cast<const ShaderTexture*>(e)) {
        const Texture* texture = t->m_Texture.Get();
        return texture != nullptr && !texture->IsNil() ? t : nullptr;
    }
    if (const auto* phong = dynamic_cast<const ShaderPhong*>(e))
        return FindShaderTexture(phong->m_Color.Get(), budget);
    if (const auto* layer = dynamic_cast<const ShaderLayer*>(e))
        for (const Obj<ScriptObject>& l : layer->m_Layer)
            if (const ShaderTexture* t = FindShaderTexture(l.Get(), budget))
                return t;
    return nullptr;
}

} // namespace

namespace Internal {

void ListReleasedTexture(uint32_t name, uint32_t owner) noexcept {
    CriticalSectionLock lock(ReleasedLock());
    ReleasedList().push_back({name, owner});
}

void TakeReleasedTextures(uint32_t owner, std::vector<uint32_t>& out) {
    CriticalSectionLock lock(ReleasedLock());
    std::vector<ReleasedEntry>& list = ReleasedList();
    auto keep = list.begin();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->m_Owner == owner)
            out.push_back(it->m_Name);
        else
            *keep++ = *it;
    }
    list.erase(keep, list.end());
}

uint32_t NewTextureOwner() noexcept {
    static std::atomic<uint32_t> next{0};
    uint32_t id = next.fetch_add(1, std::memory_order_relaxed) + 1;
    if (id == 0) // after 2^32 engines
        id = next.fetch_add(1, std::memory_order_relaxed) + 1;
    return id;
}

} // namespace Internal

void RenderEngineOpenGL_D::InitializeTextures() {
    m_Owner = Internal::NewTextureOwner();
    m_MaxTextureSize = 0;
    GL.glGetIntegerv(k_MaxTextureSize, &m_MaxTextureSize);
    if (m_MaxTextureSize <= 0)
        m_MaxTextureSize = 256; // the least GL 1.1 guarantees
    m_MaxAnisotropy = 1.0f;
    if (GL.HasExtension(OpenGLAPI::k_GL_EXT_texture_filter_anisotropic)) {
        GL.glGetFloatv(k_MaxTextureMaxAnisotropy, &m_MaxAnisotropy);
        if (!(m_MaxAnisotropy >= 1.0f))
            m_MaxAnisotropy = 1.0f;
    }
    m_TextureLoadSeconds = 0.0;
    m_TexturesDeferred = 0;
    m_ForcePending = 0;
    m_BoundTexture = nullptr;
}

void RenderEngineOpenGL_D::DeleteTextureName(uint32_t name) {
    const auto it = m_TextureNames.find(name);
    if (it == m_TextureNames.end())
        return;
    m_Statistics->TextureReleased(it->second.m_Bytes);
    m_TextureNames.erase(it);
    if (m_Context != nullptr)
        GL.glDeleteTextures(1, &name);
}

void RenderEngineOpenGL_D::DeleteReleasedTextures() {
    m_Released.clear();
    Internal::TakeReleasedTextures(m_Owner, m_Released);
    for (const uint32_t name : m_Released)
        DeleteTextureName(name);
}

void RenderEngineOpenGL_D::DeleteAllTextures() {
    DeleteReleasedTextures();
    for (const auto& [name, entry] : m_TextureNames) {
        m_Statistics->TextureReleased(entry.m_Bytes);
        if (m_Context != nullptr)
            GL.glDeleteTextures(1, &name);
    }
    m_TextureNames.clear();
    m_BoundTexture = nullptr;
}

uint32_t RenderEngineOpenGL_D::NewTextureObject(Texture& texture, int64_t bytes) {
    uint32_t name = 0;
    GL.glGenTextures(1, &name);
    if (name == 0)
        return 0;
    m_TextureNames[name] = TextureEntry{bytes, m_FrameNumber - 1};
    m_Statistics->TextureLoaded(bytes);
    texture.m_EngineTexture = name;
    texture.m_EngineOwner = m_Owner;
    GL.glBindTexture(k_Texture2D, name);
    return name;
}

void RenderEngineOpenGL_D::SetTextureParameters(const Texture& texture, bool mipmaps) {
    auto wrap = [](Texture2D::WrapMode mode) {
        if (mode == Texture2D::WrapMode::Repeat)
            return k_Repeat;
        return GL.HasExtension(OpenGLAPI::k_GL_EXT_texture_edge_clamp) ? k_ClampToEdge : k_Clamp;
    };
    const auto* texture2D = dynamic_cast<const Texture2D*>(&texture);
    const Texture2D::WrapMode u =
        texture2D != nullptr ? texture2D->m_WrapU : Texture2D::WrapMode::Repeat;
    const Texture2D::WrapMode v =
        texture2D != nullptr ? texture2D->m_WrapV : Texture2D::WrapMode::Repeat;
    GL.glTexParameteri(k_Texture2D, k_TextureWrapS, static_cast<int>(wrap(u)));
    GL.glTexParameteri(k_Texture2D, k_TextureWrapT, static_cast<int>(wrap(v)));
    GL.glTexParameteri(k_Texture2D, k_TextureMagFilter, static_cast<int>(k_Linear));
    GL.glTexParameteri(k_Texture2D, k_TextureMinFilter,
                       static_cast<int>(mipmaps ? k_LinearMipmapLinear : k_Linear));
    if (GL.HasExtension(OpenGLAPI::k_GL_EXT_texture_filter_anisotropic)) {
        const float a = texture.m_Anisotropic;
        const float clamped = a >= 1.0f ? std::min(a, m_MaxAnisotropy) : 1.0f; // NaN: 1
        GL.glTexParameteri(k_Texture2D, k_TextureMaxAnisotropy, static_cast<int>(clamped));
    }
}

void RenderEngineOpenGL_D::MakePlaceholder(Texture& texture) {
    TraceTop_("Texture download 1x1");
    const Vector4f& c = texture.m_DefaultColor;
    const uint8_t pixel[4] = {ColorByte(c.GetX()), ColorByte(c.GetY()), ColorByte(c.GetZ()),
                              ColorByte(c.GetW())};
    if (NewTextureObject(texture, 4) != 0) {
        GL.glPixelStorei(k_UnpackAlignment, 1);
        GL.glTexImage2D(k_Texture2D, 0, static_cast<int>(k_Rgba8), 1, 1, 0, k_Rgba, k_UnsignedByte,
                        pixel);
        SetTextureParameters(texture, texture.m_MipMapEnable);
    }
    texture.SetLoadState(k_TextureWaiting);
    TraceEnd_("Texture download 1x1");
}

void RenderEngineOpenGL_D::DownloadTexture(Texture& texture) {
    TraceTop_("Texture download");
    texture.SetLoadState(k_TextureDownloading);
    const Obj<Image> image = texture.TakeLoadedImage();
    // The top level: MaxTextureSizeShift levels down, then as far as the driver's limit needs.
    const Image* level = image.Get();
    bool usable = Usable(level);
    if (usable) {
        for (int i = std::clamp(m_Textures.m_MaxTextureSizeShift, 0, 15); i > 0; --i) {
            const Image* next = NextLevel(level);
            if (next == nullptr)
                break;
            level = next;
        }
        while (level->GetWidth() > m_MaxTextureSize || level->GetHeight() > m_MaxTextureSize) {
            const Image* next = NextLevel(level);
            if (next == nullptr) {
                Internal::LogScriptError("Texture download: image ", level->GetWidth(), "x",
                                         level->GetHeight(),
                                         " not supported (hardware or software).");
                usable = false;
                break;
            }
            level = next;
        }
    } else if (level != nullptr && level->GetFormat() != 0) {
        Internal::LogScriptError("Texture download: format ", level->GetFormat(),
                                 " not supported (hardware or software).");
    }
    // A failed download keeps the placeholder and stays in state 4: nothing retries it.
    if (!usable) {
        TraceEnd_("Texture download");
        return;
    }

    // Mipmap filtering only over a whole chain; a partial one would sample as black.
    int levels = 1;
    bool complete = level->GetWidth() == 1 && level->GetHeight() == 1;
    if (texture.m_MipMapEnable)
        for (const Image* l = NextLevel(level); l != nullptr; l = NextLevel(l)) {
            ++levels;
            complete = l->GetWidth() == 1 && l->GetHeight() == 1;
        }
    const bool mipmaps = texture.m_MipMapEnable && complete;
    if (!mipmaps)
        levels = 1;
    int64_t bytes = 0;
    {
        const Image* l = level;
        for (int i = 0; i < levels; ++i, l = l->GetMipMap())
            bytes += int64_t{l->GetWidth()} * l->GetHeight() * l->GetBytesPerPixel();
    }

    // The placeholder's object takes the image: redefining its one level replaces the pixel and
    // saves deleting a name and making another. Any other object could keep stale lower levels.
    uint32_t name = texture.m_EngineTexture;
    const auto placeholder = name != 0 ? m_TextureNames.find(name) : m_TextureNames.end();
    if (placeholder != m_TextureNames.end() && placeholder->second.m_Bytes == 4) {
        m_Statistics->TextureReleased(placeholder->second.m_Bytes);
        m_Statistics->TextureLoaded(bytes);
        placeholder->second.m_Bytes = bytes;
        GL.glBindTexture(k_Texture2D, name);
    } else {
        if (name != 0)
            DeleteTextureName(name);
        texture.m_EngineTexture = 0;
        texture.m_EngineOwner = 0;
        name = NewTextureObject(texture, bytes);
    }
    if (name != 0) {
        static constexpr GLenum k_Formats[4] = {k_Luminance, k_LuminanceAlpha, k_Rgb, k_Rgba};
        static constexpr GLenum k_Internal[4] = {k_Luminance8, k_Luminance8Alpha8, k_Rgb8, k_Rgba8};
        const int channels = level->GetBytesPerPixel();
        GL.glPixelStorei(k_UnpackAlignment, 1); // rows as the image keeps them, unpadded
        const Image* l = level;
        for (int i = 0; i < levels; ++i, l = l->GetMipMap())
            GL.glTexImage2D(k_Texture2D, i, static_cast<int>(k_Internal[channels - 1]),
                            l->GetWidth(), l->GetHeight(), 0, k_Formats[channels - 1],
                            k_UnsignedByte, l->GetData());
        SetTextureParameters(texture, mipmaps);
    }
    texture.SetLoadState(k_TextureIdle);
    TraceEnd_("Texture download");
}

void RenderEngineOpenGL_D::VisitTexture(Texture& texture, bool force) {
    if (m_Context == nullptr)
        return;
    if (texture.m_EngineTexture != 0 && texture.m_EngineOwner != m_Owner) {
        // Another context's name, maybe of an engine long gone: this engine starts afresh.
        texture.m_EngineTexture = 0;
        texture.m_EngineOwner = 0;
    }
    uint32_t state = texture.GetLoadState();
    if (texture.m_EngineTexture == 0 && state == k_TextureIdle) {
        MakePlaceholder(texture);
        state = k_TextureWaiting;
    }
    if (state == k_TextureWaiting) {
        const float limit = m_Textures.m_TextureLoadTimeLimit;
        // Forced loading ignores the budget and loads on this thread, beside any thread job.
        const bool go =
            force || (Texture::GetTextureThreadJobs() == 0 && m_Textures.m_EnableTexture != 0 &&
                      (limit < 0.0f || m_TextureLoadSeconds < limit));
        if (!go) {
            ++m_TexturesDeferred;
            m_Statistics->AddTextureDeferred(1);
        } else {
            TraceTop_("Texture loading");
            if (texture.GetGeneratedImage() == nullptr)
                texture.MakeGeneratedImage();
            if (Image* generated = texture.GetGeneratedImage()) {
                texture.SetLoadedImage(generated);
                texture.SetLoadState(k_TextureReady);
            } else {
                const int64_t start = Timer::GetSystemTimerTicks();
                texture.RequestLoad(force ? 0 : m_Textures.m_EnableTextureThread,
                                    m_Textures.m_ImagePath);
                const double seconds = Timer::TicksToSeconds(Timer::GetSystemTimerTicks() - start);
                m_TextureLoadSeconds += seconds;
                m_Statistics->AddTextureLoadSeconds(seconds);
            }
            TraceEnd_("Texture loading");
            state = texture.GetLoadState();
        }
    }
    if (state == k_TextureReady)
        DownloadTexture(texture);
}

bool RenderEngineOpenGL_D::ForceLoadTexture(Texture& texture) {
    VisitTexture(texture, true);
    const uint32_t state = texture.GetLoadState();
    const bool ready = m_Context != nullptr && texture.m_EngineTexture != 0 &&
                       (state == k_TextureIdle || state == k_TextureDownloading);
    if (!ready)
        ++m_ForcePending;
    return ready;
}

int RenderEngineOpenGL_D::GetTexturesPending() const {
    return m_ForcePending + m_TexturesDeferred;
}

void RenderEngineOpenGL_D::UnloadTextures() {
    m_ForcePending = 0;
    DeleteReleasedTextures();
}

void RenderEngineOpenGL_D::ResetTextureFigures() {
    m_TextureLoadSeconds = 0.0;
    m_TexturesDeferred = 0;
}

void RenderEngineOpenGL_D::BindTexture(const RenderShader* shader) {
    m_BoundTexture = nullptr;
    int budget = 64;
    const ShaderTexture* surface =
        shader != nullptr ? FindShaderTexture(shader->m_Surface.Get(), budget) : nullptr;
    if (surface != nullptr) {
        Texture& texture = *surface->m_Texture.Get();
        VisitTexture(texture, false);
        if (texture.m_EngineTexture != 0 && texture.m_EngineOwner == m_Owner) {
            GL.glBindTexture(k_Texture2D, texture.m_EngineTexture);
            GL.glTexEnvi(k_TextureEnv, k_TextureEnvMode, static_cast<int>(k_Modulate));
            if (GL.HasExtension(OpenGLAPI::k_GL_EXT_texture_lod_bias)) {
                const float bias = std::isfinite(texture.m_LODBias) ? texture.m_LODBias : 0.0f;
                GL.glTexEnvf(k_TextureFilterControl, k_TextureLodBias, bias);
            }
            const auto it = m_TextureNames.find(texture.m_EngineTexture);
            if (it != m_TextureNames.end() && it->second.m_Frame != m_FrameNumber) {
                it->second.m_Frame = m_FrameNumber;
                m_Statistics->AddTextureActive(it->second.m_Bytes);
            }
            m_BoundTexture = &texture;
            m_TexCoordSource = surface->m_TexCoordSource;
        }
    }
    if (m_BoundTexture == nullptr)
        GL.glDisable(k_Texture2D);
}

void RenderEngineOpenGL_D::ApplyTexCoords(const SPolygonGeometry& mesh, int vertexCount) {
    const float* coords = nullptr;
    if (m_BoundTexture != nullptr) {
        // The shader's pass when it holds coordinates for every vertex, else the first that does.
        auto coordsOf = [vertexCount](const ScriptObject* pass) -> const float* {
            const auto* data = dynamic_cast<const VertexDataVector2f*>(pass);
            if (data == nullptr || data->m_DataArray.Size() < vertexCount)
                return nullptr;
            return reinterpret_cast<const float*>(data->m_DataArray.Data());
        };
        const Array<Obj<ScriptObject>>& passes = mesh.m_VertexData;
        if (m_TexCoordSource >= 0 && m_TexCoordSource < passes.Size())
            coords = coordsOf(passes[m_TexCoordSource].Get());
        for (int i = 0; coords == nullptr && i < passes.Size(); ++i)
            coords = coordsOf(passes[i].Get());
    }
    // Without coordinates a texture would show one texel: such a mesh draws untextured.
    if (coords != nullptr) {
        GL.glTexCoordPointer(2, k_Float, 8, coords);
        GL.glEnableClientState(k_TextureCoordArray);
        GL.glEnable(k_Texture2D);
    } else {
        GL.glDisableClientState(k_TextureCoordArray);
        GL.glDisable(k_Texture2D);
    }
}

// Overlays: quads in client arrays, one draw call per batch.

void RenderEngineOpenGL_D::BeginOverlay(const Matrix4f& projection, const Matrix4f& modelView) {
    if (m_Context == nullptr)
        return;
    SetProjection(projection);
    SetModelView(modelView);
    GL.glDisable(k_Lighting);
    GL.glDisable(k_DepthTest);
    GL.glDepthMask(false);
    GL.glDisable(k_CullFace);
    GL.glDisable(k_Fog);
    GL.glEnable(k_Blend);
    GL.glBlendFunc(k_SrcAlpha, k_OneMinusSrcAlpha);
    GL.glEnableClientState(k_ColorArray);
}

void RenderEngineOpenGL_D::DrawOverlayQuads(RenderShader* shader, const OverlayVertex* vertices,
                                            int quadCount) {
    if (m_Context == nullptr || quadCount <= 0)
        return;
    BindTexture(shader);
    constexpr int k_Stride = sizeof(OverlayVertex);
    GL.glVertexPointer(2, k_Float, k_Stride, &vertices->m_X);
    GL.glColorPointer(4, k_Float, k_Stride, vertices->m_Color);
    if (m_BoundTexture != nullptr) {
        GL.glTexCoordPointer(2, k_Float, k_Stride, &vertices->m_U);
        GL.glEnableClientState(k_TextureCoordArray);
        GL.glEnable(k_Texture2D);
    } else {
        GL.glDisableClientState(k_TextureCoordArray);
        GL.glDisable(k_Texture2D);
    }
    GL.glDrawArrays(k_Quads, 0, 4 * quadCount);
    m_Statistics->AddTriangles(2 * static_cast<int64_t>(quadCount));
}

void RenderEngineOpenGL_D::EndOverlay() {
    if (m_Context == nullptr)
        return;
    GL.glDisableClientState(k_ColorArray);
    GL.glDisableClientState(k_TextureCoordArray);
    GL.glDisable(k_Blend);
    GL.glDepthMask(true);
    GL.glEnable(k_DepthTest);
    GL.glEnable(k_Lighting);
}

} // namespace Quorlix
