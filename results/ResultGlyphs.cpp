#include "ResultGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

template <class TDraw> QIcon Glyph(TDraw Draw) {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    Draw(p);
    p.end();
    return QIcon(pm);
}

} // namespace

namespace ResultGlyphs {

QIcon Csv() {
    return Glyph([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 1.5, 11, 15));
        p.setPen(QPen(QColor(0, 110, 40), 1.5));
        for (int y = 5; y <= 13; y += 3)
            p.drawLine(QPointF(6, y), QPointF(12, y));
    });
}

QIcon Balance() {
    return Glyph([](QPainter& p) {
        const QColor ink(40, 70, 160);
        p.setPen(QPen(ink, 1.5));
        p.drawLine(QPointF(9, 3), QPointF(9, 15));
        p.drawLine(QPointF(2, 5), QPointF(16, 5));
        p.drawLine(QPointF(5, 16), QPointF(13, 16));
        p.setBrush(QColor(240, 200, 60));
        for (double x : {4.0, 14.0}) {
            QPainterPath pan;
            pan.moveTo(x - 3, 10);
            pan.lineTo(x + 3, 10);
            pan.arcTo(QRectF(x - 3, 7, 6, 6), 0, -180);
            p.drawLine(QPointF(x, 5), QPointF(x - 3, 10));
            p.drawLine(QPointF(x, 5), QPointF(x + 3, 10));
            p.drawPath(pan);
        }
    });
}

QIcon Close() {
    return Glyph([](QPainter& p) {
        p.setPen(QPen(QColor(90, 60, 30), 1));
        p.setBrush(QColor(200, 160, 100));
        p.drawRect(QRectF(4.5, 1.5, 10, 15));
        p.setBrush(QColor(150, 100, 50));
        QPolygonF door;
        door << QPointF(4.5, 1.5) << QPointF(10.5, 3.5) << QPointF(10.5, 17.5)
             << QPointF(4.5, 16.5);
        p.drawPolygon(door);
        p.setBrush(QColor(250, 220, 80));
        p.drawEllipse(QPointF(9, 10), 1, 1);
    });
}

QIcon Compare() {
    return Glyph([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        const QColor colours[] = {QColor(70, 130, 210), QColor(230, 150, 40), QColor(80, 170, 80)};
        const double heights[] = {11, 13, 9};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(2.5 + 5 * i, 16.5 - heights[i], 4, heights[i]));
        }
    });
}

QIcon Level() {
    return Glyph([](QPainter& p) {
        QPainterPath ground;
        ground.moveTo(1, 17);
        ground.lineTo(1, 12);
        ground.cubicTo(6, 6, 11, 16, 17, 9);
        ground.lineTo(17, 17);
        ground.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(170, 120, 60));
        p.drawPath(ground);
        p.setPen(QPen(QColor(200, 30, 30), 1.5));
        p.drawLine(QPointF(1, 11), QPointF(17, 11));
        p.setPen(QPen(QColor(40, 70, 160), 1.2));
        p.drawLine(QPointF(9, 1.5), QPointF(9, 8));
        p.drawLine(QPointF(9, 1.5), QPointF(7, 4));
        p.drawLine(QPointF(9, 1.5), QPointF(11, 4));
    });
}

} // namespace ResultGlyphs
