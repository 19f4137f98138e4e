// The page setup dialog and the printer's paper operations, driven as a user would: through
// the preview's command where the preview's state is the point, on the dialog itself otherwise.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "controls/NlvLabel.h"
#include "preview/PreviewSetup02Unit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

bool IsPageSetup(QWidget* W) {
    return qobject_cast<TPreSetupForm02*>(W) != nullptr;
}

// Replaces what a field shows by Text, typed key by key.
void TypeInto(QWidget* Field, const QString& Text) {
    auto* edit = qobject_cast<QLineEdit*>(Field);
    if (!edit)
        edit = Field->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, Text);
}

int PaperPosition(const QComboBox* Box, QPageSize::PageSizeId Id) {
    return Box->findData(static_cast<int>(Id));
}

// Fifty lines 10 mm apart, flowing over as many pages as the content area needs.
void ComposeLines(TPageDocument& P) {
    P.AllPageClear();
    P.NewPage();
    int y = 0;
    for (int i = 0; i < 50; ++i) {
        if (y + 100 > P.PaperHeight()) {
            P.NewPage();
            y = 0;
        }
        TextOutTopLeft(*P.ViewCanvas(), 0, y, QStringLiteral("行%1").arg(i + 1));
        y += 100;
    }
    P.ViewEnd();
}

bool SameStyles(const std::vector<TTextStyle>& A, const std::vector<TTextStyle>& B) {
    if (A.size() != B.size())
        return false;
    for (size_t i = 0; i < A.size(); ++i) {
        const TTextStyle &a = A[i], &b = B[i];
        if (a.StyleName != b.StyleName || a.Font.family() != b.Font.family() ||
            PageFontHeight(a.Font) != PageFontHeight(b.Font) ||
            FontStyleBits(a.Font) != FontStyleBits(b.Font) || a.Color != b.Color ||
            a.LeftI != b.LeftI || a.LeftI2 != b.LeftI2 || a.RightI != b.RightI ||
            a.RightI2 != b.RightI2 || a.Height != b.Height || a.Align != b.Align)
            return false;
    }
    return true;
}

} // namespace

TEST(PageSetup, MarginFieldsKeepWithinThePrinterAndFourHundred) {
    PreparedPreview();
    // A border of 4.2 mm: the printing system keeps margins in whole points, 12 pt, so the
    // printable area starts 200 dots in at 1200 dots per inch, 42.3 units, and the fields
    // start at 43.
    TPreviewPrinter::Current().SetUnprintableBorder(QMarginsF(4.2, 4.2, 4.2, 4.2));
    TPreSetupForm02 form;
    for (int k = 0; k < 6; ++k)
        form.SetMargin(k, 100);
    WhenModal(
        [&](QWidget*) {
            for (QSpinBox* e : {form.TopMEdit, form.HdMEdit, form.FtMEdit}) {
                EXPECT_EQ(e->minimum(), 43);
                EXPECT_EQ(e->maximum(), 400);
            }
            for (int k = 0; k < 6; ++k)
                EXPECT_EQ(form.RangeLabels[k]->Caption(), QStringLiteral("(43～400)")) << k;
            EXPECT_EQ(form.PrSizeLabel->Caption(), QStringLiteral("横 210(mm) × 縦 297(mm)"));
            EXPECT_TRUE(form.PortRadio->isChecked());
            // Entering a field shows its picture: top is picture 1, footer picture 0.
            EXPECT_EQ(form.YohakuImage(), -1);
            QFocusEvent in(QEvent::FocusIn);
            QApplication::sendEvent(form.TopMEdit, &in);
            EXPECT_EQ(form.YohakuImage(), 1);
            QApplication::sendEvent(form.FtMEdit, &in);
            EXPECT_EQ(form.YohakuImage(), 0);
            TypeInto(form.LeftMEdit, QStringLiteral("99999999999"));
            form.LeftMEdit->interpretText(); // leaving the field
            EXPECT_EQ(form.LeftMEdit->value(), 400);
            TypeInto(form.LeftMEdit, QStringLiteral("500"));
            TypeInto(form.TopMEdit, QStringLiteral("7"));
            TypeInto(form.RightMEdit, QStringLiteral("abc"));
            TypeInto(form.BottomMEdit, QStringLiteral("123"));
            TypeInto(form.HdMEdit, QStringLiteral("-3"));
            QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        },
        IsPageSetup);
    ASSERT_TRUE(form.Execute());
    // Left, top, right, bottom, header, footer.
    const int expected[6] = {400, 43, 43, 123, 43, 100};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(form.GetMargin(k), expected[k]) << k;
    TPreviewPrinter::Current().UseBuiltIn();
}

