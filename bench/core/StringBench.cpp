// String against what it replaces: a copy should cost what one atomic increment and decrement
// cost, concatenation and appending what the standard string costs.

#include "BenchRatios.h"
#include "quorlix/core/String.h"

#include <atomic>
#include <cstdint>
#include <string>

using Quorlix::String;

namespace {

// Longer than the standard string's inline buffer, as most resource names are.
constexpr const char* k_Name = "scenes/castle/keep_tower.kss";

void BM_String_CopyDestroy(benchmark::State& state) {
    const String name(k_Name);
    for (auto _ : state) {
        String copy(name);
        benchmark::DoNotOptimize(copy.GetCPtr());
    }
}
BENCHMARK(BM_String_CopyDestroy);

// What a copy and its destruction must do at least: the same two atomic operations.
void BM_StdAtomic_AddSub(benchmark::State& state) {
    std::atomic<int32_t> count{1};
    for (auto _ : state) {
        count.fetch_add(1, std::memory_order_relaxed);
        if (count.fetch_sub(1, std::memory_order_acq_rel) < 2)
            benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_StdAtomic_AddSub);

void BM_StdString_Copy(benchmark::State& state) {
    const std::string name(k_Name);
    for (auto _ : state) {
        std::string copy(name);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_StdString_Copy);

void BM_String_Concat(benchmark::State& state) {
    const String folder("scenes/");
    const String file("castle.kss");
    for (auto _ : state) {
        String path = folder + file;
        benchmark::DoNotOptimize(path.GetCPtr());
    }
}
BENCHMARK(BM_String_Concat);

void BM_StdString_Concat(benchmark::State& state) {
    const std::string folder("scenes/");
    const std::string file("castle.kss");
    for (auto _ : state) {
        std::string path = folder + file;
        benchmark::DoNotOptimize(path.data());
    }
}
BENCHMARK(BM_StdString_Concat);

void BM_String_Add(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        String text;
        for (int i = 0; i < n; ++i)
            text.Add(static_cast<char>('a' + i % 26));
        benchmark::DoNotOptimize(text.GetCPtr());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_String_Add)->Arg(1000);

void BM_StdString_PushBack(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdString_PushBack)->Arg(1000);

} // namespace

int main(int argc, char** argv) {
    return QuorlixBench::RunAndCompare(argc, argv,
                                       {
                                           {"BM_String_CopyDestroy", "BM_StdAtomic_AddSub"},
                                           {"BM_String_CopyDestroy", "BM_StdString_Copy"},
                                           {"BM_String_Concat", "BM_StdString_Concat"},
                                           {"BM_String_Add/1000", "BM_StdString_PushBack/1000"},
                                       });
}
