#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {

// A project with spacing 10 (A = 100, q = 25), default rates, rounding half up, cut correction.
TInputData Site(int layers, int calcType = 0) {
    TInputData d;
    d.SetMeshSpan(10.0);
    d.SetLayer(layers);
    d.SetCalcType(calcType);
    return d;
}

void Add(TInputData& d, int x, int y, double gh, double fh,
         std::initializer_list<double> layer = {}, double csink = 0, double bsink = 0) {
    TGridData g = d.GetXYToData(x, y);
    g.Index = 0;
    g.X = x;
    g.Y = y;
    g.GH = gh;
    g.FH = fh;
    int i = 0;
    for (double v : layer)
        g.LAYER[i++] = v;
    g.CSink = csink;
    g.BSink = bsink;
    d.SetMeshData(g);
}

std::vector<int> Row(const int32_t (&cv)[6], int layers) {
    return std::vector<int>(cv, cv + layers + 1);
}

bool SameRecord(const TGridCalcData& a, const TGridCalcData& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(RoundVolume, MethodsAndLimits) {
    struct Case {
        double x;
        int half, down, up;
    } cases[] = {
        {112.5, 113, 112, 113},
        {-112.5, -112, -113, -112},
        {57.49999999999999, 57, 57, 58},
        {std::nextafter(0.5, 0.0), 0, 0, 1},
        {0.0, 0, 0, 0},
        {-0.0, 0, 0, 0},
        {1e-300, 0, 0, 1},
        {3e9, INT_MAX, INT_MAX, INT_MAX},
        {-3e9, INT_MIN, INT_MIN, INT_MIN},
        {INFINITY, INT_MAX, INT_MAX, INT_MAX},
        {NAN, 0, 0, 0},
        {2147483646.5, INT_MAX, 2147483646, INT_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TInputData::RoundVolume(c.x, 0), c.half) << c.x;
        EXPECT_EQ(TInputData::RoundVolume(c.x, 7), c.half) << c.x; // any other is half up
        EXPECT_EQ(TInputData::RoundVolume(c.x, 1), c.down) << c.x;
        EXPECT_EQ(TInputData::RoundVolume(c.x, 2), c.up) << c.x;
    }
}

TEST(Calcrate, OnePointTopsoilAndTwoLayers) {
    for (int roundType : {0, 1}) {
        TInputData d = Site(2);
        d.SetHyoudo(true);
        d.SetRoundType(roundType);
        Add(d, 3, 4, 12.5, 10.0, {0.25, 1.5});
        ASSERT_TRUE(d.Calcrate());
        ASSERT_EQ(d.CalcMeshCount(), 1);
        const TGridCalcData r = d.GetIndextoCalcMesh(0);
        EXPECT_EQ(r.HV, 25);
        EXPECT_EQ(Row(r.CV[0], 2), (std::vector<int>{225, 125, 100}));
        if (roundType == 0)
            EXPECT_EQ(Row(r.CV[1], 2), (std::vector<int>{218, 113, 105}));
        else
            EXPECT_EQ(Row(r.CV[1], 2), (std::vector<int>{217, 112, 105}));
        EXPECT_EQ(r.BV[0], 0);
        EXPECT_EQ(r.BV[1], 0);
        EXPECT_EQ(r.CXj, 30.0);
        EXPECT_EQ(r.CYj, 40.0);
        EXPECT_EQ(r.BXj, 30.0);
        EXPECT_EQ(r.BYj, 40.0);
    }
}

TEST(Calcrate, StrippedGroundBelowLayerTopAndElevationInput) {
    {
        TInputData d = Site(3);
        d.SetHyoudo(true);
        Add(d, 0, 0, 12.0, 9.0, {1.0, 0.5, 1.0});
        d.Calcrate();
        const TGridCalcData r = d.GetIndextoCalcMesh(0);
        EXPECT_EQ(Row(r.CV[0], 3), (std::vector<int>{200, 0, 50, 150}));
        EXPECT_EQ(Row(r.CV[1], 3), (std::vector<int>{226, 0, 53, 173}));
        EXPECT_EQ(r.HV, 100);
    }
    {
        TInputData d = Site(3);
        d.SetSolidType(1);
        Add(d, 0, 0, 12.0, 9.0, {0.0, 11.0, 9.5});
        d.Calcrate();
        const TGridCalcData r = d.GetIndextoCalcMesh(0);
        EXPECT_EQ(Row(r.CV[0], 3), (std::vector<int>{300, 100, 150, 50}));
        EXPECT_EQ(Row(r.CV[1], 3), (std::vector<int>{305, 90, 158, 57}));
    }
}

TEST(Calcrate, FillCorrectionWithSettlements) {
    for (int roundType : {0, 1}) {
        TInputData d = Site(1);
        d.SetRateType(1);
        d.SetSolidValue(0, 0, 0.9);
        d.SetFumikomi(true);
        d.SetAtumitu(true);
        d.SetRoundType(roundType);
        Add(d, 0, 0, 9.0, 10.0, {}, 0.25, 0.5);
        d.Calcrate();
        const TGridCalcData r = d.GetIndextoCalcMesh(0);
        EXPECT_EQ(r.BV[0], 175);
        EXPECT_EQ(r.BV[1], roundType == 0 ? 158 : 157);
        EXPECT_EQ(r.CV[0][0], 0);
        EXPECT_EQ(r.CV[1][0], 0);
    }
}

TEST(Calcrate, PointAtPlannedHeightStillCounts) {
    TInputData d = Site(1);
    Add(d, 0, 0, 10.0, 10.0);
    EXPECT_TRUE(d.Calcrate());
    EXPECT_TRUE(d.GetPhase(2));
    const TGridCalcData r = d.GetIndextoCalcMesh(0);
    EXPECT_EQ(r.BV[0] + r.BV[1] + r.CV[0][0] + r.CV[1][0] + r.HV, 0);
    EXPECT_EQ(r.Num, 5); // the centre of the 3 x 3 table
}

TEST(Calcrate, SinglePointByEachMethod) {
    struct Case {
        int calcType;
        int records;
        double lo, hi; // cut centroid coordinates of the first and last cell
    } cases[] = {{0, 1, 50.0, 50.0}, {1, 4, 47.5, 52.5}, {2, 4, 45.0, 55.0}, {7, 1, 50.0, 50.0}};
    for (const Case& c : cases) {
        TInputData d = Site(1, c.calcType);
        Add(d, 5, 5, 12.0, 10.0);
        ASSERT_TRUE(d.Calcrate());
        ASSERT_EQ(d.CalcMeshCount(), c.records) << c.calcType;
        const TGridCalcData sum = d.GetCalcSumVolume();
        EXPECT_EQ(sum.CV[0][0], 200);
        EXPECT_EQ(sum.CV[0][1], 200);
        EXPECT_EQ(sum.Num + sum.X + sum.Y, 0);
        EXPECT_EQ(sum.CXj + sum.CYj + sum.BXj + sum.BYj, 0.0);
        const TGridCalcData first = d.GetIndextoCalcMesh(0);
        const TGridCalcData last = d.GetIndextoCalcMesh(c.records - 1);
        EXPECT_DOUBLE_EQ(first.CXj, c.lo);
        EXPECT_DOUBLE_EQ(first.CYj, c.lo);
        EXPECT_DOUBLE_EQ(last.CXj, c.hi);
        EXPECT_DOUBLE_EQ(last.CYj, c.hi);
        if (c.records == 4) {
            EXPECT_EQ(first.CV[0][0], 50);
            EXPECT_EQ(first.X, 4);
            EXPECT_EQ(last.X, 5);
            const double fillX = c.calcType == 1 ? 40.0 : 45.0;
            EXPECT_DOUBLE_EQ(first.BXj, fillX); // lower corner, or centre for the average
        }
    }
}

TEST(Calcrate, FourPointsByEachMethod) {
    const auto site = [](int calcType) {
        TInputData d = Site(1, calcType);
        Add(d, 0, 0, 11, 10);
        Add(d, 1, 0, 10, 10);
        Add(d, 0, 1, 9, 10);
        Add(d, 1, 1, 10, 12);
        d.Calcrate();
        return d;
    };
    {
        const TInputData d = site(0);
        const TGridCalcData s = d.GetCalcSumVolume();
        EXPECT_EQ(s.BV[0], 300);
        EXPECT_EQ(s.CV[0][0], 100);
        EXPECT_EQ(s.CV[1][0], 90);
    }
    {
        const TInputData d = site(1);
        const TGridCalcData s = d.GetCalcSumVolume();
        EXPECT_EQ(s.BV[0], 300);
        EXPECT_EQ(s.CV[0][0], 100);
        EXPECT_EQ(s.CV[1][0], 92);
        EXPECT_EQ(d.CalcMeshCount(), 8);
        for (const TGridCalcData& r : d.CalcList())
            EXPECT_FALSE(r.X == 1 && r.Y == -1);
        const TGridCalcData* cell = nullptr;
        for (const TGridCalcData& r : d.CalcList())
            if (r.X == 0 && r.Y == 0)
                cell = &r;
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->BV[0], 75);
        EXPECT_NEAR(cell->BXj, 5.8333, 1e-4);
        EXPECT_DOUBLE_EQ(cell->BYj, 7.5);
        EXPECT_EQ(cell->CV[0][0], 25);
        EXPECT_EQ(cell->CV[1][0], 23);
        EXPECT_DOUBLE_EQ(cell->CXj, 56.25 / 23);
        EXPECT_DOUBLE_EQ(cell->CYj, 56.25 / 23);
    }
    {
        const TInputData d = site(2);
        const TGridCalcData s = d.GetCalcSumVolume();
        EXPECT_EQ(s.BV[0], 250);
        EXPECT_EQ(s.CV[0][0], 50);
        EXPECT_EQ(s.CV[1][0], 46);
        EXPECT_EQ(d.CalcMeshCount(), 9);
    }
}

