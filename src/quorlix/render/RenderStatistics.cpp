#include "quorlix/render/RenderStatistics.h"

#include <cmath>

namespace Quorlix {

RenderStatistics* RenderStatistics::Create() {
    return NewObject<RenderStatistics>();
}

float RenderStatistics::GetFPSAverage() const noexcept {
    if (m_BeginCount < 2)
        return 0.0f;
    const int newest = (m_BeginNext + k_FrameWindow - 1) % k_FrameWindow;
    const int oldest = (m_BeginNext + k_FrameWindow - m_BeginCount) % k_FrameWindow;
    const double span = m_Begins[newest] - m_Begins[oldest];
    return span > 0.0 ? static_cast<float>((m_BeginCount - 1) / span) : 0.0f;
}

void RenderStatistics::BeginFrame(double seconds) noexcept {
    if (!std::isfinite(seconds)) {
        m_BeginCount = 0;
        return;
    }
    if (m_BeginCount > 0 && seconds < m_Begins[(m_BeginNext + k_FrameWindow - 1) % k_FrameWindow])
        m_BeginCount = 0;
    m_Begins[m_BeginNext] = seconds;
    m_BeginNext = (m_BeginNext + 1) % k_FrameWindow;
    if (m_BeginCount < k_FrameWindow)
        ++m_BeginCount;
}

void RenderStatistics::EndFrame() noexcept {
    m_TrianglesPerFrame = m_Triangles;
    m_TextureMemoryActive = m_Active;
    m_TexturesDeferredPerFrame = m_Deferred;
    m_LoadSecondsPerFrame = m_LoadSeconds;
    m_Triangles = 0;
    m_Active = 0;
    m_Deferred = 0;
    m_LoadSeconds = 0.0;
}

void RenderStatistics::AddTriangles(int64_t triangles) noexcept {
    if (triangles > 0)
        m_Triangles += triangles;
}

void RenderStatistics::AddTextureActive(int64_t bytes) noexcept {
    if (bytes > 0)
        m_Active += bytes;
}

void RenderStatistics::AddTextureDeferred(int64_t textures) noexcept {
    if (textures > 0)
        m_Deferred += textures;
}

void RenderStatistics::AddTextureLoadSeconds(double seconds) noexcept {
    if (seconds > 0.0 && std::isfinite(seconds))
        m_LoadSeconds += seconds;
}

void RenderStatistics::TextureLoaded(int64_t bytes) noexcept {
    ++m_TextureCount;
    if (bytes > 0)
        m_TextureBytes += bytes;
}

void RenderStatistics::TextureReleased(int64_t bytes) noexcept {
    if (m_TextureCount > 0)
        --m_TextureCount;
    if (bytes > 0)
        m_TextureBytes = bytes < m_TextureBytes ? m_TextureBytes - bytes : 0;
}

} // namespace Quorlix
