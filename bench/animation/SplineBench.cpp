// Evaluating 10,000 SplineVector3f curves of 100 keys each (40 bytes a key, 40 MB of keys in all)
// at random times, one evaluation per curve and iteration, curve after curve as the animation
// library walks its curves; and the same curves at one time per frame. The baseline runs the
// same evaluation with a plain binary search in a loop over the same keys copied into one flat
// array.

#include "BenchRatios.h"
#include "quorlix/animation/Spline.h"
#include "quorlix/library/Library.h"

#include <algorithm>
#include <random>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Curves = 10000;
constexpr int k_Keys = 100;
constexpr int k_Times = 1 << 16;

struct Curves {
    Curves() {
        DLLInitialize(0);
        std::mt19937 random(11);
        std::uniform_real_distribution<float> value(-1, 1);
        std::uniform_real_distribution<float> gap(0.05f, 0.15f);
        m_Splines.reserve(k_Curves);
        for (int c = 0; c < k_Curves; ++c) {
            Obj<SplineVector3f> spline = SplineVector3f::Create();
            float time = 0;
            for (int k = 0; k < k_Keys; ++k) {
                const KeyVector3f key{time, Vector3f(value(random), value(random), value(random)),
                                      Vector3f(value(random), value(random), value(random)),
                                      Vector3f(value(random), value(random), value(random))};
                spline->AddKey(key);
                m_Flat.push_back(key);
                time += gap(random);
            }
            m_Splines.push_back(spline);
        }
        // Times over the curves' range and a little beyond, where the ends hold.
        std::uniform_real_distribution<float> when(-0.5f, k_Keys * 0.1f + 0.5f);
        for (int i = 0; i < k_Times; ++i)
            m_Times.push_back(when(random));
    }
    std::vector<Obj<SplineVector3f>> m_Splines;
    std::vector<KeyVector3f> m_Flat;
    std::vector<float> m_Times;
};

Curves& TheCurves() {
    static Curves curves;
    return curves;
}

void Count(benchmark::State& state) {
    state.counters["evaluations_per_second"] = benchmark::Counter(
        static_cast<double>(k_Curves), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SplineVector3f_Evaluate(benchmark::State& state) {
    Curves& curves = TheCurves();
    int t = 0;
    Vector3f sum(0, 0, 0);
    for (auto _ : state) {
        for (const Obj<SplineVector3f>& spline : curves.m_Splines) {
            Vector3f v;
            spline->Evaluate(curves.m_Times[t], v);
            sum += v;
            t = (t + 1) & (k_Times - 1);
        }
    }
    benchmark::DoNotOptimize(sum);
    Count(state);
}
BENCHMARK(BM_SplineVector3f_Evaluate)->Unit(benchmark::kMicrosecond);

// As a frame of the animation library: every curve at one time, which advances by a frame per
// iteration, so the keys a curve needs stay cached from one frame to the next.
void BM_SplineVector3f_EvaluateFrame(benchmark::State& state) {
    Curves& curves = TheCurves();
    float time = 0;
    Vector3f sum(0, 0, 0);
    for (auto _ : state) {
        for (const Obj<SplineVector3f>& spline : curves.m_Splines) {
            Vector3f v;
            spline->Evaluate(time, v);
            sum += v;
        }
        time = time < k_Keys * 0.1f ? time + 1.0f / 60 : 0;
    }
    benchmark::DoNotOptimize(sum);
    Count(state);
}
BENCHMARK(BM_SplineVector3f_EvaluateFrame)->Unit(benchmark::kMicrosecond);

// The same evaluation written out over one flat array: upper_bound for the segment, the
// Hermite basis, the step test per component.
void BM_PlainLoop_HermiteFlat(benchmark::State& state) {
    Curves& curves = TheCurves();
    const KeyVector3f* flat = curves.m_Flat.data();
    int t = 0;
    Vector3f sum(0, 0, 0);
    for (auto _ : state) {
        for (int c = 0; c < k_Curves; ++c) {
            const KeyVector3f* keys = flat + c * k_Keys;
            const float time = curves.m_Times[t];
            t = (t + 1) & (k_Times - 1);
            const KeyVector3f* next =
                std::upper_bound(keys + 1, keys + k_Keys, time,
                                 [](float x, const KeyVector3f& k) { return x < k.m_Time; });
            if (next == keys + k_Keys || time <= keys[0].m_Time) {
                sum += next == keys + k_Keys ? keys[k_Keys - 1].m_Value : keys[0].m_Value;
                continue;
            }
            const KeyVector3f& a = next[-1];
            const KeyVector3f& b = next[0];
            const float s = (time - a.m_Time) / (b.m_Time - a.m_Time);
            const float s2 = s * s;
            const float s3 = s2 * s;
            Vector3f v;
            for (int i = 0; i < 3; ++i)
                v[i] = a.m_TangentOut[i] >= 1e30f
                           ? a.m_Value[i]
                           : (2 * s3 - 3 * s2 + 1) * a.m_Value[i] +
                                 (s3 - 2 * s2 + s) * a.m_TangentOut[i] +
                                 (3 * s2 - 2 * s3) * b.m_Value[i] + (s3 - s2) * b.m_TangentIn[i];
            sum += v;
        }
    }
    benchmark::DoNotOptimize(sum);
    Count(state);
}
BENCHMARK(BM_PlainLoop_HermiteFlat)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    TheCurves();
    // 20 million evaluations a second is 500 us for the 10,000 curves.
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {QuorlixBench::Comparison{"BM_SplineVector3f_Evaluate", "BM_PlainLoop_HermiteFlat"},
         QuorlixBench::Comparison{"BM_SplineVector3f_EvaluateFrame", "BM_PlainLoop_HermiteFlat"}},
        {{"BM_SplineVector3f_Evaluate", "at least 20 million evaluations per second", 500e3, 0}});
}
