#include "MathTestSupport.h"

#include "quorlix/math/Intersection.h"

using namespace Quorlix;
using QuorlixTest::MathRandom;
using QuorlixTest::Near;

namespace {

// Counter-clockwise seen from +z: its normal (0, 0, 1) faces a ray coming down from above.
const Vector3f A(0, 0, 0), B(1, 0, 0), C(0, 1, 0);
const Vector3f Down(0, 0, -1);

constexpr bool TwoSided = false, OneSided = true;

struct Hit {
    int hit;
    float t, u, v;
};

Hit Cast(bool ccwOnly, const Vector3f& origin, const Vector3f& dir, const Vector3f& a,
         const Vector3f& b, const Vector3f& c) {
    Hit h{};
    h.hit = ccwOnly ? IntersectRayTriangleCCW(origin, dir, a, b, c, h.t, h.u, h.v)
                    : IntersectRayTriangle(origin, dir, a, b, c, h.t, h.u, h.v);
    return h;
}

} // namespace

TEST(Intersection, CentroidHitsFrontAndOnlyTwoSidedHitsBack) {
    const Vector3f origin(1.0f / 3, 1.0f / 3, 2);
    for (const Hit& h :
         {Cast(TwoSided, origin, Down, A, B, C), Cast(OneSided, origin, Down, A, B, C)}) {
        EXPECT_EQ(h.hit, 1);
        EXPECT_NEAR(h.u, 1.0f / 3, 1e-6f);
        EXPECT_NEAR(h.v, 1.0f / 3, 1e-6f);
        EXPECT_NEAR(h.t, 2, 1e-6f);
    }
    EXPECT_EQ(Cast(TwoSided, origin, Down, A, C, B).hit, 1);
    EXPECT_EQ(Cast(OneSided, origin, Down, A, C, B).hit, 0);
    // From below the same triangle is clockwise.
    EXPECT_EQ(Cast(OneSided, Vector3f(0.25f, 0.25f, -2), -Down, A, B, C).hit, 0);
    EXPECT_EQ(Cast(OneSided, Vector3f(0.25f, 0.25f, -2), -Down, A, C, B).hit, 1);
    // Behind the origin: t is negative and still a hit.
    for (const Hit& h : {Cast(TwoSided, Vector3f(0.25f, 0.25f, -1), Down, A, B, C),
                         Cast(OneSided, Vector3f(0.25f, 0.25f, -1), Down, A, B, C)})
        EXPECT_TRUE(h.hit == 1 && h.t == -1.0f);
}

