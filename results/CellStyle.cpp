#include "CellStyle.h"

#include "controls/FittedText.h"
#include "controls/StringGrid.h"

#include <QPainter>
#include <QTableWidgetItem>

namespace {

// The grid's item for a cell that owns a style; the grid deletes its items, and so their
// styles, when cells go away.
class TStyledItem : public QTableWidgetItem {
public:
    static constexpr int Type = QTableWidgetItem::UserType + 41;
    explicit TStyledItem(const QString& Text) : QTableWidgetItem(Text, Type) {}
    std::unique_ptr<TCellStyle> Style;
};

TStyledItem* StyledItem(const TStringGrid* Grid, int Col, int Row) {
    QTableWidgetItem* it = Grid->item(Row, Col);
    return it && it->type() == TStyledItem::Type ? static_cast<TStyledItem*>(it) : nullptr;
}

// One line of the given width around R, light on the top and left, dark on the bottom and right.
void Border(QPainter& P, const QRect& R, const QColor& TopLeft, const QColor& BottomRight) {
    P.fillRect(QRect(R.left(), R.top(), R.width() - 1, 1), TopLeft);
    P.fillRect(QRect(R.left(), R.top(), 1, R.height() - 1), TopLeft);
    P.fillRect(QRect(R.left(), R.bottom(), R.width(), 1), BottomRight);
    P.fillRect(QRect(R.right(), R.top(), 1, R.height()), BottomRight);
}

} // namespace

std::unique_ptr<TCellStyle> NewCellStyle(int32_t Frame, uint8_t Align, const QColor& Color) {
    auto s = std::make_unique<TCellStyle>();
    s->Frame = Frame;
    s->Align = Align;
    s->Color = Color;
    s->Font = QFont(QStringLiteral("ＭＳ 明朝"));
    s->Font.setPixelSize(14);
    return s;
}

void SetCellStyle(TStringGrid* Grid, int Col, int Row, std::unique_ptr<TCellStyle> Style) {
    if (Col < 0 || Row < 0 || Col >= Grid->columnCount() || Row >= Grid->rowCount())
        return;
    TStyledItem* item = StyledItem(Grid, Col, Row);
    if (!item) {
        item = new TStyledItem(Grid->Cells(Col, Row));
        item->setFlags(Qt::ItemIsEnabled);
        Grid->setItem(Row, Col, item); // deletes the plain item it replaces
    }
    item->Style = std::move(Style);
    Grid->viewport()->update();
}

void SetCellText(TStringGrid* Grid, int Col, int Row, const QString& Text) {
    if (Col < 0 || Row < 0 || Col >= Grid->columnCount() || Row >= Grid->rowCount())
        return;
    if (QTableWidgetItem* item = Grid->item(Row, Col)) {
        item->setText(Text);
        return;
    }
    auto* item = new TStyledItem(Text);
    item->setFlags(Qt::ItemIsEnabled);
    Grid->setItem(Row, Col, item);
}

const TCellStyle* CellStyle(const TStringGrid* Grid, int Col, int Row) {
    const TStyledItem* item = StyledItem(Grid, Col, Row);
    return item ? item->Style.get() : nullptr;
}

QFont* CellFont(TStringGrid* Grid, int Col, int Row) {
    TStyledItem* item = StyledItem(Grid, Col, Row);
    if (!item || !item->Style)
        return nullptr;
    Grid->viewport()->update();
    return &item->Style->Font;
}

void ClearCellStyles(TStringGrid* Grid) {
    for (int r = 0; r < Grid->rowCount(); ++r)
        for (int c = 0; c < Grid->columnCount(); ++c)
            if (TStyledItem* item = StyledItem(Grid, c, r); item && item->Style) {
                item->Style.reset();
                item->setText(QString());
            }
    Grid->viewport()->update();
}

void DrawStyledCell(const TStringGrid* Grid, QPainter& Painter, int Col, int Row,
                    const QRect& Rect) {
    const TStyledItem* item = StyledItem(Grid, Col, Row);
    if (!item || !item->Style)
        return;
    const TCellStyle& s = *item->Style;
    const QPalette& pal = Grid->palette();
    Painter.setFont(s.Font);
    Painter.fillRect(Rect, pal.color(QPalette::Base));

    QRect r = Rect;
    switch (s.Frame) {
    case cfSunkenBox:
    case cfRaisedBox: {
        r.adjust(2, 1, -2, -1);
        Painter.fillRect(r, s.Color);
        const bool sunken = s.Frame == cfSunkenBox;
        // Two lines each side: the outer and the inner border of a 3D edge.
        Border(Painter, r, pal.color(sunken ? QPalette::Dark : QPalette::Midlight),
               pal.color(sunken ? QPalette::Light : QPalette::Shadow));
        Border(Painter, r.adjusted(1, 1, -1, -1),
               pal.color(sunken ? QPalette::Shadow : QPalette::Light),
               pal.color(sunken ? QPalette::Midlight : QPalette::Dark));
        r.adjust(sunken ? 4 : 3, 1, sunken ? -4 : -3, -1);
        break;
    }
    case cfThinSunken:
    case cfThinRaised: {
        Painter.fillRect(r, s.Color);
        const bool sunken = s.Frame == cfThinSunken;
        Border(Painter, r, pal.color(sunken ? QPalette::Dark : QPalette::Light),
               pal.color(sunken ? QPalette::Light : QPalette::Dark));
        r.adjust(3, 1, -3, -1);
        break;
    }
    default:
        Painter.fillRect(Rect, s.Color);
        r.adjust(3, 0, -3, 0);
        break;
    }

    int align = Qt::AlignLeft;
    if (s.Align == caRight)
        align = Qt::AlignRight;
    else if (s.Align == caCenter)
        align = Qt::AlignHCenter;
    Painter.setPen(pal.color(QPalette::Text));
    Painter.setBrush(Qt::NoBrush);
    Painter.setClipRect(r, Qt::IntersectClip);
    // A number too wide for its cell is drawn smaller, never cut.
    DrawFittedText(Painter, r, align | Qt::AlignVCenter, item->text());
}
