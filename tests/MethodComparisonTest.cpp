#include "AnalysisSites.h"

#include "analysis/MethodComparison.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

using namespace analysis_test;

namespace {

const std::string kSample = std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh";

// A project calculated anew by one method, as a user would after changing it.
TMethodResult CalculatedBy(TInputData Data, int Method) {
    Data.SetCalcType(Method);
    TMethodResult r;
    r.Calculated = Data.Calcrate();
    r.CalcMeshCount = Data.CalcMeshCount();
    r.Totals = VolumeTotals(Data);
    return r;
}

void ExpectSameAsSeparateCalculations(const TInputData& Data, const std::string& Name) {
    const TMethodComparison c = CompareMethods(Data);
    EXPECT_EQ(c.OwnMethod, CalcMethodOf(Data.CalcType())) << Name;
    for (int m = 0; m < CalcMethodCount; ++m) {
        const TMethodResult r = CalculatedBy(Data, m);
        EXPECT_EQ(c.Methods[m].Calculated, r.Calculated) << Name << " method " << m;
        EXPECT_EQ(c.Methods[m].CalcMeshCount, r.CalcMeshCount) << Name << " method " << m;
        EXPECT_TRUE(c.Methods[m].Totals == r.Totals) << Name << " method " << m;
    }
}

} // namespace

TEST(MethodComparison, EqualsThreeSeparateCalculations) {
    TInputData sample;
    sample.FileLoad(kSample);
    ExpectSameAsSeparateCalculations(sample, "sample");
    for (unsigned seed = 1; seed <= 24; ++seed)
        ExpectSameAsSeparateCalculations(
            GeneratedSite({seed, int(seed % 3), int(seed % 3), int(seed / 3 % 2), 0.0, 7}),
            "site " + std::to_string(seed));
}

TEST(MethodComparison, LeavesTheProjectAndItsListenersAlone) {
    TInputData d = GeneratedSite({5, 2, 0, 1, 0.0, 6});
    d.SetCalcType(7); // an unknown number calculates, and compares, as the one-point method
    ASSERT_TRUE(d.Calcrate());
    const TVolumeTotals before = VolumeTotals(d);
    const int records = d.CalcMeshCount();
    int fired = 0;
    d.SetOnPhaseChange([&fired](TInputData&, int, bool) { ++fired; });
    const TMethodComparison c = CompareMethods(d);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(d.CalcType(), 7);
    EXPECT_TRUE(d.GetPhase(2));
    EXPECT_EQ(d.CalcMeshCount(), records);
    EXPECT_TRUE(VolumeTotals(d) == before);
    EXPECT_EQ(c.OwnMethod, 0);
    EXPECT_TRUE(c.Own() == before);
}

// Four points with one layer, spacing 10: one-point fill 300, cut 100 (corrected 90); prism fill
// 300, cut 100 (corrected 92); average fill 250, cut 50 (corrected 46). Against the prism:
TEST(MethodComparison, TableOfDifferences) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(10);
    d.SetCalcType(1);
    for (auto [x, y, gh, fh] : {std::tuple{0, 0, 11.0, 10.0},
                                {1, 0, 10.0, 10.0},
                                {0, 1, 9.0, 10.0},
                                {1, 1, 10.0, 12.0}}) {
        TGridData g;
        g.X = x;
        g.Y = y;
        g.GH = gh;
        g.FH = fh;
        d.SetMeshData(g);
    }
    const TComparisonTable t = BuildComparisonTable(d, CompareMethods(d));
    EXPECT_EQ(t.OwnMethod, 1);
    EXPECT_EQ(t.MethodNames[2], "４点平均標高法");
    // Label: volumes of the three methods | one-point difference, percent | average's.
    auto line = [](const TComparisonTable::TRow& r) {
        std::string s = r.Label + ":";
        for (int m = 0; m < 3; ++m)
            s += " " + r.Volume[m];
        for (int m : {0, 2})
            s += " | " + r.Difference[m] + " " + r.Percent[m];
        return r.Section ? r.Label : s;
    };
    std::vector<std::string> lines;
    for (const auto& r : t.Rows) {
        lines.push_back(line(r));
        EXPECT_TRUE(r.Difference[1].empty() && r.Percent[1].empty()) << r.Label;
    }
    const std::vector<std::string> expected = {
        "土　　量",
        "盛　土　量: 300 300 250 | 0 0.0% | -50 -16.7%",
        "切　土　量: 100 100 50 | 0 0.0% | -50 -50.0%",
        "　普通土: 100 100 50 | 0 0.0% | -50 -50.0%",
        "補正土量",
        "盛　土　量: 300 300 250 | 0 0.0% | -50 -16.7%",
        "切　土　量: 90 92 46 | -2 -2.2% | -46 -50.0%",
        "　普通土: 90 92 46 | -2 -2.2% | -46 -50.0%",
        "残土量（不足は－）: -210 -208 -204 | -2 -1.0% | +4 +1.9%",
    };
    EXPECT_EQ(lines, expected);
}

TEST(MethodComparison, PercentOfNothing) {
    double p = -1;
    EXPECT_TRUE(DifferencePercent(0, 0, p));
    EXPECT_EQ(p, 0.0);
    EXPECT_FALSE(DifferencePercent(5, 0, p));
    EXPECT_TRUE(DifferencePercent(-30, -200, p));
    EXPECT_DOUBLE_EQ(p, -15.0); // against the size of a shortage
}
