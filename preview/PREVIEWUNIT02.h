#pragma once
// The preview of this program: a report composes its pages by drawing on ViewCanvas in 0.1 mm
// over the content area, and recomposes them through OnPaperChange whenever the paper, its
// orientation or the margins change.
//
// A report: SetOnPaperChange(compose); compose(); Execute(). The compose routine:
// AllPageClear(); per page NewPage() and drawing on ViewCanvas(); at the end ViewEnd().

#include "preview/PREVIEWUNIT02Base.h"
#include "preview/PrintLayout.h"

#include <QDateTime>
#include <QLocale>

#include <functional>

class TPreViewForm : public TPreViewBase {
    Q_OBJECT
public:
    using TPaperChange = std::function<void(TPreViewForm& Sender)>;

    explicit TPreViewForm(QWidget* AOwner = nullptr);
    ~TPreViewForm() override;

    void NewPage();
    void ViewEnd();
    QPainter* ViewCanvas() const { return FViewCanvas; }
    // The content area in 0.1 mm.
    int PaperWidth() const { return FPaperW * 10 - FMarzins[0] - FMarzins[2]; }
    int PaperHeight() const { return FPaperH * 10 - FMarzins[1] - FMarzins[3]; }
    int PaperLeft() const { return FMarzins[0]; }
    int PaperTop() const { return FMarzins[1]; }
    int PaperRight() const { return FMarzins[2]; }
    int PaperBottom() const { return FMarzins[3]; }
    // The physical paper in whole millimetres.
    int PaperW() const { return FPaperW; }
    int PaperH() const { return FPaperH; }
    QRect DrawArea() const { return FDrawArea; }
    const TPaperChange& OnPaperChange() const { return FOnPaperChange; }
    void SetOnPaperChange(TPaperChange Value) { FOnPaperChange = std::move(Value); }
    void SetFontTable(TPreviewItem* Item) { Item->SetFontTable(FFontList); }

    void RebuildPages() override;
    void InitPreview() override;
    void DrawPage(QPainter& Canvas) override;
    void CalcDrawArea() override;
    // Pages composed by drawing have no items to export: both say so and do nothing else.
    void RTFExport(const QString& FileName) override;
    void WordExport() override;

    // Stamps the header and footer of page PageIndex (1-based) on Canvas.
    void DrawHeaderFooter(QPainter& Canvas, int PageIndex) const;
    // The expanded texts of page PageIndex: header left, centre, right, footer left, centre, right.
    std::array<QString, 6> HeaderFooterTexts(int PageIndex) const;

    // Every page as a whole sheet of the current paper, into a PDF file; throws EFailure
    // when the file cannot be written or there is no page.
    void WritePdf(const QString& FileName) const;
    // Draws page Index (0-based) as a whole sheet: the painter in 0.1 mm from the paper's corner.
    void DrawSheet(QPainter& Painter, int Index) const;

    // The current printer's printable page and this document's margins on it.
    TPrintGeometry PrintGeometry() const;
    // Where page slot Slot of Layout goes on the current printer's page, in printer pixels.
    TPrintRect GetPrintRect(int Layout, int Slot) const;
    // Sends pages From..To (1-based, brought within the document) to the current printer as
    // one job in Layout (0 normal, 1 turned, 2 two a sheet on the other orientation, 3 and 4
    // four a sheet). The built-in PDF printer gets copies and collation done here, so its file
    // holds every sheet asked for. The printer's orientation and copy count are put back, also
    // after a failure; failures throw EFailure. No page in the range sends no job.
    void PrintPages(int From, int To, int Layout, bool Collate, int Copies);
    // "印刷...": the print dialog, then the job; the built-in PDF printer asks for a file.
    // Failures end in the error box.
    void PrintActionExecute();
    // Rebuilds the pages and prints them as "印刷..." does, without showing the window;
    // failures, no page among them, throw EFailure.
    void PrintExecute();
    // The range of the last print command.
    int FromP() const { return FFromP; }
    int ToP() const { return FToP; }

protected:
    void ClearPages() override;

private:
    void CloseCanvas();
    // The print command's work: the print dialog, the job and its record; throws EFailure.
    void PrintDocument();
    // Leaves the record of the last job in the spool folder.
    void WritePrintRecord() const;

    int FFromP = 0, FToP = 0;

    int FPaperW = 210, FPaperH = 297;
    QRect FDrawArea;
    QPainter* FViewCanvas = nullptr;
    TPaperChange FOnPaperChange;
};

// Expands the placeholders of a header or footer text (&P page, &N count, &D &d &W dates,
// &T time, &F &f file name, &C computer, &U user, &O system).
QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName);

// What the placeholders read from the running system; tests fix it.
struct THeaderEnvironment {
    QDateTime Now;
    QString Computer;
    QString User;
    QString System;
    QLocale Locale;
    static THeaderEnvironment Current();
};
QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName,
                         const THeaderEnvironment& Env);
// "令和08年12月10日" (era, two-digit year of the era, month, day).
QString JapaneseEraDate(const QDate& Date);
