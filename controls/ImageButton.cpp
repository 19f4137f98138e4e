#include "ImageButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

TImageButton::TImageButton(QWidget* AOwner) : QWidget(AOwner) {
    setGeometry(0, 0, 22, 23);
    // Mouse moves are watched without a pressed button too: Qt delivers the leave of a press
    // dragged off the button only after the release, and no enter after a release back inside.
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

void TImageButton::Click() {
    emit clicked();
}

void TImageButton::SetImage(int Index, const QPixmap& Value) {
    FImage[Index] = Value;
    update();
}

void TImageButton::SetImageNum(int Value) {
    FImageNum = Value;
    update();
}

void TImageButton::MouseEnter() {
    if (FMouseInControl || !isEnabled() || QWidget::mouseGrabber() != nullptr)
        return;
    FMouseInControl = true;
    SetImageNum(imMouseOn);
}

void TImageButton::MouseLeave() {
    if (!FMouseInControl || !isEnabled())
        return;
    FMouseInControl = false;
    FImageNum = imNormal;
    if (FDragging) {
        FOldImageNum = imNormal;
        FDragging = false;
    }
    update();
}

void TImageButton::enterEvent(QEnterEvent* Event) {
    QWidget::enterEvent(Event);
    MouseEnter();
}

void TImageButton::leaveEvent(QEvent* Event) {
    QWidget::leaveEvent(Event);
    MouseLeave();
}

void TImageButton::mousePressEvent(QMouseEvent* Event) {
    QWidget::mousePressEvent(Event);
    if (Event->button() != Qt::LeftButton || !isEnabled())
        return;
    FOldImageNum = FImageNum;
    FDragging = true;
    SetImageNum(imDown);
}

void TImageButton::mouseMoveEvent(QMouseEvent* Event) {
    QWidget::mouseMoveEvent(Event);
    const bool inside = rect().contains(Event->position().toPoint());
    if (!inside)
        MouseLeave();
    else if (Event->buttons() == Qt::NoButton)
        MouseEnter();
}

void TImageButton::mouseReleaseEvent(QMouseEvent* Event) {
    QWidget::mouseReleaseEvent(Event);
    if (!FDragging)
        return;
    FDragging = false;
    SetImageNum(FOldImageNum);
    const QPoint p = Event->position().toPoint();
    if (p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() < height())
        Click();
}

void TImageButton::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange) {
        // A press in progress cannot survive the change: the disabled button gets no release.
        FDragging = false;
        SetImageNum(isEnabled() ? imNormal : imNotEnable);
    } else if (Event->type() == QEvent::PaletteChange) {
        update();
    }
}

void TImageButton::paintEvent(QPaintEvent*) {
    const QPixmap* pic = &FImage[FImageNum];
    if (pic->width() <= 0)
        pic = &FImage[imNormal];
    if (pic->width() <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), *pic);
}
