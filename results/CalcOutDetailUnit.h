#pragma once
// The detail list ("土量計算の詳細"): one row per calculated mesh with its corrected volumes.
// A project can have a million meshes, so the grid holds only the rows that fit: the separate
// scroll bar picks the mesh of the first data row, and every scroll or resize refills the
// visible rows straight from the project's calculated list. A step therefore costs the same
// whatever the number of meshes. The whole list can be written as a comma-separated file.

#include <QDialog>

#include <vector>

class QPainter;
class QPushButton;
class QScrollBar;
class TInputData;
class TStringGrid;

class TCalcAllForm : public QDialog {
    Q_OBJECT
public:
    explicit TCalcAllForm(QWidget* AOwner = nullptr);
    ~TCalcAllForm() override;

    // Sets up the columns and the scroll range for the project and shows its first mesh.
    void SetInputData(TInputData& Value);
    void Execute();

    // Fills data rows 1.. from the mesh with list index Top onwards.
    void FillDetailRows(int Top);
    void Panel1Resize();
    void VScrollChange();
    void BitBtn2Click(); // "CSV出力"

    QWidget* Panel1;
    TStringGrid* StringGrid1;
    QScrollBar* VScroll;
    // Scrolls the columns right of the mesh number by whole columns, so that the mesh number
    // and the headings stay in place.
    QScrollBar* HScroll;
    QPushButton* BitBtn1; // close
    QPushButton* BitBtn2;

protected:
    void hideEvent(QHideEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    // The list keys (arrows, pages, Ctrl+Home and Ctrl+End) move the scroll bar.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col, int Row) const;
    void UpdateColumnScroll();
    void HScrollChange();

    TInputData* FInputData = nullptr;
    QWidget* FButtonBar;
    std::vector<int> FColWidths; // as set; a hidden column reads 0 from the grid
};

// The detail list of the run, created at start-up.
extern TCalcAllForm* CalcAllForm;
