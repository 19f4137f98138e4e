#include "preview/PREVIEWUNIT02View.h"

#include "preview/PREVIEWUNIT02Base.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

TPreviewView::TPreviewView(TPreViewBase* Owner, QWidget* Parent) : QWidget(Parent), FOwner(Owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPreviewView::paintEvent(QPaintEvent* Event) {
    // The exposed part is painted into an image first: the page recordings replay there the
    // same way as into a thumbnail, a clipboard picture or a sheet.
    const QRect exposed = Event->rect();
    const qreal ratio = devicePixelRatioF();
    QImage image(exposed.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    {
        QPainter canvas(&image);
        canvas.translate(-exposed.topLeft());
        FOwner->PaintView(canvas);
    }
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), image);
}
