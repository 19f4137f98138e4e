// Long work in the windows under the progress box: the box comes, its cancel leaves the
// project and the windows as they were, and work that runs to its end shows its results.
// The box is shown at once here (no delay), on a site of a million points, so that the
// cancel reaches the work while it runs.

#include "ModalDriver.h"
#include "RealInput.h"
#include "ResultProjects.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "controls/ProgressRun.h"
#include "controls/StringGrid.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/MethodCompareUnit.h"
#include "results/PlanBalanceUnit.h"
#include "results/RateCalcUnit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace results_test;

namespace {

bool IsProgressBox(QWidget* W) {
    return qobject_cast<QProgressDialog*>(W) != nullptr;
}

// Cancels the next progress box by its button, as the user would; Title and Label get what
// the box showed.
void CancelProgressBox(QString* Title = nullptr, QString* Label = nullptr) {
    WhenModal(
        [Title, Label](QWidget* W) {
            auto* box = static_cast<QProgressDialog*>(W);
            if (Title)
                *Title = box->windowTitle();
            if (Label)
                *Label = box->labelText();
            QPushButton* cancel = box->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
            QTest::mouseClick(cancel, Qt::LeftButton);
        },
        IsProgressBox);
}

// A project of Side × Side points, planned above and below the ground by turns: every mesh has
// cut or fill.
void BigSite(TInputData& d, int Side) {
    d.SetLayer(1);
    d.SetMeshSpan(1.0);
    d.SetPhase(0, true);
    d.SetCalcType(1);
    d.ReserveMeshes(static_cast<size_t>(Side) * Side);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            AddPoint(d, x, y, 10.0 + 0.01 * ((x * 7 + y * 13) % 300), 11.0);
}

// What a window could show of a project: its file image, results and phases.
struct TSnapshot {
    std::string Bytes;
    std::vector<TGridCalcData> Records;
    TCalcTotals Totals;
    explicit TSnapshot(const TInputData& d)
        : Bytes(d.SaveToBytes()), Records(d.CalcList()), Totals(d.GetCalcTotals()) {}
    bool operator==(const TSnapshot& o) const {
        // No records (never calculated) have no storage to compare.
        return Bytes == o.Bytes && Records.size() == o.Records.size() &&
               (Records.empty() || std::memcmp(Records.data(), o.Records.data(),
                                               Records.size() * sizeof(TGridCalcData)) == 0) &&
               std::memcmp(&Totals, &o.Totals, sizeof Totals) == 0;
    }
};

struct ProgressWindows : testing::Test {
    TMainForm frame;
    TCalcOutForm sumForm;
    TCalcAllForm allForm;
    TTargetRateCalcForm rateForm;
    TInputForm* nav = nullptr;
    QTemporaryDir dir;

