#include "survey/SurveyImport.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyText.h"
#include "survey/SurveyTin.h"

#include "model/DataUnit.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TPlane {
    double A, B, C; // z = A + B·N + C·E
    double At(double n, double e) const { return A + B * n + C * e; }
};

// Where mesh point (i, j) stands, as the import documents it.
void MeshPosition(const TMeshFrame& f, int64_t i, int64_t j, double& n, double& e) {
    const double r = f.Angle * M_PI / 180.0;
    e = f.E0 + f.Span * (static_cast<double>(i) * std::cos(r) - static_cast<double>(j) * std::sin(r));
    n = f.N0 + f.Span * (static_cast<double>(i) * std::sin(r) + static_cast<double>(j) * std::cos(r));
}

// A LandXML document with one TIN surface: a regular grid of points split into triangles.
std::string LandXmlTin(const char* name, double n0, double e0, int cells, double step,
                       const TPlane& plane, bool invisibleExtra = false) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">"
                    "<Surfaces><Surface name=\"";
    s += name;
    s += "\"><Definition surfType=\"TIN\"><Pnts>\n";
    const int side = cells + 1;
    char buf[160];
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const double n = n0 + r * step, e = e0 + c * step;
            std::snprintf(buf, sizeof buf, "<P id=\"%d\">%.17g %.17g %.17g</P>\n", r * side + c + 1,
                          n, e, plane.At(n, e));
            s += buf;
        }
    s += "</Pnts><Faces>\n";
    for (int r = 0; r < cells; ++r)
        for (int c = 0; c < cells; ++c) {
            const int a = r * side + c + 1, b = a + 1, d = a + side, e = d + 1;
            std::snprintf(buf, sizeof buf, "<F>%d %d %d</F><F>%d %d %d</F>\n", a, b, e, a, e, d);
            s += buf;
        }
    if (invisibleExtra)
        s += "<F i=\"1\">1 2 3</F>";
    s += "</Faces></Definition></Surface></Surfaces></LandXML>\n";
    return s;
}

std::string PointText(const std::vector<TSurveyPoint>& pts, TSurveyOrder order) {
    std::string s = "name,X,Y,Z\n";
    char buf[128];
    int k = 0;
    for (const TSurveyPoint& p : pts) {
        const double a = order == TSurveyOrder::NorthEast ? p.N : p.E;
        const double b = order == TSurveyOrder::NorthEast ? p.E : p.N;
        std::snprintf(buf, sizeof buf, "P%d,%.17g,%.17g,%.17g\n", ++k, a, b, p.Z);
        s += buf;
    }
    return s;
}

class Survey : public TTempFolderTest {
protected:
    std::string Write(const char* name, const std::string& bytes) const {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
};

std::string State(const TInputData& d) {
    return d.SaveToBytes() + std::to_string(d.MeshCount()) + "/" + std::to_string(d.CalcMeshCount());
}

} // namespace

// A plane sampled from scattered points or a TIN comes back at every covered mesh point.
TEST(SurveyPlane, IsReproducedAtEveryMeshPoint) {
    const TPlane planes[] = {{12.5, 0.0, 0.0}, {100.0, 0.013, -0.021}, {-3.0, -0.25, 0.4}};
    const double angles[] = {0.0, 30.0, 90.0, 217.5, -45.0};
    const TSurveyOrder orders[] = {TSurveyOrder::NorthEast, TSurveyOrder::EastNorth};
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> off(0.0, 200.0);
    for (const TPlane& plane : planes)
        for (double angle : angles)
            for (TSurveyOrder order : orders)
                for (bool tin : {false, true}) {
                    // Survey coordinates far from zero, as real sites are.
                    const double n0 = -35210.25, e0 = 12480.75;
                    TSurveyFile file;
                    if (tin) {
                        file = ReadLandXmlBytes(LandXmlTin("G", n0, e0, 20, 10.0, plane), "t.xml");
                    } else {
                        std::vector<TSurveyPoint> pts;
                        for (int k = 0; k < 400; ++k) {
                            const double n = n0 + off(rng), e = e0 + off(rng);
                            pts.push_back({n, e, plane.At(n, e)});
                        }
                        file = ReadPointText(PointText(pts, order), "p.csv", order);
                    }
                    ASSERT_EQ(file.Surfaces.size(), 1u);
                    const TSurveyTin t = BuildSurveyTin(file.Surfaces[0], 0.0, "f");
                    const TMeshFrame frame{n0 + 100.0, e0 + 100.0, angle, 7.5};
                    TSurveyGrid g = SurveyGridBox(t, frame);
                    SampleSurveyTin(t, frame, g);
                    int covered = 0;
                    for (int64_t j = g.J0; j < g.J0 + g.NJ; ++j)
                        for (int64_t i = g.I0; i < g.I0 + g.NI; ++i) {
                            const double z = g.At(i, j);
                            if (std::isnan(z))
                                continue;
                            ++covered;
                            double n, e;
                            MeshPosition(frame, i, j, n, e);
                            ASSERT_NEAR(z, plane.At(n, e), 1e-9)
                                << "angle " << angle << " tin " << tin << " at " << i << "," << j;
                        }
                    EXPECT_GT(covered, 300) << angle;
                }
}

