// The layout solver alone on a vertical stack of N views (the HUD's own layout passes are measured
// on the real HUD in HudBench).

#include "platform/layout/Solver.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

namespace {

// N views stacked top to bottom with 8-point gaps, each hugging (250) and resisting (750) a
// height of 44, the last one 8 points above the bottom of a parent 100 points taller than needed.
void BM_SolverStack(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    using layout::Relation;
    for (auto _ : state) {
        layout::Solver s;
        layout::Variable top, height;
        for (int i = 0; i < n; ++i) {
            layout::Variable t = s.addVariable(), h = s.addVariable();
            (void)s.addConstraint({{{h, 1}}, 0}, Relation::GreaterThanOrEqual, layout::kRequiredPriority);
            (void)s.addConstraint({{{h, 1}}, -44}, Relation::LessThanOrEqual, 250);
            (void)s.addConstraint({{{h, 1}}, -44}, Relation::GreaterThanOrEqual, 750);
            if (i == 0)
                (void)s.addConstraint({{{t, 1}}, -8}, Relation::Equal, layout::kRequiredPriority);
            else
                (void)s.addConstraint({{{t, 1}, {top, -1}, {height, -1}}, -8}, Relation::Equal,
                                      layout::kRequiredPriority);
            top = t;
            height = h;
        }
        double parent = 8 + n * 52.0 + 100;
        (void)s.addConstraint({{{top, 1}, {height, 1}}, 8 - parent}, Relation::Equal,
                              layout::kRequiredPriority);
        s.solve();
        benchmark::DoNotOptimize(s.value(top));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SolverStack)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
