#pragma once
// TReportTable: a ruled table on a report page, placed by boundary positions: column boundary c
// is the left edge of column c, row boundary r the top edge of row r, both relative to the
// table's origin, in page units (0.1 mm). Each report keeps its own table object.

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

class QFont;
class QPainter;

// The two faces every report draws in.
inline const QString& Mincho() {
    static const QString face = QStringLiteral("ＭＳ 明朝");
    return face;
}
inline const QString& Gothic() {
    static const QString face = QStringLiteral("ＭＳ ゴシック");
    return face;
}

// Where a text sits in its cells. One line: left, centred or right, centred vertically. A
// word-wrapped block (lines split at "\r\n" too), its lines left, centred or right: centred
// both ways (Block…) or only vertically, over the cell's width (Wrap…).
enum class TCellAlign {
    Left = 0,
    Center = 1,
    Right = 2,
    BlockLeft = 10,
    BlockCenter = 11,
    BlockRight = 12,
    WrapLeft = 20,
    WrapCenter = 21,
    WrapRight = 22,
};

class TReportTable {
public:
    TReportTable(double OriginX, double OriginY);
    ~TReportTable();
    TReportTable(const TReportTable&) = delete;
    TReportTable& operator=(const TReportTable&) = delete;

    void AddColumn(double X);
    void AddRow(double Y);
    // The page position of a boundary; the origin for one that does not exist.
    int ColumnX(int Column) const;
    int RowY(int Row) const;

    void Text(QPainter& Canvas, int FirstColumn, int FirstRow, int EndColumn, int EndRow,
              const QString& Text, TCellAlign Align);
    void CellText(QPainter& Canvas, int Column, int Row, const QString& Text, TCellAlign Align);
    void Line(QPainter& Canvas, int Column1, int Row1, int Column2, int Row2, int PenWidth,
              Qt::PenStyle Style, const QColor& Colour);

private:
    struct TFontMeasure;
    const TFontMeasure& MeasureOf(const QFont& Font);

    std::vector<double> FColumns;
    std::vector<double> FRows;
    double FOriginX = 0, FOriginY = 0;
    std::vector<std::unique_ptr<TFontMeasure>> FMeasures;
    TFontMeasure* FLast = nullptr;
};

// The report's name and the unit of its figures ("土量計算一覧表　単位：m³"), in the canvas's
// font, ending at Right with its top at Top: on the title line, above the table's right edge.
void ReportName(QPainter& Canvas, double Right, double Top, const QString& Name,
                const QString& Unit);
