// Spline evaluation against direct formulas, the key operations with indices a file could carry,
// sorting, tangent generation, quaternion splines and their member targets, and scripts that
// fill splines.

#include "quorlix/animation/Spline.h"
#include "quorlix/script/ScriptEngine.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class Splines : public ScriptTest {};

using Lines = std::vector<std::string>;
constexpr float k_NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float k_Inf = std::numeric_limits<float>::infinity();

KeyScalarf Scalar(float time, float value, float in = 0, float out = 0) {
    return KeyScalarf{time, value, in, out};
}

float At(const SplineScalarf& spline, float time) {
    float value = -1;
    spline.Evaluate(time, value);
    return value;
}

// Time, value, tangent in and out of every key.
std::vector<float> Columns(const SplineScalarf& spline) {
    std::vector<float> out;
    for (const KeyScalarf& k : spline.GetKeys())
        out.insert(out.end(), {k.m_Time, k.m_Value, k.m_TangentIn, k.m_TangentOut});
    return out;
}

// The Hermite segment in power form a + b s + c s^2 + d s^3, independent of the basis-function
// form the library uses.
float PowerHermite(float p0, float m0, float p1, float m1, float s) {
    const double c = -3.0 * p0 - 2.0 * m0 + 3.0 * p1 - m1;
    const double d = 2.0 * p0 + m0 - 2.0 * p1 + m1;
    return static_cast<float>(p0 + s * (m0 + s * (c + s * d)));
}

Quaternionf RotationZ(float angle) {
    Quaternionf q;
    q.MakeRotationZ(angle);
    return q;
}

// The same rotation: q and -q are equal after normalising.
void ExpectSameRotation(const Quaternionf& a, const Quaternionf& b) {
    const float dot = a.Dot(b) / std::sqrt(a.Dot(a) * b.Dot(b));
    EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f);
}

TEST_F(Splines, EvaluationEdgeCases) {
    Obj<SplineScalarf> spline = SplineScalarf::Create();
    {
        // Without keys: zero, and FindKey answers 0, for every kind of spline.
        EXPECT_EQ(spline->FindKey(1.0f), 0);
        EXPECT_EQ(At(*spline, 1.0f), 0.0f);
        Vector3f v(7, 7, 7);
        Obj<SplineVector3f>(SplineVector3f::Create())->Evaluate(0.5f, v);
        EXPECT_EQ(v, Vector3f(0, 0, 0));
        Obj<SplineQuaternionf> rotation = SplineQuaternionf::Create();
        EXPECT_EQ(rotation->Evaluate(0.5f), Quaternionf::Identity);
        EXPECT_EQ(rotation->FindKey(0.5f), 0);
    }
    // One key holds at every time.
    spline->AddKey(Scalar(2, 3, 5, 5));
    for (float t : {-1e30f, 0.0f, 2.0f, 9.0f, k_NaN})
        EXPECT_EQ(At(*spline, t), 3.0f) << t;
    // Keys (0, 0) and (1, 1) with zero tangents blend the values only; the ends hold, and NaN
    // is the start.
    spline->SetKey(0, Scalar(0, 0));
    spline->AddKey(Scalar(1, 1));
    const std::pair<float, float> blend[] = {{0.5f, 0.5f}, {0.25f, 0.15625f}, {-4.0f, 0.0f},
                                             {4.0f, 1.0f}, {k_Inf, 1.0f},     {k_NaN, 0.0f}};
    for (const auto& [t, v] : blend)
        EXPECT_EQ(At(*spline, t), v) << t;
    {
        // A tangent out of 1e30 on key 0 holds value(0) up to time(1), then jumps; vectors
        // step per component.
        spline->SetKey(0, Scalar(0, 0, 0, 1e30f));
        EXPECT_EQ(At(*spline, 0.999f), 0.0f);
        EXPECT_EQ(At(*spline, 1.0f), 1.0f);
        Obj<SplineVector3f> vector = SplineVector3f::Create();
        vector->AddKey({0, Vector3f(0, 0, 0), Vector3f(0, 0, 0), Vector3f(0, 2e30f, 0)});
        vector->AddKey({1, Vector3f(1, 1, 1), Vector3f(0, 0, 0), Vector3f(0, 0, 0)});
        Vector3f v;
        vector->Evaluate(0.5f, v);
        EXPECT_EQ(v, Vector3f(0.5f, 0, 0.5f));
    }
    {
        // Equal key times (as unsorted or duplicate keys give) never make a NaN.
        Obj<SplineScalarf> same = SplineScalarf::Create();
        for (float v : {2.0f, 4.0f, 8.0f})
            same->AddKey(Scalar(1, v, 1, 1));
        for (float t : {0.0f, 1.0f, 2.0f})
            EXPECT_FALSE(std::isnan(At(*same, t)));
        same->SetKeyTime(1, k_NaN);
        EXPECT_FALSE(std::isnan(At(*same, 1.0f)));
    }
}

