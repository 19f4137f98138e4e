#include "PreviewTestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

THeaderEnvironment FixedEnvironment() {
    THeaderEnvironment env;
    env.Now = QDateTime(QDate(2026, 12, 10), QTime(9, 5));
    env.Computer = QStringLiteral("genba-pc");
    env.User = QStringLiteral("a&Pb");
    env.System = QStringLiteral("Debian GNU/Linux 12 (Build:6.1.0)");
    env.Locale = QLocale(QLocale::Japanese, QLocale::Japan);
    return env;
}

} // namespace

TEST(PreviewHeader, PlaceholdersExpand) {
    const THeaderEnvironment env = FixedEnvironment();
    struct TCase {
        const char16_t* Text;
        int PageNo;
        const char16_t* Expected;
    } cases[] = {
        {u"&P / &N", 3, u"3 / 5"},
        {u"&p of &n", 3, u"3 of 5"},
        {u"&&P", 3, u"3"},     // the first & goes, the second forms &P
        {u"a&xb", 3, u"axb"},  // no placeholder: the & goes, the letter stays
        {u"end&", 3, u"end&"}, // a last & stays
        {u"&U", 3, u"a&Pb"},   // values are not expanded again
        {u"&f", 3, u"plan.msh"},
        {u"&F", 3, u"C:\\genba\\plan.msh"},
        {u"&T &t", 3, u"09:05 09:05"},
        {u"&W", 3, u"令和08年12月10日"},
        {u"&C", 3, u"genba-pc"},
        {u"&O", 3, u"Debian GNU/Linux 12 (Build:6.1.0)"},
        {u"頁 &P", 0, u""}, // no page number: the whole text goes
        {u"&N 枚", 0, u"5 枚"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExpandHeaderText(QString::fromUtf16(c.Text), c.PageNo, 5,
                                   QStringLiteral("C:\\genba\\plan.msh"), env),
                  QString::fromUtf16(c.Expected))
            << QString::fromUtf16(c.Text).toStdString();

    THeaderEnvironment nobody = env;
    nobody.Computer.clear();
    EXPECT_EQ(ExpandHeaderText(QStringLiteral("[&C]"), 1, 1, QString(), nobody),
              QStringLiteral("[C]"));
    EXPECT_EQ(ExpandHeaderText(QStringLiteral("&d"), 1, 1, QString(), env),
              env.Locale.toString(env.Now.date(), QLocale::ShortFormat));
}

TEST(PreviewHeader, EraDates) {
    EXPECT_EQ(JapaneseEraDate(QDate(2019, 5, 1)), QStringLiteral("令和01年05月01日"));
    EXPECT_EQ(JapaneseEraDate(QDate(2019, 4, 30)), QStringLiteral("平成31年04月30日"));
    EXPECT_EQ(JapaneseEraDate(QDate(1989, 1, 7)), QStringLiteral("昭和64年01月07日"));
    EXPECT_EQ(JapaneseEraDate(QDate(1926, 12, 24)), QStringLiteral("大正15年12月24日"));
}

TEST(PreviewHeader, PageNumbersFollowTheFirstPageNumber) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < 5; ++i)
            P.NewPage();
        P.ViewEnd();
    });
    preview.Header = {QStringLiteral("&P/&N"), QString(), QStringLiteral("右&p")};
    preview.RebuildPages();
    EXPECT_EQ(preview.HeaderFooterTexts(3)[0], QStringLiteral("3/5"));
    preview.SetStPNum(0);
    EXPECT_EQ(preview.HeaderFooterTexts(1)[0], QString());
    EXPECT_EQ(preview.HeaderFooterTexts(1)[2], QString());
    EXPECT_EQ(preview.HeaderFooterTexts(2)[0], QStringLiteral("1/5"));
    EXPECT_EQ(preview.HeaderFooterTexts(5)[2], QStringLiteral("右4"));
    preview.SetStPNum(1);
}

