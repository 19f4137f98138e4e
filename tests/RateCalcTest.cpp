#include "model/RateCalc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Totals as the simulator reads them: plain and corrected fill, plain and corrected cut per
// layer (the totals are the sums).
TCalcTotals Totals(int64_t PlainFill, int64_t Fill,
                   std::initializer_list<std::pair<int64_t, int64_t>> Cut) {
    TCalcTotals t;
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

void AddPoint(TInputData& d, int X, double GH, double FH, double Layer1 = 0.0) {
    TGridData g;
    g.X = X;
    g.GH = GH;
    g.FH = FH;
    g.LAYER[1] = Layer1;
    d.SetMeshData(g);
}

// One point of fill 1,200 and one of cut 1,000 in layer 1 and 500 in layer 2 (100 m² each),
// calculated: corrected cut 900 and 550.
TInputData TwoLayerSite() {
    TInputData d = TwoLayers();
    d.SetMeshSpan(10);
    AddPoint(d, 0, 0, 12);
    AddPoint(d, 1, 15, 0, 10);
    d.Calcrate();
    return d;
}

bool SameTotals(const TCalcTotals& a, const TCalcTotals& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// What "適用後再計算" leaves: the totals of the project with the rates stored and calculated.
TCalcTotals AppliedTotals(const TInputData& Data, const TRateSimulation& Sim) {
    TInputData copy(Data);
    ApplyRateSimulationAndRecalc(copy, Sim);
    return copy.GetCalcTotals();
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
    TInputData d = TwoLayerSite();
    const TCalcTotals t = d.GetCalcTotals();
    ASSERT_TRUE(SameTotals(t, Totals(1200, 1200, {{1000, 900}, {500, 550}})));
    TRateSimulation s = StartRateSimulation(d, t);
    EXPECT_TRUE(s.CutCorrection);
    EXPECT_DOUBLE_EQ(s.CurrentVolume, 1450);
    EXPECT_DOUBLE_EQ(s.CurrentRate, 1450.0 / 1500.0);
    EXPECT_DOUBLE_EQ(s.TargetVolume, 1200);
    ASSERT_TRUE(s.Amended) << "both layers start selected";
    EXPECT_DOUBLE_EQ(s.Rate[0], 0.745);
    EXPECT_DOUBLE_EQ(s.Rate[1], 0.910);
    EXPECT_DOUBLE_EQ(s.AmendedVolume, 1200); // 745 + 455
    EXPECT_DOUBLE_EQ(s.AmendedRate, 0.800);

    ASSERT_TRUE(RecalcCutAmendment(d, t, {true, false}, s));
    EXPECT_DOUBLE_EQ(s.Rate[0], 0.650);
    EXPECT_DOUBLE_EQ(s.Rate[1], 1.100);
    EXPECT_DOUBLE_EQ(s.AmendedVolume, 1200); // 650 + 550
    EXPECT_DOUBLE_EQ(s.AmendedRate, 0.800);
    EXPECT_TRUE(d.GetPhase(2)) << "the project itself is not recalculated";
    EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);

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
        const TCalcTotals sum = d.GetCalcTotals();
        EXPECT_EQ(sum.CV[0][0], 200) << c.rateType;
        EXPECT_EQ(sum.BV[0], 100) << c.rateType;
        EXPECT_EQ(sum.CV[1][0], c.cut) << c.rateType;
        EXPECT_EQ(sum.BV[1], c.fill) << c.rateType;
        EXPECT_EQ(StartRateSimulation(d, sum).CutCorrection, c.cutCorrection) << c.rateType;
    }
}

