#include "AnalysisSites.h"

#include "analysis/EarthAllocation.h"
#include "model/DataUnit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace analysis_test;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TAllocEnd End(double X, double Y, int64_t V) {
    TAllocEnd e;
    e.X = X;
    e.Y = Y;
    e.Volume = V;
    return e;
}

TAllocPlace Place(TAllocPlaceKind Kind, double X, double Y, double Cap, double Extra = 0) {
    TAllocPlace p;
    p.Kind = Kind;
    p.X = X;
    p.Y = Y;
    p.Capacity = Cap;
    p.Extra = Extra;
    return p;
}

// Every cut placed, every fill served, no place over its capacity, totals as the flows say.
void ExpectConserved(const TAllocation& A, const TAllocOptions& O) {
    ASSERT_TRUE(A.Solved) << A.Message;
    std::vector<int64_t> out(A.Sources.size()), in(A.Sinks.size());
    int64_t total = 0, borrow = 0, spoil = 0;
    long double moment = 0;
    for (const TAllocFlow& f : A.Flows) {
        EXPECT_GT(f.Volume, 0);
        out[f.From] += f.Volume;
        in[f.To] += f.Volume;
        total += f.Volume;
        moment += static_cast<long double>(f.Volume) * f.Distance;
        const bool fromPlace = A.Sources[f.From].Kind == TAllocEndKind::Borrow;
        const bool toPlace = A.Sinks[f.To].Kind == TAllocEndKind::Spoil;
        EXPECT_FALSE(fromPlace && toPlace);
        borrow += fromPlace ? f.Volume : 0;
        spoil += toPlace ? f.Volume : 0;
    }
    for (size_t i = 0; i < A.Sources.size(); ++i)
        EXPECT_EQ(out[i], A.Sources[i].Volume) << A.Sources[i].Name;
    for (size_t j = 0; j < A.Sinks.size(); ++j)
        EXPECT_EQ(in[j], A.Sinks[j].Volume) << A.Sinks[j].Name;
    int b = 0, s = 0;
    for (const TAllocPlace& p : O.Places) {
        const bool isBorrow = p.Kind == TAllocPlaceKind::Borrow;
        const std::string name =
            (isBorrow ? "土取場" : "土捨場") + std::to_string(isBorrow ? ++b : ++s);
        for (const auto* ends : {&A.Sources, &A.Sinks})
            for (const TAllocEnd& e : *ends)
                if (e.Name == name) {
                    EXPECT_LE(static_cast<double>(e.Volume), p.Capacity) << name;
                }
    }
    EXPECT_EQ(A.TotalVolume, total);
    EXPECT_EQ(A.FromBorrow, borrow);
    EXPECT_EQ(A.ToSpoil, spoil);
    EXPECT_EQ(A.ToSpoil - A.FromBorrow, A.CutVolume - A.FillVolume);
    EXPECT_NEAR(A.TotalMoment, static_cast<double>(moment), 1e-6 * (1 + A.TotalMoment));
}

// The least Σ m³·m by trying every whole-m³ plan, with the solver's rules: cut to fill always,
// cut to spoil only with a surplus, borrow to fill only with a shortage.
double EnumeratedOptimum(const std::vector<TAllocEnd>& Cuts, const std::vector<TAllocEnd>& Fills,
                         const TAllocOptions& O) {
    int64_t c = 0, f = 0;
    for (const auto& e : Cuts)
        c += e.Volume;
    for (const auto& e : Fills)
        f += e.Volume;
    struct TNode {
        TAllocEnd End;
        int64_t Left;
        bool Exact;
        double Extra;
    };
    std::vector<TNode> rows, cols;
    for (const auto& e : Cuts)
        rows.push_back({e, e.Volume, true, 0});
    for (const auto& e : Fills)
        cols.push_back({e, e.Volume, true, 0});
    for (const TAllocPlace& p : O.Places) {
        const TAllocEnd e = End(p.X, p.Y, 0);
        const int64_t cap = p.Capacity == kInf ? 1000 : static_cast<int64_t>(p.Capacity);
        if (p.Kind == TAllocPlaceKind::Borrow && f > c)
            rows.push_back({e, cap, false, p.Extra});
        if (p.Kind == TAllocPlaceKind::Spoil && c > f)
            cols.push_back({e, cap, false, p.Extra});
    }
    double best = kInf;
    std::function<void(size_t, size_t, double)> walk = [&](size_t i, size_t j, double cost) {
        if (i == rows.size()) {
            for (const auto& n : cols)
                if (n.Exact && n.Left != 0)
                    return;
            best = std::min(best, cost);
            return;
        }
        if (j == cols.size()) {
            if (!rows[i].Exact || rows[i].Left == 0)
                walk(i + 1, 0, cost);
            return;
        }
        if (!rows[i].Exact && !cols[j].Exact)
            return walk(i, j + 1, cost);
        const double dx = rows[i].End.X - cols[j].End.X, dy = rows[i].End.Y - cols[j].End.Y;
        const double d = (O.Manhattan ? std::abs(dx) + std::abs(dy) : std::hypot(dx, dy)) +
                         rows[i].Extra + cols[j].Extra;
        const int64_t most = std::min(rows[i].Left, cols[j].Left);
        for (int64_t v = 0; v <= most; ++v) {
            rows[i].Left -= v;
            cols[j].Left -= v;
            walk(i, j + 1, cost + static_cast<double>(v) * d);
            rows[i].Left += v;
            cols[j].Left += v;
        }
    };
    walk(0, 0, 0.0);
    return best;
}

} // namespace

