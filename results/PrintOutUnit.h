#pragma once
// The report selection dialog "計算書選択ダイアログ": the user checks the calculation reports
// to print and previews them. The comparison of the three methods is offered too, unchecked:
// it calculates the site three times over; so is the cut/fill map, a page of its own.

#include "analysis/EarthAllocation.h"
#include "analysis/MethodComparison.h"

#include <QDialog>

#include <optional>

class QListWidget;
class QPushButton;
class TInputData;
class TPageDocument;

class TPrintoutForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrintoutForm(QWidget* AOwner = nullptr);

    // Checks the two calculation reports (not the comparison or the map) and enables printing.
    void SetInputData(TInputData* Value);
    void Execute();

    void PrintListBoxClick();
    void PrintOutBtnClick();
    // Composes the reports checked when printing began on Document.
    void BuildReports(TPageDocument& Document) const;

    QListWidget* PrintListBox;
    QPushButton* PrintOutBtn;
    QPushButton* CloseBtn;

private:
    TInputData* FInputData = nullptr;
    bool FChosen[6] = {};
    // The comparison as computed for this preview, when checked.
    std::optional<TComparisonTable> FComparison;
    // The allocation printed, when its pages are checked: the window's plan or the stored one.
    std::optional<TAllocation> FAllocation;
};

// The dialog of the run, created on first use; it lives until the application ends.
TPrintoutForm& SharedPrintoutForm();
