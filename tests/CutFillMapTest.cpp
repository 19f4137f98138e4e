#include "analysis/CutFillMap.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A W x H site whose fill height is A + B x + C y.
TInputData Plane(int W, int H, double A, double B, double C) {
    TInputData d;
    d.SetLayer(1);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = 20;
            g.FH = 20 + A + B * x + C * y;
            d.SetMeshData(g);
        }
    return d;
}

} // namespace

TEST(CutFillMap, ZeroLineLiesOnThePlanesZero) {
    struct TRow {
        double A, B, C;
        double Length; // of the line within the 5 x 4 site, [0, 4] x [0, 3]
    };
    const TRow rows[] = {
        {-1.5, 1, 0, 3},               // x = 1.5
        {-2, 1, 0, 3},                 // x = 2, through the points: drawn once, not twice
        {-2.5, 0.5, 1, std::sqrt(20)}, // from (0, 2.5) to (4, 0.5)
        {-3.25, 1, 1, std::sqrt(18)},  // from (0.25, 3) to (3.25, 0)
        {5, 0, 0, 0},                  // all fill: no line
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE(testing::Message() << r.A << " + " << r.B << "x + " << r.C << "y");
        const TCutFillMap map(Plane(5, 4, r.A, r.B, r.C), TMapLayer::Height);
        const std::vector<TMapSegment> line = map.Contour(0);
        double length = 0;
        for (const TMapSegment& s : line) {
            length += std::hypot(s.X2 - s.X1, s.Y2 - s.Y1);
            EXPECT_NEAR(r.A + r.B * s.X1 + r.C * s.Y1, 0, 1e-9);
            EXPECT_NEAR(r.A + r.B * s.X2 + r.C * s.Y2, 0, 1e-9);
        }
        EXPECT_NEAR(length, r.Length, 1e-9);
    }
}

TEST(CutFillMap, HolesAreNotCrossedAndSaddlesSplit) {
    TInputData d = Plane(4, 3, -1.5, 1, 0);
    ASSERT_TRUE(d.DeleteMeshData(1, 1));
    const TCutFillMap map(d, TMapLayer::Height);
    // The line x = 1.5 crosses the cells of rows 0 and 1; both have (1, 1) as a corner.
    EXPECT_EQ(map.Contour(0).size(), 0u);
    double v = 0;
    EXPECT_FALSE(map.ValueAt(1, 1, v));
    EXPECT_TRUE(map.ValueAt(2, 1, v));
    EXPECT_DOUBLE_EQ(v, 0.5);

    // Cut at two opposite corners, fill at the others: two pieces, never crossing.
    TInputData saddle;
    saddle.SetLayer(1);
    const double heights[4][3] = {{0, 0, -1}, {1, 0, 1}, {0, 1, 1}, {1, 1, -1}};
    for (const auto& h : heights) {
        TGridData g;
        g.X = int(h[0]);
        g.Y = int(h[1]);
        g.FH = h[2];
        saddle.SetMeshData(g);
    }
    EXPECT_EQ(TCutFillMap(saddle, TMapLayer::Height).Contour(0).size(), 2u);
}

TEST(CutFillMap, BreaksAreRoundAndSymmetric) {
    // Fill heights 0 .. 9.5 on a 20 x 1 site; the 98th percentile is 9.5.
    const TCutFillMap map(Plane(20, 1, 0, 0.5, 0), TMapLayer::Height);
    const std::vector<double> breaks = map.Breaks(5);
    EXPECT_EQ(breaks, (std::vector<double>{-10, -8, -6, -4, -2, 2, 4, 6, 8, 10}));
    EXPECT_EQ(TCutFillMap::ClassOf(0, breaks), 5);
    EXPECT_EQ(TCutFillMap::ClassOf(-2, breaks), 5);
    EXPECT_EQ(TCutFillMap::ClassOf(2, breaks), 6);
    EXPECT_EQ(TCutFillMap::ClassOf(-1e9, breaks), 0);
    EXPECT_EQ(TCutFillMap::ClassOf(1e9, breaks), 10);
    EXPECT_EQ(map.Contours(2).size(), 4u); // 2, 4, 6, 8 (zero excluded)
    EXPECT_TRUE(map.Contours(0).empty());
    EXPECT_TRUE(map.Contours(1e-9).empty()); // too many levels
}

