#include "AnalysisSites.h"

#include "analysis/PlanBalance.h"
#include "analysis/PlanShiftCalc.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace analysis_test;

namespace {

const std::string kSample = std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh";

// The project with every planned height shifted and calculated: what "適用" leaves.
TVolumeTotals AppliedTotals(const TInputData& Data, double Shift) {
    TInputData d(Data);
    ShiftPlannedHeights(d, Shift);
    d.Calcrate();
    return VolumeTotals(d);
}

std::string Describe(const TSiteSpec& S) {
    return "seed " + std::to_string(S.Seed) + " method " + std::to_string(S.CalcType) + " round " +
           std::to_string(S.RoundType) + " rate " + std::to_string(S.RateType) + " plan " +
           std::to_string(S.PlanOffset);
}

} // namespace

// The shortcut evaluation gives, for any shift, the totals of a full calculation of the shifted
// project: every method, rounding and correction, topsoil, settlements, both layer inputs,
// holes, later duplicates and deleted points.
TEST(PlanShiftCalc, EqualsCalculatingTheShiftedProject) {
    for (unsigned seed = 1; seed <= 36; ++seed) {
        const TSiteSpec spec{seed, int(seed % 3), int(seed / 3 % 3), int(seed / 9 % 2), 0.0, 6};
        const TInputData d = GeneratedSite(spec);
        const TPlanShiftCalc calc(d);
        for (double shift : {0.0, -2.5, -1.0, -0.001, 0.25, 0.731, 1.5, 3.0})
            ASSERT_TRUE(calc.Totals(shift) == AppliedTotals(d, shift))
                << Describe(spec) << " shift " << shift;
    }
}

// Over a table of sites, methods, roundings and corrections (mixed, all cut, all fill; a few
// targets): the shift found is verified by applying it and recalculating, and no other
// millimetre of the searched range leaves a smaller difference, or the same one nearer 0.
TEST(PlanBalance, FoundShiftVerifiedByApplyingIt) {
    int cases = 0;
    for (unsigned seed = 1; seed <= 6; ++seed)
        for (int method = 0; method < 3; ++method)
            for (int round = 0; round < 3; ++round)
                for (int rate = 0; rate < 2; ++rate) {
                    const double plan[] = {0.0, -6.0, 6.0}; // mixed, all cut, all fill
                    const TSiteSpec spec{seed, method, round, rate, plan[(seed + round) % 3], 5};
                    const TInputData d = GeneratedSite(spec);
                    const int64_t target = seed % 2 ? 0 : int64_t(seed) * 37 - 100;
                    const TPlanBalance b = FindPlanBalance(d, target);
                    ASSERT_TRUE(b.Found) << Describe(spec) << ": " << b.Message;
                    ++cases;
                    EXPECT_TRUE(b.Before == AppliedTotals(d, 0.0)) << Describe(spec);
                    EXPECT_TRUE(b.After == AppliedTotals(d, b.Shift())) << Describe(spec);

                    // Every millimetre of the range, by the shortcut checked above.
                    const TPlanShiftCalc calc(d);
                    int64_t best = 0, bestDiff = INT64_MAX;
                    for (int64_t k = b.SearchFromMm; k <= b.SearchToMm; ++k) {
                        const int64_t diff = std::llabs(calc.Totals(k / 1000.0).Surplus() - target);
                        if (diff < bestDiff ||
                            (diff == bestDiff && std::llabs(k) < std::llabs(best))) {
                            best = k;
                            bestDiff = diff;
                        }
                    }
                    EXPECT_EQ(std::llabs(b.Remaining()), bestDiff) << Describe(spec);
                    EXPECT_EQ(std::llabs(b.ShiftMm), std::llabs(best)) << Describe(spec);
                }
    EXPECT_EQ(cases, 108);
}

TEST(PlanBalance, SampleSiteBalances) {
    TInputData d;
    d.FileLoad(kSample);
    const TPlanBalance b = FindPlanBalance(d, 0);
    ASSERT_TRUE(b.Found) << b.Message;
    EXPECT_TRUE(b.After == AppliedTotals(d, b.Shift()));
    EXPECT_LE(std::llabs(b.Remaining()), std::llabs(b.Before.Surplus()));
    EXPECT_LT(b.Evaluations, 80);
}

// Two meshes of 100 m², one cut and one fill 1 m deep: each millimetre moves 0.1 m³ on either
// side, rounded per mesh, so the difference stays level over stretches of several millimetres.
// Of such a stretch the shift nearest the plan as it stands is taken (checked against full
// calculations of every shift from -0.4 m to +0.4 m).
TEST(PlanBalance, SmallestShiftAmongEqualDifferences) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(10);
    d.SetSolidValue(1, 0, 1.0);
    for (auto [x, gh] : {std::pair{0, 11.0}, {1, 9.0}}) {
        TGridData g;
        g.X = x;
        g.GH = gh;
        g.FH = 10;
        d.SetMeshData(g);
    }
    for (int64_t target : {0, 20, 25, -37}) {
        const TPlanBalance b = FindPlanBalance(d, target);
        ASSERT_TRUE(b.Found) << target;
        int64_t best = 0, bestDiff = INT64_MAX;
        for (int64_t k = -400; k <= 400; ++k) {
            const int64_t diff = std::llabs(AppliedTotals(d, k / 1000.0).Surplus() - target);
            if (diff < bestDiff || (diff == bestDiff && std::llabs(k) < std::llabs(best))) {
                best = k;
                bestDiff = diff;
            }
        }
        EXPECT_EQ(b.ShiftMm, best) << target;
        EXPECT_EQ(std::llabs(b.Remaining()), bestDiff) << target;
        if (target == 0) {
            EXPECT_EQ(b.ShiftMm, 0) << "already in balance";
        }
        if (target == 20) {
            EXPECT_GT(b.ShiftMm, -100) << "not where -0.2 k = 20 exactly, but nearer 0";
        }
    }
}

