#pragma once
// Text that must never be shown cut, numbers above all. It is drawn in the font it is given
// when it fits its width, else in the same font made just small enough (down to 40 % of the
// size, where digits are still told apart). Text too long even then is not cut either: the cell
// shows the mark "###" instead, as a spreadsheet does, so no number ever loses its leading
// digits to a clip.

#include <QFont>
#include <QString>
#include <QStyledItemDelegate>

class QPainter;
class QPaintDevice;
class QRectF;

struct TFittedText {
    QFont Font;
    QString Text;
};

// The font and text to draw Text with at most Width wide on Device (the screen when null).
TFittedText FitText(const QFont& Font, const QString& Text, qreal Width,
                    const QPaintDevice* Device = nullptr);

// One line of Text in Rect with the alignment Flags, in the painter's font fitted to Rect.
void DrawFittedText(QPainter& Painter, const QRectF& Rect, int Flags, const QString& Text);

// Item views: each cell's text drawn fitted to its cell instead of elided.
class TFittedTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override;
};
