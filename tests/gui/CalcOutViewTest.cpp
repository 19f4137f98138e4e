#include "ModalDriver.h"
#include "RealInput.h"
#include "ResultProjects.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "controls/StringGrid.h"
#include "model/CalcSummary.h"
#include "platform/CodePage.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/CellStyle.h"
#include "results/RateCalcUnit.h"

#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace results_test;

namespace {

// A cell's style as "<frame><L|R|C> <colour>", or "-" without one.
std::string StyleOf(TStringGrid* g, int Col, int Row) {
    const TCellStyle* s = CellStyle(g, Col, Row);
    if (!s)
        return "-";
    return std::to_string(s->Frame) + "LRC"[s->Align] + ' ' + s->Color.name().mid(1).toStdString();
}

std::string Text(TStringGrid* g, int Col, int Row) {
    return g->Cells(Col, Row).toStdString();
}

// The project of the seven-line file: one layer, fill 1,200, cut 1,500 (1,350 corrected).
void SevenLineProject(TInputData& d) {
    d.SetLayer(1);
    d.SetMeshSpan(10);
    AddPoint(d, 0, 0, 0, 12);
    AddPoint(d, 1, 0, 15, 0);
    d.Calcrate();
}

QByteArray Cp932(const std::string& Text) {
    return QByteArray::fromStdString(Utf8ToCp932(Text));
}

struct Summary : testing::Test {
    TCalcOutForm form;
    TTargetRateCalcForm rateForm;
    TInputData d;
    QTemporaryDir dir;

    void SetUp() override { TargetRateCalcForm = &rateForm; }
    void TearDown() override { TargetRateCalcForm = nullptr; }
    void Show() {
        form.SetInputData(d);
        form.show();
    }
    TStringGrid* Grid() const { return form.StringGrid1; }
};

} // namespace

TEST_F(Summary, OneLayerCutCorrection) {
    SevenLineProject(d);
    Show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("計算結果"));
    ASSERT_EQ(Grid()->RowCount(), 5);
    const std::vector<std::vector<std::string>> texts = {
        {"", "土　　量", "変化率", "補正土量"},
        {"盛　土　量", "1,200", "", "1,200"},
        {"切　土　量", "1,500", "", "1,350"},
        {"　普通土", "1,500", "0.900", "1,350"},
        {"残土量", "", "", "150"},
    };
    const std::vector<std::vector<std::string>> styles = {
        {"0C ffff80", "0C ffff80", "0C ffff80", "0C ffff80"},
        {"0L ffff80", "1R ffffff", "0R ffff80", "1R ffffff"},
        {"0L ffff80", "1R ffffff", "0R ffff80", "1R ffffff"},
        {"0L ffff80", "1R ffffff", "1R ffffff", "1R ffffff"},
        {"0L ffff80", "0R ffff80", "0R ffff80", "1R ffffff"},
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(Text(Grid(), c, r), texts[r][c]) << c << "," << r;
            EXPECT_EQ(StyleOf(Grid(), c, r), styles[r][c]) << c << "," << r;
        }
    // Fill, cut and the balance stand out; everything else keeps the cell font.
    for (auto [c, r, bold] : {std::tuple{0, 1, true},
                              {3, 1, true},
                              {3, 2, true},
                              {0, 4, true},
                              {3, 4, true},
                              {1, 1, false},
                              {3, 3, false}}) {
        const QFont f = CellStyle(Grid(), c, r)->Font;
        EXPECT_EQ(f.bold(), bold) << c << "," << r;
        EXPECT_EQ(f.family(), bold ? QStringLiteral("ＭＳ ゴシック") : QStringLiteral("ＭＳ 明朝"));
        EXPECT_EQ(f.pixelSize(), bold ? 15 : 14);
    }
}

