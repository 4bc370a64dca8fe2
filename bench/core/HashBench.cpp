// FastStringHash32 throughput beside memcpy of the same bytes, and name lookup in a
// StringHashArray of 10,000 names beside std::unordered_map.

#include "BenchRatios.h"
#include "quorlix/core/Hash.h"
#include "quorlix/core/String.h"
#include "quorlix/core/StringHashArray.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

using namespace Quorlix;

namespace {

void BM_FastStringHash32_Hash(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(n, 12345);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(FastStringHash32(bytes.data(), static_cast<unsigned>(n), 0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_FastStringHash32_Hash)->Arg(16)->Arg(64)->Arg(4096);

void BM_Memcpy_Copy(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(n, 12345);
    std::vector<unsigned char> target(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        std::memcpy(target.data(), bytes.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_Memcpy_Copy)->Arg(16)->Arg(64)->Arg(4096);

// The textbook form of the same hash, compiled here: what the algorithm itself costs on this
// machine, so the library's figure can be read as overhead (or not) over it.
uint32_t Lookup2Reference(const unsigned char* k, uint32_t length, uint32_t c) {
    uint32_t a = 0x9E3779B9u, b = 0x9E3779B9u, len = length;
    const auto mix = [&] {
        a -= b, a -= c, a ^= c >> 13, b -= c, b -= a, b ^= a << 8, c -= a, c -= b, c ^= b >> 13;
        a -= b, a -= c, a ^= c >> 12, b -= c, b -= a, b ^= a << 16, c -= a, c -= b, c ^= b >> 5;
        a -= b, a -= c, a ^= c >> 3, b -= c, b -= a, b ^= a << 10, c -= a, c -= b, c ^= b >> 15;
    };
    for (; len >= 12; k += 12, len -= 12) {
        uint32_t w[3];
        std::memcpy(w, k, sizeof w);
        a += w[0], b += w[1], c += w[2];
        mix();
    }
    c += length;
    for (uint32_t i = len; i-- > 0;) // tail bytes 0-3 into a, 4-7 into b, 8-10 into c << 8
        (i < 4 ? a : i < 8 ? b : c) += uint32_t{k[i]} << (i < 8 ? 8 * (i % 4) : 8 * (i - 7));
    mix();
    return c;
}

void BM_Lookup2Reference_Hash(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(n, 12345);
    if (Lookup2Reference(bytes.data(), static_cast<uint32_t>(n), 0) !=
        FastStringHash32(bytes.data(), static_cast<unsigned>(n), 0))
        state.SkipWithError("reference hash differs");
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(Lookup2Reference(bytes.data(), static_cast<uint32_t>(n), 0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_Lookup2Reference_Hash)->Arg(16)->Arg(64)->Arg(4096);

// 10,000 names shaped like the object paths of a scene, and as many names that are absent.
constexpr int k_Names = 10000;
constexpr int k_Log2Buckets = 12;

std::string NameOf(int i, bool present) {
    return "scene/node" + std::to_string(i) + (present ? "/mesh" : "/light");
}

struct Fixture {
    Fixture() : table(k_Log2Buckets) {
        for (int i = 0; i < k_Names; ++i) {
            table.Insert(String(NameOf(i, true).c_str()), nullptr);
            map.emplace(NameOf(i, true), nullptr);
        }
        // Lookup keys are other buffers with the same text, visited in a shuffled order so
        // that consecutive lookups do not walk the buckets in sequence.
        std::vector<int> order(k_Names);
        for (int i = 0; i < k_Names; ++i)
            order[static_cast<size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int i : order) {
            hits.emplace_back(NameOf(i, true).c_str());
            misses.emplace_back(NameOf(i, false).c_str());
            stdHits.push_back(NameOf(i, true));
            stdMisses.push_back(NameOf(i, false));
        }
    }

    StringHashArray table;
    std::unordered_map<std::string, void*> map;
    std::vector<String> hits, misses;
    std::vector<std::string> stdHits, stdMisses;
};

Fixture& Names() {
    static Fixture s_Fixture;
    return s_Fixture;
}

// Keys keep their hash in their buffer after the first lookup, as names held by the script
// layer do; the Uncached variant forgets it before every lookup and so pays for hashing too.
template <bool Hit, bool ForgetHash>
void FindInTable(benchmark::State& state) {
    Fixture& f = Names();
    const std::vector<String>& keys = Hit ? f.hits : f.misses;
    size_t i = 0;
    int found = 0;
    for (auto _ : state) {
        const String& key = keys[i];
        if (ForgetHash)
            HeaderOf(key.GetCPtr())->m_Hash = 0;
        void* value = nullptr;
        found += f.table.Find(key, value) >= 0;
        benchmark::DoNotOptimize(value);
        if (++i == keys.size())
            i = 0;
    }
    if (found != (Hit ? static_cast<int>(state.iterations()) : 0))
        state.SkipWithError("lookup gave a wrong answer");
}

void BM_StringHashArray_FindHit(benchmark::State& state) {
    FindInTable<true, false>(state);
}
void BM_StringHashArray_FindMiss(benchmark::State& state) {
    FindInTable<false, false>(state);
}
void BM_StringHashArray_FindHitUncached(benchmark::State& state) {
    FindInTable<true, true>(state);
}
void BM_StringHashArray_FindMissUncached(benchmark::State& state) {
    FindInTable<false, true>(state);
}
BENCHMARK(BM_StringHashArray_FindHit);
BENCHMARK(BM_StringHashArray_FindMiss);
BENCHMARK(BM_StringHashArray_FindHitUncached);
BENCHMARK(BM_StringHashArray_FindMissUncached);

void BM_StdUnorderedMap_FindHit(benchmark::State& state) {
    QuorlixBench::FindInStdMap(state, Names().map, Names().stdHits, true);
}
void BM_StdUnorderedMap_FindMiss(benchmark::State& state) {
    QuorlixBench::FindInStdMap(state, Names().map, Names().stdMisses, false);
}
BENCHMARK(BM_StdUnorderedMap_FindHit);
BENCHMARK(BM_StdUnorderedMap_FindMiss);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_FastStringHash32_Hash/16", "BM_Memcpy_Copy/16", true},
            Comparison{"BM_FastStringHash32_Hash/64", "BM_Memcpy_Copy/64", true},
            Comparison{"BM_FastStringHash32_Hash/4096", "BM_Memcpy_Copy/4096", true},
            Comparison{"BM_FastStringHash32_Hash/64", "BM_Lookup2Reference_Hash/64", true},
            Comparison{"BM_FastStringHash32_Hash/4096", "BM_Lookup2Reference_Hash/4096", true},
            Comparison{"BM_StringHashArray_FindHit", "BM_StdUnorderedMap_FindHit"},
            Comparison{"BM_StringHashArray_FindMiss", "BM_StdUnorderedMap_FindMiss"},
            Comparison{"BM_StringHashArray_FindHitUncached", "BM_StdUnorderedMap_FindHit"},
            Comparison{"BM_StringHashArray_FindMissUncached", "BM_StdUnorderedMap_FindMiss"},
        },
        {
            {"BM_FastStringHash32_Hash/4096", "at least 1.6 GB/s", 0, 1.6e9},
            {"BM_StringHashArray_FindHit", "below 50 ns per lookup", 50, 0},
            {"BM_StringHashArray_FindMiss", "below 50 ns per lookup", 50, 0},
        });
}
