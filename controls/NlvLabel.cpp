#include "NlvLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int RoundEven(double v) {
    return static_cast<int>(std::lrint(v));
}

// The text as shown: "&&" is one "&", a single "&" only underlines the next character.
QString Shown(const QString& Text) {
    QString out;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == QLatin1Char('&') && i + 1 < Text.size())
            ++i;
        out += Text[i];
    }
    return out;
}

} // namespace

TNlvLabel::TNlvLabel(QWidget* AOwner) : QWidget(AOwner) {
    setAutoFillBackground(false);
}

std::vector<TNlvRun> TNlvLabel::ParseMarkup(const QString& Caption, int h) {
    std::vector<TNlvRun> runs;
    TNlvRun cur;
    cur.Height = h;
    for (qsizetype i = 0; i < Caption.size(); ++i) {
        const QChar c = Caption[i];
        if (c != QLatin1Char('%')) {
            cur.Text += c;
            continue;
        }
        ++i;
        const QChar code = i < Caption.size() ? Caption[i].toLower() : QChar();
        static const QString known = QStringLiteral("udbgmo%");
        if (code.isNull() || !known.contains(code))
            continue; // an unknown code drops both characters
        if (!cur.Text.isEmpty()) {
            runs.push_back(cur);
            cur.Text.clear();
        }
        switch (code.unicode()) {
        case 'u':
            cur.Offset = 0;
            cur.Height = RoundEven(h * 0.6);
            break;
        case 'd': {
            const int sub = RoundEven(h * 0.8);
            cur.Offset = std::abs(cur.Height) - std::abs(sub) + 1;
            cur.Height = sub;
            break;
        }
        case 'b':
            cur.Offset = 0;
            cur.Height = h;
            break;
        case 'g':
            cur.Face = 1;
            break;
        case 'm':
            cur.Face = 2;
            break;
        case 'o':
            cur.Face = 0;
            break;
        default: // "%%"
            cur.Text += QLatin1Char('%');
            break;
        }
    }
    runs.push_back(cur);
    return runs;
}

int TNlvLabel::FontHeight() const {
    const QFont& f = font();
    if (f.pixelSize() > 0)
        return -f.pixelSize();
    return -RoundEven(f.pointSizeF() * logicalDpiY() / 72.0);
}

QFont TNlvLabel::RunFont(const TNlvRun& Run) const {
    QFont f = font();
    if (Run.Face == 1)
        f.setFamily(QStringLiteral("NLV G記号"));
    else if (Run.Face == 2)
        f.setFamily(QStringLiteral("NLV M記号"));
    f.setPixelSize(std::max(1, std::abs(Run.Height)));
    return f;
}

int TNlvLabel::TextFlags() const {
    return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine |
           (FShowAccelChar ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
}

std::vector<TNlvLabel::TPlacedRun> TNlvLabel::PlaceRuns() const {
    std::vector<TPlacedRun> placed;
    int x = 0;
    for (const TNlvRun& run : ParseMarkup(FCaption, FontHeight())) {
        const QFontMetrics fm(RunFont(run));
        QString measured = run.Text;
        if (measured.isEmpty() || (FShowAccelChar && measured == QStringLiteral("&")))
            measured = QStringLiteral(" ");
        const int w = fm.horizontalAdvance(FShowAccelChar ? Shown(measured) : measured);
        const QRect r(x, run.Offset, w, fm.height());
        placed.push_back({run, r});
        x = r.x() + r.width();
    }
    return placed;
}

QRect TNlvLabel::MeasureMarkup(const QRect& R) const {
    int w = 0, h = 0;
    for (const TPlacedRun& p : PlaceRuns()) {
        w = p.Rect.x() + p.Rect.width();
        h = std::max(h, p.Rect.y() + p.Rect.height());
    }
    return QRect(R.left(), R.top(), w, h);
}

void TNlvLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!FTransparent)
        painter.fillRect(rect(), Color());
    const std::vector<TPlacedRun> runs = PlaceRuns();
    const QRect content = MeasureMarkup(QRect());
    if (content.width() <= 0 || content.height() <= 0)
        return;
    // Composed off-screen first, so a run that reaches beyond the label is cut as a whole.
    QImage picture(content.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(FTransparent ? QColor(Qt::transparent) : Color());
    {
        QPainter p(&picture);
        const QPalette& pal = palette();
        for (const TPlacedRun& run : runs) {
            if (run.Run.Text.isEmpty())
                continue;
            p.setFont(RunFont(run.Run));
            if (isEnabled()) {
                p.setPen(pal.color(QPalette::WindowText));
                p.drawText(run.Rect, TextFlags(), run.Run.Text);
            } else {
                p.setPen(pal.color(QPalette::Active, QPalette::Light));
                p.drawText(run.Rect.translated(1, 1), TextFlags(), run.Run.Text);
                p.setPen(pal.color(QPalette::Active, QPalette::Dark));
                p.drawText(run.Rect, TextFlags(), run.Run.Text);
            }
        }
    }
    int dx = 0, dy = 0;
    if (FLayout == tlBottom)
        dy = height() - content.height();
    else if (FLayout == tlCenter)
        dy = (height() - content.height()) / 2;
    if (FAlignment & Qt::AlignRight)
        dx = width() - content.width();
    else if (FAlignment & Qt::AlignHCenter)
        dx = (width() - content.width()) / 2;
    painter.drawImage(QPoint(dx, dy), picture);
}

void TNlvLabel::AdjustBounds() {
    if (!FAutoSize)
        return;
    const QRect r = MeasureMarkup(QRect());
    QRect g = geometry();
    const bool right = (FAlignment & Qt::AlignRight) != 0;
    const bool mirrored = layoutDirection() == Qt::RightToLeft;
    if (right != mirrored)
        g.moveLeft(g.left() + g.width() - r.width());
    g.setSize(r.size());
    setGeometry(g);
}

void TNlvLabel::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        AdjustBounds();
    if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::PaletteChange)
        update();
}

void TNlvLabel::SetCaption(const QString& Value) {
    FCaption = Value;
    AdjustBounds();
    update();
}

void TNlvLabel::SetAlignment(Qt::Alignment Value) {
    FAlignment = Value;
    AdjustBounds();
    update();
}

void TNlvLabel::SetLayout(TTextLayout Value) {
    FLayout = Value;
    update();
}

void TNlvLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustBounds();
    update();
}

void TNlvLabel::SetTransparent(bool Value) {
    FTransparent = Value;
    update();
}

void TNlvLabel::SetShowAccelChar(bool Value) {
    FShowAccelChar = Value;
    AdjustBounds();
    update();
}

QColor TNlvLabel::Color() const {
    return palette().color(QPalette::Window);
}

void TNlvLabel::SetColor(const QColor& Value) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Value);
    setPalette(pal);
    update();
}
