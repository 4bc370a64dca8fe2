#pragma once
// RenderEngineOpenGL_D: the engine that draws through OpenGL 1.1 fixed function, with entry
// points from G_OpenGLAPI. It makes its context on a platform window, estimates the texture
// memory, and draws polygon meshes with client vertex arrays. Textures show a 1 x 1 placeholder
// of their DefaultColor until their image is loaded (within the pipe's per-frame budget) and
// downloaded; the base stage draws a ShaderTexture's texture modulated by the material colour.
//
// Runs on the thread that initialised it. After the first frame, a frame allocates nothing.

#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderStatistics.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Quorlix {

class SPolygonGeometry;
namespace Platform {
struct GLContext;
struct WindowDesc;
} // namespace Platform

class RenderEngineOpenGL_D final : public RenderEngine {
public:
    RenderEngineOpenGL_D();
    ~RenderEngineOpenGL_D() override;

    /// The GL attributes a window for `format` must be made with (colour, alpha, depth and
    /// stencil bits, double buffering from the back-buffer count): the window system fixes a
    /// surface's format when the window is made, before any engine sees it.
    static void DescribeWindow(const RenderPipeFormat& format, Platform::WindowDesc& desc);

    int InitializeRenderEngine(Platform::Window* window, const RenderPipeFormat& format,
                               const RenderTextureSettings& textures) override;
    void DeInitializeRenderEngine() override;
    void SetTextureSettings(const RenderTextureSettings& textures) override;

    void SetViewport(int x, int y, int width, int height) override;
    void SetProjection(const Matrix4f& projection) override;
    void SetModelView(const Matrix4f& modelView) override;
    void SetCullFrustumFactor(float factor) override;
    void ClearBuffers(const RenderClearBlock& clear) override;

    void SetAmbientColor(const Vector3f& color) override;
    void SetLight(int index, const SLight& light, const Matrix4f& matrix) override;
    void SetLightCount(int count) override;
    void SetFog(const SFog* fog, const Matrix4f& matrix) override;

    /// Modes: 0 fills the depth buffer only, 2 and 3 add their light to what is drawn (equal
    /// depth, additive blending); 1, 4 and 5 draw normally.
    void SetGlobalMode(int mode) override;
    void CloseGlobalModePair() override;
    void EndGlobalMode() override;

    /// Fixed-function lighting draws ambient light with the base stage, and there is no bump
    /// stage yet: both refuse every shader.
    bool AcceptShaderAmbient(RenderShader* shader) override;
    bool AcceptShaderBump(RenderShader* shader) override;
    void BindShaderBase(RenderShader* shader) override;
    /// Draws polygon meshes (TPolygonGeometry and its subclasses); other geometry is skipped.
    void DrawGeometry(TGeometry& geometry) override;
    void BeginOverlay(const Matrix4f& projection, const Matrix4f& modelView) override;
    void DrawOverlayQuads(RenderShader* shader, const OverlayVertex* vertices,
                          int quadCount) override;
    void EndOverlay() override;

    /// Deletes the names of textures released (on any thread) since the last call, and starts
    /// the count of forced textures left pending afresh. ClearBuffers deletes them too.
    void UnloadTextures() override;
    /// Places, loads (on this thread, whatever the budget) and downloads `texture`; true when
    /// it has its texture object. A texture that stays behind counts as pending.
    bool ForceLoadTexture(Texture& texture) override;
    /// Textures forced since the last UnloadTextures that are not ready, plus the textures
    /// deferred since the last ClearBuffers.
    int GetTexturesPending() const override;

    /// One visit of the texture's residency: a texture without a name gets the placeholder
    /// (state 1); in state 1 it is loaded when no thread job runs, texturing is on and the
    /// frame's budget allows (else it counts as deferred); a ready image (state 3) is
    /// downloaded. `force` ignores the budget, the thread jobs and EnableTexture, and loads on
    /// this thread. State 2 is left alone.
    void VisitTexture(Texture& texture, bool force);
    /// Seconds spent in load requests and textures deferred since the last ClearBuffers.
    double GetTextureLoadSeconds() const noexcept { return m_TextureLoadSeconds; }
    int GetTexturesDeferred() const noexcept { return m_TexturesDeferred; }
    /// The driver's largest texture side.
    int GetMaxTextureSize() const noexcept { return m_MaxTextureSize; }

