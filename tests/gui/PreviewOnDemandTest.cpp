// A report's pages composed when first shown: the same pages as composed in one go, few held at
// once, paging, printing a range, and cancelling the composing or the print job.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "model/DataUnit.h"
#include "platform/Progress.h"
#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewCountUnit.h"
#include "reports/PrintOutUnitReports.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// A calculated site of Side x Side points: its list runs to some forty pages.
void BuildSite(TInputData& D, int Side) {
    D.SetLayer(2);
    D.SetHyoudo(true);
    D.SetTitle("on demand");
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 10.0 + 0.01 * y;
            g.GH = 9.0 + 0.25 * x;
            g.LAYER[0] = 0.3;
            g.LAYER[1] = 1.0;
            D.SetMeshData(g);
        }
    ASSERT_TRUE(D.Calcrate());
}

TPreViewForm& ReportPreview(const TInputData& Data) {
    TPreViewForm& preview = PreparedPreview();
    preview.Header = {QStringLiteral("&F"), QString(), QString()};
    preview.Footer = {QString(), QStringLiteral("&P / &N"), QString()};
    preview.SetOnPaperChange([&Data](TPageDocument& P) { BuildReports(P, Data, true, true); });
    return preview;
}

// Page Index as the paper shows it, at 150 dots per inch.
QImage PageImage(const TPreViewForm& Preview, int Index) {
    const double s = 150.0 / 254;
    QImage image(QSize(Preview.PaperW() * 10, Preview.PaperH() * 10) * s, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(s, s);
    Preview.DrawSheet(painter, Index);
    return image;
}

// The page view as the window paints it.
QImage ViewImage(TPreViewForm& Preview) {
    QImage image(Preview.View->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    Preview.PaintView(painter);
    return image;
}

QString PdfSheetText(const QString& File, int Sheet) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-f"), QString::number(Sheet), QStringLiteral("-l"),
             QString::number(Sheet), File, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(PreviewOnDemand, PagesEqualThoseComposedInOneGo) {
    TInputData data;
    BuildSite(data, 40);
    TPreViewForm& preview = ReportPreview(data);
    // As the preview composed its pages before: all of them at once.
    preview.Document().SetPageCache(1 << 20, 1 << 20);
    preview.RebuildPages();
    const int pages = preview.PageNum();
    ASSERT_GE(pages, 30);
    EXPECT_EQ(preview.Document().HeldPages(), pages);
    const int chosen[] = {0, 1, pages / 2, pages - 1};
    std::vector<QImage> sheets, views;
    for (int index : chosen) {
        sheets.push_back(PageImage(preview, index));
        preview.SetDrawPageNum(index + 1);
        views.push_back(ViewImage(preview));
    }

    // Now a run of three pages at a time and at most seven held, the first run composed on the
    // worker thread, the others here.
    preview.Document().SetPageCache(3, 7);
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), pages);
    EXPECT_EQ(preview.Document().HeldPages(), 3);
    for (size_t k = 0; k < std::size(chosen); ++k) {
        // The view first: the page is composed as the window shows it.
        preview.SetDrawPageNum(chosen[k] + 1);
        EXPECT_EQ(ViewImage(preview), views[k]) << "page " << chosen[k] + 1;
        EXPECT_EQ(PageImage(preview, chosen[k]), sheets[k]) << "page " << chosen[k] + 1;
    }
    EXPECT_TRUE(GrabPage(preview, pages - 1).Has(QStringLiteral("%1 / %1").arg(pages)));
    preview.Document().SetPageCache(50, 400);
    preview.SetOnPaperChange(nullptr);
}

