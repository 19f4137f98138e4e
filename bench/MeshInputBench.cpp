// The mesh data editor on a project of 100,000 meshes (400 x 250), offscreen: binding the
// project (both trees), registering one mesh into it, listing every mesh and sorting the list.
// Each measured step includes the repaint of the shown window that follows it.

#include "app/AppSetup.h"
#include "controls/StringGrid.h"
#include "input/GridDataInputUnit.h"
#include "input/GridDataInputUnitList.h"
#include "input/GridDataInputUnitTree.h"
#include "model/DataUnit.h"

#include <QApplication>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kCols = 400;
constexpr int kRows = 250;

std::unique_ptr<TInputData> MakeSite() {
    auto d = std::make_unique<TInputData>();
    d->SetLayer(5);
    d->SetHyoudo(true);
    d->SetFumikomi(true);
    d->SetAtumitu(true);
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kCols; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            // Planned heights in no particular order, so that sorting by them is real work.
            g.FH = 50.0 + double((x * 7919 + y * 104729) % 10007) / 1000.0;
            g.GH = 48.0 + 0.001 * x;
            g.LAYER[0] = 0.3;
            g.LAYER[1] = 1.0;
            d->SetMeshData(g);
        }
    return d;
}

TInputData& Site() {
    static std::unique_ptr<TInputData> d = MakeSite();
    return *d;
}

void Settle() {
    QApplication::processEvents();
}

struct ShownForm {
    TMeshInputForm form;
    ShownForm() {
        form.resize(900, 600);
        form.show();
        Settle();
    }
};

void BM_Bind(benchmark::State& State) {
    ShownForm f;
    for (auto _ : State) {
        f.form.SetInputData(&Site()); // from the second round on this also clears the last
        Settle();
    }
    State.counters["meshes"] = Site().MeshCount();
}
BENCHMARK(BM_Bind)->Unit(benchmark::kMillisecond);

void BM_ListAll(benchmark::State& State) {
    ShownForm f;
    f.form.SetInputData(&Site());
    f.form.TreeViewX->setCurrentItem(f.form.XTopNode());
    for (auto _ : State) {
        f.form.TreeClick(f.form.TreeViewX);
        Settle();
    }
    State.counters["rows"] = f.form.ListModel()->rowCount();
}
BENCHMARK(BM_ListAll)->Unit(benchmark::kMillisecond);

// Every mesh listed (the filter of the root), each round a mesh with new numbers: a new group in
// both trees and a new row.
void BM_RegisterOne(benchmark::State& State) {
    TInputData d = Site();
    ShownForm f;
    f.form.SetInputData(&d);
    f.form.TreeViewX->setCurrentItem(f.form.XTopNode());
    f.form.TreeClick(f.form.TreeViewX);
    Settle();
    int n = 0;
    for (auto _ : State) {
        ++n;
        f.form.StringGrid1->SetCells(0, 1, QString::number(kCols + n));
        f.form.StringGrid1->SetCells(1, 1, QString::number(kRows + n));
        f.form.StringGrid1->SetCells(2, 1, QStringLiteral("12.5"));
        f.form.Button1Click();
        Settle();
    }
}
BENCHMARK(BM_RegisterOne)->Unit(benchmark::kMillisecond);

// Replacing the values of a mesh that is listed near the end.
void BM_RegisterExisting(benchmark::State& State) {
    TInputData d = Site();
    ShownForm f;
    f.form.SetInputData(&d);
    f.form.TreeViewX->setCurrentItem(f.form.XTopNode());
    f.form.TreeClick(f.form.TreeViewX);
    Settle();
    for (auto _ : State) {
        f.form.StringGrid1->SetCells(0, 1, QString::number(kCols - 1));
        f.form.StringGrid1->SetCells(1, 1, QString::number(kRows - 1));
        f.form.StringGrid1->SetCells(2, 1, QStringLiteral("12.5"));
        f.form.Button1Click();
        Settle();
    }
}
BENCHMARK(BM_RegisterExisting)->Unit(benchmark::kMillisecond);

// A header click on 100,000 rows; the rounds alternate between the planned height and X, so
// that no round starts from rows already in its order.
void BM_SortList(benchmark::State& State) {
    ShownForm f;
    f.form.SetInputData(&Site());
    f.form.TreeViewX->setCurrentItem(f.form.XTopNode());
    f.form.TreeClick(f.form.TreeViewX);
    Settle();
    int column = 1;
    for (auto _ : State) {
        column = column == 1 ? 3 : 1;
        f.form.ListView1ColumnClick(column);
        Settle();
    }
    State.counters["rows"] = f.form.ListModel()->rowCount();
}
BENCHMARK(BM_SortList)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
