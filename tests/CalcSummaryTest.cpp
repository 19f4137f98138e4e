#include "model/CalcSummary.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

TEST(CalcSummary, RowsFollowLayersTopsoilAndCorrection) {
    TInputData d;
    d.SetLayer(1);
    d.SetMeshSpan(10);
    TGridData g;
    g.GH = 15;
    g.FH = 10;
    d.SetMeshData(g);
    g = TGridData{};
    g.X = 1;
    g.GH = 0;
    g.FH = 12;
    d.SetMeshData(g);
    d.Calcrate(); // cut 500 (450 corrected), fill 1,200
    TCalcSummary s = BuildCalcSummary(d);
    ASSERT_EQ(s.Rows.size(), 5u);
    EXPECT_EQ(s.Rows[0], (TCalcSummary::TRow{"", "土　　量", "変化率", "補正土量"}));
    EXPECT_EQ(s.Rows[1], (TCalcSummary::TRow{"盛　土　量", "1,200", "", "1,200"}));
    EXPECT_EQ(s.Rows[2], (TCalcSummary::TRow{"切　土　量", "500", "", "450"}));
    EXPECT_EQ(s.Rows[3], (TCalcSummary::TRow{"　普通土", "500", "0.900", "450"}));
    EXPECT_EQ(s.Rows[4], (TCalcSummary::TRow{"不足土量", "", "", "750"}));
    EXPECT_EQ(s.TopsoilRow, -1);

    d.SetLayer(5);
    d.SetHyoudo(true);
    d.SetRateType(1);
    d.SetSolidValue(0, 0, 0.5);
    d.Calcrate(); // fill corrected to 600, cut 500
    s = BuildCalcSummary(d);
    ASSERT_EQ(s.Rows.size(), 10u);
    EXPECT_EQ(s.Rows[1][2], "0.500");
    EXPECT_EQ(s.Rows[3][2], "");
    EXPECT_EQ(s.Rows[8], (TCalcSummary::TRow{"不足土量", "", "", "100"}));
    EXPECT_EQ(s.Rows[9], (TCalcSummary::TRow{"表　土　量", "", "", "0"}));
    d.SetSolidValue(0, 0, 0.25);
    d.Calcrate(); // fill 300 against cut 500
    EXPECT_EQ(BuildCalcSummary(d).Rows[8], (TCalcSummary::TRow{"残土量", "", "", "200"}));
    d.SetSolidValue(0, 0, 5.0 / 12);
    d.Calcrate(); // fill 500 against cut 500: no surplus
    EXPECT_EQ(BuildCalcSummary(d).Rows[8], (TCalcSummary::TRow{"不足土量", "", "", "0"}));
}
