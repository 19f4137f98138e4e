// Page counts, breaks, columns and contents of the printed reports and the input listing.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "analysis/EarthAllocation.h"
#include "analysis/EarthAllocationTable.h"
#include "input/InputPrintOut.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "reports/InputListing.h"
#include "reports/PrintOutUnitReports.h"
#include "reports/PrintOutUnitTable.h"
#include "results/PrintOutUnit.h"

#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Points (x, y) for x, y in 0 .. Side - 1, the ground sloping across a flat plan.
void AddPoints(TInputData& D, int Side) {
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 10.0;
            g.GH = 9.0 + 0.25 * x;
            g.LAYER[0] = 0.3;
            g.LAYER[1] = 1.0;
            g.LAYER[2] = 2.0;
            D.SetMeshData(g);
        }
    }
}

// Data rows of a listing or list page: texts in the first column below the heading rows.
std::vector<QString> FirstColumn(const TGrabbedPage& Page, double Left, double Right, double Top) {
    std::vector<std::pair<double, QString>> cells;
    for (const TGrabbedText& t : Page.Texts)
        if (t.Origin.x() >= Left && t.Right() <= Right + 0.5 && t.Origin.y() > Top)
            cells.push_back({t.Origin.y(), t.Text});
    std::sort(cells.begin(), cells.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<QString> texts;
    for (const auto& c : cells)
        texts.push_back(c.second);
    return texts;
}

// The page's texts joined in the order drawn: a text may come in several runs of one font.
QString Joined(const TGrabbedPage& Page) {
    QString all;
    for (const TGrabbedText& t : Page.Texts)
        all += t.Text;
    return all;
}

} // namespace

TEST(ReportTable, AlignmentCodes) {
    TPreViewForm& preview = PreparedPreview({0, 0, 0, 0, 0, 0});
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        P.NewPage();
        QPainter& C = *P.ViewCanvas();
        C.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
        TReportTable table(200.4, 100);
        for (double x : {0.0, 400.2, 800.0})
            table.AddColumn(x);
        for (double y : {0.0, 60.0, 120.0, 240.0})
            table.AddRow(y);
        table.CellText(C, 0, 0, QStringLiteral("左"), TCellAlign::Left);
        table.CellText(C, 1, 0, QStringLiteral("中"), TCellAlign::Center);
        table.CellText(C, 0, 1, QStringLiteral("1,234 "), TCellAlign::Right);
        table.Text(C, 0, 2, 2, 3, QStringLiteral("メッシュ\r\n番号"), TCellAlign::BlockCenter);
        P.ViewEnd();
    });
    preview.RebuildPages();
    const TGrabbedPage page = GrabPage(preview, 0);
    const TGrabbedText* left = page.Find(QStringLiteral("左"));
    const TGrabbedText* centre = page.Find(QStringLiteral("中"));
    const TGrabbedText* right = page.Find(QStringLiteral("1,234 "));
    const TGrabbedText* line1 = page.Find(QStringLiteral("メッシュ"));
    const TGrabbedText* line2 = page.Find(QStringLiteral("番号"));
    ASSERT_TRUE(left && centre && right && line1 && line2);
    // Boundaries at round(200.4) = 200, round(600.6) = 601, 1000; text 10 units inside.
    EXPECT_NEAR(left->Origin.x(), 210, 1e-6);
    EXPECT_NEAR((centre->Origin.x() + centre->Right()) / 2, (611 + 990) / 2.0, 0.5);
    EXPECT_NEAR(right->Right(), 591, 0.5);
    // One line centred vertically in its row (100 .. 160).
    const QFontMetricsF fm(left->Font);
    EXPECT_NEAR(left->Origin.y() - fm.ascent() + fm.height() / 2, 130, 0.5);
    // A block of two lines, centred both ways in 210 .. 990 x 220 .. 340.
    EXPECT_GT(line2->Origin.y(), line1->Origin.y());
    EXPECT_NEAR((line1->Origin.x() + line1->Right()) / 2, 600, 1.0);
    EXPECT_NEAR((line1->Origin.y() - fm.ascent() + line2->Origin.y() + fm.descent()) / 2, 280, 2.0);
}