TEST(PreviewHeader, StampsSitAtTheMarginsAndTheFooterDistance) {
    TPreViewForm& preview = PreparedPreview({100, 200, 150, 250, 80, 90});
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        P.NewPage();
        P.ViewEnd();
    });
    preview.Header = {QStringLiteral("左"), QStringLiteral("中央"), QStringLiteral("右端")};
    preview.Footer = {QStringLiteral("下"), QString(), QString()};
    preview.RebuildPages();
    const TGrabbedPage page = GrabPage(preview, 0);
    const TGrabbedText* left = page.Find(QStringLiteral("左"));
    const TGrabbedText* centre = page.Find(QStringLiteral("中央"));
    const TGrabbedText* right = page.Find(QStringLiteral("右端"));
    const TGrabbedText* footer = page.Find(QStringLiteral("下"));
    ASSERT_TRUE(left && centre && right && footer);
    const QFontMetricsF fm(left->Font);
    EXPECT_EQ(left->Font.pixelSize(), 33);
    EXPECT_DOUBLE_EQ(left->Origin.x(), 0);
    EXPECT_NEAR(left->Origin.y() - fm.ascent(), 80 - 200, 0.1); // the header distance
    EXPECT_NEAR(right->Right(), preview.PaperWidth(), 1.0);
    // Centred across the paper: no unprintable border on the built-in printer.
    const double middle = (centre->Origin.x() + centre->Right()) / 2;
    EXPECT_NEAR(middle, (-100 + preview.PaperWidth() + 150) / 2.0, 1.0);
    // The footer text's bottom lies 9 mm above the paper's bottom edge.
    EXPECT_NEAR(footer->Origin.y() - fm.ascent() + std::round(fm.height()),
                preview.PaperHeight() + 250 - 90, 0.1);
}

TEST(PreviewHeader, SettingsRoundTripAndFontCount) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("preview.ini"));
    TPreViewForm& preview = PreparedPreview({120, 130, 140, 150, 60, 70});
    preview.Header = {QStringLiteral("&F"), QStringLiteral("計算書"), QString()};
    preview.FontList()[2].LeftI = 33;
    preview.FontList()[5].LeftI = 44;
    {
        QSettings s(file, QSettings::IniFormat);
        preview.SaveSettingsTo(s);
        EXPECT_EQ(s.value(QStringLiteral("MARGIN4")).toString(), QStringLiteral("60"));
        EXPECT_EQ(s.value(QStringLiteral("FontSize2")).toString(), QStringLiteral("-45"));
        EXPECT_EQ(s.value(QStringLiteral("FontStyle2")).toString(), QStringLiteral("1"));
        EXPECT_EQ(s.value(QStringLiteral("FontCount")).toString(), QStringLiteral("7"));
        s.setValue(QStringLiteral("FontCount"), QStringLiteral("3"));
        s.setValue(QStringLiteral("MARGIN0"), QStringLiteral("abc")); // not a number
        s.setValue(QStringLiteral("FOOTER2"), QStringLiteral("\x1b[2J頁\r\n&P\t"));
    }
    preview.Header = {};
    preview.SetMarzins({100, 100, 100, 100, 0, 0});
    preview.FontList()[2].LeftI = 0;
    preview.FontList()[5].LeftI = 10;
    {
        QSettings s(file, QSettings::IniFormat);
        preview.LoadSettingsFrom(s);
    }
    EXPECT_EQ(preview.Header[1], QStringLiteral("計算書"));
    EXPECT_EQ(preview.Footer[2], QStringLiteral("[2J頁&P")); // control characters dropped
    EXPECT_EQ(preview.Marzins(), (std::array<int, 6>{100, 130, 140, 150, 60, 70}));
    EXPECT_EQ(preview.FontList()[2].LeftI, 33); // within FontCount 3
    EXPECT_EQ(preview.FontList()[5].LeftI, 10); // beyond it: unchanged
    const int height4 = PageFontHeight(preview.FontList()[4].Font);
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(QStringLiteral("FontCount"), QStringLiteral("20"));
        // Lengths no paper holds read as their defaults.
        s.setValue(QStringLiteral("MARGIN1"), QStringLiteral("2147483647"));
        s.setValue(QStringLiteral("MARGIN2"), QStringLiteral("-5"));
        s.setValue(QStringLiteral("FontSize4"), QStringLiteral("-2147483648"));
        preview.LoadSettingsFrom(s);
    }
    EXPECT_EQ(preview.Marzins(), (std::array<int, 6>{100, 130, 140, 150, 60, 70}));
    EXPECT_EQ(PageFontHeight(preview.FontList()[4].Font), height4);
    EXPECT_EQ(preview.FontList()[5].LeftI, 44);
    EXPECT_EQ(preview.FontList().size(), 7u);
    EXPECT_EQ(preview.FontList()[2].StyleName, QStringLiteral("タイトル文"));
    EXPECT_TRUE(preview.FontList()[2].Font.bold());
}

