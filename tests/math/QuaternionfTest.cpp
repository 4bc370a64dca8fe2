#include "MathTestSupport.h"

#include <utility>

using namespace Quorlix;
using QuorlixTest::MathRandom;
using QuorlixTest::Near;
using QuorlixTest::SameRotation;

namespace {

Quaternionf AxisAngle(float x, float y, float z, float angle) {
    Quaternionf q;
    q.FromAxisAngle(Normal3f(x, y, z), angle);
    return q;
}

Matrix4f RotationOf(const Quaternionf& q) {
    Matrix4f m;
    m.MakeRotation(q);
    return m;
}

Vector3f Rotated(const Vector3f& v, const Quaternionf& q) {
    Vector3f out = v;
    out.RotateBy(q);
    return out;
}

} // namespace

TEST(Quaternionf, ProductIdentityAndInverse) {
    const Quaternionf i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
    EXPECT_TRUE(i * j == k);
    EXPECT_TRUE(j * i == Quaternionf(0, 0, -1, 0));
    EXPECT_TRUE(i * i == Quaternionf(0, 0, 0, -1));
    const Quaternionf q(1, 2, 3, 4);
    Quaternionf inverse = q;
    inverse.Invert();
    EXPECT_TRUE((q * inverse).IsIdentityEpsilon(1e-6f));
    inverse = q;
    inverse.InvertUnit();
    EXPECT_TRUE(inverse == Quaternionf(-1, -2, -3, 4));

    EXPECT_FALSE(Quaternionf(0, 0, 0, std::nextafter(1.0f, 2.0f)).IsIdentity());
    EXPECT_TRUE(Quaternionf(1e-7f, 0, 0, 1.0000001f).IsIdentityEpsilon(2e-7f));
    EXPECT_FALSE(Quaternionf(3e-7f, 0, 0, 1).IsIdentityEpsilon(2e-7f));
}

TEST(Quaternionf, AxisAngleBothWays) {
    const Quaternionf q = AxisAngle(0, 0, 2, k_HalfPi);
    EXPECT_TRUE(Near(Rotated(Vector3f(1, 0, 0), q), Vector3f(0, 1, 0), 1e-6f));
    Vector3f axis;
    float angle = 0;
    q.ToAxisAngle(axis, angle);
    EXPECT_TRUE(Near(axis, Vector3f(0, 0, 1), 1e-6f));
    EXPECT_FLOAT_EQ(angle, k_HalfPi);
    // w slightly above 1 by rounding still gives a finite angle.
    Quaternionf(1e-8f, 0, 0, 1.0000001f).ToAxisAngle(axis, angle);
    EXPECT_EQ(angle, 0.0f);
}

TEST(Quaternionf, AxisRotationsMatchMatrices) {
    using Make = void (Quaternionf::*)(float);
    using MakeMatrix = void (Matrix4f::*)(float);
    const std::pair<Make, MakeMatrix> axes[3] = {
        {&Quaternionf::MakeRotationX, &Matrix4f::MakeRotationX},
        {&Quaternionf::MakeRotationY, &Matrix4f::MakeRotationY},
        {&Quaternionf::MakeRotationZ, &Matrix4f::MakeRotationZ}};
    for (const auto& [make, makeMatrix] : axes) {
        for (float angle : {0.3f, -1.2f, 2.9f}) {
            Quaternionf q;
            (q.*make)(angle);
            Matrix4f expected, m;
            (expected.*makeMatrix)(angle);
            q.ToRotationMatrix(m);
            EXPECT_TRUE(Near(m, expected, 1e-6f));
        }
    }
    // MakeRotation normalises its input.
    EXPECT_TRUE(Near(RotationOf(Quaternionf(0, 0, 0, 5)), Matrix4f::Identity, 0));
}

TEST(Quaternionf, MatrixRoundTripAndRotateBy) {
    MathRandom random;
    for (int i = 0; i < 200; ++i) {
        Quaternionf q = random.UnitQuaternion();
        if (i % 4 == 0)
            q[3] = 0.01f * q[3]; // near half turns take the largest-diagonal branch
        const float n = std::sqrt(q.Dot(q));
        q = Quaternionf(q[0] / n, q[1] / n, q[2] / n, q[3] / n);
        Quaternionf back;
        back.FromRotationMatrix(RotationOf(q));
        EXPECT_TRUE(SameRotation(back, q, 1e-5f));

        // RotateBy turns column vectors: the transposed matrix turns rows the same way.
        Matrix4f rows = RotationOf(q);
        rows.Transpose3();
        const Vector3f v = random.Vector(10);
        Vector3f expected;
        MulVector3Matrix3x3(expected, v, rows);
        EXPECT_TRUE(Near(Rotated(v, q), expected, 1e-4f));
    }
}

TEST(Quaternionf, FromVectors) {
    Quaternionf q;
    q.FromVectors(Vector3f(1, 2, 3), Vector3f(2, 4, 6));
    EXPECT_TRUE(q == Quaternionf::Identity);

    // Opposite vectors: a half turn about an axis perpendicular to v.
    for (const Vector3f& v : {Vector3f(1, 0, 0), Vector3f(0, -2, 0), Vector3f(0, 0, 3),
                              Vector3f(1, 2, 3), Vector3f(-3, 1, 1), Vector3f(1, 1, 1)}) {
        q.FromVectors(v, -v);
        EXPECT_NEAR(q[3], 0.0f, 1e-7f);
        const Vector3f axis(q[0], q[1], q[2]);
        EXPECT_NEAR(axis.Dot(v), 0.0f, 1e-6f);
        EXPECT_TRUE(Near(Rotated(v, q), -v, 1e-5f));
    }

    MathRandom random;
    for (int i = 0; i < 100; ++i) {
        Vector3f a = random.Vector(5), b = random.Vector(5);
        a.Normalize();
        b.Normalize();
        q.FromVectors(a * 3.0f, b);
        EXPECT_TRUE(Near(Rotated(a, q), b, 1e-5f));
    }
}

