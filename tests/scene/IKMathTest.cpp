// The IK arithmetic against geometry worked out here: rotations between directions, two-bone
// solutions checked by their bone lengths and plane, CCD convergence, and B-splines against
// Bernstein polynomials and their arc length.

#include "quorlix/scene/internal/IKMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace Quorlix::Internal;

namespace {

constexpr double k_Pi = 3.14159265358979323846;

void ExpectNear(const IKVec& a, const IKVec& b, double eps, const char* what = "") {
    EXPECT_NEAR(a.x, b.x, eps) << what;
    EXPECT_NEAR(a.y, b.y, eps) << what;
    EXPECT_NEAR(a.z, b.z, eps) << what;
}

IKVec Unit(const IKVec& v) {
    return v * (1.0 / Length(v));
}

TEST(IKMath, RotationsTurnDirectionsAndCompose) {
    // A quarter turn about +z takes x to y; composing it twice is a half turn.
    const IKQuat quarter = AxisAngle(IKVec{0, 0, 3}, k_Pi / 2);
    ExpectNear(Rotate(quarter, IKVec{1, 0, 0}), IKVec{0, 1, 0}, 1e-12);
    ExpectNear(Rotate(Compose(quarter, AxisAngle(IKVec{1, 0, 0}, k_Pi / 2)), IKVec{1, 0, 0}),
               IKVec{0, 0, 1}, 1e-12, "z then x");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 100; ++i) {
        const IKVec from{u(random), u(random), u(random)}, to{u(random), u(random), u(random)};
        ExpectNear(Unit(Rotate(RotationBetween(from, to), from)), Unit(to), 1e-9);
        // The frame map takes both vectors where asked.
        const IKVec a = Unit(from), n = Unit(Cross(from, to));
        const IKVec a2 = Unit(to), n2 = Unit(Cross(to, IKVec{0.3, 1, 0}));
        const IKVec m2 = Unit(n2 - a2 * Dot(n2, a2));
        const IKQuat q = FrameRotation(a, n, a2, m2);
        ExpectNear(Rotate(q, a), a2, 1e-9);
        ExpectNear(Rotate(q, n), m2, 1e-9);
    }
    // Opposite directions turn half way; degenerate inputs turn nothing.
    ExpectNear(Rotate(RotationBetween(IKVec{0, 2, 0}, IKVec{0, -1, 0}), IKVec{0, 1, 0}),
               IKVec{0, -1, 0}, 1e-12, "opposite");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const IKVec& bad : {IKVec{}, IKVec{nan, 0, 0}, IKVec{1e-300, 0, 0}}) {
        const IKQuat q = RotationBetween(bad, IKVec{1, 0, 0});
        EXPECT_EQ(q.w, 1.0);
        EXPECT_EQ(AxisAngle(bad, 1.0).w, 1.0);
    }
}

TEST(IKMath, TwoBoneKeepsBonesAndReachesOrStretches) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int i = 0; i < 200; ++i) {
        const IKVec a{u(random), u(random), u(random)};
        const IKVec b = a + IKVec{u(random), u(random), u(random)};
        const IKVec c = b + IKVec{u(random), u(random), u(random)};
        const IKVec t{u(random), u(random), u(random)};
        const IKVec pole{u(random), u(random), u(random)};
        const double l1 = Length(b - a), l2 = Length(c - b), d = Length(t - a);
        TwoBoneResult r;
        ASSERT_TRUE(SolveTwoBone(a, b, c, t, pole, IKVec{0, 1, 0}, 0.0, r));
        // The bones keep their lengths, moved by the rotations returned.
        ExpectNear(r.m_Middle, a + Rotate(r.m_Upper, b - a), 1e-9, "upper");
        ExpectNear(r.m_End, r.m_Middle + Rotate(r.m_Lower, c - b), 1e-9, "lower");
        if (d >= std::fabs(l1 - l2) && d <= l1 + l2) {
            ExpectNear(r.m_End, t, 1e-9, "reached");
        } else {
            const double reach = d > l1 + l2 ? l1 + l2 : std::fabs(l1 - l2);
            ExpectNear(r.m_End, a + Unit(t - a) * reach, 1e-9, "stretched or folded");
        }
        // The middle joint lies in the plane of the axis and the pole, on the pole's side.
        const IKVec axis = Unit(t - a);
        const IKVec side = pole - axis * Dot(pole, axis);
        const IKVec m = r.m_Middle - a;
        EXPECT_NEAR(Dot(m, Unit(Cross(axis, side))), 0.0, 1e-9);
        EXPECT_GE(Dot(m, side), -1e-9);
    }
    // Zero-length bones and a target on the start give finite answers; NaN gives none.
    TwoBoneResult r;
    EXPECT_TRUE(
        SolveTwoBone(IKVec{}, IKVec{}, IKVec{1, 0, 0}, IKVec{0, 2, 0}, IKVec{}, IKVec{}, 0.0, r));
    ExpectNear(r.m_End, IKVec{0, 1, 0}, 1e-12, "one bone");
    EXPECT_TRUE(
        SolveTwoBone(IKVec{}, IKVec{1, 0, 0}, IKVec{2, 0, 0}, IKVec{}, IKVec{}, IKVec{}, 0.0, r));
    EXPECT_NEAR(Length(r.m_Middle), 1.0, 1e-12);
    ExpectNear(r.m_End, IKVec{}, 1e-12, "folded onto the start");
    EXPECT_FALSE(SolveTwoBone(IKVec{}, IKVec{1, 0, 0}, IKVec{2, 0, 0}, IKVec{std::nan(""), 0, 0},
                              IKVec{}, IKVec{}, 0.0, r));
}

