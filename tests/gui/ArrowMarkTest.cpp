#include "controls/ArrowMark.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

std::vector<QPoint> Points(const QPolygon& p) {
    return std::vector<QPoint>(p.begin(), p.end());
}

} // namespace

TEST(ArrowMark, DefaultArrowIsDoubleHeadedVertical) {
    TArrowMark a;
    EXPECT_EQ(a.size(), QSize(100, 100));
    const std::vector<QPoint> expected = {{48, 10}, {45, 10}, {50, 0},  {54, 10}, {51, 10},
                                          {51, 89}, {54, 89}, {50, 99}, {45, 89}, {48, 89}};
    EXPECT_EQ(Points(a.Polygon()), expected);
}

TEST(ArrowMark, NavigationBendToTheRight) {
    // The open → calculate arrow of the navigation window.
    const std::vector<QPoint> expected = {{5, 0},    {5, 0},    {10, 0},   {14, 0},   {14, 0},
                                          {14, 113}, {17, 123}, {24, 130}, {34, 133}, {61, 133},
                                          {61, 128}, {81, 138}, {61, 147}, {61, 142}, {35, 142},
                                          {20, 138}, {9, 127},  {5, 112}};
    EXPECT_EQ(Points(TArrowMark::ArrowPolygon(ak_TopRight, ak_Single, 10, 20, 20, 25, 82, 149)),
              expected);
}

TEST(ArrowMark, TipsChooseTheEndsWithHeads) {
    // Tip and end point of each end: a head moves the neighbours L back from the end point,
    // a flat end keeps them on its line.
    struct Case {
        TArrowKind kind;
        TArrowTip tip;
        bool startHead, endHead;
    };
    const Case cases[] = {
        {ak_Virtical, ak_None, false, false},     {ak_Virtical, ak_Single, false, true},
        {ak_Virtical, ak_Reverse, true, false},   {ak_Virtical, ak_Double, true, true},
        {ak_Horizontal, ak_None, false, false},   {ak_Horizontal, ak_Single, false, true},
        {ak_Horizontal, ak_Reverse, true, false}, {ak_Horizontal, ak_Double, true, true},
    };
    for (const Case& c : cases) {
        const QPolygon p = TArrowMark::ArrowPolygon(c.kind, c.tip, 4, 10, 10, 0, 60, 40);
        ASSERT_EQ(p.size(), 10);
        const bool vertical = c.kind == ak_Virtical;
        auto along = [&](const QPoint& q) { return vertical ? q.y() : q.x(); };
        SCOPED_TRACE(testing::Message() << int(c.kind) << "/" << int(c.tip));
        EXPECT_EQ(along(p[2]), 0);
        EXPECT_EQ(along(p[7]), vertical ? 39 : 59);
        EXPECT_EQ(along(p[1]), c.startHead ? 10 : 0);
        EXPECT_EQ(along(p[6]), c.endHead ? (vertical ? 29 : 49) : (vertical ? 39 : 59));
        // A head is S wide, a flat end W wide.
        auto across = [&](const QPoint& q) { return vertical ? q.x() : q.y(); };
        EXPECT_EQ(std::abs(across(p[3]) - across(p[1])), c.startHead ? 9 : 3);
    }
}

TEST(ArrowMark, BendRadiiNeverNegative) {
    // C = 0: the inner corner is sharp (three equal points), the outer one has radius w2.
    const QPolygon sharp = TArrowMark::ArrowPolygon(ak_BottomRight, ak_None, 10, 20, 20, 0, 80, 80);
    ASSERT_EQ(sharp.size(), 18);
    EXPECT_EQ(sharp[14], sharp[15]);
    EXPECT_EQ(sharp[15], sharp[16]);
    EXPECT_EQ(sharp[16], sharp[17]);
    EXPECT_EQ(sharp[8].x() - sharp[5].x(), 5); // outer arc spans w2 across
    EXPECT_EQ(sharp[5].y() - sharp[8].y(), 5);
    // C smaller than w2: the inner radius is 0, not negative; the outer one w2 + C.
    const QPolygon small = TArrowMark::ArrowPolygon(ak_topLeft, ak_Double, 10, 20, 20, 2, 80, 80);
    EXPECT_EQ(small[14], small[17]);
    EXPECT_EQ(small[8].y() - small[5].y(), 7);
    EXPECT_EQ(small[5].x() - small[8].x(), 7);
}

TEST(ArrowMark, EveryBentKindStaysInsideTheControl) {
    for (TArrowKind kind : {ak_topLeft, ak_TopRight, ak_BottomLeft, ak_BottomRight}) {
        const QPolygon p = TArrowMark::ArrowPolygon(kind, ak_Double, 10, 20, 20, 25, 82, 149);
        SCOPED_TRACE(int(kind));
        EXPECT_TRUE(QRect(0, 0, 82, 149).contains(p.boundingRect()));
    }
}
