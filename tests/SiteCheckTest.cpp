#include "analysis/SiteCheck.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// A flat 5 x 5 site, ground 10 m, plan 10.5 m, two layers of 1 m; Change alters it.
TInputData Site(const std::function<void(TInputData&, TGridData&)>& Change) {
    TInputData d;
    d.SetLayer(3);
    d.SetMeshSpan(10);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = 10 + 0.3 * x - 0.2 * y; // a plain slope is no spike
            g.FH = 10.5;
            g.LAYER[0] = 0.2;
            g.LAYER[1] = 1;
            g.LAYER[2] = 1;
            Change(d, g);
            if (!std::isnan(g.CSink)) // NaN settlement: the point is left out
                d.SetMeshData(g);
        }
    return d;
}

struct TExpected {
    TCheckKind Kind;
    int32_t X, Y;
    const char* Field;
};

struct TCase {
    const char* Name;
    std::function<void(TInputData&, TGridData&)> Change;
    std::vector<TExpected> Findings;
};

bool At(const TGridData& G, int X, int Y) {
    return G.X == X && G.Y == Y;
}

} // namespace

TEST(SiteCheck, FindingsOfSmallSites) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TCase cases[] = {
        {"clean", [](TInputData&, TGridData&) {}, {}},
        {"hole inside, gaps at the edge are none",
         [&](TInputData&, TGridData& g) {
             if (At(g, 2, 2) || At(g, 0, 3) || At(g, 4, 4))
                 g.CSink = nan;
         },
         {{TCheckKind::Hole, 2, 2, ""}}},
        {"non-finite ground",
         [&](TInputData&, TGridData& g) {
             if (At(g, 3, 1))
                 g.GH = std::numeric_limits<double>::infinity();
         },
         {{TCheckKind::NonFinite, 3, 1, "地盤高"}}},
        {"implausible plan at a corner",
         [](TInputData&, TGridData& g) {
             if (At(g, 0, 0))
                 g.FH = 5000;
         },
         {{TCheckKind::Implausible, 0, 0, "計画高"}}},
        {"spike in the ground",
         [](TInputData&, TGridData& g) {
             if (At(g, 2, 2))
                 g.GH = 25;
         },
         {{TCheckKind::Spike, 2, 2, "地盤高"}}},
        {"negative topsoil and thickness",
         [](TInputData& d, TGridData& g) {
             d.SetHyoudo(true);
             if (At(g, 1, 3)) {
                 g.LAYER[0] = -0.1;
                 g.LAYER[2] = -1;
             }
         },
         {{TCheckKind::Negative, 1, 3, "表土厚"}, {TCheckKind::Negative, 1, 3, "２層厚"}}},
        {"layer top above the one over it",
         [](TInputData& d, TGridData& g) {
             d.SetSolidType(1);
             g.LAYER[1] = 8;
             g.LAYER[2] = At(g, 4, 0) ? 9 : 7;
         },
         {{TCheckKind::LayerOrder, 4, 0, "３層標高"}}},
        {"settlement larger than its fill",
         [](TInputData& d, TGridData& g) {
             d.SetAtumitu(true);
             g.GH = 10;
             if (At(g, 1, 1))
                 g.BSink = 0.6; // fill 0.5 m
             if (At(g, 2, 1))
                 g.BSink = 0.5;
         },
         {{TCheckKind::Settlement, 1, 1, "圧密沈下"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TInputData d = Site(c.Change);
        const std::vector<TCheckFinding> found = TSiteCheck().Run(d);
        ASSERT_EQ(found.size(), c.Findings.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].Kind, c.Findings[i].Kind);
            EXPECT_EQ(found[i].X, c.Findings[i].X);
            EXPECT_EQ(found[i].Y, c.Findings[i].Y);
            EXPECT_EQ(found[i].Field, c.Findings[i].Field);
            EXPECT_EQ(
                found[i].Message.rfind(StrFormat("メッシュ (%d, %d) ", found[i].X, found[i].Y), 0),
                0u)
                << found[i].Message;
        }
    }
}

TEST(SiteCheck, SharedMeshNumbersAndSaturatedVolumes) {
    TInputData d = Site([](TInputData&, TGridData&) {});
    TGridData again;
    again.X = 4;
    again.Y = 4;
    again.GH = 10;
    again.FH = 10;
    d.SetMeshData(again);
    std::vector<TCheckFinding> found = TSiteCheck().Run(d);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Kind, TCheckKind::Duplicate);
    EXPECT_EQ(found[0].Severity, TCheckSeverity::Serious);

    // A mesh of 100 km with 4 km of cut holds more cubic metres than its field.
    TInputData big;
    big.SetLayer(1);
    big.SetMeshSpan(100000);
    TGridData g;
    g.GH = 4000;
    g.FH = 0;
    big.SetMeshData(g);
    big.Calcrate();
    found = TSiteCheck().Run(big);
    ASSERT_EQ(TSiteCheck::SeriousCount(found), 1);
    EXPECT_EQ(found[0].Kind, TCheckKind::Saturated);
    EXPECT_STREQ(TSiteCheck::KindName(found[0].Kind), "saturated");
}
