// The result windows on a synthetic site (five layers, topsoil on), offscreen: opening the
// detail list, one scroll step with its repaint, and the detail CSV file. The scroll step is
// measured at a thousand and at a million meshes: its cost must not grow with the list.

#include "SyntheticSite.h"

#include "app/AppSetup.h"
#include "controls/StringGrid.h"
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/CsvFile.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// side x side points; calculated with the one-point method, one mesh per point.
TInputData& Site(int side) {
    static std::map<int, std::unique_ptr<TInputData>> sites;
    auto& d = sites[side];
    if (!d) {
        d = std::make_unique<TInputData>();
        BuildSyntheticSite(*d, side, 0);
        d->Calcrate();
    }
    return *d;
}

// The windows live no longer than the application object (main releases them).
std::unique_ptr<TCalcAllForm> gDetailForm;
std::unique_ptr<TCalcOutForm> gSummaryForm;

TCalcAllForm& DetailForm() {
    if (!gDetailForm)
        gDetailForm = std::make_unique<TCalcAllForm>();
    return *gDetailForm;
}

void BM_DetailOpen(benchmark::State& state) {
    TInputData& d = Site(static_cast<int>(state.range(0)));
    TCalcAllForm& form = DetailForm();
    for (auto _ : state) {
        form.SetInputData(d);
        form.show();
        form.StringGrid1->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        form.hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["meshes"] = d.CalcMeshCount();
}
BENCHMARK(BM_DetailOpen)->ArgName("side")->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_DetailScrollStep(benchmark::State& state) {
    TInputData& d = Site(static_cast<int>(state.range(0)));
    TCalcAllForm& form = DetailForm();
    form.SetInputData(d);
    form.show();
    QCoreApplication::processEvents();
    QScrollBar* bar = form.VScroll;
    int value = bar->maximum() / 2;
    for (auto _ : state) {
        bar->setValue(++value); // refills the visible rows
        form.StringGrid1->viewport()->repaint();
    }
    form.hide();
    state.counters["meshes"] = d.CalcMeshCount();
    state.counters["rows"] = form.StringGrid1->RowCount();
}
BENCHMARK(BM_DetailScrollStep)
    ->ArgName("side")
    ->Arg(32)
    ->Arg(316)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_DetailCsv(benchmark::State& state) {
    TInputData& d = Site(1000);
    const QString path =
        QStringLiteral("/tmp/doryou-bench-detail-%1.csv").arg(static_cast<qint64>(getpid()));
    for (auto _ : state)
        WriteCsvText(path, DetailCsvText(d));
    std::remove(path.toLocal8Bit().constData());
    state.counters["meshes"] = d.CalcMeshCount();
}
BENCHMARK(BM_DetailCsv)->Unit(benchmark::kMillisecond);

void BM_SummaryOpen(benchmark::State& state) {
    TInputData& d = Site(1000);
    if (!gSummaryForm)
        gSummaryForm = std::make_unique<TCalcOutForm>();
    TCalcOutForm& form = *gSummaryForm;
    for (auto _ : state) {
        form.SetInputData(d);
        form.show();
        form.StringGrid1->viewport()->repaint();
        state.PauseTiming();
        form.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SummaryOpen)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gDetailForm.reset();
    gSummaryForm.reset();
    return 0;
}