TEST_F(Splines, EvaluationMatchesDirectHermite) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-10, 10);
    std::uniform_real_distribution<float> gap(0.01f, 2);
    for (int round = 0; round < 20; ++round) {
        const int n = 2 + round * 3;
        Obj<SplineVector2f> spline = SplineVector2f::Create();
        float time = value(random);
        for (int i = 0; i < n; ++i) {
            spline->AddKey({time, Vector2f(value(random), value(random)),
                            Vector2f(value(random), value(random)),
                            Vector2f(value(random), value(random))});
            // Odd rounds space the keys very unevenly, which the search must handle too.
            time += gap(random) * (round % 2 == 1 ? float((i + 1) * (i + 1)) : 1.0f);
        }
        const Array<KeyVector2f>& keys = spline->GetKeys();
        std::uniform_real_distribution<float> when(keys[0].m_Time - 1, keys[n - 1].m_Time + 1);
        for (int probe = 0; probe < 200; ++probe) {
            const float t = probe == 0 ? keys[n - 1].m_Time : when(random);
            // The segment by a linear scan, clamped at the ends.
            int i = 0;
            while (i + 1 < n && keys[i + 1].m_Time <= t)
                ++i;
            EXPECT_EQ(spline->FindKey(t), t <= keys[0].m_Time ? 0 : i) << t;
            Vector2f got;
            spline->Evaluate(t, got);
            for (int c = 0; c < 2; ++c) {
                const float expected =
                    t <= keys[0].m_Time ? keys[0].m_Value[c]
                    : i == n - 1        ? keys[i].m_Value[c]
                                        : PowerHermite(keys[i].m_Value[c], keys[i].m_TangentOut[c],
                                                       keys[i + 1].m_Value[c], keys[i + 1].m_TangentIn[c],
                                                       (t - keys[i].m_Time) /
                                                           (keys[i + 1].m_Time - keys[i].m_Time));
                EXPECT_NEAR(got[c], expected, 1e-3f) << "n " << n << " t " << t;
            }
        }
    }
}

TEST_F(Splines, KeyOperationsStayWithinTheKeys) {
    Obj<SplineScalarf> spline = SplineScalarf::Create();
    spline->AddKey(Scalar(0, 10));
    spline->InsertKey(0, Scalar(-1, 5));
    spline->InsertKey(2, Scalar(1, 20)); // at the count: appends
    spline->InsertKey(1, Scalar(-0.5f, 7));
    ASSERT_EQ(spline->GetKeyCount(), 4);
    spline->RemoveKey(1);
    EXPECT_EQ(Columns(*spline), (std::vector<float>{-1, 5, 0, 0, 0, 10, 0, 0, 1, 20, 0, 0}));
    {
        LogCapture log;
        EXPECT_EQ(spline->GetKey(3).m_Value, 0.0f);
        EXPECT_EQ(spline->GetKey(-1).m_Time, 0.0f);
        spline->SetKey(3, Scalar(9, 9));
        spline->SetKey(-1, Scalar(9, 9));
        spline->RemoveKey(3);
        spline->InsertKey(4, Scalar(9, 9));
        spline->InsertKey(-1, Scalar(9, 9));
        EXPECT_EQ(spline->GetKeyCount(), 3);
        EXPECT_EQ(log.Messages(), (Lines{"[Error]SplineScalarf.SetKey: index 3 is out of range.",
                                         "[Error]SplineScalarf.SetKey: index -1 is out of range.",
                                         "[Error]SplineScalarf.RemoveKey: index 3 is out of range.",
                                         "[Error]SplineScalarf.InsertKey: index 4 is out of range.",
                                         "[Error]SplineScalarf.InsertKey: index -1 is out of "
                                         "range."}));
    }
    {
        // The search keeps the ends of the keys beside them: every kind of edit moves them.
        Obj<SplineScalarf> edited = SplineScalarf::Create();
        edited->SetKeyValue(1, 4); // two keys at time 0
        edited->SetKeyTime(1, 2);
        EXPECT_EQ(At(*edited, 1), 2.0f);
        edited->SetKey(1, Scalar(4, 8));
        EXPECT_EQ(At(*edited, 2), 4.0f);
        edited->AddKey(Scalar(6, 0));
        EXPECT_EQ(edited->FindKey(5), 1);
        edited->SetKeyTime(0, 10); // unsorted until sorted
        edited->SortKeys();
        EXPECT_EQ(edited->FindKey(7), 1);
        EXPECT_EQ(At(*edited, 11), 0.0f);
        edited->RemoveKey(2);
        EXPECT_EQ(At(*edited, 11), 0.0f);
        EXPECT_EQ(edited->FindKey(7), 1);
        edited->SetKeyCount(1);
        EXPECT_EQ(At(*edited, 7), 8.0f);
        edited->InsertKey(0, Scalar(-2, 2));
        EXPECT_EQ(At(*edited, 1), 5.0f); // halfway from the new first key
    }
    {
        // Quaternion keys outside the keys are the identity rotation.
        Obj<SplineQuaternionf> rotation = SplineQuaternionf::Create();
        EXPECT_EQ(rotation->GetKey(0).m_Value, Quaternionf::Identity);
        LogCapture log;
        rotation->RemoveKey(0);
        EXPECT_EQ(log.Messages().size(), 1u);
    }
}

