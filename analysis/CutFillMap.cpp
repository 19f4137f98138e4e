#include "analysis/CutFillMap.h"

#include "model/DataUnit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

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
    for (size_t i = 0; i < FPoints.size(); ++i) {
        const TMapPoint& p = FPoints[i];
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
    // Where the level crosses edge k (from corner k to corner k + 1).
    auto cross = [&](int k, double& CX, double& CY) {
        const int a = k, b = (k + 1) % 4;
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

std::vector<std::pair<double, std::vector<TMapSegment>>>
TCutFillMap::Contours(double Interval, int MaxLevels) const {
    std::vector<std::pair<double, std::vector<TMapSegment>>> levels;
    if (!(Interval > 0) || !std::isfinite(Interval))
        return levels;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const TMapPoint& p : FPoints)
        if (std::isfinite(p.Value)) {
            lo = std::min(lo, p.Value);
            hi = std::max(hi, p.Value);
        }
    if (!(lo <= hi))
        return levels;
    const double first = std::ceil(lo / Interval), last = std::floor(hi / Interval);
    if (last - first + 1 > MaxLevels)
        return levels;
    for (double k = first; k <= last; ++k)
        if (k != 0)
            levels.emplace_back(k * Interval, std::vector<TMapSegment>());
    if (levels.empty())
        return levels;
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

std::string TCutFillMap::LayerName(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "切盛高" : "土量";
}

std::string TCutFillMap::LayerUnit(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "m" : "m³";
}
