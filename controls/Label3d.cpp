#include "Label3d.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

TLabel3D::TLabel3D(QWidget* AOwner) : QWidget(AOwner) {
    setGeometry(0, 0, 10, 10);
}

TLabel3D::TLabel3D(const QString& Caption, QWidget* AOwner) : TLabel3D(AOwner) {
    SetCaption(Caption);
}

void TLabel3D::SetCaption(const QString& Value) {
    FCaption = Value;
    AdjustBounds();
    update();
}

QColor TLabel3D::MainColor() const {
    return palette().color(QPalette::WindowText);
}

void TLabel3D::SetMainColor(const QColor& Value) {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Value);
    setPalette(pal);
    update();
}

void TLabel3D::SetUpColor(const QColor& Value) {
    FUpColor = Value;
    FLabelStyle = lsCustom;
    update();
}

void TLabel3D::SetDownColor(const QColor& Value) {
    FDownColor = Value;
    if (FLabelStyle != lsShadow)
        FLabelStyle = lsCustom;
    update();
}

void TLabel3D::SetAutoSize(bool Value) {
    if (FAutoSize == Value)
        return;
    FAutoSize = Value;
    AdjustBounds();
    update();
}

void TLabel3D::SetAlignment(Qt::Alignment Value) {
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    update();
}

void TLabel3D::SetStyle(TLabelStyle Value) {
    if (FLabelStyle == Value)
        return;
    FLabelStyle = Value;
    const QPalette& pal = palette();
    if (Value == lsLowered) {
        FUpColor = pal.color(QPalette::Active, QPalette::Dark);
        FDownColor = pal.color(QPalette::Active, QPalette::Light);
    } else if (Value == lsRaised) {
        FUpColor = pal.color(QPalette::Active, QPalette::Light);
        FDownColor = pal.color(QPalette::Active, QPalette::Dark);
    }
    AdjustBounds();
    update();
}

void TLabel3D::SetShadowXOffset(int Value) {
    if (FShadowOffset.x() == Value)
        return;
    FShadowOffset.setX(Value);
    AdjustBounds();
    update();
}

void TLabel3D::SetShadowYOffset(int Value) {
    if (FShadowOffset.y() == Value)
        return;
    FShadowOffset.setY(Value);
    AdjustBounds();
    update();
}

void TLabel3D::AdjustBounds() {
    const QFontMetrics fm(font());
    const bool shadow = FLabelStyle == lsShadow;
    int h = fm.height() + 2;
    if (shadow)
        h += std::abs(FShadowOffset.y());
    int w = width();
    if (FAutoSize) {
        int extra = font().italic() ? font().pointSize() / 3 : 0;
        if (shadow)
            extra += std::abs(FShadowOffset.x());
        QString plain = FCaption;
        plain.remove(QLatin1Char('&'));
        w = fm.horizontalAdvance(plain) + extra + 2;
    }
    resize(w, h);
}

void TLabel3D::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        AdjustBounds();
    if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::PaletteChange)
        update();
}

void TLabel3D::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    const int W = width(), H = height();
    const int flags = int(FAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop |
                      Qt::TextSingleLine | Qt::TextShowMnemonic;
    const bool shadow = FLabelStyle == lsShadow;
    const bool enabled = isEnabled();
    const QPalette& pal = palette();
    auto layer = [&](const QColor& colour, QRect r) {
        painter.setPen(colour);
        painter.drawText(r, flags, FCaption);
    };
    const QColor first = enabled ? FDownColor : pal.color(QPalette::Active, QPalette::Button);
    if (shadow)
        layer(first,
              QRect(0, 0, W, H)
                  .translated(std::max(FShadowOffset.x(), 0), std::max(FShadowOffset.y(), 0)));
    else
        layer(first, QRect(QPoint(2, 2), QPoint(W - 1, H - 1)));
    if (!shadow)
        layer(enabled ? FUpColor : pal.color(QPalette::Active, QPalette::Light),
              QRect(QPoint(0, 0), QPoint(W - 3, H - 3)));
    const QColor main = enabled ? MainColor() : pal.color(QPalette::Active, QPalette::Dark);
    if (shadow)
        layer(main,
              QRect(0, 0, W, H)
                  .translated(std::max(-FShadowOffset.x(), 0), std::max(-FShadowOffset.y(), 0)));
    else
        layer(main, QRect(QPoint(1, 1), QPoint(W - 2, H - 2)));
}
