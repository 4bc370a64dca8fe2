// Local matrices of transforms against a step-by-step computation, limit clamping and LOD levels.

#include "quorlix/scene/internal/TransformMath.h"

#include <gtest/gtest.h>

#include <random>

using namespace Quorlix;
using namespace Quorlix::Internal;

namespace {

Vector3f Apply(const Vector3f& p, const Matrix4f& m) {
    Vector3f out;
    MulVector3Matrix4x3(out, p, m);
    return out;
}

// p · (3x3 part of m), the linear part alone.
Vector3f Linear(const Vector3f& p, const Matrix4f& m) {
    Vector3f out;
    MulVector3Matrix3x3(out, p, m);
    return out;
}

Matrix4f RotationOf(const Vector3f& degrees, Eulerf::RotationOrder order) {
    Matrix4f m;
    m.MakeRotation(Vector3f(degrees.GetX() * k_DegreesToRadians,
                            degrees.GetY() * k_DegreesToRadians,
                            degrees.GetZ() * k_DegreesToRadians),
                   order);
    return m;
}

void ExpectNear(const Vector3f& a, const Vector3f& b, float eps) {
    EXPECT_NEAR(a.GetX(), b.GetX(), eps);
    EXPECT_NEAR(a.GetY(), b.GetY(), eps);
    EXPECT_NEAR(a.GetZ(), b.GetZ(), eps);
}

Vector3f RandomVector(std::mt19937& random, float range) {
    std::uniform_real_distribution<float> d(-range, range);
    return Vector3f(d(random), d(random), d(random));
}

TEST(TransformMath, GeneralProductMatchesTheStepByStepMapping) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        TransformValues v;
        v.m_Translation = RandomVector(random, 10);
        v.m_Rotation = RandomVector(random, 180);
        v.m_Order = static_cast<Eulerf::RotationOrder>(round % 6);
        v.m_Scaling = RandomVector(random, 3);
        v.m_Shearing = RandomVector(random, 1);
        v.m_ScalingPivot = RandomVector(random, 5);
        v.m_ScalingPivotTranslation = RandomVector(random, 5);
        v.m_RotationAxis = RandomVector(random, 180);
        v.m_RotationPivot = RandomVector(random, 5);
        v.m_RotationPivotTranslation = RandomVector(random, 5);
        Matrix4f m;
        TransformLocalMatrix(511, v, m);

        Matrix4f scaling;
        scaling.MakeScaling(v.m_Scaling);
        Matrix4f shear;
        shear.MakeShearing(v.m_Shearing);
        const Vector3f p = RandomVector(random, 10);
        // ((p - Sp) · S · Sh + Sp + St - Rp) · Ra · R + Rp + Rt + T
        Vector3f q = Linear(Linear(p - v.m_ScalingPivot, scaling), shear);
        q = q + v.m_ScalingPivot + v.m_ScalingPivotTranslation - v.m_RotationPivot;
        q = Linear(Linear(q, RotationOf(v.m_RotationAxis, Eulerf::XYZ)),
                   RotationOf(v.m_Rotation, v.m_Order));
        q = q + v.m_RotationPivot + v.m_RotationPivotTranslation + v.m_Translation;
        ExpectNear(Apply(p, m), q, 2e-3f);
    }
}

TEST(TransformMath, ShortcutsEqualTheGeneralProduct) {
    std::mt19937 random(11);
    const unsigned words[] = {0, 16, 32, 48, 1, 17, 33, 49, 2, 34, 3, 35, 4, 20, 5, 6, 7};
    for (unsigned word : words) {
        SCOPED_TRACE(word);
        TransformValues v;
        // Only the members the word names differ from neutral.
        if (word & SBaseTransform::ComponentTranslation)
            v.m_Translation = RandomVector(random, 10);
        if (word & SBaseTransform::ComponentRotation)
            v.m_Rotation = RandomVector(random, 180);
        if (word & SBaseTransform::ComponentScaling)
            v.m_Scaling = RandomVector(random, 3);
        if (word & SBaseTransform::ComponentRotationPivot)
            v.m_RotationPivot = RandomVector(random, 5);
        if (word & SBaseTransform::ComponentScalingPivot)
            v.m_ScalingPivot = RandomVector(random, 5);
        Matrix4f shortcut;
        Matrix4f general;
        const bool identity = TransformLocalMatrix(word, v, shortcut);
        TransformLocalMatrix(word | 1024, v, general); // no shortcut for this word
        EXPECT_EQ(identity, word == 0 || word == 16 || word == 32 || word == 48);
        EXPECT_TRUE(shortcut.EqualEpsilon(general, 2e-4f));
    }
}

