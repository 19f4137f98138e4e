#include "analysis/CutFillMap.h"

#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace {

// A round number (1, 2 or 5 times a power of ten) not below V.
double RoundStep(double V) {
    if (!(V > 0) || !std::isfinite(V))
        return 1;
    const double p = std::pow(10.0, std::floor(std::log10(V)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * p >= V * (1 - 1e-12))
            return m * p;
    return 10 * p;
}

// The decimals that write V (up to six): 0.25 needs two, 50 none.
int DecimalsFor(double V) {
    double scaled = std::fabs(V);
    for (int d = 0; d < 6; ++d, scaled *= 10)
        if (std::fabs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, scaled))
            return d;
    return 6;
}

bool InRange(int64_t V) {
    return V >= INT32_MIN && V <= INT32_MAX;
}

bool ScanLess(const TMapPoint& A, const TMapPoint& B) {
    return A.Y != B.Y ? A.Y < B.Y : A.X < B.X;
}

} // namespace

TCutFillMap::TCutFillMap(const TInputData& Data, TMapLayer Layer)
    : FLayer(Layer), FMeshSpan(Data.MeshSpan()) {
    if (Layer == TMapLayer::Height) {
        FPoints.reserve(Data.GridList().size());
        for (const TGridData& g : Data.GridList())
            if (!g.DelFlg)
                FPoints.push_back({g.X, g.Y, g.FH - g.GH});
    } else if (Data.GetPhase(2)) {
        FCellOffset = Data.CalcType() == 1 || Data.CalcType() == 2 ? 0.5 : 0;
        FPoints.reserve(Data.CalcList().size());
        for (const TGridCalcData& c : Data.CalcList())
            FPoints.push_back({c.X, c.Y, double(c.BV[1]) - double(c.CV[1][0])});
    }
    for (TMapPoint& p : FPoints)
        if (!std::isfinite(p.Value))
            p.Value = std::numeric_limits<double>::quiet_NaN();
    // Scan order (most lists come in it); of points sharing a place the later one stays, as in
    // the calculation.
    if (!std::is_sorted(FPoints.begin(), FPoints.end(), ScanLess))
        std::stable_sort(FPoints.begin(), FPoints.end(), ScanLess);
    size_t kept = 0;
    for (size_t i = 0; i < FPoints.size(); ++i)
        if (i + 1 == FPoints.size() || FPoints[i + 1].X != FPoints[i].X ||
            FPoints[i + 1].Y != FPoints[i].Y)
            FPoints[kept++] = FPoints[i];
    FPoints.resize(kept);
    FPoints.shrink_to_fit();
    FLow = std::numeric_limits<double>::infinity();
    FHigh = -FLow;
    for (size_t i = 0; i < FPoints.size(); ++i) {
        const TMapPoint& p = FPoints[i];
        if (std::isfinite(p.Value)) {
            FLow = std::min(FLow, p.Value);
            FHigh = std::max(FHigh, p.Value);
        }
        if (i == 0) {
            FMinX = FMaxX = p.X;
            FMinY = FMaxY = p.Y;
        }
        FMinX = std::min<int64_t>(FMinX, p.X);
        FMaxX = std::max<int64_t>(FMaxX, p.X);
    }
    if (!FPoints.empty()) {
        FMinY = FPoints.front().Y;
        FMaxY = FPoints.back().Y;
    }
    if (!(FLow <= FHigh)) {
        FLow = 0;
        FHigh = -1;
    }
}

size_t TCutFillMap::LowerBound(int64_t X, int64_t Y) const {
    // Places outside the 32-bit range come before or after every point of their row.
    if (X > INT32_MAX) {
        X = INT32_MIN;
        ++Y;
    }
    if (Y < INT32_MIN)
        return 0;
    if (Y > INT32_MAX)
        return FPoints.size();
    const TMapPoint at{int32_t(std::max<int64_t>(X, INT32_MIN)), int32_t(Y), 0};
    return size_t(std::lower_bound(FPoints.begin(), FPoints.end(), at, ScanLess) - FPoints.begin());
}