TEST_F(Splines, SortingIsLogLinearAndClampsItsRange) {
    {
        // 200,000 keys already sorted, reversed and all equal: a quicksort pivoting on the
        // last key would recurse that deep and take quadratic time.
        const int n = 200000;
        Obj<SplineScalarf> spline = SplineScalarf::Create();
        spline->SetKeyCount(n);
        const auto start = std::chrono::steady_clock::now();
        for (int pass = 0; pass < 3; ++pass) {
            for (int i = 0; i < n; ++i)
                spline->SetKeyTime(i, pass == 0 ? float(i) : pass == 1 ? float(n - i) : 1.0f);
            spline->SortKeys();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    {
        std::mt19937 random(3);
        Obj<SplineScalarf> spline = SplineScalarf::Create();
        for (int i = 0; i < 1000; ++i) {
            const float t = static_cast<float>(random() % 500);
            spline->AddKey(Scalar(t, t * 2)); // the value travels with its time
        }
        spline->SetKeyTime(10, k_NaN);
        spline->SortKeys();
        const Array<KeyScalarf>& keys = spline->GetKeys();
        EXPECT_TRUE(std::isnan(keys[999].m_Time));
        for (int i = 0; i + 1 < 999; ++i) {
            EXPECT_LE(keys[i].m_Time, keys[i + 1].m_Time);
            EXPECT_EQ(keys[i].m_Value, keys[i].m_Time * 2);
        }
    }
    {
        // The range is clamped to the keys, and only the range moves.
        Obj<SplineScalarf> spline = SplineScalarf::Create();
        for (float t : {5.0f, 4.0f, 3.0f, 2.0f})
            spline->AddKey(Scalar(t, t));
        spline->SortKeyRange(2, 99);
        EXPECT_EQ(spline->GetKeyTime(2), 2.0f);
        EXPECT_EQ(spline->GetKeyTime(0), 5.0f);
        spline->SortKeyRange(-7, 1);
        EXPECT_EQ(spline->GetKeyTime(0), 4.0f);
        spline->SortKeyRange(3, 0); // empty
        spline->SortKeyRange(-9, -2);
        spline->SortKeyRange(-9, 99);
        EXPECT_EQ(spline->GetKeyTime(0), 2.0f);
        EXPECT_EQ(spline->GetKeyTime(3), 5.0f);
        Obj<SplineQuaternionf> rotation = SplineQuaternionf::Create();
        rotation->AddKey({2, RotationZ(1)});
        rotation->AddKey({1, RotationZ(2)});
        rotation->SortKeys();
        EXPECT_EQ(rotation->GetKey(0).m_Value, RotationZ(2));
    }
}

TEST_F(Splines, TangentGeneration) {
    // Inner keys by their neighbours; d, 0 at the first key and 0, d at the last. Time and
    // value stay.
    Obj<SplineScalarf> spline = SplineScalarf::Create();
    for (float t : {0.0f, 1.0f, 2.0f})
        spline->AddKey(Scalar(t, t * t));
    spline->ComputeTangentsSmooth();
    EXPECT_EQ(Columns(*spline), (std::vector<float>{0, 0, 1, 0, 1, 1, 2, 2, 2, 4, 0, 3}));
    // Uneven spacing weights by position: r = 1 / 4.
    spline->SetKeyTime(2, 4.0f);
    spline->ComputeTangentsSmooth();
    const std::vector<float> uneven = {0, 0, 1, 0, 1, 1, 3, 1, 4, 4, 0, 3};
    EXPECT_EQ(Columns(*spline), uneven);
    spline->ComputeTangentsDifference();
    EXPECT_EQ(Columns(*spline), uneven);
    {
        // Equal neighbour times take r = 0.5; vectors per component.
        Obj<SplineVector2f> vector = SplineVector2f::Create();
        for (float v : {0.0f, 2.0f, 4.0f})
            vector->AddKey({1, Vector2f(v, 2 * v), Vector2f(9, 9), Vector2f(9, 9)});
        vector->ComputeTangentsSmooth();
        EXPECT_EQ(vector->GetKeyTangentIn(1), Vector2f(2, 4));
        EXPECT_EQ(vector->GetKeyTangentOut(1), Vector2f(2, 4));
        EXPECT_EQ(vector->GetKeyTangentOut(0), Vector2f(1, 2));
        Obj<SplineScalarf> one = SplineScalarf::Create();
        one->AddKey(Scalar(0, 5, 9, 9));
        one->ComputeTangentsSmooth();
        EXPECT_EQ(one->GetKey(0).m_TangentIn, 0.0f);
    }
}

TEST_F(Splines, VectorsFromScalarComponents) {
    Obj<SplineScalarf> x = SplineScalarf::Create();
    Obj<SplineScalarf> y = SplineScalarf::Create();
    Obj<SplineScalarf> z = SplineScalarf::Create();
    for (int i = 0; i < 3; ++i) {
        x->AddKey(Scalar(float(i), float(i), 1, 2));
        y->AddKey(Scalar(float(i + 10), float(i * 10), 3, 4)); // times not read
        z->AddKey(Scalar(0, float(i * 100), 5, 6));
    }
    Obj<SplineVector3f> v = SplineVector3f::Create(x.Get(), y.Get(), z.Get());
    ASSERT_EQ(v->GetKeyCount(), 3);
    const KeyVector3f k = v->GetKey(2);
    EXPECT_EQ(k.m_Time, 2.0f);
    EXPECT_EQ(k.m_Value, Vector3f(2, 20, 200));
    EXPECT_EQ(k.m_TangentIn, Vector3f(1, 3, 5));
    EXPECT_EQ(k.m_TangentOut, Vector3f(2, 4, 6));
    EXPECT_EQ(Obj<SplineVector2f>(SplineVector2f::Create(x.Get(), y.Get()))->GetKey(1).m_Value,
              Vector2f(1, 10));
    // Shorter or missing components limit the keys.
    LogCapture log;
    y->RemoveKey(2);
    EXPECT_EQ(Obj<SplineVector4f>(SplineVector4f::Create(x.Get(), y.Get(), z.Get(), x.Get()))
                  ->GetKeyCount(),
              2);
    EXPECT_EQ(Obj<SplineVector2f>(SplineVector2f::Create(x.Get(), nullptr))->GetKeyCount(), 0);
    const std::string line = ".Create: component splines hold different key counts; using ";
    EXPECT_EQ(log.Messages(), (Lines{"[Error]SplineVector4f" + line + "2.",
                                     "[Error]SplineVector2f" + line + "0."}));
}

TEST_F(Splines, QuaternionsSlerpTheShortestArc) {
    Obj<SplineQuaternionf> spline = SplineQuaternionf::Create();
    const Quaternionf a = RotationZ(0.3f);
    const Quaternionf b = RotationZ(2.0f);
    spline->AddKey({1, Quaternionf(a[0] * 2, a[1] * 2, a[2] * 2, a[3] * 2)}); // normalised first
    spline->AddKey({3, b});
    Quaternionf expected;
    expected.AssignSlerp(a, b, 0.25f, Quaternionf::SlerpPlain);
    const Quaternionf got = spline->Evaluate(1.5f);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(got[c], expected[c], 1e-6f);
    ExpectSameRotation(spline->Evaluate(2.0f), RotationZ(1.15f));
    // Before the first key its normalised rotation, after the last that key as stored.
    EXPECT_NEAR(spline->Evaluate(0.0f)[3], a[3], 1e-6f);
    EXPECT_EQ(spline->Evaluate(5.0f), b);
    // Between q and -q (one rotation) the rotation stays; towards -b it takes the short way,
    // the same as towards b.
    spline->SetKey(0, {1, b});
    spline->SetKey(1, {3, Quaternionf(-b[0], -b[1], -b[2], -b[3])});
    for (float t : {1.5f, 2.0f, 2.5f})
        ExpectSameRotation(spline->Evaluate(t), b);
    spline->SetKey(0, {1, a});
    ExpectSameRotation(spline->Evaluate(2.0f), RotationZ(1.15f));
    // A zero or NaN rotation counts as the identity.
    spline->SetKey(1, {3, Quaternionf(0, 0, 0, 0)});
    ExpectSameRotation(spline->Evaluate(3.0f - 1e-6f), Quaternionf::Identity);
    spline->SetKey(1, {3, Quaternionf(k_NaN, 0, 0, 1)});
    EXPECT_FALSE(std::isnan(spline->Evaluate(2.0f)[3]));
    {
        // Scripts give the keys as Vector4f.
        const Obj<ScriptEngine> engine(ScriptEngine::Create());
        LogCapture err;
        engine->Execute(String("SplineQuaternionf:spin.{ .KeyTime [0.0, 1.0]; "
                               ".KeyValue [(0, 0, 0, 1), (0, 0, 1, 0)]; };"),
                        String("spin"), 1);
        EXPECT_TRUE(err.Messages().empty()) << err.Text();
        auto* spin = dynamic_cast<SplineQuaternionf*>(engine->FindObjectC("spin"));
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->GetKeyValue(1), Vector4f(0, 0, 1, 0));
        ExpectSameRotation(spin->Evaluate(0.5f), Quaternionf(0, 0, 0.70710677f, 0.70710677f));
    }
}

TEST_F(Splines, QuaternionsEvaluateIntoMembers) {
    Obj<ScriptClass> cls = DefineClass("Turner", BuiltinTypeID(k_ClassObject),
                                       {{"Turn", k_ClassQuaternionf},
                                        {"Turns", k_ClassQuaternionf, MemberIsArray},
                                        {"Ratio", k_ClassF32}});
    const auto* turn = cls->FindMemberOf<Quaternionf, false>("Turn");
    const auto* turns = cls->FindMember("Turns", nullptr);
    Obj<ScriptObject> object = ScriptObject::Create(cls->GetClassID());
    Obj<SplineQuaternionf> spline = SplineQuaternionf::Create();
    spline->AddKey({0, RotationZ(0)});
    spline->AddKey({1, RotationZ(1)});
    spline->EvaluateToMember(0.5f, object.Get(), turn);
    EXPECT_EQ(object->Get(turn), spline->Evaluate(0.5f));
    spline->EvaluateToMemberElement(1.0f, object.Get(), turns, 2);
    Array<Quaternionf> values;
    ASSERT_TRUE(object->GetArray<Quaternionf>(turns, values));
    ASSERT_EQ(values.Size(), 3);
    EXPECT_EQ(values[2], RotationZ(1));
    EXPECT_EQ(values[0], Quaternionf::Identity);

    LogCapture log;
    spline->EvaluateToMember(0.5f, object.Get(), cls->FindMember("Ratio", nullptr));
    spline->EvaluateToMember(0.5f, object.Get(), turns);
    spline->EvaluateToMember(0.5f, nullptr, turn);
    spline->EvaluateToMemberElement(0.5f, object.Get(), turn, 0);
    for (int i : {-1, 1 << 24})
        spline->EvaluateToMemberElement(0.5f, object.Get(), turns, i);
    ASSERT_TRUE(object->GetArray<Quaternionf>(turns, values));
    EXPECT_EQ(values.Size(), 3);
    const std::string member = "[Error]SplineQuaternionf.EvaluateToMember";
    EXPECT_EQ(log.Messages(),
              (Lines{member + ": member is not a Quaternionf value.",
                     member + ": member is not a Quaternionf value.", member + ": no object.",
                     member + "Element: member is not a Quaternionf array.",
                     member + "Element: index -1 is out of range.",
                     member + "Element: index 16777216 is out of range."}));
}

} // namespace
