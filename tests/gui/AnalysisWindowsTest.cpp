// The summary's "計算方法の比較" and "計画高調整", and the comparison page of the report
// selection, driven with real clicks and keys.

#include "../AnalysisSites.h"
#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "controls/StringGrid.h"
#include "model/CalcSummary.h"
#include "platform/NumberFormat.h"
#include "results/CalcOutView.h"
#include "results/MethodCompareUnit.h"
#include "results/PlanBalanceUnit.h"
#include "results/PrintOutUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace analysis_test;

namespace {

QString Volume(int64_t V) {
    return QString::fromStdString(FormatThousands(static_cast<double>(V), 0));
}

void Click(QAbstractButton* Button) {
    ASSERT_TRUE(Button->isVisible() && Button->isEnabled()) << Button->text().toStdString();
    QTest::mouseClick(Button, Qt::LeftButton);
}

// Replaces the text of an edit as a user does: select all, type.
void Type(QLineEdit* Edit, const QString& Text) {
    Edit->setFocus();
    QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Edit, Text);
}

struct AnalysisWindows : testing::Test {
    TCalcOutForm summary;
    TInputData d;
    QUndoStack steps; // the project's history, as the navigation window keeps it

    void Show() {
        ASSERT_TRUE(d.Calcrate());
        summary.SetInputData(d, &steps);
        summary.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&summary));
    }
    void TearDown() override { summary.hide(); }
    std::vector<double> Plan() const {
        std::vector<double> fh;
        for (const TGridData& g : d.GridList())
            fh.push_back(g.FH);
        return fh;
    }
    std::string SummaryTexts() const {
        std::string s;
        for (int r = 0; r < summary.StringGrid1->rowCount(); ++r)
            for (int c = 0; c < 4; ++c)
                s += summary.StringGrid1->Cells(c, r).toStdString() + "|";
        return s;
    }
};

} // namespace

TEST_F(AnalysisWindows, ComparisonFromTheSummary) {
    d = GeneratedSite({4, 1, 0, 0, 0.0, 6}); // prism
    Show();
    const TComparisonTable expected = BuildComparisonTable(d, CompareMethods(d));
    std::vector<std::string> shown;
    QString title, own;
    WhenModal([&](QWidget* W) {
        auto* form = qobject_cast<TMethodCompareForm*>(W);
        ASSERT_NE(form, nullptr);
        title = form->windowTitle();
        TStringGrid* g = form->StringGrid1;
        own = g->Cells(TMethodCompareForm::VolumeColumn(1), 0);
        for (int r = 2; r < g->rowCount(); ++r) {
            std::string line = g->Cells(0, r).toStdString();
            for (int c = 1; c < g->columnCount(); ++c)
                line += "|" + g->Cells(c, r).toStdString();
            shown.push_back(line);
        }
        Click(form->CloseButton);
    });
    Click(summary.BitBtn5);
    EXPECT_EQ(title, QStringLiteral("計算方法の比較"));
    EXPECT_EQ(own, QStringLiteral("４点柱状法（この工事）"));
    ASSERT_EQ(shown.size(), expected.Rows.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        const TComparisonTable::TRow& r = expected.Rows[i];
        std::string line = r.Label;
        for (int m = 0; m < CalcMethodCount; ++m)
            line += "|" + r.Volume[m] + "|" + r.Difference[m] + "|" + r.Percent[m];
        EXPECT_EQ(shown[i], line);
    }
    EXPECT_EQ(d.CalcType(), 1);
    EXPECT_TRUE(d.GetPhase(2));
}

TEST_F(AnalysisWindows, BalanceAppliedShiftsThePlanAndRecalculates) {
    d = GeneratedSite({2, 2, 1, 1, 0.0, 6}); // average, round down, fill correction
    Show();
    const std::vector<double> plan = Plan();
    const TPlanBalance none = FindPlanBalance(d, 0);
    const TPlanBalance wanted = FindPlanBalance(d, 150);
    ASSERT_TRUE(none.Found && wanted.Found);
    ASSERT_NE(wanted.ShiftMm, 0);

    QString title, shownShift, typedShift, after;
    WhenModal([&](QWidget* W) {
        auto* form = qobject_cast<TPlanBalanceForm*>(W);
        ASSERT_NE(form, nullptr);
        title = form->windowTitle();
        EXPECT_EQ(form->FillEdit->text(), Volume(none.Before.BV[1]));
        EXPECT_EQ(form->CutEdit->text(), Volume(none.Before.CV[1][0]));
        EXPECT_EQ(form->TargetEdit->text(), QStringLiteral("0"));
        shownShift = form->ShiftEdit->text();
        Type(form->TargetEdit, QStringLiteral("150"));
        EXPECT_FALSE(form->ApplyButton->isEnabled()) << "typed, not searched";
        Click(form->SearchButton);
        typedShift = form->ShiftEdit->text();
        after = form->AfterSurplusEdit->text();
        Click(form->ApplyButton);
    });
    Click(summary.BitBtn6);
    EXPECT_EQ(title, QStringLiteral("計画高調整"));
    EXPECT_EQ(shownShift.toStdString(), ShiftText(none.ShiftMm));
    EXPECT_EQ(typedShift.toStdString(), ShiftText(wanted.ShiftMm));
    EXPECT_EQ(after, Volume(wanted.After.Surplus()));

    // Every live planned height moved by Δh, the project recalculated, the summary refreshed.
    const std::vector<double> now = Plan();
    for (size_t i = 0; i < plan.size(); ++i)
        EXPECT_EQ(now[i], d.GridList()[i].DelFlg ? plan[i] : plan[i] + wanted.Shift()) << i;
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(VolumeTotals(d) == wanted.After);
    EXPECT_TRUE(summary.isVisible());
    std::string expected;
    for (const auto& row : BuildCalcSummary(d).Rows)
        for (const std::string& cell : row)
            expected += cell + "|";
    EXPECT_EQ(SummaryTexts(), expected);
}

