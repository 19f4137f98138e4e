#include "MetafileEx.h"

#include "platform/Failure.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <cmath>

TMetafileEx::TMetafileEx(int Width, int Height) : FWidth(Width), FHeight(Height) {
    setBoundingRect(QRect(0, 0, Width, Height));
}

TMetafileEx TMetafileEx::FromData(const QByteArray& Data) {
    if (Data.startsWith("QPIC")) {
        TMetafileEx meta;
        meta.setData(Data.constData(), static_cast<uint>(Data.size()));
        if (meta.isNull())
            throw EFailure("イメージの形式が正しくありません。");
        const QRect frame = meta.boundingRect();
        meta.FWidth = frame.width();
        meta.FHeight = frame.height();
        return meta;
    }
    QSvgRenderer svg(Data);
    if (!svg.isValid())
        throw EFailure("イメージの形式が正しくありません。");
    const QRectF box = svg.viewBoxF();
    TMetafileEx meta(static_cast<int>(std::lround(box.width())),
                     static_cast<int>(std::lround(box.height())));
    QPainter painter(&meta);
    svg.render(&painter, QRectF(0, 0, meta.FWidth, meta.FHeight));
    return meta;
}

void TMetafileEx::AddTextRun(const QPointF& Origin, const QString& Text, const QFont& Font,
                             const QColor& Colour, bool Clipped, const QRectF& Clip) {
    // Reports use a handful of fonts, most recently the last one.
    size_t font = FFonts.size();
    for (size_t i = FFonts.size(); i-- > 0;) {
        if (FFonts[i] == Font) {
            font = i;
            break;
        }
    }
    if (font == FFonts.size())
        FFonts.push_back(Font);
    FRuns.push_back({Origin, Text, static_cast<uint16_t>(font), Clipped, Colour.rgba(), Clip});
}

void TMetafileEx::Draw(QPainter& Painter, const QRectF& Rect) const {
    if (FWidth <= 0 || FHeight <= 0)
        return;
    Painter.save();
    Painter.setClipping(false);
    Painter.translate(Rect.topLeft());
    Painter.scale(Rect.width() / FWidth, Rect.height() / FHeight);
    if (!isNull()) {
        Painter.save();
        // Playback scales by the target's resolution over the picture's own; the frame already
        // maps to Rect, so that scaling is undone.
        if (const QPaintDevice* device = Painter.device();
            device && device->logicalDpiX() > 0 && device->logicalDpiY() > 0)
            Painter.scale(double(logicalDpiX()) / device->logicalDpiX(),
                          double(logicalDpiY()) / device->logicalDpiY());
        Painter.drawPicture(QPointF(0, 0), *this);
        Painter.restore();
    }
    int font = -1;
    QRgb colour = 0;
    // Bold here is the font engine's own emboldening (the Japanese fonts have no bold face).
    // Drawn as glyphs under a scaling transform, the raster engine thickens them by the
    // unscaled amount, so a page shown at a third of its size gets bold text about twice as
    // heavy as the printer and the PDF show it. As outlines the thickening scales with the text.
    const QPaintEngine* engine = Painter.paintEngine();
    const QTransform& m = Painter.worldTransform();
    const bool boldAsOutline = engine && engine->type() == QPaintEngine::Raster &&
                               (std::fabs(m.m11()) != 1.0 || std::fabs(m.m22()) != 1.0);
    for (const TTextRun& run : FRuns) {
        if (boldAsOutline && FFonts[run.Font].bold()) {
            QPainterPath path;
            path.addText(run.Origin, FFonts[run.Font], run.Text);
            Painter.save();
            if (run.Clipped)
                Painter.setClipRect(run.Clip, Qt::IntersectClip);
            Painter.setRenderHint(QPainter::Antialiasing,
                                  Painter.testRenderHint(QPainter::TextAntialiasing));
            Painter.fillPath(path, QColor::fromRgba(run.Colour));
            Painter.restore();
            continue;
        }
        if (run.Font != font) {
            font = run.Font;
            Painter.setFont(FFonts[font]);
        }
        if (run.Colour != colour || Painter.pen().style() != Qt::SolidLine) {
            colour = run.Colour;
            Painter.setPen(QColor::fromRgba(colour));
        }
        if (run.Clipped) {
            Painter.save();
            Painter.setClipRect(run.Clip);
            Painter.drawText(run.Origin, run.Text);
            Painter.restore();
        } else {
            Painter.drawText(run.Origin, run.Text);
        }
    }
    Painter.restore();
}
