#include "results/PrintOutUnitTable.h"

#include "controls/FittedText.h"
#include "preview/MetafileEx.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// Measures of one font. Reports draw hundreds of thousands of numbers in a few fonts; their
// widths are summed from the characters' advances where that is exact (no kerning among
// digits and separators), which is far cheaper than a layout per number.
struct TFontMeasure {
    explicit TFontMeasure(const QFont& F) : Font(F), Metrics(F) {
        const QString probe = QStringLiteral(" 0123456789,.-+");
        for (QChar c : probe)
            Advance[c.unicode()] = Metrics.horizontalAdvance(c);
        const QString check = QStringLiteral("-1,234,567.890 +98 ");
        Summable = std::abs(Summed(check) - Metrics.horizontalAdvance(check)) < 1e-6;
    }
    double Summed(const QString& Text) const {
        double w = 0;
        for (QChar c : Text)
            w += Advance[c.unicode()];
        return w;
    }
    double Width(const QString& Text) const {
        if (Summable) {
            bool numeric = true;
            for (QChar c : Text) {
                const char16_t u = c.unicode();
                if (u >= 128 || Advance[u] <= 0) {
                    numeric = false;
                    break;
                }
            }
            if (numeric)
                return Summed(Text);
        }
        return Metrics.horizontalAdvance(Text);
    }
    QFont Font;
    QFontMetricsF Metrics;
    double Advance[128] = {};
    bool Summable = false;
};

struct TTableState {
    std::vector<double> Columns;
    std::vector<double> Rows;
    double OriginX = 0, OriginY = 0;
    std::vector<std::unique_ptr<TFontMeasure>> Measures;
    TFontMeasure* Last = nullptr;
};
TTableState gTable;

const TFontMeasure& MeasureOf(const QFont& Font) {
    if (gTable.Last && gTable.Last->Font == Font)
        return *gTable.Last;
    for (auto& m : gTable.Measures) {
        if (m->Font == Font) {
            gTable.Last = m.get();
            return *m;
        }
    }
    gTable.Measures.push_back(std::make_unique<TFontMeasure>(Font));
    gTable.Last = gTable.Measures.back().get();
    return *gTable.Last;
}

Qt::Alignment HorizontalOf(int Units) {
    return Units == 0 ? Qt::AlignLeft : Units == 1 ? Qt::AlignHCenter : Qt::AlignRight;
}

} // namespace

void BeginTable(double OriginX, double OriginY) {
    gTable = TTableState();
    gTable.OriginX = OriginX;
    gTable.OriginY = OriginY;
}

void AddTableColumn(double X) {
    gTable.Columns.push_back(X);
}

void AddTableRow(double Y) {
    gTable.Rows.push_back(Y);
}

void EndTable() {
    gTable = TTableState();
}

int TableColumnX(int Column) {
    if (Column < 0 || Column >= static_cast<int>(gTable.Columns.size()))
        return static_cast<int>(std::nearbyint(gTable.OriginX));
    return static_cast<int>(std::nearbyint(gTable.Columns[Column] + gTable.OriginX));
}

int TableRowY(int Row) {
    if (Row < 0 || Row >= static_cast<int>(gTable.Rows.size()))
        return static_cast<int>(std::nearbyint(gTable.OriginY));
    return static_cast<int>(std::nearbyint(gTable.Rows[Row] + gTable.OriginY));
}

void TableText(QPainter& Canvas, int FirstColumn, int FirstRow, int EndColumn, int EndRow,
               const QString& Text, int Align) {
    if (Text.isEmpty())
        return;
    const QRectF rect(QPointF(TableColumnX(FirstColumn) + 10, TableRowY(FirstRow)),
                      QPointF(TableColumnX(EndColumn) - 10, TableRowY(EndRow)));
    const int units = Align % 10;
    const int tens = (Align / 10) % 10;
    const TFontMeasure* measure = &MeasureOf(Canvas.font());
    if (tens == 0) {
        // One line: placed by hand (much cheaper than a layout per cell). Text wider than its
        // cell is set in a smaller font that fits: a number never loses digits on paper.
        QString text = Text;
        double width = measure->Width(text);
        const bool fitted = width > rect.width();
        if (fitted) {
            const TFittedText fit = FitText(Canvas.font(), Text, rect.width());
            measure = &MeasureOf(fit.Font);
            text = fit.Text;
            width = measure->Width(text);
        }
        const QFontMetricsF& fm = measure->Metrics;
        const double x = units == 0   ? rect.left()
                         : units == 1 ? rect.left() + (rect.width() - width) / 2
                                      : rect.right() - width;
        const double baseline = rect.top() + (rect.height() - fm.height()) / 2 + fm.ascent();
        const bool clip = width > rect.width();
        // On a page recording the text goes straight into the page as a placed run.
        auto* meta = dynamic_cast<TMetafileEx*>(Canvas.device());
        if (meta && !Canvas.hasClipping() && Canvas.transform().isIdentity() &&
            Canvas.pen().style() != Qt::NoPen) {
            meta->AddTextRun(QPointF(x, baseline), text, measure->Font, Canvas.pen().color(), clip,
                             rect);
            return;
        }
        if (fitted || clip) {
            Canvas.save();
            Canvas.setFont(measure->Font);
            if (clip)
                Canvas.setClipRect(rect, Qt::IntersectClip);
        }
        Canvas.drawText(QPointF(x, baseline), text);
        if (fitted || clip)
            Canvas.restore();
        return;
    }
    const QFontMetricsF& fm = measure->Metrics;
    QString text = Text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const int flags = Qt::TextWordWrap | HorizontalOf(units);
    const QRectF block = fm.boundingRect(QRectF(0, 0, rect.width(), 1e6), flags, text);
    double dx = 0;
    if (tens == 1)
        dx = std::trunc((rect.width() - block.width()) / 2);
    const double dy = std::trunc((rect.height() - block.height()) / 2);
    const QRectF target(rect.left() + (tens == 1 ? dx : 0), rect.top() + dy,
                        tens == 1 ? block.width() : rect.width(), block.height());
    Canvas.save();
    Canvas.setClipRect(rect, Qt::IntersectClip);
    Canvas.drawText(target, flags, text);
    Canvas.restore();
}

void TableCellText(QPainter& Canvas, int Column, int Row, const QString& Text, int Align) {
    TableText(Canvas, Column, Row, Column + 1, Row + 1, Text, Align);
}

void TableLine(QPainter& Canvas, int Column1, int Row1, int Column2, int Row2, int PenWidth,
               Qt::PenStyle Style, const QColor& Colour) {
    QPen pen(Colour, PenWidth, Style);
    pen.setCapStyle(Qt::SquareCap);
    Canvas.setPen(pen);
    Canvas.drawLine(QPointF(TableColumnX(Column1), TableRowY(Row1)),
                    QPointF(TableColumnX(Column2), TableRowY(Row2)));
    Canvas.setPen(Qt::black);
}
