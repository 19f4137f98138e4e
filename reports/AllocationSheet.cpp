#include "reports/AllocationSheet.h"

#include "analysis/EarthAllocation.h"
#include "analysis/EarthAllocationTable.h"
#include "model/DataUnit.h"
#include "preview/NlvTools.h"
#include "preview/PageDocument.h"
#include "reports/PrintOutUnitTable.h"
#include "reports/SiteMapPainter.h"

#include <QPainter>

#include <algorithm>

namespace {

const QColor kRule(128, 128, 128);
enum { kThin = 1, kMedium = 3, kBorder = 5 };
constexpr double kRowHeight = 60;
constexpr double kTop = 300; // the table's top, under the title and the conditions

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

} // namespace

void BuildAllocationTable(TPageDocument& Document, const TInputData& Data,
                          const TAllocation& Plan) {
    const TAllocTable t = BuildAllocTable(Plan);
    // Widths for a content area 1,860 wide (A4 portrait), narrowed on a narrower one.
    const double scale = std::min(1.0, (Document.PaperWidth() - 40) / 1860.0);
    const double widths[5] = {330 * scale, 330 * scale, 280 * scale, 260 * scale, 360 * scale};
    double width = 0;
    for (double w : widths)
        width += w;
    TReportTable table((Document.PaperWidth() - width) / 2, kTop);
    double x = 0;
    for (double w : widths) {
        table.AddColumn(x);
        x += w;
    }
    table.AddColumn(x);
    const int K = 5;
    // Rows a page: the heading, then the flows; the totals need their own rows on the last.
    const int R = std::max(3, int((Document.PaperHeight() - kTop - 40) / kRowHeight));
    for (int r = 0; r <= R; ++r)
        table.AddRow(kRowHeight * r);
    const QString space = QStringLiteral(" ");
    const QString conditions = QStringLiteral("ブロック: %1 × %1 メッシュ　距離: %2")
                                   .arg(Plan.Block)
                                   .arg(Q(AllocDistanceName(Plan.Manhattan)));

    int page = 0;
    auto open = [&](bool Heading = true) {
        Document.NewPage();
        ++page;
        QPainter& C = *Document.ViewCanvas();
        C.setFont(PageFont(Mincho(), -35));
        TextOutTopLeft(C, table.ColumnX(0), 100, Q(Data.Title()));
        C.setFont(PageFont(Mincho(), -35));
        ReportName(C, table.ColumnX(K), 100, QStringLiteral("配分表"), QStringLiteral("m³, m"));
        C.setFont(PageFont(Mincho(), -28));
        TextOutTopLeft(C, table.ColumnX(0), 190, conditions);
        if (!Heading)
            return;
        C.setFont(PageFont(Gothic(), -30, fsBold));
        for (int c = 0; c < K; ++c)
            table.CellText(C, c, 0, Q(TAllocTable::Heading[size_t(c)]), TCellAlign::Center);
    };
    // Closes a page whose rows 1 … Used - 1 are filled.
    auto close = [&](int Used) {
        QPainter& C = *Document.ViewCanvas();
        for (int r = 2; r < Used; ++r)
            table.Line(C, 0, r, K, r, kThin, Qt::SolidLine, kRule);
        table.Line(C, 0, 1, K, 1, kMedium, Qt::SolidLine, kRule);
        for (int c = 1; c < K; ++c)
            table.Line(C, c, 0, c, Used, kThin, Qt::SolidLine, kRule);
        table.Line(C, 0, 0, K, 0, kBorder, Qt::SolidLine, kRule);
        table.Line(C, 0, Used, K, Used, kBorder, Qt::SolidLine, kRule);
        table.Line(C, 0, 0, 0, Used, kBorder, Qt::SolidLine, kRule);
        table.Line(C, K, 0, K, Used, kBorder, Qt::SolidLine, kRule);
    };

    int row = 0;
    for (const TAllocTable::TRow& r : t.Rows) {
        if (row == 0) {
            open();
            row = 1;
        }
        QPainter& C = *Document.ViewCanvas();
        C.setFont(PageFont(Mincho(), -30));
        table.CellText(C, 0, row, space + Q(r[0]), TCellAlign::Left);
        table.CellText(C, 1, row, space + Q(r[1]), TCellAlign::Left);
        for (int c = 2; c < K; ++c)
            table.CellText(C, c, row, Q(r[size_t(c)]) + space, TCellAlign::Right);
        if (++row >= R) {
            close(R);
            row = 0;
        }
    }
    if (row == 0) {
        open();
        row = 1;
    } else {
        close(row);
    }
    // The totals under the table, or on a page of their own when they do not fit.
    const int needed = static_cast<int>(t.Totals.size()) + 1;
    if (row + needed > R) {
        open();
        close(1);
        row = 1;
    }
    if (t.Rows.empty())
        close(1);
    QPainter& C = *Document.ViewCanvas();
    int r = row + 1;
    for (const auto& total : t.Totals) {
        C.setFont(PageFont(Gothic(), -30, fsBold));
        table.Text(C, 0, r, 2, r + 1, space + Q(total.first), TCellAlign::Left);
        C.setFont(PageFont(Mincho(), -30));
        table.Text(C, 2, r, K, r + 1, Q(total.second) + space, TCellAlign::Right);
        table.Line(C, 0, r + 1, K, r + 1, kThin, Qt::SolidLine, kRule);
        ++r;
    }
    table.Line(C, 0, row + 1, K, row + 1, kMedium, Qt::SolidLine, kRule);
    table.Line(C, 0, row + 1, 0, r, kMedium, Qt::SolidLine, kRule);
    table.Line(C, K, row + 1, K, r, kMedium, Qt::SolidLine, kRule);
    table.Line(C, 0, r, K, r, kMedium, Qt::SolidLine, kRule);

    // The outside places the plan used, with what each took or gave: under the totals after a
    // blank row, continued on pages of their own.
    size_t next = 0;
    int top = r + 1;
    while (next < t.PlaceRows.size()) {
        if (top + 2 > R) {
            open(false);
            top = 0;
        }
        QPainter& P = *Document.ViewCanvas();
        P.setFont(PageFont(Gothic(), -30, fsBold));
        for (int c = 0; c < K; ++c)
            table.CellText(P, c, top, Q(TAllocTable::PlaceHeading[size_t(c)]), TCellAlign::Center);
        int used = top + 1;
        P.setFont(PageFont(Mincho(), -30));
        for (; next < t.PlaceRows.size() && used < R; ++next, ++used) {
            const TAllocTable::TRow& place = t.PlaceRows[next];
            table.CellText(P, 0, used, space + Q(place[0]), TCellAlign::Left);
            for (int c = 1; c < K; ++c)
                table.CellText(P, c, used, Q(place[size_t(c)]) + space, TCellAlign::Right);
            table.Line(P, 0, used + 1, K, used + 1, kThin, Qt::SolidLine, kRule);
        }
        table.Line(P, 0, top + 1, K, top + 1, kMedium, Qt::SolidLine, kRule);
        for (int c = 1; c < K; ++c)
            table.Line(P, c, top, c, used, kThin, Qt::SolidLine, kRule);
        table.Line(P, 0, top, K, top, kBorder, Qt::SolidLine, kRule);
        table.Line(P, 0, used, K, used, kBorder, Qt::SolidLine, kRule);
        table.Line(P, 0, top, 0, used, kBorder, Qt::SolidLine, kRule);
        table.Line(P, K, top, K, used, kBorder, Qt::SolidLine, kRule);
        top = R; // any rest on the next page
    }
}

void BuildAllocationReports(TPageDocument& Document, const TInputData& Data,
                            const TAllocation& Plan) {
    Document.AllPageClear();
    BuildAllocationTable(Document, Data, Plan);
    BuildAllocationMapPage(Document, Data, Plan);
    Document.ViewEnd();
}
