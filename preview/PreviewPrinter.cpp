#include "PreviewPrinter.h"

#include <QCoreApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSetupDialog>
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
    TPrinterCaps caps = CapsOfLayout(FPrinter->pageLayout(), FPrinter->resolution());
    caps.Name = FBuiltIn ? kBuiltInName : FPrinter->printerName();
    return caps;
}

void TPreviewPrinter::SetLandscape(bool Landscape) {
    FPrinter->setPageOrientation(Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TPreviewPrinter::SetPageSize(const QPageSize& Size) {
    FPrinter->setPageSize(Size);
    if (!FBuiltIn) {
        // An installed printer's printable area depends on the paper: margins at its minimum.
        QPageLayout layout = FPrinter->pageLayout();
        layout.setMargins(layout.minimumMargins());
        FPrinter->setPageLayout(layout);
    }
}

void TPreviewPrinter::SetUnprintableBorder(const QMarginsF& Millimetres) {
    FPrinter->setPageMargins(Millimetres, QPageLayout::Millimeter);
}

QStringList TPreviewPrinter::PrinterNames() {
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.removeAll(kBuiltInName);
    names.append(kBuiltInName);
    return names;
}

TPaperList TPreviewPrinter::CommonPapers() {
    TPaperList papers;
    for (QPageSize::PageSizeId id : {QPageSize::A3, QPageSize::A4, QPageSize::A5, QPageSize::B4,
                                     QPageSize::B5, QPageSize::Letter, QPageSize::Legal}) {
        const QPageSize size(id);
        papers.push_back({size.name(), id, size});
    }
    return papers;
}

int TPreviewPrinter::PrinterIndex() const {
    const QStringList names = PrinterNames();
    return static_cast<int>(names.indexOf(FBuiltIn ? kBuiltInName : FPrinter->printerName()));
}

bool TPreviewPrinter::SetPrinterIndex(int Index) {
    const QStringList names = PrinterNames();
    if (Index < 0 || Index >= names.size())
        return false;
    const QString name = names[Index];
    const QString currentName = Caps().Name;
    const QPageLayout::Orientation orientation = Orientation();
    FPaperMemory[currentName] = FPrinter->pageLayout().pageSize();
    if (name == kBuiltInName)
        UseBuiltIn();
    else if (!UsePrinter(name))
        return false;
    const auto remembered = FPaperMemory.find(name);
    if (remembered != FPaperMemory.end())
        SetPageSize(remembered->second);
    SetOrientation(orientation);
    return true;
}

QPageLayout::Orientation TPreviewPrinter::Orientation() const {
    return FPrinter->pageLayout().orientation();
}

void TPreviewPrinter::SetOrientation(QPageLayout::Orientation Value) {
    FPrinter->setPageOrientation(Value);
}

int TPreviewPrinter::PaperCode() const {
    return FPrinter->pageLayout().pageSize().id();
}

int TPreviewPrinter::ListPapers(TPaperList& Strings) const {
    Strings.clear();
    if (FBuiltIn) {
        Strings = CommonPapers();
    } else {
        for (const QPageSize& size : QPrinterInfo(*FPrinter).supportedPageSizes())
            Strings.push_back({size.name(), size.id(), size});
    }
    // A size of the printer's own has no code of its own; its dimensions tell.
    const QPageSize current = FPrinter->pageLayout().pageSize();
    for (size_t k = 0; k < Strings.size(); ++k) {
        const TPaperEntry& e = Strings[k];
        if (current.id() != QPageSize::Custom ? e.Code == current.id()
                                              : e.Size.isEquivalentTo(current))
            return static_cast<int>(k);
    }
    return -1;
}

int TPreviewPrinter::SelectPrinterPapers(int Index, TPaperList& Strings) {
    if (Index != PrinterIndex())
        SetPrinterIndex(Index);
    return ListPapers(Strings);
}

bool TPreviewPrinter::SelectPaper(const TPaperList& Strings, int Index) {
    if (Index < 0 || Index >= static_cast<int>(Strings.size()))
        return false;
    SetPageSize(Strings[Index].Size);
    return true;
}

bool TPreviewPrinter::PrinterProperties(QWidget* Owner, int& PaperCode) {
    QPageSetupDialog dialog(FPrinter.get(), Owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    PaperCode = this->PaperCode();
    return true;
}
