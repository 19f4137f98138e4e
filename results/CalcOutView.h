#pragma once
// The calculation summary ("計算結果"): the project totals as one small owner-drawn table of
// plain volumes, change rates and corrected volumes, with the surplus or shortage of soil.
// From it the user opens the detail list, the change-rate simulator, the plan balance and the
// comparison of the three methods, and writes the table as a comma-separated file. The table's
// texts come from the core (BuildCalcSummary), so the window, its file and doryou-cli agree.
// Applying rates or a plan shift is one step each on the project's undo stack, taken back and
// done again here ("元に戻す", "やり直し") or in the mesh data editor, in any order.

#include "model/CalcSummary.h"
#include "platform/Progress.h"

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QUndoStack>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPainter;
class QPushButton;
class QUndoCommand;
class TInputData;
class TStringGrid;

class TCalcOutForm : public QDialog {
    Q_OBJECT
public:
    explicit TCalcOutForm(QWidget* AOwner = nullptr);
    ~TCalcOutForm() override;

    // Hands the project over and reads its totals; before every Execute. Steps is the project's
    // undo stack (not owned), on which the applies are put; without one they cannot be taken
    // back.
    void SetInputData(TInputData& Value, QUndoStack* Steps = nullptr);
    void Execute();

    // The table as shown, kept until the next recalculation from this window.
    const TCalcSummary& Summary() const { return FSummary; }
    void FillSummaryValues();

    void BitBtn2Click(); // "CSV出力"
    void BitBtn3Click(); // "詳細"
    void BitBtn4Click(); // "変化率調整計算"
    void BitBtn5Click(); // "計算方法の比較"
    void BitBtn6Click(); // "計画高調整"
    // "元に戻す" (Undo true) or "やり直し": the next step of the project's stack, whichever window
    // took it; the table then shows the project as it is.
    void TakeStep(bool Undo);

    QWidget* Panel1;
    QLabel* Image1;
    TStringGrid* StringGrid1;
    QPushButton* BitBtn1; // close
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;
    QPushButton* UndoButton;
    QPushButton* RedoButton;
    QAction* ActUndo; // Ctrl+Z
    QAction* ActRedo; // Ctrl+Y, Ctrl+Shift+Z

protected:
    void hideEvent(QHideEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void FormShow();
    // The table shows the volumes of rates (or of a plan) no longer stored: greyed, its
    // commands off, until the next showing.
    void SetOutdated(bool Value, const QString& Changed = QStringLiteral("変化率"));
    // Runs Work on the project under the progress box and, when it runs to its end, shows the
    // new totals. False when cancelled or failed, or when the window let the project go
    // meanwhile (the project is held while the work runs).
    bool Recalculate(const std::function<void(TInputData&, const TProgress&)>& Work);
    void StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col, int Row) const;
    // Puts a change already made on the stack as one step.
    void PushStep(std::unique_ptr<QUndoCommand> Step);
    void ShowUndoState();

    TInputData* FInputData = nullptr;
    QPointer<QUndoStack> FUndoStack;
    TCalcSummary FSummary;
    QPoint FPlace{380, 249}; // the frame's place: first the designed one, then where it was
};

// The summary window of the run, created at start-up.
extern TCalcOutForm* CalcOutForm;

// After a calculation: a warning box when volumes of calculated meshes stopped at the limit of
// their 32-bit fields, so that totals short of the truth are never passed on in silence.
void WarnSaturatedMeshes(QWidget* Parent, const TInputData& Data);
