// The preview window as a user drives it: zoom, paging, wheel, keys, thumbnails, copying.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "preview/PREVIEWUNIT02View.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

TPreViewForm& PreviewOfPages(int Pages) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([Pages](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < Pages; ++i) {
            P.NewPage();
            P.ViewCanvas()->setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -60));
            TextOutTopLeft(*P.ViewCanvas(), 100, 100, QStringLiteral("頁 %1").arg(i + 1));
        }
        P.ViewEnd();
    });
    preview.RebuildPages();
    preview.resize(900, 700);
    preview.show();
    QApplication::processEvents();
    return preview;
}

void Wheel(QWidget* Target, QPoint At, int Delta, Qt::KeyboardModifiers Modifiers = {}) {
    QWheelEvent event(At, Target->mapToGlobal(At), QPoint(), QPoint(0, Delta), Qt::NoButton,
                      Modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Target, &event);
}

} // namespace

TEST(PreviewWindow, ZoomSteps) {
    TPreViewForm& preview = PreviewOfPages(1);
    EXPECT_EQ(preview.PaperScale(), 100);
    for (double expected : {200, 400, 400}) {
        preview.ZoomInAction->trigger();
        EXPECT_EQ(preview.PaperScale(), expected);
    }
    preview.SetPaperScale(100);
    for (double expected : {50, 25, 20}) {
        preview.ZoomOutAction->trigger();
        EXPECT_EQ(preview.PaperScale(), expected);
    }
    // The view grows with the zoom: the A4 sheet plus the desk border on both sides.
    preview.SetPaperScale(100);
    EXPECT_NEAR(preview.View->width(), 2100 / (254.0 / 96) + 40, 2);
    // A one-page document has both page commands off.
    EXPECT_FALSE(preview.PageNextAction->isEnabled());
    EXPECT_FALSE(preview.PagePreAction->isEnabled());
    // The export commands stay hidden unless asked for.
    EXPECT_FALSE(preview.WordOutEnabled());
    EXPECT_FALSE(preview.RTFOutEnabled());
    preview.SetOutEnabled(1, true);
    EXPECT_TRUE(preview.RTFOutEnabled());
    EXPECT_FALSE(preview.WordOutEnabled());
    preview.SetOutEnabled(1, false);
    preview.hide();
}

// Each tool bar button by a click: what it changes, or the window it opens (closed again as
// Esc would).
TEST(PreviewWindow, ToolBarButtonsByClicks) {
    TPreViewForm& preview = PreviewOfPages(3);
    preview.SetDrawPageNum(2);
    preview.SetOutEnabled(0, true);
    preview.SetOutEnabled(1, true);
    const auto toolButton = [&preview](QAction* Action) -> QToolButton* {
        for (QToolButton* b : preview.Panel1->findChildren<QToolButton*>())
            if (b->defaultAction() == Action)
                return b;
        return nullptr;
    };
    const auto state = [&preview] {
        return QStringLiteral("%1%/p%2").arg(preview.PaperScale()).arg(preview.DrawPageNum());
    };
    const std::pair<QAction*, const char*> buttons[] = {
        {preview.ZoomInAction, "200%/p2"},         // 拡大
        {preview.ZoomOutAction, "100%/p2"},        // 縮小
        {preview.PageNextAction, "100%/p3"},       // 次ページ
        {preview.PagePreAction, "100%/p2"},        // 前ページ
        {preview.ActPageSetup, "TPreSetupForm02"}, // ページ設定
        {preview.PrintAction, "TPrintGoForm"},     // 印刷
        {preview.RTFAction, "QFileDialog/save"},   // RTF出力
        {preview.WordAction, "QMessageBox"},       // Word出力: not in this version
    };
    for (auto [action, after] : buttons) {
        QToolButton* button = toolButton(action);
        ASSERT_NE(button, nullptr) << after;
        const std::string opened = ModalsOpenedByClick(button);
        EXPECT_EQ(opened.empty() ? state().toStdString() : opened, after);
    }
    preview.SetOutEnabled(0, false);
    preview.SetOutEnabled(1, false);
    QTest::mouseClick(toolButton(preview.ExitAction), Qt::LeftButton);
    EXPECT_FALSE(preview.isVisible());
}

