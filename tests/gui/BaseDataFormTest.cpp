#include "ModalDriver.h"

#include "controls/RadioGroup.h"
#include "controls/StringGrid.h"
#include "input/BaseDataUnit.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

struct BaseForm : testing::Test {
    TBaseInputForm form;

    // Editable cells of a grid as one string per row: "E" editable, "." greyed.
    std::string Map(int Tag) {
        const TStringGrid* g = Tag == 0 ? form.StringGrid1 : form.StringGrid2;
        std::string out;
        for (int r = 1; r < g->RowCount(); ++r) {
            for (int c = 1; c < g->ColCount(); ++c)
                out += form.IsCellEditable(Tag, c, r) ? 'E' : '.';
            out += ' ';
        }
        out.pop_back();
        return out;
    }
    void TypeLayer(const QString& Text) {
        form.ComboBox1->lineEdit()->selectAll();
        QTest::keyClicks(form.ComboBox1->lineEdit(), Text);
    }
    void Show() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void Enter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
    void Type(const QString& Text) {
        for (QChar c : Text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
};

} // namespace

TEST_F(BaseForm, FixedTextsOfTheGrids) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("基本データ入力"));
    EXPECT_EQ(form.StringGrid1->Cells(1, 0), QStringLiteral("層　名　称"));
    EXPECT_EQ(form.StringGrid1->Cells(0, 6), QStringLiteral("6"));
    EXPECT_EQ(form.StringGrid2->Cells(0, 0), QStringLiteral("項 目 名"));
    EXPECT_EQ(form.StringGrid2->Cells(0, 7), QStringLiteral("圧密沈下"));
}

TEST_F(BaseForm, SoilGridEditability) {
    struct Case {
        int layer, rateType;
        const char* map; // rows 1..6, columns name and rate
    };
    const Case cases[] = {
        {5, 0, "E. EE EE EE EE EE"},  {5, 1, "EE E. E. E. E. E."},
        {3, 0, "E. EE EE EE .. .."},  {0, 0, "E. .. .. .. .. .."},
        {-1, 1, ".E .. .. .. .. .."}, {2147483647, 0, "E. EE EE EE EE EE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        form.SetLayer(c.layer);
        form.SetRateType(c.rateType);
        EXPECT_EQ(Map(0), c.map);
    }
}

TEST_F(BaseForm, StandardGridEditability) {
    struct Case {
        int layer;
        bool hyoudo;
        int solidType;
        bool fumikomi, atumitu;
        const char* map; // rows 1..7
    };
    const Case cases[] = {
        {3, false, 0, false, false, ". E E . . . ."},
        {5, true, 0, true, true, "E E E E E E E"},
        {3, true, 1, false, true, "E . . . . . E"},
        {5, false, 1, true, false, ". . . . . E ."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.map);
        form.SetLayer(c.layer);
        form.SetHyoudo(c.hyoudo);
        form.SetSolidType(c.solidType);
        form.SetFumikomi(c.fumikomi);
        form.SetAtumitu(c.atumitu);
        EXPECT_EQ(Map(1), c.map);
    }
}

TEST_F(BaseForm, TypedLayerCount) {
    TypeLayer(QStringLiteral("0"));
    EXPECT_EQ(form.CurrentLayer(), 0);
    EXPECT_EQ(Map(0), "E. .. .. .. .. ..");
    EXPECT_EQ(form.Layer(), 0);
    TypeLayer(QStringLiteral("abc"));
    EXPECT_EQ(form.CurrentLayer(), 0) << "grids behave as for 0 layers";
    EXPECT_EQ(form.Layer(), 1) << "but the value read is 1";
    form.ComboBox1->setCurrentIndex(3);
    EXPECT_EQ(form.CurrentLayer(), 4);
}

TEST_F(BaseForm, NumberFormatsOfTheAccessors) {
    form.SetMeshSpan(12.5);
    EXPECT_EQ(form.MeshSpanEdit->text(), QStringLiteral(" 12.50"));
    form.MeshSpanEdit->clear();
    EXPECT_EQ(form.MeshSpan(), 20.0);
    form.MeshSpanEdit->setText(QStringLiteral("1e999"));
    EXPECT_EQ(form.MeshSpan(), 20.0) << "beyond a double reads as no number";
    form.SetSolidValue(1, 0, 1.2);
    EXPECT_EQ(form.StringGrid1->Cells(2, 2), QStringLiteral("1.200"));
    form.StringGrid2->SetCells(1, 3, QStringLiteral("x"));
    EXPECT_EQ(form.GetSolidValue(2, 1), 0.0);
    // Indexes outside the tables are ignored on writing and read as nothing.
    form.SetSolidValue(6, 0, 9.0);
    form.SetSolidValue(7, 1, 9.0);
    form.SetSolidValue(0, 2, 9.0);
    form.SetSolidName(6, QStringLiteral("x"));
    EXPECT_EQ(form.GetSolidValue(6, 0), 0.0);
    EXPECT_EQ(form.GetSolidValue(0, 2), 0.0);
    EXPECT_EQ(form.GetSolidName(-1), QString());
    form.SetRoundType(7);
    EXPECT_EQ(form.RoundType(), -1);
}

TEST_F(BaseForm, TransferRoundTripAndPhases) {
    TInputData d;
    std::vector<std::pair<int, bool>> events;
    d.SetOnPhaseChange([&](TInputData&, int p, bool v) { events.emplace_back(p, v); });
    form.LoadFromModel(d);
    EXPECT_EQ(form.GetSolidName(2), QStringLiteral("軟岩Ⅰ"));
    EXPECT_EQ(form.Layer(), 5);

    form.SetTitle(QStringLiteral("〇〇造成工事"));
    form.SetLayer(3);
    form.MeshSpanEdit->setText(QStringLiteral("12.5"));
    form.StringGrid1->SetCells(1, 4, QStringLiteral("粘性土"));
    form.StringGrid1->SetCells(2, 5, QStringLiteral("1.2")); // a greyed cell keeps its value
    form.StringGrid2->SetCells(1, 7, QStringLiteral("0.35"));
    form.SetHyoudo(true);
    form.SetAtumitu(true);
    form.SetRoundType(2);
    form.SetCalcType(1);
    form.SetRateType(1);
    form.StoreToModel(d);

    EXPECT_EQ(d.Title(), "〇〇造成工事");
    EXPECT_EQ(d.Layer(), 3);
    EXPECT_EQ(d.MeshSpan(), 12.5);
    EXPECT_EQ(d.GetSolidName(3), "粘性土");
    EXPECT_EQ(d.GetSolidValue(4, 0), 1.2);
    EXPECT_EQ(d.GetSolidValue(6, 1), 0.35);
    EXPECT_TRUE(d.Hyoudo() && d.Atumitu() && !d.Fumikomi());
    EXPECT_EQ(d.RoundType(), 2);
    EXPECT_EQ(d.CalcType(), 1);
    EXPECT_EQ(d.RateType(), 1);
    EXPECT_TRUE(d.GetPhase(0));
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, true}}));

    TBaseInputForm again;
    again.LoadFromModel(d);
    EXPECT_EQ(again.StringGrid1->Cells(2, 5), QStringLiteral("1.200"));
    EXPECT_EQ(again.MeshSpanEdit->text(), QStringLiteral(" 12.50"));
}

