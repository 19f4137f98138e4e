#include "ProgressRun.h"

#include "model/DataUnit.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace {

int BoxDelayMs = 400;
bool Running = false; // one long work at a time

// While the work runs, clicks, keys and closing reach only the box: elsewhere they would start
// other work on what this work is changing, and before the box shows nothing else holds them.
// Esc cancels wherever the focus is: it often stays in the window that started the work, under
// the box, which alone would not hear the key.
class THoldInput : public QObject {
public:
    THoldInput(QWidget& Box, std::function<void()> OnEscape)
        : FBox(Box), FOnEscape(std::move(OnEscape)) {
        qApp->installEventFilter(this);
    }
    ~THoldInput() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        // The shortcut check comes first and, held back, may be the only event the key makes.
        if ((Event->type() == QEvent::KeyPress || Event->type() == QEvent::ShortcutOverride) &&
            static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape &&
            qobject_cast<QWidget*>(Watched)) {
            FOnEscape();
            return true;
        }
        // Presses only: a release or a key going up starts nothing, and the windows' own
        // book-keeping of buttons held must see it. Held back at the widgets, not at the
        // windows, which keep that book.
        switch (Event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        const auto* w = qobject_cast<const QWidget*>(Watched);
        if (!w) // an action's shortcut starts work as a click on it would
            return Event->type() == QEvent::Shortcut;
        return w != &FBox && !FBox.isAncestorOf(w);
    }

private:
    QWidget& FBox;
    std::function<void()> FOnEscape;
};

} // namespace

void SetProgressBoxDelay(int Ms) {
    BoxDelayMs = Ms;
}

bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label,
                     const std::function<void(const TProgress&)>& Work) {
    // Input is held while work runs, but a timer or a program's own call could still start
    // more: that would run beside work on the same data, so it is refused as cancelled.
    if (Running)
        return false;
    struct TRunning {
        TRunning() { Running = true; }
        ~TRunning() { Running = false; }
    } running;
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false}, finished{false}, cancelled{false};
    std::exception_ptr error;
    QProgressDialog box(Label, QStringLiteral("キャンセル"), 0, 1000, Parent);
    box.setWindowTitle(Title);
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(BoxDelayMs);
    box.setAutoReset(false);
    box.setAutoClose(false);
    // A cancel leaves the box up, its button off, until the work has stopped: hidden at once,
    // within the click on its own button, it would swallow the user's next click elsewhere.
    QObject::disconnect(&box, &QProgressDialog::canceled, &box, &QProgressDialog::cancel);
    const auto onCancel = [&]() {
        if (cancel.exchange(true))
            return;
        box.setLabelText(QStringLiteral("キャンセルしています..."));
        for (QPushButton* b : box.findChildren<QPushButton*>())
            b->setEnabled(false);
    };
    QObject::connect(&box, &QProgressDialog::canceled, &box, onCancel);
    QObject::connect(&box, &QDialog::rejected, &box, onCancel); // Esc
    std::thread worker([&]() {
        try {
            Work([&](double done) {
                permille = static_cast<int>(std::clamp(done, 0.0, 1.0) * 1000);
                return !cancel.load();
            });
        } catch (const ECancelled&) {
            cancelled = true;
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    });
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&]() {
        if (!cancel)
            box.setValue(std::min(permille.load(), 999));
        if (finished)
            loop.quit();
    });
    tick.start(30);
    THoldInput hold(box, onCancel);
    loop.exec();
    worker.join();
    box.reset();
    if (error)
        std::rethrow_exception(error);
    return !cancelled;
}

bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label, TInputData& Data,
                     const std::function<void(const TProgress&)>& Work) {
    bool before[TInputData::PhaseCount];
    for (int i = 0; i < TInputData::PhaseCount; ++i)
        before[i] = Data.GetPhase(i);
    const TPhaseChange listener = Data.OnPhaseChange();
    Data.SetOnPhaseChange(nullptr);
    const auto tell = [&]() {
        Data.SetOnPhaseChange(listener);
        if (!listener)
            return;
        for (int i = 0; i < TInputData::PhaseCount; ++i)
            if (Data.GetPhase(i) != before[i])
                listener(Data, i, Data.GetPhase(i));
    };
    bool done;
    try {
        done = RunWithProgress(Parent, Title, Label, Work);
    } catch (...) {
        tell();
        throw;
    }
    tell();
    return done;
}