TEST(PreviewWindow, PagingByCommandsKeysAndThumbnails) {
    TPreViewForm& preview = PreviewOfPages(3);
    EXPECT_EQ(preview.DrawPageNum(), 1);
    preview.SetDrawPageNum(0);
    EXPECT_EQ(preview.DrawPageNum(), 1);
    preview.SetDrawPageNum(9);
    EXPECT_EQ(preview.DrawPageNum(), 3);
    EXPECT_TRUE(preview.Sumnail(2)->Selected());
    EXPECT_FALSE(preview.Sumnail(0)->Selected());
    EXPECT_FALSE(preview.PageNextAction->isEnabled());

    preview.SetDrawPageNum(1);
    QTest::keyClick(&preview, Qt::Key_Up); // page 0 is not asked for
    EXPECT_EQ(preview.DrawPageNum(), 1);
    QTest::keyClick(&preview, Qt::Key_Down);
    EXPECT_EQ(preview.DrawPageNum(), 2);

    QTest::mouseClick(preview.Sumnail(2), Qt::LeftButton);
    EXPECT_EQ(preview.DrawPageNum(), 3);

    // Shift and the wheel over the thumbnails page on, and stop at the last page.
    preview.SetDrawPageNum(1);
    for (int i = 0; i < 4; ++i)
        Wheel(preview.ScrollBox2->viewport(), QPoint(10, 10), -120, Qt::ShiftModifier);
    EXPECT_EQ(preview.DrawPageNum(), 3);
    Wheel(preview.ScrollBox2->viewport(), QPoint(10, 10), 120, Qt::ShiftModifier);
    EXPECT_EQ(preview.DrawPageNum(), 2);
    preview.hide();
}

// A click or a wheel turn gives a scroll area the focus; Up and Down still page, since the
// window sees them before its controls. Page Down scrolls a page taller than the view first,
// and the windows the preview opens keep their own Up and Down.
TEST(PreviewWindow, PageKeysWhateverControlHasTheFocus) {
    TPreViewForm& preview = PreviewOfPages(3);
    for (QScrollArea* area : {preview.ScrollBox1, preview.ScrollBox2}) {
        SCOPED_TRACE(area == preview.ScrollBox1 ? "page view" : "thumbnails");
        preview.SetDrawPageNum(1);
        area->setFocus(Qt::MouseFocusReason);
        QWidget* focused = preview.focusWidget();
        ASSERT_EQ(focused, area);
        QTest::keyClick(focused, Qt::Key_Down);
        EXPECT_EQ(preview.DrawPageNum(), 2);
        QTest::keyClick(focused, Qt::Key_Down);
        EXPECT_EQ(preview.DrawPageNum(), 3);
        QTest::keyClick(focused, Qt::Key_Up);
        EXPECT_EQ(preview.DrawPageNum(), 2);
    }

    preview.SetPaperScale(400);
    QApplication::processEvents();
    preview.ScrollBox1->setFocus(Qt::MouseFocusReason);
    QScrollBar* v = preview.ScrollBox1->verticalScrollBar();
    ASSERT_EQ(v->value(), 0);
    QTest::keyClick(preview.focusWidget(), Qt::Key_PageDown);
    EXPECT_GT(v->value(), 0);
    EXPECT_EQ(preview.DrawPageNum(), 2);

    QDialog owned(&preview);
    auto* spin = new QSpinBox(&owned);
    owned.show();
    QApplication::processEvents();
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 1);
    EXPECT_EQ(preview.DrawPageNum(), 2);
    owned.hide();
    preview.hide();
}

