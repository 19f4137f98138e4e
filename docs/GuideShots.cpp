// doryou-guide-shots: the user's guide's screenshots. Opens the sample project in the program's
// own windows and walks through them as the guide does, pressing the buttons a user presses,
// and saves each window as it is shown. scripts/guide-screenshots.sh runs it under Xvfb:
//   doryou-guide-shots SAMPLE.msh OUTDIR

#include "app/AppSetup.h"
#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "input/BaseDataUnit.h"
#include "input/GridDataInputUnit.h"
#include "preview/PREVIEWUNIT02.h"
#include "preview/PreviewPrinter.h"
#include "preview/PreviewSetup02Unit.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/PrintOutUnit.h"
#include "results/RateCalcUnit.h"
#include "sitemap/SiteMapForm.h"
#include "sitemap/SiteMapView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

QString gOutDir;
QStringList gTaken;

// Runs Action on the next visible modal window that Filter accepts (any, without a filter),
// while the code that opened it waits in its exec(). A window that never comes within half a
// minute leaves its shot out, which the end of the run reports.
void WhenModal(std::function<void(QWidget*)> Action,
               std::function<bool(QWidget*)> Filter = nullptr) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, Action, Filter]() {
        QWidget* w = QApplication::activeModalWidget();
        // The progress box of long work is never the window a shot waits for.
        const bool found =
            w && w->isVisible() && !qobject_cast<QProgressDialog*>(w) && (!Filter || Filter(w));
        if (found || clock->elapsed() > 30000) {
            timer->stop();
            timer->deleteLater();
        }
        if (found)
            Action(w);
    });
    timer->start();
}

// Saves the window once it has been laid out and painted.
void Shot(QWidget* W, const QString& Name) {
    if (!QTest::qWaitForWindowExposed(W))
        std::fprintf(stderr, "doryou-guide-shots: %s was never shown\n", qPrintable(Name));
    QTest::qWait(800); // thumbnails and page pictures are drawn by timers
    const QString file = QDir(gOutDir).filePath(Name + QStringLiteral(".png"));
    if (W->grab().save(file))
        gTaken << Name;
    else
        std::fprintf(stderr, "doryou-guide-shots: cannot write %s\n", qPrintable(file));
}