// Hand-worked plans: nearest pairs, crossing hauls untangled, a cheap small spoil site filled
// before a far one, a borrow pit's extra distance, the Manhattan distance and non-integer
// distances.
TEST(EarthAllocation, HandWorkedOptima) {
    using K = TAllocPlaceKind;
    struct TCase {
        const char* Name;
        std::vector<TAllocEnd> Cuts, Fills;
        std::vector<TAllocPlace> Places;
        bool Manhattan;
        double Moment;
        int64_t Spoil, Borrow;
    } cases[] = {
        {"nearest",
         {End(0, 0, 10), End(10, 0, 10)},
         {End(1, 0, 10), End(11, 0, 10)},
         {},
         false,
         20,
         0,
         0},
        {"crossing",
         {End(0, 0, 5), End(100, 0, 5)},
         {End(90, 0, 5), End(10, 0, 5)},
         {},
         false,
         100,
         0,
         0},
        {"spoil capacity",
         {End(0, 0, 10)},
         {},
         {Place(K::Spoil, 50, 0, 5), Place(K::Spoil, 10, 0, kInf, 100)},
         false,
         5 * 50 + 5 * 110,
         10,
         0},
        {"borrow extra",
         {End(0, 0, 4)},
         {End(0, 10, 10)},
         {Place(K::Borrow, 0, 0, kInf, 30), Place(K::Borrow, 0, 100, kInf)},
         false,
         4 * 10 + 6 * 40,
         0,
         6},
        {"manhattan", {End(0, 0, 3)}, {End(3, 4, 3)}, {}, true, 21, 0, 0},
        {"diagonal", {End(0, 0, 7)}, {End(1, 1, 7)}, {}, false, 7 * std::sqrt(2.0), 0, 0},
    };
    for (const TCase& c : cases) {
        TAllocOptions o;
        o.Places = c.Places;
        o.Manhattan = c.Manhattan;
        const TAllocation a = AllocateEnds(c.Cuts, c.Fills, o);
        ExpectConserved(a, o);
        EXPECT_NEAR(a.TotalMoment, c.Moment, 1e-9) << c.Name;
        EXPECT_EQ(a.ToSpoil, c.Spoil) << c.Name;
        EXPECT_EQ(a.FromBorrow, c.Borrow) << c.Name;
    }
}

// Random small problems against every whole-m³ plan: the solver's Σ m³·m is the least one,
// to within the rounding of distances to its cost unit.
TEST(EarthAllocation, MatchesEnumeration) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-50, 50);
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<TAllocEnd> cuts, fills;
        const int nc = 1 + int(rng() % 3), nf = 1 + int(rng() % 3);
        for (int i = 0; i < nc; ++i)
            cuts.push_back(End(pos(rng), pos(rng), 1 + int64_t(rng() % 4)));
        for (int j = 0; j < nf; ++j)
            fills.push_back(End(pos(rng), pos(rng), 1 + int64_t(rng() % 4)));
        TAllocOptions o;
        o.Manhattan = trial % 2;
        o.Places = {Place(TAllocPlaceKind::Spoil, pos(rng), pos(rng), 3, rng() % 20),
                    Place(TAllocPlaceKind::Spoil, pos(rng), pos(rng), kInf, rng() % 20),
                    Place(TAllocPlaceKind::Borrow, pos(rng), pos(rng), 2, rng() % 20),
                    Place(TAllocPlaceKind::Borrow, pos(rng), pos(rng), kInf, rng() % 20)};
        const TAllocation a = AllocateEnds(cuts, fills, o);
        ExpectConserved(a, o);
        const double best = EnumeratedOptimum(cuts, fills, o);
        EXPECT_GE(a.TotalMoment, best - 1e-9) << "trial " << trial;
        EXPECT_LE(a.TotalMoment, best + double(a.TotalVolume) / a.CostScale) << "trial " << trial;
    }
}

