#pragma once
// "計算方法の比較": the project calculated by the one-point, four-point prism and four-point
// average elevation methods side by side, each with its difference from the project's own
// method in m³ and percent. Opened from the summary; the figures and texts are the core's
// (analysis/MethodComparison.h), the same the printed page and doryou-cli show.

#include "analysis/MethodComparison.h"

#include <QDialog>

class QLabel;
class QPainter;
class QPushButton;
class TInputData;
class TStringGrid;

class TMethodCompareForm : public QDialog {
    Q_OBJECT
public:
    explicit TMethodCompareForm(QWidget* AOwner = nullptr);

    // Calculates the project by each method (the project is not changed) under the progress
    // box and builds the table; before every Execute. False when the user cancelled.
    bool SetInputData(const TInputData& Value);
    void Execute();

    const TComparisonTable& Table() const { return FTable; }

    QLabel* SettingsLabel;
    TStringGrid* StringGrid1;
    QPushButton* CloseButton;

    // Grid columns: the label, then per method its volume, difference and percentage.
    static int VolumeColumn(int Method) { return 1 + 3 * Method; }

private:
    void BuildGrid();

    TComparisonTable FTable;
};

// The window of the run, created on first use; it lives until the application ends.
TMethodCompareForm& SharedMethodCompareForm();
