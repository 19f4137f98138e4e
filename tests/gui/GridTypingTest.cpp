// What the user types into a grid cell lands there, however the cell was reached: by a click on
// the current cell (the case where a delayed editor used to reopen and swallow the digit), by a
// click on another cell, or by a double click, and typed at once or after a pause.

#include "controls/StringGrid.h"
#include "input/BaseDataUnit.h"
#include "input/GridDataInputUnit.h"
#include "model/DataUnit.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

enum class TReach { ClickCurrent, ClickOther, DoubleClick };

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
    {"double click, type at once", TReach::DoubleClick, 0},
};

void Click(TStringGrid* Grid, int Col, int Row, bool Double = false) {
    const QPoint at = Grid->visualRect(Grid->model()->index(Row, Col)).center();
    if (Double) {
        // A press and release, then the second press as a double click, as the system sends it.
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(Grid->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, at);
    }
}

// Reaches (Col, Row) as the case says (Other is another editable cell), types Text and Enter,
// then waits out the double-click time so that any delayed editing has fired.
void TypeInto(TStringGrid* Grid, const TTypingCase& Case, int Col, int Row, int OtherCol,
              int OtherRow, const QString& Text) {
    Grid->setFocus();
    Grid->SetCurrentCell(Case.Reach == TReach::ClickOther ? OtherCol : Col,
                         Case.Reach == TReach::ClickOther ? OtherRow : Row);
    // A fresh click each case: the test tool must not pair it with the last case's click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    Click(Grid, Col, Row, Case.Reach == TReach::DoubleClick);
    if (Case.PauseMs > 0)
        QTest::qWait(Case.PauseMs);
    // Each key to the control that has the focus then, as the system delivers it.
    for (QChar c : Text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
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
