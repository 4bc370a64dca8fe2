#pragma once
// RenderStatistics: the figures an engine keeps about its frames and textures. The engine owns
// one (RenderEngine::GetRenderStatistics) and feeds it; hosts read the getters, for an overlay or
// a log. One thread: the frame's.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API RenderStatistics {
public:
    /// Frames the FPS average spans at most.
    static constexpr int k_FrameWindow = 16;

    /// New statistics (count 0), all figures 0.
    static RenderStatistics* Create();

    RenderStatistics() noexcept = default;

    /// Frames per second over the last frames begun (up to k_FrameWindow); 0 until two frames
    /// have begun at different times.
    float GetFPSAverage() const noexcept;
    /// Triangles drawn in the last frame that ended.
    int64_t GetTrianglesPerFrame() const noexcept { return m_TrianglesPerFrame; }
    /// Bytes of the textures the last frame that ended used.
    int64_t GetTextureMemoryActive() const noexcept { return m_TextureMemoryActive; }
    /// Textures the engine holds, and the bytes they take.
    int64_t GetTextureMemoryCount() const noexcept { return m_TextureCount; }
    int64_t GetTextureMemoryUsage() const noexcept { return m_TextureBytes; }
    /// Textures the last frame that ended left on their placeholder because the load budget
    /// was used up, a thread job was running or texturing was off.
    int64_t GetTexturesDeferred() const noexcept { return m_TexturesDeferredPerFrame; }
    /// Seconds the last frame that ended spent in texture load requests.
    double GetTextureLoadSeconds() const noexcept { return m_LoadSecondsPerFrame; }

    // What engines call.

    /// A frame begins at `seconds` (a clock that only moves forward). A time that is not
    /// finite, or earlier than the last, starts the average afresh.
    void BeginFrame(double seconds) noexcept;
    /// The frame's triangle and active texture counts become the per-frame figures.
    void EndFrame() noexcept;
    /// Adds to the counts of the frame in progress; negative amounts are ignored.
    void AddTriangles(int64_t triangles) noexcept;
    void AddTextureActive(int64_t bytes) noexcept;
    void AddTextureDeferred(int64_t textures) noexcept;
    /// Negative and non-finite amounts are ignored.
    void AddTextureLoadSeconds(double seconds) noexcept;
    /// A texture of `bytes` was loaded into, or released from, the engine's memory. The
    /// figures never fall below 0.
    void TextureLoaded(int64_t bytes) noexcept;
    void TextureReleased(int64_t bytes) noexcept;

private:
    double m_Begins[k_FrameWindow] = {}; // ring of frame begin times
    int m_BeginCount = 0;                // valid entries, up to k_FrameWindow
    int m_BeginNext = 0;                 // slot of the next entry
    int64_t m_Triangles = 0;             // in the frame in progress
    int64_t m_Active = 0;
    int64_t m_Deferred = 0;
    double m_LoadSeconds = 0.0;
    int64_t m_TrianglesPerFrame = 0;
    int64_t m_TexturesDeferredPerFrame = 0;
    double m_LoadSecondsPerFrame = 0.0;
    int64_t m_TextureMemoryActive = 0;
    int64_t m_TextureCount = 0;
    int64_t m_TextureBytes = 0;
};

} // namespace Quorlix
