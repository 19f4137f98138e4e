#include "MetafileEx.h"

#include "platform/Failure.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The glyphs and advances of a font's figures, as drawing a text lays them out: where that
// layout is a plain sum of the characters' advances (no kerning, a glyph a character).
struct TFigureGlyphs {
    explicit TFigureGlyphs(const QFont& Font) : Raw(QRawFont::fromFont(Font)) {
        if (!Raw.isValid())
            return;
        const QString probe = QStringLiteral(" 0123456789,.-+");
        const QList<quint32> glyphs = Raw.glyphIndexesForString(probe);
        const QList<QPointF> advances = Raw.advancesForGlyphIndexes(glyphs);
        if (glyphs.size() != probe.size() || advances.size() != probe.size())
            return;
        for (qsizetype i = 0; i < probe.size(); ++i) {
            if (glyphs[i] == 0)
                return;
            Glyph[probe[i].unicode()] = glyphs[i];
            Advance[probe[i].unicode()] = advances[i].x();
        }
        const QString check = QStringLiteral("-1,234,567.890 +98 ");
        double summed = 0;
        for (QChar c : check)
            summed += Advance[c.unicode()];
        Usable = std::abs(summed - QFontMetricsF(Font).horizontalAdvance(check)) < 1e-6;
    }
    bool Covers(const QString& Text) const {
        for (QChar c : Text)
            if (c.unicode() >= 128 || Glyph[c.unicode()] == 0)
                return false;
        return Usable && !Text.isEmpty();
    }
    QRawFont Raw;
    bool Usable = false;
    quint32 Glyph[128] = {};
    double Advance[128] = {};
};

// A coordinate on the 1/64 grid the text layout places glyphs on, cut as the layout cuts it.
double OnLayoutGrid(double V) {
    return std::trunc(V * 64) / 64;
}

} // namespace

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
    // On a PDF (a file or a printer) the figures of a font and colour go as one run of glyphs:
    // a text item each costs the writer a graphics state, a font selection and a layout, and a
    // list's page holds some 700 of them. The glyphs land where their texts would place them.
    const bool figuresAsGlyphs = engine && engine->type() == QPaintEngine::Pdf;
    std::vector<std::unique_ptr<TFigureGlyphs>> figures(figuresAsGlyphs ? FFonts.size() : 0);
    struct TGlyphBatch {
        uint16_t Font;
        QRgb Colour;
        QList<quint32> Glyphs;
        QList<QPointF> Positions;
    };
    std::vector<TGlyphBatch> batches;
    for (const TTextRun& run : FRuns) {
        if (figuresAsGlyphs && !run.Clipped) {
            std::unique_ptr<TFigureGlyphs>& table = figures[run.Font];
            if (!table)
                table = std::make_unique<TFigureGlyphs>(FFonts[run.Font]);
            if (table->Covers(run.Text)) {
                auto batch =
                    std::find_if(batches.begin(), batches.end(), [&](const TGlyphBatch& b) {
                        return b.Font == run.Font && b.Colour == run.Colour;
                    });
                if (batch == batches.end())
                    batch = batches.insert(batches.end(), {run.Font, run.Colour, {}, {}});
                double x = OnLayoutGrid(run.Origin.x());
                const double y = OnLayoutGrid(run.Origin.y());
                for (QChar c : run.Text) {
                    batch->Glyphs.push_back(table->Glyph[c.unicode()]);
                    batch->Positions.push_back(QPointF(x, y));
                    x += table->Advance[c.unicode()];
                }
                continue;
            }
        }
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
    for (const TGlyphBatch& batch : batches) {
        QGlyphRun glyphs;
        glyphs.setRawFont(figures[batch.Font]->Raw);
        glyphs.setGlyphIndexes(batch.Glyphs);
        glyphs.setPositions(batch.Positions);
        Painter.setPen(QColor::fromRgba(batch.Colour));
        Painter.drawGlyphRun(QPointF(0, 0), glyphs);
    }
    Painter.restore();
}