int TCutFillMap::IndexAt(int64_t X, int64_t Y) const {
    if (!InRange(X) || !InRange(Y))
        return -1;
    const size_t i = LowerBound(X, Y);
    return i < FPoints.size() && FPoints[i].X == X && FPoints[i].Y == Y ? static_cast<int>(i) : -1;
}

bool TCutFillMap::ValueAt(int64_t X, int64_t Y, double& Value) const {
    const int i = IndexAt(X, Y);
    if (i < 0)
        return false;
    Value = FPoints[size_t(i)].Value;
    return true;
}

std::vector<double> TCutFillMap::Breaks(int Classes) const {
    Classes = std::clamp(Classes, 1, 20);
    std::vector<double> sizes;
    sizes.reserve(FPoints.size());
    for (const TMapPoint& p : FPoints)
        if (std::isfinite(p.Value))
            sizes.push_back(std::abs(p.Value));
    double reach = 0;
    if (!sizes.empty()) {
        const size_t k = std::min(sizes.size() - 1, sizes.size() * 98 / 100);
        std::nth_element(sizes.begin(), sizes.begin() + k, sizes.end());
        reach = sizes[k];
    }
    if (!(reach > 0))
        reach = FLayer == TMapLayer::Height ? 1.0 : 100.0;
    // The smallest round step whose classes reach that far.
    const double raw = reach / Classes;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw * (1 - 1e-12)) {
            step = m * power;
            break;
        }
    std::vector<double> breaks;
    for (int k = Classes; k >= 1; --k)
        breaks.push_back(-k * step);
    for (int k = 1; k <= Classes; ++k)
        breaks.push_back(k * step);
    return breaks;
}

int TCutFillMap::ClassOf(double Value, const std::vector<double>& Breaks) {
    // Values on a break belong to the class above it; between -Step and +Step lies the middle.
    return static_cast<int>(std::upper_bound(Breaks.begin(), Breaks.end(), Value) - Breaks.begin());
}

template <class TCell> void TCutFillMap::ForEachCell(const TCell& Cell) const {
    const size_t count = FPoints.size();
    size_t above = 0; // the first point of the row above at or after X, moving forward only
    for (size_t i = 0; i + 1 < count; ++i) {
        const TMapPoint& p = FPoints[i];
        // The cell from this point to its neighbours at X + 1, Y + 1: the next point in the
        // row, and two neighbouring points of the next row.
        const int64_t x = p.X, y = p.Y;
        if (FPoints[i + 1].Y != y || FPoints[i + 1].X != x + 1 || y == INT32_MAX)
            continue;
        const TMapPoint next{p.X, int32_t(y + 1), 0};
        while (above < count && ScanLess(FPoints[above], next))
            ++above;
        if (above + 1 >= count || FPoints[above].Y != y + 1 || FPoints[above].X != x ||
            FPoints[above + 1].Y != y + 1 || FPoints[above + 1].X != x + 1)
            continue;
        // Corners counter-clockwise: (x, y), (x+1, y), (x+1, y+1), (x, y+1).
        const double v[4] = {p.Value, FPoints[i + 1].Value, FPoints[above + 1].Value,
                             FPoints[above].Value};
        if (std::all_of(std::begin(v), std::end(v), [](double d) { return std::isfinite(d); }))
            Cell(x, y, v);
    }
}

