#include "ModalDriver.h"

#include "app/AppSetup.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// A modal window that a test waited for and that never opened fails that test, even when the
// code under test returned without it.
class TModalWatchCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override { FailPendingModalWatchers(); }
};

} // namespace

int main(int argc, char** argv) {
    // Also when the tests are listed or run by hand: the windows never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    ::testing::InitGoogleTest(&argc, argv);
    // Appended last, it sees each test's end before the result printer reports it.
    ::testing::UnitTest::GetInstance()->listeners().Append(new TModalWatchCheck);
    return RUN_ALL_TESTS();
}