TEST(IKMath, CoordinateDescentConvergesOnReachableTargets) {
    std::vector<IKVec> p;
    for (int i = 0; i <= 6; ++i)
        p.push_back(IKVec{static_cast<double>(i), 0, 0});
    const std::vector<IKVec> rest = p;
    std::vector<IKQuat> rotation(6);
    const IKVec target{2, 3, -1};
    const int iterations = SolveCCD(p, rotation, target, 32, 1e-4);
    EXPECT_LT(iterations, 32);
    EXPECT_LT(Length(p[6] - target), 1e-4);
    for (size_t i = 0; i < 6; ++i) {
        // The positions are the rest bones turned by the returned rotations.
        ExpectNear(p[i + 1] - p[i], Rotate(rotation[i], rest[i + 1] - rest[i]), 1e-9);
    }
}

TEST(IKMath, BSplinesMatchBezierCurvesAndRefuseBadKnots) {
    const std::vector<IKVec> cvs = {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {6, 3, 2}};
    auto bezier = [&](double t) {
        const double s = 1 - t;
        return cvs[0] * (s * s * s) + cvs[1] * (3 * s * s * t) + cvs[2] * (3 * s * t * t) +
               cvs[3] * (t * t * t);
    };
    CubicBSpline curve;
    const char* why = "";
    ASSERT_TRUE(curve.Assign(cvs, {0, 0, 0, 0, 2, 2, 2, 2}, why));
    for (double t = 0; t <= 1.0; t += 0.125)
        ExpectNear(curve.Evaluate(2 * t), bezier(t), 1e-12);
    // Arc length against a fine polyline of the Bezier curve.
    curve.MeasureArcLength(64);
    double length = 0;
    constexpr int k_Steps = 100000;
    for (int i = 0; i < k_Steps; ++i)
        length += Length(bezier((i + 1.0) / k_Steps) - bezier(static_cast<double>(i) / k_Steps));
    EXPECT_NEAR(curve.ArcLength(), length, 1e-3);
    ExpectNear(curve.AtArcLength(curve.ArcLength()), cvs[3], 1e-9, "end");
    // Beyond the end, straight on.
    const IKVec on = curve.AtArcLength(curve.ArcLength() + 1.0);
    EXPECT_NEAR(Length(on - cvs[3]), 1.0, 1e-9);
    EXPECT_NEAR(Dot(Unit(on - cvs[3]), Unit(cvs[3] - cvs[2])), 1.0, 1e-3);
    // The short knot form and a uniform (unclamped) vector over more points.
    CubicBSpline shortForm;
    ASSERT_TRUE(shortForm.Assign(cvs, {0, 0, 0, 2, 2, 2}, why));
    ExpectNear(shortForm.Evaluate(0.7), curve.Evaluate(0.7), 1e-12, "short form");
    CubicBSpline uniform;
    const std::vector<IKVec> five = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
    ASSERT_TRUE(uniform.Assign(five, {0, 1, 2, 3, 4, 5, 6, 7, 8}, why));
    // Uniform cubic B-spline of points on a line: at the knot, (p0 + 4 p1 + p2) / 6.
    ExpectNear(uniform.Evaluate(4), IKVec{2, 0, 0}, 1e-12, "uniform");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::vector<IKVec> points;
        std::vector<double> knots;
    } bad[] = {
        {{cvs[0], cvs[1], cvs[2]}, {0, 0, 0, 1, 1, 1, 1}},
        {cvs, {0, 0, 0, 1, 1, 1, 1}},
        {cvs, {0, 0, 1, 0.5, 1, 1}},
        {cvs, {0, 0, nan, 1, 1, 1}},
        {cvs, {0, 0, 0, 0, 0, 0}},
        {{cvs[0], cvs[1], cvs[2], IKVec{nan, 0, 0}}, {0, 0, 0, 1, 1, 1}},
    };
    for (const auto& b : bad) {
        CubicBSpline refused;
        why = "";
        EXPECT_FALSE(refused.Assign(b.points, b.knots, why));
        EXPECT_STRNE(why, "");
    }
}

} // namespace