TEST_F(BaseForm, LayerFailureStopsAfterTheTitle) {
    TInputData d;
    form.LoadFromModel(d);
    form.SetTitle(QStringLiteral("新しい工事"));
    form.SetLayer(0);
    form.SetMeshSpan(5.0);
    form.SetHyoudo(true);
    try {
        form.StoreToModel(d);
        FAIL() << "a layer count of 0 must be rejected";
    } catch (const EFailure& e) {
        EXPECT_STREQ(e.what(), "層の種類は 1～5 の間で指定してください。");
    }
    EXPECT_EQ(d.Title(), "新しい工事");
    EXPECT_EQ(d.Layer(), 5);
    EXPECT_EQ(d.MeshSpan(), 20.0);
    EXPECT_FALSE(d.Hyoudo());
    EXPECT_FALSE(d.GetPhase(0));
}

TEST_F(BaseForm, ChangedLayerModeAsksTheModelsQuestions) {
    TInputData d;
    TGridData g;
    g.X = 1;
    g.Y = 1;
    g.GH = 10.0;
    g.LAYER[1] = 2.0;
    d.SetMeshData(g);
    std::vector<std::string> asked;
    d.SetQuestion([&](const std::string& Text, TQuestionButtons) {
        asked.push_back(Text);
        return TQuestionAnswer::Cancel;
    });
    form.LoadFromModel(d);
    form.SetSolidType(1);
    form.StoreToModel(d);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(d.SolidType(), 0) << "Cancel keeps the mode";
    EXPECT_TRUE(d.GetPhase(0));
}

TEST_F(BaseForm, EnterWalksTheEditableCellsThenLeavesTheGrid) {
    TInputData d;
    form.LoadFromModel(d);
    form.SetLayer(2);
    Show();
    form.StringGrid1->setFocus();
    form.StringGrid1->SetCurrentCell(1, 1);
    // Layer 2, cut correction: names in rows 1..3, rates in rows 2..3.
    const std::pair<int, int> walk[] = {{1, 2}, {2, 2}, {1, 3}, {2, 3}};
    for (auto [col, row] : walk) {
        Enter();
        EXPECT_EQ(form.StringGrid1->Col(), col);
        EXPECT_EQ(form.StringGrid1->Row(), row);
        EXPECT_EQ(QApplication::focusWidget(), form.StringGrid1);
    }
    Enter(); // past the last editable cell: back to the first, focus to the next control
    EXPECT_EQ(form.StringGrid1->Col(), 1);
    EXPECT_EQ(form.StringGrid1->Row(), 1);
    EXPECT_EQ(QApplication::focusWidget(), form.StringGrid2);
    form.close();
}

