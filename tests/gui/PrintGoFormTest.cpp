#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "archive/Archives.h"
#include "archive/Lha32.h"
#include "controls/RadioGroup.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "preview/PreviewCountUnit.h"
#include "preview/PrintGoUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QPushButton* Button(QWidget* W, const QString& Text) {
    for (QPushButton* b : W->findChildren<QPushButton*>())
        if (b->text() == Text)
            return b;
    return nullptr;
}

bool IsPrintDialog(QWidget* W) {
    return qobject_cast<TPrintGoForm*>(W) != nullptr;
}

// Print records go to a spool folder of the test's own while this lives.
struct TOwnSpool {
    QTemporaryDir Dir;
    TOwnSpool() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Dir.path());
        QSettings spool(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Nolvo"),
                        QStringLiteral("PreView"));
        spool.setValue(QStringLiteral("SPOOL/PATH"), Dir.filePath(QStringLiteral("spool")));
    }
    ~TOwnSpool() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    QStringList Records() const {
        QStringList paths;
        const QDir folder(Dir.filePath(QStringLiteral("spool")));
        for (const QString& name : folder.entryList({QStringLiteral("*.spl")}, QDir::Files))
            paths << folder.filePath(name);
        return paths;
    }
};

// Confirms the print dialog as it opens and the file dialog of the built-in printer with File.
void ConfirmPrintDialogs(const QString& File) {
    WhenModal(
        [File](QWidget* W) {
            WhenModal(
                [File](QWidget* F) {
                    auto* files = static_cast<QFileDialog*>(F);
                    files->selectFile(File);
                    static_cast<QDialog*>(files)->accept();
                },
                [](QWidget* F) { return qobject_cast<QFileDialog*>(F) != nullptr; });
            Button(W, QStringLiteral("OK"))->click();
        },
        IsPrintDialog);
}

} // namespace

TEST(PrintGoForm, ShowsTheSettingsAndReadsBackTheChoices) {
    PreparedPreview();
    TPrintGoForm form;
    form.MinPage = 1;
    form.MaxPage = 9;
    form.FromPage = 2;
    form.ToPage = 3;
    form.PrintRange = prPageNums;
    form.Copies = 3;
    form.Collate = true;
    form.SpecialNumber = 4;
    bool shown = false;
    WhenModal(
        [&](QWidget*) {
            shown = true;
            EXPECT_TRUE(form.SelectPage->isChecked());
            EXPECT_EQ(form.MinPageEdit->text(), QStringLiteral("2"));
            EXPECT_TRUE(form.GroupCheck->isEnabled());
            EXPECT_TRUE(form.GroupCheck->isChecked());
            EXPECT_TRUE(form.MultiRadio->isChecked());
            EXPECT_TRUE(form.MultiGroup->isEnabled());
            EXPECT_EQ(form.MultiGroup->ItemIndex(), 2);
            EXPECT_FALSE(form.ScalePaperBox->isEnabled());
            EXPECT_EQ(form.ScalePaperBox->currentText(), QPageSize(QPageSize::A4).name());
            // Typing a page selects the typed range; one copy cannot be collated.
            form.AllPage->setChecked(true);
            form.MaxPageEdit->clear();
            QTest::keyClicks(form.MaxPageEdit, QStringLiteral("x"));
            EXPECT_TRUE(form.SelectPage->isChecked());
            form.GroupNumBox->setValue(1);
            EXPECT_FALSE(form.GroupCheck->isEnabled());
            form.ReverseRadio->setChecked(true);
            EXPECT_FALSE(form.MultiGroup->isEnabled());
            QTest::mouseClick(Button(&form, QStringLiteral("OK")), Qt::LeftButton);
        },
        IsPrintDialog);
    ASSERT_TRUE(form.Execute());
    EXPECT_TRUE(shown);
    EXPECT_EQ(form.PrintRange, prPageNums);
    EXPECT_EQ(form.FromPage, 2);
    EXPECT_EQ(form.ToPage, 0); // not a number
    EXPECT_EQ(form.Copies, 1);
    EXPECT_FALSE(form.Collate);
    EXPECT_EQ(form.SpecialNumber, 1);

    WhenModal(
        [&](QWidget*) {
            QTest::mouseClick(Button(&form, QStringLiteral("キャンセル")), Qt::LeftButton);
        },
        IsPrintDialog);
    EXPECT_FALSE(form.Execute());
}