// One four-point cell (2, 3) worked by hand, every field of its record. Corner k of the cell is
// the point (2 + k % 2, 3 + k / 2); rates R0 0.8, R1 0.8, R2 1.2; two layers, thickness input.
TEST(Calcrate, FourPointCellByHand) {
    struct Corner {
        int k;
        double gh, fh, top, layer1, csink, bsink;
    };
    struct Setup {
        int calcType, rateType;
        bool options; // topsoil, stepping-in and consolidation settlement
    };
    struct Volumes {
        int hv, bv[2], cv[2][3];
    };
    struct Centroids {
        double cx, cy, bx, by;
    };
    struct Case {
        const char* what;
        Setup setup;
        std::vector<Corner> corners;
        Volumes v;
        Centroids at;
    };
    const Case cases[] = {
        // Fill depths 1.2 and 0.8 at corners 0 and 3 (stripped ground 9.7, settlements added);
        // cut at corners 1 (1.0 of layer 1, 0.6 of layer 2) and 2 (its layer 2 top 10.6 lies
        // above the stripped ground 10.4 and is lowered, so 0.8 of layer 2). Cut weights
        // 38 and 24: moments 38 x 7.5 + 24 x 2.5 in X and 38 x 2.5 + 24 x 7.5 in Y.
        {"prism, every option",
         {1, 0, true},
         {{0, 10.0, 10.5, 0.2, 0.0, 0.1, 0.4},
          {1, 12.0, 10.0, 0.2, 1.4, 0.2, 0.5},
          {2, 11.0, 9.6, 0.2, 0.4, 0.4, 0.0},
          {3, 10.0, 10.3, 0.2, 0.0, 0.1, 0.2}},
         {20, {50, 50}, {{60, 25, 35}, {62, 20, 42}}},
         {20 + 345.0 / 62, 30 + 275.0 / 62, 20 + 225.0 / 50, 30 + 225.0 / 50}},
        // Fill 0.8 at corner 1 and 0.4 at corner 2, corrected 30 x 0.8; cut 0.4 and 0.6 at
        // corner 0, weighed without rates; corner 3 has no point. The fill centroid divides
        // the moments (175, 125) by the plain fill.
        {"prism, fill correction",
         {1, 1, false},
         {{0, 11.0, 10.0, 0.0, 0.4, 0.0, 0.0},
          {1, 10.0, 10.8, 0.0, 0.0, 0.0, 0.0},
          {2, 10.0, 10.4, 0.0, 0.0, 0.0, 0.0}},
         {0, {30, 24}, {{25, 10, 15}, {25, 10, 15}}},
         {22.5, 32.5, 20 + 175.0 / 30, 30 + 125.0 / 30}},
        // Averages: ground 12.0, layer 2 top 11.0, plan 10.0, topsoil 0.4, stepping-in 0.2;
        // the stripped ground 11.4 cuts 0.4 of layer 1 and 1.0 of layer 2 over the whole mesh.
        {"average, every option, cut",
         {2, 0, true},
         {{0, 12.0, 10.0, 0.4, 1.0, 0.2, 0.1},
          {1, 12.4, 10.4, 0.2, 1.2, 0.0, 0.3},
          {2, 11.6, 9.6, 0.6, 0.8, 0.2, 0.2},
          {3, 12.0, 10.0, 0.4, 1.0, 0.4, 0.2}},
         {40, {0, 0}, {{140, 40, 100}, {152, 32, 120}}},
         {25, 35, 25, 35}},
        // Averages: ground 10.0, topsoil 0.2, stepping-in 0.1, plan 10.5, consolidation 0.2:
        // fill 1.0 over the whole mesh.
        {"average, every option, fill correction",
         {2, 1, true},
         {{0, 10.2, 10.5, 0.1, 0.0, 0.1, 0.4},
          {1, 9.8, 10.5, 0.3, 0.0, 0.1, 0.0},
          {2, 10.0, 10.5, 0.2, 0.0, 0.0, 0.2},
          {3, 10.0, 10.5, 0.2, 0.0, 0.2, 0.2}},
         {20, {100, 80}, {{0, 0, 0}, {0, 0, 0}}},
         {25, 35, 25, 35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TInputData d = Site(2, c.setup.calcType);
        d.SetRateType(c.setup.rateType);
        d.SetHyoudo(c.setup.options);
        d.SetFumikomi(c.setup.options);
        d.SetAtumitu(c.setup.options);
        d.SetSolidValue(0, 0, 0.8);
        d.SetSolidValue(1, 0, 0.8);
        d.SetSolidValue(2, 0, 1.2);
        for (const Corner& k : c.corners)
            Add(d, 2 + k.k % 2, 3 + k.k / 2, k.gh, k.fh, {k.top, k.layer1}, k.csink, k.bsink);
        ASSERT_TRUE(d.Calcrate());
        const TGridCalcData* r = nullptr;
        for (const TGridCalcData& m : d.CalcList())
            if (m.X == 2 && m.Y == 3)
                r = &m;
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->HV, c.v.hv);
        EXPECT_EQ(r->BV[0], c.v.bv[0]);
        EXPECT_EQ(r->BV[1], c.v.bv[1]);
        EXPECT_EQ(Row(r->CV[0], 2), std::vector<int>(c.v.cv[0], c.v.cv[0] + 3));
        EXPECT_EQ(Row(r->CV[1], 2), std::vector<int>(c.v.cv[1], c.v.cv[1] + 3));
        EXPECT_NEAR(r->CXj, c.at.cx, 1e-9);
        EXPECT_NEAR(r->CYj, c.at.cy, 1e-9);
        EXPECT_NEAR(r->BXj, c.at.bx, 1e-9);
        EXPECT_NEAR(r->BYj, c.at.by, 1e-9);
    }
}

TEST(Calcrate, RecordsInScanOrderWithCellNumbers) {
    TInputData d = Site(1, 1);
    Add(d, 2, 7, 11, 10);
    Add(d, 0, 5, 11, 10);
    d.Calcrate();
    int64_t last = INT64_MIN;
    for (const TGridCalcData& r : d.CalcList()) {
        const int64_t key = int64_t{r.Y} * 1000 + r.X;
        EXPECT_GT(key, last);
        last = key;
        // Table from (-1, 4) to (3, 8): 5 cells a row.
        EXPECT_EQ(r.Num, (r.X + 1) + (r.Y - 4) * 5 + 1);
    }
}

TEST(Calcrate, LaterDuplicateAndDeletedPoints) {
    TInputData d = Site(1);
    Add(d, 0, 0, 11, 10);
    Add(d, 0, 0, 13, 10);
    Add(d, 4, 4, 20, 10);
    d.DeleteMeshData(4, 4);
    ASSERT_TRUE(d.Calcrate());
    ASSERT_EQ(d.CalcMeshCount(), 1);
    EXPECT_EQ(d.GetIndextoCalcMesh(0).CV[0][0], 300);
    EXPECT_EQ(d.GetIndextoCalcMesh(1).CV[0][0], 0); // outside the list: zeros
    EXPECT_EQ(d.GetIndextoCalcMesh(-1).Num, 0);
}

TEST(Calcrate, NoLivePointClearsEverything) {
    TInputData d = Site(1);
    Add(d, 0, 0, 11, 10);
    ASSERT_TRUE(d.Calcrate());
    d.DeleteMeshData(0, 0);
    d.SetPhase(2, true);
    EXPECT_FALSE(d.Calcrate());
    EXPECT_FALSE(d.GetPhase(2));
    EXPECT_EQ(d.CalcMeshCount(), 0);
    EXPECT_EQ(d.GetCalcSumVolume().CV[0][0], 0);
}

namespace {

// A small random project: any method, option, layer mode and span, points on a small patch of
// mesh numbers with duplicates and deletions.
TInputData RandomSite(std::mt19937& rng, int trial) {
    std::uniform_real_distribution<double> h(5.0, 15.0), thick(0.0, 2.0);
    TInputData d = Site(1 + trial % 5, trial % 3);
    d.SetHyoudo(rng() % 2);
    d.SetFumikomi(rng() % 2);
    d.SetAtumitu(rng() % 2);
    d.SetRateType(static_cast<int>(rng() % 2));
    d.SetRoundType(static_cast<int>(rng() % 3));
    d.SetSolidType(static_cast<int>(rng() % 2));
    d.SetMeshSpan(1.0 + rng() % 30);
    const int w = 1 + static_cast<int>(rng() % 9), ht = 1 + static_cast<int>(rng() % 9);
    const int x0 = static_cast<int>(rng() % 41) - 20, y0 = static_cast<int>(rng() % 41) - 20;
    const int n = 1 + static_cast<int>(rng() % (w * ht + 3));
    for (int i = 0; i < n; ++i) {
        const double gh = h(rng);
        Add(d, x0 + static_cast<int>(rng() % w), y0 + static_cast<int>(rng() % ht), gh, h(rng),
            {thick(rng), thick(rng), gh - thick(rng), gh - 2 - thick(rng), thick(rng)},
            thick(rng) / 4, thick(rng) / 4);
        if (rng() % 7 == 0)
            d.DeleteMeshData(x0, y0);
    }
    return d;
}

// Everything a calculation leaves: records, totals in both widths, saturated meshes.
struct TCalcOutcome {
    bool Any;
    std::vector<TGridCalcData> Records;
    TGridCalcData Sum;
    TCalcTotals Totals;
    int64_t Saturated;
};

TCalcOutcome CalcOutcome(TInputData& d) {
    const bool any = d.Calcrate();
    return {any, d.CalcList(), d.GetCalcSumVolume(), d.GetCalcTotals(), d.SaturatedMeshCount()};
}

void ExpectSameOutcome(const TCalcOutcome& a, const TCalcOutcome& b, const std::string& where) {
    ASSERT_EQ(a.Any, b.Any) << where;
    ASSERT_EQ(a.Records.size(), b.Records.size()) << where;
    for (size_t i = 0; i < a.Records.size(); ++i)
        ASSERT_TRUE(SameRecord(a.Records[i], b.Records[i])) << where << " #" << i;
    ASSERT_TRUE(SameRecord(a.Sum, b.Sum)) << where;
    ASSERT_EQ(std::memcmp(&a.Totals, &b.Totals, sizeof a.Totals), 0) << where;
    ASSERT_EQ(a.Saturated, b.Saturated) << where;
}

} // namespace

// The sorted index used for scattered mesh numbers gives the same records, in the same order,
// as the cell table, for every method and option.
TEST(Calcrate, SparseIndexMatchesCellTable) {
    std::mt19937 rng(20261210);
    for (int trial = 0; trial < 300; ++trial) {
        TInputData d = RandomSite(rng, trial);
        d.SetCellIndexMode(TCellIndexMode::Dense);
        const TCalcOutcome dense = CalcOutcome(d);
        ASSERT_TRUE(d.LastCalcWasDense());
        d.SetCellIndexMode(TCellIndexMode::Sparse);
        const TCalcOutcome sparse = CalcOutcome(d);
        ASSERT_FALSE(d.LastCalcWasDense());
        ExpectSameOutcome(dense, sparse, "trial " + std::to_string(trial));
    }
}

// Split over threads, a calculation gives the records, centroids and totals of one thread bit
// for bit, whatever the number of ranges (more ranges than rows or points included).
TEST(Calcrate, ThreadsMatchOneThread) {
    std::mt19937 rng(20261211);
    for (int trial = 0; trial < 200; ++trial) {
        TInputData d = RandomSite(rng, trial);
        for (TCellIndexMode mode : {TCellIndexMode::Dense, TCellIndexMode::Sparse}) {
            d.SetCellIndexMode(mode);
            d.SetCalcThreads(1);
            const TCalcOutcome one = CalcOutcome(d);
            for (int threads : {2, 3, 16}) {
                d.SetCalcThreads(threads);
                ExpectSameOutcome(one, CalcOutcome(d),
                                  "trial " + std::to_string(trial) + " threads " +
                                      std::to_string(threads) +
                                      (mode == TCellIndexMode::Dense ? " dense" : " sparse"));
            }
        }
    }
    // A site large enough for the default to use every core, with a hole and saturated meshes.
    for (int calcType : {0, 1, 2}) {
        TInputData d = Site(3, calcType);
        d.SetHyoudo(true);
        for (int y = 0; y < 220; ++y)
            for (int x = 0; x < 220; ++x) {
                if (x >= 100 && x <= 110 && y >= 50)
                    continue;
                TGridData g;
                g.X = x;
                g.Y = y;
                g.GH = x == 219 && y == 219 ? 1e12 : 10 + 0.01 * ((x * 7 + y * 13) % 300);
                g.FH = 11;
                g.LAYER[0] = 0.3;
                g.LAYER[1] = 0.5;
                g.LAYER[2] = 0.7;
                g.CSink = 0.01;
                g.BSink = 0.02;
                d.SetMeshData(g);
            }
        d.SetCalcThreads(1);
        const TCalcOutcome one = CalcOutcome(d);
        ASSERT_GT(one.Saturated, 0);
        d.SetCalcThreads(0);
        ExpectSameOutcome(one, CalcOutcome(d), "method " + std::to_string(calcType));
    }
}

// Rows longer than the pieces the cell table's rows are calculated in, and more points in a row
// than the sorted index keeps corner shares for: both ways and any split give the same records.
TEST(Calcrate, LongRowsMatchEveryWay) {
    std::mt19937 rng(20261212);
    std::uniform_real_distribution<double> h(5.0, 15.0), thick(0.0, 2.0);
    for (int calcType : {0, 1, 2}) {
        TInputData d = Site(3, calcType);
        d.SetHyoudo(true);
        d.SetFumikomi(true);
        d.SetAtumitu(true);
        for (int y : {0, 1, 2, 5})
            for (int x = 0; x < 12000; ++x) {
                if (rng() % 4 == 0)
                    continue;
                TGridData g;
                g.X = x;
                g.Y = y;
                g.GH = h(rng);
                g.FH = h(rng);
                g.LAYER[0] = thick(rng) / 4;
                g.LAYER[1] = thick(rng);
                g.LAYER[2] = thick(rng);
                g.CSink = thick(rng) / 8;
                g.BSink = thick(rng) / 8;
                d.SetMeshData(g);
            }
        for (int i = 0; i < 50; ++i) { // points given again: the later one counts
            TGridData g;
            g.X = static_cast<int>(rng() % 12000);
            g.Y = 1;
            g.GH = h(rng);
            g.FH = h(rng);
            d.SetMeshData(g);
        }
        d.SetCellIndexMode(TCellIndexMode::Dense);
        d.SetCalcThreads(1);
        const TCalcOutcome one = CalcOutcome(d);
        ASSERT_TRUE(d.LastCalcWasDense());
        ASSERT_GT(one.Records.size(), 30000u);
        for (TCellIndexMode mode : {TCellIndexMode::Dense, TCellIndexMode::Sparse})
            for (int threads : {1, 3}) {
                d.SetCellIndexMode(mode);
                d.SetCalcThreads(threads);
                ExpectSameOutcome(one, CalcOutcome(d),
                                  "method " + std::to_string(calcType) + " threads " +
                                      std::to_string(threads) +
                                      (mode == TCellIndexMode::Dense ? " dense" : " sparse"));
            }
    }
}

TEST(Calcrate, MeshNumbersFarApartUseLittleMemory) {
    for (int calcType : {0, 1, 2}) {
        TInputData d = Site(1, calcType);
        Add(d, -2000000000, 0, 11, 10);
        Add(d, 2000000000, 0, 12, 10);
        ASSERT_TRUE(d.Calcrate());
        EXPECT_FALSE(d.LastCalcWasDense());
        EXPECT_EQ(d.CalcMeshCount(), calcType == 0 ? 2 : 8);
        EXPECT_EQ(d.GetCalcSumVolume().CV[0][0], 300);
        const TGridCalcData first = d.GetIndextoCalcMesh(0);
        const TGridCalcData last = d.GetIndextoCalcMesh(d.CalcMeshCount() - 1);
        EXPECT_EQ(first.X, calcType == 0 ? -2000000000 : -2000000001);
        EXPECT_EQ(last.X, 2000000000);
        // The first cell is near the table's start; the far one's number does not fit Num.
        EXPECT_EQ(first.Num, calcType == 0 ? 0 : 1);
        EXPECT_EQ(last.Num, 0);
    }
}

TEST(Calcrate, ExtremeMeshNumbersDoNotOverflow) {
    for (int calcType : {0, 1, 2}) {
        TInputData d = Site(1, calcType);
        Add(d, INT_MIN, INT_MIN, 11, 10);
        Add(d, INT_MAX, INT_MAX, 11, 10);
        Add(d, INT_MIN, INT_MAX, 9, 10);
        ASSERT_TRUE(d.Calcrate());
        const TGridCalcData s = d.GetCalcSumVolume();
        EXPECT_EQ(s.CV[0][0], 200);
        EXPECT_EQ(s.BV[0], 100);
        if (calcType == 1) {
            // The cell left of and below INT_MIN is labelled INT_MIN; its centroid stays true.
            const TGridCalcData first = d.GetIndextoCalcMesh(0);
            EXPECT_EQ(first.X, INT_MIN);
            EXPECT_EQ(first.Y, INT_MIN);
            EXPECT_EQ(first.Num, 1);
            // Corner 3 of that cell: moment 22.5 x 3s/4 over the rounded corrected cut 23.
            EXPECT_DOUBLE_EQ(first.CXj, (double(INT_MIN) - 1) * 10.0 + 168.75 / 23);
        }
    }
}

// A value that is no number, in a field the calculation uses, is refused with the mesh and the
// field named before anything changes; the same value where the calculation does not look (a
// field switched off, a point deleted or overwritten by a later one at its place) is no reason.
TEST(Calcrate, ValuesThatAreNoNumberAreRefused) {
    struct Case {
        const char* name;
        void (*spoil)(TGridData&);
        const char* says; // "" when the calculation goes on
    } cases[] = {
        {"ground NaN", [](TGridData& g) { g.GH = NAN; },
         "メッシュ (1, 0) の地盤高が数値ではありません。"},
        {"plan +inf", [](TGridData& g) { g.FH = INFINITY; }, "メッシュ (1, 0) の計画高が"},
        {"topsoil -inf", [](TGridData& g) { g.LAYER[0] = -INFINITY; }, "の表土厚が"},
        {"layer 2 NaN", [](TGridData& g) { g.LAYER[2] = NAN; }, "メッシュ (1, 0) の２層厚が"},
        {"stepping-in NaN", [](TGridData& g) { g.CSink = NAN; }, "の踏込沈下が"},
        {"consolidation inf", [](TGridData& g) { g.BSink = INFINITY; }, "の圧密沈下が"},
        {"two fields", [](TGridData& g) { g.GH = g.FH = NAN; },
         "の計画高、地盤高が数値ではありません。"},
        {"layer beyond the count", [](TGridData& g) { g.LAYER[3] = NAN; }, ""},
        {"huge but finite",
         [](TGridData& g) {
             g.GH = g.LAYER[0] = 1e300;
             g.FH = -1e300;
         },
         ""},
    };
    for (int calcType : {0, 1, 2}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", method " + std::to_string(calcType));
            TInputData d = Site(3, calcType);
            d.SetHyoudo(true);
            d.SetFumikomi(true);
            d.SetAtumitu(true);
            for (int x = 0; x < 3; ++x)
                Add(d, x, 0, 12, 10, {0.5, 1, 1});
            ASSERT_TRUE(d.Calcrate());
            const std::vector<TGridCalcData> before = d.CalcList();
            const TCalcTotals totals = d.GetCalcTotals();
            d.SetCalcTime(1);
            TGridData g = d.GetXYToData(1, 0);
            c.spoil(g);
            d.SetMeshData(g);
            int phaseChanges = 0;
            d.SetOnPhaseChange([&](TInputData&, int, bool) { ++phaseChanges; });
            // One method with progress: the run that could be cancelled refuses alike.
            const TProgress progress =
                calcType == 1 ? TProgress([](double) { return true; }) : TProgress();
            if (!*c.says) {
                EXPECT_TRUE(d.Calcrate(progress));
                for (const TGridCalcData& r : d.CalcList()) {
                    EXPECT_GE(r.CV[0][0], 0);
                    EXPECT_GE(r.BV[0], 0);
                }
                continue;
            }
            try {
                d.Calcrate(progress);
                ADD_FAILURE() << "calculated";
            } catch (const EFailure& e) {
                EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("計算できません。"), std::string::npos);
            }
            EXPECT_EQ(phaseChanges, 0);
            EXPECT_FALSE(d.GetPhase(2));
            EXPECT_EQ(d.CalcTime(), 1);
            ASSERT_EQ(d.CalcList().size(), before.size());
            for (size_t i = 0; i < before.size(); ++i)
                EXPECT_TRUE(SameRecord(d.CalcList()[i], before[i])) << i;
            const TCalcTotals after = d.GetCalcTotals();
            EXPECT_EQ(std::memcmp(&totals, &after, sizeof totals), 0);
        }
    }

    // The first such point in list order is named, with how many more there are; points the
    // calculation does not take are not counted.
    TInputData d = Site(1);
    Add(d, 5, 5, 12, 10);
    Add(d, 9, 0, NAN, 10); // overwritten by the next point at its place
    Add(d, 9, 0, 11, 10);
    Add(d, 7, 1, 11, -INFINITY);
    Add(d, 2, 3, INFINITY, 10);
    Add(d, 2, 3, NAN, 10); // the later point at (2, 3) counts, once
    Add(d, 4, 4, NAN, 10);
    d.DeleteMeshData(4, 4);
    Add(d, 8, 8, NAN, NAN);
    try {
        d.Calcrate();
        ADD_FAILURE() << "calculated";
    } catch (const EFailure& e) {
        EXPECT_STREQ(e.what(),
                     "メッシュ (7, 1) の計画高が数値ではありません（ほかに 2 点のメッシュに"
                     "も数値でない値があります）。計算できません。");
    }

    // A file that holds such values and was saved as calculated still opens, without results.
    d.SetPhase(2, true);
    TInputData e;
    e.LoadFromBytes(d.SaveToBytes());
    EXPECT_EQ(e.MeshCount(), 7);
    EXPECT_FALSE(e.GetPhase(2));
    EXPECT_EQ(e.CalcMeshCount(), 0);
    EXPECT_THROW(e.Calcrate(), EFailure);
}

