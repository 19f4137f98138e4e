#pragma once
// The change-rate simulator ("変化率シミュレータ"): which rates would balance the corrected cut
// and the corrected fill. It shows the corrected side's current rate and volume, the target
// (the other side) and the amended rate and volume; with cut correction the user picks the
// layers whose rates may change. The arithmetic is the core's (model/RateCalc.h): the amended
// volume is the calculation that applying runs, so the figure shown is the one applying gives.
// This window only shows it and stores the amended rates when the user applies them.

#include "model/RateCalc.h"
#include "platform/Progress.h"

#include <QDialog>
#include <QFont>
#include <QPoint>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TArrowMark;

class TTargetRateCalcForm : public QDialog {
    Q_OBJECT
public:
    // The modal result of "適用後再計算": the caller stores Simulation() and recalculates in
    // one step, which a cancel undoes whole.
    static constexpr int mrRecalc = 10;

    explicit TTargetRateCalcForm(QWidget* AOwner = nullptr);
    ~TTargetRateCalcForm() override;

    // Hands the project over, reads its totals and fills the dialog; before every Execute.
    void SetInputData(TInputData& Value);
    // True when closed with "適用後再計算", which leaves the storing to the caller.
    bool Execute();

    void CheckBox1Click(); // every layer check box
    void BitBtn2Click();   // both apply buttons
    void RecalcAmendment();
    const TRateSimulation& Simulation() const { return FSim; }

    QLineEdit* RateEdit;
    QLineEdit* DoryouEdit;
    QLineEdit* AmendRateEdit;
    QLineEdit* AmendDoryouEdit;
    QLineEdit* TargetEdit;
    TArrowMark* ArrowMark1;
    QGroupBox* CutGroup;
    std::array<QCheckBox*, 5> CheckBox;
    QLabel* Label7;       // the note on averaged rates
    QPushButton* BitBtn1; // "適用後再計算"
    QPushButton* BitBtn2; // "適用"
    QPushButton* BitBtn3; // cancel

protected:
    void hideEvent(QHideEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    // Runs the calculation of an amendment under the progress box; false when cancelled or
    // failed (the failure shown).
    bool Amend(const std::function<void(const TProgress&)>& Work);
    void ShowAmendment();

    TInputData* FInputData = nullptr;
    TCalcTotals FSumData;
    TRateSimulation FSim;
    QFont FEditFont;         // the figures' font before any fitting
    QPoint FPlace{360, 270}; // the frame's place: first the designed one, then where it was
};

// The simulator of the run, created at start-up.
extern TTargetRateCalcForm* TargetRateCalcForm;
