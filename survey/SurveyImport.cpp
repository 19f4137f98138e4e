#include "survey/SurveyImport.h"

#include "survey/SurveyReader.h"
#include "survey/SurveyText.h"

#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <unistd.h>

const char* const SurveyTagName = "survey";

namespace {

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
        throw EFailure(ShownFileName(src.Path) + " に使える面（TIN の面か点）がありません。");
    if (!src.Surface.empty()) {
        for (const TSurveySurface& s : f.Surfaces)
            if (s.Name == src.Surface)
                return s;
        if (f.Kind == TSurveyFileKind::LandXml)
            throw EFailure(ShownFileName(src.Path) + " に面「" + SurveyShortText(src.Surface, 256) +
                           "」がありません（あるのは" + Join(SurveySurfaceNames(f)) + "）。");
    }
    if (f.Surfaces.size() > 1)
        throw EFailure(ShownFileName(src.Path) + " には面が" + Join(SurveySurfaceNames(f)) +
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
    r.Tin = BuildSurveyTin(s, o.MaxEdge, ShownFileName(src.Path), Part(p, 0.7, 1.0));
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
    m.RepeatedFaces = r.Tin.RepeatedFaces;
    return r;
}

// The memory of this machine, or of the control group the program runs in when that is less.
uint64_t MachineMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    uint64_t bytes = pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * size : 0;
    std::ifstream limit("/sys/fs/cgroup/memory.max");
    uint64_t group = 0;
    if (limit >> group && group > 0 && (bytes == 0 || group < bytes))
        bytes = group;
    return bytes;
}

std::string Gigabytes(double bytes) {
    return bytes >= 1e9 ? StrFormat("%.1f GB", bytes / 1e9) : StrFormat("%.0f MB", bytes / 1e6);
}

// Each imported point is held as a height a surface until it is registered, then as a record
// of the project and of its file.
constexpr double kPointBytes = sizeof(TGridData) + 80.0;

// Refuses, before any sampling, an import whose block and points would not fit the memory: the
// block holds a height a grid point while a surface is sampled, and the ground's triangles can
// cover no more grid points than their area and half their perimeter (in grid units) and one
// each.
void CheckMemory(const TSurveyGrid& grid, const TSurveyTin& tin, const TSurveyImportOptions& o) {
    const double cells = static_cast<double>(grid.NI) * static_cast<double>(grid.NJ);
    double covered = 0.0;
    const auto& P = tin.Points;
    for (const auto& t : tin.Triangles) {
        const TSurveyPoint &a = P[static_cast<size_t>(t[0])], &b = P[static_cast<size_t>(t[1])],
                           &c = P[static_cast<size_t>(t[2])];
        const double area = std::fabs((b.E - a.E) * (c.N - a.N) - (b.N - a.N) * (c.E - a.E)) / 2.0;
        const double perimeter = std::hypot(a.N - b.N, a.E - b.E) +
                                 std::hypot(b.N - c.N, b.E - c.E) +
                                 std::hypot(c.N - a.N, c.E - a.E);
        covered += area / (o.Frame.Span * o.Frame.Span) + perimeter / o.Frame.Span / 2.0 + 1.0;
    }
    const double points = std::min(cells, covered);
    const double surfaces = 1.0 + (o.HasPlan ? 1.0 : 0.0) + static_cast<double>(o.Layers.size());
    const double need = cells * sizeof(double) + points * (surfaces * sizeof(double) + kPointBytes);
    const uint64_t machine = o.MemoryLimit > 0 ? 0 : MachineMemory();
    const double limit = o.MemoryLimit > 0 ? static_cast<double>(o.MemoryLimit) : machine / 2.0;
    if (limit <= 0.0 || need <= limit)
        return;
    const std::string whose =
        machine > 0 ? "（このコンピューターのメモリー " + Gigabytes(machine) + " の半分）" : "";
    throw EFailure(StrFormat("取り込む範囲のメッシュ点はおよそ %.0f 点で、取り込みにおよそ %s の"
                             "メモリーが要りますが、使えるのは %s までです%s。メッシュ間隔を"
                             "大きくするか、範囲を分けて取り込んでください。",
                             points, Gigabytes(need).c_str(), Gigabytes(limit).c_str(),
                             whose.c_str()));
}

// The boundaries as the data listing and the check name them: layer 2's top elevation onwards.
const char* const kBoundaryNames[] = {"２層標高", "３層標高", "４層標高", "５層標高"};

