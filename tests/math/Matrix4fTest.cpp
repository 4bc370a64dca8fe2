#include "MathTestSupport.h"

#include "support/LogCapture.h"

using namespace Quorlix;
using QuorlixTest::MathRandom;
using QuorlixTest::Near;

namespace {

Matrix4f Rotation(const Vector3f& angles, Eulerf::RotationOrder order) {
    Matrix4f m;
    m.MakeRotation(angles, order);
    return m;
}

Matrix4f Translation(const Vector3f& t) {
    Matrix4f m;
    m.MakeTranslation(t);
    return m;
}

Matrix4f Scaling(const Vector3f& s) {
    Matrix4f m;
    m.MakeScaling(s);
    return m;
}

Vector3f Transform(const Vector3f& p, const Matrix4f& m) {
    Vector3f out;
    MulVector3Matrix4x3(out, p, m);
    return out;
}

} // namespace

TEST(Matrix4f, LayoutRowsAndAccess) {
    static_assert(sizeof(Matrix4f) == 64);
    Matrix4f m(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    EXPECT_TRUE(m.GetM12() == 6.0f && m.Get(3, 1) == 13.0f);
    EXPECT_TRUE(m[2] == Vector4f(8, 9, 10, 11));
    EXPECT_TRUE(m.GetM3Vector3() == Vector3f(12, 13, 14));
    m.AccessM3Vector3().SetXYZ(-1, -2, -3);
    m[0][3] = 42;
    float out[16];
    m.Get(out);
    EXPECT_TRUE(out[3] == 42.0f && out[14] == -3.0f);

    m.Set(Vector3f(1, 2, 3), Vector3f(4, 5, 6), Vector3f(7, 8, 9), Vector3f(10, 11, 12));
    EXPECT_TRUE(m == Matrix4f(1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1));
}

TEST(Matrix4f, MakeAndTransformPoints) {
    const Matrix4f t = Translation(Vector3f(1, 2, 3));
    EXPECT_TRUE(Transform(Vector3f::Zero, t) == Vector3f(1, 2, 3));
    Vector3f direction;
    MulVector3Matrix3x3(direction, Vector3f(1, 1, 1), t);
    EXPECT_TRUE(direction == Vector3f(1, 1, 1));
    Vector2f flat, flatDirection;
    MulVector3Matrix4x3(flat, Vector3f(1, 1, 1), t);
    MulVector3Matrix3x3(flatDirection, Vector3f(1, 1, 1), Scaling(Vector3f(2, 3, 4)));
    EXPECT_TRUE(flat == Vector2f(2, 3) && flatDirection == Vector2f(2, 3));

    // Right-handed rotations of row vectors.
    const Vector3f x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    EXPECT_TRUE(Near(Transform(x, Rotation(Vector3f(0, 0, k_HalfPi), Eulerf::XYZ)), y, 1e-7f));
    EXPECT_TRUE(Near(Transform(y, Rotation(Vector3f(k_HalfPi, 0, 0), Eulerf::XYZ)), z, 1e-7f));
    EXPECT_TRUE(Near(Transform(z, Rotation(Vector3f(0, k_HalfPi, 0), Eulerf::XYZ)), x, 1e-7f));

    Matrix4f shear;
    shear.MakeShearing(Vector3f(2, 3, 4));
    EXPECT_TRUE(shear == Matrix4f(1, 0, 0, 0, 2, 1, 0, 0, 3, 4, 1, 0, 0, 0, 0, 1));

    Matrix4f f;
    f.MakeFrustum(-1, 3, -2, 2, 1, 3);
    EXPECT_TRUE(f == Matrix4f(0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0.5f, 0, -2, -1, 0, 0, -3, 0));
}

TEST(Matrix4f, ProductAppliesLeftFirst) {
    const Matrix4f t = Translation(Vector3f(1, 0, 0));
    Matrix4f r;
    r.MakeRotationZ(k_HalfPi);
    Matrix4f a = t;
    a.Mul(r); // translate, then rotate
    EXPECT_TRUE(Near(Transform(Vector3f::Zero, a), Vector3f(0, 1, 0), 1e-7f));
    EXPECT_TRUE(a == t * r);
    Matrix4f b = r;
    b *= t; // rotate, then translate
    EXPECT_TRUE(Near(Transform(Vector3f::Zero, b), Vector3f(1, 0, 0), 1e-7f));

    // Operands may alias the destination.
    Matrix4f square = r;
    square.AssignMul(square, square);
    Matrix4f half;
    half.MakeRotationZ(k_Pi);
    EXPECT_TRUE(Near(square, half, 1e-6f));

    MathRandom random;
    for (int i = 0; i < 50; ++i) {
        Matrix4f x = Rotation(random.Vector(3), Eulerf::ZXY),
                 y = Rotation(random.Vector(3), Eulerf::XYZ);
        x.AccessM3Vector3() = random.Vector(10);
        y.AccessM3Vector3() = random.Vector(10);
        Matrix4f affine;
        affine.AssignMulAffine(x, y);
        EXPECT_TRUE(Near(affine, x * y, 1e-5f));
    }
}

TEST(Matrix4f, TransposeAndComponentOps) {
    const Matrix4f m(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    Matrix4f t;
    t.AssignTranspose(m);
    EXPECT_TRUE(t == Matrix4f(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
    t = m;
    t.Transpose3();
    EXPECT_TRUE(t == Matrix4f(0, 4, 8, 3, 1, 5, 9, 7, 2, 6, 10, 11, 12, 13, 14, 15));

    Matrix4f c = m + Matrix4f::Identity;
    c -= m;
    EXPECT_TRUE(c == Matrix4f::Identity);
    // Each element operation checked on its own, with exact values, so that no two of them
    // can cancel (a no-op Mul and Div, or Scale and Sub) and still pass.
    const Matrix4f d(1, -2, 4, 8, 0.5f, 16, 1, 1, 2, 2, -4, 0.25f, 1, 2, 3, 4);
    c = d;
    c.ComponentScale(2);
    EXPECT_TRUE(c == Matrix4f(2, -4, 8, 16, 1, 32, 2, 2, 4, 4, -8, 0.5f, 2, 4, 6, 8));
    c.ComponentMul(d);
    EXPECT_TRUE(c == Matrix4f(2, 8, 32, 128, 0.5f, 512, 2, 2, 8, 8, 32, 0.125f, 2, 8, 18, 32));
    EXPECT_TRUE(c.ComponentDiv(Matrix4f(2, 8, 16, 32, 1, 64, 2, 1, 4, 2, 8, 0.5f, 1, 2, 3, 4)));
    EXPECT_TRUE(c == Matrix4f(1, 1, 2, 4, 0.5f, 8, 1, 2, 2, 4, 4, 0.25f, 2, 4, 6, 8));
    c.ComponentSub(d);
    EXPECT_TRUE(c == Matrix4f(0, 3, -2, -4, 0, -8, 0, 1, 0, 2, 8, 0, 1, 2, 3, 4));
    c.ComponentAdd(d);
    EXPECT_TRUE(c == Matrix4f(1, 1, 2, 4, 0.5f, 8, 1, 2, 2, 4, 4, 0.25f, 2, 4, 6, 8));

    // PreScale is the scaling applied after the 3x3 part; row 3 stays.
    Matrix4f p = Rotation(Vector3f(0.3f, -0.2f, 1.1f), Eulerf::XYZ);
    p.AccessM3Vector3().SetXYZ(4, 5, 6);
    Matrix4f expected = p * Scaling(Vector3f(2, 3, 4));
    expected.AccessM3Vector3().SetXYZ(4, 5, 6);
    p.PreScale(Vector3f(2, 3, 4));
    EXPECT_TRUE(Near(p, expected, 1e-6f));
}

TEST(Matrix4f, InverseTimesMatrixIsIdentity) {
    MathRandom random;
    for (int i = 0; i < 100; ++i) {
        Matrix4f m = Rotation(random.Vector(3), Eulerf::YXZ);
        m.AccessM3Vector3() = random.Vector(100);
        Matrix4f orthoInverse;
        orthoInverse.AssignInvertOrthoN(m);
        EXPECT_TRUE(Near(orthoInverse * m, Matrix4f::Identity, 1e-4f));

        m.PreScale(
            Vector3f(random.Uniform(0.1f, 5), random.Uniform(-5, -0.1f), random.Uniform(0.1f, 5)));
        Matrix4f inverse;
        ASSERT_TRUE(inverse.AssignInvertAffine(m));
        EXPECT_TRUE(Near(inverse * m, Matrix4f::Identity, 1e-4f));
        Matrix4f inPlace = m;
        ASSERT_TRUE(inPlace.InvertAffine());
        EXPECT_TRUE(inPlace == inverse);
    }
}

TEST(Matrix4f, SingularInverseFailsAndLeavesDestination) {
    const Matrix4f sentinel(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    Matrix4f zeroRow = Matrix4f::Identity;
    zeroRow[1] = Vector4f(0, 0, 0, 0);
    Matrix4f target = sentinel;
    EXPECT_FALSE(target.AssignInvertAffine(zeroRow));
    EXPECT_TRUE(target == sentinel);
    // Rows that differ by rounding only: the determinant is all cancellation.
    const Matrix4f nearlySingular(1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9.0000005f, 0, 0, 0, 0, 1);
    EXPECT_FALSE(target.AssignInvertAffine(nearlySingular));
    EXPECT_TRUE(target == sentinel);
}

TEST(Matrix4f, EulerOrdersMultiplyAxisRotations) {
    const Vector3f angles(0.4f, -1.1f, 2.3f);
    Matrix4f rx, ry, rz;
    rx.MakeRotationX(angles[0]);
    ry.MakeRotationY(angles[1]);
    rz.MakeRotationZ(angles[2]);
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::XYZ), rx * ry * rz, 1e-6f));
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::YZX), ry * rz * rx, 1e-6f));
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::ZXY), rz * rx * ry, 1e-6f));
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::XZY), rx * rz * ry, 1e-6f));
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::YXZ), ry * rx * rz, 1e-6f));
    EXPECT_TRUE(Near(Rotation(angles, Eulerf::ZYX), rz * ry * rx, 1e-6f));

    QuorlixTest::LogCapture log;
    EXPECT_TRUE(Rotation(angles, static_cast<Eulerf::RotationOrder>(7)) ==
                Rotation(angles, Eulerf::XYZ));
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0], "[Error]Matrix4fC::MakeRotation: unsupported rotationorder.");
}

