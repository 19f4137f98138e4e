#pragma once
// The allocation table and its totals as texts in the user's number format: the window, its CSV
// file, the printed pages and doryou-cli all show these very texts.

#include "analysis/EarthAllocation.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

struct TAllocTable {
    using TRow = std::array<std::string, 5>; // from, to, m³, distance (m), m³·m
    static const TRow Heading;
    std::vector<TRow> Rows; // one a flow, in the plan's order
    // The totals: name and text with its unit ("総運搬土量", "12,345 m³").
    std::vector<std::pair<std::string, std::string>> Totals;
    // The outside places: name, place "X / Y" (m), capacity (m³ or "無制限"), extra distance (m)
    // and the m³ the plan moves through the place.
    static const TRow PlaceHeading;
    std::vector<TRow> PlaceRows;
};

TAllocTable BuildAllocTable(const TAllocation& A);

// The distance kind's name: "直線距離" or "道なり距離".
std::string AllocDistanceName(bool Manhattan);

// The CSV file ("土量配分表"): a heading, every flow, a blank line and the totals; numbers as
// the table shows them, quoted where they hold a separator, units as code page 932 holds them
// ("m3"). UTF-8 text with CR LF line ends.
std::string AllocCsvText(const TAllocation& A);