TEST(ReportPages, CalcListColumnWidths) {
    struct TCase {
        int PaperWidth, Layer;
        bool Hyoudo;
        TCalcListColumns Expected;
    } cases[] = {
        {1700, 5, true, {18, 69, 79}},   // fixed columns shrink with w, then w once more
        {2000, 1, false, {7, 120, 300}}, // 335 capped at 300
        {1900, 3, false, {13, 120, 124}},
    };
    for (const TCase& c : cases) {
        const TCalcListColumns got = CalcListColumns(c.PaperWidth, c.Layer, c.Hyoudo);
        EXPECT_EQ(got.K, c.Expected.K);
        EXPECT_EQ(got.a, c.Expected.a);
        EXPECT_EQ(got.w, c.Expected.w);
    }
}

TEST(ReportPages, ListingHolds42MeshesAPageOnA4SortedByYThenX) {
    TInputData data;
    data.SetLayer(1);
    data.SetTitle("listing");
    // Registered from the far corner back, so that the listing's order is its own.
    for (int i = 99; i >= 0; --i) {
        TGridData g;
        g.X = i % 10;
        g.Y = i / 10;
        g.FH = 10.5;
        g.GH = 9.25;
        data.SetMeshData(g);
    }
    ASSERT_TRUE(data.DeleteMeshData(3, 0));
    TPreViewForm& preview = PreparedPreview({0, 0, 0, 0, 0, 0});
    ASSERT_EQ(preview.PaperHeight(), 2970);
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildListing(P, data); });
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 3); // 99 points: 42 + 42 + 15

    const TGrabbedPage first = GrabPage(preview, 0);
    EXPECT_TRUE(first.Has(QStringLiteral("listing")));
    for (const char16_t* h : {u"Ｘ", u"Ｙ", u"計画高", u"地盤高"})
        EXPECT_TRUE(first.Has(QString::fromUtf16(h)));
    EXPECT_FALSE(first.Has(QStringLiteral("表土厚")));
    // The X column (boundaries 0 and 120 from x = 200) of the first rows: 0 1 2 4 5 ...
    const std::vector<QString> xs = FirstColumn(first, 200, 320, 160 + 60);
    ASSERT_EQ(xs.size(), 42u);
    EXPECT_EQ(xs[0], QStringLiteral("0 "));
    EXPECT_EQ(xs[2], QStringLiteral("2 "));
    EXPECT_EQ(xs[3], QStringLiteral("4 ")); // the deleted (3, 0) is not listed
    EXPECT_EQ(xs[9], QStringLiteral("0 ")); // Y 1 starts again at X 0
    // Values right-aligned in value columns of min(300, (2100 - 590) div 2) = 300.
    const TGrabbedText* value = first.Find(QStringLiteral("10.500 "));
    ASSERT_NE(value, nullptr);
    EXPECT_NEAR(value->Right(), 200 + 240 + 300 - 10, 0.5);
    EXPECT_EQ(FirstColumn(GrabPage(preview, 2), 200, 320, 160 + 60).size(), 15u);
}

TEST(ReportPages, ListingColumnsFollowTheProjectSettings) {
    TInputData data;
    data.SetLayer(3);
    data.SetHyoudo(true);
    data.SetAtumitu(true);
    AddPoints(data, 2);
    TPreViewForm& preview = PreparedPreview();
    BuildListing(preview.Document(), data);
    ASSERT_EQ(preview.PageNum(), 1);
    const TGrabbedPage page = GrabPage(preview, 0);
    for (const char16_t* h : {u"表土厚", u"１層厚", u"２層厚", u"圧密沈下"})
        EXPECT_TRUE(page.Has(QString::fromUtf16(h))) << QString::fromUtf16(h).toStdString();
    EXPECT_FALSE(page.Has(QStringLiteral("踏込沈下")));
    EXPECT_FALSE(page.Has(QStringLiteral("３層厚")));
}