// Grid points on a shared edge or a vertex get the same bits whichever triangle comes first
// and however its corners are listed.
TEST(SurveyPlane, SharedEdgesAndVerticesAgree) {
    TSurveySurface s;
    s.IsTin = true;
    // A non-planar quad whose diagonal runs through grid points (0,0), (1,1), (2,2), (3,3).
    s.Points = {{0, 0, 1.0}, {0, 3, 2.7}, {3, 3, 5.3}, {3, 0, -0.9}};
    const TMeshFrame frame{0, 0, 0, 1.0};
    std::vector<std::vector<std::array<int32_t, 3>>> orders = {
        {{0, 1, 2}, {0, 2, 3}}, {{0, 2, 3}, {0, 1, 2}}, {{2, 0, 1}, {3, 2, 0}}, {{3, 0, 2}, {1, 2, 0}}};
    std::vector<double> first;
    for (const auto& tris : orders) {
        s.Triangles = tris;
        const TSurveyTin t = BuildSurveyTin(s, 0.0, "f");
        TSurveyGrid g = SurveyGridBox(t, frame);
        SampleSurveyTin(t, frame, g);
        EXPECT_EQ(g.NI * g.NJ, 16);
        if (first.empty())
            first = g.Z;
        EXPECT_EQ(std::memcmp(first.data(), g.Z.data(), first.size() * sizeof(double)), 0);
        EXPECT_EQ(g.At(0, 0), 1.0);
        EXPECT_EQ(g.At(3, 3), 5.3);
        EXPECT_EQ(g.At(3, 0), 2.7); // i runs east: E = 3 is point 1
    }
    // On the diagonal: from its two ends alone.
    EXPECT_DOUBLE_EQ(first[1 * 4 + 1], 1.0 + (5.3 - 1.0) / 3.0);
}

// Large sets are triangulated in tiles; the result must be the whole set's triangulation: the
// same triangles where it is unique, and a triangulation of as many triangles on a grid, whose
// squares may be split either way. Sets with a hole, a thin strip and clusters make the tiles'
// circles reach far.
TEST(SurveyPlane, TilesGiveTheWholeTriangulation) {
    const auto sorted = [](std::vector<std::array<int32_t, 3>> t) {
        for (auto& x : t)
            std::sort(x.begin(), x.end());
        std::sort(t.begin(), t.end());
        return t;
    };
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const struct {
        const char* name;
        std::function<bool(double&, double&)> point; // false: leave it out
        bool grid;
    } sets[] = {
        {"uniform", [&](double& n, double& e) { n = 1000 * u(rng), e = 1000 * u(rng); return true; }, false},
        {"hole",
         [&](double& n, double& e) {
             n = 1000 * u(rng), e = 1000 * u(rng);
             return std::hypot(n - 500, e - 500) > 300;
         },
         false},
        {"strip", [&](double& n, double& e) { n = 20 * u(rng), e = 3000 * u(rng); return true; }, false},
        {"clusters",
         [&](double& n, double& e) {
             const double c = std::floor(4 * u(rng));
             n = 250 * c + 40 * u(rng), e = 1000 * u(rng) * (c + 1) / 4;
             return true;
         },
         false},
        {"grid", nullptr, true},
    };
    for (const auto& set : sets) {
        std::vector<TSurveyPoint> pts;
        if (set.grid) {
            for (int i = 0; i < 300; ++i)
                for (int j = 0; j < 300; ++j)
                    pts.push_back({-35000.0 + 2.0 * i, 12000.0 + 2.0 * j, 0.0});
        } else {
            while (pts.size() < 90'000) {
                double n, e;
                if (set.point(n, e))
                    pts.push_back({-35000.0 + std::round(n * 1000) / 1000, 12000.0 + std::round(e * 1000) / 1000,
                                   0.0});
            }
            std::sort(pts.begin(), pts.end(),
                      [](const TSurveyPoint& a, const TSurveyPoint& b) { return a.N != b.N ? a.N < b.N : a.E < b.E; });
            pts.erase(std::unique(pts.begin(), pts.end(),
                                  [](const TSurveyPoint& a, const TSurveyPoint& b) { return a.N == b.N && a.E == b.E; }),
                      pts.end());
        }
        std::vector<std::array<int32_t, 3>> tiled, whole;
        ASSERT_TRUE(SurveyDelaunay(pts, tiled)) << set.name;
        ASSERT_TRUE(SurveyDelaunay(pts, whole, false)) << set.name;
        if (set.grid)
            EXPECT_EQ(tiled.size(), whole.size()) << set.name;
        else
            EXPECT_TRUE(sorted(tiled) == sorted(whole)) << set.name << ": " << tiled.size() << " / " << whole.size();
    }
}