namespace {

// The pieces of the line at Level through the cell at (X, Y) with corner values V.
void MarchCell(int64_t X, int64_t Y, const double V[4], double Level,
               std::vector<TMapSegment>& Out) {
    // "Above" includes the level itself, so a line never runs along a cell's edge twice.
    const double cx[4] = {0, 1, 1, 0}, cy[4] = {0, 0, 1, 1};
    int code = 0;
    for (int k = 0; k < 4; ++k)
        if (V[k] >= Level)
            code |= 1 << k;
    if (code == 0 || code == 15)
        return;
    // Where the level crosses edge k (between corners k and k + 1), worked out from the corner
    // first in scan order: the cell across the edge finds the very same point, so that the
    // pieces join into lines.
    auto cross = [&](int k, double& CX, double& CY) {
        const int a = k < 2 ? k : (k + 1) % 4, b = k < 2 ? k + 1 : k;
        const double t = (Level - V[a]) / (V[b] - V[a]);
        CX = X + cx[a] + t * (cx[b] - cx[a]);
        CY = Y + cy[a] + t * (cy[b] - cy[a]);
    };
    auto segment = [&](int e1, int e2) {
        TMapSegment s;
        cross(e1, s.X1, s.Y1);
        cross(e2, s.X2, s.Y2);
        Out.push_back(s);
    };
    // The edges whose ends lie on different sides, in order round the cell.
    int edges[4], n = 0;
    for (int k = 0; k < 4; ++k)
        if (((code >> k) & 1) != ((code >> ((k + 1) % 4)) & 1))
            edges[n++] = k;
    if (n == 2) {
        segment(edges[0], edges[1]);
    } else {
        // A saddle: the centre's average decides which corners connect.
        const bool centreAbove = (V[0] + V[1] + V[2] + V[3]) / 4 >= Level;
        const bool firstAbove = code & 1;
        if (centreAbove == firstAbove) {
            segment(0, 1);
            segment(2, 3);
        } else {
            segment(3, 0);
            segment(1, 2);
        }
    }
}

} // namespace

std::vector<TMapSegment> TCutFillMap::Contour(double Level) const {
    std::vector<TMapSegment> out;
    ForEachCell([&](int64_t X, int64_t Y, const double* V) { MarchCell(X, Y, V, Level, out); });
    return out;
}

TContourLevels TCutFillMap::Contours(double Interval, int MaxLevels) const {
    TContourLevels levels;
    const int64_t count = LevelCount(Interval);
    if (count == 0 || count > MaxLevels)
        return levels;
    const double first = std::ceil(FLow / Interval), last = std::floor(FHigh / Interval);
    for (double k = first; k <= last; ++k)
        if (k != 0)
            levels.emplace_back(k * Interval, std::vector<TMapSegment>());
    // One pass over the cells for every level: a cell is crossed only by the levels between
    // its lowest and highest corner.
    ForEachCell([&](int64_t X, int64_t Y, const double* V) {
        const double low = std::min(std::min(V[0], V[1]), std::min(V[2], V[3]));
        const double high = std::max(std::max(V[0], V[1]), std::max(V[2], V[3]));
        auto from = std::lower_bound(levels.begin(), levels.end(), low,
                                     [](const auto& L, double Value) { return L.first < Value; });
        for (auto it = from; it != levels.end() && it->first <= high; ++it)
            MarchCell(X, Y, V, it->first, it->second);
    });
    return levels;
}

bool TCutFillMap::ValueRange(double& Low, double& High) const {
    if (!(FLow <= FHigh))
        return false;
    Low = FLow;
    High = FHigh;
    return true;
}

int64_t TCutFillMap::LevelCount(double Interval) const {
    if (!(Interval > 0) || !std::isfinite(Interval) || !(FLow <= FHigh))
        return 0;
    const double first = std::ceil(FLow / Interval), last = std::floor(FHigh / Interval);
    if (std::isnan(last - first))
        return INT64_MAX; // both ends beyond the doubles: far too many
    if (last < first)
        return 0;
    const double count = last - first + 1 - (first <= 0 && last >= 0 ? 1 : 0);
    return count < 9e18 ? int64_t(count) : INT64_MAX;
}

double TCutFillMap::DefaultInterval() const {
    if (!(FLow < FHigh))
        return FLayer == TMapLayer::Height ? 1.0 : 100.0;
    // Halves and twentieths of each end, as their difference may be beyond the doubles.
    double step = std::max(0.001, RoundStep(FHigh / 20 - FLow / 20));
    for (int i = 0; i < 8 && LevelCount(step) > 20; ++i)
        step = RoundStep(step * 1.5);
    return step;
}