TEST(PreviewOnDemand, PagingHoldsFewPagesAndThumbnails) {
    TInputData data;
    BuildSite(data, 40);
    TPreViewForm& preview = ReportPreview(data);
    preview.Document().SetPageCache(3, 7);
    preview.RebuildPages();
    preview.show();
    const int pages = preview.PageNum();
    int mostHeld = 0, mostThumbnails = 0;
    auto look = [&]() {
        ViewImage(preview);
        preview.ScrollBox2->viewport()->repaint();
        QApplication::processEvents();
        mostHeld = std::max(mostHeld, preview.Document().HeldPages());
        mostThumbnails = std::max(mostThumbnails, preview.SumnailWidgetCount());
    };
    for (int i = 1; i < pages; ++i) {
        QTest::keyClick(&preview, Qt::Key_Down);
        look();
    }
    EXPECT_EQ(preview.DrawPageNum(), pages);
    EXPECT_EQ(preview.StatusPanels[1]->text(), QStringLiteral("%1 / %1").arg(pages));
    EXPECT_FALSE(preview.PageNextAction->isEnabled());
    preview.SetDrawPageNum(pages / 2);
    look();
    EXPECT_EQ(preview.StatusPanels[1]->text(), QStringLiteral("%1 / %2").arg(pages / 2).arg(pages));
    // The thumbnail of the page shown is there and marked, and it pages on a click.
    ASSERT_NE(preview.Sumnail(pages / 2 - 1), nullptr);
    EXPECT_TRUE(preview.Sumnail(pages / 2 - 1)->Selected());
    QTest::mouseClick(preview.Sumnail(pages / 2), Qt::LeftButton);
    EXPECT_EQ(preview.DrawPageNum(), pages / 2 + 1);
    preview.SetDrawPageNum(1);
    look();
    EXPECT_LE(mostHeld, 7);
    // Those in sight and eight either side.
    const int step = TSumnail::HeightFor(preview.PaperW(), preview.PaperH()) + 5;
    EXPECT_LE(mostThumbnails, preview.ScrollBox2->viewport()->height() / step + 18);
    EXPECT_EQ(preview.Sumnail(pages - 1), nullptr); // far out of sight
    preview.hide();
    preview.Document().SetPageCache(50, 400);
    preview.SetOnPaperChange(nullptr);
}

TEST(PreviewOnDemand, PrintingARangePrintsThosePages) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TInputData data;
    BuildSite(data, 40);
    TPreViewForm& preview = ReportPreview(data);
    preview.Document().SetPageCache(3, 7);
    preview.RebuildPages();
    const int pages = preview.PageNum();
    const QString file = dir.filePath(QStringLiteral("range.pdf"));
    TPreviewPrinter::Current().Printer().setOutputFileName(file);
    const int from = pages / 2, to = pages / 2 + 4; // across runs of three
    preview.PrintPages(from, to, 0, false, 1);
    for (int sheet = 1; sheet <= to - from + 1; ++sheet)
        EXPECT_TRUE(PdfSheetText(file, sheet)
                        .contains(QStringLiteral("%1 / %2").arg(from + sheet - 1).arg(pages)))
            << "sheet " << sheet;
    EXPECT_TRUE(PdfSheetText(file, to - from + 2).isEmpty());
    EXPECT_LE(preview.Document().HeldPages(), 7);
    TPreviewPrinter::Current().Printer().setOutputFileName(QString());
    preview.Document().SetPageCache(50, 400);
    preview.SetOnPaperChange(nullptr);
}

// Cancelled while composing, the preview does not open and holds no pages.
TEST(PreviewOnDemand, CancelledComposingOpensNoPreview) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange([](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < 400; ++i) {
            P.NewPage();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        P.ViewEnd();
    });
    bool boxSeen = false;
    WhenModal(
        [&](QWidget* W) {
            boxSeen = true;
            auto* cancel = W->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            QTest::mouseClick(cancel, Qt::LeftButton);
        },
        [](QWidget* W) { return qobject_cast<QProgressDialog*>(W) != nullptr; }, 5000);
    preview.Execute();
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(preview.isVisible());
    EXPECT_EQ(preview.PageNum(), 0);
    preview.SetOnPaperChange(nullptr);
}

// Cancelled in the progress window, a print job leaves the earlier PDF as it was.
TEST(PreviewOnDemand, CancelledPrintLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TInputData data;
    BuildSite(data, 40);
    TPreViewForm& preview = ReportPreview(data);
    preview.RebuildPages();
    const QString file = dir.filePath(QStringLiteral("earlier.pdf"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    TPreviewPrinter::Current().Printer().setOutputFileName(file);
    bool pressed = false;
    QTimer::singleShot(0, [&]() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* count = qobject_cast<TPreviewCountForm*>(w); count && count->isVisible()) {
                QTest::mouseClick(count->CancelButton, Qt::LeftButton);
                pressed = true;
            }
    });
    EXPECT_THROW(preview.PrintPages(1, preview.PageNum(), 0, false, 1), ECancelled);
    EXPECT_TRUE(pressed);
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // The commands are back.
    EXPECT_TRUE(preview.PrintAction->isEnabled());
    TPreviewPrinter::Current().Printer().setOutputFileName(QString());
    preview.SetOnPaperChange(nullptr);
}
