#include "StringGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Hands every cell to the grid's drawing handler and marks the current cell with a focus
// frame while the grid has the focus, so the user sees where typing goes.
class TCellDelegate : public QStyledItemDelegate {
public:
    explicit TCellDelegate(TStringGrid* Grid) : QStyledItemDelegate(Grid), FGrid(Grid) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        if (!FGrid->OnDrawCell()) {
            QStyledItemDelegate::paint(Painter, Option, Index);
            return;
        }
        Painter->save();
        FGrid->OnDrawCell()(*Painter, Option.rect, Index.column(), Index.row());
        Painter->restore();
        if (FGrid->hasFocus() && FGrid->currentIndex() == Index) {
            Painter->save();
            QPen pen(Option.palette.color(QPalette::Text), 1, Qt::DotLine);
            Painter->setPen(pen);
            Painter->setBrush(Qt::NoBrush);
            Painter->drawRect(Option.rect.adjusted(1, 1, -2, -2));
            Painter->restore();
        }
    }

    QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                          const QModelIndex& Index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(Parent, Option, Index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setFrame(false);
        return editor;
    }

private:
    TStringGrid* FGrid;
};

} // namespace

TStringGrid::TStringGrid(int ColCount, int RowCount, QWidget* AOwner)
    : QTableWidget(RowCount, ColCount, AOwner) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegate(new TCellDelegate(this));
    for (int r = 0; r < RowCount; ++r)
        for (int c = 0; c < ColCount; ++c)
            setItem(r, c, new QTableWidgetItem);
    ResetFlags();
}

void TStringGrid::SetFixed(int Cols, int Rows) {
    FFixedCols = Cols;
    FFixedRows = Rows;
    ResetFlags();
}

void TStringGrid::ResetFlags() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            item(r, c)->setFlags(IsFixedCell(c, r) ? Qt::ItemIsEnabled
                                                   : Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                                                         Qt::ItemIsEditable);
}

void TStringGrid::SetDefaultRowHeight(int Value) {
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(Value + GridLineWidth());
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, Value + GridLineWidth());
}

QString TStringGrid::Cells(int Col, int Row) const {
    const QTableWidgetItem* it = item(Row, Col);
    return it ? it->text() : QString();
}

void TStringGrid::SetCells(int Col, int Row, const QString& Text) {
    if (QTableWidgetItem* it = item(Row, Col))
        it->setText(Text);
}

bool TStringGrid::CanSelect(int Col, int Row) const {
    if (Col < 0 || Row < 0 || Col >= columnCount() || Row >= rowCount() || IsFixedCell(Col, Row))
        return false;
    return !FOnSelectCell || FOnSelectCell(Col, Row);
}

void TStringGrid::CommitEditor() {
    const QModelIndex index = currentIndex();
    if (state() != QAbstractItemView::EditingState || !index.isValid())
        return;
    if (QWidget* editor = indexWidget(index)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TStringGrid::mousePressEvent(QMouseEvent* Event) {
    const QModelIndex index = indexAt(Event->position().toPoint());
    if (index.isValid() && !CanSelect(index.column(), index.row())) {
        setFocus(Qt::MouseFocusReason);
        Event->accept();
        return;
    }
    QTableWidget::mousePressEvent(Event);
}

void TStringGrid::mouseMoveEvent(QMouseEvent* Event) {
    // A drag must not carry the current cell onto a cell that may not be selected.
    const QModelIndex index = indexAt(Event->position().toPoint());
    if (index.isValid() && !CanSelect(index.column(), index.row())) {
        Event->accept();
        return;
    }
    QTableWidget::mouseMoveEvent(Event);
}

QModelIndex TStringGrid::moveCursor(CursorAction Action, Qt::KeyboardModifiers Modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(Action, Modifiers);
    if (next.isValid() && !CanSelect(next.column(), next.row()))
        return currentIndex();
    return next;
}

bool TStringGrid::edit(const QModelIndex& Index, EditTrigger Trigger, QEvent* Event) {
    // Editability can change while a cell is current (the options above the grid); a cell
    // that has become greyed is not opened for typing.
    if (Index.isValid() && Trigger != QAbstractItemView::NoEditTriggers &&
        !CanSelect(Index.column(), Index.row()))
        return false;
    // A click on the current cell opens its editor at once. The view's own way waits for the
    // double-click time first and refuses every key meanwhile, so a digit typed right after
    // the click was lost and the editor then opened on the old value.
    if (Trigger == QAbstractItemView::SelectedClicked &&
        (editTriggers() & QAbstractItemView::SelectedClicked))
        return QTableWidget::edit(Index, QAbstractItemView::EditKeyPressed, nullptr);
    return QTableWidget::edit(Index, Trigger, Event);
}
