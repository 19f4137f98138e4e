// Survey data in at the sizes of a drone survey and a large design: one million scattered
// points triangulated and sampled onto a 1000 × 1000 grid, and a LandXML TIN of one million
// faces parsed and sampled, each against just reading the same file; and a hostile TIN of
// 2,000 slivers that each cross the whole site, whose sampling must follow the points they
// cover, not their boxes (2 × 10⁹ grid points), and stay under 1 s. Each must stay under 5 s;
// the scattered case under 1.5 GB (the peak_rss_mb counter: run it alone, as
//   doryou_survey_bench --benchmark_filter=Scattered
// since the peak of a process includes what ran before).

#include "survey/SurveyImport.h"
#include "survey/SurveyReader.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr double kN0 = -35000.0, kE0 = 12000.0; // survey coordinates of mesh (0, 0)

double Height(double n, double e) {
    return 50.0 + 0.01 * (n - kN0) - 0.005 * (e - kE0) + 2.0 * std::sin((n - kN0) / 37.0);
}

std::string TempPath(const char* name) {
    return "/tmp/doryou-survey-bench-" + std::to_string(getpid()) + "-" + name;
}

// One million points scattered over 1000 m × 1000 m, as "X,Y,Z" lines.
const std::string& ScatteredFile() {
    static const std::string path = [] {
        const std::string p = TempPath("points.csv");
        std::FILE* f = std::fopen(p.c_str(), "w");
        std::mt19937_64 rng(1);
        std::uniform_real_distribution<double> u(0.0, 999.5);
        // The corners first, so that the ground covers the whole grid.
        const double corners[4][2] = {{-0.5, -0.5}, {-0.5, 1000}, {1000, -0.5}, {1000, 1000}};
        for (const auto& c : corners)
            std::fprintf(f, "%.3f,%.3f,%.3f\n", kN0 + c[0], kE0 + c[1],
                         Height(kN0 + c[0], kE0 + c[1]));
        for (int i = 4; i < 1'000'000; ++i) {
            const double n = kN0 + u(rng), e = kE0 + u(rng);
            std::fprintf(f, "%.3f,%.3f,%.3f\n", n, e, Height(n, e));
        }
        std::fclose(f);
        return p;
    }();
    return path;
}

// A TIN of 708 × 708 points, 707 × 707 × 2 = 999,698 faces, over 1000 m × 1000 m.
const std::string& TinFile() {
    static const std::string path = [] {
        const std::string p = TempPath("tin.xml");
        std::FILE* f = std::fopen(p.c_str(), "w");
        const int side = 708;
        const double step = 1000.0 / (side - 1);
        std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML xmlns=\"http://www."
                   "landxml.org/schema/LandXML-1.2\" version=\"1.2\"><Surfaces>"
                   "<Surface name=\"plan\"><Definition surfType=\"TIN\"><Pnts>\n",
                   f);
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c) {
                const double n = kN0 - 0.5 + r * step, e = kE0 - 0.5 + c * step;
                std::fprintf(f, "<P id=\"%d\">%.3f %.3f %.3f</P>\n", r * side + c + 1, n, e,
                             Height(n, e));
            }
        std::fputs("</Pnts><Faces>\n", f);
        for (int r = 0; r + 1 < side; ++r)
            for (int c = 0; c + 1 < side; ++c) {
                const int a = r * side + c + 1, b = a + 1, d = a + side, e = d + 1;
                std::fprintf(f, "<F>%d %d %d</F>\n<F>%d %d %d</F>\n", a, b, e, a, e, d);
            }
        std::fputs("</Faces></Definition></Surface></Surfaces></LandXML>\n", f);
        std::fclose(f);
        return p;
    }();
    return path;
}

// 2,000 slivers a quarter metre wide, corner to corner over 1000 m × 1500 m.
const std::string& SliverFile() {
    static const std::string path = [] {
        const std::string p = TempPath("slivers.xml");
        std::FILE* f = std::fopen(p.c_str(), "w");
        std::fputs("<LandXML><Surfaces><Surface name=\"s\"><Definition surfType=\"TIN\"><Pnts>\n",
                   f);
        const double corners[4][2] = {{0, 0}, {1000, 1000}, {0, 0.25}, {1000, 1000.25}};
        for (int k = 0; k < 1000; ++k)
            for (int c = 0; c < 4; ++c)
                std::fprintf(f, "<P id=\"%d\">%.3f %.3f %.3f</P>\n", 4 * k + c + 1,
                             kN0 + corners[c][0], kE0 + corners[c][1] + k * 0.5,
                             10.0 + corners[c][0] / 100);
        std::fputs("</Pnts><Faces>\n", f);
        for (int k = 0; k < 1000; ++k)
            std::fprintf(f, "<F>%d %d %d</F>\n<F>%d %d %d</F>\n", 4 * k + 1, 4 * k + 2, 4 * k + 3,
                         4 * k + 2, 4 * k + 4, 4 * k + 3);
        std::fputs("</Faces></Definition></Surface></Surfaces></LandXML>\n", f);
        std::fclose(f);
        return p;
    }();
    return path;
}

void PeakRss(benchmark::State& state) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_rss_mb"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}

void Import(benchmark::State& state, const std::string& file, TSurveyFileKind kind) {
    int64_t meshes = 0;
    for (auto _ : state) {
        TInputData d;
        d.SetMeshSpan(1.0);
        TSurveyImportOptions o;
        o.Ground = {file, kind, ""};
        o.Frame = {kN0, kE0, 0.0, 1.0};
        const TSurveyImport imp(d, o);
        imp.Apply(d);
        meshes = d.GetInputMeshCount();
        benchmark::DoNotOptimize(meshes);
    }
    state.counters["meshes"] = static_cast<double>(meshes);
    PeakRss(state);
}

void Read(benchmark::State& state, const std::string& file, TSurveyFileKind kind) {
    size_t points = 0;
    for (auto _ : state) {
        const TSurveyFile f = ReadSurveyFile(file, kind, TSurveyOrder::NorthEast);
        points = f.Surfaces[0].Points.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}

void BM_ScatteredImport(benchmark::State& state) {
    Import(state, ScatteredFile(), TSurveyFileKind::Points);
}
void BM_ScatteredReadOnly(benchmark::State& state) {
    Read(state, ScatteredFile(), TSurveyFileKind::Points);
}
void BM_LandXmlTinImport(benchmark::State& state) {
    Import(state, TinFile(), TSurveyFileKind::LandXml);
}
void BM_LandXmlTinReadOnly(benchmark::State& state) {
    Read(state, TinFile(), TSurveyFileKind::LandXml);
}
void BM_SliverTinImport(benchmark::State& state) {
    Import(state, SliverFile(), TSurveyFileKind::LandXml);
}

BENCHMARK(BM_ScatteredImport)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ScatteredReadOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_LandXmlTinImport)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_LandXmlTinReadOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_SliverTinImport)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(TempPath("points.csv").c_str());
    std::remove(TempPath("tin.xml").c_str());
    std::remove(TempPath("slivers.xml").c_str());
    return 0;
}