TEST(Quaternionf, AimTurnsAOntoBAndCTowardD) {
    MathRandom random;
    for (int i = 0; i < 50; ++i) {
        Vector3f a = random.Vector(1), b = random.Vector(1), c = random.Vector(1),
                 d = random.Vector(1);
        Matrix4f m;
        m.MakeRotationAim2(a, b, c, d);
        for (Vector3f* v : {&a, &b, &c, &d})
            v->Normalize();
        Vector3f turned;
        MulVector3Matrix3x3(turned, a, m);
        EXPECT_TRUE(Near(turned, b, 1e-4f));
        // c lands in the half plane of d about b.
        MulVector3Matrix3x3(turned, c, m);
        Vector3f pc, pd;
        pc.AssignAddScaled(turned, b, -turned.Dot(b));
        pd.AssignAddScaled(d, b, -d.Dot(b));
        EXPECT_NEAR(pc.CosAngle(pd), 1.0f, 1e-3f);
    }
    // The twist is exactly opposite: a half turn about b.
    Matrix4f m;
    m.MakeRotationAim(Vector3f(0, 0, 1), Vector3f(0, 0, 1), Vector3f(1, 0, 0), Vector3f(-1, 0, 0));
    Vector3f turned;
    MulVector3Matrix3x3(turned, Vector3f(1, 0, 0), m);
    EXPECT_TRUE(Near(turned, Vector3f(-1, 0, 0), 1e-6f));
}

TEST(Quaternionf, Slerp) {
    const Quaternionf a = AxisAngle(0, 0, 1, 0.5f);
    Quaternionf r;
    r.AssignSlerp(a, a, 0.5f, Quaternionf::SlerpShortest);
    EXPECT_TRUE(r == a); // the angle is below the floor
    const Quaternionf b = AxisAngle(0, 0, 1, 1.5f);
    r.AssignSlerp(a, b, 0.25f, Quaternionf::SlerpPlain);
    EXPECT_TRUE(SameRotation(r, AxisAngle(0, 0, 1, 0.75f), 1e-6f));
    r.AssignSlerp(a, b, 1.0f, Quaternionf::SlerpLongest);
    EXPECT_TRUE(SameRotation(r, b, 1e-6f));

    // The direction flips the weight of the start point.
    const Quaternionf nb(-b[0], -b[1], -b[2], -b[3]);
    r.AssignSlerp(a, nb, 0.0f, Quaternionf::SlerpShortest);
    EXPECT_TRUE(Near(Vector3f(r[0], r[1], r[3]), Vector3f(-a[0], -a[1], -a[3]), 1e-6f));
    r.AssignSlerp(a, nb, 0.0f, Quaternionf::SlerpPlain);
    EXPECT_TRUE(r == a);
    r.AssignSlerp(a, b, 0.0f, Quaternionf::SlerpLongest);
    EXPECT_FLOAT_EQ(r[3], -a[3]);

    // Extra spins: none is plain slerp; one more whole turn ends on -b (the same rotation).
    r.AssignSlerpExtraSpins(a, b, 0.25f, 0);
    EXPECT_TRUE(SameRotation(r, AxisAngle(0, 0, 1, 0.75f), 1e-6f));
    r.AssignSlerpExtraSpins(a, b, 1.0f, 1);
    EXPECT_NEAR(r.Dot(b), -1.0f, 1e-5f);

    // Squad runs from q0 to q1.
    const Quaternionf q1 = AxisAngle(1, 0, 0, 1.0f);
    r.AssignSquad(a, b, q1, q1, 0.0f, Quaternionf::SlerpShortest);
    EXPECT_TRUE(SameRotation(r, a, 1e-6f));
    Quaternionf expected;
    expected.AssignSlerp(a, q1, 0.5f, Quaternionf::SlerpShortest);
    r.AssignSquad(a, a, q1, q1, 0.5f, Quaternionf::SlerpShortest);
    EXPECT_TRUE(SameRotation(r, expected, 1e-5f));
}

TEST(Quaternionf, LogAndExp) {
    Quaternionf q = Quaternionf::Identity;
    q.Log();
    EXPECT_TRUE(q == Quaternionf(0, 0, 0, 0));
    q.Exp();
    EXPECT_TRUE(q == Quaternionf::Identity);

    q = AxisAngle(0, 1, 0, 1.2f);
    q.Log();
    EXPECT_TRUE(Near(Vector3f(q[0], q[1], q[2]), Vector3f(0, 0.6f, 0), 1e-6f) && q[3] == 0);
    MathRandom random;
    for (int i = 0; i < 100; ++i) {
        const Quaternionf u = random.UnitQuaternion();
        q = u;
        q.Log();
        q.Exp();
        EXPECT_TRUE(SameRotation(q, u, 1e-5f) && q.Dot(u) > 0);
    }
}