void SurfaceLines(std::string& out, const char* role, const TSurveySurfaceSummary& s) {
    out += StrFormat("%s: %s", role, ShownFileName(s.Path).c_str());
    if (!s.Surface.empty())
        out += "（面「" + s.Surface + "」）";
    out += StrFormat("  点 %lld、三角形 %lld\n", static_cast<long long>(s.Points),
                     static_cast<long long>(s.Triangles));
    if (s.Duplicates > 0)
        out += StrFormat("  位置の重なる点 %lld 点を除きました（うち高さの違うもの %lld 点）。\n",
                         static_cast<long long>(s.Duplicates), static_cast<long long>(s.Conflicts));
    if (s.Conflicts > 0)
        out +=
            StrFormat("  高さの違う重なりはファイルで先の点の高さを使いました"
                      "（例: X %.3f, Y %.3f で %.3f を使い %.3f を除外）。\n",
                      s.FirstConflict.N, s.FirstConflict.E, s.FirstConflictKept, s.FirstConflict.Z);
    if (s.LongEdges > 0)
        out += StrFormat("  最大辺長を超える三角形 %lld を除きました。\n",
                         static_cast<long long>(s.LongEdges));
    if (s.InvisibleFaces > 0)
        out += StrFormat("  非表示の三角形 %lld を除きました。\n",
                         static_cast<long long>(s.InvisibleFaces));
    if (s.RepeatedFaces > 0)
        out += StrFormat("  同じ 3 点を結ぶ三角形の繰り返し %lld を除きました。\n",
                         static_cast<long long>(s.RepeatedFaces));
    if (s.Overlaps > 0)
        out += StrFormat("  三角形が重なり合う所のメッシュ点 %lld 点は、ファイルで先の三角形の高さ"
                         "を使いました。\n",
                         static_cast<long long>(s.Overlaps));
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
    for (size_t k = 0; k < m.Boundaries.size() && k < 4; ++k)
        SurfaceLines(out, kBoundaryNames[k], m.Boundaries[k].Surface);
    out += StrFormat("メッシュ点: 新規 %lld、更新 %lld、範囲外の既存メッシュ %lld（変更なし）",
                     static_cast<long long>(m.NewMeshes), static_cast<long long>(m.UpdatedMeshes),
                     static_cast<long long>(m.OutsideMeshes));
    if (m.HasPlan)
        out += StrFormat("、計画面の範囲外 %lld", static_cast<long long>(m.PlanNotCovered));
    out += "\n";
    for (size_t k = 0; k < m.Boundaries.size() && k < 4; ++k) {
        const TSurveyBoundarySummary& b = m.Boundaries[k];
        if (b.NotCovered == 0)
            continue;
        out += StrFormat("%sの面の範囲外のメッシュ点 %lld: ", kBoundaryNames[k],
                         static_cast<long long>(b.NotCovered));
        if (b.Unset > 0)
            out += StrFormat("新しい %lld 点は標高なし（データチェックで示されます）",
                             static_cast<long long>(b.Unset));
        if (b.NotCovered > b.Unset)
            out += StrFormat("%s既存の %lld 点は元の値のまま", b.Unset > 0 ? "、" : "",
                             static_cast<long long>(b.NotCovered - b.Unset));
        out += "。\n";
    }
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
    // A boundary of a layer the project does not have would be neither calculated nor checked.
    const size_t boundaries = static_cast<size_t>(std::clamp(Data.Layer(), 1, 5) - 1);
    if (o.Layers.size() > boundaries)
        throw EFailure(
            boundaries == 0
                ? std::string("このプロジェクトは 1 層なので、層の境界標高は取り込めません。")
                : StrFormat("このプロジェクトは %d 層なので、層の境界標高は %zu 面までです。",
                            Data.Layer(), boundaries));

    const int steps = 1 + (o.HasPlan ? 1 : 0) + static_cast<int>(o.Layers.size());
    const double share = 0.9 / steps;
    TSampled ground = ReadSurface(o.Ground, o, Part(Progress, 0.0, share * 0.7));
    TSurveyGrid grid = SurveyGridBox(ground.Tin, frame);
    CheckMemory(grid, ground.Tin, o);
    FSummary.Ground = ground.Summary;
    FSummary.Ground.Overlaps =
        SampleSurveyTin(ground.Tin, frame, grid, Part(Progress, share * 0.7, share * 0.9),
                        ShownFileName(o.Ground.Path));
    ground.Tin = {};

    // The live points of the project within the block, by place (the last one at a place counts).
    struct TExisting {
        int32_t Y, X, Index;
    };
    std::vector<TExisting> existing;
    int64_t live = 0;
    const std::vector<TGridData>& list = Data.GridList();
    for (size_t i = 0; i < list.size(); ++i) {
        const TGridData& g = list[i];
        if (g.DelFlg)
            continue;
        ++live;
        if (g.X >= grid.I0 && g.X < grid.I0 + grid.NI && g.Y >= grid.J0 && g.Y < grid.J0 + grid.NJ)
            existing.push_back({g.Y, g.X, static_cast<int32_t>(i)});
    }
    std::sort(existing.begin(), existing.end(), [](const TExisting& a, const TExisting& b) {
        return a.Y != b.Y ? a.Y < b.Y : a.X != b.X ? a.X < b.X : a.Index < b.Index;
    });

    // The points the ground covers, in rows of neighbours, with their ground heights.
    const TSurveyProgress collect = Part(Progress, share * 0.9, share);
    FGround.reserve(static_cast<size_t>(
        std::count_if(grid.Z.begin(), grid.Z.end(), [](double z) { return !std::isnan(z); })));
    FUpdates.reserve(existing.size());
    size_t next = 0;
    int64_t looked = 0;
    for (int64_t j = grid.J0; j < grid.J0 + grid.NJ; ++j) {
        const double* row = grid.Z.data() + (j - grid.J0) * grid.NI;
        for (int64_t i = grid.I0; i < grid.I0 + grid.NI; ++i) {
            if ((++looked & (SurveySampleStep - 1)) == 0)
                ReportProgress(collect, static_cast<double>(j - grid.J0) / grid.NJ);
            const double gh = row[i - grid.I0];
            if (std::isnan(gh))
                continue;
            const int32_t x = static_cast<int32_t>(i), y = static_cast<int32_t>(j);
            if (FRuns.empty() || FRuns.back().Y != y || FRuns.back().X0 + FRuns.back().Count != x)
                FRuns.push_back({y, x, 0});
            ++FRuns.back().Count;
            const int64_t at = static_cast<int64_t>(FGround.size());
            FGround.push_back(gh);
            while (next < existing.size() &&
                   (existing[next].Y < y || (existing[next].Y == y && existing[next].X < x)))
                ++next;
            int32_t index = -1;
            for (; next < existing.size() && existing[next].Y == y && existing[next].X == x; ++next)
                index = existing[next].Index;
            if (index >= 0)
                FUpdates.push_back({at, index});
        }
    }
    existing = {};
    if (FGround.empty())
        throw EFailure(ShownFileName(o.Ground.Path) +
                       " の地盤面はメッシュ点を 1 つも覆っていません。原点、回転角、"
                       "メッシュ間隔と座標の順序を確かめてください。");
    FSummary.UpdatedMeshes = static_cast<int64_t>(FUpdates.size());
    FSummary.NewMeshes = static_cast<int64_t>(FGround.size()) - FSummary.UpdatedMeshes;
    FSummary.OutsideMeshes = live - FSummary.UpdatedMeshes;
    FSummary.MinX = FSummary.MinY = INT32_MAX;
    FSummary.MaxX = FSummary.MaxY = INT32_MIN;
    for (const TRun& r : FRuns) {
        FSummary.MinX = std::min(FSummary.MinX, r.X0);
        FSummary.MaxX = std::max(FSummary.MaxX, r.X0 + r.Count - 1);
        FSummary.MinY = std::min(FSummary.MinY, r.Y);
        FSummary.MaxY = std::max(FSummary.MaxY, r.Y);
    }

    // The other surfaces on the ground's block, kept at the ground's points: NaN where one
    // does not cover a point. Counts the points each leaves, and of them the new ones.
    const auto sampleOn = [&](const TSurveySource& src, int step, TSurveySurfaceSummary& m,
                              std::vector<double>& z, int64_t& outside, int64_t& outsideNew) {
        const double from = share * step;
        TSampled s = ReadSurface(src, o, Part(Progress, from, from + share * 0.7));
        m = s.Summary;
        m.Overlaps =
            SampleSurveyTin(s.Tin, frame, grid, Part(Progress, from + share * 0.7, from + share),
                            ShownFileName(src.Path));
        z.resize(FGround.size());
        size_t k = 0, update = 0;
        for (const TRun& r : FRuns)
            for (int32_t x = r.X0; x < r.X0 + r.Count; ++x, ++k) {
                if ((k & (SurveySampleStep - 1)) == 0)
                    ReportProgress(Progress, from + share);
                z[k] = grid.At(x, r.Y);
                const bool updated =
                    update < FUpdates.size() && FUpdates[update].first == static_cast<int64_t>(k);
                update += updated ? 1 : 0;
                if (std::isnan(z[k])) {
                    ++outside;
                    outsideNew += updated ? 0 : 1;
                }
            }
    };
    if (o.HasPlan) {
        int64_t outsideNew = 0;
        sampleOn(o.Plan, 1, FSummary.Plan, FPlan, FSummary.PlanNotCovered, outsideNew);
        FSummary.HasPlan = true;
    }
    FLayers.resize(o.Layers.size());
    FSummary.Boundaries.resize(o.Layers.size());
    for (size_t k = 0; k < o.Layers.size(); ++k) {
        TSurveyBoundarySummary& b = FSummary.Boundaries[k];
        sampleOn(o.Layers[k], 1 + (o.HasPlan ? 1 : 0) + static_cast<int>(k), b.Surface, FLayers[k],
                 b.NotCovered, b.Unset);
    }
    grid = {};

    TSurveyGeoreference geo;
    geo.Frame = frame;
    geo.MaxEdge = o.MaxEdge;
    const auto source = [&](const char* role, const TSurveySource& s) {
        geo.Sources.push_back(
            SurveySourceLine({role, SurveyFileKindName(s.Kind), s.Surface, s.Path}));
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
    size_t k = 0, update = 0;
    for (const TRun& r : FRuns)
        for (int32_t x = r.X0; x < r.X0 + r.Count; ++x, ++k) {
            const bool updated =
                update < FUpdates.size() && FUpdates[update].first == static_cast<int64_t>(k);
            TGridData d = Data.GetIndexToData(updated ? FUpdates[update++].second : -1);
            if (!updated)
                d.Index = 0;
            d.X = x;
            d.Y = r.Y;
            d.GH = FGround[k];
            const double fh = FPlan.empty() ? NAN : FPlan[k];
            if (!std::isnan(fh))
                d.FH = fh;
            else if (!updated)
                d.FH = d.GH; // no plan there yet: no work
            // A boundary that does not reach a new point leaves it without an elevation, which
            // the data check names, rather than the standard 0 m that would read as a level.
            for (size_t m = 0; m < FLayers.size(); ++m)
                if (!std::isnan(FLayers[m][k]) || !updated)
                    d.LAYER[m + 1] = FLayers[m][k];
            Data.SetMeshData(d);
        }
}

namespace {

bool NeedsEscape(unsigned char C) {
    return C < 0x20 || C == 0x7F || C == '%';
}

std::string EscapeField(std::string_view Field) {
    std::string out;
    out.reserve(Field.size());
    for (const char ch : Field) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c))
            out += StrFormat("%%%02X", c);
        else
            out += ch;
    }
    return out;
}

