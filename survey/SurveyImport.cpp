#include "survey/SurveyImport.h"

#include "survey/SurveyReader.h"
#include "survey/SurveyText.h"

#include "platform/Failure.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

const char* const SurveyTagName = "survey";

namespace {

int64_t Key(int64_t x, int64_t y) {
    return static_cast<int64_t>(static_cast<uint64_t>(x) << 32 | static_cast<uint32_t>(y));
}

// The first few names and how many more: a file may hold thousands of surfaces.
std::string Join(const std::vector<std::string>& names) {
    constexpr size_t kShown = 5;
    std::string s;
    for (size_t i = 0; i < names.size() && i < kShown; ++i)
        s += (s.empty() ? "「" : "、「") + names[i] + "」";
    if (names.size() > kShown)
        s += StrFormat("ほか %zu 面（全 %zu 面）", names.size() - kShown, names.size());
    return s;
}

const TSurveySurface& PickSurface(const TSurveyFile& f, const TSurveySource& src) {
    if (f.Surfaces.empty())
        throw EFailure(src.Path + " に使える面（TIN の面か点）がありません。");
    if (!src.Surface.empty()) {
        for (const TSurveySurface& s : f.Surfaces)
            if (s.Name == src.Surface)
                return s;
        if (f.Kind == TSurveyFileKind::LandXml)
            throw EFailure(src.Path + " に面「" + SurveyShortText(src.Surface, 256) +
                           "」がありません（あるのは" + Join(SurveySurfaceNames(f)) + "）。");
    }
    if (f.Surfaces.size() > 1)
        throw EFailure(src.Path + " には面が" + Join(SurveySurfaceNames(f)) +
                       "とあります。使う面を指定してください。");
    return f.Surfaces.front();
}

// Progress of one step mapped onto its share of the whole.
TSurveyProgress Part(const TSurveyProgress& p, double from, double to) {
    if (!p)
        return {};
    return [p, from, to](double d) { return p(from + (to - from) * d); };
}

struct TSampled {
    TSurveySurfaceSummary Summary;
    TSurveyTin Tin;
};

TSampled ReadSurface(const TSurveySource& src, const TSurveyImportOptions& o,
                     const TSurveyProgress& p) {
    const TSurveyFile f = ReadSurveyFile(src.Path, src.Kind, o.Order, Part(p, 0.0, 0.7));
    const TSurveySurface& s = PickSurface(f, src);
    if (p && !p(0.7))
        throw ESurveyCancelled{};
    TSampled r;
    r.Tin = BuildSurveyTin(s, o.MaxEdge, src.Path);
    TSurveySurfaceSummary& m = r.Summary;
    m.Path = src.Path;
    m.Surface = f.Kind == TSurveyFileKind::LandXml ? s.Name : std::string();
    m.Points = r.Tin.InputPoints;
    m.Triangles = static_cast<int64_t>(r.Tin.Triangles.size());
    m.Duplicates = r.Tin.DuplicatePoints;
    m.Conflicts = r.Tin.ConflictingDuplicates;
    m.FirstConflict = r.Tin.FirstConflict;
    m.FirstConflictKept = r.Tin.FirstConflictKept;
    m.LongEdges = r.Tin.DroppedLongEdges;
    m.SkippedRecords = f.SkippedRecords;
    m.SkippedHeadings = f.SkippedHeadings;
    m.InvisibleFaces = s.SkippedFaces;
    return r;
}

void SurfaceLines(std::string& out, const char* role, const TSurveySurfaceSummary& s) {
    out += StrFormat("%s: %s", role, s.Path.c_str());
    if (!s.Surface.empty())
        out += "（面「" + s.Surface + "」）";
    out += StrFormat("  点 %lld、三角形 %lld\n", static_cast<long long>(s.Points),
                     static_cast<long long>(s.Triangles));
    if (s.Duplicates > 0)
        out += StrFormat("  位置の重なる点 %lld 点を除きました（うち高さの違うもの %lld 点）。\n",
                         static_cast<long long>(s.Duplicates), static_cast<long long>(s.Conflicts));
    if (s.Conflicts > 0)
        out += StrFormat("  高さの違う重なりはファイルで先の点の高さを使いました"
                         "（例: X %.3f, Y %.3f で %.3f を使い %.3f を除外）。\n",
                         s.FirstConflict.N, s.FirstConflict.E, s.FirstConflictKept,
                         s.FirstConflict.Z);
    if (s.LongEdges > 0)
        out += StrFormat("  最大辺長を超える三角形 %lld を除きました。\n",
                         static_cast<long long>(s.LongEdges));
    if (s.InvisibleFaces > 0)
        out += StrFormat("  非表示の三角形 %lld を除きました。\n",
                         static_cast<long long>(s.InvisibleFaces));
    if (s.SkippedRecords > 0)
        out += StrFormat("  読み飛ばしたレコード（点以外、高さのない点）%lld 件。\n",
                         static_cast<long long>(s.SkippedRecords));
    if (s.SkippedHeadings > 0)
        out += StrFormat("  数値のない見出し行 %lld 行を読み飛ばしました。\n",
                         static_cast<long long>(s.SkippedHeadings));
}

bool ParseDouble(std::string_view s, double& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

} // namespace

std::vector<std::string> SurveySurfaceNames(const TSurveyFile& File) {
    std::vector<std::string> names;
    for (const TSurveySurface& s : File.Surfaces)
        names.push_back(File.Kind == TSurveyFileKind::LandXml ? s.Name : std::string());
    return names;
}

std::string SurveyImportSummaryText(const TSurveyImportSummary& m) {
    std::string out;
    SurfaceLines(out, "地盤", m.Ground);
    if (m.HasPlan)
        SurfaceLines(out, "計画", m.Plan);
    out += StrFormat("メッシュ点: 新規 %lld、更新 %lld、範囲外の既存メッシュ %lld（変更なし）",
                     static_cast<long long>(m.NewMeshes), static_cast<long long>(m.UpdatedMeshes),
                     static_cast<long long>(m.OutsideMeshes));
    if (m.HasPlan)
        out += StrFormat("、計画面の範囲外 %lld", static_cast<long long>(m.PlanNotCovered));
    out += "\n";
    if (m.NewMeshes + m.UpdatedMeshes > 0)
        out += StrFormat("範囲: X %d～%d、Y %d～%d\n", m.MinX, m.MaxX, m.MinY, m.MaxY);
    return out;
}

TSurveyImport::TSurveyImport(const TInputData& Data, const TSurveyImportOptions& o,
                             const TSurveyProgress& Progress) {
    const TMeshFrame& frame = o.Frame;
    if (!(frame.Span > 0.0) || !std::isfinite(frame.Span))
        throw EFailure("メッシュ間隔は正の数で指定してください。");
    if (!std::isfinite(frame.N0) || !std::isfinite(frame.E0) || !std::isfinite(frame.Angle))
        throw EFailure("原点と回転角は有限の数値で指定してください。");
    if (!(o.MaxEdge >= 0.0) || !std::isfinite(o.MaxEdge))
        throw EFailure("最大辺長は 0 以上の数値で指定してください（0 は制限なし）。");
    if (!o.Layers.empty() && Data.SolidType() != 1)
        throw EFailure("層の境界標高は、層データを標高で入力する設定のときだけ取り込めます。");
    if (o.Layers.size() > 4)
        throw EFailure("層の境界標高は 4 面までです。");

    const int steps = 1 + (o.HasPlan ? 1 : 0) + static_cast<int>(o.Layers.size());
    const double share = 0.9 / steps;
    TSampled ground = ReadSurface(o.Ground, o, Part(Progress, 0.0, share * 0.8));
    TSurveyGrid gz = SurveyGridBox(ground.Tin, frame);
    SampleSurveyTin(ground.Tin, frame, gz, Part(Progress, share * 0.8, share));
    FSummary.Ground = ground.Summary;
    ground.Tin = {};

    // The other surfaces on the ground's block.
    const auto sampleOn = [&](const TSurveySource& src, int step, TSurveySurfaceSummary* m) {
        const double from = share * step;
        TSampled s = ReadSurface(src, o, Part(Progress, from, from + share * 0.8));
        TSurveyGrid g = gz;
        SampleSurveyTin(s.Tin, frame, g, Part(Progress, from + share * 0.8, from + share));
        if (m)
            *m = s.Summary;
        return g;
    };
    TSurveyGrid pz, lz[4];
    if (o.HasPlan) {
        pz = sampleOn(o.Plan, 1, &FSummary.Plan);
        FSummary.HasPlan = true;
    }
    for (size_t k = 0; k < o.Layers.size(); ++k)
        lz[k] = sampleOn(o.Layers[k], 1 + (o.HasPlan ? 1 : 0) + static_cast<int>(k), nullptr);

    std::unordered_map<int64_t, int32_t> existing;
    const auto& list = Data.GridList();
    existing.reserve(list.size());
    int64_t live = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].DelFlg) {
            existing[Key(list[i].X, list[i].Y)] = static_cast<int32_t>(i); // the last one counts
            ++live;
        }

    bool any = false;
    for (int64_t j = gz.J0; j < gz.J0 + gz.NJ; ++j)
        for (int64_t i = gz.I0; i < gz.I0 + gz.NI; ++i) {
            const double gh = gz.At(i, j);
            if (std::isnan(gh))
                continue;
            const auto it = existing.find(Key(i, j));
            TGridData d = Data.GetIndexToData(it == existing.end() ? -1 : it->second);
            if (it == existing.end()) {
                d.Index = 0;
                ++FSummary.NewMeshes;
            } else {
                ++FSummary.UpdatedMeshes;
            }
            d.X = static_cast<int32_t>(i);
            d.Y = static_cast<int32_t>(j);
            d.GH = gh;
            if (o.HasPlan) {
                const double fh = pz.At(i, j);
                if (!std::isnan(fh))
                    d.FH = fh;
                else {
                    ++FSummary.PlanNotCovered;
                    if (d.Index == 0)
                        d.FH = gh;
                }
            } else if (d.Index == 0) {
                d.FH = gh; // no plan yet: no work there
            }
            for (size_t k = 0; k < o.Layers.size(); ++k) {
                const double lh = lz[k].At(i, j);
                if (!std::isnan(lh))
                    d.LAYER[k + 1] = lh;
            }
            if (!any) {
                FSummary.MinX = FSummary.MaxX = d.X;
                FSummary.MinY = FSummary.MaxY = d.Y;
                any = true;
            }
            FSummary.MinX = std::min(FSummary.MinX, d.X);
            FSummary.MaxX = std::max(FSummary.MaxX, d.X);
            FSummary.MinY = std::min(FSummary.MinY, d.Y);
            FSummary.MaxY = std::max(FSummary.MaxY, d.Y);
            FRecords.push_back(d);
        }
    if (!any)
        throw EFailure(o.Ground.Path +
                       " の地盤面はメッシュ点を 1 つも覆っていません。原点、回転角、"
                       "メッシュ間隔と座標の順序を確かめてください。");
    FSummary.OutsideMeshes = live - FSummary.UpdatedMeshes;

    TSurveyGeoreference geo;
    geo.Frame = frame;
    geo.MaxEdge = o.MaxEdge;
    const auto source = [&](const char* role, const TSurveySource& s) {
        geo.Sources.push_back(std::string(role) + "\t" + SurveyFileKindName(s.Kind) + "\t" +
                              s.Surface + "\t" + s.Path);
    };
    source("ground", o.Ground);
    if (o.HasPlan)
        source("plan", o.Plan);
    for (const TSurveySource& l : o.Layers)
        source("layer", l);
    FGeoreference = EncodeSurveyGeoreference(geo);
    if (Progress && !Progress(1.0))
        throw ESurveyCancelled{};
}

