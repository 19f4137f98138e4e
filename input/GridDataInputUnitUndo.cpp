// Registering and deleting in the mesh data editor can be taken back and done again, any number
// of steps, while the window is open. A step holds the state of one mesh of the list before and
// after it; a state is put back through the model's own operations, so the phases follow as for
// the user's change, and the trees and the list then follow the model.

#include "GridDataInputUnit.h"

#include "GridDataInputUnitList.h"
#include "GridDataInputUnitTree.h"
#include "controls/MessageBoxes.h"
#include "model/DataUnit.h"

#include <QAction>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

class TMeshEditCommand : public QUndoCommand {
public:
    // A state with DelFlg set is a mesh that is not there: deleted, or not yet added.
    TMeshEditCommand(TMeshInputForm& Form, const QString& Text, const TGridData& Before,
                     const TGridData& After)
        : QUndoCommand(Text), FForm(Form), FBefore(Before), FAfter(After) {}
    void undo() override {
        FForm.PutMesh(FBefore);
        FForm.RemoveAddedGroups(FBefore.X, FBefore.Y, FGroupsBefore);
    }
    void redo() override {
        if (FGroupsBefore < 0)
            FGroupsBefore = FForm.GroupsOf(FAfter.X, FAfter.Y);
        FForm.PutMesh(FAfter);
    }

private:
    TMeshInputForm& FForm;
    TGridData FBefore, FAfter;
    int FGroupsBefore = -1; // the tree groups the numbers had before the first redo
};

QString Place(const TGridData& Mesh) {
    return QStringLiteral("(%1,%2)").arg(Mesh.X).arg(Mesh.Y);
}

} // namespace

void TMeshInputForm::BuildUndo() {
    FUndoStack = new QUndoStack(this);
    ActUndo = FUndoStack->createUndoAction(this, QStringLiteral("元に戻す"));
    ActUndo->setShortcuts(QKeySequence::Undo);
    ActRedo = FUndoStack->createRedoAction(this, QStringLiteral("やり直し"));
    // Both usual keys, whatever the desktop's own choice.
    ActRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    addAction(ActUndo);
    addAction(ActRedo);
    for (QWidget* w : {static_cast<QWidget*>(TreeViewX), static_cast<QWidget*>(TreeViewY),
                       static_cast<QWidget*>(ListView1)}) {
        w->setContextMenuPolicy(Qt::ActionsContextMenu);
        w->addAction(ActUndo);
        w->addAction(ActRedo);
    }
    connect(UndoButton, &QPushButton::clicked, FUndoStack, &QUndoStack::undo);
    connect(RedoButton, &QPushButton::clicked, FUndoStack, &QUndoStack::redo);
    connect(FUndoStack, &QUndoStack::canUndoChanged, UndoButton, &QPushButton::setEnabled);
    connect(FUndoStack, &QUndoStack::canRedoChanged, RedoButton, &QPushButton::setEnabled);
    UndoButton->setEnabled(false);
    RedoButton->setEnabled(false);
}

void TMeshInputForm::RecordRegistration(TGridData Mesh) {
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
    FUndoStack->push(
        new TMeshEditCommand(*this, QStringLiteral("登録 ") + Place(Mesh), before, Mesh));
}

void TMeshInputForm::RecordDeletion(int32_t Index) {
    const TGridData before = FInputData->GetIndexToData(Index - 1);
    TGridData after = before;
    after.DelFlg = true;
    FUndoStack->push(
        new TMeshEditCommand(*this, QStringLiteral("削除 ") + Place(before), before, after));
}

void TMeshInputForm::PutMesh(const TGridData& State) {
    if (!FInputData)
        return;
    RunGuarded(this, [&]() {
        const TGridData now = FInputData->GetIndexToData(State.Index - 1);
        if (State.DelFlg) {
            // The model deletes by numbers the last live mesh that has them; the steps are
            // taken back in order, so that is this one.
            if (now.Index > 0 && FInputData->GetXYToData(now.X, now.Y).Index == now.Index)
                FInputData->DeleteMeshData(now.X, now.Y);
        } else {
            TGridData d = State;
            if (d.Index > FInputData->MeshCount())
                d.Index = 0; // first registration: appended, and so at State.Index
            FInputData->SetMeshData(d);
        }
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
