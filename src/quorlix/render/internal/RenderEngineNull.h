#pragma once
// The null engine: accepts every operation, draws nothing, counts each call by operation and,
// while a test asks for it, records the calls in order (a log of bounded length whose capacity
// is reserved when recording starts, so frames allocate nothing either way).

#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderStatistics.h"

#include <cstdint>
#include <vector>

namespace Quorlix::Internal {

class RenderEngineNull : public RenderEngine {
public:
    enum Op : int {
        OpInitialize,
        OpDeInitialize,
        OpSetTextureSettings,
        OpSetViewport,
        OpSetProjection,
        OpSetModelView,
        OpSetCullFrustumFactor,
        OpClearBuffers,
        OpSetAmbientColor,
        OpSetLight,
        OpSetLightCount,
        OpSetFog,
        OpSetGlobalMode,
        OpCloseGlobalModePair,
        OpEndGlobalMode,
        OpAcceptShaderAmbient,
        OpAcceptShaderBump,
        OpBindShaderBase,
        OpDrawGeometry,
        OpBeginOverlay,
        OpDrawOverlayQuads,
        OpEndOverlay,
        OpUnloadTextures,
        OpForceLoadTexture,
        OpSwapBuffers,
        OpReadPixels,
        OpCount
    };

    /// One recorded call. Fields an operation does not use stay 0 (null, identity).
    struct Call {
        Op m_Op = OpCount;
        int m_Int[4] = {};              // viewport x, y, w, h; mode; light index or count; quads
        float m_Float = 0.0f;           // cull frustum factor
        Vector3f m_Vector;              // ambient colour, clear colour, light colour
        const void* m_Object = nullptr; // geometry, shader, light, fog or texture
        int m_Layer = -1;               // DrawGeometry: the draw layer of the geometry's shader
        Matrix4f m_Matrix = Matrix4f::Identity; // the given matrix; the model-view when drawing
    };

    RenderEngineNull();
    ~RenderEngineNull() override;

    /// Calls of `op` since the engine was made (or counts were reset).
    int64_t GetCount(Op op) const noexcept { return m_Counts[op]; }
    void ResetCounts() noexcept;

    /// Empties the log and starts recording at most `capacity` calls into it; further calls
    /// are only counted in GetDropped. StopRecording keeps the log.
    void StartRecording(int capacity);
    void StopRecording() noexcept { m_Recording = false; }
    const std::vector<Call>& GetRecord() const noexcept { return m_Record; }
    int64_t GetDropped() const noexcept { return m_Dropped; }

    /// What the ambient and bump stages accept (both false at first) and what GetTexturesPending
    /// reports (0 at first).
    void SetAcceptStages(bool ambient, bool bump) noexcept;
    void SetTexturesPending(int pending) noexcept { m_TexturesPending = pending; }

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
    void SetGlobalMode(int mode) override;
    void CloseGlobalModePair() override;
    void EndGlobalMode() override;
    bool AcceptShaderAmbient(RenderShader* shader) override;
    bool AcceptShaderBump(RenderShader* shader) override;
    void BindShaderBase(RenderShader* shader) override;
    void DrawGeometry(TGeometry& geometry) override;
    void BeginOverlay(const Matrix4f& projection, const Matrix4f& modelView) override;
    void DrawOverlayQuads(RenderShader* shader, const OverlayVertex* vertices,
                          int quadCount) override;
    void EndOverlay() override;
    /// The corners of every overlay quad drawn since the last BeginOverlay, while recording.
    const std::vector<OverlayVertex>& GetOverlayVertices() const noexcept { return m_Overlay; }
    void UnloadTextures() override;
    bool ForceLoadTexture(Texture& texture) override;
    int GetTexturesPending() const override { return m_TexturesPending; }
    void SwapBuffers() override;
    bool ReadPixels(Image& image) override;
    RenderStatistics* GetRenderStatistics() override { return m_Statistics.Get(); }

private:
    // Counts the call; returns the log entry to fill while recording, else null.
    Call* Note(Op op) noexcept;

    int64_t m_Counts[OpCount] = {};
    std::vector<Call> m_Record;
    bool m_Recording = false;
    std::vector<OverlayVertex> m_Overlay;
    int64_t m_Dropped = 0;
    bool m_AcceptAmbient = false;
    bool m_AcceptBump = false;
    int m_TexturesPending = 0;
    Matrix4f m_ModelView = Matrix4f::Identity;
    Obj<RenderStatistics> m_Statistics;
    // The class table of the last polygon mesh drawn; forgotten at the end of each channel's
    // drawing, since class tables may be freed (and their memory reused) between frames.
    const void* m_PolygonTable = nullptr;
};

} // namespace Quorlix::Internal