std::string UnescapeField(std::string_view Field) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < Field.size(); ++i) {
        if (Field[i] == '%' && i + 2 < Field.size() && hex(Field[i + 1]) >= 0 &&
            hex(Field[i + 2]) >= 0) {
            out += static_cast<char>(hex(Field[i + 1]) * 16 + hex(Field[i + 2]));
            i += 2;
        } else {
            out += Field[i];
        }
    }
    return out;
}

std::vector<std::string_view> SplitTabs(std::string_view Line) {
    std::vector<std::string_view> parts;
    size_t at = 0;
    for (;;) {
        const size_t tab = Line.find('\t', at);
        parts.push_back(Line.substr(at, tab == std::string_view::npos ? tab : tab - at));
        if (tab == std::string_view::npos)
            return parts;
        at = tab + 1;
    }
}

} // namespace

std::string SurveySourceLine(const std::vector<std::string>& Fields) {
    std::string line;
    for (size_t i = 0; i < Fields.size(); ++i)
        line += (i ? "\t" : "") + EscapeField(Fields[i]);
    return line;
}

std::vector<std::string> SurveySourceFields(std::string_view Line) {
    std::vector<std::string> fields;
    for (std::string_view part : SplitTabs(Line))
        fields.push_back(UnescapeField(part));
    return fields;
}

