// Registering and deleting in the mesh data editor can be taken back and done again, any number
// of steps. A step holds the state of one mesh of the list before and after it; a state is put
// back through the model's own operations, so the phases follow as for the user's change, and
// the trees and the list then follow the model. Bound with the project's own undo stack (the
// navigation window's), the steps live as long as the project and may be taken back while the
// editor is closed, from the summary, in any order with the summary's steps; bound without one,
// the window keeps steps of its own for one showing.

#include "GridDataInputUnit.h"

#include "GridDataInputUnitList.h"
#include "GridDataInputUnitTree.h"
#include "controls/MessageBoxes.h"
#include "controls/UndoActions.h"
#include "model/DataUnit.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

// Puts one mesh of the list into State through the model (DelFlg: not there).
void PutMeshState(TInputData& Data, const TGridData& State) {
    const TGridData now = Data.GetIndexToData(State.Index - 1);
    if (State.DelFlg) {
        // The model deletes by numbers the last live mesh that has them; the steps are taken
        // back in order, so that is this one.
        if (now.Index > 0 && Data.GetXYToData(now.X, now.Y).Index == now.Index)
            Data.DeleteMeshData(now.X, now.Y);
    } else {
        TGridData d = State;
        if (d.Index > Data.MeshCount())
            d.Index = 0; // first registration: appended, and so at State.Index
        Data.SetMeshData(d);
    }
}

class TMeshEditCommand : public QUndoCommand {
public:
    // A state with DelFlg set is a mesh that is not there: deleted, or not yet added.
    TMeshEditCommand(TMeshInputForm& Form, TInputData& Data, const QString& Text,
                     const TGridData& Before, const TGridData& After)
        : QUndoCommand(Text), FForm(&Form), FData(Data), FBefore(Before), FAfter(After) {}
    void undo() override {
        if (!Shown()) {
            PutMeshState(FData, FBefore);
            return;
        }
        FForm->PutMesh(FBefore);
        FForm->RemoveAddedGroups(FBefore.X, FBefore.Y, FGroupsBefore);
    }
    void redo() override {
        if (!Shown()) {
            PutMeshState(FData, FAfter);
            return;
        }
        if (FGroupsBefore < 0)
            FGroupsBefore = FForm->GroupsOf(FAfter.X, FAfter.Y);
        FForm->PutMesh(FAfter);
    }

private:
    // The editor shows the project: its trees and list follow the step. Else only the model
    // changes, and the editor builds them from it when it is opened.
    bool Shown() const { return FForm && FForm->InputData() == &FData; }

    QPointer<TMeshInputForm> FForm;
    TInputData& FData;
    TGridData FBefore, FAfter;
    int FGroupsBefore = -1; // the tree groups the numbers had before the first redo
};

QString Place(const TGridData& Mesh) {
    return QStringLiteral("(%1,%2)").arg(Mesh.X).arg(Mesh.Y);
}

} // namespace

void TMeshInputForm::BuildUndo() {
    FOwnUndoStack = new QUndoStack(this);
    const TUndoActions actions =
        MakeUndoActions(this, UndoButton, RedoButton, [this](bool Undo) { TakeStep(Undo); });
    ActUndo = actions.Undo;
    ActRedo = actions.Redo;
    for (QWidget* w : {static_cast<QWidget*>(TreeViewX), static_cast<QWidget*>(TreeViewY),
                       static_cast<QWidget*>(ListView1)}) {
        w->setContextMenuPolicy(Qt::ActionsContextMenu);
        w->addAction(ActUndo);
        w->addAction(ActRedo);
    }
    UseUndoStack(FOwnUndoStack);
}

void TMeshInputForm::UseUndoStack(QUndoStack* Stack) {
    if (Stack == FUndoStack)
        return;
    for (const QMetaObject::Connection& c : FUndoLinks)
        disconnect(c);
    FUndoLinks.clear();
    FUndoStack = Stack;
    if (Stack) {
        FUndoLinks.push_back(
            connect(Stack, &QUndoStack::indexChanged, this, &TMeshInputForm::ShowUndoState));
        FUndoLinks.push_back(
            connect(Stack, &QUndoStack::canUndoChanged, this, &TMeshInputForm::ShowUndoState));
        FUndoLinks.push_back(
            connect(Stack, &QUndoStack::canRedoChanged, this, &TMeshInputForm::ShowUndoState));
    }
    ShowUndoState();
}

