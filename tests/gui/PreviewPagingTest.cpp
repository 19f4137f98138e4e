// Paging a report of tens of thousands of pages to either end: by keys wherever the focus is,
// by the first / previous / next / last buttons and by the page box.

#include "PreviewTestSupport.h"
#include "RealInput.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

// As long as the report that could not be paged to its end. Each page shows its number, drawn
// only on the pages kept, so that a page costs little to compose.
constexpr int kPages = 25642;

TPreViewForm& LongPreview(int Pages = kPages) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([Pages](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < Pages; ++i) {
            const bool drawn = P.Recording();
            P.NewPage();
            if (!drawn)
                continue;
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

// Whether thumbnail Index (0-based) is made and wholly in sight in the thumbnail pane.
bool SumnailInSight(TPreViewForm& Preview, int Index) {
    const TSumnail* thumbnail = Preview.Sumnail(Index);
    return thumbnail && thumbnail->isVisible() &&
           thumbnail->visibleRegion().boundingRect() == thumbnail->rect();
}

// The page the window shows, once the page view, the page box, the status bar and the
// thumbnail in sight all agree on it; 0 when they do not.
int ShownPage(TPreViewForm& Preview) {
    const int n = Preview.DrawPageNum();
    const QString numbers = QStringLiteral("%1 / %2").arg(n).arg(Preview.PageNum());
    const bool agree = GrabPage(Preview, n - 1).Has(QStringLiteral("頁 %1").arg(n)) &&
                       Preview.PageBox->text() == numbers &&
                       Preview.StatusPanels[1]->text() == numbers &&
                       SumnailInSight(Preview, n - 1) && Preview.Sumnail(n - 1)->Selected();
    return agree ? n : 0;
}

QToolButton* ToolButton(TPreViewForm& Preview, QAction* Action) {
    for (QToolButton* b : Preview.Panel1->findChildren<QToolButton*>())
        if (b->defaultAction() == Action)
            return b;
    return nullptr;
}

void Finish(TPreViewForm& Preview) {
    Preview.hide();
    Preview.SetOnPaperChange(nullptr);
    Preview.AllPageClear();
}

} // namespace

// With the whole page in sight, each key pages once, whether the page view or the thumbnails
// have the focus.
TEST(PreviewPaging, KeysReachEitherEndOfALongReport) {
    TPreViewForm& preview = LongPreview();
    ASSERT_EQ(preview.PageNum(), kPages);
    preview.SetPaperScale(25);
    const struct {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int From, To;
    } cases[] = {
        {Qt::Key_End, Qt::NoModifier, 1, kPages},
        {Qt::Key_End, Qt::ControlModifier, 2, kPages},
        {Qt::Key_PageDown, Qt::NoModifier, kPages - 1, kPages},
        {Qt::Key_Right, Qt::NoModifier, kPages - 1, kPages},
        {Qt::Key_Down, Qt::NoModifier, kPages - 1, kPages},
        {Qt::Key_PageDown, Qt::NoModifier, kPages, kPages}, // no page after the last
        {Qt::Key_Right, Qt::NoModifier, kPages, kPages},
        {Qt::Key_Home, Qt::NoModifier, kPages, 1},
        {Qt::Key_Home, Qt::ControlModifier, 12345, 1},
        {Qt::Key_PageUp, Qt::NoModifier, 2, 1},
        {Qt::Key_Left, Qt::NoModifier, 2, 1},
        {Qt::Key_Up, Qt::NoModifier, 2, 1},
        {Qt::Key_Left, Qt::NoModifier, 1, 1}, // nor one before the first
    };
    for (QScrollArea* area : {preview.ScrollBox1, preview.ScrollBox2}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << (area == preview.ScrollBox1 ? "page view" : "thumbnails") << ", key "
                         << QKeySequence(c.Key | c.Modifiers).toString().toStdString()
                         << " from page " << c.From);
            preview.SetDrawPageNum(c.From);
            area->setFocus(Qt::MouseFocusReason);
            ASSERT_EQ(preview.focusWidget(), area);
            QTest::keyClick(preview.focusWidget(), c.Key, c.Modifiers);
            QApplication::processEvents();
            EXPECT_EQ(ShownPage(preview), c.To);
        }
    }
    Finish(preview);
}

// A page taller than the view: Page Down scrolls to its foot before the next page comes, and
// Page Up goes back onto the previous page's foot.
TEST(PreviewPaging, PageDownScrollsThroughEachPage) {
    TPreViewForm& preview = LongPreview();
    preview.SetPaperScale(200);
    QApplication::processEvents();
    QScrollBar* bar = preview.ScrollBox1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    preview.SetDrawPageNum(kPages - 1);
    preview.ScrollBox1->setFocus(Qt::MouseFocusReason);
    int presses = 0;
    while (preview.DrawPageNum() == kPages - 1 && presses < 50) {
        QTest::keyClick(preview.focusWidget(), Qt::Key_PageDown);
        ++presses;
        if (preview.DrawPageNum() == kPages - 1) {
            EXPECT_GT(bar->value(), 0);
        }
    }
    EXPECT_GT(presses, 1);
    EXPECT_EQ(ShownPage(preview), kPages);
    EXPECT_EQ(bar->value(), 0);
    QTest::keyClick(preview.focusWidget(), Qt::Key_PageUp);
    EXPECT_EQ(ShownPage(preview), kPages - 1);
    EXPECT_EQ(bar->value(), bar->maximum());
    Finish(preview);
}

