#include "reports/InputListing.h"

#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "preview/PageDocument.h"
#include "reports/PrintOutUnitTable.h"

#include <QPainter>

#include <algorithm>

namespace {

const char16_t* const kLayerHeadings[2][4] = {
    {u"１層厚", u"２層厚", u"３層厚", u"４層厚"},
    {u"２層標高", u"３層標高", u"４層標高", u"５層標高"},
};

struct TListColumn {
    QString Heading;
    double (*Value)(const TGridData&, int);
    int Arg;
};

std::vector<TListColumn> ValueColumns(const TInputData& Data) {
    std::vector<TListColumn> columns;
    columns.push_back({QStringLiteral("計画高"), [](const TGridData& g, int) { return g.FH; }, 0});
    columns.push_back({QStringLiteral("地盤高"), [](const TGridData& g, int) { return g.GH; }, 0});
    auto layer = [](const TGridData& g, int k) { return g.LAYER[k]; };
    if (Data.Hyoudo())
        columns.push_back({QStringLiteral("表土厚"), layer, 0});
    const int mode = Data.SolidType() == 1 ? 1 : 0;
    for (int k = 1; k <= Data.Layer() - 1 && k <= 4; ++k)
        columns.push_back({QString::fromUtf16(kLayerHeadings[mode][k - 1]), layer, k});
    if (Data.Fumikomi())
        columns.push_back(
            {QStringLiteral("踏込沈下"), [](const TGridData& g, int) { return g.CSink; }, 0});
    if (Data.Atumitu())
        columns.push_back(
            {QStringLiteral("圧密沈下"), [](const TGridData& g, int) { return g.BSink; }, 0});
    return columns;
}

} // namespace

std::vector<TGridData> ListingOrder(const TInputData& Data) {
    std::vector<TGridData> points;
    const std::vector<TGridData>& list = Data.GridList();
    points.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].DelFlg)
            continue;
        points.push_back(list[i]);
        points.back().Index = static_cast<int32_t>(i + 1);
    }
    std::stable_sort(points.begin(), points.end(), [](const TGridData& a, const TGridData& b) {
        return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
    });
    // Of a run at one place the last registered (highest list index) stays.
    std::vector<TGridData> kept;
    kept.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const bool lastOfRun = i + 1 == points.size() || points[i + 1].X != points[i].X ||
                               points[i + 1].Y != points[i].Y;
        if (lastOfRun)
            kept.push_back(points[i]);
    }
    return kept;
}

void BuildListing(TPageDocument& Document, const TInputData& Data) {
    Document.AllPageClear();
    TReportTable table(200, 160);
    const std::vector<TListColumn> values = ValueColumns(Data);
    const int n = 2 + static_cast<int>(values.size());
    int w = (Document.PaperWidth() - 590) / (n - 2);
    w = std::min(w, 300);
    table.AddColumn(0);
    table.AddColumn(120);
    for (int j = 0; j <= n - 2; ++j)
        table.AddColumn(240 + j * w);
    const int R = (Document.PaperHeight() - 350) / 60;
    for (int r = 0; r <= R; ++r)
        table.AddRow(60 * r);

    const QString title = QString::fromStdString(Data.Title());
    const QColor rule(128, 128, 128);
    const QString space = QStringLiteral(" ");
    const std::vector<TGridData> order = ListingOrder(Data);
    // A page a run of rows; the drawing is skipped on pages only counted or not asked for.
    const size_t rows = static_cast<size_t>(std::max(R - 1, 1));
    for (size_t first = 0; first < order.size(); first += rows) {
        Document.NewPage();
        if (!Document.PageRecorded())
            continue;
        QPainter& C = *Document.ViewCanvas();
        C.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -35));
        TextOutTopLeft(C, 180, 100, title);
        ReportName(C, table.ColumnX(n), 100, QStringLiteral("入力データ一覧表"),
                   QStringLiteral("m"));
        C.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
        table.CellText(C, 0, 0, QStringLiteral("Ｘ"), TCellAlign::Center);
        table.CellText(C, 1, 0, QStringLiteral("Ｙ"), TCellAlign::Center);
        for (int k = 0; k < static_cast<int>(values.size()); ++k)
            table.CellText(C, 2 + k, 0, values[k].Heading, TCellAlign::Center);
        for (int c = 1; c <= n - 1; ++c)
            table.Line(C, c, 0, c, R, 1, Qt::SolidLine, rule);
        for (int r = 1; r <= R - 1; ++r)
            table.Line(C, 0, r, n, r, 1, Qt::SolidLine, rule);
        table.Line(C, 0, 0, 0, R, 5, Qt::SolidLine, rule);
        table.Line(C, n, 0, n, R, 5, Qt::SolidLine, rule);
        table.Line(C, 0, 0, n, 0, 5, Qt::SolidLine, rule);
        table.Line(C, 0, R, n, R, 5, Qt::SolidLine, rule);
        int p = 1;
        for (size_t i = first; i < std::min(first + rows, order.size()); ++i, ++p) {
            const TGridData& g = order[i];
            table.CellText(C, 0, p, QString::number(g.X) + space, TCellAlign::Right);
            table.CellText(C, 1, p, QString::number(g.Y) + space, TCellAlign::Right);
            for (int k = 0; k < static_cast<int>(values.size()); ++k)
                table.CellText(
                    C, 2 + k, p,
                    QString::fromStdString(FormatFixed(values[k].Value(g, values[k].Arg), 3)) +
                        space,
                    TCellAlign::Right);
        }
    }
    Document.ViewEnd();
}
