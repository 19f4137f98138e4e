#include "input/InputPrintOut.h"

#include "controls/MessageBoxes.h"
#include "preview/PREVIEWUNIT02.h"
#include "reports/InputListing.h"

void InputPrintOut(QWidget* Parent, const TInputData& Data) {
    TPreViewForm& preview = SharedPreviewForm();
    if (preview.InUse())
        return;
    RunGuarded(Parent, [&]() {
        preview.SetOnPaperChange([&Data](TPageDocument& Sender) { BuildListing(Sender, Data); });
        preview.Execute();
    });
    // The routine refers to Data, which need not outlive this call.
    preview.SetOnPaperChange(nullptr);
}
