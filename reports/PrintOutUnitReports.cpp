#include "reports/PrintOutUnitReports.h"

#include "analysis/MethodComparison.h"
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "preview/PageDocument.h"
#include "reports/AllocationSheet.h"
#include "reports/MethodComparisonSheet.h"
#include "reports/PrintOutUnitTable.h"
#include "reports/SiteMapPainter.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

const QColor kRule(128, 128, 128);
enum { kThin = 1, kMedium = 3, kBorder = 5 };

QString Volume(int64_t V) {
    return QString::fromStdString(FormatVolume(V));
}

void SetFont(QPainter& C, const QString& Face, int Height, bool Bold = false) {
    C.setFont(PageFont(Face, Height, Bold ? fsBold : 0));
}


// -30 shrunk so that Sample fits Width, as the narrow columns need.
int FittingHeight(const QString& Sample, int Width) {
    const double drawn = QFontMetricsF(PageFont(Mincho(), -30)).horizontalAdvance(Sample);
    if (drawn > Width)
        return static_cast<int>(std::nearbyint(-30.0 * Width / drawn));
    return -30;
}

QString Count(int64_t N) {
    return QString::fromStdString(FormatThousands(static_cast<double>(N), 0));
}

} // namespace

std::vector<std::pair<QString, QString>> CalcConditions(const TInputData& Data) {
    const int round = Data.RoundType();
    QString settlement;
    if (Data.Fumikomi())
        settlement = QStringLiteral("踏込沈下");
    if (Data.Atumitu())
        settlement +=
            (settlement.isEmpty() ? QString() : QStringLiteral("・")) + QStringLiteral("圧密沈下");
    const int64_t t = Data.CalcTime();
    return {
        {QStringLiteral("計算方法"),
         QString::fromUtf8(CalcMethodName(CalcMethodOf(Data.CalcType())))},
        {QStringLiteral("メッシュ間隔"),
         QString::fromStdString(FormatFixedPlain(Data.MeshSpan(), 2)) + QStringLiteral(" m")},
        {QStringLiteral("丸め方法"), round == 1   ? QStringLiteral("切り捨て")
                                     : round == 2 ? QStringLiteral("切り上げ")
                                                  : QStringLiteral("四捨五入")},
        {QStringLiteral("補正方法"),
         Data.RateType() == 1 ? QStringLiteral("盛土補正") : QStringLiteral("切土補正")},
        {QStringLiteral("表土"), Data.Hyoudo() ? QStringLiteral("あり") : QStringLiteral("なし")},
        {QStringLiteral("沈下量"), settlement.isEmpty() ? QStringLiteral("なし") : settlement},
        {QStringLiteral("土層数"), QString::number(Data.Layer())},
        {QStringLiteral("入力点数"), Count(Data.GetInputMeshCount())},
        {QStringLiteral("計算メッシュ数"), Count(Data.CalcMeshCount())},
        {QStringLiteral("計算日"),
         t > 0 ? QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy年M月d日 H:mm"))
               : QStringLiteral("未計算")},
    };
}

