#pragma once
// The navigation window: the user's single point of control. It owns the one project model of
// the run, shows the work flow as picture buttons joined by arrows, enables each step once the
// project has reached the phase the step needs, and hands the model to the window a step opens.

#include <QMdiSubWindow>
#include <QString>

#include <memory>
#include <vector>

class QFrame;
class QUndoStack;
class TArrowMark;
class TImageButton;
class TInputData;

class TInputForm : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TInputForm(QWidget* AOwner = nullptr);
    ~TInputForm() override;

    TInputData& InputData() { return *FInputData; }
    QString FileName() const { return FFileName; }
    // The project's undo stack, handed to the windows that change it (the mesh data editor, the
    // summary with its simulator and plan balance): one history, taken back in any window.
    QUndoStack* UndoStack() const { return FUndoStack; }
    // Ends the history: another project took this one's place, or a change that is not a step
    // (base data, survey import) made the earlier steps meaningless.
    void ClearUndo();

    // The two halves of opening and saving behind the file dialogs; true when done.
    void LoadFile(const QString& FileName);
    bool SaveFile();

    // Whether the project differs from what was last opened or saved (a new project: from its
    // defaults), as its file would.
    bool Modified() const;
    // Before the project is let go (closing, opening another): when it changed, asks
    // "変更を保存しますか？" and saves on Yes. False when the user cancels or saving did not
    // happen, so the caller keeps the project.
    bool CanLeaveProject();

    // Handlers, named after the buttons they serve.
    void LoadButtonClick();
    // "新規": after the question about unsaved changes, a project on the standard settings.
    void NewButtonClick();
    void ImportButtonClick();
    void BaseInputClick();
    void MeshInputClick();
    // Runs the data checks; with serious findings asks once whether to calculate all the same.
    bool ConfirmFindings();
    void CalcButtonClick();
    void SumViewButtonClick();
    void DetailViewButtonClick();
    void InputPrintButtonClick();
    void CalcPrintButtonClick();
    void MapButtonClick();
    void AllocationButtonClick();
    void SaveButtonClick();
    void SaveAsButtonClick();
    // The handlers' work, answering whether the project was written.
    bool Save();
    bool SaveAs();
    void PhaseChanged(TInputData& Sender, int Phase, bool Value);

    // "ナビゲーション [plan.old]" for .../plan.old.msh: the folder and the last extension go.
    static QString CaptionFor(const QString& FileName);

    QWidget* Panel1;
    TImageButton* ImageButton1;
    TImageButton* ImageButton2;
    TImageButton* MeshInputButton;
    TImageButton* ImportButton;
    TImageButton* CalcButton;
    TImageButton* ImageButton3;
    TImageButton* ImageButton4;
    TImageButton* InputPrintButton;
    TImageButton* SumViewButton;
    TImageButton* DetailViewButton;
    TImageButton* CalcPrintButton;
    TImageButton* MapButton;
    TArrowMark* ArrowMark1;
    TArrowMark* ArrowMark2;
    TArrowMark* ArrowMark3;
    TArrowMark* ArrowMark4;
    TArrowMark* ArrowMark5;
    TArrowMark* ArrowMark6;
    TArrowMark* ArrowMark7;
    QFrame* Bevel1;
    QFrame* Bevel2;
    TImageButton* AllocationButton; // "土量配分"
    TImageButton* NewButton;        // "新規"

protected:
    // Closing only minimises: the project lives as long as the program.
    void closeEvent(QCloseEvent* Event) override;
    // A fixed single border: the size is pinned except while minimised.
    void changeEvent(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void FormCreate();
    std::vector<TImageButton*> PhaseButtons(int Phase) const;
    void PinSize();
    void SetProjectFile(const QString& FileName);
    void MarkUnmodified();

    QString FFileName;
    size_t FSavedHash = 0; // of the file image when last opened or saved
    std::unique_ptr<TInputData> FInputData;
    QUndoStack* FUndoStack = nullptr;
};
