#include "analysis/CutFillMap.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

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