TEST(SurveyReaders, BadInputNamesFileLineAndFault) {
    const struct {
        TSurveyFileKind kind;
        std::string bytes;
        std::string message; // a part of it
    } cases[] = {
        {TSurveyFileKind::Points, "1,2,3\n4,5\n", "f の 2 行目: 列の数が 2 です"},
        {TSurveyFileKind::Points, "X Y Z\n1 2 3\n1 2 x3\n", "f の 3 行目: 標高が数値ではありません（「x3」）"},
        {TSurveyFileKind::Points, "1\t2\tnan\n", "f の 1 行目: 標高が有限の数値ではありません"},
        {TSurveyFileKind::Points, "1,2,3\na,1,1e999,3\n", "f の 2 行目: Y 座標が大きすぎます"},
        {TSurveyFileKind::Points, "0,0,1\n1,1,1\n0,0,2\n", "位置の違う点が 3 点以上必要です"},
        {TSurveyFileKind::Points, "0,0,1\n1,1,1\n2,2,5\n3,3,1\n", "一直線上"},
        {TSurveyFileKind::Points, "", "位置の違う点が 3 点以上必要です（0 点"},
        {TSurveyFileKind::Sima, "G00,01,test,\nA01,1,P1,abc,2,3,\n", "f の 2 行目: X 座標が数値ではありません"},
        {TSurveyFileKind::Sima, "A01,1,P1\n", "X 座標と Y 座標がありません"},
        {TSurveyFileKind::LandXml, "<LandXML><Surface", "XML として正しくありません"},
        {TSurveyFileKind::LandXml,
         "<LandXML><Surface name=\"s\"><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 1</P>"
         "<P id=\"2\">0 1 1</P><P id=\"3\">1 0 1</P></Pnts><Faces>\n<F>1 2 4</F></Faces>"
         "</Definition></Surface></LandXML>",
         "f の 2 行目: 面（F）が存在しない点 「4」 を指しています"},
        {TSurveyFileKind::LandXml,
         "<LandXML><Surface><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0</P></Pnts>"
         "</Definition></Surface></LandXML>",
         "3 つの値が必要です"},
        {TSurveyFileKind::LandXml,
         "<LandXML><Surface><Definition surfType=\"TIN\"><Pnts><P id=\"a\">0 0 1</P>"
         "<P id=\"a\">1 0 1</P></Pnts></Definition></Surface></LandXML>",
         "id 「a」 が 2 度使われています"},
        {TSurveyFileKind::LandXml,
         "<LandXML><Surface><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 inf</P>"
         "</Pnts></Definition></Surface></LandXML>",
         "有限の数値ではありません"},
        {TSurveyFileKind::LandXml,
         "<LandXML><Surface name=\"s\"><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 1</P>"
         "</Pnts><Faces></Faces></Definition></Surface></LandXML>",
         "面「s」に三角形がありません"},
        {TSurveyFileKind::LandXml,
         "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
         "<LandXML>&b;</LandXML>",
         "文書型宣言（DOCTYPE）を含む XML は、安全のため読み込みません"},
        {TSurveyFileKind::LandXml,
         "<!DOCTYPE l SYSTEM \"file:///etc/passwd\"><LandXML>&x;</LandXML>", "文書型宣言"},
    };
    for (const auto& c : cases) {
        try {
            TSurveyFile f;
            if (c.kind == TSurveyFileKind::Points)
                f = ReadPointText(c.bytes, "f", TSurveyOrder::NorthEast);
            else if (c.kind == TSurveyFileKind::Sima)
                f = ReadSimaText(c.bytes, "f");
            else
                f = ReadLandXmlBytes(c.bytes, "f");
            ASSERT_FALSE(f.Surfaces.empty()) << c.bytes;
            BuildSurveyTin(f.Surfaces[0], 0.0, "f");
            ADD_FAILURE() << "accepted: " << c.bytes;
        } catch (const EFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << e.what() << "\nexpected: " << c.message;
        }
    }
}

TEST(SurveyReaders, FormatsAndSkippedRecords) {
    // Code page 932 with a heading, blanks as separators, a byte-order mark in UTF-8.
    const TSurveyFile cp = ReadPointText(Utf8ToCp932("点名 Ｘ Ｙ 標高\n基準1 10 20 3.5\n"), "c", TSurveyOrder::NorthEast);
    EXPECT_EQ(cp.Encoding, "CP932");
    ASSERT_EQ(cp.Surfaces[0].Points.size(), 1u);
    EXPECT_EQ(cp.Surfaces[0].Points[0].N, 10.0);
    const TSurveyFile u = ReadPointText("\xEF\xBB\xBF" "1,2,3\r\n+4,5,6\r\n", "u", TSurveyOrder::EastNorth);
    EXPECT_EQ(u.Encoding, "UTF-8");
    ASSERT_EQ(u.Surfaces[0].Points.size(), 2u);
    EXPECT_EQ(u.Surfaces[0].Points[1].N, 5.0);
    EXPECT_EQ(u.Surfaces[0].Points[1].E, 4.0);
    const TSurveyFile s = ReadSimaText(Utf8ToCp932("G00,01,現況,\nZ00,座標,\nA00,\n"
                                                  "A01,1,基1,-100.5,200.25,12.5,\nA01,2,基2,1,2,,\nA99,\n"
                                                  "A01,3,基3,0,0,1,\nA01,4,基4,5,5,2,\n"),
                                       "s");
    ASSERT_EQ(s.Surfaces[0].Points.size(), 3u);
    EXPECT_EQ(s.Surfaces[0].Points[0].N, -100.5);
    EXPECT_EQ(s.SkippedRecords, 5);
    // Several surfaces with a namespace prefix, invisible faces, CgPoints.
    const std::string two = LandXmlTin("現況", 0, 0, 2, 1, {1, 0, 0}, true);
    const TSurveyFile x = ReadLandXmlBytes(two, "x");
    ASSERT_EQ(x.Surfaces.size(), 1u);
    EXPECT_EQ(x.Surfaces[0].Name, "現況");
    EXPECT_EQ(x.Surfaces[0].Triangles.size(), 8u);
    EXPECT_EQ(x.Surfaces[0].SkippedFaces, 1);
    const TSurveyFile cg = ReadLandXmlBytes(
        "<l:LandXML xmlns:l=\"x\"><l:CgPoints><l:CgPoint name=\"a\">1 2 3</l:CgPoint>"
        "<l:CgPoint>4 5</l:CgPoint></l:CgPoints></l:LandXML>",
        "cg");
    ASSERT_EQ(cg.Surfaces.size(), 1u);
    EXPECT_FALSE(cg.Surfaces[0].IsTin);
    EXPECT_EQ(cg.Surfaces[0].Points.size(), 1u);
    EXPECT_EQ(cg.SkippedRecords, 1);
    EXPECT_EQ(DetectSurveyFileKind("a.SIM", ""), TSurveyFileKind::Sima);
    EXPECT_EQ(DetectSurveyFileKind("a.xml", ""), TSurveyFileKind::LandXml);
    EXPECT_EQ(DetectSurveyFileKind("a.dat", "  <?xml"), TSurveyFileKind::LandXml);
    EXPECT_EQ(DetectSurveyFileKind("a.txt", "1 2 3"), TSurveyFileKind::Points);
}