TEST(PreviewHeader, PageNumbersInTheFooterUnlessTextsAreStored) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("preview.ini"));
    TPageDocument document;
    {
        QSettings s(file, QSettings::IniFormat);
        document.LoadSettingsFrom(s);
    }
    EXPECT_EQ(document.Footer,
              (std::array<QString, 3>{QString(), QStringLiteral("&P / &N"), QString()}));
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(QStringLiteral("FOOTER1"), QString()); // stored empty: the user's choice
        document.LoadSettingsFrom(s);
    }
    EXPECT_TRUE(document.Footer[1].isEmpty());
}

// Stored margins that would leave the paper (less than) nothing for the content read as the
// defaults, so a damaged settings file cannot turn every row of a report into a page; so do
// margins kept from a larger paper when the document moves to a smaller one.
TEST(PreviewHeader, MarginsNoPaperHoldsReadAsDefaults) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("preview.ini"));
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    const QPageLayout a5(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF());
    const struct {
        const QPageLayout& Paper;
        const char* Left;
        const char* Top;
        const char* Right;
        const char* Bottom;
        std::array<int, 6> Expected;
    } cases[] = {
        {a4, "120", "10000", "120", "10000", {120, 100, 120, 100, 60, 70}},
        {a4, "400", "400", "400", "400", {400, 400, 400, 400, 60, 70}},
        {a5, "400", "150", "400", "150", {100, 100, 100, 100, 60, 70}},
        {a5, "300", "150", "300", "150", {300, 150, 300, 150, 60, 70}},
        {a4, "120", "130", "120", "401", {120, 130, 120, 100, 60, 70}},
    };
    for (const auto& c : cases) {
        TPageDocument document;
        document.SetPaper(c.Paper);
        {
            QSettings s(file, QSettings::IniFormat);
            s.setValue(QStringLiteral("MARGIN0"), QString::fromUtf8(c.Left));
            s.setValue(QStringLiteral("MARGIN1"), QString::fromUtf8(c.Top));
            s.setValue(QStringLiteral("MARGIN2"), QString::fromUtf8(c.Right));
            s.setValue(QStringLiteral("MARGIN3"), QString::fromUtf8(c.Bottom));
            s.setValue(QStringLiteral("MARGIN4"), QStringLiteral("60"));
            s.setValue(QStringLiteral("MARGIN5"), QStringLiteral("70"));
            document.LoadSettingsFrom(s);
        }
        EXPECT_EQ(document.Marzins(), c.Expected) << c.Left << " " << c.Top;
    }
    // Read on A4, then composed on A5 (the command line tool's order).
    TPageDocument document;
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(QStringLiteral("MARGIN0"), QStringLiteral("400"));
        s.setValue(QStringLiteral("MARGIN2"), QStringLiteral("400"));
        document.LoadSettingsFrom(s);
    }
    EXPECT_EQ(document.Marzins()[0], 400);
    document.SetPaper(a5);
    EXPECT_EQ(document.Marzins(), (std::array<int, 6>{100, 100, 100, 100, 60, 70}));
}
