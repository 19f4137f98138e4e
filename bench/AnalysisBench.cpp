// The method comparison and the plan balance on the synthetic 1000 x 1000 site (one million
// live points, five layers, every option on). The balance must stay under 3 s of wall time:
// it reads the site once and then only re-splits the depths for each shift it tries.

#include "SyntheticSite.h"
#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "analysis/PlanShiftCalc.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

TInputData& AnalysisSite() {
    static std::unique_ptr<TInputData> d = [] {
        auto p = std::make_unique<TInputData>();
        BuildSyntheticSite(*p, 1000, 0);
        return p;
    }();
    return *d;
}

void BM_PlanBalance(benchmark::State& state) {
    TInputData& d = AnalysisSite();
    d.SetCalcType(static_cast<int>(state.range(0)));
    TPlanBalance b;
    for (auto _ : state)
        b = FindPlanBalance(d, 0);
    state.counters["evaluations"] = b.Evaluations;
    state.counters["shift_mm"] = static_cast<double>(b.ShiftMm);
    state.counters["remaining"] = static_cast<double>(b.Remaining());
}
BENCHMARK(BM_PlanBalance)
    ->ArgName("method")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One shift tried, after the site was read once.
void BM_PlanShiftTotals(benchmark::State& state) {
    TInputData& d = AnalysisSite();
    d.SetCalcType(static_cast<int>(state.range(0)));
    const TPlanShiftCalc calc(d);
    double shift = 0.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(calc.Totals(shift));
        shift += 0.001;
    }
}
BENCHMARK(BM_PlanShiftTotals)
    ->ArgName("method")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Reading the site once: positions, cells and profiles.
void BM_PlanShiftBuild(benchmark::State& state) {
    TInputData& d = AnalysisSite();
    d.SetCalcType(static_cast<int>(state.range(0)));
    double lo = 0, hi = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(TPlanShiftCalc(d).GapRange(lo, hi));
}
BENCHMARK(BM_PlanShiftBuild)
    ->ArgName("method")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CompareMethods(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareMethods(AnalysisSite()));
}
BENCHMARK(BM_CompareMethods)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