TEST_F(AnalysisWindows, BalanceCancelledOrOutOfReachChangesNothing) {
    d = GeneratedSite({6, 0, 0, 0, -6.0, 5}); // one-point, all cut
    Show();
    const std::vector<double> plan = Plan();
    const std::string table = SummaryTexts();
    int phaseChanges = 0;
    d.SetOnPhaseChange([&](TInputData&, int, bool) { ++phaseChanges; });

    QString farMessage, badMessage;
    bool applyAfterBad = true;
    WhenModal([&](QWidget* W) {
        auto* form = qobject_cast<TPlanBalanceForm*>(W);
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->ApplyButton->isEnabled()) << "an all-cut site balances by rising";
        Type(form->TargetEdit, QStringLiteral("999999999"));
        QTest::keyClick(form->TargetEdit, Qt::Key_Return);
        farMessage = form->MessageLabel->text();
        EXPECT_FALSE(form->ApplyButton->isEnabled());
        EXPECT_TRUE(form->ShiftEdit->text().isEmpty());
        Type(form->TargetEdit, QStringLiteral("12.5"));
        Click(form->SearchButton);
        badMessage = form->MessageLabel->text();
        applyAfterBad = form->ApplyButton->isEnabled();
        Click(form->CancelButton);
    });
    Click(summary.BitBtn6);
    EXPECT_TRUE(farMessage.contains(QStringLiteral("全面を切土にしても")))
        << farMessage.toStdString();
    EXPECT_TRUE(badMessage.contains(QStringLiteral("整数で入力"))) << badMessage.toStdString();
    EXPECT_FALSE(applyAfterBad);
    EXPECT_EQ(Plan(), plan);
    EXPECT_EQ(phaseChanges, 0);
    EXPECT_EQ(SummaryTexts(), table);
}

// "適用" is one step of the project's history: "元に戻す" puts every planned height and the
// results back, Ctrl+Y shifts the plan and calculates again; the table follows each step.
TEST_F(AnalysisWindows, BalanceApplyIsOneUndoStep) {
    d = GeneratedSite({3, 1, 0, 0, 0.0, 6});
    Show();
    const std::vector<double> plan = Plan();
    const std::string table = SummaryTexts();
    const TVolumeTotals before = VolumeTotals(d);
    const TPlanBalance wanted = FindPlanBalance(d, 0);
    ASSERT_TRUE(wanted.Found);
    ASSERT_NE(wanted.ShiftMm, 0);
    WhenModal([](QWidget* W) { Click(static_cast<TPlanBalanceForm*>(W)->ApplyButton); },
              [](QWidget* W) { return qobject_cast<TPlanBalanceForm*>(W) != nullptr; });
    Click(summary.BitBtn6);
    const std::vector<double> shifted = Plan();
    const std::string shiftedTable = SummaryTexts();
    ASSERT_NE(shifted, plan);
    ASSERT_TRUE(VolumeTotals(d) == wanted.After);
    EXPECT_EQ(steps.count(), 1);
    EXPECT_EQ(summary.UndoButton->toolTip().toStdString(),
              "元に戻す: 計画高の調整 " + ShiftText(wanted.ShiftMm) + " m");

    Click(summary.UndoButton);
    EXPECT_EQ(Plan(), plan);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(VolumeTotals(d) == before);
    EXPECT_EQ(SummaryTexts(), table);
    EXPECT_FALSE(summary.UndoButton->isEnabled());

    summary.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&summary));
    QTest::keyClick(&summary, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Plan(), shifted);
    EXPECT_TRUE(VolumeTotals(d) == wanted.After);
    EXPECT_EQ(SummaryTexts(), shiftedTable);
    EXPECT_FALSE(summary.RedoButton->isEnabled());
}

TEST_F(AnalysisWindows, ReportSelectionPrintsTheComparisonPage) {
    d = GeneratedSite({9, 0, 0, 0, 0.0, 4});
    ASSERT_TRUE(d.Calcrate());
    PreparedPreview();
    TPrintoutForm& form = SharedPrintoutForm();
    form.SetInputData(&d);
    ASSERT_EQ(form.PrintListBox->count(), 6);
    QListWidgetItem* item = form.PrintListBox->item(2);
    EXPECT_EQ(item->text(), QStringLiteral("計算方法の比較"));
    EXPECT_EQ(item->checkState(), Qt::Unchecked);
    form.PrintListBox->item(1)->setCheckState(Qt::Unchecked); // the list
    item->setCheckState(Qt::Checked);

    int pages = 0;
    bool comparison = false;
    WhenModal([&](QWidget* W) {
        auto* preview = static_cast<TPreViewForm*>(W);
        pages = preview->PageNum();
        // Runs of one font each: the page's text read as one string.
        QString all;
        for (const QString& t : TextsOf(GrabPage(*preview, 1)))
            all += t;
        comparison = all.contains(QStringLiteral("計算方法の比較")) &&
                     all.contains(QStringLiteral("４点平均標高法"));
        preview->ExitAction->trigger();
    });
    form.show();
    Click(form.PrintOutBtn);
    form.hide();
    EXPECT_EQ(pages, 2); // the summary sheet, then the comparison
    EXPECT_TRUE(comparison);
    form.SetInputData(&d);
    EXPECT_EQ(form.PrintListBox->item(2)->checkState(), Qt::Unchecked) << "reset on opening";
}