TEST(RateCalc, CutCorrectionWithoutFillOrCutStoresNothing) {
    for (const TCalcTotals& t :
         {Totals(0, 0, {{1000, 900}, {500, 550}}), Totals(800, 800, {{0, 0}, {0, 0}})}) {
        TInputData d = TwoLayers();
        d.SetPhase(2, true);
        TRateSimulation s = StartRateSimulation(d, t);
        EXPECT_FALSE(s.Amended);
        ApplyRateSimulation(d, s);
        EXPECT_TRUE(d.GetPhase(2)) << "nothing stored, the results stand";
        EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(2, 0), 1.1);
    }
    // Layer 2 alone already exceeds the fill, so layer 1 has nothing left to supply.
    TInputData d = TwoLayers();
    const TCalcTotals t = Totals(500, 500, {{100, 90}, {500, 550}});
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
    const TCalcTotals t = Totals(600, 600, {{100, 100}, {200, 200}, {300, 300}});
    TRateSimulation s = StartRateSimulation(d, t);
    ASSERT_TRUE(s.Amended);
    ApplyRateSimulation(d, s);
    for (int i = 1; i <= 3; ++i)
        EXPECT_DOUBLE_EQ(d.GetSolidValue(i, 0), 1.0) << "already balanced";
    // A selection beyond the layer count is not read.
    s.Rate[3] = 5.0;
    EXPECT_TRUE(RecalcCutAmendment(d, t, {true, true, true, true, true}, s));
    for (int i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(s.Rate[i], 1.0) << i;
    EXPECT_DOUBLE_EQ(s.Rate[3], 5.0);
    s.Rate[3] = 7.0;
    ApplyRateSimulation(d, s);
    EXPECT_DOUBLE_EQ(d.GetSolidValue(4, 0), 1.0);
}

TEST(RateCalc, FillCorrection) {
    struct Case {
        int64_t plainFill, fill, cut;
        double current, rate;
    };
    const Case cases[] = {
        {2000, 2000, 2300, 1.0, 1.150},
        // Volumes past what a 32-bit product with 1000 would hold.
        {2000000, 2000000, 2500001, 1.0, 1.250},
        // Totals past a 32-bit field: the simulator reads them whole.
        {6000000000, 6000000000, 7105346920, 1.0, 1.184},
        {0, 0, 700, 1.0, 1.0},
        {1000, 900, 1000, 0.9, 1.0},
        {3, 3, 2, 1.0, 0.667},
    };
    for (const Case& c : cases) {
        TInputData d;
        d.SetRateType(1);
        d.SetSolidValue(0, 0, 0.5);
        const TCalcTotals t = Totals(c.plainFill, c.fill, {{c.cut, c.cut}});
        const TRateSimulation s = StartRateSimulation(d, t);
        EXPECT_FALSE(s.CutCorrection);
        EXPECT_DOUBLE_EQ(s.CurrentVolume, c.fill);
        EXPECT_DOUBLE_EQ(s.TargetVolume, c.cut);
        EXPECT_DOUBLE_EQ(s.CurrentRate, c.current) << c.plainFill;
        EXPECT_DOUBLE_EQ(s.AmendedRate, c.rate) << c.plainFill;
        EXPECT_DOUBLE_EQ(s.Rate[0], c.rate) << c.plainFill;
        d.SetPhase(2, true);
        ApplyRateSimulation(d, s);
        EXPECT_FALSE(d.GetPhase(2)) << "stored rates end the results of the old ones";
        EXPECT_DOUBLE_EQ(d.GetSolidValue(0, 0), c.rate);
        EXPECT_DOUBLE_EQ(d.GetSolidValue(1, 0), 0.9) << "layer rates stay";
    }
}

// Each mesh rounds its own corrected volume: four fills of 1 m³ at the rate 1.5 are 2 m³ each,
// 8 in all, where the plain total times the rate would say 6.
TEST(RateCalc, AmendedVolumeIsRoundedMeshByMesh) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(1);
    d.SetRateType(1);
    d.SetSolidValue(0, 0, 1.0);
    d.SetSolidValue(1, 0, 1.0);
    for (int x = 0; x < 4; ++x)
        AddPoint(d, x, 0, 1);
    AddPoint(d, 4, 6, 0);
    ASSERT_TRUE(d.Calcrate());
    const TRateSimulation s = StartRateSimulation(d, d.GetCalcTotals());
    EXPECT_DOUBLE_EQ(s.Rate[0], 1.5);
    EXPECT_DOUBLE_EQ(s.AmendedVolume, 8);
    EXPECT_TRUE(SameTotals(s.AmendedTotals, AppliedTotals(d, s)));
}

