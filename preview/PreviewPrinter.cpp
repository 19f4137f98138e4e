#include "PreviewPrinter.h"

#include <QCoreApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
const QString kBuiltInName = QStringLiteral("PDFファイル出力");
}

namespace {
TPreviewPrinter* gCurrent = nullptr;
void DeleteCurrent() {
    delete gCurrent;
    gCurrent = nullptr;
}
} // namespace

TPreviewPrinter& TPreviewPrinter::Current() {
    if (!gCurrent) {
        gCurrent = new TPreviewPrinter;
        // The printer goes with the application object, while the printing system still runs.
        qAddPostRoutine(DeleteCurrent);
    }
    return *gCurrent;
}

TPreviewPrinter::TPreviewPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || !UsePrinter(info.printerName()))
        UseBuiltIn();
}

bool TPreviewPrinter::UsePrinter(const QString& Name) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(Name);
    if (Name.isEmpty() || info.isNull())
        return false;
    FPrinter = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    // The printable area is the device's: margins at its minimum.
    QPageLayout layout = FPrinter->pageLayout();
    layout.setMargins(layout.minimumMargins());
    FPrinter->setPageLayout(layout);
    FBuiltIn = false;
    return true;
}

TPreviewPrinter::~TPreviewPrinter() = default;

void TPreviewPrinter::UseBuiltIn() {
    FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    FPrinter->setOutputFormat(QPrinter::PdfFormat);
    FPrinter->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    FBuiltIn = true;
}

TPrinterCaps TPreviewPrinter::Caps() const {
    TPrinterCaps caps;
    const int res = FPrinter->resolution();
    caps.DpiX = res;
    caps.DpiY = res;
    const QPageLayout layout = FPrinter->pageLayout();
    const QRect full = layout.fullRectPixels(res);
    const QRect paint = layout.paintRectPixels(res);
    caps.PaperW = full.width();
    caps.PaperH = full.height();
    caps.OffsetX = paint.left();
    caps.OffsetY = paint.top();
    caps.PrintW = paint.width();
    caps.PrintH = paint.height();
    caps.Landscape = layout.orientation() == QPageLayout::Landscape;
    caps.Name = FBuiltIn ? kBuiltInName : FPrinter->printerName();
    return caps;
}

void TPreviewPrinter::SetLandscape(bool Landscape) {
    FPrinter->setPageOrientation(Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TPreviewPrinter::SetPageSize(const QPageSize& Size) {
    FPrinter->setPageSize(Size);
}

void TPreviewPrinter::SetUnprintableBorder(const QMarginsF& Millimetres) {
    FPrinter->setPageMargins(Millimetres, QPageLayout::Millimeter);
}
