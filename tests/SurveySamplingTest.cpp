// Sampling survey surfaces onto the mesh with bounded work: the row-by-row walk gives the same
// bits as a walk over each triangle's whole box, hostile TINs (slivers, repeated and overlapping
// faces) cost what they cover, progress comes often enough to cancel, and the import's summary
// tells what it left out (long edges, repeats, overlaps, boundaries that do not reach a point).

#include "survey/SurveyImport.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyTin.h"

#include "analysis/SiteCheck.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>

namespace {

// The walk over every grid point of each triangle's box, as sampling was done before rows:
// the reference the row walk must match bit for bit (same transform, same tests, same order).
struct TUV {
    double U, V;
};

double EdgeSide(const TUV& p, const TUV& q, double u, double v) {
    return (q.U - p.U) * (v - p.V) - (q.V - p.V) * (u - p.U);
}

double AlongEdge(const TUV& p, const TUV& q, double zp, double zq, double u, double v) {
    const double du = q.U - p.U, dv = q.V - p.V;
    const double t = std::fabs(du) >= std::fabs(dv) ? (u - p.U) / du : (v - p.V) / dv;
    return zp + t * (zq - zp);
}

void BoxWalk(const TSurveyTin& tin, const TMeshFrame& f, TSurveyGrid& g) {
    g.Z.assign(static_cast<size_t>(g.NI * g.NJ), std::numeric_limits<double>::quiet_NaN());
    // The angles below are no quarter turns but 0, which the import takes as exact too.
    const double r = std::fmod(f.Angle, 360.0), q = r < 0 ? r + 360.0 : r;
    const double c = q == 0.0 ? 1.0 : std::cos(q * (3.14159265358979323846 / 180.0));
    const double s = q == 0.0 ? 0.0 : std::sin(q * (3.14159265358979323846 / 180.0));
    std::vector<TUV> uv;
    for (const TSurveyPoint& p : tin.Points) {
        const double de = p.E - f.E0, dn = p.N - f.N0;
        uv.push_back({(de * c + dn * s) / f.Span, (dn * c - de * s) / f.Span});
    }
    for (std::array<int32_t, 3> t : tin.Triangles) {
        std::sort(t.begin(), t.end());
        const TUV &a = uv[size_t(t[0])], &b = uv[size_t(t[1])], &cc = uv[size_t(t[2])];
        const double za = tin.Points[size_t(t[0])].Z, zb = tin.Points[size_t(t[1])].Z,
                     zc = tin.Points[size_t(t[2])].Z;
        const double orient = EdgeSide(a, b, cc.U, cc.V);
        if (!(orient != 0.0) || t[0] == t[1] || t[1] == t[2])
            continue;
        const double sg = orient > 0 ? 1.0 : -1.0;
        const double u0 = std::max(std::ceil(std::min({a.U, b.U, cc.U})), double(g.I0));
        const double u1 = std::min(std::floor(std::max({a.U, b.U, cc.U})), double(g.I0 + g.NI - 1));
        const double v0 = std::max(std::ceil(std::min({a.V, b.V, cc.V})), double(g.J0));
        const double v1 = std::min(std::floor(std::max({a.V, b.V, cc.V})), double(g.J0 + g.NJ - 1));
        for (double v = v0; v <= v1; v += 1.0)
            for (double u = u0; u <= u1; u += 1.0) {
                double& z = g.Z[size_t((int64_t(v) - g.J0) * g.NI + (int64_t(u) - g.I0))];
                if (!std::isnan(z))
                    continue;
                const double wc = sg * EdgeSide(a, b, u, v), wa = sg * EdgeSide(b, cc, u, v),
                             wb = -sg * EdgeSide(a, cc, u, v);
                if (wa < 0 || wb < 0 || wc < 0)
                    continue;
                if (wb == 0 && wc == 0)
                    z = za;
                else if (wa == 0 && wc == 0)
                    z = zb;
                else if (wa == 0 && wb == 0)
                    z = zc;
                else if (wc == 0)
                    z = AlongEdge(a, b, za, zb, u, v);
                else if (wa == 0)
                    z = AlongEdge(b, cc, zb, zc, u, v);
                else if (wb == 0)
                    z = AlongEdge(a, cc, za, zc, u, v);
                else
                    z = (wa * za + wb * zb + wc * zc) / (wa + wb + wc);
            }
    }
}

TSurveySurface Tin(std::vector<TSurveyPoint> points, std::vector<std::array<int32_t, 3>> faces) {
    TSurveySurface s;
    s.Name = "t";
    s.IsTin = true;
    s.Points = std::move(points);
    s.Triangles = std::move(faces);
    return s;
}

// A LandXML file of one TIN surface.
std::string LandXml(const TSurveySurface& s) {
    std::string x = "<LandXML><Surfaces><Surface name=\"t\"><Definition surfType=\"TIN\"><Pnts>\n";
    char buf[160];
    for (size_t i = 0; i < s.Points.size(); ++i) {
        std::snprintf(buf, sizeof buf, "<P id=\"%zu\">%.17g %.17g %.17g</P>\n", i + 1,
                      s.Points[i].N, s.Points[i].E, s.Points[i].Z);
        x += buf;
    }
    x += "</Pnts><Faces>\n";
    for (const auto& t : s.Triangles) {
        std::snprintf(buf, sizeof buf, "<F>%d %d %d</F>\n", t[0] + 1, t[1] + 1, t[2] + 1);
        x += buf;
    }
    return x + "</Faces></Definition></Surface></Surfaces></LandXML>\n";
}

// Slivers that cross a square of `size` metres corner to corner: each one's box is the whole
// square, the points it covers a thin line.
TSurveySurface Slivers(int pairs, double size) {
    TSurveySurface s = Tin({}, {});
    for (int k = 0; k < pairs; ++k) {
        const int32_t a = static_cast<int32_t>(s.Points.size());
        s.Points.push_back({0.0, k * 0.5, 10.0});
        s.Points.push_back({size, size + k * 0.5, 20.0});
        s.Points.push_back({0.0, k * 0.5 + 0.25, 10.5});
        s.Points.push_back({size, size + k * 0.5 + 0.25, 20.5});
        s.Triangles.push_back({a, a + 1, a + 2});
        s.Triangles.push_back({a + 1, a + 3, a + 2});
    }
    return s;
}

std::vector<double> Heights(const TInputData& d) {
    std::vector<double> z;
    for (const TGridData& g : d.GridList())
        z.push_back(g.GH);
    return z;
}

class SurveySampling : public TTempFolderTest {
protected:
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string p = Path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    // A TIN as LandXML, scattered points as a point file.
    TSurveySource Source(const std::string& name, const TSurveySurface& s) const {
        if (s.IsTin)
            return {Write(name, LandXml(s)), TSurveyFileKind::LandXml, ""};
        std::string text;
        for (const TSurveyPoint& p : s.Points)
            text +=
                std::to_string(p.N) + "," + std::to_string(p.E) + "," + std::to_string(p.Z) + "\n";
        return {Write(name + ".csv", text), TSurveyFileKind::Points, ""};
    }
};

} // namespace

