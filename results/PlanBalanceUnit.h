#pragma once
// "計画高調整": the uniform shift of every planned height at which the corrected cut and the
// corrected fill balance, or leave the surplus the user asks for. It shows the current volumes,
// the target, the shift found and the volumes it gives; "適用" shifts the plan, "キャンセル"
// leaves the project as it is. The search is the core's (analysis/PlanBalance.h), the same
// doryou-cli balance runs.

#include "analysis/PlanBalance.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TInputData;

class TPlanBalanceForm : public QDialog {
    Q_OBJECT
public:
    explicit TPlanBalanceForm(QWidget* AOwner = nullptr);

    // Hands the project over and searches with no target surplus; before every Execute.
    void SetInputData(TInputData& Value);
    // True when the plan was shifted ("適用"); the caller recalculates.
    bool Execute();

    void SearchButtonClick(); // "計算": searches again for the target typed
    void ApplyButtonClick();  // "適用"
    const TPlanBalance& Balance() const { return FBalance; }

    QLabel* SettingsLabel;
    QLineEdit* FillEdit;    // corrected fill: now
    QLineEdit* CutEdit;     // corrected cut: now
    QLineEdit* SurplusEdit; // surplus (negative: shortage): now
    QLineEdit* AfterFillEdit;
    QLineEdit* AfterCutEdit;
    QLineEdit* AfterSurplusEdit;
    QLineEdit* TargetEdit; // the target surplus, m³
    QPushButton* SearchButton;
    QLineEdit* ShiftEdit;     // Δh, m
    QLineEdit* RemainingEdit; // what the shift leaves beyond the target
    QLabel* MessageLabel;     // why no shift was found
    QPushButton* ApplyButton;
    QPushButton* CancelButton;

protected:
    void hideEvent(QHideEvent* Event) override;

private:
    void Search(int64_t Target);
    void ShowBalance();
    void ClearResult();
    // A notice, or in red why there is no shift.
    void ShowMessage(const QString& Text, bool Failure);

    TInputData* FInputData = nullptr;
    TPlanBalance FBalance;
};

// The window of the run, created on first use; it lives until the application ends.
TPlanBalanceForm& SharedPlanBalanceForm();
