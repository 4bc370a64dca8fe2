#include "MathTestSupport.h"

#include "quorlix/math/Normal3f.h"
#include "quorlix/math/Spheref.h"
#include "quorlix/math/StreamOutput.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace Quorlix;
using QuorlixTest::Near;

namespace {

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <class Write>
std::string Text(Write write) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    write(stream);
    return std::string(reinterpret_cast<const char*>(pipe->GetData()), size_t(pipe->GetSize()));
}

} // namespace

TEST(Vector, NormalisedSetKeepsUnitInputBitExact) {
    Vector3f v;
    v.SetXYZNormalize(0.6f, 0.8f, 0.0f);
    EXPECT_TRUE(SameBits(v[0], 0.6f) && SameBits(v[1], 0.8f) && v[2] == 0.0f);
    v.SetXYZNormalize(3.0f, 4.0f, 0.0f);
    EXPECT_TRUE(Near(v, Vector3f(0.6f, 0.8f, 0), 1e-7f));
    // Just outside the window the components are scaled.
    v.SetXYZNormalize(1.0f + 2e-7f, 0.0f, 0.0f);
    EXPECT_EQ(v[0], 1.0f);

    Vector2f v2;
    v2.SetXYNormalize(0.6f, 0.8f);
    EXPECT_TRUE(SameBits(v2[0], 0.6f));
    Vector4f v4;
    v4.SetXYZWNormalize(0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_TRUE(v4 == Vector4f(0.5f, 0.5f, 0.5f, 0.5f));

    EXPECT_TRUE(Near(Normal3f(0.0f, 3.0f, 4.0f), Vector3f(0, 0.6f, 0.8f), 1e-7f));
    const Normal3f unit(0.6f, 0.0f, 0.8f);
    EXPECT_TRUE(SameBits(unit[0], 0.6f) && SameBits(unit[2], 0.8f));
}

TEST(Vector, LengthCrossAndCompare) {
    EXPECT_EQ(Vector3f(2, 3, 6).Length(), 7.0f);
    EXPECT_EQ(Vector3f(1, 1, 1).Distance(Vector3f(3, 4, 7)), 7.0f);
    EXPECT_EQ(Vector4f(1, 2, 3, 4).Dot(Vector4f(1, 1, 1, 1)), 10.0f);
    EXPECT_EQ(Vector2f(1, 2).Cross(Vector2f(3, 4)), -2.0f);

    Vector3f c(1, 0, 0);
    c.Cross(Vector3f(0, 1, 0));
    EXPECT_TRUE(c == Vector3f(0, 0, 1));
    c.AssignCrossNormalize(Vector3f(0, 2, 0), Vector3f(3, 0, 0));
    EXPECT_TRUE(c == Vector3f(0, 0, -1));

    const Vector3f a(1, 2, 3);
    EXPECT_TRUE(a.EqualEpsilon(Vector3f(1.5f, 2.5f, 2.5f), 0.5f));
    EXPECT_FALSE(a.EqualEpsilon(Vector3f(1.5f, 2.5f, 2.4f), 0.5f));
    // RMS looks at the whole difference, not at each component.
    EXPECT_FALSE(a.EqualRMS(Vector3f(1.5f, 2.5f, 2.5f), 0.5f));
    EXPECT_TRUE(a.EqualRMS(Vector3f(1.3f, 2.3f, 3.3f), 0.6f));
    EXPECT_FALSE(a.EqualExact(Vector3f(1, 2, 3.0001f)));
    EXPECT_TRUE(Vector2f(1, 2).EqualRMS(Vector2f(1.3f, 2.4f), 0.51f));
}

TEST(Vector, ArithmeticAndOperators) {
    Vector3f v(1, 2, 3);
    v.AddScaled(Vector3f(1, 1, 1), 2.0f);
    EXPECT_TRUE(v == Vector3f(3, 4, 5));
    v.Interpolate(Vector3f(7, 8, 9), 0.25f);
    EXPECT_TRUE(v == Vector3f(4, 5, 6));
    v.AssignComponentDiv(Vector3f(8, 10, 12), Vector3f(2, 5, 4));
    EXPECT_TRUE(v == Vector3f(4, 2, 3));
    EXPECT_TRUE(v * Vector3f(2, 2, 2) - Vector3f(1, 1, 1) == Vector3f(7, 3, 5));
    EXPECT_TRUE(-v / 2.0f == Vector3f(-2, -1, -1.5f));
    v += Vector3f(1, 1, 1);
    v *= Vector3f(2, 0, 1);
    EXPECT_TRUE(v == Vector3f(10, 0, 4));

    Vector4f w(1, 2, 3, 4);
    w -= Vector4f(1, 1, 1, 1);
    w /= Vector4f(1, 2, 4, 3);
    EXPECT_TRUE(w == Vector4f(0, 0.5f, 0.5f, 1));
    EXPECT_TRUE(Vector2f(1, 2) * Vector2f(3, 4) / Vector2f(3, 2) == Vector2f(1, 4));
}

TEST(Vector, ClampComponents) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Vector3f v(-1, 0.5f, nan);
    v.Clamp(0.0f, 1.0f);
    EXPECT_TRUE(v == Vector3f(0, 0.5f, 1)); // NaN fails both tests and becomes hi
    v.Clamp(Vector3f(0.2f, 0, 0), Vector3f(1, 0.25f, 0.5f));
    EXPECT_TRUE(v == Vector3f(0.2f, 0.25f, 0.5f));
    Vector4f w(-2, -1, 1, 2);
    w.ClampMin(-1.5f);
    w.ClampMax(1.5f);
    EXPECT_TRUE(w == Vector4f(-1.5f, -1, 1, 1.5f));
}

