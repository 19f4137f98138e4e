#include "FittedText.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal SmallestShare = 0.4;

qreal Advance(const QFont& Font, const QString& Text, const QPaintDevice* Device) {
    return (Device ? QFontMetricsF(Font, Device) : QFontMetricsF(Font)).horizontalAdvance(Text);
}

} // namespace

TFittedText FitText(const QFont& Font, const QString& Text, qreal Width,
                    const QPaintDevice* Device) {
    qreal wide = Advance(Font, Text, Device);
    if (Text.isEmpty() || wide <= Width)
        return {Font, Text};
    const bool pixels = Font.pixelSize() > 0;
    const qreal size = pixels ? Font.pixelSize() : Font.pointSizeF();
    const qreal smallest = std::max<qreal>(1.0, size * SmallestShare);
    QFont f = Font;
    qreal now = size;
    // Advances grow nearly in proportion to the size; hinting may want a step or two more.
    while (wide > Width) {
        qreal next = now * Width / wide;
        next = pixels ? std::min(std::floor(next), now - 1) : std::min(next, now * 0.98);
        if (next < smallest)
            return {Font, QStringLiteral("###")};
        now = next;
        if (pixels)
            f.setPixelSize(static_cast<int>(now));
        else
            f.setPointSizeF(now);
        wide = Advance(f, Text, Device);
    }
    return {f, Text};
}

void DrawFittedText(QPainter& Painter, const QRectF& Rect, int Flags, const QString& Text) {
    const TFittedText fit = FitText(Painter.font(), Text, Rect.width(), Painter.device());
    if (fit.Font == Painter.font()) {
        Painter.drawText(Rect, Flags | Qt::TextSingleLine, fit.Text);
        return;
    }
    const QFont before = Painter.font();
    Painter.setFont(fit.Font);
    Painter.drawText(Rect, Flags | Qt::TextSingleLine, fit.Text);
    Painter.setFont(before);
}

void TFittedTextDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                                const QModelIndex& Index) const {
    QStyleOptionViewItem opt = Option;
    initStyleOption(&opt, Index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, Painter, widget);
    const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    Painter->save();
    Painter->setFont(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    Painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    DrawFittedText(*Painter, QRectF(r.adjusted(margin, 0, -margin, 0)), int(opt.displayAlignment),
                   text);
    Painter->restore();
}