void BuildSummarySheet(TPageDocument& Document, const TInputData& Data) {
    QPainter& C = *Document.ViewCanvas();
    const int L = Data.Layer();
    const bool T = Data.Hyoudo();
    const int n = L + (T ? 5 : 4);

    TReportTable table((Document.PaperWidth() - 1600) / 2, 250);
    for (int x : {0, 700, 1000, 1200, 1600})
        table.AddColumn(x);
    for (int r = 0; r <= n; ++r)
        table.AddRow(80 * r);

    SetFont(C, Mincho(), -60);
    TextOutTopLeft(C, 180, 100, QString::fromStdString(Data.Title()));
    SetFont(C, Gothic(), -45, true);
    ReportName(C, table.ColumnX(4), 185, QStringLiteral("土量集計表"), QStringLiteral("m³"));
    SetFont(C, Mincho(), -50);

    for (int c = 1; c <= 3; ++c)
        table.Line(C, c, 0, c, n, kThin, Qt::SolidLine, kRule);
    for (int r = 1; r <= n - 1; ++r)
        table.Line(C, 0, r, 4, r, kThin, Qt::SolidLine, kRule);
    table.Line(C, 0, 0, 0, n, kBorder, Qt::SolidLine, kRule);
    table.Line(C, 4, 0, 4, n, kBorder, Qt::SolidLine, kRule);
    table.Line(C, 0, 0, 4, 0, kBorder, Qt::SolidLine, kRule);
    table.Line(C, 0, n, 4, n, kBorder, Qt::SolidLine, kRule);

    const TCalcTotals sum = Data.GetCalcTotals();
    table.CellText(C, 0, 1, QStringLiteral(" 盛　土　量"), TCellAlign::Left);
    table.CellText(C, 0, 2, QStringLiteral(" 切　土　量"), TCellAlign::Left);
    for (int i = 1; i <= L; ++i)
        table.CellText(C, 0, 2 + i,
                       QStringLiteral("　（") + QString::fromStdString(Data.GetSolidName(i)) +
                           QStringLiteral("）"),
                       TCellAlign::Left);
    table.CellText(C, 0, L + 3,
                   sum.BV[1] < sum.CV[1][0] ? QStringLiteral(" 残土量")
                                            : QStringLiteral(" 不足土量"),
                   TCellAlign::Left);
    if (T)
        table.CellText(C, 0, L + 4, QStringLiteral(" 表　土　量"), TCellAlign::Left);
    table.CellText(C, 1, 0, QStringLiteral("土　　量"), TCellAlign::Center);
    table.CellText(C, 2, 0, QStringLiteral("変化率"), TCellAlign::Center);
    table.CellText(C, 3, 0, QStringLiteral("補正土量"), TCellAlign::Center);

    const QString space = QStringLiteral(" ");
    for (int k = 0; k <= 1; ++k) {
        const int column = k == 0 ? 1 : 3;
        table.CellText(C, column, 1, Volume(sum.BV[k]) + space, TCellAlign::Right);
        for (int i = 0; i <= L; ++i)
            table.CellText(C, column, 2 + i, Volume(sum.CV[k][i]) + space, TCellAlign::Right);
    }
    SetFont(C, Gothic(), -50, true);
    const int64_t balance = std::llabs(sum.CV[1][0] - sum.BV[1]);
    table.CellText(C, 3, L + 3, Volume(balance) + space, TCellAlign::Right);
    SetFont(C, Mincho(), -50);
    if (T)
        table.CellText(C, 3, L + 4, Volume(sum.HV) + space, TCellAlign::Right);
    auto rate = [&](double V) { return QString::fromStdString(FormatFixed(V, 3)) + space; };
    if (Data.RateType() == 1) {
        table.CellText(C, 2, 1, rate(Data.GetSolidValue(0, 0)), TCellAlign::Right);
    } else {
        for (int i = 1; i <= L; ++i)
            table.CellText(C, 2, 2 + i, rate(Data.GetSolidValue(i, 0)), TCellAlign::Right);
    }

    // The conditions the figures were worked out with, two columns under the table.
    const std::vector<std::pair<QString, QString>> conditions = CalcConditions(Data);
    const int left = table.ColumnX(0), top = table.RowY(n) + 120;
    SetFont(C, Gothic(), -45, true);
    TextOutTopLeft(C, left, top, QStringLiteral("計算条件"));
    SetFont(C, Mincho(), -40);
    const int half = (int(conditions.size()) + 1) / 2;
    for (int i = 0; i < int(conditions.size()); ++i) {
        const int x = left + (i < half ? 0 : 820), y = top + 80 + (i % half) * 65;
        TextOutTopLeft(C, x + 20, y, conditions[size_t(i)].first);
        TextOutTopLeft(C, x + 330, y, QStringLiteral("：") + conditions[size_t(i)].second);
    }
}