TEST_F(Summary, FiveLayersTopsoilFillCorrection) {
    d.SetLayer(5);
    d.SetHyoudo(true);
    d.SetRateType(1);
    d.SetMeshSpan(10);
    TGridData g;
    g.GH = 10;
    g.FH = 12;
    g.LAYER[0] = 0.5;
    d.SetMeshData(g);
    d.Calcrate();
    Show();
    ASSERT_EQ(Grid()->RowCount(), 10);
    EXPECT_EQ(Text(Grid(), 0, 9), "表　土　量");
    EXPECT_EQ(Text(Grid(), 3, 9), "50");
    EXPECT_EQ(Text(Grid(), 1, 9), "");
    EXPECT_EQ(StyleOf(Grid(), 3, 9), "1R ffffff");
    EXPECT_EQ(StyleOf(Grid(), 1, 9), "0L ffff80");
    EXPECT_EQ(Text(Grid(), 2, 1), "1.000");
    EXPECT_EQ(StyleOf(Grid(), 2, 1), "1R ffffff");
    for (int r = 2; r <= 9; ++r) {
        EXPECT_EQ(Text(Grid(), 2, r), "") << r;
        EXPECT_EQ(StyleOf(Grid(), 2, r), "0R ffff80") << r;
    }
    EXPECT_EQ(Text(Grid(), 0, 8), "不足土量");

    // A later showing of a smaller project leaves nothing of this one behind.
    TInputData small;
    SevenLineProject(small);
    form.hide();
    form.SetInputData(small);
    form.show();
    EXPECT_EQ(Grid()->RowCount(), 5);
    EXPECT_EQ(Text(Grid(), 2, 1), "");
    EXPECT_EQ(StyleOf(Grid(), 2, 1), "0R ffff80");
}

TEST_F(Summary, CsvFileHasTheCoreBytes) {
    SevenLineProject(d);
    Show();
    const QString path = dir.filePath(QStringLiteral("sum.csv"));
    AnswerFileDialog(QString());
    form.BitBtn2->click();
    EXPECT_FALSE(QFile::exists(path)) << "cancelled";

    AnswerFileDialog(path);
    form.BitBtn2->click();
    const QByteArray bytes = ReadFile(path);
    EXPECT_EQ(bytes, Cp932(CalcSummaryCsvText(d)));
    EXPECT_TRUE(bytes.startsWith(Cp932("土量計算集計表\r\n\r\n")));
    EXPECT_TRUE(bytes.endsWith(Cp932("\"残土量\",\"\",\"\",\"150\"\r\n")));

    // A place that cannot be written: the error box, and the window stays.
    QString text;
    AnswerFileDialog(dir.filePath(QStringLiteral("no/such/folder/x.csv")));
    AnswerMessageBox(QMessageBox::Ok, &text);
    form.BitBtn2->click();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Summary, SimulatorApplyEndsTheResultsRecalcRefreshesThem) {
    // Fill correction: plain fill 2,000 at rate 1.000 against a corrected cut of 2,300.
    d.SetLayer(1);
    d.SetMeshSpan(10);
    d.SetRateType(1);
    d.SetSolidValue(0, 0, 1.0);
    d.SetSolidValue(1, 0, 1.0);
    AddPoint(d, 0, 0, 0, 20);
    AddPoint(d, 1, 0, 23, 0);
    d.Calcrate();
    Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // Cancel changes nothing.
    WhenModal([this](QWidget*) { ClickWidget(rateForm.BitBtn3); });
    ClickWidget(form.BitBtn4);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(form.BitBtn3->isEnabled());

    // "適用" stores the rate; the volumes shown are no longer the project's results, so the
    // project's phase 2 ends and the table's commands with it.
    WhenModal([this](QWidget*) { ClickWidget(rateForm.BitBtn2); });
    ClickWidget(form.BitBtn4);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(0, 0), 1.15) << "stored";
    EXPECT_FALSE(d.GetPhase(2));
    for (QPushButton* b : {form.BitBtn2, form.BitBtn3, form.BitBtn4})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("計算結果（変化率が変更されました。再計算してください）"));
    EXPECT_EQ(Text(Grid(), 3, 1), "2,000") << "the old figures, greyed";
    EXPECT_NE(Grid()->palette().color(QPalette::Text), form.palette().color(QPalette::Text));

    // Calculated and shown again, then "適用後再計算": recalculated while the window stays.
    d.Calcrate();
    form.hide();
    Show();
    EXPECT_TRUE(form.BitBtn4->isEnabled());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("計算結果"));
    EXPECT_EQ(Text(Grid(), 3, 1), "2,300");
    d.SetSolidValue(0, 0, 1.0);
    WhenModal([this](QWidget*) { ClickWidget(rateForm.BitBtn1); });
    ClickWidget(form.BitBtn4);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_TRUE(form.BitBtn3->isEnabled());
    EXPECT_EQ(Text(Grid(), 2, 1), "1.150");
    EXPECT_EQ(Text(Grid(), 3, 1), "2,300");
    EXPECT_EQ(Text(Grid(), 0, 4), "不足土量");
    EXPECT_EQ(Text(Grid(), 3, 4), "0");
}

