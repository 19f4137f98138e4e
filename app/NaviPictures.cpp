#include "NaviPictures.h"

#include "controls/ImageButton.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace NaviPictures {

namespace {

enum TState { sNormal, sDown, sMouseOn, sDisabled };

QFont LabelFont(const QString& Label, int MaxWidth) {
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setBold(true);
    // The longest label (名前を変えて保存) must fit; shorter ones get the larger size.
    for (int px = 15; px >= 9; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(Label) <= MaxWidth)
            break;
    }
    return f;
}

QPixmap Draw(const QString& Label, const QColor& Base, int Width, int Height, TState State) {
    QPixmap pm(Width, Height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QColor base = Base;
    if (State == sDisabled) {
        base = QColor(196, 196, 196);
    } else if (State == sMouseOn) {
        base = Base.lighter(125);
    } else if (State == sDown) {
        base = Base.darker(125);
    }

    const QRectF plate = QRectF(0.5, 0.5, Width - 1.0, Height - 1.0);
    QPainterPath path;
    path.addRoundedRect(plate, 6, 6);
    QLinearGradient fill(0, 0, 0, Height);
    if (State == sDown) {
        fill.setColorAt(0, base.darker(115));
        fill.setColorAt(1, base.lighter(110));
    } else {
        fill.setColorAt(0, base.lighter(135));
        fill.setColorAt(0.5, base);
        fill.setColorAt(1, base.darker(120));
    }
    p.fillPath(path, fill);

    // A thin light rim on top for the raised look, a dark outline around.
    if (State != sDown) {
        QPainterPath rim;
        rim.addRoundedRect(plate.adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        p.setPen(QPen(QColor(255, 255, 255, State == sDisabled ? 60 : 90), 1));
        p.drawPath(rim);
    }
    p.setPen(QPen(State == sMouseOn ? QColor(255, 230, 120) : base.darker(170),
                  State == sMouseOn ? 2 : 1));
    p.drawPath(path);

    const QFont font = LabelFont(Label, Width - 10);
    p.setFont(font);
    QRect text(0, 0, Width, Height);
    if (State == sDown)
        text.translate(1, 1);
    if (State == sDisabled) {
        p.setPen(QColor(255, 255, 255, 220));
        p.drawText(text.translated(1, 1), Qt::AlignCenter, Label);
        p.setPen(QColor(128, 128, 128));
        p.drawText(text, Qt::AlignCenter, Label);
    } else {
        p.setPen(QColor(0, 0, 0, 110));
        p.drawText(text.translated(1, 1), Qt::AlignCenter, Label);
        p.setPen(Qt::white);
        p.drawText(text, Qt::AlignCenter, Label);
    }
    return pm;
}

} // namespace

std::array<QPixmap, 4> Make(const QString& Label, const QColor& Base, int Width, int Height) {
    return {Draw(Label, Base, Width, Height, sNormal), Draw(Label, Base, Width, Height, sDown),
            Draw(Label, Base, Width, Height, sMouseOn),
            Draw(Label, Base, Width, Height, sDisabled)};
}

void Apply(TImageButton* Button, const QString& Label, const QColor& Base) {
    const std::array<QPixmap, 4> pics = Make(Label, Base, Button->width(), Button->height());
    Button->SetNormalImage(pics[0]);
    Button->SetDownImage(pics[1]);
    Button->SetMouseOnImage(pics[2]);
    Button->SetNotEnableImage(pics[3]);
}

} // namespace NaviPictures