TEST(PrintGoForm, PrintCommandWritesTheChosenLayoutToAPdfFile) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        GTEST_SKIP() << "poppler's tools are not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("job.pdf"));
    // The print record goes to a spool folder of the test's own.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    {
        QSettings spool(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Nolvo"),
                        QStringLiteral("PreView"));
        spool.setValue(QStringLiteral("SPOOL/PATH"), dir.filePath(QStringLiteral("spool")));
    }
    SetArchiverLibraryFolder(DORYOU_BUILD_DIR);
    TLha32::Binding().FreeDll();
    TPreViewForm& preview = PreparedPreview();
    for (int i = 0; i < 5; ++i)
        preview.NewPage();
    preview.ViewEnd();
    ASSERT_TRUE(preview.PrintAction->isEnabled());

    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPrintGoForm*>(W);
            form->MultiRadio->setChecked(true);
            form->MultiGroup->SetItemIndex(0); // two a sheet
            form->ScaledCheck->setChecked(true);
            form->ScalePaperBox->setCurrentText(QPageSize(QPageSize::A3).name());
            WhenModal(
                [&](QWidget* F) {
                    auto* files = static_cast<QFileDialog*>(F);
                    files->selectFile(file);
                    static_cast<QDialog*>(files)->accept();
                },
                [](QWidget* F) { return qobject_cast<QFileDialog*>(F) != nullptr; });
            Button(form, QStringLiteral("OK"))->click();
        },
        IsPrintDialog);
    preview.PrintAction->trigger();

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {file});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))))
        << out.toStdString();
    // A3 turned to landscape for two a sheet.
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("Page size:\\s+1191 x 842"))))
        << out.toStdString();
    // The printer's paper and orientation are back.
    const QPageLayout layout = TPreviewPrinter::Current().Printer().pageLayout();
    EXPECT_TRUE(layout.pageSize().isEquivalentTo(QPageSize(QPageSize::A4)));
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    // The job's range and its record.
    EXPECT_EQ(preview.FromP(), 1);
    EXPECT_EQ(preview.ToP(), 5);
    const QStringList records = QDir(dir.filePath(QStringLiteral("spool")))
                                    .entryList({QStringLiteral("*.spl")}, QDir::Files);
    ASSERT_EQ(records.size(), 1);
    // Packed by our LHA library (beside the program, found here through the build folder): the
    // block is an archive whose one member lha extracts to the page stream.
    QFile record(dir.filePath(QStringLiteral("spool/")) + records[0]);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray bytes = record.readAll();
    ASSERT_GT(bytes.size(), 566);
    EXPECT_EQ(bytes.at(561), 0);
    if (!QStandardPaths::findExecutable(QStringLiteral("lha")).isEmpty()) {
        QFile lzh(dir.filePath(QStringLiteral("block.lzh")));
        ASSERT_TRUE(lzh.open(QIODevice::WriteOnly));
        lzh.write(bytes.mid(566));
        lzh.close();
        QProcess lha;
        lha.start(QStringLiteral("lha"), {QStringLiteral("-pq"), lzh.fileName()});
        ASSERT_TRUE(lha.waitForFinished(10000));
        const QByteArray stream = lha.readAllStandardOutput();
        EXPECT_GT(stream.size(), 5 * 8); // five pages, each with its 8-byte prefix
        EXPECT_EQ(stream.left(4), QByteArray(4, '\0'));
    }
    SetArchiverLibraryFolder(std::string());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    TPreviewPrinter::Current().Printer().setOutputFileName(QString());
}

