#include "MathTestSupport.h"

#include "quorlix/math/CullFrustumf.h"
#include "support/LogCapture.h"

#include <vector>

using namespace Quorlix;
using QuorlixTest::Near;

namespace {

// A 90-degree frustum: the side planes run at 45 degrees through the eye.
CullFrustumf Wide() {
    CullFrustumf f;
    f.MakePerspective(-1, 1, -1, 1, 1, 100);
    return f;
}

Vector3f Unit(const Vector3f& v) {
    Vector3f u = v;
    u.Normalize();
    return u;
}

int Cull(const CullFrustumf& f, const Vector3f& centre, float radius) {
    return f.FastCull(Spheref(centre, radius));
}

// A sphere at distance `gap` from a frustum edge or corner, out along `outward`, is rejected
// just below that radius and kept just above it; the same in all four mirror images.
void ExpectEdgeGap(const Vector3f& feature, const Vector3f& outward, float gap) {
    const CullFrustumf f = Wide();
    for (float sx : {1.0f, -1.0f}) {
        for (float sy : {1.0f, -1.0f}) {
            const Vector3f mirror(sx, sy, 1);
            const Vector3f centre = (feature + Unit(outward) * gap) * mirror;
            EXPECT_NE(Cull(f, centre, gap * 0.97f), 0) << feature[0] << " " << feature[1];
            EXPECT_EQ(Cull(f, centre, gap * 1.03f), 0) << feature[0] << " " << feature[1];
        }
    }
}

} // namespace

TEST(CullFrustumf, MakePerspectiveStoresExtentsAndOutwardPlanes) {
    CullFrustumf f;
    f.MakePerspective(-2, 1, -0.5f, 1.5f, 0.5f, 50);
    EXPECT_EQ(f.GetFarNearRatio(), 100.0f);
    EXPECT_EQ(f.GetFarLeft(), -200.0f);
    EXPECT_EQ(f.GetFarTop(), 150.0f);
    EXPECT_TRUE(f.GetPlane(4) == Planef(0, 0, 1, 0.5f));
    EXPECT_TRUE(f.GetPlane(5) == Planef(0, 0, -1, -50));

    // Each side plane runs through the eye and its near edge; a point inside is behind every
    // plane and a point past each face in front of it.
    const Vector3f nearEdges[4] = {
        {-2, 0, -0.5f}, {1, 0, -0.5f}, {0, -0.5f, -0.5f}, {0, 1.5f, -0.5f}};
    const Vector3f inside(-0.25f, 0.5f, -10);
    const Vector3f outside[6] = {{-50, 0.5f, -10},  {25, 0.5f, -10},       {-0.25f, -20, -10},
                                 {-0.25f, 40, -10}, {-0.25f, 0.5f, -0.1f}, {-0.25f, 0.5f, -60}};
    for (int i = 0; i < 6; ++i) {
        const Planef& p = f.GetPlane(i);
        if (i < 4) {
            EXPECT_NEAR(p.GetA() * p.GetA() + p.GetB() * p.GetB() + p.GetC() * p.GetC(), 1, 1e-6f);
            EXPECT_EQ(p.GetD(), 0.0f);
            EXPECT_NEAR(p.Evaluate(nearEdges[i]), 0, 1e-6f) << i;
        }
        EXPECT_LT(p.Evaluate(inside), 0.0f) << i;
        EXPECT_GT(p.Evaluate(outside[i]), 0.0f) << i;
    }
}

TEST(CullFrustumf, FastCullFacesAndEmpty) {
    const CullFrustumf f = Wide();
    EXPECT_EQ(f.FastCull(Spheref()), 63);
    EXPECT_EQ(f.FastCull(Spheref::Empty), 63);
    struct Case {
        Vector3f centre;
        float radius;
        int code;
    };
    // clang-format off
    const Case cases[] = {
        {{0, 0, -50}, 0.1f, 0}, {{0, 0, -50}, 1e6f, 0}, // the second around the whole frustum
        {{0, 0, 1000}, 1, 16}, {{0, 0, -0.5f}, 0.5f, 16}, {{0, 0, -0.5f}, 0.6f, 0}, // near face
        {{0, 0, -102}, 2, 32}, {{0, 0, -102}, 2.1f, 0},
        {{-12, 0, -10}, 1, 1}, {{12, 0, -10}, 1, 2}, {{0, -12, -10}, 1, 4}, {{0, 12, -10}, 1, 8},
        // Across a side plane, away from any edge: the sphere reaches into the frustum.
        {{-12, 0, -10}, 1.5f, 0}, {{0, 12, -10}, 1.5f, 0},
        // Centre before the near face, inside its rectangle; and beyond the far face.
        {{0.5f, -0.5f, -0.9f}, 0.2f, 0}, {{50, 50, -100.5f}, 1, 0},
        // Beyond the left and bottom planes, 0.9 from the left face and 1.04 from the edge.
        {{-11.2728f, -10, -10}, 1, 0},
        // Before the near face, just below it: the near-bottom edge is 0.3994 away.
        {{-0.97f, -1.3962f, -0.95f}, 0.4f, 0},
        // The near-left edge with the margin between plane and edge distance.
        {{-1.3f, 0, -0.6f}, 0.497f, 1}, {{-1.3f, 0, -0.6f}, 0.501f, 0}};
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Cull(f, c.centre, c.radius), c.code)
            << c.centre[0] << " " << c.centre[1] << " " << c.centre[2] << " r " << c.radius;
}

