#include "quorlix/scene/Camera.h"

#include "quorlix/script/internal/ScriptLog.h"

#include <cmath>

namespace Quorlix {

namespace {

constexpr double k_PiDouble = 3.14159265358979323846;

float ClampFieldOfView(float degrees) noexcept {
    if (!(degrees >= SCamera::k_MinFieldOfView)) // NaN included
        return SCamera::k_MinFieldOfView;
    return degrees > SCamera::k_MaxFieldOfView ? SCamera::k_MaxFieldOfView : degrees;
}

} // namespace

SCamera* SCamera::Create() {
    return NewObject<SCamera>();
}
const TypeInfo* SCamera::GetSCameraTypeInfo() noexcept {
    return &TypeOf<SCamera>();
}
SCamera::SCamera() noexcept {
    UpdateFocalLength();
}
SCamera::~SCamera() = default;

void SCamera::UpdateFocalLength() noexcept {
    m_FocalLength =
        static_cast<float>(m_Aperture.GetY() * 12.7 / std::tan(m_FieldOfView * k_PiDouble / 360.0));
}

void SCamera::SetFieldOfView(float degrees) noexcept {
    m_FieldOfView = ClampFieldOfView(degrees);
    UpdateFocalLength();
}

void SCamera::SetFocalLength(float focalLength) noexcept {
    if (std::isnan(focalLength)) {
        Internal::LogScriptError("SCamera::SetFocalLength: NaN ignored.");
        return;
    }
    m_FocalLength = focalLength;
    // A length of 0 means 180 degrees, a negative one a negative angle: both clamp.
    const double angle =
        focalLength == 0.0f
            ? 180.0
            : 2.0 * std::atan(m_Aperture.GetY() * 12.7 / focalLength) * (180.0 / k_PiDouble);
    m_FieldOfView = ClampFieldOfView(static_cast<float>(angle));
}

void SCamera::SetAperture(const Vector2f& aperture) noexcept {
    m_Aperture = aperture;
    UpdateFocalLength();
}

TCamera* TCamera::Create() {
    return NewObject<TCamera>();
}
const TypeInfo* TCamera::GetTCameraTypeInfo() noexcept {
    return &TypeOf<TCamera>();
}
TCamera::TCamera() : TLeaf(SCamera::Create()) {}
TCamera::~TCamera() = default;

} // namespace Quorlix
