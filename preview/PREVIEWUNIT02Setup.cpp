// The preview's page setup command.

#include "preview/PREVIEWUNIT02Base.h"

#include "preview/PREVIEWUNIT02View.h"
#include "preview/PreviewPrinter.h"
#include "preview/PreviewSetup02Unit.h"

#include "controls/MessageBoxes.h"

namespace {

bool SameGeometry(const TPrinterCaps& A, const TPrinterCaps& B) {
    return A.Name == B.Name && A.DpiX == B.DpiX && A.DpiY == B.DpiY && A.PaperW == B.PaperW &&
           A.PaperH == B.PaperH && A.OffsetX == B.OffsetX && A.OffsetY == B.OffsetY &&
           A.PrintW == B.PrintW && A.PrintH == B.PrintH && A.Landscape == B.Landscape;
}

} // namespace

void TPreViewBase::ActPageSetupExecute() {
    try {
        RunGuarded(this, [this]() { PageSetup(); });
    } catch (const ECancelled&) {
        // Pages cancelled while being composed anew are none to show: the window closes.
        done(QDialog::Rejected);
    }
}

void TPreViewBase::PageSetup() {
    if (FComposing)
        return;
    TPreviewPrinter& printer = TPreviewPrinter::Current();
    const TPrinterCaps before = printer.Caps();
    TPreSetupForm02 dialog(this);
    dialog.SetFontTabVisible(FFontTabVisible);
    dialog.SetFontStyle(FDocument.FontList());
    for (int k = 0; k < 3; ++k) {
        dialog.SetHeaderText(k, 0, Header[k]);
        dialog.SetHeaderText(k, 1, Footer[k]);
    }
    for (int k = 0; k < 6; ++k)
        dialog.SetMargin(k, FDocument.Marzins()[k]);
    if (!dialog.Execute()) {
        // A paper chosen in the dialog stays on the printer: the pages follow it, or they
        // would be shown and printed stretched onto the other sheet.
        if (!SameGeometry(before, printer.Caps())) {
            RebuildPages();
            View->update();
        }
        return;
    }
    for (int k = 0; k < 3; ++k) {
        Header[k] = dialog.GetHeaderText(k, 0);
        Footer[k] = dialog.GetHeaderText(k, 1);
    }
    FDocument.SetStPNum(dialog.PageNum());
    dialog.GetFontStyle(FDocument.FontList());
    std::array<int, 6> margins{};
    for (int k = 0; k < 6; ++k)
        margins[k] = dialog.GetMargin(k);
    FDocument.SetMarzins(margins);
    if (FOrientation == TOrientation::voLandLock)
        printer.SetLandscape(true);
    else if (FOrientation == TOrientation::voPortLock)
        printer.SetLandscape(false);
    if (dialog.Default())
        SaveSettings();
    RebuildPages();
    View->update();
}
