#include "NlvTools.h"

#include "preview/MetafileEx.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

QFont PageFont(const QString& Face, int Height, int StyleBits) {
    QFont font(Face);
    font.setPixelSize(std::max(1, std::abs(Height)));
    // Hinted glyph advances depend on the pixel size they are rasterised at; unhinted ones
    // scale with the page, so text keeps its width wherever the page is replayed.
    font.setHintingPreference(QFont::PreferNoHinting);
    SetFontStyleBits(font, StyleBits);
    return font;
}

int FontStyleBits(const QFont& Font) {
    return (Font.bold() ? fsBold : 0) | (Font.italic() ? fsItalic : 0) |
           (Font.underline() ? fsUnderline : 0) | (Font.strikeOut() ? fsStrikeOut : 0);
}

void SetFontStyleBits(QFont& Font, int Bits) {
    Font.setBold((Bits & fsBold) != 0);
    Font.setItalic((Bits & fsItalic) != 0);
    Font.setUnderline((Bits & fsUnderline) != 0);
    Font.setStrikeOut((Bits & fsStrikeOut) != 0);
}

int PageFontHeight(const QFont& Font) {
    return Font.pixelSize() > 0 ? -Font.pixelSize() : -30;
}

void TextOutTopLeft(QPainter& Canvas, double X, double Y, const QString& Text) {
    const QFontMetricsF fm(Canvas.font());
    const QPointF origin(X, Y + fm.ascent());
    // Bold text on a page recording becomes a placed run, which the preview draws at the weight
    // the printer shows (TMetafileEx::Draw).
    auto* meta = dynamic_cast<TMetafileEx*>(Canvas.device());
    const QTransform& m = Canvas.worldTransform();
    if (meta && Canvas.font().bold() && !Canvas.hasClipping() &&
        m.type() <= QTransform::TxTranslate && Canvas.pen().style() != Qt::NoPen) {
        meta->AddTextRun(m.map(origin), Text, Canvas.font(), Canvas.pen().color());
        return;
    }
    Canvas.drawText(origin, Text);
}

TTextStyle::TTextStyle() : Font(PageFont(QStringLiteral("ＭＳ 明朝"), -30)) {}
