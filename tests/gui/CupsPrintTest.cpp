// Printing through a real CUPS queue. Runs when DORYOU_PDF_QUEUE names a PDF queue of the
// server in CUPS_SERVER (the test command starts one); skipped otherwise.

#include "PreviewTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

TEST(CupsPrint, ReportReachesThePdfQueue) {
    const QString queue = qEnvironmentVariable("DORYOU_PDF_QUEUE");
    if (queue.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        GTEST_SKIP() << "no CUPS PDF queue given";
    TPreViewForm& preview = PreparedPreview();
    for (int i = 1; i <= 5; ++i) {
        preview.NewPage();
        preview.ViewCanvas()->drawText(QPointF(100, 200), QStringLiteral("PAGE%1").arg(i));
    }
    preview.ViewEnd();
    TPreviewPrinter& printer = TPreviewPrinter::Current();
    ASSERT_TRUE(printer.UsePrinter(queue)) << queue.toStdString();
    EXPECT_FALSE(printer.IsBuiltIn());

    // The queue names its file after the job's title.
    const QString title = QStringLiteral("doryoutest%1").arg(QDateTime::currentMSecsSinceEpoch());
    const QString saved = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(title);
    // Without a frame window the program's title, and so the job's, is the display name.
    EXPECT_EQ(ApplicationTitle().toStdString(), title.toStdString())
        << "a frame window outlived its test";
    preview.PrintPages(1, 5, 3, false, 1);
    QGuiApplication::setApplicationDisplayName(saved);
    printer.UseBuiltIn();

    const QDir out(QDir::homePath() + QStringLiteral("/PDF"));
    QString found;
    for (int wait = 0; wait < 300 && found.isEmpty(); ++wait) {
        const QStringList files = out.entryList({title + QStringLiteral("*.pdf")}, QDir::Files);
        if (!files.isEmpty())
            found = out.filePath(files.first());
        else
            QThread::msleep(100);
    }
    ASSERT_FALSE(found.isEmpty()) << "nothing printed in " << out.path().toStdString();
    QThread::msleep(300); // the queue may still be writing
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {found});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    // Five pages four a sheet: two sheets.
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))))
        << text.toStdString();
    QFile::remove(found);
}