    void SetUp() override {
        MainForm = &frame;
        CalcOutForm = &sumForm;
        CalcAllForm = &allForm;
        TargetRateCalcForm = &rateForm;
        SetProgressBoxDelay(0);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        nav = frame.InputForm();
        ASSERT_NE(nav, nullptr);
    }
    void TearDown() override {
        SetProgressBoxDelay(400);
        MainForm = nullptr;
        CalcOutForm = nullptr;
        CalcAllForm = nullptr;
        TargetRateCalcForm = nullptr;
    }
    // Buttons enabled: mesh, calc, summary, list, report: "1" enabled, "0" disabled.
    std::string Enabled() const {
        std::string s;
        for (const TImageButton* b : {nav->MeshInputButton, nav->CalcButton, nav->SumViewButton,
                                      nav->DetailViewButton, nav->CalcPrintButton})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
};

} // namespace

// Opening a large calculated file (read, then recalculated) and cancelling: the open project,
// its file name, caption and buttons stay; opened to the end, the file is the project.
TEST_F(ProgressWindows, CancelledOpenKeepsTheProject) {
    TInputData big;
    BigSite(big, 1000);
    big.SetTitle("大きな工事");
    ASSERT_TRUE(big.Calcrate());
    const QString bigFile = dir.filePath(QStringLiteral("big.msh"));
    big.FileSave(QFile::encodeName(bigFile).toStdString());

    TInputData& d = nav->InputData();
    d.SetTitle("いまの工事");
    d.SetPhase(0, true);
    AddPoint(d, 0, 0, 10, 12);
    AddPoint(d, 1, 0, 10, 12);
    const TSnapshot before(d);
    const QString caption = nav->windowTitle();
    ASSERT_EQ(Enabled(), "11000");
    ASSERT_TRUE(nav->Modified());

    QString title, label;
    CancelProgressBox(&title, &label);
    nav->LoadFile(bigFile);
    EXPECT_EQ(title, QStringLiteral("開く")) << "a title of its own, short enough to show";
    EXPECT_EQ(label, QStringLiteral("読み込んでいます..."));
    EXPECT_TRUE(TSnapshot(d) == before);
    EXPECT_EQ(nav->FileName(), QString());
    EXPECT_EQ(nav->windowTitle(), caption);
    EXPECT_EQ(Enabled(), "11000");
    EXPECT_TRUE(nav->Modified()) << "still the changed project, not the file";

    nav->LoadFile(bigFile);
    EXPECT_EQ(d.Title(), "大きな工事");
    EXPECT_EQ(d.MeshCount(), 1000 * 1000);
    EXPECT_EQ(d.CalcMeshCount(), big.CalcMeshCount());
    EXPECT_EQ(nav->FileName(), bigFile);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [big]"));
    EXPECT_EQ(Enabled(), "11111");
    EXPECT_FALSE(nav->Modified());
}

// 計算 on a large site: the box comes and goes, and the summary shows the new totals. (A
// cancel is heard only while the calculation prepares, too short here to be hit for sure; the
// model's tests cancel it at every report.)
TEST_F(ProgressWindows, CalculationShowsTheBoxThenTheSummary) {
    TInputData& d = nav->InputData();
    BigSite(d, 1000);
    d.SetCalcType(0);
    ASSERT_TRUE(d.Calcrate());
    d.SetCalcType(1); // the results are those of the one-point method
    const TSnapshot before(d);
    ASSERT_EQ(Enabled(), "11111");

    bool boxSeen = false;
    QString fill, label;
    WhenModal(
        [&](QWidget* W) {
            boxSeen = true;
            label = static_cast<QProgressDialog*>(W)->labelText();
        },
        IsProgressBox);
    // The summary comes after the whole calculation, which under the sanitizers takes far
    // longer than a window's usual wait.
    WhenModal(
        [&](QWidget*) {
            fill = sumForm.StringGrid1->Cells(1, 1);
            sumForm.reject();
        },
        [this](QWidget* W) { return W == &sumForm; }, 20 * ModalTimeoutMs);
    QTest::mouseClick(nav->CalcButton, Qt::LeftButton);
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(label, QStringLiteral("計算しています..."));
    EXPECT_FALSE(TSnapshot(d) == before);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_EQ(Enabled(), "11111");
    EXPECT_EQ(fill.toStdString(), BuildCalcSummary(d).Rows[1][1]);
}

// "適用後再計算" on a large site stores the new rates, recalculates and shows them.
TEST_F(ProgressWindows, RateRecalculationStoresAndShows) {
    TInputData& d = nav->InputData();
    BigSite(d, 1000);
    ASSERT_TRUE(d.Calcrate());
    const double rate = d.GetSolidValue(1, 0);
    sumForm.SetInputData(d);
    sumForm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sumForm));
    WhenModal([&](QWidget*) { ClickWidget(rateForm.BitBtn1); },
              [this](QWidget* W) { return W == &rateForm; });
    ClickWidget(sumForm.BitBtn4);
    EXPECT_NE(d.GetSolidValue(1, 0), rate);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_EQ(Enabled(), "11111");
    EXPECT_EQ(sumForm.StringGrid1->Cells(3, 2).toStdString(), BuildCalcSummary(d).Rows[2][3]);
    sumForm.hide();
}

