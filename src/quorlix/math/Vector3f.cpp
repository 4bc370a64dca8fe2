#include "quorlix/math/Vector3f.h"

#include "quorlix/math/Quaternionf.h"

#include <cstdint>
#include <cstring>

namespace Quorlix {

constinit const Vector3f Vector3f::Zero(0.0f, 0.0f, 0.0f);

float Vector3fC::DistanceSquared(const Vector3fC& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 3; ++i)
        sum += (v.m_C[i] - m_C[i]) * (v.m_C[i] - m_C[i]);
    return sum;
}

bool Vector3fC::EqualEpsilon(const Vector3fC& v, float eps) const {
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(v.m_C[i] - m_C[i]) <= eps))
            return false;
    return true;
}

float Vector3fC::CosAngle(const Vector3fC& v) const {
    const float d = std::sqrt(LengthSquared() * v.LengthSquared());
    if (d <= 0.0f)
        return 0.0f;
    const float c = Dot(v) / d;
    return c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
}

bool Vector3fC::IsParallel(const Vector3fC& v, float eps) const {
    Vector3f a, b;
    a.AssignNormalize(*this);
    b.AssignNormalize(v);
    return std::fabs(a.Dot(b) - 1.0f) <= eps;
}

void Vector3fC::SetXYZNormalize(float x, float y, float z) {
    const float s = UnitWindowScale(x * x + y * y + z * z);
    SetXYZ(x * s, y * s, z * s);
}

void Vector3fC::AssignCrossNormalize(const Vector3fC& a, const Vector3fC& b) {
    AssignCross(a, b);
    SetXYZNormalize(m_C[0], m_C[1], m_C[2]);
}

void Vector3fC::AssignInterpolate(const Vector3fC& a, const Vector3fC& v, float t) {
    for (int i = 0; i < 3; ++i)
        m_C[i] = t * v.m_C[i] + (1.0f - t) * a.m_C[i];
}

void Vector3fC::AssignClamp(const Vector3fC& a, float lo, float hi) {
    for (int i = 0; i < 3; ++i)
        m_C[i] = Quorlix::Clamp(a.m_C[i], lo, hi);
}

void Vector3fC::AssignClamp(const Vector3fC& a, const Vector3fC& lo, const Vector3fC& hi) {
    for (int i = 0; i < 3; ++i)
        m_C[i] = Quorlix::Clamp(a.m_C[i], lo.m_C[i], hi.m_C[i]);
}

void Vector3fC::AssignClampMin(const Vector3fC& a, float lo) {
    for (int i = 0; i < 3; ++i)
        m_C[i] = a.m_C[i] < lo ? lo : a.m_C[i];
}

void Vector3fC::AssignClampMax(const Vector3fC& a, float hi) {
    for (int i = 0; i < 3; ++i)
        m_C[i] = a.m_C[i] > hi ? hi : a.m_C[i];
}

void Vector3fC::AssignRotateBy(const Vector3fC& a, const Quaternionf& q) {
    // q v q* expanded for unit q: v + 2w (u x v) + 2 u x (u x v), u the vector part.
    const float ux = q.GetX(), uy = q.GetY(), uz = q.GetZ(), w = q.GetW();
    const float vx = a.m_C[0], vy = a.m_C[1], vz = a.m_C[2];
    const float tx = 2.0f * (uy * vz - uz * vy);
    const float ty = 2.0f * (uz * vx - ux * vz);
    const float tz = 2.0f * (ux * vy - uy * vx);
    SetXYZ(vx + w * tx + (uy * tz - uz * ty), vy + w * ty + (uz * tx - ux * tz),
           vz + w * tz + (ux * ty - uy * tx));
}

namespace {

// Accumulates Newell's sums over the edge (p, q).
void NewellEdge(const float* p, const float* q, float* n) {
    n[0] += (p[1] - q[1]) * (p[2] + q[2]);
    n[1] += (p[2] - q[2]) * (p[0] + q[0]);
    n[2] += (p[0] - q[0]) * (p[1] + q[1]);
}

} // namespace

void Vector3fC::AssignTriangleNormal(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c) {
    float n[3] = {0.0f, 0.0f, 0.0f};
    NewellEdge(a.m_C, b.m_C, n);
    NewellEdge(b.m_C, c.m_C, n);
    NewellEdge(c.m_C, a.m_C, n);
    const float s = 1.0f / std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    SetXYZ(n[0] * s, n[1] * s, n[2] * s);
}

void Vector3fC::AssignPolygonNormal(const void* points, int count, int strideBytes) {
    // The closing edge starts at the last point; with no points there is none to read.
    if (count < 1) {
        SetXYZ(0.0f, 0.0f, 0.0f);
        return;
    }
    const auto* bytes = static_cast<const unsigned char*>(points);
    auto at = [&](int i) {
        Vector3f p;
        std::memcpy(p.m_C, bytes + static_cast<std::ptrdiff_t>(i) * strideBytes, sizeof p.m_C);
        return p;
    };
    float n[3] = {0.0f, 0.0f, 0.0f};
    Vector3f previous = at(count - 1);
    for (int i = 0; i < count; ++i) {
        const Vector3f current = at(i);
        NewellEdge(previous.m_C, current.m_C, n);
        previous = current;
    }
    SetXYZNormalize(n[0], n[1], n[2]);
}

} // namespace Quorlix