// OK does not take margins that leave the paper too little room: the dialog says so and stays
// open until they fit.
TEST(PageSetup, MarginsThatLeaveNoRoomCannotBeConfirmed) {
    PreparedPreview({100, 100, 100, 100, 0, 0}, QPageSize::A5);
    TPreSetupForm02 form;
    for (int k = 0; k < 6; ++k)
        form.SetMargin(k, 100);
    QString text;
    WhenModal(
        [&](QWidget*) {
            form.PageControl1->setCurrentWidget(form.HeaderSheet);
            TypeInto(form.LeftMEdit, QStringLiteral("400"));
            TypeInto(form.RightMEdit, QStringLiteral("400"));
            AnswerMessageBox(QMessageBox::Ok, &text);
            form.BitBtn1->click(); // 680 of the paper's 1480 left: refused
            EXPECT_TRUE(form.isVisible());
            EXPECT_EQ(form.PageControl1->currentWidget(), form.YohakuSheet);
            TypeInto(form.RightMEdit, QStringLiteral("300"));
            form.BitBtn1->click(); // 780: taken
        },
        IsPageSetup);
    ASSERT_TRUE(form.Execute());
    EXPECT_TRUE(text.startsWith(QStringLiteral("余白が大きすぎます。"))) << text.toStdString();
    EXPECT_EQ(form.GetMargin(0), 400);
    EXPECT_EQ(form.GetMargin(2), 300);
    PreparedPreview();
}

TEST(PageSetup, ConfirmingRebuildsThePreviewWithTheNewSettings) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange(ComposeLines);
    // Locked to landscape: 19 lines a page, three pages.
    preview.SetOrientation(TOrientation::voLandLock);
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 3);
    const std::vector<TTextStyle> styles = preview.FontList();
    ASSERT_TRUE(preview.ActPageSetup->isEnabled());
    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            // The preview of this program offers no style editing.
            EXPECT_FALSE(form->PageControl1->isTabVisible(2));
            EXPECT_TRUE(form->LandRadio->isChecked());
            QTest::mouseClick(form->PortRadio, Qt::LeftButton);
            EXPECT_TRUE(form->PortRadio->isChecked());
            form->TopMEdit->setValue(400);
            form->BottomMEdit->setValue(400);
            form->HLeftEdit->setText(QStringLiteral("左&P"));
            form->FRightEdit->setText(QStringLiteral("右"));
            form->BitBtn1->click();
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_EQ(preview.Marzins(), (std::array<int, 6>{100, 400, 100, 400, 0, 0}));
    EXPECT_EQ(preview.Header[0], QStringLiteral("左&P"));
    EXPECT_EQ(preview.Footer[2], QStringLiteral("右"));
    EXPECT_TRUE(SameStyles(preview.FontList(), styles));
    // Back to landscape by the lock: 13 lines a page, four pages (portrait would give three).
    EXPECT_TRUE(TPreviewPrinter::Current().Caps().Landscape);
    ASSERT_EQ(preview.PageNum(), 4);
    EXPECT_TRUE(GrabPage(preview, 1).Has(QStringLiteral("左2")));
    EXPECT_TRUE(GrabPage(preview, 3).Has(QStringLiteral("右")));
}