// The next modal window of class T, shot under Name; Then may open further windows from it
// before it is closed (rejected).
template <class T> void ShotModal(const QString& Name, std::function<void(T*)> Then = nullptr) {
    WhenModal(
        [Name, Then](QWidget* W) {
            Shot(W, Name);
            if (Then)
                Then(static_cast<T*>(W));
            if (W->isVisible())
                static_cast<QDialog*>(W)->reject();
        },
        [](QWidget* W) { return qobject_cast<T*>(W) != nullptr; });
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("doryou"));
    SetupApplication();
    if (argc != 3) {
        std::fprintf(stderr, "usage: doryou-guide-shots SAMPLE.msh OUTDIR\n");
        return 2;
    }
    gOutDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(gOutDir);
    // The built-in PDF printer, whatever printers this machine has, so the shots are the same
    // everywhere.
    TPreviewPrinter::Current().UseBuiltIn();

    TMainForm mainForm;
    MainForm = &mainForm;
    TBaseInputForm baseInputForm(&mainForm);
    BaseInputForm = &baseInputForm;
    TCalcOutForm calcOutForm(&mainForm);
    CalcOutForm = &calcOutForm;
    TCalcAllForm calcAllForm(&mainForm);
    CalcAllForm = &calcAllForm;
    TTargetRateCalcForm targetRateCalcForm(&mainForm);
    TargetRateCalcForm = &targetRateCalcForm;
    mainForm.resize(600, 400);
    mainForm.show();
    TInputForm* nav = mainForm.InputForm();

    // A new project: only open, base data and saving are enabled.
    Shot(&mainForm, QStringLiteral("navi-new"));

    nav->LoadFile(QString::fromLocal8Bit(argv[1]));
    Shot(&mainForm, QStringLiteral("navi"));

    ShotModal<TBaseInputForm>(QStringLiteral("base-data"));
    nav->BaseInputClick();

    // The mesh editor: every point listed (the tree's "全表示"), then one point clicked in the
    // list and loaded into the entry row.
    WhenModal(
        [](QWidget* W) {
            auto* f = static_cast<TMeshInputForm*>(W);
            f->resize(900, 480);
            QTreeWidget* tree = f->TreeViewX;
            QTest::qWait(100);
            if (tree->topLevelItemCount() > 0)
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                                  tree->visualItemRect(tree->topLevelItem(0)).center());
            Shot(f, QStringLiteral("mesh-data"));
            QAbstractItemView* list = f->ListView1;
            if (list->model()->rowCount() > 8)
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(list->model()->index(8, 0)).center());
            Shot(f, QStringLiteral("mesh-data-point"));
            f->reject();
        },
        [](QWidget* W) { return qobject_cast<TMeshInputForm*>(W) != nullptr; });
    nav->MeshInputClick();

    // Calculating shows the summary; from it the simulator.
    ShotModal<TCalcOutForm>(QStringLiteral("summary"), [](TCalcOutForm* F) {
        ShotModal<TTargetRateCalcForm>(QStringLiteral("rate-simulator"));
        F->BitBtn4->click();
    });
    nav->CalcButtonClick();

    ShotModal<TCalcAllForm>(QStringLiteral("detail"));
    nav->DetailViewButtonClick();

    // The map: the fill heights with the zero line, then with contours every metre.
    WhenModal(
        [](QWidget* W) {
            auto* f = static_cast<TSiteMapForm*>(W);
            f->resize(1000, 680);
            QTest::qWait(100);
            f->MapView->Fit();
            QTest::mouseMove(f->MapView, f->MapView->ToWidget(QPointF(4, 3)).toPoint());
            Shot(f, QStringLiteral("map"));
            QTest::mouseClick(f->ContourCheck, Qt::LeftButton);
            Shot(f, QStringLiteral("map-contours"));
            QTest::mouseClick(f->ContourCheck, Qt::LeftButton);
            f->reject();
        },
        [](QWidget* W) { return qobject_cast<TSiteMapForm*>(W) != nullptr; });
    nav->MapButtonClick();

    // The reports: the selection, the preview, its page setup and the print dialog.
    ShotModal<TPrintoutForm>(QStringLiteral("report-select"), [](TPrintoutForm* F) {
        WhenModal(
            [](QWidget* W) {
                auto* preview = static_cast<TPreViewForm*>(W);
                preview->resize(1000, 800);
                preview->ZoomOutAction->trigger();
                Shot(preview, QStringLiteral("preview"));
                // Every page: the summary sheet, the list and the map.
                for (int page = 1; page <= preview->PageNum(); ++page) {
                    preview->SetDrawPageNum(page);
                    Shot(preview, QStringLiteral("report-page%1").arg(page));
                }
                preview->SetDrawPageNum(1);
                WhenModal([](QWidget* D) {
                    // In a margin field, the dialog pictures the margin.
                    if (auto* setup = qobject_cast<TPreSetupForm02*>(D))
                        QTest::mouseClick(setup->TopMEdit, Qt::LeftButton);
                    Shot(D, QStringLiteral("page-setup"));
                    static_cast<QDialog*>(D)->reject();
                });
                preview->ActPageSetup->trigger();
                WhenModal([](QWidget* D) {
                    Shot(D, QStringLiteral("print"));
                    static_cast<QDialog*>(D)->reject();
                });
                preview->PrintAction->trigger();
                preview->ExitAction->trigger();
            },
            [](QWidget* W) { return qobject_cast<TPreViewForm*>(W) != nullptr; });
        F->PrintListBox->item(3)->setCheckState(Qt::Checked); // the map page
        F->PrintOutBtn->click();
    });
    nav->CalcPrintButtonClick();

    // The input listing in the preview.
    WhenModal(
        [](QWidget* W) {
            auto* preview = static_cast<TPreViewForm*>(W);
            preview->resize(1000, 800);
            preview->ZoomOutAction->trigger();
            Shot(preview, QStringLiteral("listing"));
            preview->ExitAction->trigger();
        },
        [](QWidget* W) { return qobject_cast<TPreViewForm*>(W) != nullptr; });
    nav->InputPrintButtonClick();

    // A hole and a spike planted in the sample, found by the checks and shown on the map.
    TInputData& data = nav->InputData();
    data.DeleteMeshData(3, 3);
    TGridData spike = data.GetXYToData(2, 2);
    spike.GH += 15;
    data.SetMeshData(spike);
    WhenModal(
        [](QWidget* W) {
            auto* f = static_cast<TSiteMapForm*>(W);
            f->resize(1000, 680);
            QTest::qWait(100);
            f->MapView->Fit();
            const QModelIndex first = f->FindingsList->model()->index(0, 0);
            if (first.isValid())
                QTest::mouseClick(f->FindingsList->viewport(), Qt::LeftButton, {},
                                  f->FindingsList->visualRect(first).center());
            f->MapView->Fit();
            Shot(f, QStringLiteral("map-findings"));
            f->reject();
        },
        [](QWidget* W) { return qobject_cast<TSiteMapForm*>(W) != nullptr; });
    nav->MapButtonClick();

    MainForm = nullptr;
    // A window that never came, or a file not written, leaves its shot out.
    const QStringList expected = {QStringLiteral("navi-new"),        QStringLiteral("navi"),
                                  QStringLiteral("base-data"),       QStringLiteral("mesh-data"),
                                  QStringLiteral("mesh-data-point"), QStringLiteral("summary"),
                                  QStringLiteral("rate-simulator"),  QStringLiteral("detail"),
                                  QStringLiteral("report-select"),   QStringLiteral("preview"),
                                  QStringLiteral("page-setup"),      QStringLiteral("print"),
                                  QStringLiteral("listing"),         QStringLiteral("map"),
                                  QStringLiteral("map-contours"),    QStringLiteral("map-findings"),
                                  QStringLiteral("report-page1"),    QStringLiteral("report-page2"),
                                  QStringLiteral("report-page3")};
    int missing = 0;
    for (const QString& name : expected)
        if (!gTaken.contains(name)) {
            std::fprintf(stderr, "doryou-guide-shots: no shot of %s\n", qPrintable(name));
            ++missing;
        }
    std::printf("doryou-guide-shots: %lld shots in %s\n", static_cast<long long>(gTaken.size()),
                qPrintable(gOutDir));
    return missing == 0 ? 0 : 1;
}