// The rows give the box walk's bits on grid points inside, on shared sides and on corners:
// TINs whose corners and sides run through grid points, scattered points snapped to half a
// grid step, slivers, and turned frames far from zero.
TEST(SurveyRows, SampleTheSameBitsAsTheWholeBox) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> off(0.0, 60.0), height(-5.0, 40.0);
    std::vector<std::pair<const char*, TSurveySurface>> surfaces;
    {
        // A lattice TIN split both ways, with corners on grid points at a span of 1 and 2.
        TSurveySurface s = Tin({}, {});
        for (int r = 0; r <= 12; ++r)
            for (int c = 0; c <= 12; ++c)
                s.Points.push_back({2.0 * r, 2.0 * c, height(rng)});
        for (int32_t r = 0; r < 12; ++r)
            for (int32_t c = 0; c < 12; ++c) {
                const int32_t a = r * 13 + c, b = a + 1, d = a + 13, e = d + 1;
                if ((r + c) % 2)
                    s.Triangles.insert(s.Triangles.end(), {{a, b, e}, {a, e, d}});
                else
                    s.Triangles.insert(s.Triangles.end(), {{a, b, d}, {b, e, d}});
            }
        surfaces.push_back({"lattice", s});
    }
    {
        TSurveySurface s;
        for (int k = 0; k < 300; ++k)
            s.Points.push_back(
                {std::round(off(rng) * 2) / 2, std::round(off(rng) * 2) / 2, height(rng)});
        surfaces.push_back({"snapped", s});
    }
    surfaces.push_back({"slivers", Slivers(40, 50.0)});
    const TMeshFrame frames[] = {{0, 0, 0, 1.0},   {0, 0, 0, 2.0},        {-0.5, 0.5, 0, 0.5},
                                 {3, -7, 30, 1.5}, {1e5, -2e5, -45, 1.0}, {-7, 3, 217.5, 0.75}};
    for (const auto& [name, surface] : surfaces)
        for (TMeshFrame f : frames) {
            TSurveySurface s = surface;
            if (f.N0 > 1e4) // far from zero, as real surveys are
                for (TSurveyPoint& p : s.Points)
                    p.N += f.N0, p.E += f.E0;
            const TSurveyTin tin = BuildSurveyTin(s, 0.0, name);
            TSurveyGrid rows = SurveyGridBox(tin, f), box = rows;
            ASSERT_GT(rows.NI * rows.NJ, 0) << name;
            SampleSurveyTin(tin, f, rows);
            BoxWalk(tin, f, box);
            int64_t covered = 0;
            for (double z : rows.Z)
                covered += std::isnan(z) ? 0 : 1;
            EXPECT_GT(covered, 10) << name << " angle " << f.Angle;
            EXPECT_EQ(std::memcmp(rows.Z.data(), box.Z.data(), rows.Z.size() * sizeof(double)), 0)
                << name << " span " << f.Span << " angle " << f.Angle;
        }
}