TEST(ReportPages, CalcListBreaksAt35MeshesOnAContentHeightOf2570) {
    TInputData data;
    data.SetLayer(1);
    data.SetTitle("list");
    AddPoints(data, 8);
    ASSERT_TRUE(data.Calcrate());
    const int meshes = data.CalcMeshCount();
    ASSERT_GT(meshes, 35);
    ASSERT_LE(meshes, 70);
    TPreViewForm& preview = PreparedPreview({100, 200, 100, 200, 0, 0});
    ASSERT_EQ(preview.PaperHeight(), 2570);

    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, false, true); });
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 2);
    const TGrabbedPage first = GrabPage(preview, 0);
    const TGrabbedPage second = GrabPage(preview, 1);
    const std::vector<QString> numbers = FirstColumn(first, 200, 320, 160 + 120);
    ASSERT_EQ(numbers.size(), 35u);
    EXPECT_EQ(numbers[0], QString::number(data.CalcList()[0].Num) + QStringLiteral(" "));
    const std::vector<QString> rest = FirstColumn(second, 200, 320, 160 + 120);
    ASSERT_EQ(rest.size(), size_t(meshes - 35));
    EXPECT_EQ(rest[0], QString::number(data.CalcList()[35].Num) + QStringLiteral(" "));
    // The heading again on the new page; one layer: the group titles over 盛土 and 切土 only.
    EXPECT_TRUE(second.Has(QStringLiteral("補　正　土　量")));
    EXPECT_TRUE(second.Has(QStringLiteral("番号")));
    int fills = 0;
    for (const TGrabbedText& t : second.Texts)
        fills += t.Text == QStringLiteral("盛土");
    EXPECT_EQ(fills, 2);

    // Both reports: the summary sheet first.
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, true, true); });
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 3);
    EXPECT_TRUE(GrabPage(preview, 0).Has(QStringLiteral(" 盛　土　量")));
    EXPECT_TRUE(GrabPage(preview, 1).Has(QStringLiteral("番号")));

    // A new paper recomposes both for its size.
    preview.SetMarzins({100, 100, 100, 100, 0, 0});
    preview.SetOrientation(TOrientation::voLand);
    preview.RebuildPages();
    // Content height 1900: (1900 - 350) div 60 - 2 = 23 meshes a page.
    EXPECT_EQ(preview.PageNum(), 1 + (meshes + 22) / 23);
    preview.SetOrientation(TOrientation::voPort);
}

TEST(ReportPages, CalcListLabelsMeshesAsTheMethodCalculatesThem) {
    TInputData data;
    data.SetLayer(1);
    AddPoints(data, 2);
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, false, true); });
    // A method number outside 0..2 (from a foreign file) calculates by points.
    const struct {
        int CalcType;
        bool Pairs;
    } cases[] = {{0, false}, {1, true}, {2, true}, {7, false}};
    for (const auto& c : cases) {
        data.SetCalcType(c.CalcType);
        ASSERT_TRUE(data.Calcrate());
        preview.RebuildPages();
        const TGrabbedPage page = GrabPage(preview, 0);
        const auto& first = data.CalcList()[0];
        const QString x = c.Pairs ? QStringLiteral("%1,%2").arg(first.X).arg(first.X + 1)
                                  : QString::number(first.X) + QStringLiteral(" ");
        EXPECT_TRUE(page.Has(x)) << c.CalcType;
    }
    data.SetCalcType(0);
}

TEST(ReportPages, SummarySheetOfABalancedSite) {
    TInputData data;
    data.SetLayer(2);
    data.SetSolidName(1, "砂質土");
    data.SetSolidName(2, "粘性土");
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 10.0;
            g.GH = 10.0; // flat: nothing to cut or fill
            data.SetMeshData(g);
        }
    data.Calcrate();
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, true, false); });
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 1);
    const TGrabbedPage page = GrabPage(preview, 0);
    EXPECT_TRUE(page.Has(QStringLiteral(" 不足土量")));
    EXPECT_TRUE(page.Has(QStringLiteral("　（砂質土）")));
    EXPECT_TRUE(page.Has(QStringLiteral("　（粘性土）")));
    EXPECT_FALSE(page.Has(QStringLiteral(" 表　土　量")));
    // The balance in bold Gothic at the right of the corrected column.
    const TGrabbedText* balance = nullptr;
    for (const TGrabbedText& t : page.Texts)
        if (t.Text == QStringLiteral("0 ") && t.Font.bold())
            balance = &t;
    ASSERT_NE(balance, nullptr);
    const int originX = (preview.PaperWidth() - 1600) / 2;
    EXPECT_NEAR(balance->Right(), originX + 1600 - 10, 0.5);
}

