#include "quorlix/math/Spheref.h"

#include "quorlix/math/Matrix4f.h"

namespace Quorlix {

constinit const Spheref Spheref::Empty(Vector3f(0.0f, 0.0f, 0.0f), -1.0e16f);

void Spheref::AroundPoints(const Vector3f* points, int count) {
    if (count <= 0) {
        MakeEmpty();
        return;
    }
    // Pass 1: the extreme points along each axis; the widest pair seeds the sphere.
    int low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    for (int i = 1; i < count; ++i)
        for (int k = 0; k < 3; ++k) {
            if (points[i][k] < points[low[k]][k])
                low[k] = i;
            if (points[i][k] > points[high[k]][k])
                high[k] = i;
        }
    int axis = 0;
    float widest = points[low[0]].DistanceSquared(points[high[0]]);
    for (int k = 1; k < 3; ++k) {
        const float d2 = points[low[k]].DistanceSquared(points[high[k]]);
        if (d2 > widest) {
            widest = d2;
            axis = k;
        }
    }
    Vector3f centre = (points[low[axis]] + points[high[axis]]) * 0.5f;
    float radius = std::sqrt(widest) * 0.5f;

    // Pass 2: each point outside pulls the far side of the sphere out to it; the new sphere
    // contains the old one, so points already visited stay inside.
    for (int i = 0; i < count; ++i) {
        const float d2 = points[i].DistanceSquared(centre);
        if (d2 > radius * radius) {
            const float d = std::sqrt(d2);
            const float grown = (d + radius) * 0.5f;
            for (int k = 0; k < 3; ++k)
                centre[k] = (grown * centre[k] + (d - grown) * points[i][k]) / d;
            radius = grown;
        }
    }
    Set(centre, radius);
}

void Spheref::XFormAffine(const Spheref& s, const Matrix4f& m) {
    const float radius = s.m_Radius;
    Vector3f centre;
    MulVector3Matrix4x3(centre, s.m_Centre, m);

    // The largest stretch of the 3x3 part is the square root of the largest eigenvalue of the
    // Gram matrix of its rows. Its largest absolute row sum bounds that eigenvalue from above
    // and equals it when the rows are orthogonal (rotation after scaling), so spheres stay
    // tight in the usual case and still contain their image under shear. The lengths of rows
    // or of columns alone are not bounds: either misses for one order of scale and rotation.
    const Vector3f& r0 = m.GetM0Vector3();
    const Vector3f& r1 = m.GetM1Vector3();
    const Vector3f& r2 = m.GetM2Vector3();
    const float g01 = std::fabs(r0.Dot(r1)), g02 = std::fabs(r0.Dot(r2)),
                g12 = std::fabs(r1.Dot(r2));
    float stretch2 = r0.LengthSquared() + g01 + g02;
    stretch2 = std::fmax(stretch2, r1.LengthSquared() + g01 + g12);
    stretch2 = std::fmax(stretch2, r2.LengthSquared() + g02 + g12);
    Set(centre, radius * std::sqrt(stretch2));
}

} // namespace Quorlix
