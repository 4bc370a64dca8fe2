// Object lookup by name in a namespace of 100,000 named objects, directly and through the
// engine (plain names and a namespace path), beside std::unordered_map<std::string, void*>.

#include "BenchRatios.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Names = 100000;

std::string NameOf(int i, bool present) {
    return (present ? "node" : "light") + std::to_string(i);
}

struct Fixture {
    Fixture() : engine(ScriptEngine::Create()), object(Object::Create()) {
        ScriptNamespace* root = engine->GetRootNamespace();
        ScriptNamespace* lib = root->CreateNamespace("lib", 0);
        for (int i = 0; i < k_Names; ++i) {
            const String name(NameOf(i, true).c_str());
            root->DefObject(object, name);
            lib->DefObject(object, name);
            map.emplace(NameOf(i, true), object.Get());
        }
        // Lookup keys are other buffers with the same text, visited in a shuffled order so that
        // consecutive lookups do not walk the buckets in sequence.
        std::vector<int> order(k_Names);
        for (int i = 0; i < k_Names; ++i)
            order[static_cast<size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int i : order) {
            hits.emplace_back(NameOf(i, true).c_str());
            misses.emplace_back(NameOf(i, false).c_str());
            paths.emplace_back(("lib:" + NameOf(i, true)).c_str());
            stdHits.push_back(NameOf(i, true));
            stdMisses.push_back(NameOf(i, false));
        }
    }

    Obj<ScriptEngine> engine;
    Obj<Object> object;
    std::unordered_map<std::string, void*> map;
    std::vector<String> hits, misses, paths;
    std::vector<std::string> stdHits, stdMisses;
};

Fixture& Names() {
    static Fixture s_Fixture;
    return s_Fixture;
}

// Names held by the script layer keep their hash in their buffer after the first lookup.
template <class Find>
void Lookups(benchmark::State& state, const std::vector<String>& keys, bool hit, Find find) {
    ScriptObject* expected = hit ? static_cast<ScriptObject*>(Names().object.Get()) : &G_NilObject;
    size_t i = 0;
    int64_t right = 0;
    for (auto _ : state) {
        ScriptObject* found = find(keys[i]);
        benchmark::DoNotOptimize(found);
        right += found == expected;
        if (++i == keys.size())
            i = 0;
    }
    if (right != static_cast<int64_t>(state.iterations()))
        state.SkipWithError("lookup gave a wrong answer");
}

void BM_ScriptNamespace_FindObjectHit(benchmark::State& state) {
    ScriptNamespace* root = Names().engine->GetRootNamespace();
    Lookups(state, Names().hits, true, [&](const String& key) { return root->FindObject(key); });
}
void BM_ScriptNamespace_FindObjectMiss(benchmark::State& state) {
    ScriptNamespace* root = Names().engine->GetRootNamespace();
    Lookups(state, Names().misses, false, [&](const String& key) { return root->FindObject(key); });
}
void BM_ScriptEngine_FindObjectHit(benchmark::State& state) {
    ScriptEngine* engine = Names().engine;
    Lookups(state, Names().hits, true, [&](const String& key) { return engine->FindObject(key); });
}
// A path hashes its last segment on every lookup: no cached hash to take.
void BM_ScriptEngine_FindObjectPath(benchmark::State& state) {
    ScriptEngine* engine = Names().engine;
    Lookups(state, Names().paths, true, [&](const String& key) { return engine->FindObject(key); });
}
BENCHMARK(BM_ScriptNamespace_FindObjectHit);
BENCHMARK(BM_ScriptNamespace_FindObjectMiss);
BENCHMARK(BM_ScriptEngine_FindObjectHit);
BENCHMARK(BM_ScriptEngine_FindObjectPath);

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
    using QuorlixBench::Goal;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_ScriptNamespace_FindObjectHit", "BM_StdUnorderedMap_FindHit"},
            Comparison{"BM_ScriptNamespace_FindObjectMiss", "BM_StdUnorderedMap_FindMiss"},
            Comparison{"BM_ScriptEngine_FindObjectHit", "BM_StdUnorderedMap_FindHit"},
            Comparison{"BM_ScriptEngine_FindObjectPath", "BM_StdUnorderedMap_FindHit"},
        },
        {
            Goal{"BM_ScriptNamespace_FindObjectHit", "below 100 ns", 100},
            Goal{"BM_ScriptEngine_FindObjectHit", "below 100 ns", 100},
        });
}
