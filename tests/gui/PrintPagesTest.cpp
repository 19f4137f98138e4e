// Printing to the built-in PDF printer, checked on the file with poppler's tools.

#include "PreviewTestSupport.h"

#include "platform/Failure.h"
#include "preview/PreviewCountUnit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString Run(const QString& Program, const QStringList& Arguments) {
    QProcess p;
    p.start(Program, Arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct TPdfInfo {
    int Pages = 0;
    double Width = 0, Height = 0; // points
};

TPdfInfo PdfInfo(const QString& File) {
    const QString out = Run(QStringLiteral("pdfinfo"), {File});
    TPdfInfo info;
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
    if (pages.hasMatch())
        info.Pages = pages.captured(1).toInt();
    const auto size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(out);
    if (size.hasMatch()) {
        info.Width = size.captured(1).toDouble();
        info.Height = size.captured(2).toDouble();
    }
    return info;
}

QStringList SheetTexts(const QString& File, int Sheet) {
    const QString text = Run(QStringLiteral("pdftotext"),
                             {QStringLiteral("-f"), QString::number(Sheet), QStringLiteral("-l"),
                              QString::number(Sheet), File, QStringLiteral("-")});
    QStringList words;
    for (const auto& m : QRegularExpression(QStringLiteral("PAGE\\d+")).globalMatch(text))
        words << m.captured(0);
    return words;
}

// Sheet Sheet rendered in grey at 20 dots per inch.
QImage Render(const QString& File, int Sheet, const QString& Dir) {
    const QString stem = Dir + QStringLiteral("/sheet");
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-gray"), QStringLiteral("-f"),
         QString::number(Sheet), QStringLiteral("-l"), QString::number(Sheet),
         QStringLiteral("-singlefile"), File, stem});
    return QImage(stem + QStringLiteral(".pgm"));
}

// Centre of the dark pixels, as fractions of the sheet.
QPointF DarkCentre(const QImage& Image) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (qGray(Image.pixel(x, y)) < 64) {
                sx += x;
                sy += y;
                ++n;
            }
    if (n == 0)
        return {-1, -1};
    return {sx / n / Image.width(), sy / n / Image.height()};
}

// Pages "PAGE1".. with a black block over the top-left quarter of the content area.
TPreViewForm& Document(int Pages) {
    TPreViewForm& preview = PreparedPreview({200, 200, 200, 200, 0, 0});
    for (int i = 1; i <= Pages; ++i) {
        preview.NewPage();
        QPainter& canvas = *preview.ViewCanvas();
        canvas.fillRect(QRect(0, 0, preview.PaperWidth() / 2, preview.PaperHeight() / 2),
                        Qt::black);
        canvas.setPen(Qt::black);
        canvas.drawText(QPointF(100, preview.PaperHeight() * 3 / 4),
                        QStringLiteral("PAGE%1").arg(i));
    }
    preview.ViewEnd();
    return preview;
}

bool PopplerMissing() {
    return QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty() ||
           QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() ||
           QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

} // namespace