// Each button by a click: the window it opens (closed again as Esc would), and 閉じる.
TEST_F(Summary, ButtonsByClicks) {
    SevenLineProject(d);
    TCalcAllForm allForm;
    CalcAllForm = &allForm;
    Show();
    const std::pair<QPushButton*, const char*> buttons[] = {
        {form.BitBtn2, "QFileDialog/save"},
        {form.BitBtn3, "TCalcAllForm"},
        {form.BitBtn4, "TTargetRateCalcForm"},
    };
    for (auto [button, opens] : buttons)
        EXPECT_EQ(ModalsOpenedByClick(button), opens);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    CalcAllForm = nullptr;
}

TEST(StyledCell, FramesFillAndBackground) {
    TStringGrid grid(6, 1, nullptr);
    QPalette pal = grid.palette();
    pal.setColor(QPalette::Base, QColor(255, 255, 128));
    grid.setPalette(pal);
    const QColor fill(10, 200, 30);
    for (int f = 0; f <= 4; ++f)
        SetCellStyle(&grid, f, 0, NewCellStyle(f, caRight, fill));
    // Column 5 has no style: it is not painted.
    SetCellText(&grid, 5, 0, QStringLiteral("x"));
    struct Expect {
        QColor corner, centre;
    };
    const Expect expects[] = {
        {fill, fill},                  // flat: the whole cell
        {QColor(255, 255, 128), fill}, // boxes leave a margin of background
        {QColor(255, 255, 128), fill},
        {pal.color(QPalette::Dark), fill}, // thin frames: a line at the edge
        {pal.color(QPalette::Light), fill},
        {QColor(Qt::magenta), QColor(Qt::magenta)},
    };
    for (int f = 0; f <= 5; ++f) {
        QImage img(60, 22, QImage::Format_RGB32);
        img.fill(Qt::magenta);
        QPainter p(&img);
        DrawStyledCell(&grid, p, f, 0, img.rect());
        p.end();
        EXPECT_EQ(QColor(img.pixel(0, 0)).name(), expects[f].corner.name()) << f;
        EXPECT_EQ(QColor(img.pixel(8, 11)).name(), expects[f].centre.name()) << f;
    }
    // A new style replaces the old one; clearing empties the styled cells.
    SetCellText(&grid, 1, 0, QStringLiteral("12"));
    SetCellStyle(&grid, 1, 0, NewCellStyle(cfThinRaised, caCenter, fill));
    EXPECT_EQ(CellStyle(&grid, 1, 0)->Frame, cfThinRaised);
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("12"));
    ClearCellStyles(&grid);
    EXPECT_EQ(CellStyle(&grid, 1, 0), nullptr);
    EXPECT_EQ(grid.Cells(1, 0), QString());
    EXPECT_EQ(CellFont(&grid, 1, 0), nullptr);
}

namespace {

// The navigation window with the result windows of the run.
struct ResultNavigation : testing::Test {
    TMainForm frame;
    TCalcOutForm sumForm;
    TCalcAllForm allForm;
    TInputForm* nav = nullptr;

    void SetUp() override {
        MainForm = &frame;
        CalcOutForm = &sumForm;
        CalcAllForm = &allForm;
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        nav = frame.InputForm();
        ASSERT_NE(nav, nullptr);
    }
    void TearDown() override {
        MainForm = nullptr;
        CalcOutForm = nullptr;
        CalcAllForm = nullptr;
    }
    // Runs Handler; answers which window opened modally (nullptr: none) and closes it.
    QWidget* Opened(void (TInputForm::*Handler)()) {
        QWidget* seen = nullptr;
        QTimer watch; // stopped when the handler returns, whether a window came or not
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&seen]() {
            QWidget* w = QApplication::activeModalWidget();
            if (w && w->isVisible()) {
                seen = w;
                static_cast<QDialog*>(w)->reject();
            }
        });
        watch.start();
        (nav->*Handler)();
        watch.stop();
        return seen;
    }
};

} // namespace

