// Composing and painting report pages, as the preview does: the calculation list of a large
// site (composed and stamped with header and footer), and one page painted at 100 %.
//
// With a project file, the preview of its calculation list as the user meets it instead: time
// and memory to open it, to turn a page, to go to the last page and to the middle one, and to
// scroll the thumbnails; PNG pictures of the window with --shots=FOLDER, every page composed at
// once (as the preview once did) with --all-at-once.
//   doryou_preview_bench SITE.msh [--shots=FOLDER] [--all-at-once]

#include "SyntheticSite.h"
#include "app/AppSetup.h"
#include "preview/PREVIEWUNIT02.h"
#include "preview/PREVIEWUNIT02View.h"
#include "reports/PrintOutUnitReports.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

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

long CurrentRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6)) / 1024;
    return 0;
}

double Step(const char* Name, const std::function<void()>& Work) {
    const auto start = std::chrono::steady_clock::now();
    Work();
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %8.3f s   rss %5ld MB   peak %5ld MB\n", Name, s, CurrentRssMb(),
                PeakRssMb());
    std::fflush(stdout);
    return s;
}

int PreviewOfFile(const char* File, const QString& Shots, bool AllAtOnce) {
    TInputData data;
    Step("open the project", [&]() { data.FileLoad(File); });
    if (!data.GetPhase(2))
        Step("calculate", [&]() { data.Calcrate(); });
    TPreViewForm& preview = SharedPreviewForm();
    if (AllAtOnce)
        preview.Document().SetPageCache(1 << 30, 1 << 30);
    preview.Footer = {QString(), QStringLiteral("&P / &N"), QString()};
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, false, true); });
    auto shot = [&](const char* Name) {
        QApplication::processEvents(); // the layout, as the event loop would settle it
        const QImage image = preview.grab().toImage();
        if (!Shots.isEmpty())
            image.save(Shots + QLatin1Char('/') + QLatin1String(Name) + QStringLiteral(".png"));
    };
    preview.resize(1280, 1000);
    Step("open the preview (shown)", [&]() {
        preview.RebuildPages();
        preview.show();
        QApplication::processEvents();
        shot("first-page");
    });
    std::printf("pages %d, composed pages held %d, thumbnail widgets %d\n", preview.PageNum(),
                preview.Document().HeldPages(), preview.SumnailWidgetCount());
    const int turns = 20;
    const double t = Step("20 page turns (painted)", [&]() {
        for (int i = 0; i < turns; ++i) {
            preview.PageNextActionExecute();
            shot("turn");
        }
    });
    std::printf("  a page turn: %.1f ms\n", t * 1000 / turns);
    Step("to the last page", [&]() {
        preview.SetDrawPageNum(preview.PageNum());
        shot("last-page");
    });
    Step("to the middle page", [&]() {
        preview.SetDrawPageNum(preview.PageNum() / 2);
        shot("middle-page");
    });
    Step("thumbnails scrolled a third down", [&]() {
        QScrollBar* bar = preview.ScrollBox2->verticalScrollBar();
        bar->setValue(bar->maximum() / 3);
        shot("thumbnails-scrolled");
    });
    Step("every page in turn, 300 pages", [&]() {
        for (int i = 0; i < 300; ++i) {
            preview.PageNextActionExecute();
            QImage image(preview.View->size(), QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            preview.PaintView(painter);
        }
    });
    std::printf("pages %d, composed pages held %d, thumbnail widgets %d\n", preview.PageNum(),
                preview.Document().HeldPages(), preview.SumnailWidgetCount());
    preview.hide();
    preview.SetOnPaperChange(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    if (argc > 1 && argv[1][0] != '-') {
        QString shots;
        bool allAtOnce = false;
        for (int i = 2; i < argc; ++i) {
            if (std::strncmp(argv[i], "--shots=", 8) == 0)
                shots = QString::fromLocal8Bit(argv[i] + 8);
            else if (std::strcmp(argv[i], "--all-at-once") == 0)
                allAtOnce = true;
        }
        return PreviewOfFile(argv[1], shots, allAtOnce);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
