#include "MathTestSupport.h"

#include "quorlix/math/Planef.h"
#include "quorlix/math/Spheref.h"

#include <bit>
#include <cstdint>
#include <vector>

using namespace Quorlix;
using QuorlixTest::MathRandom;
using QuorlixTest::Near;

namespace {

::testing::AssertionResult Contains(const Spheref& s, const Vector3f& p) {
    const float d = p.Distance(s.GetCentre());
    if (d <= s.GetRadius() * (1.0f + 1e-5f) + 1e-6f)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "distance " << d << " > radius " << s.GetRadius();
}

} // namespace

TEST(Planef, ThroughThreePoints) {
    EXPECT_TRUE(Planef(Vector3f(0, 0, 0), Vector3f(1, 0, 0), Vector3f(0, 1, 0)) ==
                Planef(0, 0, 1, 0));
    // Offset and clockwise: the normal flips and d = -n . p1.
    EXPECT_TRUE(Planef(Vector3f(0, 0, 3), Vector3f(0, 1, 3), Vector3f(1, 0, 3)) ==
                Planef(0, 0, -1, 3));
    EXPECT_TRUE(Planef(Vector3f(1, 1, 1), Vector3f(2, 2, 2), Vector3f(3, 3, 3)) ==
                Planef(0, 0, 0, 0));

    MathRandom random;
    for (int i = 0; i < 100; ++i) {
        const Vector3f p1 = random.Vector(10), p2 = random.Vector(10), p3 = random.Vector(10);
        const Planef plane(p1, p2, p3);
        Vector3f normal = p2 - p1;
        normal.Cross(p3 - p1);
        EXPECT_TRUE(Near(Vector3f(plane.GetA(), plane.GetB(), plane.GetC()), normal, 1e-3f));
        for (const Vector3f& p : {p1, p2, p3})
            EXPECT_NEAR(plane.Evaluate(p), 0.0f, 1e-4f * normal.Length());
    }
}

TEST(Spheref, Constants) {
    static_assert(sizeof(Spheref) == 16);
    EXPECT_EQ(std::bit_cast<uint32_t>(Spheref().GetRadius()), 0xA4E69595u);
    Spheref s(Vector3f(1, 2, 3), 4);
    s.MakeEmpty();
    EXPECT_EQ(std::bit_cast<uint32_t>(s.GetRadius()), 0xDA0E1BCAu);
    EXPECT_TRUE(s.GetCentre() == Vector3f::Zero);
    EXPECT_TRUE(s == Spheref::Empty && s.IsEmpty());
    EXPECT_TRUE(Spheref() != Spheref::Empty && Spheref().IsEmpty());
    s.MakeInfinite();
    EXPECT_EQ(std::bit_cast<uint32_t>(s.GetRadius()), 0x5A0E1BCAu);
    EXPECT_FALSE(s.IsEmpty());

    EXPECT_TRUE(Spheref(Vector3f(1, 2, 3), 4) != Spheref(Vector3f(1, 2, 3), 4.5f));
}

TEST(Spheref, AroundPointsContainsEveryPoint) {
    Spheref s(Vector3f(1, 1, 1), 1);
    s.AroundPoints(nullptr, 0);
    EXPECT_TRUE(s == Spheref::Empty);

    const Vector3f two[2] = {Vector3f(-1, 2, 3), Vector3f(3, 2, 3)};
    s.AroundPoints(two, 2);
    EXPECT_TRUE(s == Spheref(Vector3f(1, 2, 3), 2));

    // The y pair is strictly wider than the x pair and seeds the sphere; the z pair ties with
    // it and does not replace it.
    const Vector3f cross[6] = {Vector3f(-1, 0, 0), Vector3f(1, 0, 0),  Vector3f(0, -2, 0),
                               Vector3f(0, 2, 0),  Vector3f(0, 0, -2), Vector3f(0, 0, 2)};
    s.AroundPoints(cross, 6);
    EXPECT_TRUE(s == Spheref(Vector3f(0, 0, 0), 2));

    MathRandom random;
    for (int count : {2, 3, 10, 100, 1000}) {
        for (int round = 0; round < 20; ++round) {
            // Elongated, offset clouds make pass 2 move the centre.
            const Vector3f stretch(random.Uniform(0.1f, 10), random.Uniform(0.1f, 10),
                                   random.Uniform(0.1f, 10));
            const Vector3f offset = random.Vector(100);
            std::vector<Vector3f> points;
            for (int i = 0; i < count; ++i)
                points.push_back(random.Vector(1) * stretch + offset);
            s.AroundPoints(points.data(), count);
            for (const Vector3f& p : points)
                EXPECT_TRUE(Contains(s, p)) << count;
            // At most the diagonal of the box around the cloud: the centre never leaves it.
            EXPECT_LE(s.GetRadius(), 2 * stretch.Length());
        }
    }
}

TEST(Spheref, XFormAffineContainsTheImage) {
    const Spheref unit(Vector3f(1, 2, 3), 1.5f);
    Matrix4f m;
    m.MakeScaling(Vector3f(2, 2, 2));
    m.AccessM3Vector3().SetXYZ(10, 0, 0);
    Spheref s;
    s.XFormAffine(unit, m);
    EXPECT_TRUE(s == Spheref(Vector3f(12, 4, 6), 3));

    // Scaling x by 2, then turning by 45 degrees: the x axis point of the sphere lands at
    // distance 2 although every column of the matrix is shorter than 2.
    Matrix4f rotation;
    rotation.MakeRotationZ(k_Pi / 4);
    m.MakeScaling(Vector3f(2, 1, 1));
    m.Mul(rotation);
    s.XFormAffine(Spheref(Vector3f::Zero, 1), m);
    Vector3f image;
    MulVector3Matrix4x3(image, Vector3f(1, 0, 0), m);
    EXPECT_TRUE(Contains(s, image));
    EXPECT_NEAR(s.GetRadius(), 2.0f, 1e-5f);

    // Rotation after non-uniform scaling, shear, mirroring: every surface point stays inside.
    MathRandom random;
    for (int i = 0; i < 200; ++i) {
        Matrix4f a;
        a.MakeRotation(random.Vector(3), Eulerf::XYZ);
        Matrix4f scale;
        scale.MakeScaling(
            Vector3f(random.Uniform(-3, 3), random.Uniform(0.1f, 3), random.Uniform(0.1f, 3)));
        Matrix4f shear;
        shear.MakeShearing(random.Vector(1));
        a = (i % 2 ? scale * a : a * scale) * shear;
        a.AccessM3Vector3() = random.Vector(10);
        const Spheref source(random.Vector(5), random.Uniform(0.1f, 4));
        s.XFormAffine(source, a);
        for (int k = 0; k < 50; ++k) {
            Vector3f direction = random.Vector(1);
            direction.Normalize();
            MulVector3Matrix4x3(image, source.GetCentre() + direction * source.GetRadius(), a);
            EXPECT_TRUE(Contains(s, image)) << i;
        }
    }

    // In place, and an empty sphere stays empty.
    s = unit;
    m.MakeScaling(Vector3f(3, 3, 3));
    s.XFormAffine(s, m);
    EXPECT_TRUE(s == Spheref(Vector3f(3, 6, 9), 4.5f));
    s.XFormAffine(Spheref::Empty, m);
    EXPECT_TRUE(s.IsEmpty());
}
