// A number is never shown cut: in a window cell or a printed table a text wider than its place
// is drawn in a smaller font, and one that could not be read even then shows "###".

#include "ModalDriver.h"
#include "RealInput.h"
#include "TextRecorder.h"

#include "controls/FittedText.h"
#include "controls/StringGrid.h"
#include "input/GridDataInputUnit.h"
#include "input/GridDataInputUnitList.h"
#include "input/GridDataInputUnitTree.h"
#include "model/DataUnit.h"
#include "preview/NlvTools.h"
#include "reports/PrintOutUnitTable.h"
#include "results/CalcOutView.h"
#include "results/RateCalcUnit.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// A site whose plain fill is 7,105,346,920 m³, past the 32-bit limit of a record's field.
void LargeSite(TInputData& D) {
    D.SetLayer(1);
    D.SetMeshSpan(1000.0);
    const double depths[] = {2000.0, 2000.0, 2000.0, 1105.34692};
    for (int x = 0; x < 4; ++x) {
        TGridData g;
        g.X = x;
        g.FH = depths[x];
        D.SetMeshData(g);
    }
    TGridData cut;
    cut.Y = 2;
    cut.GH = 1.0;
    D.SetMeshData(cut);
    D.Calcrate();
}

} // namespace

TEST(FittedText, ShrinksWhatDoesNotFitAndMarksWhatCannotBeRead) {
    QFont px(QStringLiteral("ＭＳ 明朝"));
    px.setPixelSize(14);
    QFont pt(QStringLiteral("ＭＳ ゴシック"));
    pt.setPointSizeF(9);
    const QString huge = QString(300, QLatin1Char('9')) + QStringLiteral(".000");
    const struct {
        const QFont& Font;
        QString Text;
        qreal Width;
        const char* Expect; // "same", "smaller" or the mark
    } cases[] = {
        {px, QStringLiteral("1,200"), 80, "same"},
        {px, QStringLiteral("7,105,346,920"), 78, "smaller"},
        {px, QStringLiteral("9,223,372,036,854,775,807"), 78, "smaller"},
        {px, huge, 52, "###"},
        {pt, QStringLiteral("-2147483648"), 40, "smaller"},
        {px, QString(), 0, "same"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.left(30).toStdString());
        const TFittedText fit = FitText(c.Font, c.Text, c.Width);
        const std::string expect = c.Expect;
        if (expect == "###") {
            EXPECT_EQ(fit.Text, QStringLiteral("###"));
            continue;
        }
        EXPECT_EQ(fit.Text, c.Text) << "every character kept";
        EXPECT_LE(QFontMetricsF(fit.Font).horizontalAdvance(fit.Text), c.Width);
        EXPECT_EQ(fit.Font == c.Font, expect == "same");
        if (expect == "smaller") { // no smaller than the floor
            EXPECT_GE(fit.Font.pixelSize() > 0 ? fit.Font.pixelSize() : fit.Font.pointSizeF(),
                      0.4 * (c.Font.pixelSize() > 0 ? c.Font.pixelSize() : c.Font.pointSizeF()));
        }
    }
}

// Renders W (a grid's or a list's viewport) onto a recorder and answers the texts drawn.
std::vector<TDrawnText> DrawnTexts(QWidget* W) {
    TTextRecorder recorder(W->size());
    W->render(&recorder);
    return recorder.Texts;
}

// Every text in Expected was drawn whole, and nothing was drawn beyond its clip.
void ExpectWholeAndUncut(const std::vector<TDrawnText>& Drawn, const QStringList& Expected) {
    for (const TDrawnText& d : Drawn)
        EXPECT_FALSE(d.Cut()) << d.Text.toStdString() << " drawn from " << d.Box.left()
                              << " in a clip from " << d.Clip.left();
    for (const QString& e : Expected) {
        SCOPED_TRACE(e.toStdString());
        const TDrawnText* found = nullptr;
        for (const TDrawnText& d : Drawn)
            if (d.Text == e)
                found = &d;
        EXPECT_NE(found, nullptr) << "not drawn whole";
    }
}

