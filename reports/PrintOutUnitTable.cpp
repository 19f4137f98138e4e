#include "reports/PrintOutUnitTable.h"

#include "preview/MetafileEx.h"
#include "preview/NlvTools.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The windows' rule for a number wider than its place, on paper: the same font made just small
// enough, down to 40 % of its size; text too long even then is marked "###", never cut.
QFont FitToWidth(const QFont& Font, const QString& Text, qreal Width, QString& Shown) {
    Shown = Text;
    const bool pixels = Font.pixelSize() > 0;
    const qreal size = pixels ? Font.pixelSize() : Font.pointSizeF();
    const qreal smallest = std::max<qreal>(1.0, size * 0.4);
    QFont f = Font;
    qreal now = size;
    qreal wide = QFontMetricsF(f).horizontalAdvance(Text);
    while (wide > Width) {
        qreal next = now * Width / wide;
        next = pixels ? std::min(std::floor(next), now - 1) : std::min(next, now * 0.98);
        if (next < smallest) {
            Shown = QStringLiteral("###");
            return Font;
        }
        now = next;
        if (pixels)
            f.setPixelSize(static_cast<int>(now));
        else
            f.setPointSizeF(now);
        wide = QFontMetricsF(f).horizontalAdvance(Text);
    }
    return f;
}

} // namespace

// Measures of one font. Reports draw hundreds of thousands of numbers in a few fonts; their
// widths are summed from the characters' advances where that is exact (no kerning among
// digits and separators), which is far cheaper than a layout per number.
struct TReportTable::TFontMeasure {
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

namespace {

Qt::Alignment HorizontalOf(int Units) {
    return Units == 0 ? Qt::AlignLeft : Units == 1 ? Qt::AlignHCenter : Qt::AlignRight;
}

} // namespace

TReportTable::TReportTable(double OriginX, double OriginY) : FOriginX(OriginX), FOriginY(OriginY) {}

TReportTable::~TReportTable() = default;

const TReportTable::TFontMeasure& TReportTable::MeasureOf(const QFont& Font) {
    if (FLast && FLast->Font == Font)
        return *FLast;
    for (auto& m : FMeasures) {
        if (m->Font == Font) {
            FLast = m.get();
            return *m;
        }
    }
    FMeasures.push_back(std::make_unique<TFontMeasure>(Font));
    FLast = FMeasures.back().get();
    return *FLast;
}

void TReportTable::AddColumn(double X) {
    FColumns.push_back(X);
}

void TReportTable::AddRow(double Y) {
    FRows.push_back(Y);
}

int TReportTable::ColumnX(int Column) const {
    if (Column < 0 || Column >= static_cast<int>(FColumns.size()))
        return static_cast<int>(std::nearbyint(FOriginX));
    return static_cast<int>(std::nearbyint(FColumns[Column] + FOriginX));
}

int TReportTable::RowY(int Row) const {
    if (Row < 0 || Row >= static_cast<int>(FRows.size()))
        return static_cast<int>(std::nearbyint(FOriginY));
    return static_cast<int>(std::nearbyint(FRows[Row] + FOriginY));
}

void TReportTable::Text(QPainter& Canvas, int FirstColumn, int FirstRow, int EndColumn, int EndRow,
                        const QString& Text, TCellAlign Align) {
    if (Text.isEmpty())
        return;
    const QRectF rect(QPointF(ColumnX(FirstColumn) + 10, RowY(FirstRow)),
                      QPointF(ColumnX(EndColumn) - 10, RowY(EndRow)));
    const int units = static_cast<int>(Align) % 10;
    const int tens = (static_cast<int>(Align) / 10) % 10;
    const TFontMeasure* measure = &MeasureOf(Canvas.font());
    if (tens == 0) {
        // One line: placed by hand (much cheaper than a layout per cell). Text wider than its
        // cell is set in a smaller font that fits: a number never loses digits on paper.
        QString text = Text;
        double width = measure->Width(text);
        const bool fitted = width > rect.width();
        if (fitted) {
            const QFont font = FitToWidth(Canvas.font(), Text, rect.width(), text);
            measure = &MeasureOf(font);
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

void TReportTable::CellText(QPainter& Canvas, int Column, int Row, const QString& Text,
                            TCellAlign Align) {
    this->Text(Canvas, Column, Row, Column + 1, Row + 1, Text, Align);
}

void TReportTable::Line(QPainter& Canvas, int Column1, int Row1, int Column2, int Row2,
                        int PenWidth, Qt::PenStyle Style, const QColor& Colour) {
    QPen pen(Colour, PenWidth, Style);
    pen.setCapStyle(Qt::SquareCap);
    Canvas.setPen(pen);
    Canvas.drawLine(QPointF(ColumnX(Column1), RowY(Row1)), QPointF(ColumnX(Column2), RowY(Row2)));
    Canvas.setPen(Qt::black);
}

void ReportName(QPainter& Canvas, double Right, double Top, const QString& Name,
                const QString& Unit) {
    const QString text = Unit.isEmpty() ? Name : Name + QStringLiteral("　単位：") + Unit;
    const double width = QFontMetricsF(Canvas.font()).horizontalAdvance(text);
    TextOutTopLeft(Canvas, Right - width, Top, text);
}
