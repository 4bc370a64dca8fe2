#pragma once
// RenderSystem: one render pipe and the channels drawn into it, in order, and the frame that
// draws them (RenderSystemTraverse_D). The host connects a pipe and its channels, then each
// frame calls ClearBuffers, DrawTree and the engine's SwapBuffers. A plain exported class, not a
// script class; one thread (the frame's) uses it.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/script/ProgressBar.h"

#include <cstdint>
#include <memory>

namespace Quorlix {

class RenderSystemTraverse_D;

class QUORLIX_API RenderSystem {
public:
    /// A new system (count 0) without a pipe or channels.
    static RenderSystem* Create();

    RenderSystem();
    ~RenderSystem();
    RenderSystem(const RenderSystem&) = delete;
    RenderSystem& operator=(const RenderSystem&) = delete;

    /// The pipe drawn into (held counted); null disconnects it.
    RenderPipe* GetRenderPipe() const noexcept { return m_RenderPipe.Get(); }
    void SetRenderPipe(RenderPipe* pipe) noexcept { m_RenderPipe = pipe; }

    /// The channels (held counted), drawn in this order. A null channel is not added.
    const Array<Obj<RenderChannel>>& GetChannels() const noexcept { return m_Channels; }
    void AddChannel(RenderChannel* channel);
    /// Removes every entry of `channel`; false when it was not there.
    bool RemoveChannel(const RenderChannel* channel);
    void ClearChannels() noexcept { m_Channels.Resize(0); }

    /// Incremented at the start of every DrawTree.
    uint32_t GetFrameCounter() const noexcept { return m_FrameCounter; }
    /// The time of the last sound update (0 until the first).
    double GetLastSoundUpdate() const noexcept { return m_LastSoundUpdate; }

    /// Told how far a forced texture load has come (null for none; held counted).
    ProgressBar* GetProgressBar() const noexcept { return m_ProgressBar.Get(); }
    void SetProgressBar(ProgressBar* progress) noexcept { m_ProgressBar = progress; }

    /// Clears the pipe's buffers by the first enabled channel's clear settings. Without a pipe,
    /// an engine or an enabled channel nothing happens. This is the only clear of the first
    /// channel: DrawTree clears from the second enabled channel on.
    void ClearBuffers();

    /// One frame: RenderSystemTraverse_D::DrawTree of this system's traversal.
    void DrawTree(double time, double particleTime, int updateOnly);
    RenderSystemTraverse_D& GetTraverse() noexcept { return *m_Traverse; }

private:
    friend class RenderSystemTraverse_D;

    Obj<RenderPipe> m_RenderPipe;
    Array<Obj<RenderChannel>> m_Channels;
    uint32_t m_FrameCounter = 0;
    double m_LastSoundUpdate = 0.0;
    Obj<ProgressBar> m_ProgressBar;
    std::unique_ptr<RenderSystemTraverse_D> m_Traverse;
};

} // namespace Quorlix