TEST(PrintPages, SheetsOfTheBuiltInPdfPrinter) {
    if (PopplerMissing())
        GTEST_SKIP() << "poppler's tools are not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    TPreViewForm& preview = Document(5);
    QPrinter& printer = TPreviewPrinter::Current().Printer();
    printer.setOutputFileName(file);

    struct TCase {
        int From, To, Layout;
        bool Collate;
        int Copies;
        const char* Sheets; // page numbers of each sheet
        bool Landscape;
    } cases[] = {
        // Five pages four a sheet: the fifth alone on the second sheet.
        {1, 5, 3, false, 1, "1 2 3 4|5", false},
        // Two a sheet on the other orientation, each collated copy on its own sheet.
        {1, 2, 2, true, 3, "1 2|1 2|1 2", true},
        // Uncollated copies are made here, sheet by sheet.
        {1, 2, 0, false, 3, "1|1|1|2|2|2", false},
        // A range beyond the document is brought within it.
        {4, 9, 0, false, 1, "4|5", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(
            QStringLiteral("%1..%2 layout %3").arg(c.From).arg(c.To).arg(c.Layout).toStdString());
        QFile::remove(file);
        preview.PrintPages(c.From, c.To, c.Layout, c.Collate, c.Copies);
        const TPdfInfo info = PdfInfo(file);
        EXPECT_EQ(info.Width > info.Height, c.Landscape);
        QStringList sheets;
        for (int s = 1; s <= info.Pages; ++s)
            sheets << SheetTexts(file, s).join(QLatin1Char(' ')).remove(QStringLiteral("PAGE"));
        EXPECT_EQ(sheets.join(QLatin1Char('|')).toStdString(), c.Sheets);
        // The printer is as it was: portrait, one copy.
        EXPECT_FALSE(TPreviewPrinter::Current().Caps().Landscape);
        EXPECT_EQ(printer.copyCount(), 1);
        EXPECT_TRUE(preview.ExitAction->isEnabled());
    }
}

TEST(PrintPages, TurnedPagesAreUpsideDownWithinTheMargins) {
    if (PopplerMissing())
        GTEST_SKIP() << "poppler's tools are not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    TPreViewForm& preview = Document(1);
    TPreviewPrinter::Current().Printer().setOutputFileName(file);

    // The block fills the content's top-left quarter: 20 mm margins on A4, 210 x 297 mm.
    const QPointF upright((20 + 170 / 4.0) / 210, (20 + 257 / 4.0) / 297);
    preview.PrintPages(1, 1, 0, false, 1);
    const QPointF normal = DarkCentre(Render(file, 1, dir.path()));
    EXPECT_NEAR(normal.x(), upright.x(), 0.03);
    EXPECT_NEAR(normal.y(), upright.y(), 0.03);

    preview.PrintPages(1, 1, 1, false, 1);
    const QPointF turned = DarkCentre(Render(file, 1, dir.path()));
    EXPECT_NEAR(turned.x(), 1 - upright.x(), 0.03);
    EXPECT_NEAR(turned.y(), 1 - upright.y(), 0.03);
}

TEST(PrintPages, FailureLeavesThePrinterAndCommandsAsTheyWere) {
    TPreViewForm& preview = Document(2);
    QPrinter& printer = TPreviewPrinter::Current().Printer();
    printer.setOutputFileName(QStringLiteral("/nonexistent-dir/out.pdf"));
    EXPECT_THROW(preview.PrintPages(1, 2, 2, true, 2), EFailure);
    EXPECT_FALSE(TPreviewPrinter::Current().Caps().Landscape);
    EXPECT_EQ(printer.copyCount(), 1);
    EXPECT_TRUE(preview.ExitAction->isEnabled());
    printer.setOutputFileName(QString());
}

// The built-in printer's PDF goes through the atomic writer: a target that cannot be replaced
// keeps what it was, and a finished job replaces the earlier file whole.
TEST(PrintPages, PdfReplacesTheEarlierFileOnlyWhenWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TPreViewForm& preview = Document(2);
    QPrinter& printer = TPreviewPrinter::Current().Printer();
    const QString fifo = dir.filePath(QStringLiteral("fifo.pdf"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString readOnly = dir.filePath(QStringLiteral("read-only.pdf"));
    const QString earlier = dir.filePath(QStringLiteral("earlier.pdf"));
    for (const QString& name : {readOnly, earlier}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    for (const QString& target : {fifo, readOnly}) {
        printer.setOutputFileName(target);
        EXPECT_THROW(preview.PrintPages(1, 2, 0, false, 1), EFailure) << target.toStdString();
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    QFile kept(readOnly);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier"));

    printer.setOutputFileName(earlier);
    preview.PrintPages(1, 2, 0, false, 1);
    QFile written(earlier);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray pdf = written.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
    EXPECT_TRUE(
        QDir(dir.path()).entryList({QStringLiteral(".dy*")}, QDir::Hidden | QDir::Files).isEmpty());
    printer.setOutputFileName(QString());
}

// The progress window lets events through after each page, Esc and the title bar's close
// button among them; the preview stays open until the job is done.
TEST(PrintPages, ThePreviewCannotBeClosedWhileAJobRuns) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TPreViewForm& preview = Document(3);
    QPrinter& printer = TPreviewPrinter::Current().Printer();
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    preview.show();
    bool during = false, afterEsc = false, afterClose = false;
    QTimer::singleShot(0, &preview, [&]() {
        during = true;
        QTest::keyClick(&preview, Qt::Key_Escape);
        afterEsc = preview.isVisible();
        preview.close();
        afterClose = preview.isVisible();
    });
    preview.PrintPages(1, 3, 0, false, 1);
    EXPECT_TRUE(during);
    EXPECT_TRUE(afterEsc);
    EXPECT_TRUE(afterClose);
    ASSERT_TRUE(preview.isVisible());
    EXPECT_TRUE(preview.close());
    EXPECT_FALSE(preview.isVisible());
    preview.show();
    QTest::keyClick(&preview, Qt::Key_Escape);
    EXPECT_FALSE(preview.isVisible());
    printer.setOutputFileName(QString());
}

TEST(PrintPages, ProgressWindowStaysUntilEveryPageIsSent) {
    TPreviewCountForm progress;
    progress.SetCount(12);
    progress.SetValue(5);
    progress.Execute();
    EXPECT_EQ(progress.CntLabel->text(), QStringLiteral("    12"));
    EXPECT_EQ(progress.PosLabel->text(), QStringLiteral("     5"));
    progress.close();
    EXPECT_TRUE(progress.isVisible());
    progress.SetValue(12);
    progress.close();
    EXPECT_FALSE(progress.isVisible());
}
