#pragma once
// The mesh data editor: the user types one mesh point in the entry row and registers it, browses
// the registered points through the X and Y trees and the list, loads one into the entry row by
// clicking it or by typing its numbers, deletes it, or exports all points as CSV. The project is
// changed at once by every registration and deletion; the window keeps no copy of it.

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QUndoStack>

#include <memory>
#include <vector>

class QKeyEvent;
class QAction;
class QFileDialog;
class QFrame;
class QPainter;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTreeView;
class QTreeWidget;
class TInputData;
class TMeshListModel;
class TMeshNode;
class TMeshTree;
class TStringGrid;
struct TGridData;

class TMeshInputForm : public QDialog {
    Q_OBJECT
public:
    explicit TMeshInputForm(QWidget* AOwner = nullptr);
    ~TMeshInputForm() override;

    // The InputData property: binds the window to a project (not owned) and rebuilds the list
    // columns and both trees. Binding another project, or one whose mesh in the entry row has
    // gone, empties the entry row. Steps is the project's undo stack (not owned): registrations
    // and deletions go on it and outlive the window's closing; without one the window keeps
    // its own steps, which end with the binding.
    void SetInputData(TInputData* Value, QUndoStack* Steps = nullptr);
    TInputData* InputData() const { return FInputData; }

    // Shows the window modally.
    void Execute();
    // Puts the point with these numbers into the entry row and lists it alone, as clicking it
    // in a tree does; where there is none, the row holds only the numbers, ready for typing
    // the point in. Between SetInputData and Execute.
    void ShowMesh(int32_t X, int32_t Y);

    // The printed input listing.
    void InputPrintOut();

    // Handlers, named after the controls and actions they serve.
    void Button1Click();
    void ActDelItemExecute();
    void ActCsvOutputExecute();
    // The writing half of the export; a failure shows the error box. True when written.
    bool CsvOutputTo(const QString& FileName);
    void ActInputPrintExecute();
    void TreeClick(QTreeWidget* Tree);
    void ListView1Click();
    void ListView1ColumnClick(int Column);

    // Puts one mesh of the list into the given state (DelFlg: not there) through the model,
    // and makes the trees and the list follow; the undo steps use it.
    void PutMesh(const TGridData& State);
    // Which tree groups the numbers have (1 the X group, 2 the Y group), and the removal of
    // those a step added, once empty.
    int GroupsOf(int32_t X, int32_t Y) const;
    void RemoveAddedGroups(int32_t X, int32_t Y, int GroupsBefore);
    QUndoStack* UndoStack() const { return FUndoStack; }
    // "元に戻す" (Undo true) or "やり直し" on the bound stack, whichever window's step is next.
    void TakeStep(bool Undo);

    // Whether an entry column may be typed in with the project's settings.
    bool IsCellEditable(int Col) const;
    int InputIndex() const { return FInputIndex; }
    TMeshNode* XTopNode() const;
    TMeshNode* YTopNode() const;
    TMeshListModel* ListModel() const { return FListModel; }
    int MinWidth() const { return FMinWidth; }

    // Controls, named as designed.
    QWidget* Panel1;
    TStringGrid* StringGrid1;
    QWidget* Panel3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* UndoButton;
    QPushButton* RedoButton;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QFrame* Panel2;
    QWidget* PageControl1;
    QPushButton* TabButton1;
    QPushButton* TabButton2;
    QStackedWidget* TabSheets;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QTreeWidget* TreeViewX;
    QTreeWidget* TreeViewY;
    QSplitter* Splitter1;
    QTreeView* ListView1;
    QAction* ActDelItem;
    QAction* ActInputPrint;
    QAction* ActCsvOutput;
    QAction* ActUndo;
    QAction* ActRedo;
    QFileDialog* SaveDialog1 = nullptr; // made on first use

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // Closing ends the use of the project: the window lets go of it.
    void done(int Result) override;

private:
    void FormCreate();
    void BuildPanels();
    void StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col, int Row) const;
    void StringGrid1SelectCell(int Col, int PrevCol);
    void ClampListColumn(int Column, int Width);
    // The Enter key; true when it was used up by the cell walk.
    bool FormKeyPress();
    bool EnterKey(QWidget* Receiver, const QKeyEvent& Key);
    bool GridIsActive() const;

    void LoadEntryRow(const TGridData& Mesh);
    // The entry row as a mesh (GridDataInputUnitEntry.cpp); false when a cell was refused or
    // the user declined an implausible value, with the focus then on that cell.
    bool ReadEntryRowChecked(TGridData& Mesh);
    bool ReadMeshNumber(int Col, int32_t& Value);
    bool ReadMeshValue(int Col, double& Value);
    bool EntryValuePlausible(int Col, double Value);
    bool RefuseEntryCell(int Col, const QString& Text);
    void FocusEntryCell(int Col);
    QString EntryCellName(int Col) const;
    // A typed number, leniently: a text that is no number, or none a double can hold, reads
    // as 0.
    static double ReadReal(const QString& Text);
    void ClearEntryRow();
    void MoveToFirstColumn();
    void FillListItem(const TGridData& Mesh);
    // Undo (GridDataInputUnitUndo.cpp): each registration and deletion becomes a step.
    void BuildUndo();
    void UseUndoStack(QUndoStack* Stack);
    void ShowUndoState();
    void RecordRegistration(TGridData Mesh);
    void RecordDeletion(int32_t Index);
    void MeshFollows(int32_t X, int32_t Y, int32_t Index);
    bool PassesFilter(const TGridData& Mesh) const;
    void SetLayerHeaders();

    TInputData* FInputData = nullptr;
    const TInputData* FLastProject = nullptr; // only compared, never used: who was bound last
    int FMinWidth = 0;
    int FFilterX = 0;
    int FFilterY = 0;
    int FFilterC = 0;
    int FInputIndex = 0;
    bool FMovingByProgram = false;
    QIcon FNodeIcon;
    std::unique_ptr<TMeshTree> FXTree;
    std::unique_ptr<TMeshTree> FYTree;
    TMeshListModel* FListModel;
    QUndoStack* FOwnUndoStack = nullptr; // the steps of a binding without the project's stack
    QPointer<QUndoStack> FUndoStack;     // the steps in use: the project's, or the own
    std::vector<QMetaObject::Connection> FUndoLinks;
};

// The one mesh data editor of the run, made on first use.
extern TMeshInputForm* MeshInputForm;
