#include "results/PrintOutUnitReports.h"

#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "preview/PREVIEWUNIT02.h"
#include "results/PrintOutUnitTable.h"

#include <QFontMetricsF>
#include <QPainter>

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

const QString& Mincho() {
    static const QString face = QStringLiteral("ＭＳ 明朝");
    return face;
}
const QString& Gothic() {
    static const QString face = QStringLiteral("ＭＳ ゴシック");
    return face;
}

// -30 shrunk so that Sample fits Width, as the narrow columns need.
int FittingHeight(const QString& Sample, int Width) {
    const double drawn = QFontMetricsF(PageFont(Mincho(), -30)).horizontalAdvance(Sample);
    if (drawn > Width)
        return static_cast<int>(std::nearbyint(-30.0 * Width / drawn));
    return -30;
}

} // namespace

void BuildSummarySheet(TPreViewForm& Preview, const TInputData& Data) {
    QPainter& C = *Preview.ViewCanvas();
    const int L = Data.Layer();
    const bool T = Data.Hyoudo();
    const int n = L + (T ? 5 : 4);

    BeginTable((Preview.PaperWidth() - 1600) / 2, 250);
    for (int x : {0, 700, 1000, 1200, 1600})
        AddTableColumn(x);
    for (int r = 0; r <= n; ++r)
        AddTableRow(80 * r);

    SetFont(C, Mincho(), -60);
    TextOutTopLeft(C, 180, 100, QString::fromStdString(Data.Title()));
    SetFont(C, Mincho(), -50);

    for (int c = 1; c <= 3; ++c)
        TableLine(C, c, 0, c, n, kThin, Qt::SolidLine, kRule);
    for (int r = 1; r <= n - 1; ++r)
        TableLine(C, 0, r, 4, r, kThin, Qt::SolidLine, kRule);
    TableLine(C, 0, 0, 0, n, kBorder, Qt::SolidLine, kRule);
    TableLine(C, 4, 0, 4, n, kBorder, Qt::SolidLine, kRule);
    TableLine(C, 0, 0, 4, 0, kBorder, Qt::SolidLine, kRule);
    TableLine(C, 0, n, 4, n, kBorder, Qt::SolidLine, kRule);

    const TCalcTotals sum = Data.GetCalcTotals();
    TableCellText(C, 0, 1, QStringLiteral(" 盛　土　量"), 0);
    TableCellText(C, 0, 2, QStringLiteral(" 切　土　量"), 0);
    for (int i = 1; i <= L; ++i)
        TableCellText(C, 0, 2 + i,
                      QStringLiteral("　（") + QString::fromStdString(Data.GetSolidName(i)) +
                          QStringLiteral("）"),
                      0);
    TableCellText(
        C, 0, L + 3,
        sum.BV[1] < sum.CV[1][0] ? QStringLiteral(" 残土量") : QStringLiteral(" 不足土量"), 0);
    if (T)
        TableCellText(C, 0, L + 4, QStringLiteral(" 表　土　量"), 0);
    TableCellText(C, 1, 0, QStringLiteral("土　　量"), 1);
    TableCellText(C, 2, 0, QStringLiteral("変化率"), 1);
    TableCellText(C, 3, 0, QStringLiteral("補正土量"), 1);

    const QString space = QStringLiteral(" ");
    for (int k = 0; k <= 1; ++k) {
        const int column = k == 0 ? 1 : 3;
        TableCellText(C, column, 1, Volume(sum.BV[k]) + space, 2);
        for (int i = 0; i <= L; ++i)
            TableCellText(C, column, 2 + i, Volume(sum.CV[k][i]) + space, 2);
    }
    SetFont(C, Gothic(), -50, true);
    const int64_t balance = std::llabs(sum.CV[1][0] - sum.BV[1]);
    TableCellText(C, 3, L + 3, Volume(balance) + space, 2);
    SetFont(C, Mincho(), -50);
    if (T)
        TableCellText(C, 3, L + 4, Volume(sum.HV) + space, 2);
    auto rate = [&](double V) { return QString::fromStdString(FormatFixed(V, 3)) + space; };
    if (Data.RateType() == 1) {
        TableCellText(C, 2, 1, rate(Data.GetSolidValue(0, 0)), 2);
    } else {
        for (int i = 1; i <= L; ++i)
            TableCellText(C, 2, 2 + i, rate(Data.GetSolidValue(i, 0)), 2);
    }
    EndTable();
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

void BuildCalcList(TPreViewForm& Preview, const TInputData& Data) {
    const int L = Data.Layer();
    const bool T = Data.Hyoudo();
    // Plain names, not a structured binding: the page routines below capture them.
    const TCalcListColumns columns = CalcListColumns(Preview.PaperWidth(), L, T);
    const int K = columns.K, a = columns.a, w = columns.w;
    BeginTable(200, 160);
    for (int x : {0, a, 2 * a, 3 * a})
        AddTableColumn(x);
    for (int j = 1; j <= K - 3; ++j)
        AddTableColumn(3 * a + j * w);
    const int R = (Preview.PaperHeight() - 350) / 60;
    for (int r = 0; r <= R; ++r)
        AddTableRow(60 * r);

    const QString title = QString::fromStdString(Data.Title());
    const int dataHeight = FittingHeight(QStringLiteral("99,990"), w - 20);
    QFont dataFont = PageFont(Mincho(), dataHeight);
    QFont dataBold = PageFont(Gothic(), dataHeight, fsBold);
    const QString space = QStringLiteral(" ");

    auto heading = [&](QPainter& C) {
        SetFont(C, Mincho(), -35);
        TextOutTopLeft(C, 180, 100, title);
        SetFont(C, Mincho(), -30);
        TableText(C, 0, 0, 1, 2, QStringLiteral("メッシュ\r\n番号"), 11);
        TableText(C, 1, 0, 2, 2, QStringLiteral("Ｘ"), 1);
        TableText(C, 2, 0, 3, 2, QStringLiteral("Ｙ"), 1);
        if (T) {
            TableLine(C, 3, 0, 3, 2, kThin, Qt::SolidLine, kRule);
            TableText(C, 3, 0, 4, 2, QStringLiteral("表土"), 1);
        }
        int c = T ? 4 : 3;
        for (int group = 0; group < 2; ++group) {
            const int s = c;
            SetFont(C, Gothic(), -30, true);
            TableCellText(C, c, 1, QStringLiteral("盛土"), 1);
            ++c;
            TableLine(C, c, 1, c, 2, kThin, Qt::SolidLine, kRule);
            TableCellText(C, c, 1, QStringLiteral("切土"), 1);
            ++c;
            SetFont(C, Mincho(), -30);
            if (L > 1) {
                for (int i = 1; i <= L; ++i) {
                    const QString name = QString::fromStdString(Data.GetSolidName(i));
                    SetFont(C, Mincho(), FittingHeight(name, w - 20));
                    TableCellText(C, c, 1, name, 1);
                    TableLine(C, c, 1, c, 2, kThin, Qt::SolidLine, kRule);
                    ++c;
                }
            }
            SetFont(C, Mincho(), -30);
            TableText(C, s, 0, c, 1,
                      group == 0 ? QStringLiteral("土　　量") : QStringLiteral("補　正　土　量"),
                      1);
            TableLine(C, s, 1, c, 1, kThin, Qt::SolidLine, kRule);
            TableLine(C, s, 0, s, 2, kThin, Qt::SolidLine, kRule);
            TableLine(C, s, 0, s, R, kMedium, Qt::SolidLine, kRule);
        }
        TableLine(C, 1, 0, 1, 2, kThin, Qt::SolidLine, kRule);
        TableLine(C, 2, 0, 2, 2, kThin, Qt::SolidLine, kRule);
        for (int col = 1; col <= K - 1; ++col)
            TableLine(C, col, 2, col, R, kThin, Qt::SolidLine, kRule);
        for (int r = 2; r <= R - 1; ++r)
            TableLine(C, 0, r, K, r, kThin, Qt::SolidLine, kRule);
        TableLine(C, 0, 0, 0, R, kBorder, Qt::SolidLine, kRule);
        TableLine(C, K, 0, K, R, kBorder, Qt::SolidLine, kRule);
        TableLine(C, 0, 0, K, 0, kBorder, Qt::SolidLine, kRule);
        TableLine(C, 0, R, K, R, kBorder, Qt::SolidLine, kRule);
    };

    int p = 0;
    for (const TGridCalcData& mesh : Data.CalcList()) {
        if (p == 0) {
            Preview.NewPage();
            heading(*Preview.ViewCanvas());
            p = 2;
        }
        QPainter& C = *Preview.ViewCanvas();
        C.setFont(dataFont);
        TableCellText(C, 0, p, QString::number(mesh.Num) + space, 2);
        // Labelled as the detail list labels them: a method number of a foreign file that
        // calculates by points also prints as points.
        if (!DetailIsFourPoint(Data)) {
            TableCellText(C, 1, p, QString::number(mesh.X) + space, 2);
            TableCellText(C, 2, p, QString::number(mesh.Y) + space, 2);
        } else {
            auto pair = [](int32_t V) {
                return QStringLiteral("%1,%2").arg(V).arg(int64_t(V) + 1);
            };
            TableCellText(C, 1, p, pair(mesh.X), 1);
            TableCellText(C, 2, p, pair(mesh.Y), 1);
        }
        int c = 3;
        if (T)
            TableCellText(C, c++, p, Volume(mesh.HV), 2);
        for (int k = 0; k < 2; ++k) {
            C.setFont(dataBold);
            TableCellText(C, c++, p, Volume(mesh.BV[k]), 2);
            TableCellText(C, c++, p, Volume(mesh.CV[k][0]), 2);
            C.setFont(dataFont);
            if (L > 1)
                for (int i = 1; i <= L; ++i)
                    TableCellText(C, c++, p, Volume(mesh.CV[k][i]), 2);
        }
        if (++p >= R)
            p = 0;
    }
    EndTable();
}

void BuildReports(TPreViewForm& Preview, const TInputData& Data, bool Summary, bool CalcList) {
    Preview.AllPageClear();
    if (Summary) {
        Preview.NewPage();
        BuildSummarySheet(Preview, Data);
    }
    if (CalcList)
        BuildCalcList(Preview, Data);
    Preview.ViewEnd();
}
