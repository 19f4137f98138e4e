// Calculation and project file on a synthetic 1000 x 1000 site (one million live points, five
// layers, every option on). Each figure is also given as a ratio to a baseline that only reads
// every input field once, so the numbers mean something on any machine.

#include "SyntheticSite.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSide = 1000;

TInputData& Site() {
    static std::unique_ptr<TInputData> d = [] {
        auto p = std::make_unique<TInputData>();
        BuildSyntheticSite(*p, kSide, 0);
        return p;
    }();
    return *d;
}

const std::string& SiteFile() {
    static const std::string path = [] {
        std::string p = "/tmp/doryou-bench-" + std::to_string(getpid()) + ".msh";
        // Saved without valid results, so that loading measures reading, not recalculating.
        Site().SetPhase(2, false);
        Site().FileSave(p);
        return p;
    }();
    return path;
}

void BM_BaselineReadInputs(benchmark::State& state) {
    const std::vector<TGridData>& list = Site().GridList();
    for (auto _ : state) {
        double sum = 0;
        int64_t ids = 0;
        for (const TGridData& g : list) {
            ids += g.X + g.Y + g.DelFlg;
            sum += g.GH + g.FH + g.CSink + g.BSink + g.LAYER[0] + g.LAYER[1] + g.LAYER[2] +
                   g.LAYER[3] + g.LAYER[4];
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(ids);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(list.size()));
}
BENCHMARK(BM_BaselineReadInputs)->Unit(benchmark::kMillisecond);

void BM_Calcrate(benchmark::State& state) {
    TInputData& d = Site();
    d.SetCalcType(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(d.Calcrate());
    state.counters["records"] = d.CalcMeshCount();
    state.SetItemsProcessed(state.iterations() * d.MeshCount());
}
BENCHMARK(BM_Calcrate)->ArgName("method")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// What any loader must at least do: bring the file's bytes into memory of the file's size.
void BM_ReadFileBytes(benchmark::State& state) {
    const std::string& path = SiteFile();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        std::vector<char> buf(static_cast<size_t>(std::ftell(f)));
        std::rewind(f);
        benchmark::DoNotOptimize(std::fread(buf.data(), 1, buf.size(), f));
        std::fclose(f);
    }
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

// Streaming the bytes through one small buffer: the page-cache copy alone.
void BM_StreamFileBytes(benchmark::State& state) {
    const std::string& path = SiteFile();
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        size_t total = 0, n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            total += n;
        std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_StreamFileBytes)->Unit(benchmark::kMillisecond);

void BM_FileLoad(benchmark::State& state) {
    const std::string& path = SiteFile();
    for (auto _ : state) {
        TInputData d;
        d.FileLoad(path);
        benchmark::DoNotOptimize(d.MeshCount());
    }
}
BENCHMARK(BM_FileLoad)->Unit(benchmark::kMillisecond);

void BM_FileSave(benchmark::State& state) {
    const std::string path = SiteFile() + ".save";
    for (auto _ : state)
        Site().FileSave(path);
    std::remove(path.c_str());
}
BENCHMARK(BM_FileSave)->Unit(benchmark::kMillisecond);

// Prints every figure, then each one's ratio to the input-reading baseline (and the load's to
// reading the file's bytes).
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                FTimes[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double base = FTimes["BM_BaselineReadInputs"];
        std::printf("\nratio to BM_BaselineReadInputs (%.2f ms):\n", base);
        for (const auto& [name, t] : FTimes)
            std::printf("  %-28s %10.2f ms  %8.1fx\n", name.c_str(), t, base > 0 ? t / base : 0);
        const double bytes = FTimes["BM_ReadFileBytes"];
        if (bytes > 0)
            std::printf("  BM_FileLoad / BM_ReadFileBytes = %.2fx\n",
                        FTimes["BM_FileLoad"] / bytes);
    }

private:
    std::map<std::string, double> FTimes;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::remove(SiteFile().c_str());
    return 0;
}