TEST(PageSetup, StartPageNumber) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange(ComposeLines);
    preview.Header = {QString(), QStringLiteral("頁&P"), QString()};
    preview.SetStPNum(5);
    preview.RebuildPages();
    ASSERT_EQ(preview.PageNum(), 2);

    // The field shows 1 at every opening; the buttons step within -100 ... 9999.
    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            EXPECT_EQ(form->Edit1->text(), QStringLiteral("1"));
            QTest::mouseClick(form->UpButton, Qt::LeftButton);
            EXPECT_EQ(form->Edit1->text(), QStringLiteral("2"));
            // Typed, button, shown after the click.
            const std::tuple<const char*, QToolButton*, const char*> steps[] = {
                {"9999", form->UpButton, "9999"},
                {"-100", form->DownButton, "-100"},
                {"1233", form->UpButton, "1234"}};
            for (const auto& [typed, button, shown] : steps) {
                form->Edit1->setText(QString::fromUtf8(typed));
                QTest::mouseClick(button, Qt::LeftButton);
                EXPECT_EQ(form->Edit1->text(), QString::fromUtf8(shown));
            }
            form->BitBtn1->click();
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_EQ(preview.StPNum(), 1234);

    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            EXPECT_EQ(form->Edit1->text(), QStringLiteral("1"));
            TypeInto(form->Edit1, QStringLiteral("abc"));
            form->BitBtn1->click();
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_EQ(preview.StPNum(), 0);
    // Page number 0 empties every "&P" text of the first page; the second is page 1.
    for (const TGrabbedText& t : GrabPage(preview, 0).Texts)
        EXPECT_FALSE(t.Text.startsWith(QStringLiteral("頁"))) << t.Text.toStdString();
    EXPECT_TRUE(GrabPage(preview, 1).Has(QStringLiteral("頁1")));
}

TEST(PageSetup, DefaultStoresTheSettingsOnlyWhenChecked) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    const QString file = dir.filePath(QStringLiteral("Nolvo/PreView.ini"));
    const QString key = QCoreApplication::applicationName() + QStringLiteral("/MARGIN0");
    TPreViewForm& preview = PreparedPreview();
    for (bool keep : {false, true}) {
        WhenModal(
            [&](QWidget* W) {
                auto* form = static_cast<TPreSetupForm02*>(W);
                EXPECT_FALSE(form->DefCheck->isChecked());
                form->LeftMEdit->setValue(keep ? 250 : 150);
                form->DefCheck->setChecked(keep);
                form->BitBtn1->click();
            },
            IsPageSetup);
        preview.ActPageSetup->trigger();
        EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(key).toString(),
                  keep ? QStringLiteral("250") : QString());
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

TEST(PageSetup, CancelPutsOrientationBackAndKeepsThePaper) {
    TPreViewForm& preview = PreparedPreview();
    preview.SetOnPaperChange(ComposeLines);
    preview.RebuildPages();
    TPreviewPrinter& printer = TPreviewPrinter::Current();

    // Esc presses cancel.
    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            form->PaperListBox->setCurrentIndex(PaperPosition(form->PaperListBox, QPageSize::A3));
            QTest::mouseClick(form->LandRadio, Qt::LeftButton);
            EXPECT_TRUE(printer.Caps().Landscape);
            EXPECT_EQ(form->PrSizeLabel->Caption(), QStringLiteral("横 420(mm) × 縦 297(mm)"));
            form->TopMEdit->setValue(300);
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(form, &esc);
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_FALSE(printer.Caps().Landscape);
    EXPECT_EQ(printer.PaperCode(), QPageSize::A3);
    EXPECT_EQ(preview.Marzins()[1], 100);
    // The pages follow the paper that stayed.
    EXPECT_EQ(preview.PaperW(), 297);
    EXPECT_EQ(preview.PaperHeight(), 4200 - 200);

    // The title bar's close leaves the printer as the dialog left it.
    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            form->LandRadio->click();
            form->close();
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_TRUE(printer.Caps().Landscape);
    EXPECT_EQ(preview.PaperW(), 420);
}

TEST(PageSetup, PrinterButtonOpensThePrintingSystemsDialog) {
    PreparedPreview();
    TPreSetupForm02 form;
    std::string opened;
    WhenModal(
        [&](QWidget*) {
            opened = ModalsOpenedByClick(form.BitBtn3);
            QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        },
        IsPageSetup);
    EXPECT_FALSE(form.Execute()) << "cancelled";
    EXPECT_EQ(opened, "QPageSetupDialog");
}