// The four paging buttons by clicks, each off where it has nowhere to go.
TEST(PreviewPaging, FirstPreviousNextLastButtons) {
    TPreViewForm& preview = LongPreview();
    const auto enabled = [&preview] {
        std::string s;
        for (QAction* a : {preview.PageFirstAction, preview.PagePreAction, preview.PageNextAction,
                           preview.PageLastAction})
            s += ToolButton(preview, a)->isEnabled() ? '1' : '0';
        return s;
    };
    EXPECT_EQ(ShownPage(preview), 1);
    EXPECT_EQ(enabled(), "0011");
    const struct {
        QAction* Action;
        int To;
        const char* Enabled;
    } clicks[] = {
        {preview.PageLastAction, kPages, "1100"},
        {preview.PagePreAction, kPages - 1, "1111"},
        {preview.PageFirstAction, 1, "0011"},
        {preview.PageNextAction, 2, "1111"},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.Action->text().toStdString());
        ClickWidget(ToolButton(preview, c.Action));
        EXPECT_EQ(ShownPage(preview), c.To);
        EXPECT_EQ(enabled(), c.Enabled);
    }
    // The same commands are in the view menu and the page's context menu.
    EXPECT_EQ(preview.PageLastAction->text(), QStringLiteral("最終ページ"));
    EXPECT_EQ(preview.PageFirstAction->text(), QStringLiteral("先頭ページ"));
    Finish(preview);
}

// A number typed into the page box and Enter go to that page; the keys that move the text
// cursor stay the box's.
TEST(PreviewPaging, PageBoxGoesToTheNumberTyped) {
    TPreViewForm& preview = LongPreview();
    QSpinBox* box = preview.PageBox;
    // The box shows "25642 / 25642" whole, and the window is never narrower than its tool bar.
    EXPECT_GE(box->contentsRect().width(),
              box->fontMetrics().horizontalAdvance(QStringLiteral("25642 / 25642")));
    EXPECT_GE(preview.minimumWidth(), preview.layout()->minimumSize().width());
    const auto typeInBox = [&](const QString& Typed) {
        ClickWidget(box);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        TypeKeys(Typed);
    };
    const struct {
        const char* Typed;
        int To;
    } cases[] = {
        {"12345", 12345}, {"25642", kPages}, {"99999", kPages}, // past the last page: the last
        {"0", 1},                                               // before the first: the first
        {"7", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        preview.SetDrawPageNum(100);
        typeInBox(QString::fromLatin1(c.Typed));
        EXPECT_EQ(preview.DrawPageNum(), 100); // not before Enter
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(ShownPage(preview), c.To);
    }

    preview.SetDrawPageNum(100);
    typeInBox(QStringLiteral("345"));
    QLineEdit* edit = box->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(preview.DrawPageNum(), 100);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    TypeKeys(QStringLiteral("2"));
    EXPECT_TRUE(edit->text().startsWith(QStringLiteral("2345")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_EQ(ShownPage(preview), 2345);
    Finish(preview);
}

// More thumbnails than a widget is high (some 118,000 of A4): the pane still reaches every
// one of them, by the paging and by its scroll bar.
TEST(PreviewPaging, ThumbnailsOfAnyNumberOfPages) {
    constexpr int pages = 300000;
    TPreViewForm& preview = LongPreview(pages);
    ASSERT_EQ(preview.PageNum(), pages);
    QScrollBar* bar = preview.ScrollBox2->verticalScrollBar();
    const struct { int Page; } shown[] = {{pages}, {1}, {pages / 2}, {200001}, {pages - 1}};
    for (const auto& s : shown) {
        SCOPED_TRACE(s.Page);
        preview.SetDrawPageNum(s.Page);
        QApplication::processEvents();
        EXPECT_EQ(ShownPage(preview), s.Page);
    }
    // Dragged to its ends, the scroll bar shows the first and the last thumbnail.
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    EXPECT_TRUE(SumnailInSight(preview, pages - 1));
    bar->setValue(0);
    QApplication::processEvents();
    EXPECT_TRUE(SumnailInSight(preview, 0));
    // The wheel scrolls the thumbnails, forwards from the top, back again from the end.
    QWheelEvent down(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(preview.ScrollBox2->viewport(), &down);
    EXPECT_GT(bar->value(), 0);
    EXPECT_FALSE(SumnailInSight(preview, 0));
    // A thumbnail's click still shows its page.
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    ClickWidget(preview.Sumnail(pages - 2));
    EXPECT_EQ(ShownPage(preview), pages - 1);
    Finish(preview);
}

// A short report after a long one: the box's range and text follow the page count.
TEST(PreviewPaging, PageBoxFollowsThePageCount) {
    TPreViewForm& preview = LongPreview();
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < 3; ++i)
            P.NewPage();
        P.ViewEnd();
    });
    preview.RebuildPages();
    QApplication::processEvents();
    EXPECT_EQ(preview.PageBox->text(), QStringLiteral("1 / 3"));
    EXPECT_EQ(preview.PageBox->maximum(), 3);
    EXPECT_TRUE(preview.PageBox->isEnabled());
    QTest::keyClick(&preview, Qt::Key_End);
    EXPECT_EQ(preview.PageBox->text(), QStringLiteral("3 / 3"));
    preview.AllPageClear();
    preview.UpdatePageActions();
    EXPECT_EQ(preview.PageBox->text(), QStringLiteral("0 / 0"));
    EXPECT_FALSE(preview.PageBox->isEnabled());
    Finish(preview);
}