TEST(ReportPages, SelectionDialogEnablesPrintingAndReportsAnEmptyList) {
    TInputData data;
    AddPoints(data, 2); // entered, not calculated
    TPrintoutForm& form = SharedPrintoutForm();
    form.SetInputData(&data);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("計算書選択ダイアログ"));
    EXPECT_TRUE(form.PrintOutBtn->isEnabled());
    form.PrintListBox->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(form.PrintOutBtn->isEnabled());
    form.PrintListBox->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(form.PrintOutBtn->isEnabled());
    form.PrintListBox->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(form.PrintOutBtn->isEnabled());

    // Only the list, and nothing calculated: the standard error box, and no preview.
    PreparedPreview();
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    form.PrintOutBtnClick();
    EXPECT_EQ(text, QStringLiteral("表示するページがありません。"));
    EXPECT_FALSE(SharedPreviewForm().isVisible());

    form.SetInputData(&data);
    EXPECT_EQ(form.PrintListBox->item(0)->checkState(), Qt::Checked);
}

TEST(ReportPages, ListingOfAnEmptyProjectReportsNoPages) {
    TInputData data;
    PreparedPreview();
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    InputPrintOut(nullptr, data);
    EXPECT_EQ(text, QStringLiteral("表示するページがありません。"));
}

// Each report names itself and the unit of its figures on its first line; the summary sheet
// adds the conditions the figures were worked out with.
TEST(ReportPages, ReportsCarryTheirNameUnitAndConditions) {
    TInputData data;
    data.SetTitle("造成工事");
    data.SetLayer(2);
    data.SetMeshSpan(5);
    data.SetCalcType(1);
    data.SetRoundType(2);
    data.SetRateType(1);
    data.SetHyoudo(true);
    data.SetAtumitu(true);
    AddPoints(data, 4);
    ASSERT_TRUE(data.Calcrate());
    TPreViewForm& preview = PreparedPreview();
    const std::pair<std::function<void(TPageDocument&)>, QString> reports[] = {
        {[&](TPageDocument& P) { BuildReports(P, data, true, false); },
         QStringLiteral("土量集計表　単位：m³")},
        {[&](TPageDocument& P) { BuildReports(P, data, false, true); },
         QStringLiteral("土量計算一覧表　単位：m³")},
        {[&](TPageDocument& P) { BuildListing(P, data); },
         QStringLiteral("入力データ一覧表　単位：m")},
    };
    for (const auto& [build, name] : reports) {
        preview.SetOnPaperChange(build);
        preview.RebuildPages();
        ASSERT_GE(preview.PageNum(), 1);
        EXPECT_TRUE(Joined(GrabPage(preview, 0)).contains(name)) << name.toStdString();
    }

    preview.SetOnPaperChange([&](TPageDocument& P) { BuildReports(P, data, true, false); });
    preview.RebuildPages();
    // Texts in one font each, read in the order drawn; the four-point methods calculate the
    // meshes around the points too (5 × 5 here).
    const QString page = Joined(GrabPage(preview, 0));
    EXPECT_TRUE(page.contains(QStringLiteral("計算条件")));
    for (const char* pair : {"計算方法：４点柱状法", "メッシュ間隔：5.00 m", "丸め方法：切り上げ",
                             "補正方法：盛土補正", "表土：あり",
                             "沈下量：圧密沈下土層数：2入力点数：16計算メッシュ数：25計算日"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(pair))) << pair;
    EXPECT_TRUE(page.contains(QRegularExpression(
        QStringLiteral("計算日：\\d{4}年\\d{1,2}月\\d{1,2}日 \\d{1,2}:\\d{2}"))));
}

