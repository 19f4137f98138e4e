#pragma once
// A window that sees key presses before its controls do (grid editors and scroll areas
// included): every key press aimed at the window or a control inside it goes to Handle first,
// which answers whether the key is used up. Other windows, the dialogs the window opens among
// them, are not inside it. Lives as a child of the window.

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

class TKeyPreview : public QObject {
public:
    // Receiver: the widget the key is on its way to (the focused control, then each parent
    // that the ignored key travels on to).
    using THandler = std::function<bool(QWidget* Receiver, QKeyEvent& Key)>;
    TKeyPreview(QWidget* Window, THandler Handle);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* FWindow;
    THandler FHandle;
};