TContourPlan TCutFillMap::PlanContours(double Interval, int MaxLevels) const {
    TContourPlan plan;
    plan.Warning = true;
    if (!(Interval > 0) || !std::isfinite(Interval)) {
        plan.Message = "等高線の間隔は 0 より大きい数で指定してください。";
        return plan;
    }
    if (!(FLow <= FHigh)) {
        plan.Message = "等高線を引ける値がありません。";
        return plan;
    }
    MaxLevels = std::max(MaxLevels, 2);
    const int64_t count = LevelCount(Interval);
    if (count > MaxLevels) {
        // At or above this interval no more than MaxLevels lines fit in the range: lines
        // ≤ range / interval + 1.
        const double m = MaxLevels - 1;
        double finest = std::max(0.001, RoundStep(FHigh / m - FLow / m));
        // A step rounded down by a hair must not bring the silence back.
        for (int i = 0; i < 8 && LevelCount(finest) > MaxLevels; ++i)
            finest = RoundStep(finest * 1.5);
        plan.Interval = finest;
        plan.Levels = LevelCount(finest);
        plan.TooFine = true;
        plan.Message = StrFormat("等高線の間隔 %s は細かすぎます（%d 本を超えます）。"
                                 "%s 以上を指定してください。いまは %s 間隔で描いています。",
                                 IntervalText(Interval).c_str(), MaxLevels,
                                 IntervalText(finest).c_str(), IntervalText(finest).c_str());
        return plan;
    }
    plan.Interval = Interval;
    plan.Levels = count;
    if (count == 0) {
        const int d = std::max(DecimalsFor(Interval), FLayer == TMapLayer::Height ? 2 : 0);
        plan.Message = StrFormat("等高線の間隔 %s では線がありません（値は %s 〜 %s %s）。",
                                 IntervalText(Interval).c_str(), FormatThousands(FLow, d).c_str(),
                                 FormatThousands(FHigh, d).c_str(), LayerUnit(FLayer).c_str());
        return plan;
    }
    plan.Warning = false;
    plan.Message = StrFormat("等高線: %s 間隔、%lld 本", IntervalText(Interval).c_str(),
                             static_cast<long long>(count));
    return plan;
}

std::string TCutFillMap::IntervalText(double Interval) const {
    return FormatThousands(Interval, DecimalsFor(Interval)) + " " + LayerUnit(FLayer);
}

std::string TCutFillMap::LevelText(double Level, double Interval) const {
    // Heights are read against the ground's few metres; volumes run to thousands.
    const int d = DecimalsFor(Interval);
    return FLayer == TMapLayer::Height ? FormatFixed(Level, d) : FormatThousands(Level, d);
}

