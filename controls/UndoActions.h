#pragma once
// The undo and redo of a window that takes steps back on a project's history: two actions on
// the window with the usual keys (redo answers both Ctrl+Y and Ctrl+Shift+Z, whatever the
// desktop's own choice) and the window's two buttons, all of them calling Step(true) to undo and
// Step(false) to redo. The window keeps the history and says when each may be used.

#include <functional>

class QAction;
class QAbstractButton;
class QWidget;

struct TUndoActions {
    QAction* Undo = nullptr;
    QAction* Redo = nullptr;
};

TUndoActions MakeUndoActions(QWidget* Window, QAbstractButton* UndoButton,
                             QAbstractButton* RedoButton, const std::function<void(bool)>& Step);
