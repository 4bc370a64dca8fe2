#pragma once
// SSpriteGeometry/TSpriteGeometry: camera-facing sprites, one per translation, each showing an
// appearance of a SpriteAppearances object.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Geometry.h"
#include "quorlix/scene/SpriteAppearances.h"

#include <cstdint>

namespace Quorlix {

/// Shared sprite set (class SSpriteGeometry, -3998). Fields are the members, in member order.
class QUORLIX_API SSpriteGeometry : public SGeometry {
public:
    /// SSpriteGeometry.SpriteTypeEnum (-3928): the shape each sprite is drawn as.
    enum class SpriteTypeEnum : uint32_t { Triangle, Quad };
    /// SSpriteGeometry.SpriteSortEnum (-3927).
    enum class SpriteSortEnum : uint32_t { Unsorted, DepthSorted };

    static SSpriteGeometry* Create();
    static const TypeInfo* GetSSpriteGeometryTypeInfo() noexcept;

    SSpriteGeometry() noexcept = default;
    ~SSpriteGeometry() override;

    SpriteTypeEnum m_SpriteType = SpriteTypeEnum::Quad;
    SpriteSortEnum m_SpriteSort = SpriteSortEnum::Unsorted;
    bool m_InheritRoll = true; // roll with the node's transform
    float m_Roll = 0.0f;
    bool m_InheritScaling = true; // scale with the node's transform
    Vector3f m_Scaling{1.0f, 1.0f, 1.0f};
    Obj<SpriteAppearances> m_SpriteAppearances; // null: untextured sprites
    Array<Vector3f> m_TranslationArray;         // one sprite per entry
    Array<float> m_AppearanceSelectArray;       // per sprite, an appearance index (may blend)
};

/// A placed sprite set (class TSpriteGeometry, -3997); a fresh one refers to a fresh
/// SSpriteGeometry.
class QUORLIX_API TSpriteGeometry : public TGeometry {
public:
    static TSpriteGeometry* Create();
    static const TypeInfo* GetTSpriteGeometryTypeInfo() noexcept;

    TSpriteGeometry() : TGeometry(SSpriteGeometry::Create()) {}
    ~TSpriteGeometry() override;

protected:
    explicit TSpriteGeometry(SNode* s) : TGeometry(s) {}
};

} // namespace Quorlix
