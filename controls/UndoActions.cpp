#include "UndoActions.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeySequence>
#include <QWidget>

TUndoActions MakeUndoActions(QWidget* Window, QAbstractButton* UndoButton,
                             QAbstractButton* RedoButton, const std::function<void(bool)>& Step) {
    TUndoActions a;
    a.Undo = new QAction(QStringLiteral("元に戻す"), Window);
    a.Undo->setShortcuts(QKeySequence::Undo);
    a.Redo = new QAction(QStringLiteral("やり直し"), Window);
    a.Redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    Window->addAction(a.Undo);
    Window->addAction(a.Redo);
    QObject::connect(a.Undo, &QAction::triggered, Window, [Step]() { Step(true); });
    QObject::connect(a.Redo, &QAction::triggered, Window, [Step]() { Step(false); });
    QObject::connect(UndoButton, &QAbstractButton::clicked, Window, [Step]() { Step(true); });
    QObject::connect(RedoButton, &QAbstractButton::clicked, Window, [Step]() { Step(false); });
    return a;
}