TEST_F(Survey, RegistersMeshesAsHandRegistrationDoes) {
    TInputData d;
    d.SetMeshSpan(10.0);
    d.SetHyoudo(true);
    d.SetSolidValue(0, 1, 0.3);     // standard topsoil
    d.SetSolidValue(1, 1, 1.5);     // standard layer 1 thickness
    TGridData kept;                 // an existing mesh the survey does not reach
    kept.X = 50, kept.Y = 50, kept.GH = 9, kept.FH = 8, kept.LAYER[0] = 0.7;
    d.SetMeshData(kept);
    TGridData updated; // ... and one it does
    updated.X = 1, updated.Y = 1, updated.GH = 1, updated.FH = 2, updated.LAYER[0] = 0.9;
    d.SetMeshData(updated);
    d.Calcrate();
    d.SetPhase(2, true);

    // Ground over survey N, E in [0, 30]; a plan over the half E <= 15. Two ground points at
    // one position with different heights: the first is kept and reported.
    const TPlane g{10, 0.1, 0}, p{8, 0, 0};
    std::vector<TSurveyPoint> pts;
    for (int n = 0; n <= 30; n += 5)
        for (int e = 0; e <= 30; e += 5)
            pts.push_back({double(n), double(e), g.At(n, e)});
    pts.push_back({5, 5, 99});
    TSurveyImportOptions o;
    o.Ground = {Write("g.csv", PointText(pts, TSurveyOrder::NorthEast)), TSurveyFileKind::Points, ""};
    o.HasPlan = true;
    o.Plan = {Write("p.xml", LandXmlTin("計画", 0, 0, 3, 5, p)), TSurveyFileKind::LandXml, ""};
    o.Frame = {0, 0, 0, d.MeshSpan()};
    const TSurveyImport imp(d, o);
    const TSurveyImportSummary& m = imp.Summary();
    EXPECT_EQ(m.Ground.Points, 50);
    EXPECT_EQ(m.Ground.Duplicates, 1);
    EXPECT_EQ(m.Ground.Conflicts, 1);
    EXPECT_EQ(m.Ground.SkippedHeadings, 1); // "name,X,Y,Z"
    EXPECT_EQ(m.NewMeshes, 15);
    EXPECT_EQ(m.UpdatedMeshes, 1);
    EXPECT_EQ(m.OutsideMeshes, 1);
    EXPECT_EQ(m.PlanNotCovered, 12); // the plan covers N, E <= 15: mesh X, Y 0 and 1
    EXPECT_EQ(m.MinX, 0);
    EXPECT_EQ(m.MaxX, 3);
    const std::string text = SurveyImportSummaryText(m);
    EXPECT_NE(text.find("新規 15、更新 1、範囲外の既存メッシュ 1（変更なし）、計画面の範囲外 12"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("X 5.000, Y 5.000 で 10.500 を使い 99.000 を除外"), std::string::npos) << text;
    EXPECT_NE(text.find("見出し行 1 行を読み飛ばしました"), std::string::npos) << text;

    const std::string before = State(d);
    EXPECT_EQ(State(d), before); // nothing changed before Apply
    imp.Apply(d);
    EXPECT_TRUE(d.GetPhase(1));
    EXPECT_FALSE(d.GetPhase(2));
    EXPECT_EQ(d.GetInputMeshCount(), 17);
    const TGridData a = d.GetXYToData(1, 1);
    EXPECT_DOUBLE_EQ(a.GH, g.At(10, 10));
    EXPECT_DOUBLE_EQ(a.FH, 8.0);
    EXPECT_EQ(a.LAYER[0], 0.9); // not imported: kept
    const TGridData n = d.GetXYToData(3, 2);
    EXPECT_DOUBLE_EQ(n.GH, g.At(20, 30));
    EXPECT_DOUBLE_EQ(n.FH, n.GH); // new and outside the plan: no work
    EXPECT_EQ(n.LAYER[0], 0.3);
    EXPECT_EQ(n.LAYER[1], 1.5);
    EXPECT_EQ(d.GetXYToData(50, 50).GH, 9.0);

    // The georeference goes with the project.
    TInputData e;
    e.LoadFromBytes(d.SaveToBytes());
    TSurveyGeoreference geo;
    ASSERT_TRUE(DecodeSurveyGeoreference(e.GetTag(SurveyTagName), geo));
    EXPECT_EQ(geo.Frame.Span, 10.0);
    ASSERT_EQ(geo.Sources.size(), 2u);
    EXPECT_EQ(SurveySourceFields(geo.Sources[1]),
              (std::vector<std::string>{"plan", "landxml", "", o.Plan.Path}));
}

TEST_F(Survey, FailuresLeaveTheProjectAsItWas) {
    const std::string good = Write("g.csv", "0,0,1\n0,10,1\n10,0,1\n10,10,1\n");
    const std::string empty = Write("empty.xml", "<LandXML></LandXML>");
    const struct {
        std::string ground, plan, surface;
        TMeshFrame frame;
        std::string message;
    } cases[] = {
        {(dir / "none.csv").string(), "", "", {0, 0, 0, 5}, ""},
        {good, "", "", {-5, -5, 0, 100}, "メッシュ点を 1 つも覆っていません"},
        {good, "", "", {0, 0, 0, 0}, "メッシュ間隔は正の数"},
        {good, "", "", {0, 0, 0, 0.001}, "多すぎます"},
        {good, "", "", {-1e12, 0, 0, 1}, "32 ビットの範囲"},
        {good, empty, "", {0, 0, 0, 5}, "使える面"},
    };
    for (const auto& c : cases) {
        TInputData d;
        TGridData g;
        g.X = 1, g.GH = 3;
        d.SetMeshData(g);
        const std::string before = State(d);
        TSurveyImportOptions o;
        o.Ground = {c.ground, TSurveyFileKind::Points, ""};
        o.HasPlan = !c.plan.empty();
        o.Plan = {c.plan, TSurveyFileKind::LandXml, c.surface};
        o.Frame = c.frame;
        try {
            TSurveyImport(d, o).Apply(d);
            ADD_FAILURE() << c.message;
        } catch (const EFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(State(d), before);
    }
}

// The bundled survey data lands on the bundled sample site's 7 × 6 meshes.
TEST(SurveyExamples, CoverTheSampleSite) {
    TInputData d;
    d.LoadFromBytes(TInputData().SaveToBytes());
    TSurveyImportOptions o;
    const std::string dir = std::string(DORYOU_SOURCE_DIR) + "/examples/";
    o.Ground = {dir + "sample-ground.sim", DetectSurveyFileKind(dir + "sample-ground.sim"), ""};
    o.HasPlan = true;
    o.Plan = {dir + "sample-plan.xml", DetectSurveyFileKind(dir + "sample-plan.xml"), ""};
    o.Frame = {-35200, 12400, 0, 20};
    const TSurveyImport imp(d, o);
    EXPECT_EQ(imp.Summary().NewMeshes, 42);
    EXPECT_EQ(imp.Summary().PlanNotCovered, 0);
    EXPECT_EQ(imp.Summary().MaxX, 6);
    EXPECT_EQ(imp.Summary().MaxY, 5);
    EXPECT_EQ(o.Ground.Kind, TSurveyFileKind::Sima);
}

namespace {

TSurveyFile ReadAs(TSurveyFileKind kind, std::string_view bytes) {
    switch (kind) {
    case TSurveyFileKind::Sima:
        return ReadSimaText(bytes, "f");
    case TSurveyFileKind::LandXml:
        return ReadLandXmlBytes(bytes, "f");
    default:
        return ReadPointText(bytes, "f", TSurveyOrder::NorthEast);
    }
}

// The message of a refusal ("" when read), which must be fit to show: UTF-8 and short.
std::string Refusal(TSurveyFileKind kind, std::string_view bytes) {
    try {
        ReadAs(kind, bytes);
    } catch (const EFailure& e) {
        const std::string m = e.what();
        EXPECT_TRUE(IsValidUtf8(m)) << m;
        EXPECT_LT(m.size(), 600u) << m.substr(0, 600);
        return m;
    }
    return "";
}

// UTF-8 as UTF-16 with its byte-order mark, through iconv.
std::string Utf16(const std::string& utf8, bool bigEndian) {
    iconv_t cd = iconv_open(bigEndian ? "UTF-16BE" : "UTF-16LE", "UTF-8");
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* to = out.data();
    size_t left = utf8.size(), room = out.size();
    iconv(cd, &in, &left, &to, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return (bigEndian ? "\xFE\xFF" : "\xFF\xFE") + out;
}

std::string Lines(const std::vector<std::string>& lines, const char* end) {
    std::string s;
    for (const std::string& l : lines)
        s += l + end;
    return s;
}

} // namespace

// The first line is a heading only when no field of it is a number in any form; a first line
// with a wrong number is data, refused with its line number.
TEST(SurveyReaders, FirstLineIsAHeadingOnlyWithoutNumbers) {
    const std::string body = "0,0,1\n10,0,1\n0,10,2\n";
    const struct {
        std::string bytes;
        int64_t headings;
        size_t points;
        std::string message; // "" when read
    } cases[] = {
        {"点名,X,Y,Z\n" + body, 1, 3, ""},
        {"\n \t\n,,\nX Y Z\n" + body, 1, 3, ""},
        {"測点 Ｘ座標 Ｙ座標 標高 備考\n" + body, 1, 3, ""}, // a heading of any width
        {Utf8ToCp932("点名,Ｘ,Ｙ,Ｚ\n") + body, 1, 3, ""},
        {body, 0, 3, ""},
        {"1e-400,0,1\n" + body, 0, 4, ""}, // nearer zero than a double: zero
        {"０,０,１\n" + body, 0, 0, "f の 1 行目: X 座標が全角の数字です（「０」）"},
        {Utf8ToCp932("Ｐ１,１２．５,０,１\n") + body, 0, 0,
         "f の 1 行目: X 座標が全角の数字です（「１２．５」）"},
        {"P1,1e400,0,1\n" + body, 0, 0, "f の 1 行目: X 座標が大きすぎます（「1e400」）"},
        {"X,Y,-1e999\n" + body, 0, 0, "f の 1 行目: X 座標が数値ではありません（「X」）"},
        {"X,Y,Z\nX,Y,Z\n" + body, 0, 0, "f の 2 行目: X 座標が数値ではありません"},
        {"P1,+-1,0,1\n" + body, 0, 0, "f の 1 行目: X 座標が数値ではありません（「+-1」）"},
    };
    for (const auto& c : cases) {
        const std::string m = Refusal(TSurveyFileKind::Points, c.bytes);
        if (!c.message.empty()) {
            EXPECT_NE(m.find(c.message), std::string::npos) << m << "\nexpected: " << c.message;
            continue;
        }
        ASSERT_EQ(m, "") << c.bytes;
        const TSurveyFile f = ReadAs(TSurveyFileKind::Points, c.bytes);
        EXPECT_EQ(f.SkippedHeadings, c.headings) << c.bytes;
        ASSERT_EQ(f.Surfaces[0].Points.size(), c.points) << c.bytes;
        EXPECT_EQ(f.Surfaces[0].Points[0].N, 0.0);
        EXPECT_EQ(f.Surfaces[0].Points[0].Z, 1.0);
    }
}

// LF, CR LF and a lone CR end lines alike; UTF-16 with its byte-order mark reads as UTF-8 does;
// lines of blanks and separators only are passed over, whatever the blanks.
TEST(SurveyReaders, LineEndsEncodingsAndBlankLinesReadAlike) {
    const std::vector<std::string> points = {"点名,X,Y,Z", "P1,0,0,1", "P2,10,0,1.5", "P3,0,10,2"};
    const std::vector<std::string> sima = {"G00,01,現況,", "A01,1,基1,0,0,1,",
                                           "A01,2,基2,10,0,1.5,", "A01,3,基3,0,10,2,"};
    const struct {
        TSurveyFileKind kind;
        std::string bytes;
        const char* encoding;
    } cases[] = {
        {TSurveyFileKind::Points, Lines(points, "\n"), "UTF-8"},
        {TSurveyFileKind::Points, Lines(points, "\r\n"), "UTF-8"},
        {TSurveyFileKind::Points, Lines(points, "\r"), "UTF-8"},
        {TSurveyFileKind::Points, "点名,X,Y,Z\rP1,0,0,1\r\nP2,10,0,1.5\nP3,0,10,2", "UTF-8"},
        {TSurveyFileKind::Points,
         "\n点名,X,Y,Z\n \n\t\n,,\n\t,\t\r\nP1,0,0,1\r\n\r\nP2,10,0,1.5\n\"\",\"\"\nP3,0,10,2\n\t",
         "UTF-8"},
        {TSurveyFileKind::Points, Utf8ToCp932(Lines(points, "\r")), "CP932"},
        {TSurveyFileKind::Points, Utf16(Lines(points, "\r\n"), false), "UTF-16LE"},
        {TSurveyFileKind::Points, Utf16(Lines(points, "\r"), true), "UTF-16BE"},
        {TSurveyFileKind::Sima, Utf8ToCp932(Lines(sima, "\r")), "CP932"},
        {TSurveyFileKind::Sima, "\t\n" + Lines(sima, "\n \n"), "UTF-8"},
        {TSurveyFileKind::Sima, Utf16(Lines(sima, "\r\n"), false), "UTF-16LE"},
    };
    for (const auto& c : cases) {
        const TSurveyFile f = ReadAs(c.kind, c.bytes);
        EXPECT_EQ(f.Encoding, c.encoding);
        EXPECT_EQ(f.SkippedHeadings + f.SkippedRecords, 1) << c.encoding;
        ASSERT_EQ(f.Surfaces[0].Points.size(), 3u) << c.encoding << " " << c.bytes;
        EXPECT_EQ(f.Surfaces[0].Points[1].N, 10.0);
        EXPECT_EQ(f.Surfaces[0].Points[2].Z, 2.0);
    }
    EXPECT_EQ(DetectSurveyFileKind("a.dat", Utf16("<?xml version=\"1.0\"?>", false)),
              TSurveyFileKind::LandXml);
    EXPECT_EQ(DetectSurveyFileKind("a.dat", Utf16("G00,01,x", true)), TSurveyFileKind::Sima);

    // Line numbers count every kind of line end, blank lines included; a NUL is named, and
    // quoted fields are cut at a character.
    const std::string cut(30, 'x');
    const struct {
        TSurveyFileKind kind;
        std::string bytes;
        std::string message;
    } faults[] = {
        {TSurveyFileKind::Points, "0,0,1\r0,1\r", "f の 2 行目: 列の数が 2 です"},
        {TSurveyFileKind::Points, "0,0,1\r\n\t\n0,1\r\n", "f の 3 行目: 列の数が 2 です"},
        {TSurveyFileKind::Points, "0,0,1\n\n\r0,1\n", "f の 4 行目: 列の数が 2 です"},
        {TSurveyFileKind::Points, Utf16("0,0,1\r\n0,1\r\n", true), "f の 2 行目: 列の数が 2 です"},
        {TSurveyFileKind::Points,
         std::string("0,0,1\n0,1\0"
                     "0,2\n",
                     15),
         "f の 2 行目: NUL 文字（0x00）があります（行の 4 バイト目）"},
        {TSurveyFileKind::Sima, std::string("A01,1,P1,0,0,1\0,\n", 17), "f の 1 行目: NUL 文字"},
        {TSurveyFileKind::Points, Utf16("0,0,1\n", false).substr(2),
         "f の 1 行目: UTF-16 の文字のようですが、バイト順マーク（BOM）がありません"},
        {TSurveyFileKind::Points, Utf16("0,0,1\n", false) + "x",
         "f: UTF-16 のファイルが途中で切れています"},
        {TSurveyFileKind::Points, "0,1,名名名名名名名名名名名名名名名名名名名名\n",
         "標高が数値ではありません（「名名名名名名名名名名名名名…」）"},
        {TSurveyFileKind::Points, Utf8ToCp932("0,1,名名名名名名名名名名名名名名名名名名名名名\n"),
         "標高が数値ではありません（「名名名名名名名名名名名名名名名名名名名名…」）"},
    };
    for (const auto& c : faults) {
        const std::string m = Refusal(c.kind, c.bytes);
        EXPECT_NE(m.find(c.message), std::string::npos) << m << "\nexpected: " << c.message;
    }
}

// Too few points with heights: the message says so and counts what was passed over.
TEST(SurveyReaders, SimaPointsWithoutHeightsAreNamed) {
    const struct {
        std::string bytes;
        std::string message; // "" when read
    } cases[] = {
        {"G00,01,t,\nA01,1,P1,0,0,,\nA01,2,P2,10,0,\nA01,3,P3,0,10, ,\n",
         "f: A01 の点 3 点のどれにも標高がありません"},
        {"A01,1,P1,0,0,5,\nA01,2,P2,10,0,,\nA01,3,P3,0,10,,\n",
         "f: 標高のある点が 1 点しかありません（ほかの 2 点には標高がありません）"},
        {"G00,01,t,\nZ00,x,\nA99,\n",
         "f: 座標の点（A01 レコード）がありません（ほかのレコード 3 件）"},
        {"A01,1,P1,0,0,5,\nA01,2,P2,10,0,,\nA01,3,P3,0,10,6,\nA01,4,P4,10,10,7,\n", ""},
    };
    for (const auto& c : cases) {
        const std::string m = Refusal(TSurveyFileKind::Sima, c.bytes);
        if (c.message.empty())
            EXPECT_EQ(m, "");
        else
            EXPECT_NE(m.find(c.message), std::string::npos) << m << "\nexpected: " << c.message;
    }
    const TSurveyFile f = ReadAs(TSurveyFileKind::Sima, cases[3].bytes);
    EXPECT_EQ(f.Surfaces[0].Points.size(), 3u);
    EXPECT_EQ(f.SkippedRecords, 1);
}

// Nesting, markup and ids within bounds no real file comes near; names cut to a length fit to
// show, and surfaces of one name told apart by their order.
TEST(SurveyReaders, LandXmlBoundsAndNames) {
    const auto nested = [](int depth, bool closed) {
        std::string s = "<LandXML>";
        for (int i = 1; i < depth; ++i)
            s += "<e>";
        for (int i = 1; closed && i < depth; ++i)
            s += "</e>";
        return s + (closed ? "</LandXML>" : "");
    };
    const auto surface = [](const std::string& name, const std::string& id = "1",
                            const char* z = "1") {
        return "<Surface name=\"" + name + "\"><Definition surfType=\"TIN\"><Pnts><P id=\"" + id +
               "\">0 0 " + z + "</P><P id=\"a\">0 1 1</P><P id=\"b\">1 0 1</P></Pnts><Faces><F>" +
               id + " a b</F></Faces></Definition></Surface>";
    };
    const auto doc = [](const std::string& body) { return "<LandXML>" + body + "</LandXML>"; };
    const struct {
        std::string bytes;
        std::string message; // "" when read
    } cases[] = {
        {nested(256, true), ""},
        {nested(257, true), "f の 1 行目: 要素の入れ子が深すぎます（256 段までです）"},
        {nested(3'000'000, false), "要素の入れ子が深すぎます"},
        {doc(surface("s", std::string(256, '7'))), ""},
        {doc(surface("s", std::string(257, '7'))),
         "点（P）の id が長すぎます（256 バイトまでです）"},
        {doc(surface(std::string(17 << 20, 'n'))),
         "f の 1 行目: タグかコメントが長すぎます（16 MB を超えています）"},
        {"<LandXML>\n<!--" + std::string(17 << 20, 'c') + "-->", "f の 2 行目: タグかコメント"},
        {doc(surface("s", "1", "１")), "点（P） の座標が全角の数字です（「１」）"},
        {doc(surface("s", "1", "-1e400")), "点（P） の座標が大きすぎます（「-1e400」）"},
    };
    for (const auto& c : cases) {
        const std::string m = Refusal(TSurveyFileKind::LandXml, c.bytes);
        if (c.message.empty())
            EXPECT_EQ(m, "");
        else
            EXPECT_NE(m.find(c.message), std::string::npos) << m << "\nexpected: " << c.message;
    }

    std::string longName;
    for (int i = 0; i < 300'000; ++i)
        longName += "名";
    const TSurveyFile f = ReadLandXmlBytes(
        doc(surface(longName) + surface("A") + surface("A") + surface("A (2)") + surface("A") +
            surface("CgPoints") + "<CgPoints><CgPoint>5 5 5</CgPoint></CgPoints>"),
        "f");
    std::vector<std::string> names;
    for (const TSurveySurface& s : f.Surfaces)
        names.push_back(s.Name);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_LE(names[0].size(), 256u + std::strlen("…"));
    EXPECT_EQ(names[0], longName.substr(0, 255) + "…"); // 85 whole characters
    EXPECT_EQ(
        std::vector<std::string>(names.begin() + 1, names.end()),
        (std::vector<std::string>{"A", "A (2)", "A (2) (2)", "A (3)", "CgPoints", "CgPoints (2)"}));
}

// A file of many surfaces is listed by its first few names and the count; a name asked for is
// echoed cut.
TEST_F(Survey, ManySurfacesAreListedShort) {
    std::string xml = "<LandXML><Surfaces>";
    for (int i = 1; i <= 12; ++i)
        xml += "<Surface name=\"面" + std::to_string(i) +
               "\"><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 1</P><P id=\"2\">0 9 1</P>"
               "<P id=\"3\">9 0 1</P></Pnts><Faces><F>1 2 3</F></Faces></Definition></Surface>";
    xml += "</Surfaces></LandXML>";
    const std::string path = Write("many.xml", xml);
    const struct {
        std::string surface;
        std::string message;
    } cases[] = {
        {"", "には面が「面1」、「面2」、「面3」、「面4」、「面5」ほか 7 面（全 12 面）とあります"},
        {std::string(5000, 'x'), "に面「" + std::string(256, 'x') +
                                     "…」がありません（あるのは「面1」、「面2」、「面3」、「面4」、"
                                     "「面5」ほか 7 面（全 12 面））"},
    };
    for (const auto& c : cases) {
        TSurveyImportOptions o;
        o.Ground = {path, TSurveyFileKind::LandXml, c.surface};
        o.Frame = {0, 0, 0, 1};
        try {
            TSurveyImport(TInputData(), o);
            ADD_FAILURE() << c.message;
        } catch (const EFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_LT(std::strlen(e.what()), 1000u);
        }
    }
    TSurveyImportOptions o;
    o.Ground = {path, TSurveyFileKind::LandXml, "面12"};
    o.Frame = {0, 0, 0, 1};
    EXPECT_EQ(TSurveyImport(TInputData(), o).Summary().Ground.Surface, "面12");
}

// No name can forge a key of the stored georeference: a path with line breaks, tabs and "%"
// comes back whole and the place stays; a text of the first version, fields raw, still reads.
TEST(SurveyGeoreference, NamesCannotForgeKeys) {
    TSurveyGeoreference geo;
    geo.Frame.N0 = 100;
    geo.Frame.E0 = 200;
    geo.Frame.Angle = 0;
    geo.Frame.Span = 10;
    const std::string forged = "/tmp/x\norigin 5 5\nangle 33\n.csv";
    const std::string odd = "/tmp/a\tb 50%25 100%.xml";
    geo.Sources = {SurveySourceLine({"ground", "points", "", forged}),
                   SurveySourceLine({"plan", "landxml", "面\n1", odd})};
    const std::string text = EncodeSurveyGeoreference(geo);
    EXPECT_EQ(text.rfind("doryou-survey 2\n", 0), 0u);
    TSurveyGeoreference back;
    ASSERT_TRUE(DecodeSurveyGeoreference(text, back));
    EXPECT_EQ(back.Frame.N0, 100);
    EXPECT_EQ(back.Frame.E0, 200);
    EXPECT_EQ(back.Frame.Angle, 0);
    ASSERT_EQ(back.Sources.size(), 2u);
    EXPECT_EQ(SurveySourceFields(back.Sources[0]),
              (std::vector<std::string>{"ground", "points", "", forged}));
    EXPECT_EQ(SurveySourceFields(back.Sources[1]),
              (std::vector<std::string>{"plan", "landxml", "面\n1", odd}));

    // The summary shows such a name without its line breaks or escapes.
    TSurveyImportSummary summary;
    summary.Ground.Path = forged + "\x1b[2J";
    const std::string text2 = SurveyImportSummaryText(summary);
    EXPECT_NE(text2.find("x\\x0Aorigin 5 5\\x0Aangle 33\\x0A.csv\\x1B[2J"), std::string::npos)
        << text2;
    EXPECT_EQ(text2.find('\x1b'), std::string::npos);

    // Plain names keep the first version's text, byte for byte.
    geo.Sources = {SurveySourceLine({"ground", "sima", "", "/data/g.sim"})};
    EXPECT_EQ(EncodeSurveyGeoreference(geo).rfind("doryou-survey 1\n", 0), 0u);
    ASSERT_TRUE(DecodeSurveyGeoreference(
        "doryou-survey 1\norigin 1 2\nsource\tplan\tpoints\t\t/d/50%41\tx.csv\n", back));
    ASSERT_EQ(back.Sources.size(), 1u);
    EXPECT_EQ(SurveySourceFields(back.Sources[0]),
              (std::vector<std::string>{"plan", "points", "", "/d/50%41\tx.csv"}));
}
