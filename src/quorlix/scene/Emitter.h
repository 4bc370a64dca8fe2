#pragma once
// SEmitter/TEmitter: where and how fast particles are born.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

#include <cstdint>

namespace Quorlix {

/// Shared emitter settings (class SEmitter, -3992).
class QUORLIX_API SEmitter : public SLeaf {
public:
    /// SEmitter.EmitterTypeEnum (-3926).
    enum class EmitterTypeEnum : uint32_t { Omni, Directional, Volume };
    /// SEmitter.VolumeTypeEnum (-3925): registered for scripts; no member takes it yet.
    enum class VolumeTypeEnum : uint32_t { Cube, Sphere, Cylinder, Cone };

    static SEmitter* Create();
    static const TypeInfo* GetSEmitterTypeInfo() noexcept;

    SEmitter() noexcept = default;
    ~SEmitter() override;

    EmitterTypeEnum m_EmitterType = EmitterTypeEnum::Omni;
    Obj<ScriptObject> m_EmitterGeometry; // 0x1200: the shape emitted from; null: the node's origin
    float m_EmitRate = 100.0f;           // particles per second
    Vector3f m_Direction{1.0f, 0.0f, 0.0f};
    float m_Spread = 0.0f; // Directional: cone half-angle around Direction, in degrees
    float m_Speed = 1.0f;
    float m_RandomSpeed = 0.0f;
    float m_MinDistance = 0.0f; // birth distance from the emitter, lower and upper bound
    float m_MaxDistance = 0.0f;
};

/// A placed emitter (class TEmitter, -3991); a fresh one refers to a fresh SEmitter.
class QUORLIX_API TEmitter : public TLeaf {
public:
    static TEmitter* Create();
    static const TypeInfo* GetTEmitterTypeInfo() noexcept;

    TEmitter() : TLeaf(SEmitter::Create()) {}
    ~TEmitter() override;

protected:
    explicit TEmitter(SNode* s) : TLeaf(s) {}
};

} // namespace Quorlix
