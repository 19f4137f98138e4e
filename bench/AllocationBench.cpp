// The earth allocation solved exactly: 1,000 sources by 1,000 sinks over every pair (under 5 s
// and 1 GB), and the synthetic million-mesh site through the block size the program chooses
// (under 15 s). Peak memory is the process's, so run the first alone to read it.

#include "SyntheticSite.h"
#include "analysis/EarthAllocation.h"

#include <benchmark/benchmark.h>

#include <limits>
#include <memory>
#include <random>
#include <sys/resource.h>

namespace {

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_AllocateAllPairs(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(0, 2000);
    std::uniform_int_distribution<int> vol(1, 5000);
    std::vector<TAllocEnd> cuts(n), fills(n);
    for (auto* ends : {&cuts, &fills})
        for (TAllocEnd& e : *ends) {
            e.X = pos(rng);
            e.Y = pos(rng);
            e.Volume = vol(rng);
        }
    TAllocOptions o;
    TAllocPlace spoil, borrow;
    borrow.Kind = TAllocPlaceKind::Borrow;
    spoil.X = -500;
    borrow.Y = 2500;
    o.Places = {spoil, borrow};
    TAllocation a;
    for (auto _ : state)
        a = AllocateEnds(cuts, fills, o);
    state.counters["pairs"] = static_cast<double>(a.Pairs);
    state.counters["flows"] = static_cast<double>(a.Flows.size());
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_AllocateAllPairs)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AllocateMillionMeshSite(benchmark::State& state) {
    static std::unique_ptr<TInputData> d = [] {
        auto p = std::make_unique<TInputData>();
        BuildSyntheticSite(*p, 1000, 0);
        p->Calcrate();
        return p;
    }();
    TAllocOptions o;
    o.Block = 0;
    TAllocPlace spoil, borrow;
    borrow.Kind = TAllocPlaceKind::Borrow;
    spoil.X = -500;
    borrow.Y = 25000;
    o.Places = {spoil, borrow};
    TAllocation a;
    for (auto _ : state)
        a = AllocateEarth(*d, o);
    state.counters["meshes"] = static_cast<double>(d->CalcList().size());
    state.counters["block"] = a.Block;
    state.counters["pairs"] = static_cast<double>(a.Pairs);
    state.counters["solved"] = a.Solved;
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_AllocateMillionMeshSite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
