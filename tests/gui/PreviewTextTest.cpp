// Text keeps its place and width wherever a page is replayed: at every zoom of the view, in a
// thumbnail and on a high-resolution device such as a printer or a PDF.

#include "PreviewTestSupport.h"

#include "reports/PrintOutUnitTable.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

// Ink extent of the dark pixels in a band of page rows, in page units.
struct TInk {
    double Left = 1e9, Right = -1e9;
    bool Any() const { return Right >= Left; }
};

TInk InkBetween(const QImage& Image, double UnitsPerPixel, double Top, double Bottom) {
    TInk ink;
    const int y0 = std::max(0, int(Top / UnitsPerPixel));
    const int y1 = std::min(Image.height() - 1, int(Bottom / UnitsPerPixel));
    for (int y = y0; y <= y1; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(Image.constScanLine(y));
        for (int x = 0; x < Image.width(); ++x) {
            const QRgb c = line[x];
            // Text is black; the rules are pure red and are left out.
            if (qGreen(c) < 220 && std::abs(qRed(c) - qGreen(c)) < 40) {
                ink.Left = std::min(ink.Left, x * UnitsPerPixel);
                ink.Right = std::max(ink.Right, (x + 1) * UnitsPerPixel);
            }
        }
    }
    return ink;
}

void ComposeCells(TPageDocument& P) {
    P.AllPageClear();
    P.NewPage();
    QPainter& C = *P.ViewCanvas();
    TReportTable table(100, 100);
    for (int x : {0, 200, 320})
        table.AddColumn(x);
    for (int y : {0, 60, 120})
        table.AddRow(y);
    C.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
    table.CellText(C, 0, 0, QStringLiteral("12,345 "), TCellAlign::Right); // fits, right-aligned
    table.CellText(C, 1, 1, QStringLiteral("1,234,567,890"),
                   TCellAlign::Right); // too wide: set smaller
    table.CellText(C, 0, 1, QStringLiteral("土量計算"), TCellAlign::Center);
    for (int c : {0, 1, 2})
        table.Line(C, c, 0, c, 2, 1, Qt::SolidLine, Qt::red);
    // A title drawn straight on the canvas, as reports draw theirs.
    C.setPen(Qt::black);
    TextOutTopLeft(C, 100, 230, QStringLiteral("みどり台 12"));
    P.ViewEnd();
}

} // namespace

TEST(PreviewText, KeepsPlaceAndWidthAtEveryScaleAndNeverCrossesItsRules) {
    TPreViewForm& preview = PreparedPreview({0, 0, 0, 0, 0, 0});
    preview.SetOnPaperChange(ComposeCells);
    preview.RebuildPages();
    const TPreviewPage& page = preview.Page(0);

    struct TRender {
        const char* Name;
        double UnitsPerPixel;
        int Dpi;
    };
    const double screen = 254.0 / 96; // 0.1 mm per screen pixel
    const TRender renders[] = {
        {"20 %", screen / 0.2, 96},       {"100 %", screen, 96},
        {"400 %", screen / 4, 96},        {"thumbnail", 2970.0 / 140, 96},
        {"1200 dpi", 254.0 / 1200, 1200},
    };
    std::vector<std::array<TInk, 3>> inks;
    for (const TRender& r : renders) {
        // Only the part of the page that holds the cells.
        const QSize size(int(500 / r.UnitsPerPixel) + 2, int(300 / r.UnitsPerPixel) + 2);
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(int(r.Dpi / 0.0254 + 0.5));
        image.setDotsPerMeterY(int(r.Dpi / 0.0254 + 0.5));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::TextAntialiasing);
            page.Draw(painter, QRectF(0, 0, page.Meta.Width() / r.UnitsPerPixel,
                                      page.Meta.Height() / r.UnitsPerPixel));
        }
        inks.push_back({InkBetween(image, r.UnitsPerPixel, 102, 158),
                        InkBetween(image, r.UnitsPerPixel, 162, 218),
                        InkBetween(image, r.UnitsPerPixel, 225, 295)});
        SCOPED_TRACE(r.Name);
        ASSERT_TRUE(inks.back()[0].Any());
        // Within its cell: right-aligned 10 units inside the rule at 300.
        EXPECT_LE(inks.back()[0].Right, 300 - 10 + 2 * r.UnitsPerPixel);
        EXPECT_GE(inks.back()[0].Left, 100);
        // The long number stays between the rules at 310 and 420 (ink of the centred
        // heading in the first cell of that row lies left of 300).
        const TInk clipped = InkBetween(image, r.UnitsPerPixel, 162, 218);
        EXPECT_LE(clipped.Right, 420 - 10 + r.UnitsPerPixel);
    }
    // The same place and width at every scale, to a pixel of the coarser rendering.
    const TInk& fine = inks[2][0];
    for (size_t i = 0; i < inks.size(); ++i) {
        SCOPED_TRACE(renders[i].Name);
        const double tolerance = 1.5 * renders[i].UnitsPerPixel + 1;
        EXPECT_NEAR(inks[i][0].Left, fine.Left, tolerance);
        EXPECT_NEAR(inks[i][0].Right, fine.Right, tolerance);
        EXPECT_NEAR(inks[i][2].Left, inks[2][2].Left, tolerance);
        // In a thumbnail the thin strokes of small glyphs fade below the ink threshold: the
        // text may look shorter there, never longer.
        if (renders[i].UnitsPerPixel > 15)
            EXPECT_LE(inks[i][2].Right, inks[2][2].Right + tolerance);
        else
            EXPECT_NEAR(inks[i][2].Right, inks[2][2].Right, tolerance);
    }
}
