#pragma once
// Shared helpers of the math tests: seeded random values and tolerant comparisons.

#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Quaternionf.h"

#include <gtest/gtest.h>

#include <random>

namespace QuorlixTest {

/// Every run draws the same values, so a failure repeats.
class MathRandom {
public:
    float Uniform(float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(m_Engine);
    }
    Quorlix::Vector3f Vector(float range) {
        return Quorlix::Vector3f(Uniform(-range, range), Uniform(-range, range),
                                 Uniform(-range, range));
    }
    /// A unit quaternion from four uniform components.
    Quorlix::Quaternionf UnitQuaternion() {
        Quorlix::Quaternionf q(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1));
        const float n = 1.0f / std::sqrt(q.Dot(q));
        return Quorlix::Quaternionf(q[0] * n, q[1] * n, q[2] * n, q[3] * n);
    }

private:
    std::mt19937 m_Engine{20261206u};
};

inline ::testing::AssertionResult Differ(const float* a, const float* b, int n) {
    auto failure = ::testing::AssertionFailure();
    for (int i = 0; i < 2 * n; ++i)
        failure << (i < n ? a[i] : b[i - n]) << (i == n - 1 ? " vs " : " ");
    return failure;
}

inline ::testing::AssertionResult Near(const Quorlix::Vector3fC& a, const Quorlix::Vector3fC& b,
                                       float eps) {
    const float fa[3] = {a.GetX(), a.GetY(), a.GetZ()}, fb[3] = {b.GetX(), b.GetY(), b.GetZ()};
    return a.EqualEpsilon(b, eps) ? ::testing::AssertionSuccess() : Differ(fa, fb, 3);
}

inline ::testing::AssertionResult Near(const Quorlix::Matrix4fC& a, const Quorlix::Matrix4fC& b,
                                       float eps) {
    return a.EqualEpsilon(b, eps) ? ::testing::AssertionSuccess()
                                  : Differ(a.GetData(), b.GetData(), 16);
}

/// q and -q are the same rotation.
inline ::testing::AssertionResult SameRotation(const Quorlix::Quaternionf& a,
                                               const Quorlix::Quaternionf& b, float eps) {
    const float fa[4] = {a[0], a[1], a[2], a[3]}, fb[4] = {b[0], b[1], b[2], b[3]};
    return std::fabs(std::fabs(a.Dot(b)) - 1.0f) <= eps ? ::testing::AssertionSuccess()
                                                        : Differ(fa, fb, 4);
}

} // namespace QuorlixTest
