#pragma once
// Runs the registered benchmarks and then prints each measurement beside the baseline that was
// measured in the same run, as a ratio, and whether a stated goal was met. Benchmarks are not
// tests: a missed goal is reported, never turned into a failing exit code.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace QuorlixBench {

/// `n` pseudo-random bytes, the same for a given seed in every run.
inline std::vector<unsigned char> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(n);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

/// The std::unordered_map baseline of the name-table benchmarks: one lookup per iteration, the
/// keys taken in turn; an error when a key that should be found is not, or the other way round.
template <class Map>
void FindInStdMap(benchmark::State& state, const Map& map, const std::vector<std::string>& keys,
                  bool hit) {
    size_t i = 0;
    int64_t found = 0;
    for (auto _ : state) {
        auto it = map.find(keys[i]);
        found += it != map.end();
        benchmark::DoNotOptimize(it);
        if (++i == keys.size())
            i = 0;
    }
    if (found != (hit ? static_cast<int64_t>(state.iterations()) : 0))
        state.SkipWithError("lookup gave a wrong answer");
}

struct Measurement {
    double m_Nanoseconds = 0;                 // real time per iteration
    double m_BytesPerSecond = 0;              // 0 when the benchmark reports no bytes
    std::map<std::string, double> m_Counters; // user counters of the last run
};

using Measurements = std::map<std::string, Measurement>;

/// A subject and the baseline it is compared with, by time per iteration or by throughput.
struct Comparison {
    std::string m_Subject;
    std::string m_Baseline;
    bool m_Throughput = false;
};

/// A goal on one benchmark: nanoseconds at most, or bytes per second at least.
struct Goal {
    std::string m_Benchmark;
    std::string m_Text;
    double m_MaxNanoseconds = 0;
    double m_MinBytesPerSecond = 0;
};

/// A goal on the speed of a subject relative to a baseline of the same run: the baseline's time
/// per iteration divided by the subject's at least m_MinSpeedup. For goals that only make sense
/// against a measurement, such as one form of a file loading n times faster than another.
struct SpeedupGoal {
    std::string m_Subject;
    std::string m_Baseline;
    std::string m_Text;
    double m_MinSpeedup = 0;
};

/// A goal on a user counter of one benchmark (memory, counts): its value at most m_Max.
struct CounterGoal {
    std::string m_Benchmark;
    std::string m_Text;
    std::string m_Counter;
    double m_Max = 0;
};

/// The console output of Google Benchmark, keeping the best time and throughput of each run.
/// The median of repeated runs is kept under its own name ("<benchmark>_median"), so that
/// comparisons can use it; programs that report aggregates only get no other entry.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
                continue;
            const double ns =
                run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            double bytes = 0;
            if (auto it = run.counters.find("bytes_per_second"); it != run.counters.end())
                bytes = it->second.value;
            auto [entry, fresh] = m_Results.try_emplace(run.benchmark_name());
            Measurement& best = entry->second;
            if (fresh || ns < best.m_Nanoseconds)
                best.m_Nanoseconds = ns;
            if (bytes > best.m_BytesPerSecond)
                best.m_BytesPerSecond = bytes;
            for (const auto& [name, counter] : run.counters)
                best.m_Counters[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const Measurements& Results() const { return m_Results; }

private:
    Measurements m_Results;
};

inline void PrintSummary(const Measurements& results, const std::vector<Comparison>& comparisons,
                         const std::vector<Goal>& goals,
                         const std::vector<CounterGoal>& counterGoals = {},
                         const std::vector<SpeedupGoal>& speedupGoals = {}) {
    std::printf("\nRatios to the baselines of this run\n");
    for (const Comparison& c : comparisons) {
        auto subject = results.find(c.m_Subject);
        auto baseline = results.find(c.m_Baseline);
        if (subject == results.end() || baseline == results.end())
            continue; // filtered out on the command line
        const Measurement& s = subject->second;
        const Measurement& b = baseline->second;
        if (c.m_Throughput && b.m_BytesPerSecond > 0) {
            std::printf("  %-44s %7.2f GB/s = %6.3fx %s (%.2f GB/s)\n", c.m_Subject.c_str(),
                        s.m_BytesPerSecond / 1e9, s.m_BytesPerSecond / b.m_BytesPerSecond,
                        c.m_Baseline.c_str(), b.m_BytesPerSecond / 1e9);
        } else if (b.m_Nanoseconds > 0) {
            std::printf("  %-44s %8.2f ns = %6.2fx %s (%.2f ns)\n", c.m_Subject.c_str(),
                        s.m_Nanoseconds, s.m_Nanoseconds / b.m_Nanoseconds, c.m_Baseline.c_str(),
                        b.m_Nanoseconds);
        }
    }
    if (goals.empty() && counterGoals.empty() && speedupGoals.empty())
        return;
    std::printf("Goals\n");
    for (const Goal& g : goals) {
        auto found = results.find(g.m_Benchmark);
        if (found == results.end())
            continue;
        const Measurement& m = found->second;
        const bool met = g.m_MinBytesPerSecond > 0 ? m.m_BytesPerSecond >= g.m_MinBytesPerSecond
                                                   : m.m_Nanoseconds <= g.m_MaxNanoseconds;
        std::printf("  %-44s %-28s %s\n", g.m_Benchmark.c_str(), g.m_Text.c_str(),
                    met ? "met" : "NOT MET");
    }
    for (const CounterGoal& g : counterGoals) {
        auto found = results.find(g.m_Benchmark);
        if (found == results.end())
            continue;
        auto counter = found->second.m_Counters.find(g.m_Counter);
        if (counter == found->second.m_Counters.end())
            continue;
        std::printf("  %-44s %-28s %s (%s %.1f)\n", g.m_Benchmark.c_str(), g.m_Text.c_str(),
                    counter->second <= g.m_Max ? "met" : "NOT MET", g.m_Counter.c_str(),
                    counter->second);
    }
    for (const SpeedupGoal& g : speedupGoals) {
        auto subject = results.find(g.m_Subject);
        auto baseline = results.find(g.m_Baseline);
        if (subject == results.end() || baseline == results.end() ||
            subject->second.m_Nanoseconds <= 0)
            continue;
        const double speedup = baseline->second.m_Nanoseconds / subject->second.m_Nanoseconds;
        std::printf("  %-44s %-28s %s (%.2fx)\n", g.m_Subject.c_str(), g.m_Text.c_str(),
                    speedup >= g.m_MinSpeedup ? "met" : "NOT MET", speedup);
    }
}

/// The main of a benchmark program.
inline int RunAndCompare(int argc, char** argv, const std::vector<Comparison>& comparisons,
                         const std::vector<Goal>& goals = {},
                         const std::vector<CounterGoal>& counterGoals = {},
                         const std::vector<SpeedupGoal>& speedupGoals = {}) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter.Results(), comparisons, goals, counterGoals, speedupGoals);
    return 0;
}

} // namespace QuorlixBench
