#include "MetafileEx.h"

#include <QPainter>

TMetafileEx::TMetafileEx(int Width, int Height) : FWidth(Width), FHeight(Height) {
    FPicture.setBoundingRect(QRect(0, 0, Width, Height));
}

void TMetafileEx::Draw(QPainter& Painter, const QRectF& Rect) const {
    if (FWidth <= 0 || FHeight <= 0)
        return;
    Painter.save();
    Painter.setClipping(false);
    Painter.translate(Rect.topLeft());
    Painter.scale(Rect.width() / FWidth, Rect.height() / FHeight);
    // Playback scales by the target's resolution over the picture's own; the frame already
    // maps to Rect, so that scaling is undone.
    if (const QPaintDevice* device = Painter.device();
        device && device->logicalDpiX() > 0 && device->logicalDpiY() > 0)
        Painter.scale(double(FPicture.logicalDpiX()) / device->logicalDpiX(),
                      double(FPicture.logicalDpiY()) / device->logicalDpiY());
    Painter.drawPicture(QPointF(0, 0), FPicture);
    Painter.restore();
}
