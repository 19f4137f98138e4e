// The picture helpers: the memory reader, the margin diagrams and their placement.

#include "platform/Failure.h"
#include "preview/MetafileExImages.h"
#include "preview/MetafileExReader.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

TEST(PreviewMetafile, MemoryReaderStaysWithinItsBlock) {
    const char block[] = "0123456789";
    TMemoryReader reader(block, 10);
    char buffer[16] = {};
    EXPECT_EQ(reader.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(reader.Seek(0, 2), 10);
    EXPECT_EQ(reader.Read(buffer, 4), 0); // at the end nothing is copied
    EXPECT_EQ(reader.Seek(3, 2), 7);
    EXPECT_EQ(reader.Seek(20, 2), 0);
    EXPECT_EQ(reader.Seek(-5, 1), 0);
    EXPECT_EQ(reader.Seek(50, 0), 10);
    EXPECT_EQ(reader.Seek(4, 0), 4);
    EXPECT_EQ(reader.Read(buffer, 100), 6);
    EXPECT_EQ(reader.Write(block, 3), 0);
    EXPECT_EQ(TResourceReader(QStringLiteral("NO_SUCH_RESOURCE")).Size(), 0);
}

TEST(PreviewMetafile, MarginDiagramsLoadAndFitTheirBox) {
    TMetaImages images;
    EXPECT_EQ(images.LoadFromResource(QStringLiteral("NO_SUCH_RESOURCE")), 0);
    ASSERT_EQ(images.LoadFromResource(QStringLiteral("YOHAKU_IMAGE")), 6);
    TMetafileEx copy;
    images.GetMetaFile(5, copy);
    EXPECT_EQ(copy.Width(), 10160); // 4.0 x 5.1 inches in 0.01 mm
    EXPECT_EQ(copy.Height(), 12954);
    try {
        images.GetMetaFile(6, copy);
        FAIL() << "no failure";
    } catch (const EFailure& e) {
        EXPECT_STREQ(e.what(), "イメージファイルの範囲(6)を超えて(6)います。");
    }

    // A portrait picture in a square: full height, centred across.
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    const TMetaData drawn = images.DrawRect(painter, QRect(0, 0, 200, 200), 1, false);
    const int width = int(std::nearbyint(10160 * (200.0 / 12954)));
    EXPECT_EQ(drawn.Base, QPoint((200 - width) / 2, 0));
    EXPECT_DOUBLE_EQ(drawn.Scale, 200.0 / 12954);
    EXPECT_EQ(drawn.Size, QPoint(10160, 12954));

    // Transparent and out of the list: nothing drawn at all.
    image.fill(Qt::black);
    const TMetaData none = images.DrawRect(painter, QRect(0, 0, 200, 200), 9, true);
    painter.end();
    EXPECT_EQ(none.Scale, 1.0);
    EXPECT_EQ(image.pixel(100, 100), qRgb(0, 0, 0));
}

// Bold runs (emboldened by the font engine: the Japanese fonts have no bold face) carry as much
// ink for their size at a third of the page's scale as at full scale, as on the printer.
TEST(PreviewMetafile, BoldRunsKeepTheirWeightWhenShownSmaller) {
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(40);
    font.setHintingPreference(QFont::PreferNoHinting);
    auto ink = [&](bool Bold, double Scale) {
        font.setBold(Bold);
        TMetafileEx page(600, 60);
        page.AddTextRun(QPointF(5, 45), QStringLiteral("盛土 12,345 切土 6,789"), font, Qt::black);
        QImage image(int(600 * Scale), int(60 * Scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::TextAntialiasing);
            page.Draw(p, QRectF(0, 0, image.width(), image.height()));
        }
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += 255 - qGray(image.pixel(x, y));
        return sum / (Scale * Scale);
    };
    for (bool bold : {false, true}) {
        const double full = ink(bold, 1.0), small = ink(bold, 0.3);
        EXPECT_NEAR(small / full, 1.0, 0.15) << (bold ? "bold" : "regular");
    }
}
