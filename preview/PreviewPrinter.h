#pragma once
// The current printer as the page geometry sees it. When no printer is installed a built-in
// printer that writes PDF files stands in (A4 portrait), so previews and printing always work.

#include <QMarginsF>
#include <QPageSize>
#include <QString>

#include <memory>

class QPrinter;

// The device values the page geometry is computed from, in printer pixels.
struct TPrinterCaps {
    int DpiX = 0, DpiY = 0;
    int PaperW = 0, PaperH = 0;   // physical paper
    int OffsetX = 0, OffsetY = 0; // top-left corner of the printable area
    int PrintW = 0, PrintH = 0;   // printable area
    bool Landscape = false;
    QString Name;
};

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

private:
    std::unique_ptr<QPrinter> FPrinter;
    bool FBuiltIn = false;
};
