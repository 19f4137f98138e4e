#include "preview/PREVIEWUNIT02.h"

#include "preview/PreviewCountUnit.h"
#include "preview/PreviewPrinter.h"
#include "preview/PrintGoUnit.h"

#include "controls/MessageBoxes.h"
#include "preview/PrintRecord.h"

#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "preview/OutputDevice.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

TPrintGeometry TPreViewForm::PrintGeometry() const {
    const TPrinterCaps caps = TPreviewPrinter::Current().Caps();
    auto px = [](int Tenths, int Dpi) {
        return static_cast<int>(std::lround(Tenths * static_cast<double>(Dpi) / 254));
    };
    const std::array<int, 6>& margins = FDocument.Marzins();
    TPrintGeometry g;
    g.W = caps.PrintW;
    g.H = caps.PrintH;
    // Margins are kept from the paper's edge; the painter starts at the printable area.
    g.ML = std::max(0, px(margins[0], caps.DpiX) - caps.OffsetX);
    g.MT = std::max(0, px(margins[1], caps.DpiY) - caps.OffsetY);
    g.MR = std::max(0, px(margins[2], caps.DpiX) - (caps.PaperW - caps.PrintW - caps.OffsetX));
    g.MB = std::max(0, px(margins[3], caps.DpiY) - (caps.PaperH - caps.PrintH - caps.OffsetY));
    g.Landscape = caps.Landscape;
    return g;
}

TPrintRect TPreViewForm::GetPrintRect(int Layout, int Slot) const {
    return ::GetPrintRect(PrintGeometry(), Layout, Slot);
}

void TPreViewForm::PrintPages(int From, int To, int Layout, bool Collate, int Copies) {
    From = std::max(From, 1);
    To = std::min(To, PageNum());
    Copies = std::max(Copies, 1);
    if (To < From)
        return;

    TPreviewPrinter& current = TPreviewPrinter::Current();
    QPrinter& printer = current.Printer();
    const bool builtIn = current.IsBuiltIn();
    const bool landscape = current.Caps().Landscape;
    const int printerCopies = printer.copyCount();
    QAction* const commands[] = {ActPageSetup, PrintAction, ExitAction};
    bool enabled[3];
    for (int k = 0; k < 3; ++k) {
        enabled[k] = commands[k]->isEnabled();
        commands[k]->setEnabled(false);
    }
    // The built-in printer's PDF goes through the atomic writer like every other file: the
    // earlier file stays until the whole job is written. Declared before the painter, which
    // ends on them.
    std::unique_ptr<TAtomicFile> file;
    std::unique_ptr<TOutputDevice> device;
    std::unique_ptr<QPdfWriter> pdf;
    QPagedPaintDevice* sheet = &printer;
    // Closes after the job, also after a failure.
    TPreviewCountForm progress(this);
    progress.SetCount(To - From + 1);
    progress.SetAnime(*this);
    progress.Execute();
    progress.SetValue(0);
    QPainter painter;
    bool finished = false;
    // Whatever happens, the printer and the commands are as they were before the job.
    struct TRestore {
        std::function<void()> Run;
        ~TRestore() { Run(); }
    } restore{[&]() {
        // A job that did not run through is dropped: the printer gets none of it; the PDF
        // file's writer is not committed.
        if (!finished && painter.isActive() && !builtIn)
            printer.abort();
        if (painter.isActive())
            painter.end();
        printer.setCopyCount(printerCopies);
        current.SetLandscape(landscape);
        for (int k = 0; k < 3; ++k)
            commands[k]->setEnabled(enabled[k]);
    }};

    // Two pages a sheet go side by side on a sheet turned the other way.
    if (Layout == 2)
        current.SetLandscape(!landscape);
    // A real printer makes the copies of an uncollated job itself; the built-in one cannot.
    const bool printerMakesCopies = !builtIn && !Collate;
    printer.setCopyCount(printerMakesCopies ? Copies : 1);
    printer.setCollateCopies(false);
    printer.setDocName(ApplicationTitle());

    const std::vector<TSheet> sheets =
        PlanSheets(From, To, Layout, Collate, Copies, printerMakesCopies);
    if (builtIn && printer.outputFileName().isEmpty())
        throw EFailure("出力するファイル名がありません。");
    if (builtIn) {
        file = std::make_unique<TAtomicFile>(
            QFile::encodeName(printer.outputFileName()).toStdString());
        device = std::make_unique<TOutputDevice>(*file);
        pdf = std::make_unique<QPdfWriter>(device.get());
        pdf->setResolution(printer.resolution());
        pdf->setPageLayout(printer.pageLayout());
        pdf->setTitle(printer.docName());
        pdf->setCreator(QCoreApplication::applicationName());
        sheet = pdf.get();
    }
    if (!painter.begin(sheet))
        throw EFailure(StrFormat("プリンタ「%s」で印刷を開始できません。",
                                 current.Caps().Name.toUtf8().constData()));
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (size_t s = 0; s < sheets.size(); ++s) {
        if (s > 0 && !sheet->newPage())
            throw EFailure("印刷中にプリンタでエラーが発生しました。");
        for (const TSheetPage& p : sheets[s]) {
            progress.SetValue(p.Page - From);
            if (progress.Cancelled())
                throw ECancelled{};
            const TPrintRect r = GetPrintRect(Layout, p.Slot);
            Page(p.Page - 1)
                .Draw(painter, QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom)));
        }
    }
    finished = true;
    if (!painter.end())
        throw EFailure("印刷中にプリンタでエラーが発生しました。");
    if (file)
        file->Commit();
}