    void SwapBuffers() override;
    bool ReadPixels(Image& image) override;
    /// Fed with the triangles of each frame and the time of each swap; never null.
    RenderStatistics* GetRenderStatistics() override { return m_Statistics.Get(); }

    /// Triangles drawn in the last complete frame (up to the last SwapBuffers).
    int64_t GetTrianglesPerFrame() const noexcept { return m_TrianglesPerFrame; }
    /// Frames per second over the last half second or more of swaps; 0 before two swaps.
    float GetFPSAverage() const noexcept { return m_FPSAverage; }
    /// The texture memory estimate of the initialisation, in bytes.
    int GetTextureMemory() const noexcept { return m_TextureMemory; }
    /// Whether the context renders in software (llvmpipe, softpipe, ...).
    bool IsGenericFormat() const noexcept { return m_Generic; }
    const RenderTextureSettings& GetTextureSettings() const noexcept { return m_Textures; }

    /// Estimates the texture memory in bytes by filling textures until the driver evicts some;
    /// a software renderer gets 8388607. The swap interval is 0 while it runs.
    int DetectTextureMemory();
    /// Draws one mesh with client arrays after checking every index against the vertex count;
    /// a mesh that fails the check is not drawn at all.
    void DrawPolygonDataVL(const SPolygonGeometry& mesh);

private:
    int InitializeRenderWindow(Platform::Window* window);
    void ReleaseContext();
    void ApplyMaterial(const RenderMaterial* material, bool lighting);
    void ResetState();
    // The number of indices a mesh's primitives use; -1 (logged) for an unsupported mesh.
    int64_t IndicesNeeded(const SPolygonGeometry& mesh) const;
    bool CheckIndices(const SPolygonGeometry& mesh, int64_t needed) const;

    // Textures (RenderEngineOpenGLTexture.cpp).
    void InitializeTextures();
    void ResetTextureFigures();
    void MakePlaceholder(Texture& texture);
    void DownloadTexture(Texture& texture);
    // A new texture object for `texture`, bound and counted; 0 when GL gives none.
    uint32_t NewTextureObject(Texture& texture, int64_t bytes);
    void SetTextureParameters(const Texture& texture, bool mipmaps);
    void DeleteTextureName(uint32_t name);
    void DeleteReleasedTextures();
    void DeleteAllTextures();
    void BindTexture(const RenderShader* shader);
    void ApplyTexCoords(const SPolygonGeometry& mesh, int vertexCount);

    Platform::Window* m_Window = nullptr;
    Platform::GLContext* m_Context = nullptr;
    bool m_Loaded = false;         // LoadDLL succeeded (and needs its UnloadDLL)
    bool m_APIInitialized = false; // InitAPI succeeded
    bool m_ExtensionsInitialized = false;
    bool m_Generic = false;
    bool m_DoubleBuffer = false;
    bool m_FirstDraw = true;
    RenderPipeFormat m_Format;
    RenderTextureSettings m_Textures;
    int m_TextureMemory = 0;
    int m_MaxLights = 8;
    int m_LightCount = 0;
    int m_GlobalMode = 1;
    float m_CullFrustumFactor = 1.0f;
    int m_Viewport[4] = {0, 0, 0, 0};
    bool m_ViewportSet = false; // since the last swap: clears keep to the viewport

    Obj<RenderStatistics> m_Statistics;
    int64_t m_TrianglesThisFrame = 0;
    int64_t m_TrianglesPerFrame = 0;
    float m_FPSAverage = 0.0f;
    int64_t m_FPSWindowStart = 0; // performance counter at the first swap of the window
    int m_FPSFrames = 0;

    struct TextureEntry {
        int64_t m_Bytes;  // of every level downloaded
        uint64_t m_Frame; // the last frame that counted it as active
    };
    uint32_t m_Owner = 0; // this context's identity in Texture::m_EngineOwner
    std::unordered_map<uint32_t, TextureEntry> m_TextureNames; // every name this context holds
    std::vector<uint32_t> m_Released;                          // reused by UnloadTextures
    uint64_t m_FrameNumber = 1;                                // counts swaps
    int m_MaxTextureSize = 256;
    float m_MaxAnisotropy = 1.0f;
    double m_TextureLoadSeconds = 0.0;
    int m_TexturesDeferred = 0;
    int m_ForcePending = 0;
    Texture* m_BoundTexture = nullptr; // the base stage's texture until the next bind
    int m_TexCoordSource = 0;
};

} // namespace Quorlix