// Slivers as wide as the site: the work follows the points they cover, not their boxes (the
// box walk looked at 2,000 × 1,000 × 1,000 grid points here), so progress is asked a few
// times, not tens of thousands.
TEST(SurveyRows, SliversCostWhatTheyCover) {
    const TSurveyTin tin = BuildSurveyTin(Slivers(1000, 1000.0), 0.0, "s");
    const TMeshFrame f{0, 0, 0, 1.0};
    TSurveyGrid g = SurveyGridBox(tin, f);
    int calls = 0;
    EXPECT_EQ(SampleSurveyTin(tin, f, g, [&](double) { return ++calls > 0; }), 0);
    EXPECT_LT(calls, 200);
    int64_t covered = 0;
    for (double z : g.Z)
        covered += std::isnan(z) ? 0 : 1;
    EXPECT_GT(covered, 400'000);
}

// Progress comes at least every SurveySampleStep grid points, also along one long row and
// inside one large triangle, and a cancel ends the sampling at once.
TEST(SurveyRows, ProgressComesOftenAndCancelEndsAtOnce) {
    const struct {
        const char* name;
        TSurveySurface surface;
        int64_t points; // at least this many grid points covered
    } cases[] = {
        {"one row", Tin({{-0.5, 0, 1}, {0, 3e6, 2}, {0.5, 0, 3}}, {{0, 1, 2}}), 2'900'000},
        {"one triangle", Tin({{0, 0, 1}, {0, 3000, 2}, {3000, 0, 3}}, {{0, 1, 2}}), 4'000'000},
    };
    const TMeshFrame f{0, 0, 0, 1.0};
    for (const auto& c : cases) {
        const TSurveyTin tin = BuildSurveyTin(c.surface, 0.0, c.name);
        TSurveyGrid g = SurveyGridBox(tin, f);
        int calls = 0;
        SampleSurveyTin(tin, f, g, [&](double) { return ++calls > 0; });
        EXPECT_GE(calls, c.points / SurveySampleStep) << c.name;

        calls = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(SampleSurveyTin(tin, f, g, [&](double) { return ++calls < 3; }),
                     ESurveyCancelled)
            << c.name;
        EXPECT_EQ(calls, 3) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
    }
}

// A large triangulation asks progress after each tile and ends soon after a cancel.
TEST(SurveyRows, TriangulationCanBeCancelled) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(0.0, 1000.0);
    TSurveySurface s;
    for (int k = 0; k < 200'000; ++k)
        s.Points.push_back({u(rng), u(rng), 1.0});
    int calls = 0;
    const TSurveyTin tin = BuildSurveyTin(s, 0.0, "p", [&](double) { return ++calls > 0; });
    EXPECT_GT(tin.Triangles.size(), 390'000u);
    EXPECT_GE(calls, 3); // at the start and after the calling thread's tiles

    calls = 0;
    std::chrono::steady_clock::time_point cancelled;
    EXPECT_THROW(BuildSurveyTin(s, 0.0, "p",
                                [&](double) {
                                    if (++calls < 3)
                                        return true;
                                    cancelled = std::chrono::steady_clock::now();
                                    return false;
                                }),
                 ESurveyCancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(1));
}

// Faces over the same three points are sampled once and counted; faces that overlap keep the
// first one's height and are counted by the points they cover twice; faces piled on each other
// are refused before they cost their whole area again and again.
TEST_F(SurveySampling, RepeatedAndOverlappingFacesAreToldOrRefused) {
    const TSurveySurface square =
        Tin({{0, 0, 1}, {0, 40, 2}, {40, 40, 3}, {40, 0, 4}}, {{0, 1, 2}, {0, 2, 3}});
    TSurveySurface repeated = square;
    for (int k = 0; k < 500; ++k)
        repeated.Triangles.push_back(k % 2 ? std::array<int32_t, 3>{2, 1, 0}
                                           : std::array<int32_t, 3>{3, 0, 2});
    // A third face over half of the first: its grid points inside both keep the first height.
    TSurveySurface overlapping = square;
    overlapping.Points.push_back({0, 20, 99});
    overlapping.Triangles.push_back({0, 4, 2});
    // The same large face again and again, each a little shifted: no repeat, all overlap.
    TSurveySurface piled = Tin({}, {});
    for (int32_t k = 0; k < 200; ++k) {
        piled.Points.insert(piled.Points.end(),
                            {{0.01 * k, 0, 1}, {0.01 * k, 400, 2}, {400, 0.01 * k, 3}});
        piled.Triangles.push_back({3 * k, 3 * k + 1, 3 * k + 2});
    }

    TInputData d;
    d.SetMeshSpan(1.0);
    TSurveyImportOptions o;
    o.Frame = {0, 0, 0, 1.0};
    o.Ground = Source("square.xml", square);
    const TSurveyImport plain(d, o);
    o.Ground = Source("repeated.xml", repeated);
    const TSurveyImport again(d, o);
    EXPECT_EQ(again.Summary().Ground.RepeatedFaces, 500);
    EXPECT_EQ(again.Summary().Ground.Triangles, 2);
    EXPECT_NE(SurveyImportSummaryText(again.Summary()).find("三角形の繰り返し 500 を除きました"),
              std::string::npos);
    TInputData a = d, b = d;
    plain.Apply(a);
    again.Apply(b);
    EXPECT_EQ(Heights(a), Heights(b));

    o.Ground = Source("overlapping.xml", overlapping);
    const TSurveyImport over(d, o);
    // Inside the third face, so inside the first one too: 0 < N < E < 20 + N / 2 (its sides
    // along the first one's do not count).
    EXPECT_EQ(over.Summary().Ground.Overlaps, 361);
    EXPECT_NE(SurveyImportSummaryText(over.Summary()).find("重なり合う所のメッシュ点 361 点"),
              std::string::npos);
    TInputData c = d;
    over.Apply(c);
    EXPECT_EQ(c.GetXYToData(10, 5).GH, a.GetXYToData(10, 5).GH); // the first face's height

    o.Ground = Source("piled.xml", piled);
    const auto start = std::chrono::steady_clock::now();
    try {
        TSurveyImport(d, o);
        ADD_FAILURE() << "piled faces accepted";
    } catch (const EFailure& e) {
        EXPECT_NE(std::string(e.what()).find("piled.xml: 三角形どうしが大きく重なり合い"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// The longest edge leaves out long triangles of every surface, a LandXML TIN as well as a
// triangulation, and the summary says how many.
TEST_F(SurveySampling, MaxEdgeAppliesToEverySurface) {
    // A 10 m lattice with one point far off: the triangles that reach it are long.
    TSurveySurface tin = Tin({}, {});
    for (int r = 0; r <= 4; ++r)
        for (int c = 0; c <= 4; ++c)
            tin.Points.push_back({10.0 * r, 10.0 * c, 5.0});
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t c = 0; c < 4; ++c) {
            const int32_t a = r * 5 + c;
            tin.Triangles.insert(tin.Triangles.end(), {{a, a + 1, a + 6}, {a, a + 6, a + 5}});
        }
    tin.Points.push_back({20, 100, 5});
    tin.Triangles.insert(tin.Triangles.end(), {{4, 25, 9}, {9, 25, 14}});
    TSurveySurface points = tin;
    points.IsTin = false;
    points.Triangles.clear();

    const struct {
        const char* name;
        const TSurveySurface& surface;
        double maxEdge;
        int64_t dropped; // at least
        int64_t kept;
    } cases[] = {
        {"TIN, no limit", tin, 0.0, 0, 34},
        {"TIN, 15 m", tin, 15.0, 2, 32},
        {"TIN, 100 m", tin, 100.0, 0, 34},
        {"points, 15 m", points, 15.0, 1, 32},
    };
    for (const auto& c : cases) {
        TInputData d;
        d.SetMeshSpan(5.0);
        TSurveyImportOptions o;
        o.Frame = {0, 0, 0, 5.0};
        o.MaxEdge = c.maxEdge;
        o.Ground = Source("g.xml", c.surface);
        const TSurveyImport imp(d, o);
        const TSurveySurfaceSummary& m = imp.Summary().Ground;
        EXPECT_GE(m.LongEdges, c.dropped) << c.name;
        if (c.dropped == 0) {
            EXPECT_EQ(m.LongEdges, 0) << c.name;
        } else {
            EXPECT_NE(SurveyImportSummaryText(imp.Summary()).find("最大辺長を超える三角形"),
                      std::string::npos)
                << c.name;
        }
        if (c.surface.IsTin) {
            EXPECT_EQ(m.Triangles, c.kept) << c.name;
        }
        // Without the long triangles nothing east of the lattice is made.
        EXPECT_EQ(imp.Summary().MaxX, c.maxEdge == 15.0 ? 8 : 20) << c.name;
    }
    TSurveyImportOptions o;
    o.Frame = {0, 0, 0, 5.0};
    o.MaxEdge = 5.0;
    o.Ground = Source("g.xml", tin);
    try {
        TSurveyImport(TInputData(), o);
        ADD_FAILURE() << "no triangle left";
    } catch (const EFailure& e) {
        EXPECT_NE(std::string(e.what()).find("最大辺長より短い辺だけの三角形がありません"),
                  std::string::npos)
            << e.what();
    }
}

// A boundary that covers half the ground: its summary tells the file and the points it does
// not reach; a new point there is left without an elevation, which the check names, where it
// used to read 0.000 m and pass; an existing point keeps the elevation it had.
TEST_F(SurveySampling, BoundariesAreSummarisedAndGapsChecked) {
    TInputData d;
    d.SetMeshSpan(10.0);
    d.SetSolidType(1); // layers as elevations
    d.SetLayer(3);
    TGridData kept; // an existing point the boundary does not reach
    kept.X = 10, kept.Y = 10, kept.GH = 1, kept.FH = 1, kept.LAYER[1] = 7.5, kept.LAYER[2] = 2;
    d.SetMeshData(kept);
    // Ground over N, E in [0, 100] (11 × 11 points); layer 2's top over E <= 40 (5 columns).
    const TSurveySurface ground =
        Tin({{0, 0, 20}, {0, 100, 22}, {100, 100, 25}, {100, 0, 21}}, {{0, 1, 2}, {0, 2, 3}});
    // A plane: 10 m + 1 cm a metre north + 2.5 cm a metre east.
    const TSurveySurface top =
        Tin({{0, 0, 10}, {0, 40, 11}, {100, 40, 12}, {100, 0, 11}}, {{0, 1, 2}, {0, 2, 3}});
    TSurveyImportOptions o;
    o.Frame = {0, 0, 0, 10.0};
    o.Ground = Source("ground.xml", ground);
    o.Layers = {Source("top2.xml", top)};
    const TSurveyImport imp(d, o);
    const TSurveyImportSummary& m = imp.Summary();
    ASSERT_EQ(m.Boundaries.size(), 1u);
    EXPECT_EQ(m.Boundaries[0].Surface.Path, o.Layers[0].Path);
    EXPECT_EQ(m.Boundaries[0].Surface.Triangles, 2);
    EXPECT_EQ(m.NewMeshes, 120);
    EXPECT_EQ(m.UpdatedMeshes, 1);
    EXPECT_EQ(m.Boundaries[0].NotCovered, 66);
    EXPECT_EQ(m.Boundaries[0].Unset, 65);
    const std::string text = SurveyImportSummaryText(m);
    EXPECT_NE(text.find("２層標高: " + o.Layers[0].Path + "（面「t」）  点 4、三角形 2"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("２層標高の面の範囲外のメッシュ点 66: 新しい 65 点は標高なし"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("既存の 1 点は元の値のまま"), std::string::npos) << text;

    imp.Apply(d);
    EXPECT_NEAR(d.GetXYToData(3, 7).LAYER[1], 10.0 + 0.7 + 0.75, 1e-12); // N 70, E 30
    EXPECT_TRUE(std::isnan(d.GetXYToData(5, 7).LAYER[1]));
    EXPECT_EQ(d.GetXYToData(10, 10).LAYER[1], 7.5);
    const std::vector<TCheckFinding> found = TSiteCheck().Run(d);
    int64_t unset = 0;
    for (const TCheckFinding& f : found)
        if (f.Kind == TCheckKind::NonFinite && f.Field == "２層標高") {
            ++unset;
            EXPECT_GE(f.X, 5);
        }
    EXPECT_EQ(unset, 65);
    EXPECT_GT(TSiteCheck::SeriousCount(found), 0);
    // The project saves and reads back the points without an elevation as they are.
    TInputData back;
    back.LoadFromBytes(d.SaveToBytes());
    EXPECT_TRUE(std::isnan(back.GetXYToData(5, 7).LAYER[1]));

    // More boundaries than the project has layers below the first: refused, nothing changed.
    o.Layers = {o.Layers[0], o.Layers[0], o.Layers[0]};
    try {
        TSurveyImport(d, o);
        ADD_FAILURE() << "three boundaries for three layers";
    } catch (const EFailure& e) {
        EXPECT_NE(std::string(e.what()).find("3 層なので、層の境界標高は 2 面まで"),
                  std::string::npos)
            << e.what();
    }
}

// The import refuses a block and points larger than the memory it may use, before sampling,
// with the figures; the same import within it goes through.
TEST_F(SurveySampling, MemoryLimitIsToldBeforeSampling) {
    const TSurveySurface ground =
        Tin({{0, 0, 20}, {0, 100, 22}, {100, 100, 25}, {100, 0, 21}}, {{0, 1, 2}, {0, 2, 3}});
    TInputData d;
    d.SetMeshSpan(1.0);
    TSurveyImportOptions o;
    o.Frame = {0, 0, 0, 1.0};
    o.Ground = Source("ground.xml", ground);
    o.MemoryLimit = 1'000'000; // 101 × 101 points need some 2 MB
    int calls = 0;
    try {
        TSurveyImport(d, o, [&](double done) {
            calls += done > 0.6 ? 1 : 0; // the sampling's share, past the reading's
            return true;
        });
        ADD_FAILURE() << "imported over the limit";
    } catch (const EFailure& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("メッシュ点はおよそ 10201 点"), std::string::npos) << m;
        EXPECT_NE(m.find("使えるのは 1 MB まで"), std::string::npos) << m;
    }
    EXPECT_EQ(calls, 0);
    o.MemoryLimit = 4'000'000;
    EXPECT_EQ(TSurveyImport(d, o).Summary().NewMeshes, 101 * 101);
}