TEST(CutFillMap, VolumeLayerNeedsResultsAndSitsBetweenPoints) {
    TInputData d = Plane(3, 3, -1, 1, 0);
    EXPECT_TRUE(TCutFillMap(d, TMapLayer::Volume).Empty());
    d.SetMeshSpan(10);
    d.SetCalcType(1);
    d.Calcrate();
    const TCutFillMap map(d, TMapLayer::Volume);
    ASSERT_FALSE(map.Empty());
    EXPECT_EQ(map.CellOffset(), 0.5);
    double v = 0;
    ASSERT_TRUE(map.ValueAt(1, 0, v)); // cell (1, 0): corners 0, 1, 0, 1 m of fill
    EXPECT_EQ(v, 50);
}

// The contours of every level in one pass are those of each level alone, and points at the ends
// of the 32-bit range are found by their place and make no cells past it.
TEST(CutFillMap, ContoursInOnePassAndPlacesAtTheRangesEnds) {
    TInputData d;
    d.SetLayer(1);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 15; ++x) {
            if ((x * 7 + y * 3) % 11 == 0)
                continue; // gaps: cells without four corners
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 3 * std::sin(x * 0.7) + 2 * std::cos(y * 0.5) + (x == 6 && y == 6 ? 0.5 : 0);
            d.SetMeshData(g);
        }
    const TCutFillMap map(d, TMapLayer::Height);
    const auto levels = map.Contours(0.5);
    ASSERT_FALSE(levels.empty());
    size_t pieces = 0;
    for (const auto& [level, line] : levels) {
        const std::vector<TMapSegment> alone = map.Contour(level);
        ASSERT_EQ(line.size(), alone.size()) << level;
        for (size_t i = 0; i < line.size(); ++i)
            EXPECT_TRUE(line[i].X1 == alone[i].X1 && line[i].Y1 == alone[i].Y1 &&
                        line[i].X2 == alone[i].X2 && line[i].Y2 == alone[i].Y2)
                << level << " piece " << i;
        pieces += line.size();
    }
    EXPECT_GT(pieces, 50u);

    TInputData edge;
    edge.SetLayer(1);
    for (int64_t y : {int64_t(INT32_MAX) - 1, int64_t(INT32_MAX)})
        for (int64_t x : {int64_t(INT32_MIN), int64_t(INT32_MIN) + 1, int64_t(INT32_MAX)}) {
            TGridData g;
            g.X = int32_t(x);
            g.Y = int32_t(y);
            g.FH = x > 0 ? 1 : -1;
            edge.SetMeshData(g);
        }
    const TCutFillMap far(edge, TMapLayer::Height);
    EXPECT_EQ(far.Points().size(), 6u);
    double v = 0;
    EXPECT_TRUE(far.ValueAt(INT32_MAX, INT32_MAX, v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(far.ValueAt(INT32_MIN, INT32_MAX - 1, v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(far.ValueAt(int64_t(INT32_MAX) + 1, INT32_MAX, v));
    EXPECT_FALSE(far.ValueAt(INT32_MIN, int64_t(INT32_MIN) - 1, v));
    EXPECT_EQ(far.IndexAt(0, INT32_MAX), -1);
    EXPECT_EQ(far.LowerBound(int64_t(INT32_MAX) + 5, INT32_MAX), far.Points().size());
    EXPECT_EQ(far.LowerBound(int64_t(INT32_MIN) - 5, INT32_MAX), 3u);
    // One cell, between the first two columns; nothing wraps round from X = INT32_MAX.
    EXPECT_EQ(far.Contour(0.5).size(), 0u);
    EXPECT_EQ(far.Contour(-0.5).size(), 0u);
}

namespace {

bool IsRound(double V) {
    const double p = std::pow(10.0, std::floor(std::log10(V)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (std::fabs(V - m * p) <= 1e-9 * V)
            return true;
    return false;
}

} // namespace

// Each layer's interval comes from its own values: a round step giving at most 20 lines, most
// ranges 10 to 20, however small or large the values.
TEST(CutFillMap, DefaultIntervalIsRoundAndGivesTenToTwentyLines) {
    struct TRow {
        int W;
        double A, B; // values A, A + B, ... A + (W - 1) B
        double Interval;
    };
    const TRow rows[] = {
        {20, 0, 0.5, 0.5},          // 0 .. 9.5 m
        {10, -0.04, 0.01, 0.005},   // a flat site: -4 .. 5 cm
        {20, -800, 100, 100},       // volumes: -800 .. 1,100 m³
        {11, -37, 7.3, 5},          // -37 .. 36
        {11, 0, 0.00001, 0.001},    // a tenth of a millimetre: not below a millimetre
        {11, -1e308, 2e307, 1e307}, // a range beyond the doubles
        {5, 3, 0, 1},               // one value: the layer's usual step
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE(testing::Message() << r.A << " + " << r.B << " x");
        const TCutFillMap map(Plane(r.W, 1, r.A, r.B, 0), TMapLayer::Height);
        const double interval = map.DefaultInterval();
        EXPECT_NEAR(interval, r.Interval, r.Interval * 1e-9);
        EXPECT_TRUE(IsRound(interval)) << interval;
        EXPECT_LE(map.LevelCount(interval), 20);
        if (r.B * (r.W - 1) >= 0.02) {
            EXPECT_GE(map.LevelCount(interval), 8);
        }
    }
}

// An interval that would draw more than the most lines allowed is replaced by the finest round
// interval at and above which every interval fits, and the plan says so; one that draws no line
// says that too.
TEST(CutFillMap, TooFineIntervalsAreReplacedAndSaid) {
    const TCutFillMap map(Plane(20, 1, 0, 0.5, 0), TMapLayer::Height); // 0 .. 9.5 m
    const TContourPlan fine = map.PlanContours(0.01);
    EXPECT_TRUE(fine.TooFine);
    EXPECT_TRUE(fine.Warning);
    EXPECT_EQ(fine.Interval, 0.05);
    EXPECT_EQ(fine.Levels, 190);
    EXPECT_EQ(fine.Message, "等高線の間隔 0.01 m は細かすぎます（200 本を超えます）。0.05 m "
                            "以上を指定してください。いまは 0.05 m 間隔で描いています。");
    EXPECT_EQ(map.Contours(fine.Interval).size(), 190u);
    for (double above : {0.05, 0.0501, 0.0599, 0.07, 1.0})
        EXPECT_LE(map.LevelCount(above), TCutFillMap::kMaxContourLevels) << above;
    // Fewer lines allowed, a coarser interval; a tiny interval saturates, never overflows.
    EXPECT_EQ(map.PlanContours(0.01, 10).Interval, 2);
    const TContourPlan tiny = map.PlanContours(1e-300);
    EXPECT_TRUE(tiny.TooFine);
    EXPECT_EQ(tiny.Interval, 0.05);

    const TContourPlan fits = map.PlanContours(0.5);
    EXPECT_FALSE(fits.Warning);
    EXPECT_FALSE(fits.TooFine);
    EXPECT_EQ(fits.Interval, 0.5);
    EXPECT_EQ(fits.Levels, 19); // 0.5 .. 9.5; zero is the boundary
    EXPECT_EQ(fits.Message, "等高線: 0.5 m 間隔、19 本");

    const TContourPlan coarse = map.PlanContours(20);
    EXPECT_TRUE(coarse.Warning);
    EXPECT_EQ(coarse.Levels, 0);
    EXPECT_EQ(coarse.Message, "等高線の間隔 20 m では線がありません（値は 0.00 〜 9.50 m）。");
    for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        const TContourPlan none = map.PlanContours(bad);
        EXPECT_EQ(none.Interval, 0);
        EXPECT_TRUE(none.Warning);
        EXPECT_FALSE(none.Message.empty());
    }
    EXPECT_TRUE(TCutFillMap().PlanContours(1).Warning); // no value at all

    // Volumes: thousands separated, the unit m³.
    TInputData d = Plane(3, 3, -1, 1, 0);
    d.SetMeshSpan(10);
    d.SetCalcType(1);
    d.Calcrate();
    const TCutFillMap volume(d, TMapLayer::Volume);
    EXPECT_EQ(volume.IntervalText(1000), "1,000 m³");
    EXPECT_EQ(volume.LevelText(-2500, 500), "-2,500");
    EXPECT_EQ(map.LevelText(1.5, 0.25), "1.50");
    EXPECT_EQ(map.IntervalText(0.005), "0.005 m");
}

// The pieces join into whole lines: each ring round a cone closes on itself, each line across a
// tilted plane runs from edge to edge; and their labels lie on them, upright, apart, and only
// where there is room.
TEST(CutFillMap, ContoursJoinIntoLinesAndLabelsSitOnThem) {
    TInputData cone;
    cone.SetLayer(1);
    for (int y = 0; y <= 40; ++y)
        for (int x = 0; x <= 40; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = std::hypot(x - 20.0, y - 20.0);
            cone.SetMeshData(g);
        }
    const TCutFillMap rings(cone, TMapLayer::Height);
    const TContourLevels levels = rings.Contours(3); // radii 3 .. 27; 21 and up leave the site
    const std::vector<TContourLine> lines = TCutFillMap::ChainContours(levels);
    size_t points = 0, pieces = 0;
    for (const auto& level : levels)
        for (const TMapSegment& s : level.second)
            pieces += s.X1 != s.X2 || s.Y1 != s.Y2; // a ring through a point leaves a dot
    for (const TContourLine& line : lines) {
        SCOPED_TRACE(line.Level);
        if (line.Level < 20) {
            EXPECT_TRUE(line.Closed());
            EXPECT_NEAR(line.Length(), 2 * M_PI * line.Level, 0.05 * line.Length());
        } else {
            EXPECT_FALSE(line.Closed());
        }
        points += line.Points.size() - 1;
    }
    EXPECT_EQ(points, pieces); // every piece with a length, once
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const TContourLine& L) { return L.Level < 20; }),
              6); // one ring a level: 3, 6, .. 18

    // A tilted plane: lines x + y / 2 = level, 0.89 meshes apart, closer than a label is high.
    const TCutFillMap tilted(Plane(30, 30, 0, 1, 0.5), TMapLayer::Height);
    const std::vector<TContourLine> straight = TCutFillMap::ChainContours(tilted.Contours(1));
    ASSERT_EQ(straight.size(), 43u); // 1 .. 43
    for (const TContourLine& line : straight) {
        EXPECT_FALSE(line.Closed());
        for (const TMapVertex& p : line.Points)
            EXPECT_NEAR(p.X + 0.5 * p.Y, line.Level, 1e-9);
    }
    TContourLabelRule rule;
    rule.Height = 1;
    rule.Spacing = 10;
    rule.Width = [](double Level) { return Level < 10 ? 2.5 : 3.0; };
    const std::vector<TContourLabel> labels = TCutFillMap::PlaceLabels(straight, rule);
    ASSERT_GT(labels.size(), 20u);
    for (size_t i = 0; i < labels.size(); ++i) {
        const TContourLabel& l = labels[i];
        EXPECT_NEAR(l.X + 0.5 * l.Y, l.Level, 1e-9);
        EXPECT_EQ(straight[l.Line].Level, l.Level);
        EXPECT_TRUE(l.DX > 0 || (l.DX == 0 && l.DY > 0)) << l.DX << ", " << l.DY;
        EXPECT_NEAR(std::hypot(l.DX, l.DY), 1, 1e-9);
        // The lines are parallel: two boxes are apart along the lines or across them.
        for (size_t j = 0; j < i; ++j) {
            const TContourLabel& m = labels[j];
            const double dx = l.X - m.X, dy = l.Y - m.Y;
            const double along = std::fabs(dx * l.DX + dy * l.DY);
            const double across = std::fabs(-dx * l.DY + dy * l.DX);
            EXPECT_TRUE(along >= (rule.Width(l.Level) + rule.Width(m.Level)) / 2 ||
                        across >= rule.Height)
                << i << " over " << j;
        }
    }
    // Neighbours' labels give way, so not every line has its labels; a line shorter than one and
    // a half labels has none.
    std::vector<int> per(straight.size());
    for (const TContourLabel& l : labels)
        ++per[l.Line];
    EXPECT_EQ(per.front(), 0); // 1: 2.2 meshes long, under one and a half labels
    EXPECT_LT(labels.size(), [&] {
        size_t room = 0;
        for (const TContourLine& line : straight)
            room += line.Length() >= 1.5 * rule.Width(line.Level)
                        ? size_t(std::max(1.0, std::floor(line.Length() / rule.Spacing)))
                        : 0;
        return room;
    }());

    // Only in the box asked for.
    rule.MinX = 10;
    rule.MaxX = 20;
    rule.MinY = 0;
    rule.MaxY = 10;
    const std::vector<TContourLabel> inBox = TCutFillMap::PlaceLabels(straight, rule);
    ASSERT_FALSE(inBox.empty());
    for (const TContourLabel& l : inBox)
        EXPECT_TRUE(l.X >= 10 && l.X <= 20 && l.Y >= 0 && l.Y <= 10) << l.X << ", " << l.Y;
}