TEST(CullFrustumf, FastCullEdgesAndCorners) {
    const float s2 = 0.70710678f;
    // Side edge through the eye and (-1, -1, -1), measured at depth 10.
    ExpectEdgeGap(Vector3f(-10, -10, -10), Vector3f(-1, -1, 2), 1);
    // Edges of the near face: the left one and the bottom one.
    ExpectEdgeGap(Vector3f(-1, 0, -1), Vector3f(-s2, 0, s2) + Vector3f(0, 0, 1), 0.5f);
    ExpectEdgeGap(Vector3f(0.3f, -1, -1), Vector3f(0, -s2, s2) + Vector3f(0, 0, 1), 0.5f);
    // Edges of the far face.
    ExpectEdgeGap(Vector3f(-100, 0, -100), Vector3f(-s2, 0, s2) + Vector3f(0, 0, -1), 2);
    ExpectEdgeGap(Vector3f(20, -100, -100), Vector3f(0, -s2, s2) + Vector3f(0, 0, -1), 2);
    // Corners of the near and the far face.
    ExpectEdgeGap(Vector3f(-1, -1, -1), Vector3f(-s2, -s2, 2 * s2 + 1), 0.3f);
    ExpectEdgeGap(Vector3f(-100, -100, -100), Vector3f(-s2, -s2, 2 * s2 - 1), 2);
}

namespace {

// Sample points on the boundary of a frustum: its nearest point to any sphere outside lies there.
std::vector<Vector3f> BoundarySamples(const CullFrustumf& f) {
    std::vector<Vector3f> points;
    const int n = 60;
    for (int i = 0; i <= n; ++i) {
        const float depth = f.GetNear() + (f.GetFar() - f.GetNear()) * i / n;
        const float k = depth / f.GetNear();
        const float l = f.GetNearLeft() * k, r = f.GetNearRight() * k;
        const float b = f.GetNearBottom() * k, t = f.GetNearTop() * k;
        for (int j = 0; j <= n; ++j) {
            const float s = float(j) / n;
            points.emplace_back(l + (r - l) * s, b, -depth);
            points.emplace_back(l + (r - l) * s, t, -depth);
            points.emplace_back(l, b + (t - b) * s, -depth);
            points.emplace_back(r, b + (t - b) * s, -depth);
            if (i == 0 || i == n)
                for (int m = 0; m <= n; ++m)
                    points.emplace_back(l + (r - l) * s, b + (t - b) * m / n, -depth);
        }
    }
    return points;
}

} // namespace

TEST(CullFrustumf, RejectedSpheresMissEverySamplePoint) {
    QuorlixTest::MathRandom random;
    CullFrustumf frusta[3];
    frusta[0].MakePerspective(-1, 1, -1, 1, 1, 10);
    frusta[1].MakePerspective(-0.3f, 0.5f, -0.2f, 0.25f, 0.5f, 8);
    frusta[2].MakePerspective(0.2f, 2, -2, -0.5f, 1, 5);
    for (const CullFrustumf& f : frusta) {
        const std::vector<Vector3f> samples = BoundarySamples(f);
        int rejected = 0, kept = 0;
        for (int i = 0; i < 3000; ++i) {
            const Vector3f centre(random.Uniform(-15, 15), random.Uniform(-15, 15),
                                  random.Uniform(-14, 3));
            const float radius = random.Uniform(0.05f, 4);
            if (Cull(f, centre, radius) == 0) {
                ++kept;
                continue;
            }
            ++rejected;
            float nearest2 = 1e30f;
            for (const Vector3f& p : samples)
                nearest2 = std::fmin(nearest2, p.DistanceSquared(centre));
            EXPECT_GE(std::sqrt(nearest2), radius * (1 - 1e-5f))
                << centre[0] << " " << centre[1] << " " << centre[2] << " r " << radius;
        }
        EXPECT_GT(rejected, 1000);
        EXPECT_GT(kept, 100);
    }
}

TEST(CullFrustumf, OffAxisFrustum) {
    // One side on the view axis, and a frustum wholly right of it.
    CullFrustumf f;
    f.MakePerspective(0, 2, -1, 1, 1, 10);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(std::isnan(f.GetPlane(i).GetA())) << i;
    EXPECT_EQ(Cull(f, Vector3f(1, 0, -5), 0.1f), 0);
    EXPECT_EQ(Cull(f, Vector3f(-1, 0, -5), 0.5f), 1);
    EXPECT_EQ(Cull(f, Vector3f(12, 0, -5), 0.5f), 2);
    f.MakePerspective(0.5f, 2, 0.5f, 2, 1, 10);
    EXPECT_EQ(Cull(f, Vector3f(6, 6, -5), 0.5f), 0);
    EXPECT_EQ(Cull(f, Vector3f(1, 6, -5), 0.5f), 1);
    EXPECT_EQ(Cull(f, Vector3f(6, 1, -5), 0.5f), 4);
    EXPECT_EQ(Cull(f, Vector3f(0, 0, -5), 0.5f), 1); // on the view axis, outside this frustum
}

TEST(CullFrustumf, UnexpectedRegionCodeIsLoggedAndKept) {
    // A huge sphere around the eye whose centre projects before the near face on the left
    // plane and beyond the far face on the bottom plane.
    CullFrustumf f;
    f.MakePerspective(-1, 1, -1, 1, 1, 10);
    QuorlixTest::LogCapture log;
    EXPECT_EQ(Cull(f, Vector3f(-1.2f, -20, -0.5f), 100), 0);
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0], "[Warn ]CullFrustum: unexpected clipcode 53.");
}
