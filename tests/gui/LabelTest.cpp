#include "controls/Label3d.h"
#include "controls/NlvLabel.h"

#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

TEST(Label3D, ColourWritesAndStyles) {
    TLabel3D l;
    EXPECT_EQ(l.Style(), lsCustom);
    l.SetStyle(lsShadow);
    l.SetDownColor(Qt::red);
    EXPECT_EQ(l.Style(), lsShadow) << "DownColor keeps the shadow style";
    l.SetUpColor(Qt::blue);
    EXPECT_EQ(l.Style(), lsCustom) << "UpColor leaves the shadow style";

    l.SetStyle(lsRaised);
    const QPalette& pal = l.palette();
    EXPECT_EQ(l.UpColor(), pal.color(QPalette::Active, QPalette::Light));
    EXPECT_EQ(l.DownColor(), pal.color(QPalette::Active, QPalette::Dark));
    l.SetUpColor(Qt::green);
    EXPECT_EQ(l.Style(), lsCustom);
    EXPECT_EQ(l.UpColor(), QColor(Qt::green));
    EXPECT_EQ(l.DownColor(), pal.color(QPalette::Active, QPalette::Dark));

    l.SetStyle(lsLowered);
    EXPECT_EQ(l.UpColor(), pal.color(QPalette::Active, QPalette::Dark));
    EXPECT_EQ(l.DownColor(), pal.color(QPalette::Active, QPalette::Light));
}

TEST(Label3D, SizeFollowsCaptionAndShadow) {
    TLabel3D l;
    l.SetCaption(QStringLiteral("工事名："));
    const QFontMetrics fm(l.font());
    EXPECT_EQ(l.height(), fm.height() + 2);
    EXPECT_EQ(l.width(), fm.horizontalAdvance(QStringLiteral("工事名：")) + 2);
    l.SetStyle(lsShadow);
    l.SetShadowXOffset(-3);
    l.SetShadowYOffset(2);
    EXPECT_EQ(l.height(), fm.height() + 2 + 2);
    EXPECT_EQ(l.width(), fm.horizontalAdvance(QStringLiteral("工事名：")) + 3 + 2);
}

TEST(Label3D, DisabledLooksTheSameWhateverItsColours) {
    auto render = [](const QColor& up, const QColor& down) {
        TLabel3D l;
        l.SetCaption(QStringLiteral("標準値"));
        l.SetUpColor(up);
        l.SetDownColor(down);
        l.SetMainColor(up);
        l.setEnabled(false);
        return l.grab().toImage();
    };
    EXPECT_EQ(render(Qt::red, Qt::blue), render(Qt::green, Qt::yellow));
}

TEST(NlvLabel, MarkupRuns) {
    struct Case {
        const char* caption;
        std::vector<TNlvRun> runs;
    };
    const auto S = [](const char* s) { return QString::fromUtf8(s); };
    const Case cases[] = {
        {"abc", {{S("abc"), -12, 0, 0}}},
        {"m%u2%b", {{S("m"), -12, 0, 0}, {S("2"), -7, 0, 0}, {S(""), -12, 0, 0}}},
        {"H%d2%bO", {{S("H"), -12, 0, 0}, {S("2"), -10, 3, 0}, {S("O"), -12, 0, 0}}},
        // a subscript right after a superscript measures from the superscript's height
        {"%U%Dx", {{S("x"), -10, -2, 0}}},
        {"50%%", {{S("50"), -12, 0, 0}, {S("%"), -12, 0, 0}}},
        {"a%xb%", {{S("ab"), -12, 0, 0}}},
        {"%ga%Mb%oc", {{S("a"), -12, 0, 1}, {S("b"), -12, 0, 2}, {S("c"), -12, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(TNlvLabel::ParseMarkup(QString::fromUtf8(c.caption), -12), c.runs);
    }
}

TEST(NlvLabel, SuperscriptContentWidth) {
    TNlvLabel l;
    QFont f = l.font();
    f.setPixelSize(12);
    l.setFont(f);
    l.SetCaption(QStringLiteral("m%u2%b"));
    QFont small = f;
    small.setPixelSize(7);
    const int expected = QFontMetrics(f).horizontalAdvance(QLatin1Char('m')) +
                         QFontMetrics(small).horizontalAdvance(QLatin1Char('2')) +
                         QFontMetrics(f).horizontalAdvance(QLatin1Char(' '));
    EXPECT_EQ(l.MeasureMarkup(QRect()).width(), expected);
    EXPECT_EQ(l.width(), expected) << "automatic sizing";
}

TEST(NlvLabel, PlainCaptionLooksLikeAStandardLabel) {
    QWidget host;
    TNlvLabel nlv(&host);
    nlv.SetCaption(QStringLiteral("用紙サイズ"));
    QLabel plain(QStringLiteral("用紙サイズ"), &host);
    plain.setAutoFillBackground(true);
    plain.setGeometry(nlv.geometry());
    EXPECT_NEAR(nlv.width(), plain.sizeHint().width(), 1);
    EXPECT_EQ(nlv.height(), plain.sizeHint().height());
    EXPECT_EQ(nlv.grab().toImage().convertToFormat(QImage::Format_RGB32),
              plain.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST(NlvLabel, RightAlignedAutoSizeKeepsTheRightEdge) {
    QWidget host;
    TNlvLabel l(&host);
    l.SetAlignment(Qt::AlignRight);
    l.setGeometry(100, 10, 80, 20);
    l.SetCaption(QStringLiteral("x"));
    EXPECT_EQ(l.geometry().right(), 179);
}
