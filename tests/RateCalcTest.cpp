#include "model/RateCalc.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Totals as the simulator reads them: plain and corrected fill, plain and corrected cut per
// layer (the totals are the sums).
TGridCalcData Totals(int PlainFill, int Fill, std::initializer_list<std::pair<int, int>> Cut) {
    TGridCalcData t;
    t.BV[0] = PlainFill;
    t.BV[1] = Fill;
    int i = 1;
    for (auto [plain, corrected] : Cut) {
        t.CV[0][i] = plain;
        t.CV[1][i] = corrected;
        t.CV[0][0] += plain;
        t.CV[1][0] += corrected;
        ++i;
    }
    return t;
}

TInputData TwoLayers() {
    TInputData d;
    d.SetLayer(2);
    d.SetSolidValue(1, 0, 0.9);
    d.SetSolidValue(2, 0, 1.1);
    return d;
}

} // namespace

TEST(RateCalc, RoundsToThreeDecimalsHalvesToEven) {
    const std::pair<double, double> cases[] = {
        {0.0625, 0.062}, {0.1875, 0.188},   {1.0625, 1.062}, {0.8275862, 0.828},
        {1.15, 1.15},    {-0.0625, -0.062}, {2.0, 2.0},
    };
    for (auto [in, out] : cases)
        EXPECT_DOUBLE_EQ(RoundRate3(in), out) << in;
}

TEST(RateCalc, CutCorrectionWorkedExample) {
    TInputData d = TwoLayers();
    const TGridCalcData t = Totals(1200, 1200, {{1000, 900}, {500, 550}});
    TRateSimulation s = StartRateSimulation(d, t);
    EXPECT_TRUE(s.CutCorrection);
    EXPECT_DOUBLE_EQ(s.CurrentVolume, 1450);
    EXPECT_DOUBLE_EQ(s.CurrentRate, 1450.0 / 1500.0);
    EXPECT_DOUBLE_EQ(s.TargetVolume, 1200);
    ASSERT_TRUE(s.Amended) << "both layers start selected";
    EXPECT_DOUBLE_EQ(s.Rate[0], 0.745);
    EXPECT_DOUBLE_EQ(s.Rate[1], 0.910);
    EXPECT_NEAR(s.AmendedVolume, 1200, 1e-9);
    EXPECT_DOUBLE_EQ(s.AmendedRate, 0.800);

    ASSERT_TRUE(RecalcCutAmendment(d, t, {true, false}, s));
    EXPECT_DOUBLE_EQ(s.Rate[0], 0.650);
    EXPECT_DOUBLE_EQ(s.Rate[1], 1.100);
    EXPECT_NEAR(s.AmendedVolume, 1200, 1e-9);
    EXPECT_DOUBLE_EQ(s.AmendedRate, 0.800);

    // Nothing selected: the last amendment stands, and applying stores it.
    EXPECT_FALSE(RecalcCutAmendment(d, t, {}, s));
    EXPECT_DOUBLE_EQ(s.Rate[0], 0.650);
    ApplyRateSimulation(d, s);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.650);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(2, 0), 1.100);
}

TEST(RateCalc, FollowsTheCorrectionTheCalculationUses) {
    // Only 1 corrects the fill in the calculation; other values from a file correct the cut,
    // and the simulator amends the rates of the side that the calculation corrected.
    struct Case {
        int rateType;
        bool cutCorrection;
        int cut, fill; // corrected totals of a cut of 200 (rate 0.9) and a fill of 100 (0.8)
    } cases[] = {
        {0, true, 180, 100}, {2, true, 180, 100}, {-1, true, 180, 100}, {1, false, 200, 80}};
    for (const Case& c : cases) {
        TInputData d;
        d.SetLayer(1);
        d.SetMeshSpan(10);
        d.SetRateType(c.rateType);
        d.SetSolidValue(0, 0, 0.8);
        for (auto [x, gh, fh] : {std::tuple{0, 12.0, 10.0}, std::tuple{1, 10.0, 11.0}}) {
            TGridData g;
            g.X = x;
            g.GH = gh;
            g.FH = fh;
            d.SetMeshData(g);
        }
        ASSERT_TRUE(d.Calcrate());
        const TGridCalcData sum = d.GetCalcSumVolume();
        EXPECT_EQ(sum.CV[0][0], 200) << c.rateType;
        EXPECT_EQ(sum.BV[0], 100) << c.rateType;
        EXPECT_EQ(sum.CV[1][0], c.cut) << c.rateType;
        EXPECT_EQ(sum.BV[1], c.fill) << c.rateType;
        EXPECT_EQ(StartRateSimulation(d, sum).CutCorrection, c.cutCorrection) << c.rateType;
    }
}

