#include "quorlix/math/Vector2f.h"

namespace Quorlix {

constinit const Vector2f Vector2f::Zero(0.0f, 0.0f);

float Vector2fC::Dot(const Vector2fC& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 2; ++i)
        sum += m_C[i] * v.m_C[i];
    return sum;
}

float Vector2fC::DistanceSquared(const Vector2fC& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 2; ++i)
        sum += (v.m_C[i] - m_C[i]) * (v.m_C[i] - m_C[i]);
    return sum;
}

bool Vector2fC::EqualExact(const Vector2fC& v) const {
    for (int i = 0; i < 2; ++i)
        if (m_C[i] != v.m_C[i])
            return false;
    return true;
}

bool Vector2fC::EqualEpsilon(const Vector2fC& v, float eps) const {
    for (int i = 0; i < 2; ++i)
        if (!(std::fabs(v.m_C[i] - m_C[i]) <= eps))
            return false;
    return true;
}

float Vector2fC::CosAngle(const Vector2fC& v) const {
    const float d = std::sqrt(LengthSquared() * v.LengthSquared());
    if (d <= 0.0f)
        return 0.0f;
    const float c = Dot(v) / d;
    return c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
}

void Vector2fC::SetXYNormalize(float x, float y) {
    SetXY(x, y);
    const float s = UnitWindowScale(LengthSquared());
    for (int i = 0; i < 2; ++i)
        m_C[i] *= s;
}

void Vector2fC::AssignSwapXY(const Vector2fC& a) {
    const float x = a.m_C[0];
    if (this != &a)
        *this = a;
    m_C[0] = m_C[1];
    m_C[1] = x;
}

void Vector2fC::AssignNegate(const Vector2fC& a) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = -a.m_C[i];
}

void Vector2fC::AssignComponentAbsolute(const Vector2fC& a) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = std::fabs(a.m_C[i]);
}

void Vector2fC::AssignAdd(const Vector2fC& a, const Vector2fC& b) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] + b.m_C[i];
}

void Vector2fC::AssignSub(const Vector2fC& a, const Vector2fC& b) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] - b.m_C[i];
}

void Vector2fC::AssignComponentMul(const Vector2fC& a, const Vector2fC& b) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] * b.m_C[i];
}

void Vector2fC::AssignComponentDiv(const Vector2fC& a, const Vector2fC& b) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] / b.m_C[i];
}

void Vector2fC::AssignScale(const Vector2fC& a, float f) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] * f;
}

void Vector2fC::AssignAddScaled(const Vector2fC& a, const Vector2fC& v, float f) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] + f * v.m_C[i];
}

void Vector2fC::AssignInterpolate(const Vector2fC& a, const Vector2fC& v, float t) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = t * v.m_C[i] + (1.0f - t) * a.m_C[i];
}

void Vector2fC::AssignClamp(const Vector2fC& a, float lo, float hi) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = Quorlix::Clamp(a.m_C[i], lo, hi);
}

void Vector2fC::AssignClampMin(const Vector2fC& a, float lo) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] < lo ? lo : a.m_C[i];
}

void Vector2fC::AssignClampMax(const Vector2fC& a, float hi) {
    for (int i = 0; i < 2; ++i)
        m_C[i] = a.m_C[i] > hi ? hi : a.m_C[i];
}

} // namespace Quorlix
