#include "preview/PrintLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

std::string Rect(const TPrintRect& R) {
    return std::to_string(R.Left) + "," + std::to_string(R.Top) + "," + std::to_string(R.Right) +
           "," + std::to_string(R.Bottom);
}

// Pages of each sheet, "1,2|3"; slots must count 1, 2, ... within each sheet.
std::string Pages(const std::vector<TSheet>& Sheets) {
    std::string out;
    for (const TSheet& sheet : Sheets) {
        if (!out.empty())
            out += "|";
        for (size_t k = 0; k < sheet.size(); ++k) {
            EXPECT_EQ(sheet[k].Slot, static_cast<int>(k) + 1);
            out += (k ? "," : "") + std::to_string(sheet[k].Page);
        }
    }
    return out;
}

} // namespace

TEST(PrintLayout, RectangleOfEverySlotOfEveryLayout) {
    // Odd left margin, so that halving truncates.
    const TPrintGeometry port{1000, 1400, 101, 60, 40, 20, false};
    const TPrintGeometry land{1400, 1000, 101, 60, 40, 20, true};
    struct TCase {
        const TPrintGeometry* G;
        int Layout, Slot;
        const char* Expected;
    } cases[] = {
        {&port, 0, 1, "101,60,960,1380"},
        {&port, 9, 3, "101,60,960,1380"}, // unknown layouts print normally
        {&port, 1, 1, "960,1380,101,60"}, // reversed corners: turned by 180 degrees
        {&port, 2, 1, "101,60,960,680"},
        {&port, 2, 2, "101,760,960,1380"},
        {&land, 2, 1, "101,60,660,980"},
        {&land, 2, 2, "801,60,1360,980"},
        {&port, 3, 1, "50,30,479,690"},
        {&port, 3, 2, "550,30,979,690"},
        {&port, 3, 3, "50,730,479,1390"},
        {&port, 3, 4, "550,730,979,1390"},
        {&port, 4, 1, "50,30,479,690"},
        {&port, 4, 2, "50,730,479,1390"},
        {&port, 4, 3, "550,30,979,690"},
        {&port, 4, 4, "550,730,979,1390"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Rect(GetPrintRect(*c.G, c.Layout, c.Slot)), c.Expected)
            << "layout " << c.Layout << " slot " << c.Slot;
}

TEST(PrintLayout, SheetsOfAJob) {
    struct TCase {
        int From, To, Layout;
        bool Collate;
        int Copies;
        bool PrinterCopies;
        const char* Expected;
    } cases[] = {
        {1, 2, 0, true, 3, false, "1|2|1|2|1|2"},
        {1, 2, 0, false, 3, true, "1|2"},          // the printer repeats the sheets
        {1, 2, 0, false, 3, false, "1|1|1|2|2|2"}, // done here, as such a printer would
        {1, 5, 3, false, 1, true, "1,2,3,4|5"},    // no empty sheet after the last page
        {1, 5, 4, false, 1, true, "1,2,3,4|5"},
        {1, 2, 2, true, 3, false, "1,2|1,2|1,2"},
        {2, 4, 2, true, 2, false, "2,3|4|2,3|4"}, // each copy starts a new sheet
        {2, 4, 2, false, 2, false, "2,3|2,3|4|4"},
        {3, 2, 0, false, 1, true, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Pages(PlanSheets(c.From, c.To, c.Layout, c.Collate, c.Copies, c.PrinterCopies)),
                  c.Expected)
            << c.From << ".." << c.To << " layout " << c.Layout << " collate " << c.Collate
            << " copies " << c.Copies;
}

TEST(PrintLayout, MarginsThatLeaveTheContentHalfThePaper) {
    const int a4w = 2100, a4h = 2970, a5w = 1480, a5h = 2100;
    const struct {
        std::array<int, 6> Margins;
        int W, H;
        bool Fit;
    } cases[] = {
        {{100, 100, 100, 100, 0, 0}, a4w, a4h, true},
        {{400, 400, 400, 400, 400, 400}, a4w, a4h, true}, // the most the page setup offers
        {{100, 10000, 100, 10000, 0, 0}, a4w, a4h, false},
        {{401, 100, 100, 100, 0, 0}, a4w, a4h, false},
        {{-1, 100, 100, 100, 0, 0}, a4w, a4h, false},
        {{370, 100, 370, 100, 0, 0}, a5w, a5h, true},  // 740 of 1480 left
        {{370, 100, 371, 100, 0, 0}, a5w, a5h, false}, // 739
        {{400, 100, 400, 100, 0, 0}, a5w, a5h, false},
        {{100, 400, 100, 400, 0, 0}, a5h, a5w, false}, // A5 turned: 1480 high
        {{0, 0, 0, 0, 0, 0}, 10, 10, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarginsFitPaper(c.Margins, c.W, c.H), c.Fit)
            << c.Margins[0] << "," << c.Margins[1] << "," << c.Margins[2] << "," << c.Margins[3]
            << " on " << c.W << "x" << c.H;
}