TEST(RateCalc, CutCorrectionWithoutFillOrCutStoresNothing) {
    for (const TGridCalcData& t :
         {Totals(0, 0, {{1000, 900}, {500, 550}}), Totals(800, 800, {{0, 0}, {0, 0}})}) {
        TInputData d = TwoLayers();
        TRateSimulation s = StartRateSimulation(d, t);
        EXPECT_FALSE(s.Amended);
        ApplyRateSimulation(d, s);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(2, 0), 1.1);
    }
    // Layer 2 alone already exceeds the fill, so layer 1 has nothing left to supply.
    TInputData d = TwoLayers();
    const TGridCalcData t = Totals(500, 500, {{100, 90}, {500, 550}});
    TRateSimulation s = StartRateSimulation(d, t);
    ASSERT_TRUE(s.Amended);
    const TRateSimulation before = s;
    EXPECT_FALSE(RecalcCutAmendment(d, t, {true, false}, s));
    EXPECT_EQ(s.Rate, before.Rate);
    EXPECT_DOUBLE_EQ(s.AmendedVolume, before.AmendedVolume);
}

TEST(RateCalc, CutCorrectionTouchesOnlyExistingLayers) {
    TInputData d;
    d.SetLayer(3);
    for (int i = 1; i <= 5; ++i)
        d.SetSolidValue(i, 0, 1.0);
    const TGridCalcData t = Totals(600, 600, {{100, 100}, {200, 200}, {300, 300}});
    TRateSimulation s = StartRateSimulation(d, t);
    ASSERT_TRUE(s.Amended);
    ApplyRateSimulation(d, s);
    for (int i = 1; i <= 3; ++i)
        EXPECT_DOUBLE_EQ(d.GetSolidValue(i, 0), 1.0) << "already balanced";
    // A selection beyond the layer count is not read.
    EXPECT_TRUE(RecalcCutAmendment(d, t, {true, true, true, true, true}, s));
    EXPECT_DOUBLE_EQ(s.AmendedVolume, 600);
    s.Rate[3] = 7.0;
    ApplyRateSimulation(d, s);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(4, 0), 1.0);
}

TEST(RateCalc, FillCorrection) {
    struct Case {
        int plainFill, fill, cut;
        double current, rate, volume;
    };
    const Case cases[] = {
        {2000, 2000, 2300, 1.0, 1.150, 2300},
        // Volumes past what a 32-bit product with 1000 would hold.
        {2000000, 2000000, 2500001, 1.0, 1.250, 2500000},
        {0, 0, 700, 1.0, 1.0, 0},
        {1000, 900, 1000, 0.9, 1.0, 1000},
        {3, 3, 2, 1.0, 0.667, 2},
    };
    for (const Case& c : cases) {
        TInputData d;
        d.SetRateType(1);
        d.SetSolidValue(0, 0, 0.5);
        const TGridCalcData t = Totals(c.plainFill, c.fill, {{c.cut, c.cut}});
        const TRateSimulation s = StartRateSimulation(d, t);
        EXPECT_FALSE(s.CutCorrection);
        EXPECT_DOUBLE_EQ(s.CurrentVolume, c.fill);
        EXPECT_DOUBLE_EQ(s.TargetVolume, c.cut);
        EXPECT_DOUBLE_EQ(s.CurrentRate, c.current) << c.plainFill;
        EXPECT_DOUBLE_EQ(s.AmendedRate, c.rate) << c.plainFill;
        EXPECT_DOUBLE_EQ(s.AmendedVolume, c.volume) << c.plainFill;
        ApplyRateSimulation(d, s);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(0, 0), c.rate);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9) << "layer rates stay";
    }
}
