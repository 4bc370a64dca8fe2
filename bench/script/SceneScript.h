#pragma once
// The scene script of the script benchmarks: 100,000 named transforms, each with its S node and
// a triangle mesh child, written as an exporter writes them (one statement per node).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace QuorlixBench {

constexpr int k_SceneNodes = 100000;
// TTransform, STransform, TPolygonGeometry, SPolygonGeometry
constexpr int k_SceneObjectsPerNode = 4;

/// The settings of the scene benchmarks, which take long and vary: milliseconds of real time,
/// medians of 5 runs (`->Apply(MedianOfFive)`).
inline void MedianOfFive(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
}

inline std::string SceneScript() {
    std::string text = "//KS 0.3 F010219x\n";
    text.reserve(static_cast<size_t>(k_SceneNodes) * 330);
    char line[512];
    for (int i = 0; i < k_SceneNodes; ++i) {
        const int f = i % 97;
        std::snprintf(line, sizeof(line),
                      "TTransform:node%d.{ .SNode STransform.{ .Translation (%d.0, 1.0, "
                      "-%d.0); .Rotation (0.%02d, 0.5, 0.0); .Scaling (1.0, 1.%02d, 1.0); };\n"
                      "  .Child [TPolygonGeometry.{ .SNode SPolygonGeometry.{ .PrimType "
                      "Primitive.Triangle; .PrimCount 1;\n    .VertexArray [(0, 0, 0), (1, "
                      "0, 0), (0, 1, 0)]; .IndexArray [0, 1, 2]; }; }]; };\n",
                      i, f, f, f, f);
        text += line;
    }
    return text;
}

} // namespace QuorlixBench