void TSurveyImport::Apply(TInputData& Data) const {
    // What can fail for memory comes before the first point changes.
    Data.ReserveMeshes(static_cast<size_t>(FSummary.NewMeshes));
    Data.SetTag(SurveyTagName, FGeoreference);
    for (TGridData d : FRecords)
        Data.SetMeshData(d);
}

std::string EncodeSurveyGeoreference(const TSurveyGeoreference& g) {
    std::string s = "doryou-survey 1\n";
    s += StrFormat("origin %.17g %.17g\n", g.Frame.N0, g.Frame.E0);
    s += StrFormat("angle %.17g\nspan %.17g\nmax-edge %.17g\n", g.Frame.Angle, g.Frame.Span,
                   g.MaxEdge);
    for (const std::string& src : g.Sources)
        s += "source\t" + src + "\n";
    return s;
}

bool DecodeSurveyGeoreference(std::string_view t, TSurveyGeoreference& g) {
    TSurveyGeoreference r;
    size_t pos = 0;
    bool first = true;
    while (pos < t.size()) {
        const size_t end = std::min(t.find('\n', pos), t.size());
        const std::string_view line = t.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != "doryou-survey 1")
                return false;
            first = false;
            continue;
        }
        const size_t sp = line.find_first_of(" \t");
        const std::string_view key = line.substr(0, sp);
        const std::string_view rest = sp == std::string_view::npos ? "" : line.substr(sp + 1);
        if (key == "source") {
            r.Sources.emplace_back(rest);
            continue;
        }
        const size_t sp2 = rest.find(' ');
        const std::string_view a = rest.substr(0, sp2);
        const std::string_view b = sp2 == std::string_view::npos ? "" : rest.substr(sp2 + 1);
        bool ok = true;
        if (key == "origin")
            ok = ParseDouble(a, r.Frame.N0) && ParseDouble(b, r.Frame.E0);
        else if (key == "angle")
            ok = ParseDouble(a, r.Frame.Angle);
        else if (key == "span")
            ok = ParseDouble(a, r.Frame.Span);
        else if (key == "max-edge")
            ok = ParseDouble(a, r.MaxEdge);
        if (!ok)
            return false;
    }
    if (first)
        return false;
    g = std::move(r);
    return true;
}
