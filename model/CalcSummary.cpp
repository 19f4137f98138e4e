#include "CalcSummary.h"

#include "DataUnit.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <cstdlib>

namespace {
std::string Volume(int64_t v) {
    return FormatThousands(static_cast<double>(v), 0);
}
std::string Rate(double r) {
    return FormatFixed(r, 3);
}
} // namespace

TCalcSummary BuildCalcSummary(const TInputData& Data) {
    const TGridCalcData t = Data.GetCalcSumVolume();
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
    const int64_t balance = static_cast<int64_t>(t.CV[1][0]) - t.BV[1];
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
