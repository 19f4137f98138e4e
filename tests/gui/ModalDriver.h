#pragma once
// Drives modal windows from a test: the action runs on the next modal window that opens,
// while the code under test waits in that window's exec().

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Filter picks the window (default: any modal window).
inline void WhenModal(std::function<void(QWidget*)> Action,
                      std::function<bool(QWidget*)> Filter = nullptr) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, Action, Filter]() {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && (!Filter || Filter(w))) {
            timer->stop();
            timer->deleteLater();
            Action(w);
        } else if (clock->elapsed() > 30000) {
            // The window never came (a slow file dialog under load gets half a minute).
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Answers the next message box with the given button and hands back its text.
inline void AnswerMessageBox(QMessageBox::StandardButton Button, QString* Text = nullptr,
                             QString* Title = nullptr) {
    WhenModal(
        [Button, Text, Title](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            if (Text)
                *Text = box->text();
            if (Title)
                *Title = box->windowTitle();
            box->button(Button)->click();
        },
        [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; });
}
