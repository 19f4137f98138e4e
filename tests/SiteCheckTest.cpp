#include "analysis/SiteCheck.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

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
        {"a corner has too few neighbours to be a spike; a point beside a NaN still is one",
         [&](TInputData&, TGridData& g) {
             if (At(g, 0, 0))
                 g.GH = 40;
             if (At(g, 2, 3))
                 g.FH = 30;
             if (At(g, 2, 2))
                 g.FH = nan;
         },
         {{TCheckKind::NonFinite, 2, 2, "計画高"}, {TCheckKind::Spike, 2, 3, "計画高"}}},
        {"two holes side by side are none: neither has four neighbours",
         [&](TInputData&, TGridData& g) {
             if (At(g, 1, 2) || At(g, 2, 2))
                 g.CSink = nan;
         },
         {}},
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

// The check and the calculation agree on which values that are no number matter and name them
// alike: every field of a point in turn, in both layer input modes, with the optional fields
// on and off.
TEST(SiteCheck, NonFiniteFieldsAreThoseTheCalculationRefuses) {
    for (int mode : {0, 1}) {
        for (bool options : {false, true}) {
            for (int k = 0; k < 9; ++k) {
                SCOPED_TRACE(StrFormat("mode %d, options %d, field %d", mode, options, k));
                const TInputData d = Site([&](TInputData& s, TGridData& g) {
                    s.SetSolidType(mode);
                    s.SetHyoudo(options);
                    s.SetFumikomi(options);
                    s.SetAtumitu(options);
                    double* const values[] = {&g.GH,       &g.FH,       &g.LAYER[0],
                                              &g.LAYER[1], &g.LAYER[2], &g.LAYER[3],
                                              &g.LAYER[4], &g.CSink,    &g.BSink};
                    if (At(g, 2, 2))
                        *values[k] = -std::numeric_limits<double>::infinity();
                });
                std::vector<std::string> named;
                for (const TCheckFinding& f : TSiteCheck().Run(d))
                    if (f.Kind == TCheckKind::NonFinite)
                        named.push_back(f.Field);
                std::string refused;
                TInputData calc = d;
                try {
                    calc.Calcrate();
                } catch (const EFailure& e) {
                    refused = e.what();
                }
                // Three layers: the values of layers 1 and 2 are used, those of 3 and 4 not.
                const bool used =
                    k == 0 || k == 1 || k == 3 || k == 4 || (options && k != 5 && k != 6);
                ASSERT_EQ(named.size(), used ? 1u : 0u);
                if (used)
                    EXPECT_NE(
                        refused.find("メッシュ (2, 2) の" + named[0] + "が数値ではありません。"),
                        std::string::npos)
                        << refused;
                else
                    EXPECT_EQ(refused, "");
            }
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
    big.SetMeshSpan(1000);
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

namespace {

// A random site of about W x H points at (X0, Y0) onwards, or far apart in two halves when
// Spread: gaps, holes, points sharing places, deleted points, spikes, NaNs and negative or
// disordered layers, so that every rule speaks somewhere.
TInputData RandomSite(std::mt19937& Random, int W, int H, int64_t X0, int64_t Y0, bool Spread) {
    std::uniform_real_distribution<double> unit(0, 1);
    TInputData d;
    d.SetLayer(3);
    if (unit(Random) < 0.3)
        d.SetSolidType(1);
    d.SetHyoudo(unit(Random) < 0.5);
    d.SetAtumitu(true);
    const bool elevations = d.SolidType() == 1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double r = unit(Random);
            if (r < 0.12)
                continue; // a gap, or a hole when its neighbours are there
            TGridData g;
            // Half the site a million meshes further on: no neighbours across the split.
            const int64_t far = Spread && x >= W / 2 ? 1'000'000'000 : 0;
            g.X = int32_t(X0 + x - far);
            g.Y = int32_t(Y0 + y - far / 2);
            g.GH = 10 + 0.1 * x + 0.05 * y + (unit(Random) < 0.04 ? 8 * (unit(Random) - 0.5) : 0);
            g.FH = 10.2 + (unit(Random) < 0.04 ? 30 : 0);
            if (unit(Random) < 0.02)
                g.GH = std::numeric_limits<double>::quiet_NaN();
            g.LAYER[0] = unit(Random) < 0.03 ? -0.1 : 0.2;
            g.LAYER[1] = elevations ? g.GH - 1 : 1;
            g.LAYER[2] = elevations ? g.GH - (unit(Random) < 0.05 ? 0.5 : 2) : 1;
            g.BSink = unit(Random) < 0.1 ? 0.5 : 0;
            d.SetMeshData(g);
            if (unit(Random) < 0.03) {
                TGridData again = g;
                again.Index = 0;
                again.GH += 1;
                d.SetMeshData(again);
            }
            if (unit(Random) < 0.03)
                d.DeleteMeshData(g.X, g.Y);
        }
    return d;
}

bool Same(const TCheckFinding& A, const TCheckFinding& B) {
    return A.Kind == B.Kind && A.Severity == B.Severity && A.X == B.X && A.Y == B.Y &&
           A.Field == B.Field && A.Message == B.Message;
}

} // namespace

// The table over the site's box and the sorted points find the same, in the same order, with
// one thread or several, wherever in the 32-bit range the site lies.
TEST(SiteCheck, DenseAndSparseIndexesAgreeOnRandomSites) {
    std::mt19937 random(19);
    using TIndex = TCheckRun::TIndex;
    const int64_t origins[][2] = {
        {0, 0}, {INT32_MIN, INT32_MIN}, {INT32_MAX - 20, INT32_MAX - 15}, {-7, INT32_MAX - 3}};
    int kinds[9] = {};
    for (int round = 0; round < 24; ++round) {
        const auto& o = origins[round % 4];
        const bool spread = round % 8 == 5;
        const TInputData d = RandomSite(random, 21 + round % 5, 16 + round % 3, o[0], o[1], spread);
        SCOPED_TRACE(testing::Message() << "round " << round);
        const std::vector<TCheckFinding> sparse = TSiteCheck().Run(d, {TIndex::Sparse, 1});
        for (const TCheckRun how : {TCheckRun{TIndex::Dense, 1}, TCheckRun{TIndex::Dense, 3},
                                    TCheckRun{TIndex::Sparse, 4}, TCheckRun{}}) {
            const std::vector<TCheckFinding> other = TSiteCheck().Run(d, how);
            ASSERT_EQ(other.size(), sparse.size()) << int(how.Index) << " " << how.Threads;
            for (size_t i = 0; i < other.size(); ++i)
                ASSERT_TRUE(Same(other[i], sparse[i]))
                    << int(how.Index) << " " << how.Threads << ": " << other[i].Message << " / "
                    << sparse[i].Message;
        }
        for (const TCheckFinding& f : sparse)
            ++kinds[int(f.Kind)];
    }
    // The sites gave every rule of the points something to find.
    for (TCheckKind k :
         {TCheckKind::Hole, TCheckKind::Duplicate, TCheckKind::NonFinite, TCheckKind::Negative,
          TCheckKind::LayerOrder, TCheckKind::Settlement, TCheckKind::Spike})
        EXPECT_GT(kinds[int(k)], 0) << TSiteCheck::KindName(k);
}

// A spacing that no calculation can use (a project file may hold one) is a serious finding of
// the whole site, listed first.
TEST(SiteCheck, UnusableSpacingIsFoundFirst) {
    TInputData ok;
    ok.SetLayer(1);
    TGridData g;
    g.GH = 5;
    g.FH = 5;
    ok.SetMeshData(g);
    std::string bytes = ok.SaveToBytes();
    const double twenty = 20.0, zero = 0.0;
    const size_t at = bytes.find(std::string(reinterpret_cast<const char*>(&twenty), 8));
    ASSERT_NE(at, std::string::npos);
    std::memcpy(&bytes[at], &zero, 8);
    TInputData d;
    d.LoadFromBytes(bytes);
    ASSERT_EQ(d.MeshSpan(), 0.0);
    const std::vector<TCheckFinding> found = TSiteCheck().Run(d);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].Kind, TCheckKind::MeshSpan);
    EXPECT_EQ(found[0].Severity, TCheckSeverity::Serious);
    EXPECT_STREQ(TSiteCheck::KindName(found[0].Kind), "mesh-span");
    EXPECT_EQ(found[0].Message.rfind("メッシュ間隔 0.00 m は使えません。", 0), 0u)
        << found[0].Message;
    EXPECT_TRUE(TSiteCheck().Run(ok).empty());
}
