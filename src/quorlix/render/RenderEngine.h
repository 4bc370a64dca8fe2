#pragma once
// RenderEngine: what the frame loop asks of a drawing back end. A pipe owns one (a counted
// object, made by RenderEngine::Create and initialised on the pipe's window); the traversal
// (RenderSystemTraverse_D) sets viewport, projection and lights, hands it draw records and
// ends the frame. Engines: 0 and 1 the OpenGL engine, 2 reserved for a DirectX 8 engine that
// this build does not have. The null engine draws nothing and counts what it was asked; it
// serves hosts and tests that must run without GL.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class Image;
class RenderPipe;
class RenderShader;
class RenderStatistics;
class SFog;
class SLight;
class TGeometry;
class Texture;

namespace Platform {
class Window;
}

/// The pipe's pixel format and buffer layout, handed to the engine at initialisation.
struct QUORLIX_API RenderPipeFormat {
    bool m_Fullscreen = false;
    int32_t m_Width = 640;
    int32_t m_Height = 480;
    int32_t m_RefreshRate = 70; // 0 means any
    int32_t m_SwapInterval = 0;
    int32_t m_ColorBits = 16;
    int32_t m_AlphaBits = 0;
    int32_t m_DepthBits = 16;
    int32_t m_StencilBits = 0;
    int32_t m_BufferBackColorCount = 1;
    int32_t m_BufferBackgroundColorCount = 0;
    int32_t m_BufferBackgroundDepthStencilCount = 0;
    bool m_BufferFrontColorAccessEnable = false;
    bool m_BufferBackColorAccessEnable = false;
    bool m_BufferBackDepthStencilAccessEnable = false;
};

/// The pipe's texture settings; handed over as one block whenever one of them changes.
struct QUORLIX_API RenderTextureSettings {
    int32_t m_EnableTexture = 1;
    int32_t m_EnableTextureThread = 1;
    int32_t m_MaxTextureUnit = 8;
    float m_TextureLoadTimeLimit = -1.0f; // seconds per frame; negative means no budget
    String m_ImagePath{"Images/"};
    int32_t m_MaxTextureSizeShift = 0;
    uint32_t m_Reserved = 0x10000;
};

/// A channel's clear settings (its members 7 to 16) as handed to the engine.
struct QUORLIX_API RenderClearBlock {
    bool m_ColorClearEnable = true;
    Vector3f m_ColorClearValue{0.25f, 0.25f, 0.25f};
    bool m_AlphaClearEnable = false;
    float m_AlphaClearValue = 1.0f;
    bool m_DepthClearEnable = true;
    double m_DepthClearValue = 1.0;
    bool m_StencilClearEnable = false;
    uint32_t m_StencilClearValue = 0;
    int32_t m_BufferBackgroundColorIndex = -1;
    int32_t m_BufferBackgroundDepthStencilIndex = -1;
};

/// One corner of an overlay quad: its position in the overlay's space, texture coordinates
/// and colour (RGBA, multiplied with the texture).
struct QUORLIX_API OverlayVertex {
    float m_X = 0, m_Y = 0;
    float m_U = 0, m_V = 0;
    float m_Color[4] = {1, 1, 1, 1};
};

class QUORLIX_API RenderEngine {
public:
    /// Engine types of Create.
    enum RenderEngineType : int32_t { TypeOpenGL0 = 0, TypeOpenGL = 1, TypeDirectX8 = 2 };

    /// A new engine of `type` (count 0), not yet initialised; null for a type this build has
    /// no engine for (2 and anything unknown).
    static RenderEngine* Create(int32_t type);
    /// A new null engine (count 0): accepts everything, draws nothing, counts calls.
    static RenderEngine* CreateNull();

    RenderEngine() = default;
    RenderEngine(const RenderEngine&) = delete;
    RenderEngine& operator=(const RenderEngine&) = delete;
    virtual ~RenderEngine();

    /// Creates the drawing context on `window` (null for the null engine) with `format` and
    /// `textures`. Returns SOK or a failure code; on failure the engine is left uninitialised.
    virtual int InitializeRenderEngine(Platform::Window* window, const RenderPipeFormat& format,
                                       const RenderTextureSettings& textures) = 0;
    virtual void DeInitializeRenderEngine() = 0;
    virtual void SetTextureSettings(const RenderTextureSettings& textures) = 0;

    /// Viewport in window pixels, origin at the lower left.
    virtual void SetViewport(int x, int y, int width, int height) = 0;
    virtual void SetProjection(const Matrix4f& projection) = 0;
    virtual void SetModelView(const Matrix4f& modelView) = 0;
    /// A culling frustum narrower than the view (factor below 1) is handed on as well.
    virtual void SetCullFrustumFactor(float factor) = 0;
    virtual void ClearBuffers(const RenderClearBlock& clear) = 0;

    virtual void SetAmbientColor(const Vector3f& color) = 0;
    /// Light `index` (0 up) at `matrix` (its world-to-view placement).
    virtual void SetLight(int index, const SLight& light, const Matrix4f& matrix) = 0;
    virtual void SetLightCount(int count) = 0;
    /// Null `fog` switches fog off.
    virtual void SetFog(const SFog* fog, const Matrix4f& matrix) = 0;

    /// Pass modes 0 to 5 of the frame; mode 1 is the ordinary lit pass.
    virtual void SetGlobalMode(int mode) = 0;
    /// Closes the pair of modes 4 and 5.
    virtual void CloseGlobalModePair() = 0;
    virtual void EndGlobalMode() = 0;

    /// The three stages of a draw record: ambient and bump draw when accepted; the base stage
    /// binds the shader (null: untextured defaults) before drawing.
    virtual bool AcceptShaderAmbient(RenderShader* shader) = 0;
    virtual bool AcceptShaderBump(RenderShader* shader) = 0;
    virtual void BindShaderBase(RenderShader* shader) = 0;
    virtual void DrawGeometry(TGeometry& geometry) = 0;

    /// Overlays (the widgets) draw over the finished scene: unlit, unfogged, without depth test
    /// or writes and without culling, blended by alpha. `projection` and `modelView` place the
    /// overlay's space; EndOverlay restores the scene's state.
    virtual void BeginOverlay(const Matrix4f& projection, const Matrix4f& modelView) = 0;
    /// Draws `quadCount` quads (four corners each) with the texture of `shader`'s surface as
    /// BindShaderBase finds it (untextured when there is none or it is not loaded yet).
    virtual void DrawOverlayQuads(RenderShader* shader, const OverlayVertex* vertices,
                                  int quadCount) = 0;
    virtual void EndOverlay() = 0;

    /// Unloads textures released since the last frame and continues background loading.
    virtual void UnloadTextures() = 0;
    /// Loads `texture` now; true when it is ready.
    virtual bool ForceLoadTexture(Texture& texture) = 0;
    /// Textures still waiting to be loaded.
    virtual int GetTexturesPending() const = 0;

    virtual void SwapBuffers() = 0;
    /// Copies the colour buffer just drawn (before the swap) into `image` as 8-bit RGBA, rows
    /// bottom-up as images keep them. False when the engine cannot read pixels.
    virtual bool ReadPixels(Image& image) = 0;

    /// The engine's figures; never null.
    virtual RenderStatistics* GetRenderStatistics() = 0;
};

} // namespace Quorlix
