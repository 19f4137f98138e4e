// The map window on a million points, offscreen: the first drawing of a zoom level (the cells
// and the zero line into the cached image), a repaint from the cache as panning does, zooming,
// and the printed map page.

#include "SyntheticSite.h"
#include "app/AppSetup.h"
#include "model/DataUnit.h"
#include "preview/PageDocument.h"
#include "reports/SiteMapPainter.h"
#include "sitemap/SiteMapForm.h"
#include "sitemap/SiteMapView.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

TInputData& Site() {
    static TInputData data = [] {
        TInputData d;
        BuildSyntheticSite(d, 1000, 0); // 1,000,000 points
        return d;
    }();
    return data;
}

// One frame of the view, painted as the screen would get it.
void Frame(TSiteMapView* View) {
    static QImage screen;
    if (screen.size() != View->size())
        screen = QImage(View->size(), QImage::Format_ARGB32_Premultiplied);
    View->render(&screen);
}

// The window as the user sees it, shown at 1280 × 900 with the site fitted.
TSiteMapForm& Window() {
    static TSiteMapForm* form = [] {
        auto* f = new TSiteMapForm;
        f->resize(1280, 900);
        f->SetInputData(Site());
        f->show();
        QApplication::processEvents();
        f->MapView->Fit();
        Frame(f->MapView);
        return f;
    }();
    return *form;
}

void BM_MapOpen(benchmark::State& state) {
    TInputData& data = Site();
    for (auto _ : state) {
        TCutFillMap map(data, TMapLayer::Height);
        TSiteMapPainter painter(map);
        benchmark::DoNotOptimize(painter.ZeroLine().size());
    }
    state.counters["points"] = double(data.GridList().size());
}
BENCHMARK(BM_MapOpen)->Unit(benchmark::kMillisecond)->Iterations(2);

// A repaint from the cached image: what panning and hovering cost.
void BM_MapRepaintCached(benchmark::State& state) {
    TSiteMapView* v = Window().MapView;
    Frame(v);
    const int before = v->CacheRenders();
    for (auto _ : state)
        Frame(v);
    state.counters["cache_renders"] = double(v->CacheRenders() - before);
}
BENCHMARK(BM_MapRepaintCached)->Unit(benchmark::kMillisecond);

// Panning by dragging, 8 pixels a frame: mostly the cache, now and then a new image.
void BM_MapPan(benchmark::State& state) {
    TSiteMapView* v = Window().MapView;
    v->Fit();
    const int before = v->CacheRenders();
    int i = 0;
    for (auto _ : state) {
        const QPointF at(v->width() / 2.0, v->height() / 2.0);
        v->CentreOn(v->ToMesh(at + QPointF((i++ / 40) % 2 ? -8 : 8, 0)), 0);
        Frame(v);
    }
    state.counters["cache_renders"] = double(v->CacheRenders() - before);
}
BENCHMARK(BM_MapPan)->Unit(benchmark::kMillisecond);

// A wheel notch in or out at a new zoom level every frame: the cells and lines drawn afresh.
void BM_MapZoom(benchmark::State& state) {
    TSiteMapView* v = Window().MapView;
    const int zoomIn = int(state.range(0));
    v->Fit();
    v->ZoomAt(std::pow(1.25, zoomIn), QPointF(v->width() / 2.0, v->height() / 2.0));
    const int before = v->CacheRenders();
    int i = 0;
    for (auto _ : state) {
        v->DropCaches();
        v->ZoomAt(i++ % 2 ? 1.25 : 0.8, QPointF(v->width() / 2.0, v->height() / 2.0));
        Frame(v);
    }
    state.counters["cache_renders"] = double(v->CacheRenders() - before);
}
// The whole site, and zoomed in 4 and 12 notches (about 2.4 and 14.6 times).
BENCHMARK(BM_MapZoom)->Arg(0)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond);

void BM_MapPage(benchmark::State& state) {
    TPageDocument document;
    for (auto _ : state) {
        document.AllPageClear();
        BuildMapPage(document, Site(), TMapLayer::Height);
    }
}
BENCHMARK(BM_MapPage)->Unit(benchmark::kMillisecond)->Iterations(3);

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