// Calculated sites: conserved in meshes and in blocks, blocks keep the volumes and their
// weighted centroids, and the same project gives the same plan every time, even with ties.
TEST(EarthAllocation, SitesConservedAndRepeatable) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        TInputData d = GeneratedSite({seed, int(seed % 3), 0, int(seed % 2), 0.0, 8});
        d.Calcrate();
        TAllocOptions o;
        o.Places = {Place(TAllocPlaceKind::Spoil, -100, 0, kInf, 50),
                    Place(TAllocPlaceKind::Borrow, 300, 300, kInf, 0)};
        for (int k : {1, 2, 3, 0}) {
            o.Block = k;
            o.Manhattan = k == 2;
            const TAllocation a = AllocateEarth(d, o);
            ExpectConserved(a, o);
            EXPECT_EQ(a.CutVolume, d.GetCalcTotals().CV[1][0]);
            EXPECT_EQ(a.FillVolume, d.GetCalcTotals().BV[1]);
            const TAllocation again = AllocateEarth(d, o);
            ASSERT_EQ(a.Flows.size(), again.Flows.size());
            for (size_t i = 0; i < a.Flows.size(); ++i) {
                EXPECT_EQ(a.Flows[i].From, again.Flows[i].From);
                EXPECT_EQ(a.Flows[i].To, again.Flows[i].To);
                EXPECT_EQ(a.Flows[i].Volume, again.Flows[i].Volume);
            }
        }
    }
    // A square of equal ends: many plans tie; the same one is given each time.
    std::vector<TAllocEnd> cuts{End(0, 0, 5), End(10, 10, 5)}, fills{End(10, 0, 5), End(0, 10, 5)};
    const TAllocation first = AllocateEnds(cuts, fills, {});
    for (int i = 0; i < 3; ++i) {
        const TAllocation a = AllocateEnds(cuts, fills, {});
        ASSERT_EQ(a.Flows.size(), first.Flows.size());
        for (size_t k = 0; k < a.Flows.size(); ++k)
            EXPECT_EQ(a.Flows[k].Volume, first.Flows[k].Volume);
    }
}

TEST(EarthAllocation, BlocksWeightCentroids) {
    TInputData d = GeneratedSite({3, 0, 0, 0, -1.0, 8});
    d.Calcrate();
    std::vector<TAllocEnd> meshes, meshFills, one, oneFill;
    AllocEndsOf(d, 1, meshes, meshFills);
    AllocEndsOf(d, 1000, one, oneFill);
    ASSERT_EQ(one.size(), 1u);
    int64_t v = 0;
    long double x = 0, y = 0;
    for (const TAllocEnd& e : meshes) {
        EXPECT_EQ(e.Kind, TAllocEndKind::Mesh);
        v += e.Volume;
        x += static_cast<long double>(e.Volume) * e.X;
        y += static_cast<long double>(e.Volume) * e.Y;
    }
    EXPECT_EQ(one[0].Kind, TAllocEndKind::Block);
    EXPECT_EQ(one[0].Volume, v);
    EXPECT_NEAR(one[0].X, static_cast<double>(x / v), 1e-9);
    EXPECT_NEAR(one[0].Y, static_cast<double>(y / v), 1e-9);
    EXPECT_EQ(AutoBlockSize(d), 1); // a small site is allocated mesh by mesh
}

