#include "PreviewTestSupport.h"

#include "platform/Failure.h"

#include <gtest/gtest.h>

TEST(PreviewDocument, GeometryFollowsThePaperAndRaisesMarginsToThePrintableArea) {
    TPreViewForm& preview = PreparedPreview();
    preview.RebuildPages();
    EXPECT_EQ(preview.PaperW(), 210);
    EXPECT_EQ(preview.PaperH(), 297);
    EXPECT_EQ(preview.PaperWidth(), 1900);
    EXPECT_EQ(preview.PaperHeight(), 2770);

    preview.SetOrientation(TOrientation::voLand);
    EXPECT_EQ(preview.PaperW(), 297);
    EXPECT_EQ(preview.PaperWidth(), 2770);
    EXPECT_EQ(preview.PaperHeight(), 1900);

    // A printer that cannot print the outer 5 mm (left 4.2 mm rounds up to 43 units).
    PreparedPreview({10, 100, 10, 10, 0, 0});
    TPreviewPrinter::Current().SetUnprintableBorder(QMarginsF(4.2, 5, 5, 5));
    preview.RebuildPages();
    EXPECT_EQ(preview.PhysicalMarzins(), (std::array<int, 4>{43, 50, 50, 50}));
    EXPECT_EQ(preview.Marzins(), (std::array<int, 6>{43, 100, 50, 50, 50, 50}));
    TPreviewPrinter::Current().UseBuiltIn();
}

TEST(PreviewDocument, ComposingRebuildingAndStamping) {
    TPreViewForm& preview = PreparedPreview();
    int composed = 0;
    preview.SetOnPaperChange([&](TPageDocument& P) {
        ++composed;
        P.AllPageClear();
        for (int i = 0; i < 3; ++i)
            P.NewPage(); // pages without drawing are pages all the same
        P.ViewEnd();
    });
    preview.Footer = {QString(), QStringLiteral("&P / &N"), QString()};
    preview.RebuildPages();
    EXPECT_EQ(composed, 1);
    ASSERT_EQ(preview.PageNum(), 3);
    EXPECT_EQ(preview.DrawPageNum(), 1);
    EXPECT_TRUE(GrabPage(preview, 2).Has(QStringLiteral("3 / 3")));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(preview.Page(i).Stamps.size(), 1u);
        ASSERT_NE(preview.Sumnail(i), nullptr);
        EXPECT_TRUE(preview.Sumnail(i)->ReviewOn());
    }

    // The pages a routine composed go with it; pages composed straight onto the document stay
    // without one, and gain a second stamp over the first.
    preview.SetOnPaperChange(nullptr);
    EXPECT_EQ(preview.PageNum(), 0);
    preview.NewPage();
    preview.ViewEnd();
    preview.RebuildPages();
    EXPECT_EQ(preview.Page(0).Stamps.size(), 1u);
    preview.RebuildPages();
    EXPECT_EQ(preview.Page(0).Stamps.size(), 2u);
}

TEST(PreviewDocument, ExecuteWithoutPagesFails) {
    TPreViewForm& preview = PreparedPreview();
    try {
        preview.Execute();
        FAIL() << "no failure";
    } catch (const EFailure& e) {
        EXPECT_STREQ(e.what(), "表示するページがありません。");
    }
    EXPECT_FALSE(preview.isVisible());
}

TEST(PreviewDocument, ItemsKeepTheTableOfContentsInStep) {
    TPreViewForm& preview = PreparedPreview();
    auto* a = new TPreviewItem;
    auto* b = new TPvNewPageItem;
    auto* c = new TPvSpacerItem;
    preview.AddItemMokuji(a, QStringLiteral("一"));
    preview.AddItem(b);
    preview.AddItemMokuji(c, QString(70, QLatin1Char('x')));
    EXPECT_EQ(preview.MokujiList()[1].Title.size(), 63);
    // Double-byte characters: 64 bytes hold 32 of them.
    preview.AddItemMokuji(new TPreviewItem, QString(40, QChar(0x571F)));
    EXPECT_EQ(preview.MokujiList()[2].Title, QString(32, QChar(0x571F)));
    preview.DeleteItem(3);

    preview.InsertItem(0, new TPreviewItem);
    EXPECT_EQ(preview.MokujiList()[0].ItemIndex, 1);
    EXPECT_EQ(preview.MokujiList()[1].ItemIndex, 3);

    preview.DeleteItem(1); // the item of the first entry
    ASSERT_EQ(preview.MokujiList().size(), 1u);
    EXPECT_EQ(preview.MokujiList()[0].ItemIndex, 2);
    EXPECT_EQ(preview.ItemList().size(), 3u);

    QRect space(0, 0, 100, 40);
    c->SetSpace(50);
    EXPECT_TRUE(c->DrawRect(nullptr, space, false, false));
    EXPECT_EQ(space.bottom(), 50);
    preview.AllPageClear();
    EXPECT_TRUE(preview.ItemList().empty());
    EXPECT_TRUE(preview.MokujiList().empty());
}