// The method comparison and the plan balance on a large site, cancelled: no comparison window
// opens, the balance window opens with the project's current figures but no shift and says
// why, and the project is untouched.
TEST_F(ProgressWindows, ComparisonAndBalanceCanBeCancelled) {
    TInputData& d = nav->InputData();
    BigSite(d, 1000);
    ASSERT_TRUE(d.Calcrate());
    const TSnapshot before(d);
    sumForm.SetInputData(d);
    sumForm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sumForm));

    bool compareShown = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&]() {
        if (auto* w = qobject_cast<TMethodCompareForm*>(QApplication::activeModalWidget())) {
            compareShown = true;
            w->reject();
        }
    });
    watch.start();
    QString label;
    CancelProgressBox(nullptr, &label);
    ClickWidget(sumForm.BitBtn5);
    watch.stop();
    EXPECT_EQ(label, QStringLiteral("計算方法を比較しています..."));
    EXPECT_FALSE(compareShown);
    EXPECT_TRUE(TSnapshot(d) == before);

    QString message, now, found;
    bool applicable = true;
    CancelProgressBox(nullptr, &label);
    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPlanBalanceForm*>(W);
            message = form->MessageLabel->text();
            now = QStringList{form->FillEdit->text(), form->CutEdit->text(),
                              form->SurplusEdit->text()}
                      .join(QLatin1Char('|'));
            found = form->AfterFillEdit->text() + form->ShiftEdit->text();
            applicable = form->ApplyButton->isEnabled();
            ClickWidget(form->CancelButton);
        },
        [](QWidget* W) { return qobject_cast<TPlanBalanceForm*>(W) != nullptr; });
    ClickWidget(sumForm.BitBtn6);
    EXPECT_EQ(label, QStringLiteral("調整量を求めています..."));
    EXPECT_EQ(message, QStringLiteral("調整量の計算を中止しました。「計算」でやり直せます。"));
    const TCalcTotals t = d.GetCalcTotals();
    const auto volume = [](int64_t V) {
        return QString::fromStdString(FormatThousands(static_cast<double>(V), 0));
    };
    EXPECT_EQ(now, QStringList({volume(t.BV[1]), volume(t.CV[1][0]), volume(t.CV[1][0] - t.BV[1])})
                       .join(QLatin1Char('|')));
    EXPECT_EQ(found, QString());
    EXPECT_FALSE(applicable);
    EXPECT_TRUE(TSnapshot(d) == before);
    EXPECT_TRUE(d.GetPhase(2));
    sumForm.hide();
}

// The box itself: clicks elsewhere wait out the work instead of starting more on the same
// data, and a project's listener hears the phases only after the work, on this thread.
TEST_F(ProgressWindows, InputWaitsAndPhasesComeAfterTheWork) {
    SetProgressBoxDelay(400);
    TInputData& d = nav->InputData();
    int clicks = 0;
    QPushButton other(QStringLiteral("other"));
    QObject::connect(&other, &QPushButton::clicked, [&]() { ++clicks; });
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const auto self = std::this_thread::get_id();
    bool heardHere = false, heardDuring = false;
    std::atomic<bool> working{false};
    const TPhaseChange listener = d.OnPhaseChange();
    d.SetOnPhaseChange([&](TInputData& Sender, int Phase, bool Value) {
        heardHere = std::this_thread::get_id() == self;
        heardDuring = heardDuring || working;
        listener(Sender, Phase, Value);
    });
    QTimer::singleShot(50, [&]() { QTest::mouseClick(&other, Qt::LeftButton); });
    const bool done =
        RunWithProgress(nav, QStringLiteral("t"), QStringLiteral("l"), d, [&](const TProgress& P) {
            working = true;
            d.SetPhase(1, true);
            for (int i = 0; i < 20; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ReportProgress(P, i / 20.0);
            }
            working = false;
        });
    EXPECT_TRUE(done);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(heardHere);
    EXPECT_FALSE(heardDuring);
    EXPECT_TRUE(nav->CalcButton->isEnabled()) << "the listener enabled 計算 after the work";
    d.SetOnPhaseChange(listener);
}

// Work started while other work runs (by a timer, not by the user, whose input is held) is
// refused as cancelled and never runs beside the first; the first ends normally.
TEST(ProgressWindow, SecondWorkWhileOneRunsIsRefused) {
    std::atomic<bool> release{false};
    bool nestedRan = false, nestedDone = true;
    QTimer::singleShot(50, [&]() {
        nestedDone = RunWithProgress(nullptr, QStringLiteral("t"), QStringLiteral("2"),
                                     [&](const TProgress&) { nestedRan = true; });
        release = true;
    });
    const bool done = RunWithProgress(
        nullptr, QStringLiteral("t"), QStringLiteral("1"), [&](const TProgress& Progress) {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ReportProgress(Progress, 1.0);
        });
    EXPECT_TRUE(done);
    EXPECT_FALSE(nestedDone);
    EXPECT_FALSE(nestedRan);
    // Once it has ended, work runs again.
    bool ran = false;
    EXPECT_TRUE(RunWithProgress(nullptr, QStringLiteral("t"), QStringLiteral("3"),
                                [&](const TProgress&) { ran = true; }));
    EXPECT_TRUE(ran);
}