TEST(Vector, AnglesReflectAndParallel) {
    EXPECT_EQ(Vector3f(0, 0, 0).CosAngle(Vector3f(1, 0, 0)), 0.0f);
    EXPECT_FLOAT_EQ(Vector3f(2, 0, 0).Angle(Vector3f(0, 3, 0)), k_HalfPi);
    EXPECT_EQ(Vector3f(1, 1, 0).CosAngle(Vector3f(-2, -2, 0)), -1.0f);
    EXPECT_FLOAT_EQ(Vector2f(1, 0).Angle(Vector2f(1, 1)), k_Pi / 4);
    EXPECT_FLOAT_EQ(Vector4f(1, 0, 0, 0).CosAngle(Vector4f(1, 1, 1, 1)), 0.5f);

    const Normal3f x(1, 0, 0);
    EXPECT_TRUE(x.Angle(Normal3f(-1, 0, 0)) == k_Pi && x.Angle(x) == 0.0f);
    EXPECT_FLOAT_EQ(x.CosAngle(Normal3f(1, 1, 0)), std::sqrt(0.5f));

    Vector3f v(1, -1, 0);
    v.Reflect(Vector3f(0, 1, 0));
    EXPECT_TRUE(v == Vector3f(1, 1, 0));
    Normal3f n(0, 0, 1);
    n.AssignReflect(n, Normal3f(0, 0, 1));
    EXPECT_EQ(n[2], -1.0f);

    const Vector3f d(1, 2, 3);
    EXPECT_TRUE(d.IsParallel(d * 4.0f, 1e-6f));
    EXPECT_FALSE(d.IsParallel(-d, 1e-6f));
    EXPECT_FALSE(d.IsParallel(Vector3f(1, 2, 3.1f), 1e-6f));
}

TEST(Vector, NewellNormals) {
    Vector3f n;
    n.AssignTriangleNormal(Vector3f(0, 0, 0), Vector3f(2, 0, 0), Vector3f(0, 2, 0));
    EXPECT_TRUE(Near(n, Vector3f(0, 0, 1), 1e-7f));
    n.AssignTriangleNormal(Vector3f(0, 0, 0), Vector3f(0, 2, 0), Vector3f(2, 0, 0));
    EXPECT_TRUE(Near(n, Vector3f(0, 0, -1), 1e-7f));

    // Points read at a 16-byte stride from Vector4f storage, a non-planar quad included.
    const Vector4f quad[4] = {{0, 0, 1, 9}, {1, 0, 1, 9}, {1, 1, 1, 9}, {0, 1, 1, 9}};
    n.AssignPolygonNormal(quad, 4, sizeof(Vector4f));
    EXPECT_TRUE(Near(n, Vector3f(0, 0, 1), 1e-7f));
    const Vector3f slanted[4] = {{0, 0, 0}, {1, 0, 1}, {1, 1, 1}, {0, 1, 0}};
    n.AssignPolygonNormal(slanted, 4, sizeof(Vector3f));
    EXPECT_TRUE(Near(n, Vector3f(-std::sqrt(0.5f), 0, std::sqrt(0.5f)), 1e-6f));

    // Without points there is no closing edge: zero, and nothing is read.
    for (int count : {0, -3}) {
        n.SetXYZ(5, 5, 5);
        n.AssignPolygonNormal(nullptr, count, 12);
        EXPECT_TRUE(n == Vector3f::Zero) << count;
    }
}

TEST(Vector, StreamOutput) {
    EXPECT_EQ(Text([](Stream& s) {
                  s << Vector2f(1, 0.5f) << Vector3f(-2, 0.25f, 3) << Vector4f(0, 1, 2, 0.1f)
                    << Quaternionf::Identity << Normal3f(0, 0, 2)
                    << Spheref(Vector3f(1, -2, 0.5f), 0.25f);
              }),
              "(1.,0.5)(-2.,0.25,3.)(0.,1.,2.,0.1)(0.,0.,0.,1.)(0.,0.,1.)((1.,-2.,0.5),0.25)");
    EXPECT_EQ(Text([](Stream& s) { s << Matrix4f::Identity; }),
              "(1.,0.,0.,0.,0.,1.,0.,0.,0.,0.,1.,0.,0.,0.,0.,1.)");
}

TEST(Scalar, Functions) {
    EXPECT_EQ(Fract(2.75f), 0.75f);
    EXPECT_EQ(Fract(-2.75f), -0.75f);
    float whole = 0;
    EXPECT_EQ(FractInt(-3.5f, whole), -0.5f);
    EXPECT_EQ(whole, -3.0f);
    EXPECT_EQ(Clamp(std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f), 1.0f);
    EXPECT_EQ(Clamp(-1.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(Clamp(0.5f, 0.0f, 1.0f), 0.5f);
    EXPECT_EQ(Sin1(1.0f), 1.0f);
    EXPECT_EQ(Slope1(0.0f), 1.0f);
    EXPECT_NEAR(Slope1(1.0f), 0.0f, 1e-7f);
    EXPECT_NEAR(Slope1(0.5f), 0.5f, 1e-7f);
    EXPECT_FLOAT_EQ(ArcTan(1.0f), k_Pi / 4);
    EXPECT_FLOAT_EQ(ArcTan2(1.0f, -1.0f), 3 * k_Pi / 4);
    EXPECT_EQ(Modulo(-7.0f, 3.0f), -1.0f);
}
