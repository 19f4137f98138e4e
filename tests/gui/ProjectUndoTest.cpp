// One undo history for the project, kept by the navigation window: the simulator's applies are
// one step each, taken back and done again from the summary by clicks and keys, and the mesh
// data editor's steps share the history, so either window takes back the other's steps.

#include "ModalDriver.h"
#include "RealInput.h"
#include "ResultProjects.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "controls/StringGrid.h"
#include "input/GridDataInputUnit.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "results/CalcOutView.h"
#include "results/RateCalcUnit.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

using namespace results_test;

namespace {

struct ProjectUndo : testing::Test {
    TMainForm frame;
    TCalcOutForm sumForm;
    TTargetRateCalcForm rateForm;
    TInputForm* nav = nullptr;

    void SetUp() override {
        MainForm = &frame;
        CalcOutForm = &sumForm;
        TargetRateCalcForm = &rateForm;
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        nav = frame.InputForm();
        ASSERT_NE(nav, nullptr);
    }
    void TearDown() override {
        MainForm = nullptr;
        CalcOutForm = nullptr;
        TargetRateCalcForm = nullptr;
    }
    TInputData& Project() { return nav->InputData(); }
    // The summary as the navigation window shows it, without waiting in its exec.
    void ShowSummary() {
        sumForm.SetInputData(Project(), nav->UndoStack());
        sumForm.show();
        sumForm.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sumForm));
    }
    std::string Table() const {
        std::string s;
        for (int r = 0; r < sumForm.StringGrid1->rowCount(); ++r)
            for (int c = 0; c < 4; ++c)
                s += sumForm.StringGrid1->Cells(c, r).toStdString() + "|";
        return s;
    }
    std::string ProjectTable() {
        std::string s;
        for (const auto& row : BuildCalcSummary(Project()).Rows)
            for (const std::string& cell : row)
                s += cell + "|";
        return s;
    }
    // Opens the simulator from the summary and closes it with one of its buttons.
    void Simulate(QPushButton* TTargetRateCalcForm::*Button) {
        WhenModal([this, Button](QWidget*) { ClickWidget(rateForm.*Button); },
                  [this](QWidget* W) { return W == &rateForm; });
        ClickWidget(sumForm.BitBtn4);
    }
    // Ctrl + Key in the summary, which the user has come back to.
    void Keys(Qt::Key Key) {
        sumForm.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sumForm));
        QTest::keyClick(&sumForm, Key, Qt::ControlModifier);
    }
};

bool SameTotals(const TCalcTotals& A, const TCalcTotals& B) {
    return std::memcmp(&A, &B, sizeof A) == 0;
}

} // namespace

// "適用後再計算" and "適用" are one step each; taking one back restores the rates and the
// results of before (the table as it was), doing it again the rates and results of after.
TEST_F(ProjectUndo, SimulatorAppliesAreTakenBackAndDoneAgain) {
    TInputData& d = Project();
    TwoLayerProject(d);
    ShowSummary();
    EXPECT_FALSE(sumForm.UndoButton->isEnabled());
    EXPECT_FALSE(sumForm.RedoButton->isEnabled());
    const std::string table = Table();
    const TCalcTotals totals = d.GetCalcTotals();

    Simulate(&TTargetRateCalcForm::BitBtn1); // 適用後再計算
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.745);
    const std::string applied = Table();
    const TCalcTotals appliedTotals = d.GetCalcTotals();
    ASSERT_NE(applied, table);
    EXPECT_EQ(nav->UndoStack()->count(), 1);
    EXPECT_EQ(sumForm.UndoButton->toolTip(), QStringLiteral("元に戻す: 変化率の適用"));

    ClickWidget(sumForm.UndoButton);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(2, 0), 1.1);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(SameTotals(d.GetCalcTotals(), totals));
    EXPECT_EQ(Table(), table);
    EXPECT_FALSE(sumForm.UndoButton->isEnabled());
    Keys(Qt::Key_Y);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.745);
    EXPECT_TRUE(SameTotals(d.GetCalcTotals(), appliedTotals));
    EXPECT_EQ(Table(), applied);
    Keys(Qt::Key_Z);
    EXPECT_EQ(Table(), table);

    // "適用" ends the results; its undo brings back the rates with their results, and the
    // table's commands with them.
    Simulate(&TTargetRateCalcForm::BitBtn2);
    EXPECT_FALSE(d.GetPhase(2));
    EXPECT_FALSE(sumForm.BitBtn4->isEnabled());
    EXPECT_EQ(nav->UndoStack()->count(), 1) << "the step taken back was replaced";
    ClickWidget(sumForm.UndoButton);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
    EXPECT_TRUE(sumForm.BitBtn4->isEnabled());
    EXPECT_EQ(sumForm.windowTitle(), QStringLiteral("計算結果"));
    EXPECT_EQ(Table(), table);
    ClickWidget(sumForm.RedoButton);
    EXPECT_FALSE(d.GetPhase(2)) << "the state after 適用 has no results";
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.745);
    EXPECT_EQ(sumForm.windowTitle(),
              QStringLiteral("計算結果（変化率が変更されました。再計算してください）"));

    // A cancelled simulator changes nothing and leaves no step.
    ClickWidget(sumForm.UndoButton);
    const int steps = nav->UndoStack()->index();
    Simulate(&TTargetRateCalcForm::BitBtn3);
    EXPECT_EQ(nav->UndoStack()->index(), steps);
    EXPECT_TRUE(nav->UndoStack()->canRedo());
    sumForm.hide();
}