// A huge site saturates the 32-bit volumes instead of wrapping round.
TEST(Calcrate, HugeVolumesSaturate) {
    TInputData d = Site(1);
    d.SetMeshSpan(1000);
    for (int i = 0; i < 5; ++i)
        Add(d, i, 0, 100000, 10);
    d.Calcrate();
    EXPECT_EQ(d.GetIndextoCalcMesh(0).CV[0][0], INT_MAX);
    EXPECT_EQ(d.GetCalcSumVolume().CV[0][0], INT_MAX);
    EXPECT_EQ(d.GetCalcSumVolume().CV[1][1], INT_MAX);
}

// A spacing no calculation can use is refused when set; a file that holds one still opens,
// without results, and calculating it names the spacing instead of giving zeros or the volumes
// of the opposite sign.
TEST(Calcrate, SpacingOutOfRangeIsRefused) {
    const double bad[] = {0.0, -20.0, 0.001, 5000.0, std::nan(""), HUGE_VAL};
    TInputData ok = Site(1);
    ok.SetMeshSpan(20);
    Add(ok, 0, 0, 12, 10);
    ok.Calcrate();
    const std::string good = ok.SaveToBytes();
    // The spacing's eight bytes in the file: the only place where 20.0 stands.
    const double twenty = 20.0;
    const size_t at = good.find(std::string(reinterpret_cast<const char*>(&twenty), 8));
    ASSERT_NE(at, std::string::npos);
    for (double span : bad) {
        SCOPED_TRACE(span);
        TInputData d = Site(1);
        const double before = d.MeshSpan();
        EXPECT_THROW(d.SetMeshSpan(span), EFailure);
        EXPECT_EQ(d.MeshSpan(), before);

        std::string bytes = good;
        std::memcpy(&bytes[at], &span, 8);
        d.LoadFromBytes(bytes);
        EXPECT_FALSE(d.GetPhase(2));
        EXPECT_EQ(d.CalcMeshCount(), 0);
        try {
            d.Calcrate();
            ADD_FAILURE() << "calculated with an unusable spacing";
        } catch (const EFailure& e) {
            EXPECT_NE(std::string(e.what()).find("メッシュ間隔"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(d.GetPhase(2));
    }
}