TEST_F(ResultNavigation, CalculateShowsTheSummaryOnlyWithResults) {
    TInputData& d = nav->InputData();
    d.SetLayer(1);
    d.SetMeshSpan(10);
    AddPoint(d, 5, 5, 10, 10); // a lone point makes no mesh with the four-point method
    d.SetCalcType(1);
    EXPECT_EQ(Opened(&TInputForm::CalcButtonClick), nullptr);
    EXPECT_FALSE(d.GetPhase(2));

    d.SetCalcType(0);
    EXPECT_EQ(Opened(&TInputForm::CalcButtonClick), &sumForm);
    EXPECT_EQ(sumForm.StringGrid1->Cells(3, 1), QStringLiteral("0"));

    // The summary button shows the last results without calculating again.
    AddPoint(d, 6, 5, 0, 12);
    EXPECT_EQ(Opened(&TInputForm::SumViewButtonClick), &sumForm);
    EXPECT_EQ(sumForm.StringGrid1->Cells(3, 1), QStringLiteral("0"));
    EXPECT_EQ(Opened(&TInputForm::CalcButtonClick), &sumForm);
    EXPECT_EQ(sumForm.StringGrid1->Cells(3, 1), QStringLiteral("1,200"));

    EXPECT_EQ(Opened(&TInputForm::DetailViewButtonClick), &allForm);
    EXPECT_FALSE(allForm.StringGrid1->Cells(0, 1).trimmed().isEmpty());
}

// Rates stored by the simulator's "適用" end the results everywhere: the navigation window's
// result buttons follow the cleared phase 2 until the next calculation.
TEST_F(ResultNavigation, StoredRatesDisableTheResultButtons) {
    TTargetRateCalcForm rateForm;
    TargetRateCalcForm = &rateForm;
    TInputData& d = nav->InputData();
    d.SetLayer(1);
    d.SetMeshSpan(10);
    AddPoint(d, 0, 0, 0, 12);
    AddPoint(d, 1, 0, 15, 0);
    d.Calcrate();
    ASSERT_TRUE(nav->SumViewButton->isEnabled());
    WhenModal([&](QWidget*) {
        // "適用", once the simulator has worked out its amendment and shows.
        WhenModal([&](QWidget*) { ClickWidget(rateForm.BitBtn2); },
                  [&](QWidget* W) { return W == &rateForm; });
        ClickWidget(sumForm.BitBtn4);
        sumForm.reject();
    });
    nav->SumViewButtonClick();
    EXPECT_FALSE(d.GetPhase(2));
    EXPECT_FALSE(nav->SumViewButton->isEnabled());
    EXPECT_FALSE(nav->DetailViewButton->isEnabled());
    EXPECT_FALSE(nav->CalcPrintButton->isEnabled());
    EXPECT_TRUE(nav->CalcButton->isEnabled());
    TargetRateCalcForm = nullptr;
}

// The summary and the simulator open at their designed places, not centred on their owner, and
// stay where they were (moved by the user or not) however often they are shown again.
TEST(DialogPlace, SummaryAndSimulatorKeepTheirPlace) {
    QWidget owner;
    owner.setGeometry(600, 500, 300, 200);
    owner.show();
    TCalcOutForm summary(&owner);
    TTargetRateCalcForm simulator(&owner);
    TInputData d;
    d.SetLayer(1);
    const std::pair<QDialog*, QPoint> dialogs[] = {{&summary, QPoint(380, 249)},
                                                   {&simulator, QPoint(360, 270)}};
    for (auto [dialog, place] : dialogs) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        for (int i = 0; i < 3; ++i) {
            dialog->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
            EXPECT_EQ(dialog->pos(), place) << "showing " << i;
            dialog->hide();
        }
        dialog->show();
        dialog->move(place + QPoint(40, 30)); // the user moves it
        QTest::qWait(10);
        dialog->hide();
        dialog->show();
        EXPECT_EQ(dialog->pos(), place + QPoint(40, 30));
        dialog->hide();
    }
}

TEST_F(ResultNavigation, CalculateAsksOnceWhenTheChecksFindProblems) {
    TInputData& d = nav->InputData();
    d.SetLayer(1);
    d.SetMeshSpan(10);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            if (x != 1 || y != 1) // a hole in the middle
                AddPoint(d, x, y, 10, 11);
    QString text;
    AnswerMessageBox(QMessageBox::No, &text);
    QTest::mouseClick(nav->CalcButton, Qt::LeftButton);
    EXPECT_TRUE(text.startsWith(QStringLiteral("1 件の問題があります。計算を続けますか？")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("メッシュ (1, 1) に点がありません")))
        << text.toStdString();
    EXPECT_FALSE(d.GetPhase(2));
}