void TMeshInputForm::ShowUndoState() {
    const bool undo = FUndoStack && FUndoStack->canUndo();
    const bool redo = FUndoStack && FUndoStack->canRedo();
    UndoButton->setEnabled(undo);
    RedoButton->setEnabled(redo);
    ActUndo->setEnabled(undo);
    ActRedo->setEnabled(redo);
    ActUndo->setText(undo ? QStringLiteral("元に戻す ") + FUndoStack->undoText()
                          : QStringLiteral("元に戻す"));
    ActRedo->setText(redo ? QStringLiteral("やり直し ") + FUndoStack->redoText()
                          : QStringLiteral("やり直し"));
    // A step of another window (the plan balance's) may have moved every planned height; the
    // list formats its rows from the model when they are drawn.
    ListView1->viewport()->update();
}

void TMeshInputForm::TakeStep(bool Undo) {
    if (!FUndoStack)
        return;
    // A step of another window may recalculate the project; the model's failure ends here.
    RunGuarded(this, [&]() {
        if (Undo)
            FUndoStack->undo();
        else
            FUndoStack->redo();
    });
}

void TMeshInputForm::RecordRegistration(TGridData Mesh) {
    if (!FUndoStack) // the project's stack went with its owner
        UseUndoStack(FOwnUndoStack);
    TGridData before;
    if (Mesh.Index > 0) {
        before = FInputData->GetIndexToData(Mesh.Index - 1);
    } else {
        // Added at the end of the list; taking it back leaves it deleted there.
        before = Mesh;
        before.Index = FInputData->MeshCount() + 1;
        before.DelFlg = true;
    }
    Mesh.Index = before.Index;
    Mesh.DelFlg = false;
    FUndoStack->push(new TMeshEditCommand(*this, *FInputData, QStringLiteral("登録 ") + Place(Mesh),
                                          before, Mesh));
}

void TMeshInputForm::RecordDeletion(int32_t Index) {
    if (!FUndoStack)
        UseUndoStack(FOwnUndoStack);
    const TGridData before = FInputData->GetIndexToData(Index - 1);
    TGridData after = before;
    after.DelFlg = true;
    FUndoStack->push(new TMeshEditCommand(*this, *FInputData,
                                          QStringLiteral("削除 ") + Place(before), before, after));
}

void TMeshInputForm::PutMesh(const TGridData& State) {
    if (!FInputData)
        return;
    RunGuarded(this, [&]() {
        PutMeshState(*FInputData, State);
        MeshFollows(State.X, State.Y, State.Index);
    });
}

int TMeshInputForm::GroupsOf(int32_t X, int32_t Y) const {
    return (FXTree->FindGroup(X) ? 1 : 0) | (FYTree->FindGroup(Y) ? 2 : 0);
}

void TMeshInputForm::RemoveAddedGroups(int32_t X, int32_t Y, int GroupsBefore) {
    // Only groups the step itself added: a deletion leaves its group, and so does its undo.
    if (!(GroupsBefore & 1))
        FXTree->RemoveGroupIfEmpty(X);
    if (!(GroupsBefore & 2))
        FYTree->RemoveGroupIfEmpty(Y);
}

void TMeshInputForm::MeshFollows(int32_t X, int32_t Y, int32_t Index) {
    // The trees show one node for the numbers, naming the live mesh the model finds by them.
    const int32_t named = FInputData->GetXYToData(X, Y).Index;
    if (named > 0) {
        const TGridData m = FInputData->GetIndexToData(named - 1);
        FXTree->AddToTree(m);
        FYTree->AddToTree(m);
    }
    FXTree->SetMeshIndex(X, Y, named);
    FYTree->SetMeshIndex(X, Y, named);
    const TGridData m = FInputData->GetIndexToData(Index - 1);
    if (m.Index > 0)
        FillListItem(m);
    else
        FListModel->RemoveIndex(Index);
    // The row no longer describes a mesh that has gone.
    if (FInputIndex > 0 && FInputData->GetIndexToData(FInputIndex - 1).Index == 0)
        FInputIndex = 0;
}
