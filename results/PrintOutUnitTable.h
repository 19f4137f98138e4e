#pragma once
// Ruled tables on a preview page, placed by boundary positions: column boundary c is the left
// edge of column c, row boundary r the top edge of row r, both relative to the table's origin,
// in page units (0.1 mm). One table at a time, from BeginTable to EndTable.
//
// Alignment codes: units digit 0 left, 1 centred, other right; tens digit 0 one line centred
// vertically, 1 a word-wrapped block centred both ways, 2 a block centred vertically only.

#include <QColor>
#include <QString>

class QPainter;

void BeginTable(double OriginX, double OriginY);
void AddTableColumn(double X);
void AddTableRow(double Y);
void TableText(QPainter& Canvas, int FirstColumn, int FirstRow, int EndColumn, int EndRow,
               const QString& Text, int Align);
void TableCellText(QPainter& Canvas, int Column, int Row, const QString& Text, int Align);
void TableLine(QPainter& Canvas, int Column1, int Row1, int Column2, int Row2, int PenWidth,
               Qt::PenStyle Style, const QColor& Colour);
void EndTable();

// The page position of a boundary of the current table.
int TableColumnX(int Column);
int TableRowY(int Row);
