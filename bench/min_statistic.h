#pragma once
// Adds the fastest repetition to a benchmark's aggregates (BENCHMARK(...)->Apply(add_min)): on a
// machine shared with other work the median drifts with the load, the minimum much less.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

inline void add_min(benchmark::internal::Benchmark* b) {
    b->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}