TEST(PreviewWindow, WheelZoomKeepsThePointUnderTheMouse) {
    TPreViewForm& preview = PreviewOfPages(1);
    QScrollBar* h = preview.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = preview.ScrollBox1->verticalScrollBar();
    preview.SetPaperScale(200);
    QApplication::processEvents();
    h->setValue(100);
    v->setValue(150);
    const QPoint inView(300, 400);
    const QPoint visible = inView - QPoint(h->value(), v->value());
    Wheel(preview.View, inView, 120);
    const double scale = preview.PaperScale();
    EXPECT_NEAR(scale, 200 * std::pow(1.0005, 120), 0.01);
    // The paper point under the mouse is where the mouse is.
    EXPECT_NEAR(inView.x() * scale / 200 - h->value(), visible.x(), 1);
    EXPECT_NEAR(inView.y() * scale / 200 - v->value(), visible.y(), 1);

    preview.SetPaperScale(395);
    Wheel(preview.View, inView, 240);
    EXPECT_EQ(preview.PaperScale(), 400);
    preview.hide();
}

TEST(PreviewWindow, DraggingMovesThePaperWithTheMouse) {
    TPreViewForm& preview = PreviewOfPages(1);
    preview.SetPaperScale(200);
    QApplication::processEvents();
    QScrollBar* h = preview.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = preview.ScrollBox1->verticalScrollBar();
    h->setValue(200);
    v->setValue(300);
    QTest::mousePress(preview.View, Qt::LeftButton, {}, QPoint(600, 700));
    QMouseEvent move(QEvent::MouseMove, QPointF(520, 650),
                     preview.View->mapToGlobal(QPointF(520, 650)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(preview.View, &move);
    EXPECT_EQ(h->value(), 280);
    EXPECT_EQ(v->value(), 350);
    QTest::mouseRelease(preview.View, Qt::LeftButton, {}, QPoint(520, 650));
    // Without Shift the wheel scrolls the thumbnails instead of paging.
    preview.SetDrawPageNum(1);
    Wheel(preview.ScrollBox2->viewport(), QPoint(10, 10), -120);
    EXPECT_EQ(preview.DrawPageNum(), 1);
    preview.hide();
}

TEST(PreviewWindow, ThumbnailPaneStaysBetweenItsLimits) {
    TPreViewForm& preview = PreviewOfPages(1);
    QSplitter* splitter = preview.Splitter1;
    splitter->setSizes({10, 800});
    EXPECT_GT(preview.ScrollBox2->width(), 30);
    splitter->setSizes({400, 400});
    EXPECT_LT(preview.ScrollBox2->width(), 150);
    preview.hide();
}

TEST(PreviewWindow, CopyPutsThePageOnTheClipboardAsSvgAndImage) {
    TPreViewForm& preview = PreviewOfPages(2);
    preview.SetDrawPageNum(2);
    preview.CopyAction->trigger();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    ASSERT_TRUE(mime->hasFormat(QStringLiteral("image/svg+xml")));
    const QString svg = QString::fromUtf8(mime->data(QStringLiteral("image/svg+xml")));
    EXPECT_TRUE(svg.contains(QStringLiteral("頁 2")));
    const QImage image = qvariant_cast<QImage>(mime->imageData());
    ASSERT_FALSE(image.isNull());
    // The whole sheet at 150 dots per inch: 210 x 297 mm.
    EXPECT_NEAR(image.width(), 210 / 25.4 * 150, 2);
    EXPECT_NEAR(image.height(), 297 / 25.4 * 150, 2);
    preview.hide();
}

TEST(PreviewWindow, ExecuteShowsTheWindowModallyWithItsCaption) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        P.NewPage();
        P.ViewEnd();
    });
    QString caption;
    bool modal = false;
    WhenModal([&](QWidget* W) {
        caption = W->windowTitle();
        modal = W->isModal();
        static_cast<TPreViewForm*>(W)->ExitAction->trigger();
    });
    preview.Execute();
    EXPECT_TRUE(modal);
    EXPECT_TRUE(caption.startsWith(QStringLiteral("プレビュー《")));
    EXPECT_TRUE(caption.endsWith(QStringLiteral("》")));
    EXPECT_FALSE(preview.isVisible());
}