TCalcListColumns CalcListColumns(int PaperWidth, int Layer, bool Hyoudo) {
    const int K = 7 + (Layer > 1 ? 2 * Layer : 0) + (Hyoudo ? 1 : 0);
    int a = 120;
    int w = (PaperWidth - 300 - 3 * a) / (K - 3);
    if (w > 300)
        w = 300;
    if (a > w) {
        a = w;
        w = (PaperWidth - 300 - 3 * a) / (K - 3);
    }
    return {K, a, w};
}

void BuildCalcList(TPageDocument& Document, const TInputData& Data) {
    const int L = Data.Layer();
    const bool T = Data.Hyoudo();
    // Plain names, not a structured binding: the page routines below capture them.
    const TCalcListColumns columns = CalcListColumns(Document.PaperWidth(), L, T);
    const int K = columns.K, a = columns.a, w = columns.w;
    TReportTable table(200, 160);
    for (int x : {0, a, 2 * a, 3 * a})
        table.AddColumn(x);
    for (int j = 1; j <= K - 3; ++j)
        table.AddColumn(3 * a + j * w);
    const int R = (Document.PaperHeight() - 350) / 60;
    for (int r = 0; r <= R; ++r)
        table.AddRow(60 * r);
    const QString title = QString::fromStdString(Data.Title());
    const int dataHeight = FittingHeight(QStringLiteral("99,990"), w - 20);
    QFont dataFont = PageFont(Mincho(), dataHeight);
    QFont dataBold = PageFont(Gothic(), dataHeight, fsBold);
    const QString space = QStringLiteral(" ");
    // The layers' names in the heading, each in the size that fits its column: measured once,
    // not on each of the list's pages.
    std::vector<std::pair<QString, int>> layerNames;
    if (L > 1)
        for (int i = 1; i <= L; ++i) {
            const QString name = QString::fromStdString(Data.GetSolidName(i));
            layerNames.emplace_back(name, FittingHeight(name, w - 20));
        }

    auto heading = [&](QPainter& C) {
        SetFont(C, Mincho(), -35);
        TextOutTopLeft(C, 180, 100, title);
        ReportName(C, table.ColumnX(K), 100, QStringLiteral("土量計算一覧表"),
                   QStringLiteral("m³"));
        SetFont(C, Mincho(), -30);
        table.Text(C, 0, 0, 1, 2, QStringLiteral("メッシュ\r\n番号"), TCellAlign::BlockCenter);
        table.Text(C, 1, 0, 2, 2, QStringLiteral("Ｘ"), TCellAlign::Center);
        table.Text(C, 2, 0, 3, 2, QStringLiteral("Ｙ"), TCellAlign::Center);
        if (T) {
            table.Line(C, 3, 0, 3, 2, kThin, Qt::SolidLine, kRule);
            table.Text(C, 3, 0, 4, 2, QStringLiteral("表土"), TCellAlign::Center);
        }
        int c = T ? 4 : 3;
        for (int group = 0; group < 2; ++group) {
            const int s = c;
            SetFont(C, Gothic(), -30, true);
            table.CellText(C, c, 1, QStringLiteral("盛土"), TCellAlign::Center);
            ++c;
            table.Line(C, c, 1, c, 2, kThin, Qt::SolidLine, kRule);
            table.CellText(C, c, 1, QStringLiteral("切土"), TCellAlign::Center);
            ++c;
            SetFont(C, Mincho(), -30);
            for (const auto& [name, height] : layerNames) {
                SetFont(C, Mincho(), height);
                table.CellText(C, c, 1, name, TCellAlign::Center);
                table.Line(C, c, 1, c, 2, kThin, Qt::SolidLine, kRule);
                ++c;
            }
            SetFont(C, Mincho(), -30);
            table.Text(C, s, 0, c, 1,
                       group == 0 ? QStringLiteral("土　　量") : QStringLiteral("補　正　土　量"),
                       TCellAlign::Center);
            table.Line(C, s, 1, c, 1, kThin, Qt::SolidLine, kRule);
            table.Line(C, s, 0, s, 2, kThin, Qt::SolidLine, kRule);
            table.Line(C, s, 0, s, R, kMedium, Qt::SolidLine, kRule);
        }
        table.Line(C, 1, 0, 1, 2, kThin, Qt::SolidLine, kRule);
        table.Line(C, 2, 0, 2, 2, kThin, Qt::SolidLine, kRule);
        for (int col = 1; col <= K - 1; ++col)
            table.Line(C, col, 2, col, R, kThin, Qt::SolidLine, kRule);
        for (int r = 2; r <= R - 1; ++r)
            table.Line(C, 0, r, K, r, kThin, Qt::SolidLine, kRule);
        table.Line(C, 0, 0, 0, R, kBorder, Qt::SolidLine, kRule);
        table.Line(C, K, 0, K, R, kBorder, Qt::SolidLine, kRule);
        table.Line(C, 0, 0, K, 0, kBorder, Qt::SolidLine, kRule);
        table.Line(C, 0, R, K, R, kBorder, Qt::SolidLine, kRule);
    };

    // A page a run of rows; the drawing is skipped on pages only counted or not asked for.
    const std::vector<TGridCalcData>& list = Data.CalcList();
    const size_t rows = static_cast<size_t>(std::max(R - 2, 1));
    for (size_t first = 0; first < list.size(); first += rows) {
        Document.NewPage();
        if (!Document.PageRecorded())
            continue;
        QPainter& C = *Document.ViewCanvas();
        heading(C);
        int p = 2;
        for (size_t m = first; m < std::min(first + rows, list.size()); ++m, ++p) {
            const TGridCalcData& mesh = list[m];
            C.setFont(dataFont);
            table.CellText(C, 0, p, QString::number(mesh.Num) + space, TCellAlign::Right);
            // Labelled as the detail list labels them: a method number of a foreign file that
            // calculates by points also prints as points.
            if (!DetailIsFourPoint(Data)) {
                table.CellText(C, 1, p, QString::number(mesh.X) + space, TCellAlign::Right);
                table.CellText(C, 2, p, QString::number(mesh.Y) + space, TCellAlign::Right);
            } else {
                auto pair = [](int32_t V) {
                    return QStringLiteral("%1,%2").arg(V).arg(int64_t(V) + 1);
                };
                table.CellText(C, 1, p, pair(mesh.X), TCellAlign::Center);
                table.CellText(C, 2, p, pair(mesh.Y), TCellAlign::Center);
            }
            int c = 3;
            if (T)
                table.CellText(C, c++, p, Volume(mesh.HV), TCellAlign::Right);
            for (int k = 0; k < 2; ++k) {
                C.setFont(dataBold);
                table.CellText(C, c++, p, Volume(mesh.BV[k]), TCellAlign::Right);
                table.CellText(C, c++, p, Volume(mesh.CV[k][0]), TCellAlign::Right);
                C.setFont(dataFont);
                if (L > 1)
                    for (int i = 1; i <= L; ++i)
                        table.CellText(C, c++, p, Volume(mesh.CV[k][i]), TCellAlign::Right);
            }
        }
    }
}

void BuildReports(TPageDocument& Document, const TInputData& Data, bool Summary, bool CalcList,
                  const TComparisonTable* Comparison, bool Map,
                  const TAllocation* Allocation, bool AllocTable, bool AllocMap) {
    Document.AllPageClear();
    if (Summary) {
        Document.NewPage();
        BuildSummarySheet(Document, Data);
    }
    if (Comparison) {
        Document.NewPage();
        BuildMethodComparisonSheet(Document, Data, *Comparison);
    }
    if (CalcList)
        BuildCalcList(Document, Data);
    if (Map)
        BuildMapPage(Document, Data, TMapLayer::Height);
    if (Allocation && AllocTable)
        BuildAllocationTable(Document, Data, *Allocation);
    if (Allocation && AllocMap)
        BuildAllocationMapPage(Document, Data, *Allocation);
    Document.ViewEnd();
}