// The summary's plain column used to show 2,147,483,647 as "147,483,647".
TEST(FittedText, SummaryShowsEveryDigitOfLargeTotals) {
    TInputData d;
    LargeSite(d);
    TCalcOutForm form;
    form.SetInputData(d);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_EQ(form.StringGrid1->Cells(1, 1), QStringLiteral("7,105,346,920"));
    ExpectWholeAndUncut(DrawnTexts(form.StringGrid1->viewport()),
                        {QStringLiteral("7,105,346,920"), QStringLiteral("7,104,446,920"),
                         QStringLiteral("1,000,000"), QStringLiteral("900,000")});
}

TEST(FittedText, MeshEntryRowAndListShowWholeNumbers) {
    TInputData d;
    d.SetLayer(1);
    TGridData g;
    g.X = INT32_MIN;
    g.Y = 12;
    g.FH = 9999.999;
    g.GH = -999.999;
    d.SetMeshData(g);
    TMeshInputForm form;
    form.SetInputData(&d);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.TreeViewX->setCurrentItem(form.XTopNode());
    form.TreeClick(form.TreeViewX);
    const QRect row = form.ListView1->visualRect(form.ListModel()->index(0, 1));
    ClickWidget(form.ListView1->viewport(), row.center()); // loads the mesh into the entry row
    ASSERT_EQ(form.StringGrid1->Cells(0, 1), QStringLiteral("-2147483648"));
    {
        // Eleven characters in the 40 pixels of the mesh number cell cannot be read at any
        // size: the cell is marked (the editor and the list show the number).
        SCOPED_TRACE("entry row");
        ExpectWholeAndUncut(DrawnTexts(form.StringGrid1->viewport()),
                            {QStringLiteral("###"), QStringLiteral("12"),
                             QStringLiteral("9999.999"), QStringLiteral("-999.999")});
    }
    {
        SCOPED_TRACE("list");
        ExpectWholeAndUncut(DrawnTexts(form.ListView1->viewport()),
                            {QStringLiteral("-2147483648"), QStringLiteral("12"),
                             QStringLiteral("9999.999"), QStringLiteral("-999.999")});
    }
    form.close();
}

// On paper: a volume wider than its table cell is set smaller within the cell.
TEST(FittedText, PrintedTableCellsKeepEveryDigit) {
    TTextRecorder page(QSize(400, 80));
    QPainter p(&page);
    p.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
    p.setPen(Qt::black);
    {
        TReportTable table(0, 0);
        for (int x : {0, 100, 220, 400})
            table.AddColumn(x);
        table.AddRow(0);
        table.AddRow(60);
        table.CellText(p, 1, 0, QStringLiteral("2,147,483,647"), TCellAlign::Right);
        table.CellText(p, 2, 0, QStringLiteral("1,200"), TCellAlign::Right);
    }
    p.end();
    ASSERT_EQ(page.Texts.size(), 2u);
    for (const TDrawnText& t : page.Texts) {
        SCOPED_TRACE(t.Text.toStdString());
        // Inside the cell less its margins of 10 on each side.
        const double left = t.Text.size() > 5 ? 110 : 230, right = t.Text.size() > 5 ? 210 : 390;
        EXPECT_GE(t.Box.left(), left - 0.5);
        EXPECT_LE(t.Box.right(), right + 0.5);
    }
    EXPECT_EQ(page.Texts[1].Box.width(), QFontMetricsF(PageFont(QStringLiteral("ＭＳ 明朝"), -30))
                                             .horizontalAdvance(QStringLiteral("1,200")))
        << "a number that fits keeps its size";
}

// The simulator's read-only figures: a long total is shown smaller, not scrolled out of sight.
TEST(FittedText, SimulatorFiguresKeepEveryDigit) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(1000.0);
    for (int x = 0; x < 600; ++x) {
        TGridData g;
        g.X = x;
        g.FH = 3000.0; // each mesh at the 32-bit limit of its field
        d.SetMeshData(g);
    }
    d.Calcrate();
    TTargetRateCalcForm form;
    form.SetInputData(d);
    EXPECT_EQ(form.TargetEdit->text(), QStringLiteral("1,288,490,188,200"));
    const QFontMetricsF fm(form.TargetEdit->font());
    EXPECT_LE(fm.horizontalAdvance(form.TargetEdit->text()), form.TargetEdit->width() - 4);
    EXPECT_EQ(form.DoryouEdit->text(), QStringLiteral("            0")) << "short figures stay";
}