// A registration in the editor and a simulator apply in the summary: the summary takes back
// both, the editor, opened again, does both again; steps outlive the editor's closing.
TEST_F(ProjectUndo, EditorAndSummaryTakeBackEachOthersSteps) {
    TInputData& d = Project();
    TwoLayerProject(d);
    d.SetPhase(0, true);
    const TCalcTotals totals = d.GetCalcTotals();

    const auto editor = [this](const std::function<void(TMeshInputForm&)>& Act) {
        WhenModal(
            [Act](QWidget* W) {
                auto* form = static_cast<TMeshInputForm*>(W);
                Act(*form);
                form->close();
            },
            [](QWidget* W) { return qobject_cast<TMeshInputForm*>(W) != nullptr; });
        ClickWidget(nav->MeshInputButton);
    };
    // The X tree has a group for the registered mesh's 2.
    const auto listed = [](TMeshInputForm& Form) { return (Form.GroupsOf(2, 0) & 1) != 0; };
    editor([](TMeshInputForm& Form) {
        Form.StringGrid1->SetCells(0, 1, QStringLiteral("2"));
        Form.StringGrid1->SetCells(1, 1, QStringLiteral("0"));
        Form.StringGrid1->SetCells(2, 1, QStringLiteral("5"));
        ClickWidget(Form.Button1); // 登録
    });
    ASSERT_EQ(d.GetInputMeshCount(), 3);
    ASSERT_TRUE(d.Calcrate());
    const TCalcTotals withMesh = d.GetCalcTotals();

    ShowSummary();
    EXPECT_TRUE(sumForm.UndoButton->isEnabled()) << "the editor's step, from the summary";
    Simulate(&TTargetRateCalcForm::BitBtn1);
    const double rate = d.GetSolidValue(1, 0);
    ASSERT_NE(rate, 0.9);
    const TCalcTotals applied = d.GetCalcTotals();
    Keys(Qt::Key_Z); // the rates
    EXPECT_TRUE(SameTotals(d.GetCalcTotals(), withMesh));
    Keys(Qt::Key_Z); // the registration
    EXPECT_EQ(d.GetInputMeshCount(), 2);
    EXPECT_FALSE(d.GetPhase(2));
    EXPECT_EQ(sumForm.windowTitle(),
              QStringLiteral("計算結果（メッシュデータが変更されました。再計算してください）"));
    EXPECT_FALSE(sumForm.UndoButton->isEnabled());
    sumForm.hide();

    bool before = true, after = false;
    editor([&](TMeshInputForm& Form) {
        before = listed(Form);
        EXPECT_TRUE(Form.RedoButton->isEnabled());
        ClickWidget(Form.RedoButton); // the registration
        after = listed(Form);
        Form.ActRedo->trigger(); // the rates, calculated as they were applied
    });
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), rate);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(SameTotals(d.GetCalcTotals(), applied));

    // Back to the start from the editor; with the project's results of then.
    editor([](TMeshInputForm& Form) {
        Form.ActUndo->trigger();
        ClickWidget(Form.UndoButton);
        EXPECT_FALSE(Form.UndoButton->isEnabled());
    });
    EXPECT_EQ(d.GetInputMeshCount(), 2);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
    ASSERT_TRUE(d.Calcrate());
    EXPECT_TRUE(SameTotals(d.GetCalcTotals(), totals));
}

// Another project ends the history: opening a file, and the navigation window's ClearUndo.
TEST_F(ProjectUndo, OpeningAProjectEndsTheHistory) {
    QTemporaryDir dir;
    TInputData& d = Project();
    TwoLayerProject(d);
    const QString file = dir.filePath(QStringLiteral("two.msh"));
    d.FileSave(QFile::encodeName(file).toStdString());
    ShowSummary();
    Simulate(&TTargetRateCalcForm::BitBtn1);
    ASSERT_TRUE(sumForm.UndoButton->isEnabled());
    sumForm.hide();
    nav->LoadFile(file);
    EXPECT_EQ(nav->UndoStack()->count(), 0);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
    ShowSummary();
    EXPECT_FALSE(sumForm.UndoButton->isEnabled());
    Simulate(&TTargetRateCalcForm::BitBtn1);
    nav->ClearUndo();
    EXPECT_FALSE(sumForm.UndoButton->isEnabled());
    EXPECT_FALSE(sumForm.ActUndo->isEnabled());
    sumForm.hide();
}
