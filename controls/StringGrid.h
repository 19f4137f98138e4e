#pragma once
// A grid of text cells addressed as (column, row), with fixed header rows and columns, a
// per-cell veto on selection and editing, and owner drawing of every cell. Column first, as
// in the windows' own descriptions of their tables.

#include <QTableWidget>

#include <functional>

class QPainter;

class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    // Answers whether the cell may become the current cell (and so be edited).
    using TSelectCell = std::function<bool(int Col, int Row)>;
    // Paints the whole cell rectangle.
    using TDrawCell = std::function<void(QPainter& Painter, const QRect& Rect, int Col, int Row)>;

    TStringGrid(int ColCount, int RowCount, QWidget* AOwner);

    int ColCount() const { return columnCount(); }
    int RowCount() const { return rowCount(); }
    int FixedCols() const { return FFixedCols; }
    int FixedRows() const { return FFixedRows; }
    void SetFixed(int Cols, int Rows);
    int Tag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }
    // Heights and widths are those of the cell's inside; the grid line comes on top, as the
    // layouts of the windows count them.
    void SetDefaultRowHeight(int Value);
    void SetColWidth(int Col, int Width) { setColumnWidth(Col, Width + GridLineWidth()); }
    int GridLineWidth() const { return showGrid() ? 1 : 0; }
    bool IsFixedCell(int Col, int Row) const { return Col < FFixedCols || Row < FFixedRows; }

    QString Cells(int Col, int Row) const;
    void SetCells(int Col, int Row, const QString& Text);

    // The current cell; -1 when there is none.
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    void SetCurrentCell(int Col, int Row) { setCurrentCell(Row, Col); }

    void SetOnSelectCell(TSelectCell Value) { FOnSelectCell = std::move(Value); }
    void SetOnDrawCell(TDrawCell Value) { FOnDrawCell = std::move(Value); }
    const TDrawCell& OnDrawCell() const { return FOnDrawCell; }
    bool CanSelect(int Col, int Row) const;

    // Ends an open cell editor, keeping what was typed.
    void CommitEditor();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    QModelIndex moveCursor(CursorAction Action, Qt::KeyboardModifiers Modifiers) override;
    bool edit(const QModelIndex& Index, EditTrigger Trigger, QEvent* Event) override;

private:
    void ResetFlags();

    int FFixedCols = 1;
    int FFixedRows = 1;
    int FTag = 0;
    TSelectCell FOnSelectCell;
    TDrawCell FOnDrawCell;
};
