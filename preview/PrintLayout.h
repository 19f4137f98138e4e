#pragma once
// Where the pages of a print job go: the rectangle of a page on the sheet for each special
// layout, and which pages make up each sheet. Pure functions, so every layout can be checked
// without a printer.

#include <array>
#include <vector>

// The printer's printable page and the document's margins beyond the unprintable border,
// in printer pixels.
struct TPrintGeometry {
    int W = 0, H = 0;                   // printable page
    int ML = 0, MT = 0, MR = 0, MB = 0; // margin offsets from the printable page's edges
    bool Landscape = false;
};

// Corners as given: Left > Right and Top > Bottom turn the page by 180 degrees.
struct TPrintRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TPrintRect& O) const {
        return Left == O.Left && Top == O.Top && Right == O.Right && Bottom == O.Bottom;
    }
};

// Layout: 0 normal, 1 turned by 180 degrees, 2 two pages a sheet, 3 four a sheet in rows,
// 4 four a sheet in columns; anything else prints normally. Slot counts from 1.
TPrintRect GetPrintRect(const TPrintGeometry& G, int Layout, int Slot);

// Pages per sheet of a layout.
int PagesPerSheet(int Layout);

struct TSheetPage {
    int Page = 0; // 1-based
    int Slot = 0; // 1-based
};
using TSheet = std::vector<TSheetPage>;

// The sheets of a job over pages From..To. Collated: the whole range Copies times, each copy
// on a new sheet. Otherwise when PrinterCopies: each sheet once (the printer repeats them);
// else each sheet Copies times in a row, as a printer without copies of its own would.
// To below From gives no sheet.
std::vector<TSheet> PlanSheets(int From, int To, int Layout, bool Collate, int Copies,
                               bool PrinterCopies);

// The largest margin the page setup offers, in 0.1 mm.
constexpr int kMaxMargin = 400;

// Whether the page margins (0.1 mm: left, top, right, bottom; header and footer are not looked
// at) suit a paper of PaperW x PaperH (0.1 mm): each between 0 and kMaxMargin, and the content
// area between them at least half the paper's width and half its height. Margins beyond that
// would leave a sliver (or less than nothing) for the reports, which then start a page for
// every row.
bool MarginsFitPaper(const std::array<int, 6>& Margins, int PaperW, int PaperH);
