#include "analysis/CutFillMap.h"

#include "model/DataUnit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

uint64_t Key(int64_t X, int64_t Y) {
    return uint64_t(uint32_t(X)) << 32 | uint32_t(Y);
}

bool InRange(int64_t V) {
    return V >= INT32_MIN && V <= INT32_MAX;
}

} // namespace

TCutFillMap::TCutFillMap(const TInputData& Data, TMapLayer Layer)
    : FLayer(Layer), FMeshSpan(Data.MeshSpan()) {
    if (Layer == TMapLayer::Height) {
        for (const TGridData& g : Data.GridList())
            if (!g.DelFlg)
                FPoints.push_back({g.X, g.Y, g.FH - g.GH});
    } else if (Data.GetPhase(2)) {
        FCellOffset = Data.CalcType() == 1 || Data.CalcType() == 2 ? 0.5 : 0;
        for (const TGridCalcData& c : Data.CalcList())
            FPoints.push_back({c.X, c.Y, double(c.BV[1]) - double(c.CV[1][0])});
    }
    for (TMapPoint& p : FPoints)
        if (!std::isfinite(p.Value))
            p.Value = std::numeric_limits<double>::quiet_NaN();
    // Scan order; of points sharing a place the later one stays, as in the calculation.
    std::stable_sort(FPoints.begin(), FPoints.end(), [](const TMapPoint& a, const TMapPoint& b) {
        return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
    });
    std::vector<TMapPoint> kept;
    kept.reserve(FPoints.size());
    for (size_t i = 0; i < FPoints.size(); ++i)
        if (i + 1 == FPoints.size() || FPoints[i + 1].X != FPoints[i].X ||
            FPoints[i + 1].Y != FPoints[i].Y)
            kept.push_back(FPoints[i]);
    FPoints = std::move(kept);
    FIndex.reserve(FPoints.size());
    for (size_t i = 0; i < FPoints.size(); ++i) {
        const TMapPoint& p = FPoints[i];
        FIndex[Key(p.X, p.Y)] = static_cast<int>(i);
        if (i == 0) {
            FMinX = FMaxX = p.X;
            FMinY = FMaxY = p.Y;
        }
        FMinX = std::min<int64_t>(FMinX, p.X);
        FMaxX = std::max<int64_t>(FMaxX, p.X);
        FMinY = std::min<int64_t>(FMinY, p.Y);
        FMaxY = std::max<int64_t>(FMaxY, p.Y);
    }
}

int TCutFillMap::IndexAt(int64_t X, int64_t Y) const {
    if (!InRange(X) || !InRange(Y))
        return -1;
    const auto it = FIndex.find(Key(X, Y));
    return it == FIndex.end() ? -1 : it->second;
}

bool TCutFillMap::ValueAt(int64_t X, int64_t Y, double& Value) const {
    const int i = IndexAt(X, Y);
    if (i < 0)
        return false;
    Value = FPoints[i].Value;
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

std::vector<TMapSegment> TCutFillMap::Contour(double Level) const {
    std::vector<TMapSegment> out;
    for (const TMapPoint& p : FPoints) {
        // The cell from this point to its neighbours at X + 1, Y + 1.
        double v[4];
        const int64_t x = p.X, y = p.Y;
        v[0] = p.Value;
        if (!ValueAt(x + 1, y, v[1]) || !ValueAt(x + 1, y + 1, v[2]) || !ValueAt(x, y + 1, v[3]))
            continue;
        if (!std::all_of(std::begin(v), std::end(v), [](double d) { return std::isfinite(d); }))
            continue;
        // Corners counter-clockwise: (x, y), (x+1, y), (x+1, y+1), (x, y+1); "above" includes
        // the level itself, so a line never runs along a cell's edge twice.
        const double cx[4] = {0, 1, 1, 0}, cy[4] = {0, 0, 1, 1};
        int code = 0;
        for (int k = 0; k < 4; ++k)
            if (v[k] >= Level)
                code |= 1 << k;
        if (code == 0 || code == 15)
            continue;
        // Where the level crosses edge k (from corner k to corner k + 1).
        auto cross = [&](int k, double& X, double& Y) {
            const int a = k, b = (k + 1) % 4;
            const double t = (Level - v[a]) / (v[b] - v[a]);
            X = x + cx[a] + t * (cx[b] - cx[a]);
            Y = y + cy[a] + t * (cy[b] - cy[a]);
        };
        auto segment = [&](int e1, int e2) {
            TMapSegment s;
            cross(e1, s.X1, s.Y1);
            cross(e2, s.X2, s.Y2);
            out.push_back(s);
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
            const bool centreAbove = (v[0] + v[1] + v[2] + v[3]) / 4 >= Level;
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
            levels.emplace_back(k * Interval, Contour(k * Interval));
    return levels;
}

std::string TCutFillMap::LayerName(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "切盛高" : "土量";
}

std::string TCutFillMap::LayerUnit(TMapLayer Layer) {
    return Layer == TMapLayer::Height ? "m" : "m³";
}
