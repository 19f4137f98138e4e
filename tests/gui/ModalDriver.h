#pragma once
// Drives modal windows from a test: the action runs on the next modal window that opens,
// while the code under test waits in that window's exec(). A window that never opens fails
// the test, at the timeout or at the latest when the test ends (the code under test may
// simply have returned without opening it).

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

// Long enough for a file dialog's first opening under the sanitizers on a loaded machine.
constexpr int ModalTimeoutMs = 10000;

namespace modal_driver {

// The watchers still waiting for their window, with the place that asked for it.
inline std::map<QTimer*, std::pair<const char*, int>>& Pending() {
    static std::map<QTimer*, std::pair<const char*, int>> pending;
    return pending;
}

inline QString Describe(const QWidget* W) {
    return QStringLiteral("\"%1\" (%2)")
        .arg(W->windowTitle(), QString::fromLatin1(W->metaObject()->className()));
}

// Closes a modal window as Esc or the title bar's close would.
inline void CloseModal(QWidget* W) {
    if (auto* dialog = qobject_cast<QDialog*>(W))
        dialog->reject();
    else
        W->close();
}

} // namespace modal_driver

// Filter picks the window (default: any modal window). File and Line name the caller in the
// failure message.
inline void WhenModal(std::function<void(QWidget*)> Action,
                      std::function<bool(QWidget*)> Filter = nullptr,
                      int TimeoutMs = ModalTimeoutMs, const char* File = __builtin_FILE(),
                      int Line = __builtin_LINE()) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    modal_driver::Pending()[timer] = {File, Line};
    QObject::connect(timer, &QTimer::timeout, [=]() {
        QWidget* w = QApplication::activeModalWidget();
        const bool match = w && w->isVisible() && (!Filter || Filter(w));
        if (!match && clock->elapsed() <= TimeoutMs)
            return;
        modal_driver::Pending().erase(timer);
        timer->stop();
        timer->deleteLater();
        if (match) {
            Action(w);
            return;
        }
        // Whatever holds the test up instead is closed, so that the test ends now.
        ADD_FAILURE_AT(File, Line)
            << "the modal window this test waits for did not open within " << TimeoutMs << " ms"
            << (w ? (QStringLiteral("; open instead, now closed: ") + modal_driver::Describe(w))
                        .toStdString()
                  : std::string());
        if (w)
            modal_driver::CloseModal(w);
    });
    timer->start();
}

// Fails the running test for every window it waited for that never opened, and stops
// waiting. The test program calls it when each test ends.
inline void FailPendingModalWatchers() {
    auto pending = std::move(modal_driver::Pending());
    modal_driver::Pending().clear();
    for (auto& [timer, where] : pending) {
        ADD_FAILURE_AT(where.first, where.second)
            << "the modal window this test waits for never opened before the test ended";
        delete timer;
    }
}

// Runs Act and closes every modal window that it opens, as Esc would; names the windows
// in the order they opened, "TCalcOutForm,QFileDialog/save" (file dialogs with their mode),
// "" for none. Opening nothing is an answer too: the watch ends with Act.
inline std::string ModalsOpenedBy(const std::function<void()>& Act) {
    QStringList opened;
    const QPointer<QWidget> before = QApplication::activeModalWidget(); // an outer window
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&]() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == before)
            return;
        QString name = QString::fromLatin1(w->metaObject()->className());
        if (auto* files = qobject_cast<QFileDialog*>(w))
            name += files->acceptMode() == QFileDialog::AcceptOpen ? QStringLiteral("/open")
                                                                   : QStringLiteral("/save");
        opened << name;
        modal_driver::CloseModal(w);
    });
    watch.start();
    Act();
    return opened.join(QLatin1Char(',')).toStdString();
}

// The same for a left click in the middle of Button.
inline std::string ModalsOpenedByClick(QWidget* Button) {
    return ModalsOpenedBy([Button] { QTest::mouseClick(Button, Qt::LeftButton); });
}

// Answers the next message box with the given button and hands back its text.
inline void AnswerMessageBox(QMessageBox::StandardButton Button, QString* Text = nullptr,
                             QString* Title = nullptr, const char* File = __builtin_FILE(),
                             int Line = __builtin_LINE()) {
    WhenModal(
        [Button, Text, Title](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            if (Text)
                *Text = box->text();
            if (Title)
                *Title = box->windowTitle();
            box->button(Button)->click();
        },
        [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }, ModalTimeoutMs, File,
        Line);
}