TEST(PageSetup, StyleTabEditsTheDialogsCopy) {
    PreparedPreview();
    std::vector<TTextStyle> styles = SharedPreviewForm().FontList();
    TPreSetupForm02 form;
    form.SetFontTabVisible(true);
    form.SetFontStyle(styles);
    // One tab per named style: all but the first.
    ASSERT_EQ(form.FontTable->count(), 6);
    EXPECT_EQ(form.FontTable->tabText(0), QStringLiteral("本文"));
    EXPECT_EQ(form.LMEdit1->value(), 120);
    EXPECT_EQ(form.HeightEdit->value(), 30);
    EXPECT_EQ(form.FontBox->currentText(), QStringLiteral("ＭＳ 明朝"));
    // "表中文" has no line spacing of its own.
    form.FontTable->setCurrentIndex(4);
    EXPECT_FALSE(form.SpaceEdit->isEnabled());
    EXPECT_TRUE(form.HeightEdit->isEnabled());
    form.HeightEdit->setValue(50);
    QTest::mouseClick(form.FontBtn2, Qt::LeftButton);
    form.FontBox->setCurrentText(QStringLiteral("ＭＳ ゴシック"));
    emit form.FontBox->textActivated(form.FontBox->currentText());
    // Showing another style leaves the edited one as it is.
    form.FontTable->setCurrentIndex(1);
    EXPECT_TRUE(form.FontBtn1->isChecked());
    EXPECT_EQ(form.HeightEdit->value(), 45);

    std::vector<TTextStyle> back = styles;
    form.GetFontStyle(back);
    EXPECT_EQ(PageFontHeight(back[5].Font), -50);
    EXPECT_EQ(FontStyleBits(back[5].Font), fsItalic);
    EXPECT_EQ(back[5].Font.family(), QStringLiteral("ＭＳ ゴシック"));
    back[5] = styles[5];
    EXPECT_TRUE(SameStyles(back, styles));
    // Fewer entries than the dialog holds take only their own.
    std::vector<TTextStyle> two(2);
    form.GetFontStyle(two);
    EXPECT_EQ(two[1].StyleName, QStringLiteral("本文"));
}

TEST(PageSetup, TextHeightStaysWithinWhatAPageHolds) {
    PreparedPreview();
    std::vector<TTextStyle> styles = SharedPreviewForm().FontList();
    TPreSetupForm02 form;
    form.SetFontTabVisible(true);
    form.SetFontStyle(styles);
    form.resize(600, 500);
    form.PageControl1->setCurrentWidget(form.FontSheet);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.HeightEdit->setFocus();
    QTest::keyClick(form.HeightEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form.HeightEdit, QStringLiteral("157708730"));
    QTest::keyClick(form.HeightEdit, Qt::Key_Return);
    const int typed = form.HeightEdit->value();
    EXPECT_LE(typed, 10000) << "at most 1 m, as the settings read it";
    form.HeightEdit->stepBy(100000);
    EXPECT_EQ(form.HeightEdit->value(), 10000);
    form.FontView->grab(); // the sample at that height, in screen pixels
    std::vector<TTextStyle> back = styles;
    form.GetFontStyle(back);
    EXPECT_EQ(PageFontHeight(back[1].Font), -10000);
}

