#pragma once

// A fixed amount of processor work that no change to the project touches, registered in every
// program that includes this header. The machine that runs the benchmarks is shared, so a figure
// is only worth quoting beside this one from the same run: when BM_CpuAnchor is slower than usual,
// so is everything else measured with it.
//
//     #include "BenchAnchor.h"   // in a benchmark program's .cpp, once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace bench_anchor {

// Sorts the same 200,000 pseudo-random integers on each iteration.
inline void BM_CpuAnchor(benchmark::State& state) {
    std::mt19937 random(12345);
    std::vector<std::uint32_t> source(200000);
    for (auto& v : source)
        v = random();
    std::vector<std::uint32_t> work;
    for (auto _ : state) {
        work = source;
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_CpuAnchor)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace bench_anchor
