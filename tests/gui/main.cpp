#include "app/AppSetup.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Also when the tests are listed or run by hand: the windows never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetupApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
