#include "quorlix/math/Vector4f.h"

namespace Quorlix {

constinit const Vector4f Vector4f::Zero(0.0f, 0.0f, 0.0f, 0.0f);

float Vector4fC::Dot(const Vector4fC& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i)
        sum += m_C[i] * v.m_C[i];
    return sum;
}

float Vector4fC::DistanceSquared(const Vector4fC& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i)
        sum += (v.m_C[i] - m_C[i]) * (v.m_C[i] - m_C[i]);
    return sum;
}

bool Vector4fC::EqualExact(const Vector4fC& v) const {
    for (int i = 0; i < 4; ++i)
        if (m_C[i] != v.m_C[i])
            return false;
    return true;
}

bool Vector4fC::EqualEpsilon(const Vector4fC& v, float eps) const {
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(v.m_C[i] - m_C[i]) <= eps))
            return false;
    return true;
}

float Vector4fC::CosAngle(const Vector4fC& v) const {
    const float d = std::sqrt(LengthSquared() * v.LengthSquared());
    if (d <= 0.0f)
        return 0.0f;
    const float c = Dot(v) / d;
    return c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
}

void Vector4fC::SetXYZWNormalize(float x, float y, float z, float w) {
    SetXYZW(x, y, z, w);
    const float s = UnitWindowScale(LengthSquared());
    for (int i = 0; i < 4; ++i)
        m_C[i] *= s;
}

void Vector4fC::AssignSwapXY(const Vector4fC& a) {
    const float x = a.m_C[0];
    if (this != &a)
        *this = a;
    m_C[0] = m_C[1];
    m_C[1] = x;
}

void Vector4fC::AssignSwapXZ(const Vector4fC& a) {
    SetXYZW(a.m_C[2], a.m_C[1], a.m_C[0], a.m_C[3]);
}

void Vector4fC::AssignSwapYZ(const Vector4fC& a) {
    SetXYZW(a.m_C[0], a.m_C[2], a.m_C[1], a.m_C[3]);
}

void Vector4fC::AssignSwapXYZToYZX(const Vector4fC& a) {
    SetXYZW(a.m_C[1], a.m_C[2], a.m_C[0], a.m_C[3]);
}

void Vector4fC::AssignSwapXYZToZXY(const Vector4fC& a) {
    SetXYZW(a.m_C[2], a.m_C[0], a.m_C[1], a.m_C[3]);
}

void Vector4fC::AssignNegate(const Vector4fC& a) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = -a.m_C[i];
}

void Vector4fC::AssignComponentAbsolute(const Vector4fC& a) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = std::fabs(a.m_C[i]);
}

void Vector4fC::AssignAdd(const Vector4fC& a, const Vector4fC& b) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] + b.m_C[i];
}

void Vector4fC::AssignSub(const Vector4fC& a, const Vector4fC& b) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] - b.m_C[i];
}

void Vector4fC::AssignComponentMul(const Vector4fC& a, const Vector4fC& b) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] * b.m_C[i];
}

void Vector4fC::AssignComponentDiv(const Vector4fC& a, const Vector4fC& b) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] / b.m_C[i];
}

void Vector4fC::AssignScale(const Vector4fC& a, float f) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] * f;
}

void Vector4fC::AssignAddScaled(const Vector4fC& a, const Vector4fC& v, float f) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] + f * v.m_C[i];
}

void Vector4fC::AssignInterpolate(const Vector4fC& a, const Vector4fC& v, float t) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = t * v.m_C[i] + (1.0f - t) * a.m_C[i];
}

void Vector4fC::AssignClamp(const Vector4fC& a, float lo, float hi) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = Quorlix::Clamp(a.m_C[i], lo, hi);
}

void Vector4fC::AssignClampMin(const Vector4fC& a, float lo) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] < lo ? lo : a.m_C[i];
}

void Vector4fC::AssignClampMax(const Vector4fC& a, float hi) {
    for (int i = 0; i < 4; ++i)
        m_C[i] = a.m_C[i] > hi ? hi : a.m_C[i];
}

} // namespace Quorlix
