// Esc cancels long work wherever the focus is: in the dialog that started it (the import, the
// plan balance), under the box, the key must still reach the cancel and must not close that
// dialog.

#include "ModalDriver.h"

#include "controls/ProgressRun.h"

#include <QDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(ProgressEscape, EscInTheStartingDialogCancelsTheWork) {
    SetProgressBoxDelay(0);
    QDialog starter;
    auto* edit = new QLineEdit(&starter);
    (new QVBoxLayout(&starter))->addWidget(edit);
    bool done = true, starterOpen = false;
    std::atomic<bool> heardCancel{false};
    WhenModal(
        [&](QWidget*) {
            edit->setFocus();
            // Once the box is up, Esc where the user was typing: the focus stays there.
            auto* watch = new QTimer(&starter);
            QObject::connect(watch, &QTimer::timeout, [&, watch]() {
                auto* box = starter.findChild<QProgressDialog*>();
                if (!box || !box->isVisible())
                    return;
                watch->stop();
                QTest::keyClick(edit, Qt::Key_Escape);
            });
            watch->start(5);
            done =
                RunWithProgress(&starter, QStringLiteral("取込"), QStringLiteral("作業中..."),
                                [&](const TProgress& Progress) {
                                    for (int i = 0; i < 2000; ++i) {
                                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                        if (!Progress(i / 2000.0)) {
                                            heardCancel = true;
                                            throw ECancelled();
                                        }
                                    }
                                });
            starterOpen = starter.isVisible();
            starter.accept();
        },
        [&](QWidget* W) { return W == &starter; });
    starter.exec();
    SetProgressBoxDelay(400);
    EXPECT_FALSE(done) << "Esc cancelled the work";
    EXPECT_TRUE(heardCancel);
    EXPECT_TRUE(starterOpen) << "Esc went to the work, not to the dialog under the box";
}
