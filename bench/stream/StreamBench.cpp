// Stream number output against snprintf with the same format, one value per iteration. The
// stream writes to the null pipe, so the figures are the formatting plus one virtual Write;
// snprintf formats into a stack buffer. Values cycle through 4096 random ones of each kind.

#include "BenchRatios.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

using Quorlix::Stream;
using Quorlix::StreamPipeNull;

namespace {

constexpr size_t k_Count = 4096; // a power of two: the index wraps with a mask

// Typical scene values: mostly short decimals of either sign, some integers, some tiny or huge.
template <class T>
std::vector<T> RealValues() {
    std::mt19937_64 random(11);
    std::vector<T> values;
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (size_t i = 0; i < k_Count; ++i) {
        const double u = unit(random);
        switch (i % 4) {
        case 0:
            values.push_back(static_cast<T>(u));
            break;
        case 1:
            values.push_back(static_cast<T>(u * 1000));
            break;
        case 2:
            values.push_back(static_cast<T>(std::round(u * 100)));
            break;
        default:
            values.push_back(static_cast<T>(u * std::pow(10.0, static_cast<int>(i % 61) - 30)));
        }
    }
    return values;
}

template <class T>
std::vector<T> IntegerValues() {
    std::mt19937_64 random(13);
    std::vector<T> values;
    for (size_t i = 0; i < k_Count; ++i) {
        // Magnitudes of every length, not just the longest ones uniform bits would give.
        const int bits = static_cast<int>(random() % (sizeof(T) * 8));
        values.push_back(static_cast<T>(random() >> (64 - bits - 1) >> 1) * (i % 3 == 0 ? -1 : 1));
    }
    return values;
}

template <class T>
void StreamWrite(benchmark::State& state, const std::vector<T>& values) {
    Stream stream(StreamPipeNull::GetSingleton());
    size_t i = 0;
    for (auto _ : state) {
        stream << values[i];
        i = (i + 1) & (k_Count - 1);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

template <class T>
void Snprintf(benchmark::State& state, const std::vector<T>& values, const char* format) {
    char text[64];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof(text), format, values[i]));
        benchmark::ClobberMemory();
        i = (i + 1) & (k_Count - 1);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

const std::vector<float> G_Floats = RealValues<float>();
const std::vector<double> G_Doubles = RealValues<double>();
const std::vector<int> G_Ints = IntegerValues<int>();
const std::vector<int64_t> G_Int64s = IntegerValues<int64_t>();

void BM_Stream_WriteFloat(benchmark::State& state) {
    StreamWrite(state, G_Floats);
}
void BM_Snprintf_Float(benchmark::State& state) {
    // printf takes a float as a double; the conversion is part of what it costs.
    Snprintf(state, G_Floats, "%.7g");
}
void BM_Stream_WriteDouble(benchmark::State& state) {
    StreamWrite(state, G_Doubles);
}
void BM_Snprintf_Double(benchmark::State& state) {
    Snprintf(state, G_Doubles, "%.18g");
}
void BM_Stream_WriteInt(benchmark::State& state) {
    StreamWrite(state, G_Ints);
}
void BM_Snprintf_Int(benchmark::State& state) {
    Snprintf(state, G_Ints, "%d");
}
void BM_Stream_WriteInt64(benchmark::State& state) {
    StreamWrite(state, G_Int64s);
}
void BM_Snprintf_Int64(benchmark::State& state) {
    Snprintf(state, G_Int64s, "%" PRId64);
}

BENCHMARK(BM_Stream_WriteFloat);
BENCHMARK(BM_Snprintf_Float);
BENCHMARK(BM_Stream_WriteDouble);
BENCHMARK(BM_Snprintf_Double);
BENCHMARK(BM_Stream_WriteInt);
BENCHMARK(BM_Snprintf_Int);
BENCHMARK(BM_Stream_WriteInt64);
BENCHMARK(BM_Snprintf_Int64);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_Stream_WriteFloat", "BM_Snprintf_Float"},
            Comparison{"BM_Stream_WriteDouble", "BM_Snprintf_Double"},
            Comparison{"BM_Stream_WriteInt", "BM_Snprintf_Int"},
            Comparison{"BM_Stream_WriteInt64", "BM_Snprintf_Int64"},
        });
}
