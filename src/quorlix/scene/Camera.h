#pragma once
// Camera nodes. The vertical field of view and the focal length are two views of one setting,
// tied by the aperture: FocalLength = Aperture.y * 12.7 / tan(FieldOfView * pi / 360).

#include "quorlix/math/Vector2f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

class QUORLIX_API SCamera : public SLeaf {
public:
    /// The range FieldOfView is clamped into, in degrees.
    static constexpr float k_MinFieldOfView = 1.5258789e-5f;
    static constexpr float k_MaxFieldOfView = 179.99998f;

    static SCamera* Create();
    static const TypeInfo* GetSCameraTypeInfo() noexcept;
    /// FieldOfView 45, Aperture (1.417, 0.945), FocalLength about 28.974.
    SCamera() noexcept;
    ~SCamera() override;

    float GetFieldOfView() const noexcept { return m_FieldOfView; }
    /// Clamps into [k_MinFieldOfView, k_MaxFieldOfView] (NaN gives the minimum) and recomputes
    /// FocalLength.
    void SetFieldOfView(float degrees) noexcept;
    float GetFocalLength() const noexcept { return m_FocalLength; }
    /// Stores the focal length and derives FieldOfView = 2 atan(Aperture.y * 12.7 / f) in
    /// degrees, clamped as SetFieldOfView clamps (0 gives the maximum, a negative length the
    /// minimum). NaN is refused with the error "SCamera::SetFocalLength: NaN ignored.".
    void SetFocalLength(float focalLength) noexcept;
    const Vector2f& GetAperture() const noexcept { return m_Aperture; }
    /// Stores the aperture and recomputes FocalLength from FieldOfView.
    void SetAperture(const Vector2f& aperture) noexcept;

private:
    void UpdateFocalLength() noexcept;

    float m_FieldOfView = 45.0f;
    float m_FocalLength = 0.0f;
    Vector2f m_Aperture{1.417f, 0.945f};
};

class QUORLIX_API TCamera : public TLeaf {
public:
    static TCamera* Create();
    static const TypeInfo* GetTCameraTypeInfo() noexcept;
    TCamera();
    ~TCamera() override;
};

} // namespace Quorlix
