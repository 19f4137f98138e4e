#include "preview/PrintLayout.h"

#include <algorithm>

TPrintRect GetPrintRect(const TPrintGeometry& G, int Layout, int Slot) {
    switch (Layout) {
    case 1:
        return {G.W - G.MR, G.H - G.MB, G.ML, G.MT};
    case 2:
        if (G.Landscape)
            return Slot == 1 ? TPrintRect{G.ML, G.MT, G.W / 2 - G.MR, G.H - G.MB}
                             : TPrintRect{G.W / 2 + G.ML, G.MT, G.W - G.MR, G.H - G.MB};
        return Slot == 1 ? TPrintRect{G.ML, G.MT, G.W - G.MR, G.H / 2 - G.MB}
                         : TPrintRect{G.ML, G.H / 2 + G.MT, G.W - G.MR, G.H - G.MB};
    case 3:
    case 4: {
        const int cw = (G.W - G.MR - G.ML) / 2;
        const int ch = (G.H - G.MB - G.MT) / 2;
        // Cell index 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
        int cell = std::clamp(Slot, 1, 4) - 1;
        if (Layout == 4 && (cell == 1 || cell == 2))
            cell = 3 - cell;
        const int x = (cell % 2 == 0) ? G.ML / 2 : (G.W + G.ML) / 2;
        const int y = (cell < 2) ? G.MT / 2 : (G.H + G.MT) / 2;
        return {x, y, x + cw, y + ch};
    }
    default:
        return {G.ML, G.MT, G.W - G.MR, G.H - G.MB};
    }
}

int PagesPerSheet(int Layout) {
    if (Layout == 2)
        return 2;
    if (Layout == 3 || Layout == 4)
        return 4;
    return 1;
}

std::vector<TSheet> PlanSheets(int From, int To, int Layout, bool Collate, int Copies,
                               bool PrinterCopies) {
    std::vector<TSheet> sheets;
    if (To < From || Copies < 1)
        return sheets;
    const int per = PagesPerSheet(Layout);
    std::vector<TSheet> once;
    for (int i = From; i <= To; ++i) {
        if (once.empty() || static_cast<int>(once.back().size()) >= per)
            once.emplace_back();
        once.back().push_back({i, static_cast<int>(once.back().size()) + 1});
    }
    if (Collate) {
        for (int c = 0; c < Copies; ++c)
            sheets.insert(sheets.end(), once.begin(), once.end());
    } else if (PrinterCopies) {
        sheets = std::move(once);
    } else {
        for (const TSheet& sheet : once)
            sheets.insert(sheets.end(), static_cast<size_t>(Copies), sheet);
    }
    return sheets;
}

bool MarginsFitPaper(const std::array<int, 6>& Margins, int PaperW, int PaperH) {
    for (int k = 0; k < 4; ++k)
        if (Margins[k] < 0 || Margins[k] > kMaxMargin)
            return false;
    // Twice the content against the paper: no rounding, and every term within int.
    return 2 * (PaperW - Margins[0] - Margins[2]) >= PaperW &&
           2 * (PaperH - Margins[1] - Margins[3]) >= PaperH;
}