TEST(Matrix4f, DecomposeAffineGivesEulerAnglesBack) {
    MathRandom random;
    for (Eulerf::RotationOrder order : {Eulerf::XYZ, Eulerf::ZYX}) {
        for (int i = 0; i < 100; ++i) {
            // Away from the gimbal lock: the middle angle inside (-pi/2, pi/2).
            const Vector3f angles(random.Uniform(-3, 3), random.Uniform(-1.4f, 1.4f),
                                  random.Uniform(-3, 3));
            const Vector3f scale(random.Uniform(0.2f, 4), random.Uniform(0.2f, 4),
                                 random.Uniform(0.2f, 4));
            const Vector3f translation = random.Vector(50);
            const Matrix4f m = Scaling(scale) * Rotation(angles, order) * Translation(translation);
            Vector3f s, h, e, t;
            EXPECT_EQ(m.DecomposeAffine(s, h, e, t, order), 1u);
            EXPECT_TRUE(Near(e, angles, 2e-4f)) << order;
            EXPECT_TRUE(Near(s, scale, 1e-4f));
            EXPECT_TRUE(Near(h, Vector3f::Zero, 1e-4f));
            EXPECT_TRUE(t == translation);
        }
    }
}

TEST(Matrix4f, DecomposeAffineAtGimbalLockAndLeftHanded) {
    Matrix4f m;
    m.MakeRotationY(-k_HalfPi);
    Vector3f s, h, e, t;
    EXPECT_EQ(m.DecomposeAffine(s, h, e, t, Eulerf::XYZ), 0x1001u);
    EXPECT_TRUE(e[1] == -k_HalfPi && e[2] == 0.0f);
    m.MakeRotationY(k_HalfPi);
    EXPECT_EQ(m.DecomposeAffine(s, h, e, t, Eulerf::XYZ), 0x2001u);
    EXPECT_TRUE(e[1] == k_HalfPi && e[2] == 0.0f);

    // A mirrored frame: the decomposition still rebuilds the matrix.
    m = Scaling(Vector3f(2, 3, -4)) * Rotation(Vector3f(0.5f, 0.2f, -0.7f), Eulerf::XYZ);
    m.AccessM3Vector3().SetXYZ(1, 2, 3);
    Matrix4f rotation;
    EXPECT_EQ(m.DecomposeAffine(s, h, rotation, t), 1u);
    EXPECT_TRUE(Near(s, Vector3f(-2, -3, -4), 1e-5f));
    EXPECT_TRUE(Near(Scaling(s) * rotation * Translation(t), m, 1e-5f));
    Matrix4f transposed;
    transposed.AssignTranspose(rotation);
    EXPECT_TRUE(Near(transposed * rotation, Matrix4f::Identity, 1e-6f));

    QuorlixTest::LogCapture log;
    EXPECT_EQ(m.DecomposeAffine(s, h, e, t, Eulerf::YZX), 1u);
    EXPECT_TRUE(e == Vector3f::Zero);
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0], "[Warn ]Decompose: Euler order unsupported.");
}

TEST(Matrix4f, DecomposeScalingFindsShearAndScale) {
    Matrix4f shear;
    shear.MakeShearing(Vector3f(0.5f, -0.25f, 2));
    Vector3f s, h;
    EXPECT_EQ(shear.DecomposeScaling(s, h), 0u);
    EXPECT_TRUE(s == Vector3f(1, 1, 1));
    EXPECT_TRUE(Near(h, Vector3f(0.5f, -0.25f, 2), 1e-6f));

    const Matrix4f scaled = shear * Scaling(Vector3f(2, 4, 8));
    scaled.DecomposeScaling(s, h);
    EXPECT_TRUE(Near(s, Vector3f(2, 4, 8), 1e-5f));
    // Shears come out in units of the later axis' scale.
    EXPECT_TRUE(Near(h, Vector3f(0.5f * 2 / 4, -0.25f * 2 / 8, 2.0f * 4 / 8), 1e-5f));

    Scaling(Vector3f(1, 1, -1)).DecomposeScaling(s, h);
    EXPECT_TRUE(s == Vector3f(-1, -1, -1));
}
