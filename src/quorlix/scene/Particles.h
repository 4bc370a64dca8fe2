#pragma once
// SParticles/TParticles: a particle system. The S half says how long particles live and how they
// move; the T half ties a placement to the sprites that draw it, its emitters and its fields.

#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/scene/SpriteGeometry.h"

#include <cstdint>

namespace Quorlix {

/// Shared particle settings (class SParticles, -3994).
class QUORLIX_API SParticles : public SLeaf {
public:
    /// SParticles.LifespanModeEnum (-3972).
    enum class LifespanModeEnum : uint32_t { LiveForever, Constant, RandomRange };

    static SParticles* Create();
    static const TypeInfo* GetSParticlesTypeInfo() noexcept;

    SParticles() noexcept = default;
    ~SParticles() override;

    LifespanModeEnum m_LifespanMode = LifespanModeEnum::Constant;
    float m_Lifespan = 1.0f;       // seconds
    float m_LifespanRandom = 0.0f; // RandomRange: the spread around Lifespan, in seconds
    int32_t m_MaxCount = 1000;     // live particles at most
    float m_InheritFactor = 0.0f;  // share of the emitter's velocity a new particle takes
    float m_Mass = 1.0f;
};

/// A placed particle system (class TParticles, -3993); a fresh one refers to a fresh SParticles.
/// Emitter and Field accept any object until their classes are pinned down.
class QUORLIX_API TParticles : public TLeaf {
public:
    static TParticles* Create();
    static const TypeInfo* GetTParticlesTypeInfo() noexcept;

    TParticles() : TLeaf(SParticles::Create()) {}
    ~TParticles() override;

    Obj<TSpriteGeometry> m_SpriteGeometry; // member 1 (0x1200): the sprites drawing particles
    Array<Obj<ScriptObject>> m_Emitter;    // member 2 (0x2600): emitters feeding this system
    Array<Obj<ScriptObject>> m_Field;      // member 3 (0x2600): fields acting on it

protected:
    explicit TParticles(SNode* s) : TLeaf(s) {}
};

} // namespace Quorlix