std::string EncodeSurveyGeoreference(const TSurveyGeoreference& g) {
    // Version 2 only when a field had to be escaped: other files stay as they always were.
    bool escaped = false;
    for (const std::string& src : g.Sources)
        escaped = escaped || src.find('%') != std::string::npos;
    std::string s = escaped ? "doryou-survey 2\n" : "doryou-survey 1\n";
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
    bool first = true, raw = false;
    while (pos < t.size()) {
        const size_t end = std::min(t.find('\n', pos), t.size());
        const std::string_view line = t.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != "doryou-survey 1" && line != "doryou-survey 2")
                return false;
            raw = line == "doryou-survey 1";
            first = false;
            continue;
        }
        const size_t sp = line.find_first_of(" \t");
        const std::string_view key = line.substr(0, sp);
        const std::string_view rest = sp == std::string_view::npos ? "" : line.substr(sp + 1);
        if (key == "source") {
            if (raw) {
                // Fields as they were: escaped now, so that a "%" in a name stays itself.
                std::vector<std::string> fields;
                for (std::string_view part : SplitTabs(rest)) {
                    if (fields.size() == 4) // the path is last and may hold tabs
                        fields.back() += "\t" + std::string(part);
                    else
                        fields.emplace_back(part);
                }
                r.Sources.push_back(SurveySourceLine(fields));
            } else {
                r.Sources.emplace_back(rest);
            }
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
