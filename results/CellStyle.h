#pragma once
// Styled grid cells: each cell of an owner-drawn grid may own a style (frame kind, alignment,
// fill colour, font) that says how DrawStyledCell paints it. A cell without a style is not
// painted at all, so a window gives every visible cell one. The summary and the detail list
// paint all their cells this way.

#include <QColor>
#include <QFont>

#include <cstdint>
#include <memory>

class QPainter;
class QRect;
class TStringGrid;

enum TCellFrame : int32_t {
    cfFlat = 0,
    cfSunkenBox = 1,
    cfRaisedBox = 2,
    cfThinSunken = 3,
    cfThinRaised = 4,
};
enum TCellAlign : uint8_t { caLeft = 0, caRight = 1, caCenter = 2 };

struct TCellStyle {
    uint8_t Align = caLeft;
    QFont Font;
    QColor Color;
    int32_t Frame = cfFlat;
};

// A new style with the default cell font ("ＭＳ 明朝", 14 pixels).
std::unique_ptr<TCellStyle> NewCellStyle(int32_t Frame, uint8_t Align, const QColor& Color);

// The cell takes the style, releasing the one it had; a null style clears the cell's style.
void SetCellStyle(TStringGrid* Grid, int Col, int Row, std::unique_ptr<TCellStyle> Style);
const TCellStyle* CellStyle(const TStringGrid* Grid, int Col, int Row);

// Sets the cell's text, also in a cell that has no item yet (rows and columns added later).
void SetCellText(TStringGrid* Grid, int Col, int Row, const QString& Text);

// The font of the cell's style, to be changed in place; null when the cell has no style.
QFont* CellFont(TStringGrid* Grid, int Col, int Row);

// Releases every style of the grid and empties the texts of those cells.
void ClearCellStyles(TStringGrid* Grid);

// Paints the cell from its text and style into Rect (the whole cell); the grid's base colour
// is the background around the frame.
void DrawStyledCell(const TStringGrid* Grid, QPainter& Painter, int Col, int Row,
                    const QRect& Rect);