std::vector<TContourLine> TCutFillMap::ChainContours(const TContourLevels& Levels) {
    std::vector<TContourLine> lines;
    for (const auto& levelPieces : Levels) {
        // Named, not bound: the lambdas below capture them (C++17 cannot capture a binding).
        const double level = levelPieces.first;
        const auto& pieces = levelPieces.second;
        // The ends of the pieces (2 i and 2 i + 1 for piece i) met at one place join their
        // pieces: a table keyed by the place finds the end already there (the cell across an
        // edge works out the very same point). Pieces with ends beyond the doubles take no part,
        // nor those of no length (a corner on the level between corners below it).
        const size_t n = pieces.size();
        auto at = [&](size_t End) {
            const TMapSegment& s = pieces[End / 2];
            return End % 2 ? TMapVertex{s.X2, s.Y2} : TMapVertex{s.X1, s.Y1};
        };
        constexpr uint32_t kNone = UINT32_MAX, kPaired = UINT32_MAX - 1;
        size_t size = 16;
        while (size < 4 * n)
            size *= 2;
        std::vector<uint32_t> table(size, kNone), partner(2 * n, kNone);
        std::vector<bool> used(n, true);
        for (size_t i = 0; i < n; ++i) {
            const TMapSegment& s = pieces[i];
            if (!std::isfinite(s.X1) || !std::isfinite(s.Y1) || !std::isfinite(s.X2) ||
                !std::isfinite(s.Y2) || (s.X1 == s.X2 && s.Y1 == s.Y2))
                continue;
            used[i] = false;
            for (uint32_t e : {uint32_t(2 * i), uint32_t(2 * i + 1)}) {
                const TMapVertex p = at(e);
                uint64_t bx, by;
                const double x = p.X + 0.0, y = p.Y + 0.0; // -0 as 0
                std::memcpy(&bx, &x, 8);
                std::memcpy(&by, &y, 8);
                uint64_t h = (bx ^ (by * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
                h ^= h >> 31;
                for (size_t j = h & (size - 1);; j = (j + 1) & (size - 1)) {
                    if (table[j] == kNone) {
                        table[j] = e;
                        break;
                    }
                    if (table[j] == kPaired)
                        continue;
                    const TMapVertex q = at(table[j]);
                    if (q.X == p.X && q.Y == p.Y) {
                        partner[e] = table[j];
                        partner[table[j]] = e;
                        // A third end at the place (a line through a corner) starts a run.
                        table[j] = kPaired;
                        break;
                    }
                }
            }
        }
        auto walk = [&](uint32_t End) {
            TContourLine line;
            line.Level = level;
            line.Points.push_back(at(End));
            for (uint32_t e = End; e != kNone && !used[e / 2]; e = partner[e ^ 1]) {
                used[e / 2] = true;
                line.Points.push_back(at(e ^ 1));
            }
            line.Along.resize(line.Points.size());
            line.MinX = line.MaxX = line.Points[0].X;
            line.MinY = line.MaxY = line.Points[0].Y;
            double along = 0;
            for (size_t i = 0; i < line.Points.size(); ++i) {
                const TMapVertex& p = line.Points[i];
                if (i > 0)
                    along += std::hypot(p.X - line.Points[i - 1].X, p.Y - line.Points[i - 1].Y);
                line.Along[i] = along;
                line.MinX = std::min(line.MinX, p.X);
                line.MaxX = std::max(line.MaxX, p.X);
                line.MinY = std::min(line.MinY, p.Y);
                line.MaxY = std::max(line.MaxY, p.Y);
            }
            lines.push_back(std::move(line));
        };
        // Open lines from their loose ends, then the closed ones from anywhere.
        for (uint32_t e = 0; e < 2 * n; ++e)
            if (partner[e] == kNone && !used[e / 2])
                walk(e);
        for (uint32_t e = 0; e < 2 * n; e += 2)
            if (!used[e / 2])
                walk(e);
    }
    return lines;
}

namespace {

// A label's box: its middle, its baseline's direction and half its length and height.
struct TLabelBox {
    double X, Y, UX, UY, A, B;
};

bool Overlap(const TLabelBox& P, const TLabelBox& Q) {
    // Separating axes: the sides of both boxes.
    const double dx = Q.X - P.X, dy = Q.Y - P.Y;
    const double axes[4][2] = {{P.UX, P.UY}, {-P.UY, P.UX}, {Q.UX, Q.UY}, {-Q.UY, Q.UX}};
    for (const auto& n : axes) {
        auto reach = [&](const TLabelBox& R) {
            return R.A * std::fabs(R.UX * n[0] + R.UY * n[1]) +
                   R.B * std::fabs(-R.UY * n[0] + R.UX * n[1]);
        };
        if (std::fabs(dx * n[0] + dy * n[1]) > reach(P) + reach(Q))
            return false;
    }
    return true;
}

// The point at length S along Line.
TMapVertex PointAlong(const TContourLine& Line, double S) {
    const std::vector<double>& along = Line.Along;
    const size_t i = size_t(std::clamp<std::ptrdiff_t>(
        std::upper_bound(along.begin(), along.end(), S) - along.begin() - 1, 0,
        std::ptrdiff_t(along.size()) - 2));
    const double piece = along[i + 1] - along[i];
    const double t = piece > 0 ? std::clamp((S - along[i]) / piece, 0.0, 1.0) : 0;
    const TMapVertex &a = Line.Points[i], &b = Line.Points[i + 1];
    return {a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y)};
}

} // namespace

std::vector<TContourLabel> TCutFillMap::PlaceLabels(const std::vector<TContourLine>& Lines,
                                                    const TContourLabelRule& Rule) {
    std::vector<TContourLabel> labels;
    const double h = Rule.Height;
    if (!(h > 0) || !std::isfinite(h) || !Rule.Width)
        return labels;
    const bool within = Rule.MinX <= Rule.MaxX && Rule.MinY <= Rule.MaxY;
    // Each level's width, asked once: the lines come level by level.
    std::vector<double> widths(Lines.size(), 0);
    double widest = 0;
    for (size_t i = 0; i < Lines.size(); ++i) {
        widths[i] = i > 0 && Lines[i].Level == Lines[i - 1].Level ? widths[i - 1]
                                                                  : Rule.Width(Lines[i].Level);
        if (std::isfinite(widths[i]))
            widest = std::max(widest, widths[i]);
    }
    // Placed boxes, found by the square of a grid their middle lies in; the squares are as wide
    // as the longest box with its margin, so that overlapping boxes lie in neighbouring ones.
    const double margin = h * 0.3;
    const double cell = std::hypot(widest + 2 * margin, h + 2 * margin);
    std::unordered_map<uint64_t, std::vector<uint32_t>> grid;
    std::vector<TLabelBox> boxes;
    auto key = [](int64_t CX, int64_t CY) {
        return uint64_t(CX) * 0x9E3779B97F4A7C15ull ^ uint64_t(CY);
    };
    auto square = [&](double V) { return int64_t(std::clamp(std::floor(V / cell), -4e18, 4e18)); };
    auto vacant = [&](const TLabelBox& B) {
        const int64_t cx = square(B.X), cy = square(B.Y);
        for (int64_t x = cx - 1; x <= cx + 1; ++x)
            for (int64_t y = cy - 1; y <= cy + 1; ++y) {
                auto it = grid.find(key(x, y));
                if (it != grid.end())
                    for (uint32_t k : it->second)
                        if (Overlap(B, boxes[k]))
                            return false;
            }
        return true;
    };
    for (size_t li = 0; li < Lines.size(); ++li) {
        const TContourLine& line = Lines[li];
        const double w = widths[li], length = line.Length();
        // Room for the label and a little of the line on either side.
        if (!(w > 0) || !std::isfinite(w) || !(length >= w * 1.5) || !std::isfinite(length))
            continue;
        if (within && (line.MaxX < Rule.MinX - w || line.MinX > Rule.MaxX + w ||
                       line.MaxY < Rule.MinY - w || line.MinY > Rule.MaxY + w))
            continue;
        const bool closed = line.Closed();
        const double spacing = Rule.Spacing > 0 ? Rule.Spacing : length;
        const double count = std::clamp(std::floor(length / spacing), 1.0, 1e6);
        for (double k = 0; k < count; ++k) {
            const double middle = (k + 0.5) * length / count;
            // Where the line bends under the label, a little further along or back.
            for (double shift : {0.0, 1.0, -1.0, 2.0, -2.0}) {
                double s = middle + shift * w;
                if (closed)
                    s = std::fmod(s + length, length);
                else if (s < w / 2 || s > length - w / 2)
                    continue;
                auto along = [&](double S) {
                    return PointAlong(line, closed ? std::fmod(S + length, length)
                                                   : std::clamp(S, 0.0, length));
                };
                const TMapVertex p = along(s), a = along(s - w / 2), b = along(s + w / 2);
                if (within &&
                    (p.X < Rule.MinX || p.X > Rule.MaxX || p.Y < Rule.MinY || p.Y > Rule.MaxY))
                    break;
                double dx = b.X - a.X, dy = b.Y - a.Y;
                const double chord = std::hypot(dx, dy);
                if (!(chord >= 0.8 * w))
                    continue;
                dx /= chord;
                dy /= chord;
                if (dx < 0 || (dx == 0 && dy < 0)) {
                    dx = -dx;
                    dy = -dy;
                }
                const TLabelBox box{p.X, p.Y, dx, dy, w / 2 + margin, h / 2 + margin};
                if (!vacant(box))
                    continue;
                grid[key(square(p.X), square(p.Y))].push_back(uint32_t(boxes.size()));
                boxes.push_back(box);
                TContourLabel label;
                label.X = p.X;
                label.Y = p.Y;
                label.DX = dx;
                label.DY = dy;
                label.Level = line.Level;
                label.Line = li;
                labels.push_back(label);
                break;
            }
        }
    }
    return labels;
}

std::string TCutFillMap::LayerName(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "切盛高" : "土量";
}

std::string TCutFillMap::LayerUnit(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "m" : "m³";
}
