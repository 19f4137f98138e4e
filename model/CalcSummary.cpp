#include "CalcSummary.h"

#include "DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <climits>
#include <cstdlib>

namespace {
std::string Volume(int64_t v) {
    return FormatVolume(v);
}
std::string Rate(double r) {
    return FormatFixed(r, 3);
}
} // namespace

std::string FormatVolume(int64_t Value) {
    // Digits from the integer itself: a double holds only 53 bits of them.
    const std::string digits = std::to_string(Value);
    const size_t start = Value < 0 ? 1 : 0;
    const size_t n = digits.size() - start;
    std::string out = digits.substr(0, start);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += FormatSettings().ThousandSeparator;
        out += digits[start + i];
    }
    return out;
}

std::string SaturationWarning(const TInputData& Data) {
    const int64_t n = Data.SaturatedMeshCount();
    if (n == 0)
        return {};
    return StrFormat("土量が %s m³ に達したメッシュが %lld 個あります。\n"
                     "その土量はこの値で打ち切られているため、合計は実際より少なくなります。",
                     FormatVolume(INT32_MAX).c_str(), static_cast<long long>(n));
}

TCalcSummary BuildCalcSummary(const TInputData& Data) {
    const TCalcTotals t = Data.GetCalcTotals();
    const int L = Data.Layer();
    const bool cutCorrection = Data.RateType() != 1;
    TCalcSummary s;
    s.Rows.push_back({"", "土　　量", "変化率", "補正土量"});
    s.Rows.push_back({"盛　土　量", Volume(t.BV[0]),
                      cutCorrection ? "" : Rate(Data.GetSolidValue(0, 0)), Volume(t.BV[1])});
    s.Rows.push_back({"切　土　量", Volume(t.CV[0][0]), "", Volume(t.CV[1][0])});
    for (int i = 1; i <= L; ++i)
        s.Rows.push_back({"　" + Data.GetSolidName(i), Volume(t.CV[0][i]),
                          cutCorrection ? Rate(Data.GetSolidValue(i, 0)) : "", Volume(t.CV[1][i])});
    s.SurplusRow = static_cast<int>(s.Rows.size());
    const int64_t balance = t.CV[1][0] - t.BV[1];
    s.Rows.push_back(
        {t.BV[1] < t.CV[1][0] ? "残土量" : "不足土量", "", "", Volume(std::llabs(balance))});
    if (Data.Hyoudo()) {
        s.TopsoilRow = static_cast<int>(s.Rows.size());
        s.Rows.push_back({"表　土　量", "", "", Volume(t.HV)});
    }
    return s;
}

std::string CalcSummaryCsvText(const TInputData& Data) {
    return CalcSummaryCsvText(BuildCalcSummary(Data));
}

std::string CalcSummaryCsvText(const TCalcSummary& Summary) {
    std::string text;
    AddLine(text, "土量計算集計表");
    AddLine(text, "");
    for (const TCalcSummary::TRow& row : Summary.Rows) {
        // Every field quoted; the first column holds texts (soil names), the others numbers
        // and the fixed headings.
        std::string line = CsvText(row[0], true);
        for (size_t c = 1; c < row.size(); ++c)
            line += "," + CsvNumber(row[c], true);
        AddLine(text, line);
    }
    return text;
}
