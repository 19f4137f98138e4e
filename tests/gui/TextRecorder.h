#pragma once
// A paint device that keeps every piece of text drawn on it, with its place, its advance and
// the clip it was drawn under, so a test can tell whether any text was cut by its clip or
// shortened on the way (an elided "1000…").

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QTextItem>

#include <vector>

struct TDrawnText {
    QString Text;
    QRectF Box;  // where the text's advance lies, in the painter's coordinates
    QRectF Clip; // the clip's bounds, or an empty rectangle without one
    bool Cut() const {
        return !Clip.isEmpty() &&
               (Box.left() < Clip.left() - 0.5 || Box.right() > Clip.right() + 0.5);
    }
};

class TTextRecorder : public QPaintDevice {
public:
    explicit TTextRecorder(QSize Size) : FSize(Size), FEngine(this) {}
    QPaintEngine* paintEngine() const override { return &FEngine; }
    std::vector<TDrawnText> Texts;

protected:
    int metric(PaintDeviceMetric Metric) const override {
        switch (Metric) {
        case PdmWidth:
            return FSize.width();
        case PdmHeight:
            return FSize.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    class TEngine : public QPaintEngine {
    public:
        explicit TEngine(TTextRecorder* Owner) : QPaintEngine(AllFeatures), FOwner(Owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawTextItem(const QPointF& At, const QTextItem& Item) override {
            QPainter* p = painter();
            const QTransform t = p->combinedTransform();
            TDrawnText d;
            d.Text = Item.text();
            d.Box = t.mapRect(QRectF(At.x(), At.y() - Item.ascent(), Item.width(),
                                     Item.ascent() + Item.descent()));
            if (p->hasClipping())
                d.Clip = t.mapRect(p->clipBoundingRect());
            FOwner->Texts.push_back(d);
        }
        Type type() const override { return User; }

    private:
        TTextRecorder* FOwner;
    };

    QSize FSize;
    mutable TEngine FEngine;
};
