#include "preview/PREVIEWUNIT02View.h"

#include "preview/PREVIEWUNIT02Base.h"

#include <QPaintEvent>
#include <QPainter>

TPreviewView::TPreviewView(TPreViewBase* Owner, QWidget* Parent) : QWidget(Parent), FOwner(Owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void TPreviewView::paintEvent(QPaintEvent* Event) {
    QPainter painter(this);
    painter.setClipRegion(Event->region());
    FOwner->PaintView(painter);
}