void TPreViewForm::WritePrintRecord() const {
    TPrintRecordInfo info;
    info.Title = ApplicationTitle().toStdString();
    for (int k = 0; k < 3; ++k) {
        info.Header[k] = Header[k].toStdString();
        info.Footer[k] = Footer[k].toStdString();
    }
    info.StartPage = FDocument.StPNum();
    info.FirstPage = FFromP;
    info.LastPage = FToP;
    info.Portrait = !TPreviewPrinter::Current().Caps().Landscape;
    // A page at a time: a report of tens of thousands of pages is never held whole.
    info.PageCount = FDocument.PageNum();
    info.PageAt = [this](int32_t Index) { return FDocument.PageRecording(Index); };
    // Read again: the shared window lives for the whole run, the settings may have changed.
    WriteSpoolFile(StoredSpoolSettings(), info);
}

void TPreViewForm::PrintActionExecute() {
    if (FComposing)
        return;
    RunGuarded(this, [this]() { PrintDocument(); });
}

void TPreViewForm::PrintExecute() {
    try {
        RebuildPagesWaiting();
        PrintDocument();
    } catch (const ECancelled&) {
    }
}

void TPreViewForm::PrintDocument() {
    if (PageNum() == 0)
        throw EFailure("印刷するページがありません。");
    int from = 0, to = 0;
    {
        TPrintGoForm dialog(this);
        dialog.MinPage = dialog.FromPage = 1;
        dialog.MaxPage = dialog.ToPage = PageNum();
        TPreviewPrinter& current = TPreviewPrinter::Current();
        const bool landscape = current.Caps().Landscape;
        const QPageSize paper = current.Printer().pageLayout().pageSize();
        // The dialog may choose another paper for scaling; it is the job's only.
        struct TRestore {
            std::function<void()> Run;
            ~TRestore() { Run(); }
        } restore{[&]() {
            current.SetPageSize(paper);
            current.SetLandscape(landscape);
        }};
        if (!dialog.Execute())
            return;
        from = dialog.MinPage;
        to = dialog.MaxPage;
        if (dialog.PrintRange == prPageNums) {
            from = dialog.FromPage;
            to = dialog.ToPage;
        }
        if (current.IsBuiltIn()) {
            QFileDialog files(this, QStringLiteral("PDFファイルに印刷"));
            files.setOption(QFileDialog::DontUseNativeDialog);
            files.setAcceptMode(QFileDialog::AcceptSave);
            files.setNameFilter(QStringLiteral("PDFファイル (*.pdf)"));
            files.setDefaultSuffix(QStringLiteral("pdf"));
            if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
                return;
            current.Printer().setOutputFileName(files.selectedFiles().first());
        }
        try {
            PrintPages(from, to, dialog.SpecialNumber, dialog.Collate, dialog.Copies);
        } catch (const ECancelled&) {
            return; // nothing printed, nothing recorded
        }
    }
    // The range as printed, brought within the document.
    FFromP = std::max(from, 1);
    FToP = std::min(to, PageNum());
    WritePrintRecord();
}