// On the sample, with each method, rounding and correction, for the opening amendment and
// for single layers: what the simulator shows is what applying and recalculating gives.
TEST(RateCalc, PreviewEqualsTheAppliedCalculationOnTheSample) {
    TInputData sample;
    sample.FileLoad(std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh");
    // As it opens: the product of the plain cut and the rates says 9,459; the meshes, each
    // rounded, give 9,456.
    const TRateSimulation opening = StartRateSimulation(sample, sample.GetCalcTotals());
    EXPECT_DOUBLE_EQ(opening.TargetVolume, 9448);
    EXPECT_DOUBLE_EQ(opening.AmendedVolume, 9456);
    EXPECT_DOUBLE_EQ(opening.AmendedRate, 0.269);
    struct Case {
        int calcType, roundType, rateType;
    } const cases[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 1, 0}, {2, 2, 0},
                       {0, 0, 1}, {1, 0, 1}, {2, 1, 1}, {1, 2, 1}};
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.calcType) + "/" + std::to_string(c.roundType) +
                                 "/" + std::to_string(c.rateType);
        TInputData d = sample;
        d.SetCalcType(c.calcType);
        d.SetRoundType(c.roundType);
        d.SetRateType(c.rateType);
        ASSERT_TRUE(d.Calcrate()) << name;
        const TCalcTotals sum = d.GetCalcTotals();
        TRateSimulation s = StartRateSimulation(d, sum);
        ASSERT_TRUE(s.Amended) << name;
        std::vector<TRateSimulation> tried{s};
        for (int layer = 0; c.rateType == 0 && layer < d.Layer(); ++layer) {
            TLayerSelection one{};
            one[layer] = true;
            if (RecalcCutAmendment(d, sum, one, s))
                tried.push_back(s);
        }
        for (const TRateSimulation& t : tried) {
            const TCalcTotals applied = AppliedTotals(d, t);
            EXPECT_TRUE(SameTotals(t.AmendedTotals, applied)) << name;
            EXPECT_DOUBLE_EQ(t.AmendedVolume, c.rateType == 1 ? applied.BV[1] : applied.CV[1][0])
                << name;
        }
    }
}

// The preview is worked out in the project and put back: its file image, records, totals,
// phases and date are as before, cancelled at any report or not, and its listener hears
// nothing.
TEST(RateCalc, PreviewLeavesTheProjectAsItWas) {
    TInputData d;
    d.FileLoad(std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh");
    d.SetCalcTime(12345);
    int heard = 0;
    d.SetOnPhaseChange([&](TInputData&, int, bool) { ++heard; });
    const std::string bytes = d.SaveToBytes();
    const std::vector<TGridCalcData> records = d.CalcList();
    const TCalcTotals totals = d.GetCalcTotals();
    const auto unchanged = [&]() {
        return d.SaveToBytes() == bytes && d.CalcList().size() == records.size() &&
               std::memcmp(d.CalcList().data(), records.data(),
                           records.size() * sizeof(TGridCalcData)) == 0 &&
               SameTotals(d.GetCalcTotals(), totals) && d.CalcTime() == 12345 && d.GetPhase(2);
    };
    ASSERT_FALSE(records.empty());
    const TRateSimulation s = StartRateSimulation(d, totals);
    EXPECT_NE(s.AmendedVolume, s.CurrentVolume);
    EXPECT_TRUE(unchanged());
    int cancels = 0;
    for (int reports = 0;; ++reports) {
        int heardReports = 0;
        try {
            StartRateSimulation(d, totals, [&](double) { return heardReports++ < reports; });
        } catch (const ECancelled&) {
            ++cancels;
            EXPECT_TRUE(unchanged()) << "cancelled at report " << reports;
            continue;
        }
        EXPECT_TRUE(unchanged());
        break;
    }
    EXPECT_GT(cancels, 0);
    EXPECT_EQ(heard, 0);
}