// The program's title is the frame window's caption wherever it shows: in the preview's
// caption, on the progress window, as the print job's title and in the print record.
TEST(PrintGoForm, TheFramesTitleNamesTheJobTheProgressAndTheRecord) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        GTEST_SKIP() << "poppler's tools are not installed";
    const QString title = QStringLiteral("土量計算システム");
    QMainWindow frame;
    frame.setWindowTitle(title);
    TOwnSpool spool;
    ASSERT_TRUE(spool.Dir.isValid());
    const QString file = spool.Dir.filePath(QStringLiteral("job.pdf"));
    TPreViewForm& preview = PreparedPreview();
    preview.NewPage();
    preview.ViewEnd();
    preview.show();
    EXPECT_EQ(preview.windowTitle().toStdString(), "プレビュー《土量計算システム》");

    QString progressTitle;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&]() {
        for (TPreviewCountForm* progress : preview.findChildren<TPreviewCountForm*>())
            if (progress->isVisible())
                progressTitle = progress->windowTitle();
    });
    watch.start();
    ConfirmPrintDialogs(file);
    preview.PrintAction->trigger();
    watch.stop();
    preview.hide();

    EXPECT_EQ(progressTitle.toStdString(), title.toStdString());
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {file});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(
        QRegularExpression(QStringLiteral("Title:\\s+") + title + QStringLiteral("\\n"))))
        << out.toStdString();
    const QStringList records = spool.Records();
    ASSERT_EQ(records.size(), 1);
    QFile record(records[0]);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray field = record.read(24 + 128).mid(24);
    const QByteArray text = field.left(field.indexOf('\0'));
    EXPECT_EQ(Cp932ToUtf8(text.toStdString()), title.toStdString());
    TPreviewPrinter::Current().Printer().setOutputFileName(QString());
}

// Printing without the preview: the pages are composed again and the print dialog opens with
// the preview hidden; a document without pages fails for the caller to report.
TEST(PrintGoForm, PrintExecuteGoesStraightToThePrintDialog) {
    TOwnSpool spool;
    ASSERT_TRUE(spool.Dir.isValid());
    TPreViewForm& preview = PreparedPreview();
    try {
        preview.PrintExecute();
        FAIL() << "no failure";
    } catch (const EFailure& e) {
        EXPECT_STREQ(e.what(), "印刷するページがありません。");
    }

    int composed = 0;
    preview.SetOnPaperChange([&composed](TPageDocument& P) {
        ++composed;
        P.AllPageClear();
        for (int i = 0; i < 3; ++i)
            P.NewPage();
        P.ViewEnd();
    });
    bool opened = false, previewShown = true;
    int lastPage = 0;
    WhenModal(
        [&](QWidget* W) {
            opened = true;
            previewShown = preview.isVisible();
            lastPage = static_cast<TPrintGoForm*>(W)->MaxPage;
            Button(W, QStringLiteral("キャンセル"))->click();
        },
        IsPrintDialog);
    EXPECT_NO_THROW(preview.PrintExecute());
    EXPECT_TRUE(opened);
    EXPECT_FALSE(previewShown);
    EXPECT_EQ(composed, 1);
    EXPECT_EQ(lastPage, 3);
    EXPECT_TRUE(spool.Records().isEmpty());

    const QString file = spool.Dir.filePath(QStringLiteral("job.pdf"));
    ConfirmPrintDialogs(file);
    preview.PrintExecute();
    EXPECT_EQ(composed, 2);
    EXPECT_FALSE(preview.isVisible());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(preview.FromP(), 1);
    EXPECT_EQ(preview.ToP(), 3);
    EXPECT_EQ(spool.Records().size(), 1);
    preview.SetOnPaperChange(nullptr);
    TPreviewPrinter::Current().Printer().setOutputFileName(QString());
}
