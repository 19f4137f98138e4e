#include "MethodComparison.h"

#include "model/DataUnit.h"
#include "platform/NumberFormat.h"

#include <cstdlib>

namespace {

std::string Volume(int64_t V) {
    return FormatThousands(static_cast<double>(V), 0);
}

std::string SignedVolume(int64_t V) {
    return (V > 0 ? "+" : "") + Volume(V);
}

// "+1.2%", "-0.5%", and "0.0%" for what rounds to nothing either way.
std::string SignedPercent(double Percent) {
    const std::string text = FormatFixed(Percent, 1);
    const bool zero = text.find_first_of("123456789") == std::string::npos;
    return (Percent > 0 && !zero ? "+" : "") + text + "%";
}

} // namespace

int CalcMethodOf(int CalcType) {
    return CalcType == 1 || CalcType == 2 ? CalcType : 0;
}

const char* CalcMethodName(int Method) {
    static const char* const names[CalcMethodCount] = {"１点法（点高法）", "４点柱状法",
                                                       "４点平均標高法"};
    return names[CalcMethodOf(Method)];
}

TMethodComparison CompareMethods(const TInputData& Data, const TProgress& Progress) {
    ReportProgress(Progress, 0.0);
    TInputData copy(Data);
    // The copy is nobody's project: its phase changes must not reach the windows' listeners.
    copy.SetOnPhaseChange(nullptr);
    copy.SetQuestion(nullptr);
    TMethodComparison c;
    c.OwnMethod = CalcMethodOf(Data.CalcType());
    for (int m = 0; m < CalcMethodCount; ++m) {
        copy.SetCalcType(m);
        TMethodResult& r = c.Methods[m];
        r.Calculated = copy.Calcrate(ProgressPart(Progress, m / 3.0, (m + 1) / 3.0));
        r.CalcMeshCount = copy.CalcMeshCount();
        r.Totals = VolumeTotals(copy);
    }
    return c;
}

bool DifferencePercent(int64_t Difference, int64_t Base, double& Percent) {
    if (Base == 0) {
        Percent = 0.0;
        return Difference == 0;
    }
    Percent = 100.0 * static_cast<double>(Difference) / std::abs(static_cast<double>(Base));
    return true;
}

TComparisonTable BuildComparisonTable(const TInputData& Data, const TMethodComparison& C) {
    TComparisonTable t;
    t.OwnMethod = C.OwnMethod;
    for (int m = 0; m < CalcMethodCount; ++m)
        t.MethodNames[m] = CalcMethodName(m);

    using TPick = int64_t (*)(const TVolumeTotals&, int);
    auto row = [&](std::string Label, TPick Pick, int Arg, bool Emphasis) {
        TComparisonTable::TRow r;
        r.Label = std::move(Label);
        r.Emphasis = Emphasis;
        const int64_t own = Pick(C.Own(), Arg);
        for (int m = 0; m < CalcMethodCount; ++m) {
            const int64_t v = Pick(C.Methods[m].Totals, Arg);
            r.Volume[m] = Volume(v);
            if (m == C.OwnMethod)
                continue;
            r.Difference[m] = SignedVolume(v - own);
            double percent;
            r.Percent[m] = DifferencePercent(v - own, own, percent) ? SignedPercent(percent) : "－";
        }
        t.Rows.push_back(std::move(r));
    };
    auto section = [&](std::string Label) {
        TComparisonTable::TRow r;
        r.Label = std::move(Label);
        r.Section = true;
        t.Rows.push_back(std::move(r));
    };

    const int L = Data.Layer();
    for (int k = 0; k < 2; ++k) {
        section(k == 0 ? "土　　量" : "補正土量");
        row(
            "盛　土　量", [](const TVolumeTotals& v, int K) { return v.BV[K]; }, k, true);
        row(
            "切　土　量", [](const TVolumeTotals& v, int K) { return v.CV[K][0]; }, k, true);
        for (int i = 1; i <= L; ++i)
            row("　" + Data.GetSolidName(i),
                k == 0 ? TPick([](const TVolumeTotals& v, int I) { return v.CV[0][I]; })
                       : TPick([](const TVolumeTotals& v, int I) { return v.CV[1][I]; }),
                i, false);
    }
    if (Data.Hyoudo())
        row(
            "表　土　量", [](const TVolumeTotals& v, int) { return v.HV; }, 0, false);
    row(
        "残土量（不足は－）", [](const TVolumeTotals& v, int) { return v.Surplus(); }, 0, true);
    return t;
}