TEST_F(BaseForm, EnterCommitsTheCellBeingTyped) {
    TInputData d;
    form.LoadFromModel(d);
    Show();
    form.StringGrid1->setFocus();
    form.StringGrid1->SetCurrentCell(2, 2);
    Type(QStringLiteral("1.4"));
    Enter();
    EXPECT_EQ(form.StringGrid1->Cells(2, 2), QStringLiteral("1.4"));
    EXPECT_EQ(form.StringGrid1->Row(), 3);
    form.close();
}

TEST_F(BaseForm, EnterOnAGridWithoutEditableCellsMovesOn) {
    TInputData d;
    form.LoadFromModel(d);
    form.SetSolidType(1); // no topsoil, elevations, no settlements: nothing to edit
    Show();
    form.StringGrid2->setFocus();
    Enter();
    EXPECT_EQ(QApplication::focusWidget(), form.RoundCombo);
    form.close();
}

TEST_F(BaseForm, EnterInTheTitleMovesToTheLayerCount) {
    Show();
    form.Edit1->setFocus();
    Enter();
    EXPECT_TRUE(form.ComboBox1->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == form.ComboBox1);
    EXPECT_TRUE(form.isVisible()) << "Enter never closes the dialog";
    form.close();
}

TEST_F(BaseForm, GreyedCellsCannotBeSelectedByMouse) {
    TInputData d;
    form.LoadFromModel(d);
    form.SetLayer(1);
    Show();
    form.StringGrid1->SetCurrentCell(1, 1);
    const QRect greyed = form.StringGrid1->visualRect(form.StringGrid1->model()->index(4, 1));
    QTest::mouseClick(form.StringGrid1->viewport(), Qt::LeftButton, {}, greyed.center());
    EXPECT_EQ(form.StringGrid1->Row(), 1);
    const QRect open = form.StringGrid1->visualRect(form.StringGrid1->model()->index(2, 2));
    QTest::mouseClick(form.StringGrid1->viewport(), Qt::LeftButton, {}, open.center());
    EXPECT_EQ(form.StringGrid1->Row(), 2);
    form.close();
}

TEST_F(BaseForm, ExecuteAnswersOkOnlyForOk) {
    WhenModal([this](QWidget*) { QTest::mouseClick(form.BitBtn1, Qt::LeftButton); });
    EXPECT_TRUE(form.Execute());
    WhenModal([this](QWidget*) { QTest::mouseClick(form.BitBtn2, Qt::LeftButton); });
    EXPECT_FALSE(form.Execute());
    WhenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_FALSE(form.Execute());
}

TEST_F(BaseForm, CellGreyedWhileCurrentIsNotOpenedForTyping) {
    TInputData d;
    form.LoadFromModel(d);
    Show();
    form.StringGrid1->setFocus();
    form.StringGrid1->SetCurrentCell(2, 3);
    QTest::mouseClick(form.RateTypeItem->Button(1), Qt::LeftButton); // fill correction
    form.StringGrid1->setFocus();
    Type(QStringLiteral("7"));
    EXPECT_EQ(form.StringGrid1->Cells(2, 3), QStringLiteral("1.050"));
    EXPECT_EQ(QApplication::focusWidget(), form.StringGrid1) << "no cell editor opened";
    form.close();
}

// A spacing no calculation can use is refused at OK with the model's message, the dialog staying
// open with the spacing selected; a usable one closes it. The model refuses the same values.
TEST_F(BaseForm, MeshSpanOutOfRangeIsRefusedAtOk) {
    const struct {
        const char* Typed;
        bool Refused;
    } cases[] = {{"0", true},    {"-20", true}, {"0.001", true}, {"5000", true},
                 {"0.5", false}, {"20", false}, {"1000", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        TInputData d;
        form.LoadFromModel(d);
        Show();
        form.MeshSpanEdit->setFocus();
        form.MeshSpanEdit->selectAll();
        Type(QString::fromLatin1(c.Typed));
        QString text;
        if (c.Refused)
            AnswerMessageBox(QMessageBox::Ok, &text);
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(form.isVisible(), c.Refused);
        if (c.Refused) {
            EXPECT_TRUE(text.startsWith(QStringLiteral("メッシュ間隔 "))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("0.01 m 以上 1000 m 以下")));
            EXPECT_EQ(form.focusWidget(), form.MeshSpanEdit);
            EXPECT_EQ(form.MeshSpanEdit->selectedText(), form.MeshSpanEdit->text());
            EXPECT_THROW(d.SetMeshSpan(form.MeshSpan()), EFailure);
            form.reject();
        } else {
            form.StoreToModel(d);
            EXPECT_EQ(d.MeshSpan(), form.MeshSpan());
        }
    }
}
