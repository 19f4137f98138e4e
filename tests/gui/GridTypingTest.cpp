// What the user types into a grid cell lands there, however the cell was reached: by a click on
// the current cell (the case where a delayed editor used to reopen and swallow the digit), by a
// click on another cell, or by a double click, and typed at once or after a pause.

#include "RealInput.h"

#include "controls/StringGrid.h"
#include "input/BaseDataUnit.h"
#include "input/GridDataInputUnit.h"
#include "model/DataUnit.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A double click goes to a cell that is not current: on the current cell the first click opens
// the editor, which takes the second click and selects a word there, as line edits do.
enum class TReach { ClickCurrent, ClickOther, DoubleClickOther };

struct TTypingCase {
    const char* Name;
    TReach Reach;
    int PauseMs; // between reaching the cell and the first key
};

const TTypingCase kCases[] = {
    {"click on the current cell, type at once", TReach::ClickCurrent, 0},
    {"click on the current cell, type within half a second", TReach::ClickCurrent, 150},
    {"click on the current cell, type after a pause", TReach::ClickCurrent, 900},
    {"click on another cell, type at once", TReach::ClickOther, 0},
    {"double click on another cell, type at once", TReach::DoubleClickOther, 0},
};

// Reaches (Col, Row) as the case says (Other is another editable cell), types Text and Enter,
// then waits out the double-click time so that any delayed editing has fired.
void TypeInto(TStringGrid* Grid, const TTypingCase& Case, int Col, int Row, int OtherCol,
              int OtherRow, const QString& Text) {
    Grid->setFocus();
    const bool other = Case.Reach != TReach::ClickCurrent;
    Grid->SetCurrentCell(other ? OtherCol : Col, other ? OtherRow : Row);
    // A fresh click each case: the test tool must not pair it with the last case's click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    ClickWidget(Grid->viewport(), Grid->visualRect(Grid->model()->index(Row, Col)).center(),
                Case.Reach == TReach::DoubleClickOther);
    if (Case.PauseMs > 0)
        QTest::qWait(Case.PauseMs);
    TypeKeys(Text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
}

TEST(GridTyping, MeshEntryRowKeepsWhatIsTypedAfterAClick) {
    TInputData data;
    data.SetLayer(1);
    TMeshInputForm form;
    form.SetInputData(&data);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (const TTypingCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        form.StringGrid1->SetCells(3, 1, QStringLiteral("160.000"));
        TypeInto(form.StringGrid1, c, 3, 1, 2, 1, QStringLiteral("5.25"));
        EXPECT_EQ(form.StringGrid1->Cells(3, 1), QStringLiteral("5.25"));
    }
    form.close();
}

TEST(GridTyping, BaseDataGridsKeepWhatIsTypedAfterAClick) {
    TBaseInputForm form;
    TInputData data;
    form.LoadFromModel(data);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (const TTypingCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        // The rate of soil layer 1, reached from the rate of layer 2.
        form.StringGrid1->SetCells(2, 2, QStringLiteral("0.900"));
        TypeInto(form.StringGrid1, c, 2, 2, 2, 3, QStringLiteral("1.2"));
        EXPECT_EQ(form.StringGrid1->Cells(2, 2), QStringLiteral("1.2"));
        // The standard topsoil thickness in the other grid.
        form.SetHyoudo(true);
        form.StringGrid2->SetCells(1, 1, QStringLiteral("0.000"));
        TypeInto(form.StringGrid2, c, 1, 1, 1, 2, QStringLiteral("0.3"));
        EXPECT_EQ(form.StringGrid2->Cells(1, 1), QStringLiteral("0.3"));
    }
    form.reject();
}

} // namespace
