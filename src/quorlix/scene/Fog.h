#pragma once
// Fog nodes: how fog thickens with distance, and how distance is measured.

#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

class QUORLIX_API SFog : public SLeaf {
public:
    /// Values of `Type` (enumeration SFog.TypeEnum).
    enum Type : uint32_t { Linear, Exponential, Exponential2 };
    /// Values of `DistanceType` (enumeration SFog.DistanceTypeEnum).
    enum DistanceType : uint32_t { ScreenSpace, EyeSpace };

    static SFog* Create();
    static const TypeInfo* GetSFogTypeInfo() noexcept;
    /// Exponential, ScreenSpace, colour (1, 1, 1), density 0, NearFar (0, 0).
    SFog() noexcept = default;
    ~SFog() override;

    Type GetType() const noexcept { return m_Type; }
    DistanceType GetDistanceType() const noexcept { return m_DistanceType; }
    const Vector3f& GetColor() const noexcept { return m_Color; }
    float GetDensity() const noexcept { return m_Density; }
    const Vector2f& GetNearFar() const noexcept { return m_NearFar; }

private:
    friend void BindSceneNodeClasses();
    Type m_Type = Exponential;
    DistanceType m_DistanceType = ScreenSpace;
    Vector3f m_Color{1.0f, 1.0f, 1.0f};
    float m_Density = 0.0f;
    Vector2f m_NearFar{0.0f, 0.0f};
};

class QUORLIX_API TFog : public TLeaf {
public:
    static TFog* Create();
    static const TypeInfo* GetTFogTypeInfo() noexcept;
    TFog();
    ~TFog() override;
};

} // namespace Quorlix
