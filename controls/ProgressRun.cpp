#include "ProgressRun.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// Input to the windows waits while the work runs: the work reads what they would change, and
// the box, modal once shown, is not there for its first moments. Only the box takes input.
class TInputHold : public QObject {
public:
    explicit TInputHold(QProgressDialog& Box) : FBox(Box) { qApp->installEventFilter(this); }
    ~TInputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        switch (Event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        if (auto* w = qobject_cast<QWidget*>(Watched); w && (w == &FBox || FBox.isAncestorOf(w)))
            return false;
        if (Watched == FBox.windowHandle())
            return false;
        Event->ignore();
        return true;
    }

private:
    QProgressDialog& FBox;
};

} // namespace

bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label,
                     const std::function<void(const TProgress&)>& Work) {
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false}, finished{false}, cancelled{false};
    std::exception_ptr error;
    QProgressDialog box(Label, QStringLiteral("キャンセル"), 0, 1000, Parent);
    box.setWindowTitle(Title);
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(400);
    box.setAutoReset(false);
    box.setAutoClose(false);
    const TInputHold hold(box);
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
        if (box.wasCanceled())
            cancel = true;
        else
            box.setValue(std::min(permille.load(), 999));
        if (finished)
            loop.quit();
    });
    tick.start(30);
    loop.exec();
    worker.join();
    box.reset();
    if (error)
        std::rethrow_exception(error);
    return !cancelled;
}
