#pragma once
// SpriteAppearances: the looks a sprite can take, each a radius, a texture window and a colour.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

/// Class SpriteAppearances (-3953). Appearance i is entry i of each array; AppearanceCount says
/// how many there are and is not kept in step with the arrays.
class QUORLIX_API SpriteAppearances : public Object {
public:
    static SpriteAppearances* Create();
    static const TypeInfo* GetSpriteAppearancesTypeInfo() noexcept;

    SpriteAppearances() noexcept = default;
    ~SpriteAppearances() override;

    int32_t m_AppearanceCount = 0;
    bool m_InterpolateRadius = false; // blend radii between neighbouring appearances
    bool m_InterpolateColor = false;  // blend colours between neighbouring appearances
    Array<Vector3f> m_RadiusArray;
    Array<Vector2f> m_TexCoordCenterArray;
    Array<Vector2f> m_TexCoordRadiusArray;
    Array<Vector4f> m_ColorArray;
};

} // namespace Quorlix
