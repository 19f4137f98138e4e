#include "ModalDriver.h"
#include "ResultProjects.h"

#include "controls/StringGrid.h"
#include "model/CalcDetail.h"
#include "platform/CodePage.h"
#include "platform/NumberFormat.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CellStyle.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace results_test;

namespace {

std::string StyleOf(TStringGrid* g, int Col, int Row) {
    const TCellStyle* s = CellStyle(g, Col, Row);
    if (!s)
        return "-";
    return std::to_string(s->Frame) + "LRC"[s->Align] + ' ' + s->Color.name().mid(1).toStdString();
}

// The cell number of the mesh at list index i, as the list shows it.
std::string Num(const TInputData& d, int i) {
    const std::string n = std::to_string(d.CalcList().at(i).Num);
    return std::string(6 - n.size(), ' ') + n;
}

// The texts of one grid row joined by "|".
std::string RowText(TStringGrid* g, int Row) {
    std::string s;
    for (int c = 0; c < g->ColCount(); ++c)
        s += (c ? "|" : "") + g->Cells(c, Row).toStdString();
    return s;
}

// A row of n one-point meshes along X with fills 100, 0, 300, ... and cuts where no fill.
void Row(TInputData& d, int n, int Layers) {
    d.SetLayer(Layers);
    d.SetMeshSpan(10);
    d.SetSolidValue(1, 0, 1.0);
    d.SetSolidValue(2, 0, 1.0);
    for (int x = 0; x < n; ++x)
        AddPoint(d, x, 0, x % 2 ? 2.0 : 0.0, x % 2 ? 0.0 : 1.0 + x);
    d.Calcrate();
}

struct Detail : testing::Test {
    TCalcAllForm form;
    TInputData d;
    QTemporaryDir dir;
    TStringGrid* Grid() const { return form.StringGrid1; }
    void Open(TInputData& Data) {
        form.SetInputData(Data);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
};

} // namespace

TEST_F(Detail, ColumnsFollowLayersAndTopsoil) {
    struct Case {
        int layers;
        bool topsoil;
        const char* headings;
    };
    const Case cases[] = {
        {1, false, "メッシュ|Ｘ番号|Ｙ番号|盛土量|切土量"},
        {1, true, "メッシュ|Ｘ番号|Ｙ番号|表土量|盛土量|切土量"},
        {5, true, "メッシュ|Ｘ番号|Ｙ番号|表土量|盛土量|切土量|普通土|軟岩Ⅰ|軟岩Ⅱ|中硬岩|ＰＣ"},
    };
    for (const Case& c : cases) {
        TInputData p;
        p.SetSolidName(5, "ＰＣ");
        Row(p, 3, c.layers);
        p.SetHyoudo(c.topsoil);
        Open(p);
        EXPECT_EQ(RowText(Grid(), 0), c.headings);
        for (int col = 0; col < Grid()->ColCount(); ++col)
            EXPECT_EQ(StyleOf(Grid(), col, 0).substr(0, 2), "4C");
        EXPECT_EQ(CellStyle(Grid(), 0, 0)->Font.pixelSize(), 12);
        EXPECT_EQ(CellStyle(Grid(), 1, 0)->Font.pixelSize(), 14);
        EXPECT_EQ(Grid()->columnWidth(0), 55);
        EXPECT_EQ(Grid()->columnWidth(1), 50);
    }
}

TEST_F(Detail, RowsScrollingAndEnd) {
    Row(d, 30, 2);
    Open(d);
    const QString face = form.palette().color(QPalette::Button).name().mid(1);
    const std::string flat = "0R " + face.toStdString();
    EXPECT_EQ(form.VScroll->maximum(), 29);
    EXPECT_TRUE(form.VScroll->isEnabled());
    // Mesh 1: fill 100 and no cut; mesh 2: no fill, cut 200 all in layer 2 (layer 1 is 0 thick).
    EXPECT_EQ(RowText(Grid(), 1), Num(d, 0) + "|0|0|100|||");
    EXPECT_EQ(RowText(Grid(), 2), Num(d, 1) + "|1|0||200||200");
    EXPECT_EQ(StyleOf(Grid(), 0, 1), "4C " + face.toStdString());
    EXPECT_EQ(StyleOf(Grid(), 1, 1), "3R e0ffff");
    EXPECT_EQ(StyleOf(Grid(), 3, 1), "3R ffc4c4");
    EXPECT_EQ(StyleOf(Grid(), 4, 1), flat) << "no cut: empty and flat, not 0";
    EXPECT_EQ(StyleOf(Grid(), 4, 2), "3R ffff80");
    EXPECT_EQ(StyleOf(Grid(), 6, 2), "3R ffffc4");

    form.VScroll->setValue(1);
    EXPECT_EQ(RowText(Grid(), 1), Num(d, 1) + "|1|0||200||200");
    // The keys of a list move it too.
    QTest::keyClick(&form, Qt::Key_PageDown);
    EXPECT_EQ(form.VScroll->value(), 11);
    QTest::keyClick(&form, Qt::Key_Up);
    EXPECT_EQ(form.VScroll->value(), 10);
    QTest::keyClick(&form, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(RowText(Grid(), 1), Num(d, 0) + "|0|0|100|||");
    form.VScroll->setValue(form.VScroll->maximum());
    EXPECT_EQ(RowText(Grid(), 1), Num(d, 29) + "|29|0||200||200");
    ASSERT_GT(Grid()->RowCount(), 3);
    for (int r = 2; r < Grid()->RowCount(); ++r) {
        EXPECT_EQ(RowText(Grid(), r), "||||||") << r;
        EXPECT_EQ(StyleOf(Grid(), 0, r), "0C " + face.toStdString());
        EXPECT_EQ(StyleOf(Grid(), 3, r), flat);
    }

    // A taller window has more rows, filled at once; a shorter one fewer.
    const int rows = Grid()->RowCount();
    form.VScroll->setValue(0);
    form.resize(form.width(), form.height() + 110);
    QCoreApplication::processEvents();
    EXPECT_EQ(Grid()->RowCount(), rows + 5);
    EXPECT_EQ(Grid()->RowCount(), Grid()->height() / 22 + 1);
    for (int i : {rows + 2, rows + 3}) // the list indexes of the two new last rows
        EXPECT_EQ(RowText(Grid(), i + 1),
                  Num(d, i) + "|" + std::to_string(i) + "|0|" +
                      (i % 2 ? "|200||200" : FormatThousands((i + 1) * 100, 0) + "|||"));
    form.resize(form.width(), 250);
    QCoreApplication::processEvents();
    EXPECT_LT(Grid()->RowCount(), rows);

    // Re-opening, for another project, starts at its first mesh.
    form.VScroll->setValue(20);
    TInputData other;
    Row(other, 2, 1);
    form.SetInputData(other);
    EXPECT_EQ(form.VScroll->value(), 0);
    EXPECT_EQ(form.VScroll->maximum(), 1);
    EXPECT_EQ(RowText(Grid(), 1), Num(other, 0) + "|0|0|100|");
}

TEST_F(Detail, FourPointMeshesAndNoMeshes) {
    d.SetLayer(1);
    d.SetMeshSpan(10);
    d.SetCalcType(1);
    for (int x = 3; x <= 4; ++x)
        for (int y = 4; y <= 5; ++y)
            AddPoint(d, x, y, 10, 12);
    d.Calcrate();
    Open(d);
    // The square between mesh lines 3 and 4 each way is the one with a volume.
    int row = 1;
    while (row < Grid()->RowCount() && RowText(Grid(), row).find("|3,4|4,5|") == std::string::npos)
        ++row;
    ASSERT_LT(row, Grid()->RowCount());
    EXPECT_EQ(StyleOf(Grid(), 1, row), "3C e0c0ff");

    TInputData empty;
    form.SetInputData(empty);
    EXPECT_FALSE(form.VScroll->isEnabled());
    EXPECT_EQ(RowText(Grid(), 1), "|||||||||"); // five layers by default
    form.VScroll->setValue(5);                  // nothing to move to
    EXPECT_EQ(form.VScroll->value(), 0);
}

TEST_F(Detail, ColumnsScrollByWholeColumnsBehindTheMeshNumber) {
    Row(d, 3, 5);
    d.SetHyoudo(true);
    Open(d);
    form.resize(400, form.height());
    QCoreApplication::processEvents();
    ASSERT_TRUE(form.HScroll->isVisible());
    form.HScroll->setValue(form.HScroll->maximum());
    EXPECT_FALSE(Grid()->isColumnHidden(0));
    EXPECT_TRUE(Grid()->isColumnHidden(1));
    EXPECT_FALSE(Grid()->isColumnHidden(Grid()->ColCount() - 1));
    form.resize(1000, form.height());
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.HScroll->isVisible()) << "everything fits";
    EXPECT_FALSE(Grid()->isColumnHidden(1));
}

TEST_F(Detail, CsvFileHasTheCoreBytesForEveryMesh) {
    Row(d, 300, 3);
    Open(d);
    const QString path = dir.filePath(QStringLiteral("detail.csv"));
    AnswerFileDialog(path);
    form.BitBtn2->click();
    const QByteArray bytes = ReadFile(path);
    EXPECT_EQ(bytes, QByteArray::fromStdString(Utf8ToCp932(DetailCsvText(d))));
    EXPECT_EQ(bytes.count("\r\n"), 3 + 300);

    AnswerFileDialog(QString());
    QFile::remove(path);
    form.BitBtn2->click();
    EXPECT_FALSE(QFile::exists(path)) << "cancelled";
}

TEST_F(Detail, ButtonsByClicks) {
    Row(d, 3, 1);
    Open(d);
    EXPECT_EQ(ModalsOpenedByClick(form.BitBtn2), "QFileDialog/save");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}
