#include "controls/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

TKeyPreview::TKeyPreview(QWidget* Window, THandler Handle)
    : QObject(Window), FWindow(Window), FHandle(std::move(Handle)) {
    // A hidden window's controls get no keys, so the filter can stay for the window's life.
    qApp->installEventFilter(this);
}

bool TKeyPreview::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() != QEvent::KeyPress || !Watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(Watched);
    if (w != FWindow && !FWindow->isAncestorOf(w))
        return false;
    return FHandle(w, *static_cast<QKeyEvent*>(Event));
}
