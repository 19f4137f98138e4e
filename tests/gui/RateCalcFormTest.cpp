#include "ModalDriver.h"
#include "ResultProjects.h"

#include "controls/ArrowMark.h"
#include "results/RateCalcUnit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace results_test;

namespace {

struct RateForm : testing::Test {
    TTargetRateCalcForm form;
    TInputData d;

    // The five edits: current rate and volume, amended rate and volume, target.
    std::string Edits() const {
        std::string s;
        for (const QLineEdit* e : {form.RateEdit, form.DoryouEdit, form.AmendRateEdit,
                                   form.AmendDoryouEdit, form.TargetEdit})
            s += "[" + e->text().toStdString() + "]";
        return s;
    }
    // Check boxes: "1" checked, "0" unchecked, "-" disabled (and unchecked).
    std::string Boxes() const {
        std::string s;
        for (const QCheckBox* b : form.CheckBox)
            s += !b->isEnabled() ? (b->isChecked() ? '?' : '-') : b->isChecked() ? '1' : '0';
        return s;
    }
    // Runs the dialog and clicks one of its closing buttons.
    bool Close(QPushButton* Button) {
        WhenModal([Button](QWidget*) { QTest::mouseClick(Button, Qt::LeftButton); });
        return form.Execute();
    }
};

} // namespace

TEST_F(RateForm, CutCorrectionWorkedExample) {
    TwoLayerProject(d);
    ASSERT_EQ(d.GetCalcSumVolume().CV[1][0], 1450);
    form.SetInputData(d);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("変化率シミュレータ"));
    EXPECT_EQ(Boxes(), "11---");
    EXPECT_EQ(Edits(), "[  0.967][        1,450][  0.800][        1,200][        1,200]");
    EXPECT_DOUBLE_EQ(form.Simulation().Rate[0], 0.745);
    EXPECT_DOUBLE_EQ(form.Simulation().Rate[1], 0.910);

    form.CheckBox[1]->click(); // only layer 1 may change
    EXPECT_DOUBLE_EQ(form.Simulation().Rate[0], 0.650);
    EXPECT_DOUBLE_EQ(form.Simulation().Rate[1], 1.100);
    form.CheckBox[0]->click(); // nothing selected: the last amendment stands
    EXPECT_DOUBLE_EQ(form.Simulation().Rate[0], 0.650);
    EXPECT_EQ(Edits(), "[  0.967][        1,450][  0.800][        1,200][        1,200]");

    // Cancel stores nothing; "適用" stores without asking for a recalculation.
    EXPECT_FALSE(Close(form.BitBtn3));
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
    form.SetInputData(d); // every opening is handed the project anew
    form.CheckBox[1]->click();
    EXPECT_FALSE(Close(form.BitBtn2));
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.650);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(2, 0), 1.100);

    // Re-opened: boxes reset; the volumes are still those of the last calculation, the rates
    // (0.650 and 1.100) those just stored: 0.538 and 0.910 now reach the fill.
    form.SetInputData(d);
    EXPECT_EQ(Boxes(), "11---");
    EXPECT_EQ(Edits(), "[  0.967][        1,450][  0.662][          993][        1,200]");
    EXPECT_TRUE(Close(form.BitBtn1));
}

TEST_F(RateForm, ThreeLayersAndFillCorrection) {
    d.SetLayer(3);
    form.SetInputData(d);
    EXPECT_EQ(Boxes(), "111--");
    d.SetRateType(1);
    form.SetInputData(d);
    EXPECT_EQ(Boxes(), "-----");
    // No plain fill: both rates read 1.000 and the amended volume 0.
    EXPECT_EQ(Edits(), "[  1.000][            0][  1.000][            0][            0]");
}

TEST_F(RateForm, NoAmendmentShowsNoFiguresAndStoresNothing) {
    TwoLayerProject(d);
    form.SetInputData(d); // leaves figures of this project in the amended fields
    TInputData cutOnly;
    cutOnly.SetLayer(2);
    cutOnly.SetMeshSpan(10);
    AddPoint(cutOnly, 1, 0, 15, 0, 10);
    cutOnly.Calcrate();
    form.SetInputData(cutOnly);
    EXPECT_EQ(form.AmendRateEdit->text(), QString());
    EXPECT_EQ(form.AmendDoryouEdit->text(), QString());
    const double before = cutOnly.GetSolidValue(1, 0);
    EXPECT_TRUE(Close(form.BitBtn1));
    EXPECT_DOUBLE_EQ(cutOnly.GetSolidValue(1, 0), before);
}

TEST_F(RateForm, Layout) {
    EXPECT_EQ(form.size(), QSize(325, 187));
    EXPECT_EQ(form.ArrowMark1->geometry(), QRect(104, 48, 93, 29));
    EXPECT_EQ(form.ArrowMark1->ArrowTip(), ak_Single);
    EXPECT_TRUE(form.BitBtn1->isDefault());
    EXPECT_TRUE(form.RateEdit->isReadOnly());
}