TEST(ReportPages, SelectionDialogPrintsTheMapPage) {
    TInputData data;
    data.SetTitle("造成工事");
    AddPoints(data, 6);
    ASSERT_TRUE(data.Calcrate());
    PreparedPreview();
    TPrintoutForm& form = SharedPrintoutForm();
    form.SetInputData(&data);
    QListWidgetItem* map = form.PrintListBox->item(3);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->text(), QStringLiteral("切盛図"));
    EXPECT_EQ(map->checkState(), Qt::Unchecked);
    map->setCheckState(Qt::Checked);
    int pages = 0;
    bool title = false, legend = false;
    WhenModal([&](QWidget* W) {
        auto* preview = static_cast<TPreViewForm*>(W);
        pages = preview->PageNum();
        const TGrabbedPage last = GrabPage(*preview, pages - 1);
        title = last.Has(QStringLiteral("造成工事　切盛図"));
        legend = last.Has(QStringLiteral("切盛境界"));
        preview->ExitAction->trigger();
    });
    form.show();
    QTest::mouseClick(form.PrintOutBtn, Qt::LeftButton);
    form.hide();
    EXPECT_EQ(pages, 3); // the summary sheet, the list, the map
    EXPECT_TRUE(title);
    EXPECT_TRUE(legend);
    form.SetInputData(&data);
    EXPECT_EQ(form.PrintListBox->item(3)->checkState(), Qt::Unchecked) << "reset on opening";
}

// The table "配分表" printed from the selection dialog shows the shared rows and totals of the
// plan stored with the project, in the plan's order.
TEST(ReportPages, SelectionDialogPrintsTheAllocationTable) {
    TInputData data;
    data.FileLoad(std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh");
    ASSERT_TRUE(data.Calcrate());
    TAllocOptions options;
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    options.Places = {spoil};
    data.SetTag(kAllocTag, AllocOptionsBytes(options));
    const TAllocation plan = AllocateStored(data);
    ASSERT_TRUE(plan.Solved) << plan.Message;
    const TAllocTable table = BuildAllocTable(plan);
    ASSERT_FALSE(table.Rows.empty());

    PreparedPreview();
    TPrintoutForm& form = SharedPrintoutForm();
    form.SetInputData(&data);
    ASSERT_EQ(form.PrintListBox->item(4)->text(), QStringLiteral("配分表"));
    form.PrintListBox->item(0)->setCheckState(Qt::Unchecked);
    form.PrintListBox->item(1)->setCheckState(Qt::Unchecked);
    form.PrintListBox->item(4)->setCheckState(Qt::Checked);
    QString all;
    WhenModal([&](QWidget* W) {
        auto* preview = static_cast<TPreViewForm*>(W);
        for (int i = 0; i < preview->PageNum(); ++i)
            all += Joined(GrabPage(*preview, i));
        preview->ExitAction->trigger();
    });
    form.show();
    QTest::mouseClick(form.PrintOutBtn, Qt::LeftButton);
    form.hide();
    // The cells are padded with spaces.
    const QRegularExpression space(QStringLiteral("\\s"));
    all.remove(space);
    qsizetype at = 0;
    for (const TAllocTable::TRow& row : table.Rows) {
        QString text;
        for (const std::string& cell : row)
            text += QString::fromStdString(cell).remove(space);
        const qsizetype found = all.indexOf(text, at);
        ASSERT_GE(found, 0) << "row " << text.toStdString() << " in order";
        at = found + text.size();
    }
    for (const auto& [name, value] : table.Totals)
        EXPECT_TRUE(all.contains(QString::fromStdString(name + value).remove(space))) << name;
    // Then each outside place: where it is, what it takes, its extra distance, what it got.
    ASSERT_EQ(table.PlaceRows.size(), 1u);
    EXPECT_EQ(table.PlaceRows[0][0], "土捨場1");
    EXPECT_EQ(table.PlaceRows[0][1], "-40.0 / 10.5");
    EXPECT_EQ(table.PlaceRows[0][2], "無制限");
    EXPECT_EQ(table.PlaceRows[0][3], "0.0");
    EXPECT_EQ(table.PlaceRows[0][4], FormatVolume(plan.ToSpoil));
    for (const TAllocTable::TRow* row : {&TAllocTable::PlaceHeading, &table.PlaceRows[0]}) {
        QString text;
        for (const std::string& cell : *row)
            text += QString::fromStdString(cell).remove(space);
        const qsizetype found = all.indexOf(text, at);
        ASSERT_GE(found, 0) << "place row " << text.toStdString() << " after the flows";
        at = found + text.size();
    }
}
