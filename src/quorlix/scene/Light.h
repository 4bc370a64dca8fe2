#pragma once
// Light nodes: colour and kind of the light.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

class QUORLIX_API SLight : public SLeaf {
public:
    /// Values of `Type` (enumeration SLight.TypeEnum).
    enum Type : uint32_t { Directional, Point, Ambient };

    static SLight* Create();
    static const TypeInfo* GetSLightTypeInfo() noexcept;
    /// Colour (1, 1, 1), type Directional.
    SLight() noexcept = default;
    ~SLight() override;

    const Vector3f& GetColor() const noexcept { return m_Color; }
    void SetColor(const Vector3f& color) noexcept { m_Color = color; }
    Type GetType() const noexcept { return m_Type; }
    void SetType(Type type) noexcept { m_Type = type; }

private:
    friend void BindSceneNodeClasses();
    Vector3f m_Color{1.0f, 1.0f, 1.0f};
    Type m_Type = Directional;
};

class QUORLIX_API TLight : public TLeaf {
public:
    static TLight* Create();
    static const TypeInfo* GetTLightTypeInfo() noexcept;
    TLight();
    ~TLight() override;
};

} // namespace Quorlix
