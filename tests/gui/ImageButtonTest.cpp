#include "controls/ImageButton.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QPixmap Filled(const QColor& c) {
    QPixmap pm(8, 8);
    pm.fill(c);
    return pm;
}

// A shown button with four plain colours as pictures, inside a host so the pointer can leave.
struct ButtonFixture : testing::Test {
    QWidget host;
    TImageButton* button = new TImageButton(&host);
    QSignalSpy clicks{button, &TImageButton::clicked};

    void SetUp() override {
        host.resize(200, 100);
        button->setGeometry(10, 10, 112, 40);
        button->SetNormalImage(Filled(Qt::red));
        button->SetDownImage(Filled(Qt::green));
        button->SetMouseOnImage(Filled(Qt::blue));
        button->SetNotEnableImage(Filled(Qt::gray));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    QColor Shown() { return button->grab().toImage().pixelColor(50, 20); }
    void MoveTo(QPoint p) { QTest::mouseMove(button, p); }
};

} // namespace

TEST_F(ButtonFixture, ClickShowsHoverPressHoverAndFiresOnce) {
    EXPECT_EQ(button->ImageNum(), 0);
    MoveTo({20, 20});
    EXPECT_EQ(button->ImageNum(), 2);
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    QTest::mousePress(button, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(button->ImageNum(), 1);
    EXPECT_EQ(Shown(), QColor(Qt::green));
    QTest::mouseRelease(button, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(button->ImageNum(), 2);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ButtonFixture, ReleaseJustOutsideDoesNotClick) {
    for (QPoint outside : {QPoint(112, 20), QPoint(20, 40)}) {
        MoveTo({20, 20});
        QTest::mousePress(button, Qt::LeftButton, {}, {20, 20});
        QTest::mouseRelease(button, Qt::LeftButton, {}, outside);
    }
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonFixture, PressDraggedOffNeverClicksEvenAfterComingBack) {
    MoveTo({20, 20});
    QTest::mousePress(button, Qt::LeftButton, {}, {20, 20});
    QTest::mouseMove(button, {150, 60});
    EXPECT_EQ(button->ImageNum(), 0);
    QTest::mouseMove(button, {20, 20});
    QTest::mouseRelease(button, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(button->ImageNum(), 0);
}

TEST_F(ButtonFixture, EmptyPictureFallsBackToNormal) {
    button->SetDownImage(QPixmap());
    MoveTo({20, 20});
    QTest::mousePress(button, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(button->ImageNum(), 1);
    EXPECT_EQ(Shown(), QColor(Qt::red));
    QTest::mouseRelease(button, Qt::LeftButton, {}, {20, 20});
}

TEST_F(ButtonFixture, DisablingUnderThePointer) {
    MoveTo({20, 20});
    button->setEnabled(false);
    EXPECT_EQ(button->ImageNum(), 3);
    EXPECT_EQ(Shown(), QColor(Qt::gray));
    QTest::mouseClick(button, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(button->ImageNum(), 3);
    EXPECT_EQ(clicks.count(), 0);
    button->setEnabled(true);
    EXPECT_EQ(button->ImageNum(), 0);
}

TEST(ImageButton, WithoutPicturesDrawsNothing) {
    QWidget host;
    host.resize(40, 40);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, Qt::yellow);
    host.setPalette(pal);
    host.setAutoFillBackground(true);
    TImageButton b(&host);
    EXPECT_EQ(b.size(), QSize(22, 23));
    EXPECT_EQ(host.grab().toImage().pixelColor(5, 5), QColor(Qt::yellow));
}
