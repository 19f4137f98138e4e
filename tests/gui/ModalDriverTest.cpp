// The modal-window helper itself: a window that never opens fails the test, and does not
// hold it up.

#include "ModalDriver.h"

#include <QDialog>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

TEST(ModalDriver, AWindowThatNeverOpensFailsTheTest) {
    // The code under test returned without opening it: the test's end tells.
    EXPECT_NONFATAL_FAILURE(
        {
            WhenModal([](QWidget*) {});
            FailPendingModalWatchers();
        },
        "never opened before the test ended");
    // Another window opened instead: failed at the timeout, and that window closed.
    EXPECT_NONFATAL_FAILURE(
        {
            QDialog other;
            other.setWindowTitle(QStringLiteral("別の窓"));
            WhenModal([](QWidget*) {}, [](QWidget*) { return false; }, 50);
            EXPECT_EQ(other.exec(), QDialog::Rejected);
        },
        "did not open within 50 ms; open instead, now closed: \"別の窓\" (QDialog)");
}

TEST(ModalDriver, ModalsOpenedByNamesAndClosesEachWindow) {
    EXPECT_EQ(ModalsOpenedBy([] {}), "");
    int answers = 0;
    const std::string opened = ModalsOpenedBy([&answers] {
        QDialog first;
        QFileDialog second;
        second.setAcceptMode(QFileDialog::AcceptSave);
        answers = first.exec() + second.exec();
    });
    EXPECT_EQ(opened, "QDialog,QFileDialog/save");
    EXPECT_EQ(answers, 0) << "both cancelled";
}
