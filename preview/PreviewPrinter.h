#pragma once
// The current printer as the page geometry sees it. When no printer is installed a built-in
// printer that writes PDF files stands in (A4 portrait), so previews and printing always work.

#include "preview/PageDocument.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;

// One paper a printer offers: its name and its code, a QPageSize::PageSizeId (QPageSize::Custom
// for a size of the printer's own, which Size then tells apart).
struct TPaperEntry {
    QString Name;
    int Code = QPageSize::Custom;
    QPageSize Size;
};
using TPaperList = std::vector<TPaperEntry>;

class TPreviewPrinter {
public:
    // The one current printer of the run.
    static TPreviewPrinter& Current();

    TPreviewPrinter();
    ~TPreviewPrinter();

    QPrinter& Printer() { return *FPrinter; }
    bool IsBuiltIn() const { return FBuiltIn; }
    TPrinterCaps Caps() const;

    void SetLandscape(bool Landscape);
    void SetPageSize(const QPageSize& Size);
    // The unprintable border of the built-in printer (none by default), in millimetres.
    void SetUnprintableBorder(const QMarginsF& Millimetres);
    // Back to the built-in PDF printer (A4 portrait), whatever is installed.
    void UseBuiltIn();
    // The installed printer of that name, at its default paper; false (and no change) when
    // there is none.
    bool UsePrinter(const QString& Name);

    // The printers to choose from: the installed ones, then the built-in PDF printer.
    static QStringList PrinterNames();
    // The common papers the built-in printer offers.
    static TPaperList CommonPapers();
    // The current printer's position in PrinterNames; -1 when it is no longer installed.
    int PrinterIndex() const;
    // Makes printer Index current at the paper last chosen on it in this run (its default
    // paper before that); the orientation stays. False (and no change) outside the list.
    bool SetPrinterIndex(int Index);
    QPageLayout::Orientation Orientation() const;
    void SetOrientation(QPageLayout::Orientation Value);
    // The code of the current paper.
    int PaperCode() const;

    // The current printer's papers in its own order; the position of the current paper, -1
    // when it is not among them. A printer that reports no paper leaves the list empty.
    int ListPapers(TPaperList& Strings) const;
    // Makes printer Index current (see SetPrinterIndex) unless it already is, then lists its
    // papers as ListPapers does.
    int SelectPrinterPapers(int Index, TPaperList& Strings);
    // Selects paper Index of Strings on the current printer; false outside the list.
    bool SelectPaper(const TPaperList& Strings, int Index);
    // The printing system's own page dialog on the current printer. When the user confirms,
    // the printer keeps what was set there, PaperCode is its paper and the answer true.
    bool PrinterProperties(QWidget* Owner, int& PaperCode);

private:
    std::unique_ptr<QPrinter> FPrinter;
    bool FBuiltIn = false;
    // The paper last used on each printer of the run, by name.
    std::map<QString, QPageSize> FPaperMemory;
};