TEST(TransformMath, SimpleAndJointMatrices) {
    TransformValues v;
    Matrix4f m;
    EXPECT_TRUE(SimpleLocalMatrix(0, v, m));
    EXPECT_EQ(m, Matrix4f::Identity);
    v.m_Scaling = Vector3f(1, 1, 1.0000001f);
    EXPECT_TRUE(Differs(v.m_Scaling, Vector3f(1, 1, 1)));
    EXPECT_FALSE(SimpleLocalMatrix(SBaseTransform::ComponentScaling, v, m));
    EXPECT_EQ(m.Get(2, 2), 1.0000001f);
    v.m_Translation = Vector3f(1, 2, 3);
    v.m_Rotation = Vector3f(0, 90, 0);
    SimpleLocalMatrix(SBaseTransform::ComponentTranslation | SBaseTransform::ComponentRotation |
                          SBaseTransform::ComponentScaling,
                      v, m);
    // Scaling first, then rotation, then translation.
    ExpectNear(Apply(Vector3f(1, 0, 0), m), Vector3f(1, 2, 2), 1e-5f);

    // A joint divides by the parent's scaling; a zero component gives 0, not infinity.
    TransformValues joint;
    joint.m_ParentScaling = Vector3f(2, 0, 4);
    joint.m_ParentScalingEnable = true;
    JointLocalMatrix(SBaseTransform::ComponentParentScaling, joint, m);
    ExpectNear(Apply(Vector3f(1, 1, 1), m), Vector3f(0.5f, 0, 0.25f), 1e-6f);
    joint.m_ParentScalingEnable = false;
    JointLocalMatrix(SBaseTransform::ComponentParentScaling, joint, m);
    EXPECT_EQ(m, Matrix4f::Identity);
    joint.m_JointOrientation = Vector3f(0, 0, 90);
    joint.m_Translation = Vector3f(0, 0, 5);
    JointLocalMatrix(
        SBaseTransform::ComponentJointOrientation | SBaseTransform::ComponentTranslation, joint, m);
    ExpectNear(Apply(Vector3f(1, 0, 0), m), Vector3f(0, 1, 5), 1e-6f);
}

TEST(TransformMath, LimitsClampOnlyTheEnabledSides) {
    const Vector3f low(-1, -1, -1);
    const Vector3f high(1, 1, 1);
    EXPECT_EQ(ClampByLimits(Vector3f(5, 5, 5), 2, low, high), Vector3f(1, 5, 5));
    EXPECT_EQ(ClampByLimits(Vector3f(-5, -5, 5), 0, low, high), Vector3f(-5, -5, 5));
    EXPECT_EQ(ClampByLimits(Vector3f(-5, -5, 5), 63, low, high), Vector3f(-1, -1, 1));
    EXPECT_EQ(ClampByLimits(Vector3f(-5, 0.5f, -5), 1 | 4 | 32, low, high), Vector3f(-1, 0.5f, -5));
    // NaN never passes an enabled limit.
    const float nan = std::nanf("");
    EXPECT_EQ(ClampByLimits(Vector3f(nan, nan, 0), 1 | 8, low, high), Vector3f(-1, 1, 0));
}

TEST(TransformMath, LODLevelsCountThePassedThresholds) {
    Array<float> thresholds;
    EXPECT_EQ(SelectLODLevel(1e6f, thresholds), 0);
    thresholds.Add(10);
    thresholds.Add(20);
    EXPECT_EQ(SelectLODLevel(5 * 5, thresholds), 0);
    EXPECT_EQ(SelectLODLevel(15 * 15, thresholds), 1);
    EXPECT_EQ(SelectLODLevel(20 * 20, thresholds), 2);
    EXPECT_EQ(SelectLODLevel(25 * 25, thresholds), 2);
    EXPECT_EQ(SelectLODLevel(std::nanf(""), thresholds), 0);
}

} // namespace