// Sites that cannot balance get a message and no shift.
TEST(PlanBalance, SitesThatCannotBalance) {
    auto site = [](double PlanOffset) { return GeneratedSite({3, 0, 0, 0, PlanOffset, 4}); };
    TInputData empty;
    // Only a project file can hold a spacing of 0: the mesh spacing's field of the file.
    TInputData zeroSpan;
    {
        std::string bytes = site(0.0).SaveToBytes();
        const double zero = 0.0;
        std::memcpy(&bytes[304], &zero, sizeof zero);
        zeroSpan.LoadFromBytes(bytes);
        ASSERT_EQ(zeroSpan.MeshSpan(), 0.0);
    }
    TInputData negativeRate = site(0.0);
    negativeRate.SetSolidValue(1, 0, -0.9);
    negativeRate.SetSolidValue(2, 0, -0.9);
    negativeRate.SetSolidValue(3, 0, -0.9);
    negativeRate.SetSolidValue(4, 0, -0.9);
    negativeRate.SetSolidValue(5, 0, -0.9);
    TInputData heave = site(0.0);
    heave.SetAtumitu(true);
    TGridData g = heave.GetIndexToData(0);
    g.BSink = -0.2;
    heave.SetMeshData(g);
    TInputData noNumbers;
    g = TGridData{};
    g.GH = std::nan("");
    g.FH = 10;
    noNumbers.SetMeshData(g);

    const TInputData allCut = site(-6.0), allFill = site(6.0);
    struct Case {
        const char* name;
        const TInputData& data;
        int64_t target;
        const char* says;
    } cases[] = {
        {"no mesh", empty, 0, "メッシュデータがありません"},
        {"zero spacing", zeroSpan, 0, "メッシュ間隔 0.00 m は使えません"},
        {"negative rates", negativeRate, 0, "変化率が負"},
        {"heave", heave, 0, "圧密沈下が負"},
        {"no heights", noNumbers, 0, "メッシュ (0, 0) の地盤高が数値ではありません。"},
        {"surplus beyond all cut", allCut, 1'000'000'000, "全面を切土にしても"},
        {"shortage beyond all fill", allFill, -1'000'000'000, "全面を盛土にしても"},
    };
    for (const Case& c : cases) {
        const TPlanBalance b = FindPlanBalance(c.data, c.target);
        EXPECT_FALSE(b.Found) << c.name;
        EXPECT_NE(b.Message.find(c.says), std::string::npos) << c.name << ": " << b.Message;
    }
    // With no target the same all-cut and all-fill sites do balance, inside the range.
    for (const TInputData* d : {&allCut, &allFill}) {
        const TPlanBalance b = FindPlanBalance(*d, 0);
        ASSERT_TRUE(b.Found) << b.Message;
        EXPECT_TRUE(b.After == AppliedTotals(*d, b.Shift()));
        EXPECT_NE(b.ShiftMm, 0);
    }
}

TEST(PlanBalance, ShiftMovesLivePointsAndClearsResults) {
    TInputData d = GeneratedSite({8, 0, 0, 0, 0.0, 4});
    ASSERT_TRUE(d.Calcrate());
    d.DeleteMeshData(d.GridList()[1].X, d.GridList()[1].Y);
    const std::vector<TGridData> before = d.GridList();
    ASSERT_TRUE(d.Calcrate());
    std::vector<std::pair<int, bool>> phases;
    d.SetOnPhaseChange([&](TInputData&, int P, bool V) { phases.push_back({P, V}); });
    ShiftPlannedHeights(d, -0.25);
    EXPECT_EQ((std::vector<std::pair<int, bool>>{{2, false}}), phases);
    ASSERT_EQ(d.GridList().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const TGridData& a = before[i];
        const TGridData& b = d.GridList()[i];
        EXPECT_EQ(b.DelFlg, a.DelFlg) << i;
        EXPECT_EQ(b.FH, a.DelFlg ? a.FH : a.FH + -0.25) << i;
        EXPECT_EQ(b.GH, a.GH) << i;
    }
}

TEST(PlanBalance, ShiftText) {
    EXPECT_EQ(ShiftText(0), "+0.000");
    EXPECT_EQ(ShiftText(1234), "+1.234");
    EXPECT_EQ(ShiftText(-50), "-0.050");
}
