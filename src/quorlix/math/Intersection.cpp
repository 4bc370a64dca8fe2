#include "quorlix/math/Intersection.h"

namespace Quorlix {

namespace {

Vector3f CrossOf(const Vector3f& a, const Vector3f& b) {
    Vector3f r;
    r.AssignCross(a, b);
    return r;
}

} // namespace

int IntersectRayTriangle(const Vector3f& origin, const Vector3f& dir, const Vector3f& a,
                         const Vector3f& b, const Vector3f& c, float& t, float& u, float& v) {
    const Vector3f e1 = b - a, e2 = c - a;
    const Vector3f p = CrossOf(dir, e2);
    const float det = e1.Dot(p);
    if (det > -k_MathEpsilon && det < k_MathEpsilon)
        return 0;
    // Divided, not multiplied by 1 / det: the reciprocal's rounding would move a quarter of
    // the hits by an ulp, and edge tests against 0 and 1 with them.
    const Vector3f s = origin - a;
    u = s.Dot(p) / det;
    if (u < 0.0f || u > 1.0f)
        return 0;
    const Vector3f q = CrossOf(s, e1);
    v = dir.Dot(q) / det;
    if (v < 0.0f || u + v > 1.0f)
        return 0;
    t = e2.Dot(q) / det;
    return 1;
}

int IntersectRayTriangleCCW(const Vector3f& origin, const Vector3f& dir, const Vector3f& a,
                            const Vector3f& b, const Vector3f& c, float& t, float& u, float& v) {
    const Vector3f e1 = b - a, e2 = c - a;
    const Vector3f p = CrossOf(dir, e2);
    const float det = e1.Dot(p);
    // det = -dir . ((b - a) x (c - a)): positive only when the ray meets the front face.
    if (det < k_MathEpsilon)
        return 0;
    const Vector3f s = origin - a;
    const float su = s.Dot(p);
    if (su < 0.0f || su > det)
        return 0;
    const Vector3f q = CrossOf(s, e1);
    const float sv = dir.Dot(q);
    if (sv < 0.0f || su + sv > det)
        return 0;
    t = e2.Dot(q) / det;
    u = su / det;
    v = sv / det;
    return 1;
}

} // namespace Quorlix
