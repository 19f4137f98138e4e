#pragma once
// The preview of this program: a report composes its pages onto the window's page document
// (Document(), see TPageDocument) in 0.1 mm over the content area, and recomposes them through
// OnPaperChange whenever the paper, its orientation or the margins change.
//
// A report: SetOnPaperChange(compose); Execute(). The compose routine: AllPageClear(); per
// page NewPage() and drawing on ViewCanvas(); at the end ViewEnd().

#include "preview/PREVIEWUNIT02Base.h"
#include "preview/PrintLayout.h"

class TPreViewForm : public TPreViewBase {
    Q_OBJECT
public:
    using TPaperChange = TPageDocument::TPaperChange;

    explicit TPreViewForm(QWidget* AOwner = nullptr);
    ~TPreViewForm() override;

    // Composing straight onto the document, outside a compose routine.
    void NewPage();
    void ViewEnd() { FDocument.ViewEnd(); }
    QPainter* ViewCanvas() const { return FDocument.ViewCanvas(); }
    // The content area in 0.1 mm.
    int PaperWidth() const { return FDocument.PaperWidth(); }
    int PaperHeight() const { return FDocument.PaperHeight(); }
    int PaperLeft() const { return FDocument.PaperLeft(); }
    int PaperTop() const { return FDocument.PaperTop(); }
    int PaperRight() const { return FDocument.PaperRight(); }
    int PaperBottom() const { return FDocument.PaperBottom(); }
    // The physical paper in whole millimetres.
    int PaperW() const { return FDocument.PaperW(); }
    int PaperH() const { return FDocument.PaperH(); }
    QRect DrawArea() const { return FDrawArea; }
    const TPaperChange& OnPaperChange() const { return FDocument.OnPaperChange(); }
    void SetOnPaperChange(TPaperChange Value) { FDocument.SetOnPaperChange(std::move(Value)); }
    void SetFontTable(TPreviewItem* Item) { FDocument.SetFontTable(Item); }

    // Composes the pages anew (see TPageDocument::Compose); a long composition shows progress.
    // Cancelled, the document holds no pages and ECancelled is thrown.
    void RebuildPages() override;
    void InitPreview() override;
    void DrawPage(QPainter& Canvas) override;
    void CalcDrawArea() override;
    // Pages composed by drawing have no items to export: both say so and do nothing else.
    void RTFExport(const QString& FileName) override;
    void WordExport() override;

    std::array<QString, 6> HeaderFooterTexts(int PageIndex) const {
        return FDocument.HeaderFooterTexts(PageIndex);
    }
    void DrawSheet(QPainter& Painter, int Index) const { FDocument.DrawSheet(Painter, Index); }

    // The current printer's printable page and this document's margins on it.
    TPrintGeometry PrintGeometry() const;
    // Where page slot Slot of Layout goes on the current printer's page, in printer pixels.
    TPrintRect GetPrintRect(int Layout, int Slot) const;
    // Sends pages From..To (1-based, brought within the document) to the current printer as
    // one job in Layout (0 normal, 1 turned, 2 two a sheet on the other orientation, 3 and 4
    // four a sheet). The built-in PDF printer gets copies and collation done here, so its file
    // holds every sheet asked for. The printer's orientation and copy count are put back, also
    // after a failure; failures throw EFailure. No page in the range sends no job. Cancelled in
    // the progress window, the job is dropped (the PDF file stays as it was) and ECancelled is
    // thrown.
    void PrintPages(int From, int To, int Layout, bool Collate, int Copies);
    // "印刷...": the print dialog, then the job; the built-in PDF printer asks for a file.
    // Failures end in the error box.
    void PrintActionExecute();
    // Rebuilds the pages and prints them as "印刷..." does, without showing the window;
    // failures, no page among them, throw EFailure. A cancel prints nothing.
    void PrintExecute();
    // The range of the last print command.
    int FromP() const { return FFromP; }
    int ToP() const { return FToP; }

private:
    // The print command's work: the print dialog, the job and its record; throws EFailure.
    void PrintDocument();
    // Leaves the record of the last job in the spool folder.
    void WritePrintRecord() const;

    int FFromP = 0, FToP = 0;
    QRect FDrawArea;
};
