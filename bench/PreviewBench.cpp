// Composing and painting report pages, as the preview does: the calculation list of a large
// site (composed and stamped with header and footer), and one page painted at 100 %.

#include "SyntheticSite.h"
#include "app/AppSetup.h"
#include "preview/PREVIEWUNIT02.h"
#include "preview/PREVIEWUNIT02View.h"
#include "reports/PrintOutUnitReports.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

const TInputData& Site() {
    static TInputData data = [] {
        TInputData d;
        BuildSyntheticSite(d, 317, 0); // 317 x 317 points: 100,000 meshes
        d.Calcrate();
        return d;
    }();
    return data;
}

long PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void BM_ComposeCalcList(benchmark::State& state) {
    const TInputData& data = Site();
    TPreViewForm& preview = SharedPreviewForm();
    preview.SetMarzins({100, 200, 100, 200, 0, 0});
    preview.Header = {QString(), QStringLiteral("土量計算一覧表"), QString()};
    preview.Footer = {QString(), QStringLiteral("&P / &N"), QString()};
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, false, true); });
    for (auto _ : state) {
        preview.RebuildPages();
        benchmark::DoNotOptimize(preview.PageNum());
    }
    state.counters["meshes"] = data.CalcMeshCount();
    state.counters["pages"] = preview.PageNum();
    state.counters["peak_rss_mb"] = double(PeakRssMb());
}
BENCHMARK(BM_ComposeCalcList)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PaintPage100(benchmark::State& state) {
    TPreViewForm& preview = SharedPreviewForm();
    if (preview.PageNum() == 0) {
        const TInputData& data = Site();
        preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, false, true); });
        preview.RebuildPages();
    }
    preview.SetPaperScale(100);
    preview.SetDrawPageNum(2);
    QImage image(preview.View->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        preview.PaintView(painter);
    }
}
BENCHMARK(BM_PaintPage100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
