// The windows on one large project file, each step timed once, as a user meets them:
//   doryou_big_site_windows SITE.msh [MAP.png]
// reading the file (which recalculates a calculated project), the site checks and the
// calculation behind 計算, the summary, the mesh data editor, the detail list and the map, each
// shown and painted. Prints seconds and the peak memory so far.

#include "analysis/SiteCheck.h"
#include "app/AppSetup.h"
#include "input/GridDataInputUnit.h"
#include "input/GridDataInputUnitTree.h"
#include "model/DataUnit.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "sitemap/SiteMapForm.h"
#include "sitemap/SiteMapView.h"

#include <QApplication>
#include <QComboBox>
#include <QTreeWidget>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

void Step(const char* Name, const std::function<void()>& Work) {
    const auto start = std::chrono::steady_clock::now();
    Work();
    QApplication::processEvents();
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("%-28s %8.2f s   peak %6.0f MB\n", Name, s, double(u.ru_maxrss) / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "使い方: doryou_big_site_windows SITE.msh [MAP.png]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    TInputData d;
    Step("open (read + recalc)", [&]() { d.FileLoad(argv[1]); });
    std::printf("  %lld meshes\n", static_cast<long long>(d.MeshCount()));
    Step("site checks before calc", [&]() { TSiteCheck().Run(d); });
    Step("calc", [&]() { d.Calcrate(); });
    TCalcOutForm sum;
    Step("summary shown", [&]() {
        sum.SetInputData(d);
        sum.show();
    });
    sum.hide();
    TMeshInputForm editor;
    Step("mesh editor shown", [&]() {
        editor.SetInputData(&d);
        editor.show();
    });
    Step("editor: open one group", [&]() {
        editor.XTopNode()->child(editor.XTopNode()->childCount() / 2)->setExpanded(true);
    });
    Step("editor: list every mesh", [&]() {
        editor.TreeViewX->setCurrentItem(editor.XTopNode());
        editor.TreeClick(editor.TreeViewX);
    });
    editor.hide();
    TCalcAllForm detail;
    Step("detail list shown", [&]() {
        detail.SetInputData(d);
        detail.show();
    });
    detail.hide();
    TSiteMapForm map;
    Step("map shown", [&]() {
        map.SetInputData(d);
        map.show();
    });
    if (argc > 2) {
        // The list's first rows are measured a moment after the window shows.
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        map.grab().save(QString::fromLocal8Bit(argv[2]));
    }
    // Each step drawn as the screen gets it, with no cached image to help.
    TSiteMapView* view = map.MapView;
    const QPointF middle(view->width() / 2.0, view->height() / 2.0);
    Step("map: zoom in a notch", [&]() {
        view->ZoomAt(1.25, middle);
        view->repaint();
    });
    Step("map: zoom in 8 notches", [&]() {
        view->ZoomAt(std::pow(1.25, 8), middle);
        view->repaint();
    });
    Step("map: pan 8 pixels", [&]() {
        view->CentreOn(view->ToMesh(middle + QPointF(8, 0)), 0);
        view->repaint();
    });
    Step("map: fit", [&]() {
        view->Fit();
        view->repaint();
    });
    Step("map: volume layer", [&]() { map.LayerBox->setCurrentIndex(1); });
    return 0;
}