TEST(PreviewPrinter, PaperOperationsOnTheBuiltInPrinter) {
    PreparedPreview();
    TPreviewPrinter& printer = TPreviewPrinter::Current();
    const QStringList names = TPreviewPrinter::PrinterNames();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), QStringLiteral("PDFファイル出力"));
    EXPECT_EQ(printer.PrinterIndex(), names.size() - 1);

    TPaperList papers;
    const int a4 = printer.ListPapers(papers);
    ASSERT_GE(a4, 0);
    EXPECT_EQ(papers[a4].Code, QPageSize::A4);
    for (QPageSize::PageSizeId id : {QPageSize::A3, QPageSize::A5, QPageSize::B4, QPageSize::B5,
                                     QPageSize::Letter, QPageSize::Legal})
        EXPECT_TRUE(std::any_of(papers.begin(), papers.end(), [id](const TPaperEntry& e) {
            return e.Code == id;
        })) << id;

    printer.SetLandscape(true);
    int a3 = -1;
    for (int k = 0; k < static_cast<int>(papers.size()); ++k)
        if (papers[k].Code == QPageSize::A3)
            a3 = k;
    ASSERT_TRUE(printer.SelectPaper(papers, a3));
    EXPECT_EQ(printer.PaperCode(), QPageSize::A3);
    EXPECT_TRUE(printer.Caps().Landscape);
    for (int outside : {-1, static_cast<int>(papers.size())})
        EXPECT_FALSE(printer.SelectPaper(papers, outside));
    EXPECT_EQ(printer.PaperCode(), QPageSize::A3);
    // The current printer once more, or one outside the list: nothing changes.
    for (int index : {printer.PrinterIndex(), -1, static_cast<int>(names.size())}) {
        EXPECT_EQ(printer.SelectPrinterPapers(index, papers), a3);
        EXPECT_TRUE(printer.IsBuiltIn());
        EXPECT_TRUE(printer.Caps().Landscape);
    }

    // The printing system's page dialog: cancelled it changes nothing, confirmed it tells
    // the paper.
    int code = -1;
    for (bool confirm : {false, true}) {
        WhenModal(
            [confirm](QWidget* W) {
                auto* dialog = static_cast<QDialog*>(W);
                confirm ? dialog->accept() : dialog->reject();
            },
            [](QWidget* W) { return qobject_cast<QPageSetupDialog*>(W) != nullptr; });
        EXPECT_EQ(printer.PrinterProperties(nullptr, code), confirm);
    }
    EXPECT_EQ(code, QPageSize::A3);
    EXPECT_EQ(printer.PaperCode(), QPageSize::A3);
    EXPECT_TRUE(printer.Caps().Landscape);
    printer.UseBuiltIn();
}

// On the CUPS test queue (see CupsPrintTest.cpp); skipped without it.
TEST(CupsPrint, PageSetupChoosesTheQueueAndCancelComesBack) {
    const QString queue = qEnvironmentVariable("DORYOU_PDF_QUEUE");
    if (queue.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        GTEST_SKIP() << "no CUPS PDF queue given";
    TPreViewForm& preview = PreparedPreview({100, 100, 100, 100, 0, 0}, QPageSize::A5, true);
    TPreviewPrinter& printer = TPreviewPrinter::Current();
    const int queueIndex = static_cast<int>(TPreviewPrinter::PrinterNames().indexOf(queue));
    ASSERT_GE(queueIndex, 0);

    WhenModal(
        [&](QWidget* W) {
            auto* form = static_cast<TPreSetupForm02*>(W);
            form->PrintListBox->setCurrentIndex(queueIndex);
            EXPECT_FALSE(printer.IsBuiltIn());
            // The queue's own papers, the orientation taken along.
            EXPECT_GT(form->PaperListBox->count(), 0);
            EXPECT_TRUE(printer.Caps().Landscape);
            EXPECT_TRUE(form->LandRadio->isChecked());
            const int a4 = PaperPosition(form->PaperListBox, QPageSize::A4);
            ASSERT_GE(a4, 0);
            form->PaperListBox->setCurrentIndex(a4);
            EXPECT_EQ(printer.PaperCode(), QPageSize::A4);
            // Back to the built-in printer: the paper it had, A5.
            form->PrintListBox->setCurrentIndex(TPreviewPrinter::PrinterNames().size() - 1);
            EXPECT_TRUE(printer.IsBuiltIn());
            EXPECT_EQ(form->PaperListBox->currentIndex(),
                      PaperPosition(form->PaperListBox, QPageSize::A5));
            form->PrintListBox->setCurrentIndex(queueIndex);
            EXPECT_EQ(printer.PaperCode(), QPageSize::A4);
            form->PortRadio->click();
            form->BitBtn2->click();
        },
        IsPageSetup);
    preview.ActPageSetup->trigger();
    EXPECT_TRUE(printer.IsBuiltIn());
    EXPECT_TRUE(printer.Caps().Landscape);
    EXPECT_EQ(printer.PaperCode(), QPageSize::A5);
    printer.UseBuiltIn();
}
