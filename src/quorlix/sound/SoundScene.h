#pragma once
// The sound of scene nodes. A sound emitter plays its file from where it stands, looped, while
// the frame loop collects it; the first sound receiver collected is where the listener hears
// from. Emitters share one device, made on first use and let go with the last of them.

#include "quorlix/core/Obj.h"
#include "quorlix/core/Result.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/SoundSource.h"

#include <memory>
#include <vector>

namespace Quorlix {

class Matrix4f;
class TNode;
class TSoundEmitter;
class TSoundReceiver;
class SoundReceiver;

/// One emitter's source on the shared device.
class QUORLIX_API SoundEmitterPlayer {
public:
    SoundEmitterPlayer() noexcept = default;
    SoundEmitterPlayer(const SoundEmitterPlayer&) = delete;
    SoundEmitterPlayer& operator=(const SoundEmitterPlayer&) = delete;
    /// Lets go of the source, then of the shared device.
    ~SoundEmitterPlayer();

    /// Makes the source of the emitter's file: a name beginning with "absolute://" is opened as
    /// the rest of it, any other below "Sounds/". Takes the shared device first (made with
    /// SoundDevice::Create(1, 0, 0, null) on first use); without one it logs "no SoundDevice."
    /// and fails. An emitter without a file is silent and needs nothing; while sound is off
    /// nothing loads either. Both succeed. A loaded player stays
    /// loaded.
    EResult Load(const TSoundEmitter& emitter);
    /// Loads when needed, then plays from the start.
    EResult Play(const TSoundEmitter& emitter, bool loop);
    void Stop();
    bool IsLoaded() const noexcept { return m_Source.Get() != nullptr; }
    SoundSource* GetSource() const noexcept { return m_Source; }

private:
    Obj<SoundSource> m_Source;
    bool m_UsesDevice = false;
};

/// The sound nodes of a render system's frames. The frame loop advances every emitter and
/// receiver it collected, then calls EndUpdate.
class QUORLIX_API SoundScene {
public:
    SoundScene();
    ~SoundScene();
    SoundScene(const SoundScene&) = delete;
    SoundScene& operator=(const SoundScene&) = delete;

    /// `world` maps the node's space to the world (row vectors, translation in row 3).
    /// An emitter starts playing, looped, on its first advance; each advance moves its source
    /// to the world position, points its cone along the node's z axis and gives it the
    /// velocity of the move since the previous advance (`elapsed` seconds ago).
    void AdvanceEmitter(TSoundEmitter& emitter, const Matrix4f& world, double elapsed);
    /// The first receiver advanced is the listener (placed, turned and moving likewise),
    /// once an emitter has made the shared device; other receivers are ignored with one
    /// warning each.
    void AdvanceReceiver(TSoundReceiver& receiver, const Matrix4f& world, double elapsed);
    /// Emitters not advanced since the previous EndUpdate stop and are let go; so is the
    /// listener when its receiver was not advanced.
    void EndUpdate();

    int GetEmitterCount() const noexcept { return static_cast<int>(m_Emitters.size()); }
    /// The player of an emitter advanced in the current or previous update, or null.
    SoundEmitterPlayer* FindPlayer(const TSoundEmitter& emitter) const noexcept;
    SoundReceiver* GetListener() const noexcept;

private:
    struct Emitter;
    struct Listener;

    std::vector<std::unique_ptr<Emitter>> m_Emitters;
    std::unique_ptr<Listener> m_Listener;
    std::vector<const TNode*> m_Warned; // receivers already warned about
};

} // namespace Quorlix
