#include "preview/PREVIEWUNIT02Sumnail.h"

#include "preview/PREVIEWUNIT02Base.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <exception>

TSumnail::TSumnail(QWidget* Parent) : QWidget(Parent) {
    setGeometry(0, 0, 100, 100);
}

void TSumnail::SetNumber(int Value) {
    FNumber = Value;
    move(x(), (Value - 1) * (height() + 5));
    setToolTip(QStringLiteral("Page %1").arg(Value));
}

void TSumnail::SetReviewOn(bool Value) {
    FReviewOn = Value;
    if (Value)
        update();
}

void TSumnail::SetPaperHeight(int Value) {
    FPaperHeight = std::max(10, Value);
    UpdateHeight();
}

void TSumnail::SetPaperWidth(int Value) {
    FPaperWidth = std::max(10, Value);
    UpdateHeight();
}

int TSumnail::HeightFor(int PaperWidth, int PaperHeight) {
    return std::max(10, PaperHeight) * 90 / std::max(10, PaperWidth) + 10;
}

void TSumnail::UpdateHeight() {
    resize(width(), HeightFor(FPaperWidth, FPaperHeight));
}

void TSumnail::SetSelected(bool Value) {
    FSelected = Value;
    update();
}

void TSumnail::paintEvent(QPaintEvent*) {
    if (!FReviewOn)
        return;
    // Painted into an image first, as the page view is, at three times the size and then
    // smoothed down: text a pixel high would otherwise come out as black blots.
    const qreal ratio = devicePixelRatioF() * 3;
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    const int w = width(), h = height();
    const QColor desk = palette().color(QPalette::Dark);
    p.fillRect(rect(), desk);
    p.fillRect(QRect(QPoint(7, 7), QPoint(w - 3 - 1, h - 3 - 1)), Qt::black);
    const QRect paper(QPoint(3, 3), QPoint(w - 7 - 1, h - 7 - 1));
    p.fillRect(paper, Qt::white);
    const double s = (h - 10) / FPrinterPaperHeight;
    if (FDocument && FNumber >= 1 && FNumber <= FDocument->PageNum()) {
        const QRectF target(
            3 + std::nearbyint(FMarzin[0] * s), 3 + std::nearbyint(FMarzin[1] * s),
            (w - 7 - std::nearbyint(FMarzin[2] * s)) - (3 + std::nearbyint(FMarzin[0] * s)),
            (h - 7 - std::nearbyint(FMarzin[3] * s)) - (3 + std::nearbyint(FMarzin[1] * s)));
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setClipRect(paper);
        try {
            FDocument->Page(FNumber - 1).Draw(p, target);
        } catch (const std::exception&) {
            // A page that cannot be composed stays blank here; the page view says why.
        }
        p.setClipping(false);
    }
    if (FSelected) {
        p.setPen(QPen(Qt::red, 3));
        p.setBrush(QBrush(Qt::red, Qt::DiagCrossPattern));
        p.drawRect(paper);
    }
    p.end();
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, w, h), image);
}

void TSumnail::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && OnClick)
        OnClick(*this);
}