TEST(Intersection, EdgesVerticesAndMisses) {
    struct Case {
        Vector3f origin;
        int hit;
        float u, v;
    };
    const Case cases[] = {
        {Vector3f(0, 0, 1), 1, 0, 0},             // vertex a
        {Vector3f(1, 0, 1), 1, 1, 0},             // vertex b
        {Vector3f(0, 1, 1), 1, 0, 1},             // vertex c
        {Vector3f(0.5f, 0, 1), 1, 0.5f, 0},       // edge ab
        {Vector3f(0, 0.5f, 1), 1, 0, 0.5f},       // edge ac
        {Vector3f(0.5f, 0.5f, 1), 1, 0.5f, 0.5f}, // edge bc, u + v = 1
        {Vector3f(0.5f, -1e-3f, 1), 0, 0, 0},     // just past ab
        {Vector3f(-1e-3f, 0.5f, 1), 0, 0, 0},     // just past ac
        {Vector3f(0.5f, 0.501f, 1), 0, 0, 0},     // just past bc
        {Vector3f(1.5f, 0, 1), 0, 0, 0},          // u > 1
        {Vector3f(5, 5, 1), 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (const Hit& h :
             {Cast(TwoSided, c.origin, Down, A, B, C), Cast(OneSided, c.origin, Down, A, B, C)}) {
            EXPECT_EQ(h.hit, c.hit) << c.origin[0] << " " << c.origin[1];
            if (c.hit) {
                EXPECT_EQ(h.u, c.u);
                EXPECT_EQ(h.v, c.v);
                EXPECT_EQ(h.t, 1.0f);
            }
        }
    }
}

// A triangle with legs of 11 has det = 121, whose reciprocal is inexact: t, u and v are the
// quotients det divides, so the hit lies exactly where the ray starts above the plane (t = z)
// and u, v are x / 11 and y / 11 rounded once. Multiplying by 1 / 121 instead misses these
// values in 9, 12 and 12 of the 16 cases below.
TEST(Intersection, ParametersAreQuotientsOfTheDeterminant) {
    const Vector3f a(0, 0, 0), b(11, 0, 0), c(0, 11, 0);
    int reciprocalDiffers = 0;
    for (int i = 1; i <= 16; ++i) {
        const float x = 0.375f * i, y = 0.25f * i, z = 0.0625f * i;
        volatile float reciprocal = 1.0f / 121;
        reciprocalDiffers += (121 * z) * reciprocal != z;
        for (bool ccwOnly : {TwoSided, OneSided}) {
            const Hit h = Cast(ccwOnly, Vector3f(x, y, z), Down, a, b, c);
            ASSERT_EQ(h.hit, 1) << i;
            EXPECT_EQ(h.t, z) << i;
            EXPECT_EQ(h.u, x / 11) << i;
            EXPECT_EQ(h.v, y / 11) << i;
        }
    }
    EXPECT_EQ(reciprocalDiffers, 12); // the cases tell division from multiplication
}

TEST(Intersection, ParallelRaysAndDegenerateTrianglesNeverHit) {
    for (const Vector3f& dir : {Vector3f(1, 0, 0), Vector3f(1, 1, 0), Vector3f(0, -1, 0)}) {
        for (float z : {0.0f, 1.0f}) {
            const Vector3f origin(-1, 0.2f, z); // in the triangle's plane, and above it
            EXPECT_EQ(Cast(TwoSided, origin, dir, A, B, C).hit, 0);
            EXPECT_EQ(Cast(OneSided, origin, dir, A, B, C).hit, 0);
            EXPECT_EQ(Cast(TwoSided, origin, dir, A, C, B).hit, 0);
        }
    }
    const Vector3f origin(0.5f, 0, 1);
    EXPECT_EQ(Cast(TwoSided, origin, Down, A, B, Vector3f(2, 0, 0)).hit, 0);
    EXPECT_EQ(Cast(OneSided, origin, Down, A, A, B).hit, 0);
}

TEST(Intersection, HitPointMatchesBarycentrics) {
    MathRandom random;
    int hits = 0;
    for (int i = 0; i < 500; ++i) {
        const Vector3f a = random.Vector(5), b = random.Vector(5), c = random.Vector(5);
        const Vector3f origin = random.Vector(20);
        // Aim at a point of the triangle's plane, inside for most rays.
        const float w1 = random.Uniform(-0.2f, 1), w2 = random.Uniform(-0.2f, 1);
        const Vector3f target = a + (b - a) * w1 * 0.5f + (c - a) * w2 * 0.5f;
        const Vector3f toward = target - origin;
        // Grazing rays lose the hit point to rounding; they are covered by the parallel case.
        Vector3f normal = b - a;
        normal.Cross(c - a);
        if (std::fabs(normal.CosAngle(toward)) < 0.05f)
            continue;
        for (bool ccwOnly : {TwoSided, OneSided}) {
            const Hit h = Cast(ccwOnly, origin, toward, a, b, c);
            if (!h.hit)
                continue;
            ++hits;
            EXPECT_TRUE(h.u >= 0 && h.v >= 0 && h.u + h.v <= 1) << h.u << " " << h.v;
            EXPECT_TRUE(
                Near(origin + toward * h.t, a * (1 - h.u - h.v) + b * h.u + c * h.v, 2e-3f));
            EXPECT_NEAR(h.t, 1.0f, 1e-3f);
        }
    }
    EXPECT_GT(hits, 400);
}
