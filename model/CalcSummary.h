#pragma once
// The calculation summary table (fill, cut, each layer, surplus or shortage, topsoil; plain,
// rate, corrected) as texts in the user's number format. The summary window, its CSV file and
// the command line all show these very texts.

#include <array>
#include <string>
#include <vector>

class TInputData;

struct TCalcSummary {
    using TRow = std::array<std::string, 4>;
    std::vector<TRow> Rows; // row 0 is the heading
    int SurplusRow = 0;     // "残土量" or "不足土量"
    int TopsoilRow = -1;    // -1 without topsoil removal
};

// Builds the table from the project's current totals (GetCalcSumVolume) and settings.
TCalcSummary BuildCalcSummary(const TInputData& Data);

// The summary's CSV file ("土量計算集計表"): every grid row with its four texts quoted (inner
// quotes doubled), as UTF-8 text with CR LF line ends.
std::string CalcSummaryCsvText(const TInputData& Data);
// The same file for a table built earlier: the summary window writes the table it shows, which
// stays as built until the next recalculation even when rates are stored in between.
std::string CalcSummaryCsvText(const TCalcSummary& Summary);
