#pragma once
// Helpers for the preview and report tests: the shared preview on a known paper, and the
// texts and lines a page recording holds, read back by replaying it into a recording device.

#include "preview/PREVIEWUNIT02.h"
#include "preview/PREVIEWUNIT02Sumnail.h"
#include "preview/PreviewPrinter.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>

#include <vector>

struct TGrabbedText {
    QString Text;
    QPointF Origin; // baseline start, page units
    QFont Font;
    double Right() const { return Origin.x() + QFontMetricsF(Font).horizontalAdvance(Text); }
};

struct TGrabbedLine {
    QLineF Line;
    double Width;
};

class TGrabEngine : public QPaintEngine {
public:
    TGrabEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& State) override {
        if (State.state() & DirtyTransform)
            FTransform = State.transform();
        if (State.state() & DirtyPen)
            FPenWidth = State.pen().widthF();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawTextItem(const QPointF& P, const QTextItem& Item) override {
        Texts.push_back({Item.text(), FTransform.map(P), Item.font()});
    }
    void drawLines(const QLineF* Drawn, int Count) override {
        for (int i = 0; i < Count; ++i)
            Lines.push_back({FTransform.map(Drawn[i]), FPenWidth});
    }
    Type type() const override { return User; }

    std::vector<TGrabbedText> Texts;
    std::vector<TGrabbedLine> Lines;

private:
    QTransform FTransform;
    double FPenWidth = 0;
};

class TGrabDevice : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &Engine; }
    mutable TGrabEngine Engine;

protected:
    int metric(PaintDeviceMetric Metric) const override {
        switch (Metric) {
        case PdmWidth:
        case PdmHeight:
            return 100000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return QPaintDevice::metric(Metric);
        }
    }
};

struct TGrabbedPage {
    std::vector<TGrabbedText> Texts;
    std::vector<TGrabbedLine> Lines;
    bool Has(const QString& Text) const {
        for (const TGrabbedText& t : Texts)
            if (t.Text == Text)
                return true;
        return false;
    }
    const TGrabbedText* Find(const QString& Text) const {
        for (const TGrabbedText& t : Texts)
            if (t.Text == Text)
                return &t;
        return nullptr;
    }
};

// Everything page Index (0-based) shows, content, header and footer, in page units.
inline TGrabbedPage GrabPage(const TPreViewForm& Preview, int Index) {
    TGrabDevice device;
    {
        QPainter painter(&device);
        const TPreviewPage& page = Preview.Page(Index);
        page.Draw(painter, QRectF(0, 0, page.Meta.Width(), page.Meta.Height()));
    }
    return {device.Engine.Texts, device.Engine.Lines};
}

inline std::vector<QString> TextsOf(const TGrabbedPage& Page) {
    std::vector<QString> texts;
    for (const TGrabbedText& t : Page.Texts)
        texts.push_back(t.Text);
    return texts;
}

// The shared preview on the built-in printer with the given paper, margins and no header.
inline TPreViewForm& PreparedPreview(const std::array<int, 6>& Margins = {100, 100, 100, 100, 0, 0},
                                     QPageSize::PageSizeId Paper = QPageSize::A4,
                                     bool Landscape = false) {
    TPreviewPrinter& printer = TPreviewPrinter::Current();
    printer.UseBuiltIn();
    printer.SetPageSize(QPageSize(Paper));
    printer.SetLandscape(Landscape);
    TPreViewForm& preview = SharedPreviewForm();
    preview.SetOnPaperChange(nullptr);
    preview.AllPageClear();
    preview.SetMarzins(Margins);
    preview.Header = {};
    preview.Footer = {};
    preview.SetStPNum(1);
    preview.SetOrientation(TOrientation::voNone);
    return preview;
}
