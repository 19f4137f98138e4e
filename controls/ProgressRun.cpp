#include "ProgressRun.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

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
