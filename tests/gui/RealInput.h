#pragma once
// Mouse and keys as the system delivers them: clicks enter through the window (so that focus,
// activation and double-click detection run as for a user), and each key goes to whichever
// control has the focus at that moment.

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>

// A click, or a double click (press, release, press, release at one time), at Pos in W.
inline void ClickWidget(QWidget* W, QPoint Pos = QPoint(), bool Double = false) {
    if (Pos.isNull())
        Pos = W->rect().center();
    QWidget* top = W->window();
    const QPoint at = W->mapTo(top, Pos);
    if (Double)
        QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, at);
}

inline void TypeKeys(const QString& Text) {
    for (QChar c : Text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}
