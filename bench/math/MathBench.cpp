// Matrix4f::Mul, AssignInvertAffine and MulVector3Matrix4x3 per call, each beside a plain loop
// over float arrays compiled here, so the figures read as the cost of the library call over
// the arithmetic itself. CullFrustumf::FastCull per sphere of a random set around the frustum,
// beside the bare six plane tests.

#include "BenchRatios.h"
#include "quorlix/math/CullFrustumf.h"
#include "quorlix/math/Matrix4f.h"

#include <random>
#include <vector>

using namespace Quorlix;

namespace {

Matrix4f RandomAffine(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> angle(-3.0f, 3.0f), offset(-10.0f, 10.0f);
    Matrix4f m;
    m.MakeRotation(Vector3f(angle(random), angle(random), angle(random)), Eulerf::XYZ);
    m.PreScale(Vector3f(1.5f, 0.5f, 2.0f));
    m.AccessM3Vector3().SetXYZ(offset(random), offset(random), offset(random));
    return m;
}

void PlainMul(float* out, const float* a, const float* b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] +
                             a[4 * r + 3] * b[12 + c];
}

void BM_Matrix4f_Mul(benchmark::State& state) {
    Matrix4f a = RandomAffine(1);
    const Matrix4f b = RandomAffine(2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(&a);
        Matrix4f m = a;
        m.Mul(b);
        benchmark::DoNotOptimize(&m);
    }
}
BENCHMARK(BM_Matrix4f_Mul);

void BM_PlainLoop_Mul(benchmark::State& state) {
    float a[16], b[16], out[16];
    RandomAffine(1).Get(a);
    RandomAffine(2).Get(b);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        PlainMul(out, a, b);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PlainLoop_Mul);

void BM_Matrix4f_AssignInvertAffine(benchmark::State& state) {
    Matrix4f m = RandomAffine(3), inverse;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&m);
        benchmark::DoNotOptimize(inverse.AssignInvertAffine(m));
        benchmark::DoNotOptimize(&inverse);
    }
}
BENCHMARK(BM_Matrix4f_AssignInvertAffine);

// The general inverse by cofactors of the 3x3 part, without the cancellation test.
void BM_PlainLoop_InvertAffine(benchmark::State& state) {
    float a[16], t[16];
    RandomAffine(3).Get(a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        const float c0 = a[5] * a[10] - a[6] * a[9], c1 = a[6] * a[8] - a[4] * a[10],
                    c2 = a[4] * a[9] - a[5] * a[8];
        const float f = 1.0f / (a[0] * c0 + a[1] * c1 + a[2] * c2);
        t[0] = c0 * f, t[4] = c1 * f, t[8] = c2 * f;
        t[1] = (a[2] * a[9] - a[1] * a[10]) * f, t[5] = (a[0] * a[10] - a[2] * a[8]) * f;
        t[9] = (a[1] * a[8] - a[0] * a[9]) * f, t[2] = (a[1] * a[6] - a[2] * a[5]) * f;
        t[6] = (a[2] * a[4] - a[0] * a[6]) * f, t[10] = (a[0] * a[5] - a[1] * a[4]) * f;
        for (int c = 0; c < 3; ++c)
            t[12 + c] = -(a[12] * t[c] + a[13] * t[4 + c] + a[14] * t[8 + c]);
        t[3] = t[7] = t[11] = 0.0f, t[15] = 1.0f;
        benchmark::DoNotOptimize(t);
    }
}
BENCHMARK(BM_PlainLoop_InvertAffine);

void BM_MulVector3Matrix4x3_Point(benchmark::State& state) {
    const Matrix4f m = RandomAffine(4);
    Vector3f p(1.0f, 2.0f, 3.0f), out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&p);
        MulVector3Matrix4x3(out, p, m);
        benchmark::DoNotOptimize(&out);
    }
}
BENCHMARK(BM_MulVector3Matrix4x3_Point);

void BM_PlainLoop_Point(benchmark::State& state) {
    float a[16], p[3] = {1.0f, 2.0f, 3.0f}, out[3];
    RandomAffine(4).Get(a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        for (int c = 0; c < 3; ++c)
            out[c] = p[0] * a[c] + p[1] * a[4 + c] + p[2] * a[8 + c] + a[12 + c];
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PlainLoop_Point);

// Spheres from well inside to well outside a 60-degree frustum, so every branch of the cull is
// taken; a power of two in number for the cheap wrap of the index.
constexpr unsigned k_SphereCount = 4096;

std::vector<Spheref> RandomSpheres() {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> side(-60.0f, 60.0f), depth(-110.0f, 10.0f),
        radius(0.1f, 8.0f);
    std::vector<Spheref> spheres;
    for (unsigned i = 0; i < k_SphereCount; ++i)
        spheres.emplace_back(Vector3f(side(random), side(random), depth(random)), radius(random));
    return spheres;
}

CullFrustumf SixtyDegrees() {
    CullFrustumf f;
    f.MakePerspective(-0.77f, 0.77f, -0.58f, 0.58f, 1.0f, 100.0f);
    return f;
}

void BM_CullFrustumf_FastCull(benchmark::State& state) {
    const std::vector<Spheref> spheres = RandomSpheres();
    const CullFrustumf f = SixtyDegrees();
    unsigned i = 0, outside = 0;
    for (auto _ : state)
        outside += f.FastCull(spheres[i++ & (k_SphereCount - 1)]) != 0;
    benchmark::DoNotOptimize(outside);
}
BENCHMARK(BM_CullFrustumf_FastCull);

// Only the sphere against each of the six planes: the test every cull starts with.
void BM_PlainLoop_SixPlanes(benchmark::State& state) {
    const std::vector<Spheref> spheres = RandomSpheres();
    const CullFrustumf f = SixtyDegrees();
    float planes[6][4];
    for (int p = 0; p < 6; ++p) {
        const Planef& plane = f.GetPlane(p);
        planes[p][0] = plane.GetA(), planes[p][1] = plane.GetB();
        planes[p][2] = plane.GetC(), planes[p][3] = plane.GetD();
    }
    unsigned i = 0, outside = 0;
    for (auto _ : state) {
        const Spheref& s = spheres[i++ & (k_SphereCount - 1)];
        const Vector3f& c = s.GetCentre();
        bool out = false;
        for (int p = 0; p < 6 && !out; ++p)
            out = planes[p][0] * c[0] + planes[p][1] * c[1] + planes[p][2] * c[2] + planes[p][3] >=
                  s.GetRadius();
        outside += out;
    }
    benchmark::DoNotOptimize(outside);
}
BENCHMARK(BM_PlainLoop_SixPlanes);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    using QuorlixBench::Goal;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_Matrix4f_Mul", "BM_PlainLoop_Mul"},
            Comparison{"BM_Matrix4f_AssignInvertAffine", "BM_PlainLoop_InvertAffine"},
            Comparison{"BM_MulVector3Matrix4x3_Point", "BM_PlainLoop_Point"},
            Comparison{"BM_CullFrustumf_FastCull", "BM_PlainLoop_SixPlanes"},
        },
        {
            Goal{"BM_CullFrustumf_FastCull", "below 10 ns per sphere", 10.0},
        });
}
