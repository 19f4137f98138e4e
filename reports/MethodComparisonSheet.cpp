#include "reports/MethodComparisonSheet.h"

#include "analysis/MethodComparison.h"
#include "model/DataUnit.h"
#include "preview/PageDocument.h"
#include "reports/PrintOutUnitTable.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kRule(128, 128, 128);
enum { kThin = 1, kMedium = 3, kBorder = 5 };

const char* const kRoundNames[] = {"四捨五入", "切り捨て", "切り上げ"};
const char* const kRateNames[] = {"切土補正", "盛土補正"};

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}


// Height, at most Height, at which Sample fits Width.
int Fitting(const QString& Face, int Height, const QString& Sample, double Width, bool Bold) {
    const double drawn =
        QFontMetricsF(PageFont(Face, Height, Bold ? fsBold : 0)).horizontalAdvance(Sample);
    if (drawn > Width && drawn > 0)
        return static_cast<int>(std::ceil(Height * Width / drawn)); // heights are negative
    return Height;
}

} // namespace

void BuildMethodComparisonSheet(TPageDocument& Document, const TInputData& Data,
                                const TComparisonTable& Table) {
    QPainter& C = *Document.ViewCanvas();
    // Widths for a content area 1,860 wide (A4 portrait), narrowed on a narrower one.
    const double scale = std::min(1.0, (Document.PaperWidth() - 40) / 1860.0);
    const double label = 300 * scale, volume = 210 * scale, diff = 180 * scale,
                 percent = 130 * scale;
    const double width = label + CalcMethodCount * (volume + diff + percent);
    TReportTable table((Document.PaperWidth() - width) / 2, 380);
    double x = 0;
    table.AddColumn(x);
    x += label;
    for (int m = 0; m < CalcMethodCount; ++m) {
        table.AddColumn(x);
        table.AddColumn(x += volume);
        table.AddColumn(x += diff);
        x += percent;
    }
    table.AddColumn(x);
    const int K = 1 + 3 * CalcMethodCount;
    const int n = 2 + static_cast<int>(Table.Rows.size());
    for (int r = 0; r <= n; ++r)
        table.AddRow(70 * r);

    C.setFont(PageFont(Mincho(), -60));
    TextOutTopLeft(C, 180, 100, QString::fromStdString(Data.Title()));
    C.setFont(PageFont(Gothic(), -45, fsBold));
    TextOutTopLeft(C, 180, 200, QStringLiteral("計算方法の比較"));
    const int round = Data.RoundType() >= 0 && Data.RoundType() <= 2 ? Data.RoundType() : 0;
    C.setFont(PageFont(Mincho(), -30));
    TextOutTopLeft(
        C, 180, 280,
        QStringLiteral(
            "端数処理: %1　補正: %2　　差と差(%)は、この工事の計算方法（%3）に対する値です。")
            .arg(Q(kRoundNames[round]), Q(kRateNames[Data.RateType() == 1 ? 1 : 0]),
                 Q(Table.MethodNames[Table.OwnMethod])));

    // Rules: thin inside, medium between the methods and under the headings, a border around.
    for (int r = 2; r < n; ++r)
        table.Line(C, 0, r, K, r, r == 2 ? kMedium : kThin, Qt::SolidLine, kRule);
    table.Line(C, 1, 1, K, 1, kThin, Qt::SolidLine, kRule);
    for (int c = 1; c < K; ++c)
        table.Line(C, c, (c - 1) % 3 == 0 ? 0 : 1, c, n, (c - 1) % 3 == 0 ? kMedium : kThin,
                   Qt::SolidLine, kRule);
    table.Line(C, 0, 0, K, 0, kBorder, Qt::SolidLine, kRule);
    table.Line(C, 0, n, K, n, kBorder, Qt::SolidLine, kRule);
    table.Line(C, 0, 0, 0, n, kBorder, Qt::SolidLine, kRule);
    table.Line(C, K, 0, K, n, kBorder, Qt::SolidLine, kRule);

    const QString space = QStringLiteral(" ");
    for (int m = 0; m < CalcMethodCount; ++m) {
        const int c = 1 + 3 * m;
        const bool own = m == Table.OwnMethod;
        const QString name =
            Q(Table.MethodNames[m]) + (own ? QStringLiteral("（この工事）") : QString());
        C.setFont(PageFont(
            Gothic(), Fitting(Gothic(), -35, name, volume + diff + percent - 20, true), fsBold));
        table.Text(C, c, 0, c + 3, 1, name, TCellAlign::Center);
        C.setFont(PageFont(Mincho(), -30));
        table.CellText(C, c, 1, QStringLiteral("土量"), TCellAlign::Center);
        if (!own) {
            table.CellText(C, c + 1, 1, QStringLiteral("差"), TCellAlign::Center);
            table.CellText(C, c + 2, 1, QStringLiteral("差(%)"), TCellAlign::Center);
        }
    }
    // One height for every number: the largest at which each fits its column.
    int numberHeight = -32;
    auto fit = [&](const std::string& Text, double Width) {
        numberHeight =
            std::max(numberHeight, Fitting(Gothic(), numberHeight, Q(Text), Width, true));
    };
    for (const TComparisonTable::TRow& r : Table.Rows)
        for (int m = 0; m < CalcMethodCount; ++m) {
            fit(r.Volume[m], volume - 30);
            fit(r.Difference[m], diff - 30);
            fit(r.Percent[m], percent - 30);
        }
    for (size_t i = 0; i < Table.Rows.size(); ++i) {
        const TComparisonTable::TRow& r = Table.Rows[i];
        const int row = 2 + static_cast<int>(i);
        C.setFont(
            r.Section || r.Emphasis
                ? PageFont(Gothic(), Fitting(Gothic(), -32, Q(r.Label), label - 30, true), fsBold)
                : PageFont(Mincho(), Fitting(Mincho(), -32, Q(r.Label), label - 30, false)));
        table.CellText(C, 0, row, space + Q(r.Label), TCellAlign::Left);
        if (r.Section)
            continue;
        for (int m = 0; m < CalcMethodCount; ++m) {
            const int c = 1 + 3 * m;
            C.setFont(r.Emphasis ? PageFont(Gothic(), numberHeight, fsBold)
                                 : PageFont(Mincho(), numberHeight));
            table.CellText(C, c, row, Q(r.Volume[m]) + space, TCellAlign::Right);
            C.setFont(PageFont(Mincho(), numberHeight));
            table.CellText(C, c + 1, row, Q(r.Difference[m]) + space, TCellAlign::Right);
            table.CellText(C, c + 2, row, Q(r.Percent[m]) + space, TCellAlign::Right);
        }
    }
}
