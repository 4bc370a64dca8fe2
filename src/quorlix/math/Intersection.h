#pragma once
// Ray/triangle intersection for picking (Moller-Trumbore). On a hit, 1 is returned and
// origin + t dir = (1 - u - v) a + u b + v c; t may be negative (a hit behind the origin). On a
// miss, 0 is returned and t, u, v are unspecified. A ray parallel to the triangle's plane
// (|det| below 2^-23, an absolute bound: scale tiny geometry up first) and a degenerate
// triangle never hit.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Two-sided: hits the triangle from either side.
QUORLIX_API int IntersectRayTriangle(const Vector3f& origin, const Vector3f& dir, const Vector3f& a,
                                     const Vector3f& b, const Vector3f& c, float& t, float& u,
                                     float& v);
/// One-sided: hits only a triangle whose vertices run counter-clockwise as seen from the ray
/// (the side its normal (b - a) x (c - a) faces).
QUORLIX_API int IntersectRayTriangleCCW(const Vector3f& origin, const Vector3f& dir,
                                        const Vector3f& a, const Vector3f& b, const Vector3f& c,
                                        float& t, float& u, float& v);

} // namespace Quorlix