// Bad options and balances that the places cannot close: a message, and no plan.
TEST(EarthAllocation, RefusesWithMessage) {
    using K = TAllocPlaceKind;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        std::vector<TAllocEnd> Cuts, Fills;
        std::vector<TAllocPlace> Places;
        int Block;
        const char* Message;
    } cases[] = {
        {{End(0, 0, 5)}, {}, {Place(K::Spoil, 0, 0, -1)}, 1, "土捨場1 の容量"},
        {{End(0, 0, 5)}, {}, {Place(K::Spoil, 0, 0, nan)}, 1, "土捨場1 の容量"},
        {{End(0, 0, 5)}, {}, {Place(K::Spoil, 0, 0, -kInf)}, 1, "土捨場1 の容量"},
        {{}, {End(0, 0, 5)}, {Place(K::Borrow, kInf, 0, 9)}, 1, "土取場1 の位置"},
        {{}, {End(0, 0, 5)}, {Place(K::Borrow, 0, nan, 9)}, 1, "土取場1 の位置"},
        {{}, {End(0, 0, 5)}, {Place(K::Borrow, 0, 0, 9, -1)}, 1, "土取場1 の場外距離"},
        {{}, {End(0, 0, 5)}, {Place(K::Borrow, 0, 0, 9, kInf)}, 1, "土取場1 の場外距離"},
        {{End(0, 0, 5)}, {}, {}, -1, "ブロックの大きさ"},
        {{End(0, 0, 5)}, {End(1, 0, 2)}, {}, 1, "残土 3 m³ の行き先がありません"},
        {{End(0, 0, 5)},
         {End(1, 0, 2)},
         {Place(K::Spoil, 0, 0, 2.9)},
         1,
         "土捨場の容量（計 2 m³）"},
        {{End(0, 0, 1)}, {End(1, 0, 2)}, {}, 1, "不足土 1 m³ の入手先がありません"},
        {{End(0, 0, 1)},
         {End(1, 0, 9)},
         {Place(K::Borrow, 0, 0, 3), Place(K::Borrow, 0, 0, 4)},
         1,
         "土取場の容量（計 7 m³）が不足土 8 m³"},
        {{End(0, 0, 1)}, {End(1e12, 0, 1)}, {}, 1, "距離が大きすぎます"},
    };
    for (const TCase& c : cases) {
        TAllocOptions o;
        o.Places = c.Places;
        o.Block = c.Block;
        const TAllocation a = AllocateEnds(c.Cuts, c.Fills, o);
        EXPECT_FALSE(a.Solved) << c.Message;
        EXPECT_NE(a.Message.find(c.Message), std::string::npos) << a.Message;
        EXPECT_TRUE(a.Flows.empty());
    }
    TInputData d = GeneratedSite({1, 0, 0, 0, 0.0, 5});
    EXPECT_NE(AllocateEarth(d, {}).Message.find("先に計算"), std::string::npos);
}

// The options kept in the project's tagged block come back exactly through a saved file;
// bytes that are not options change nothing.
TEST(EarthAllocation, OptionsRoundTheProjectFile) {
    TAllocOptions o;
    o.Block = 7;
    o.Manhattan = true;
    o.Places = {Place(TAllocPlaceKind::Borrow, -12.345678901234567, 1e-300, kInf, 0.1),
                Place(TAllocPlaceKind::Spoil, 400, -50.5, 12345.5, 1200)};
    TInputData d = GeneratedSite({2, 0, 0, 0, 0.0, 4});
    d.SetTag(kAllocTag, AllocOptionsBytes(o));
    TInputData back;
    back.LoadFromBytes(d.SaveToBytes());
    TAllocOptions r;
    ASSERT_TRUE(ParseAllocOptions(back.GetTag(kAllocTag), r));
    EXPECT_EQ(AllocOptionsBytes(r), AllocOptionsBytes(o));
    EXPECT_EQ(r.Block, 7);
    EXPECT_TRUE(r.Manhattan);
    ASSERT_EQ(r.Places.size(), 2u);
    EXPECT_EQ(r.Places[0].X, -12.345678901234567);
    EXPECT_EQ(r.Places[0].Y, 1e-300);
    EXPECT_TRUE(std::isinf(r.Places[0].Capacity));
    EXPECT_EQ(r.Places[1].Capacity, 12345.5);
    EXPECT_EQ(r.Places[1].Kind, TAllocPlaceKind::Spoil);

    for (const char* bad :
         {"", "doryou-allocation 2\n1 straight\n", "doryou-allocation 1\n",
          "doryou-allocation 1\n-1 straight\n", "doryou-allocation 1\n1 straight\nX 0 0 inf 0\n",
          "doryou-allocation 1\n1 straight\nS 0 0 1,5 0\n"}) {
        TAllocOptions keep = o;
        EXPECT_FALSE(ParseAllocOptions(bad, keep)) << bad;
        EXPECT_EQ(AllocOptionsBytes(keep), AllocOptionsBytes(o));
    }
}
