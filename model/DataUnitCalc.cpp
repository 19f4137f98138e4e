// The volume calculation by the mesh method: one-point (point height), four-point prism and
// four-point average elevation. Every volume product is evaluated in long double and stored to
// a double once, then rounded to whole cubic metres, so that the results match the figures an
// engineer checks by hand (0.5 x 100 x 1.15 is 57.49999999999999 and rounds half up to 57).

#include "DataUnitCalcRun.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <new>

namespace {

// The cell table is used while it stays within this many cells, or within a few per point.
constexpr uint64_t kDenseCellFloor = uint64_t{1} << 16;
constexpr uint64_t kDenseCellsPerPoint = 8;
constexpr uint64_t kDenseCellCeiling = uint64_t{1} << 30;

struct TKey {
    int64_t y, x;
    int32_t pos; // 1-based list position
};

bool KeyLess(const TKey& a, const TKey& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

} // namespace

int32_t TInputData::RoundVolume(double x, int RoundType) {
    return RoundWhole(x, RoundType);
}

// One run of Calcrate: the per-cell methods over the shared steps.
struct TCalcRun : TCalcSteps {
    using TCalcSteps::TCalcSteps;

    void NewRecord(int64_t X, int64_t Y, TGridCalcData& r) const {
        r = TGridCalcData{};
        r.X = Saturate(X);
        r.Y = Saturate(Y);
        r.CXj = r.BXj = static_cast<double>(X) * s;
        r.CYj = r.BYj = static_cast<double>(Y) * s;
    }

    bool OnePoint(int64_t X, int64_t Y, const TGridData* g, TGridCalcData& r) const {
        if (!g)
            return false;
        NewRecord(X, Y, r);
        TCorner c;
        Prepare(*g, c);
        if (Hyoudo)
            r.HV = Volume(c.top, A);
        Adjust(c);
        double parts[6];
        const double fill = Split(c, parts);
        Volumes(fill, parts, A, r);
        return true;
    }

    bool Prism(int64_t X, int64_t Y, const TGridData* const g[4], TGridCalcData& r) const {
        if (!g[0] && !g[1] && !g[2] && !g[3])
            return false;
        NewRecord(X, Y, r);
        TCorner c[4];
        double f[4];
        double parts[4][6];
        long double topsoil = 0.0L;
        for (int k = 0; k < 4; ++k) {
            if (g[k]) {
                Prepare(*g[k], c[k]);
                Adjust(c[k]);
            }
            topsoil += static_cast<long double>(c[k].top) * q;
            f[k] = Split(c[k], parts[k]);
        }
        if (Hyoudo)
            r.HV = RoundWhole(static_cast<double>(topsoil), RoundMode);
        double sumParts[6];
        for (int i = 0; i < 6; ++i)
            sumParts[i] = parts[0][i] + parts[1][i] + parts[2][i] + parts[3][i];
        Volumes(f[0] + f[1] + f[2] + f[3], sumParts, q, r);
        if (!(r.BV[1] > 0) && !(r.CV[1][0] > 0))
            return false;

        const double mfx = (f[0] + f[2]) * q * s / 4 + (f[1] + f[3]) * q * 3 * s / 4;
        const double mfy = (f[0] + f[1]) * q * s / 4 + (f[2] + f[3]) * q * 3 * s / 4;
        r.BXj = r.BV[0] > 0 ? mfx / r.BV[0] : 0.0;
        r.BYj = r.BV[0] > 0 ? mfy / r.BV[0] : 0.0;
        double mcx = 0.0, mcy = 0.0;
        for (int k = 0; k < 4; ++k) {
            double w = 0.0;
            for (int i = 1; i <= L; ++i)
                w += FillCorr ? parts[k][i] * q : parts[k][i] * q * R[i];
            mcx += (k == 0 || k == 2) ? w * s / 4 : w * 3 * s / 4;
            mcy += (k == 0 || k == 1) ? w * s / 4 : w * 3 * s / 4;
        }
        r.CXj = r.CV[1][0] > 0 ? mcx / r.CV[1][0] : 0.0;
        r.CYj = r.CV[1][0] > 0 ? mcy / r.CV[1][0] : 0.0;
        const double x0 = static_cast<double>(X) * s, y0 = static_cast<double>(Y) * s;
        r.BXj += x0;
        r.BYj += y0;
        r.CXj += x0;
        r.CYj += y0;
        return true;
    }

    bool Average(int64_t X, int64_t Y, const TGridData* const g[4], TGridCalcData& r) const {
        if (!g[0] && !g[1] && !g[2] && !g[3])
            return false;
        NewRecord(X, Y, r);
        TCorner c[4];
        for (int k = 0; k < 4; ++k)
            if (g[k])
                Prepare(*g[k], c[k]);
        TCorner a;
        for (int i = 0; i < L; ++i)
            a.t[i] = (c[0].t[i] + c[1].t[i] + c[2].t[i] + c[3].t[i]) / 4;
        a.h = (c[0].h + c[1].h + c[2].h + c[3].h) / 4;
        a.top = (c[0].top + c[1].top + c[2].top + c[3].top) / 4;
        a.csink = (c[0].csink + c[1].csink + c[2].csink + c[3].csink) / 4;
        a.bsink = (c[0].bsink + c[1].bsink + c[2].bsink + c[3].bsink) / 4;
        Adjust(a);
        if (Hyoudo)
            r.HV = Volume(a.top, A);
        double parts[6];
        const double fill = Split(a, parts);
        Volumes(fill, parts, A, r);
        r.CXj = r.BXj = (static_cast<double>(X) + 0.5) * s;
        r.CYj = r.BYj = (static_cast<double>(Y) + 0.5) * s;
        return true;
    }
};

bool TInputData::Calcrate() {
    const TCalcRun run(*this);
    const int method = FCalcType == 1 ? 1 : FCalcType == 2 ? 2 : 0;

    // The previous results go; their memory is kept for this run.
    FGridCalcList.clear();
    FSumVolume = TGridCalcData{};
    FTotals = TCalcTotals{};
    FSaturatedMeshes = 0;
    FMinX = FMinY = FMaxX = FMaxY = FXSpace = 0;
    FLastCalcDense = false;
    FCalcTime = static_cast<int64_t>(std::time(nullptr));

    uint64_t live = 0;
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    for (const TGridData& g : FGridList) {
        if (g.DelFlg)
            continue;
        ++live;
        minX = std::min<int64_t>(minX, g.X);
        maxX = std::max<int64_t>(maxX, g.X);
        minY = std::min<int64_t>(minY, g.Y);
        maxY = std::max<int64_t>(maxY, g.Y);
    }
    if (live == 0) {
        FXYtoIndex.clear();
        SetPhase(2, false);
        return false;
    }
    FMinX = minX - 1;
    FMinY = minY - 1;
    FMaxX = maxX + 1;
    FMaxY = maxY + 1;
    FXSpace = FMaxX - FMinX + 1;
    const uint64_t ySpace = static_cast<uint64_t>(FMaxY - FMinY + 1);
    const uint64_t xSpace = static_cast<uint64_t>(FXSpace);
    // Both are at most 2^32 + 2, so the product is tested without overflowing.
    const bool cellsFit = xSpace <= kDenseCellCeiling / ySpace;
    const uint64_t cells = cellsFit ? xSpace * ySpace : UINT64_MAX;

    bool dense = false;
    if (FCellIndexMode == TCellIndexMode::Dense)
        dense = cells <= kDenseCellCeiling;
    else if (FCellIndexMode == TCellIndexMode::Auto)
        dense = cells <= std::max(kDenseCellFloor, kDenseCellsPerPoint * live);
    if (dense) {
        try {
            FXYtoIndex.assign(cells, 0);
        } catch (const std::bad_alloc&) {
            dense = false;
        }
    }
    if (!dense) {
        FXYtoIndex.clear();
        FXYtoIndex.shrink_to_fit();
    }
    FLastCalcDense = dense;

    // Upper bound of the records: one per point, or four per point for the four-point methods.
    FGridCalcList.reserve(method == 0 ? live : std::min<uint64_t>(cells, 4 * live));

    // Totals are summed in 64 bits (records times 2^31 stays far below 2^63 for any list that
    // fits in memory) and saturated once at the end for the 32-bit record.
    int64_t hv = 0, bv[2] = {0, 0}, cv[2][6] = {};
    int64_t saturated = 0;
    const auto atLimit = [](int32_t v) { return v == INT32_MAX || v == INT32_MIN; };
    const auto cell = [&](int64_t X, int64_t Y, const TGridData* const g[4]) {
        TGridCalcData& r = FGridCalcList.emplace_back();
        bool kept;
        if (method == 1)
            kept = run.Prism(X, Y, g, r);
        else if (method == 2)
            kept = run.Average(X, Y, g, r);
        else
            kept = run.OnePoint(X, Y, g[0], r);
        if (!kept) {
            FGridCalcList.pop_back();
            return;
        }
        // XYToCell + 1, or 0 when the cell number does not fit a 32-bit Num.
        const uint64_t row = static_cast<uint64_t>(Y - FMinY);
        const uint64_t col = static_cast<uint64_t>(X - FMinX);
        r.Num = 0;
        if (row == 0 || xSpace <= static_cast<uint64_t>(kInt32Max) / row) {
            const uint64_t number = row * xSpace + col;
            if (number < static_cast<uint64_t>(kInt32Max))
                r.Num = static_cast<int32_t>(number + 1);
        }
        hv += r.HV;
        bool limit = atLimit(r.HV);
        for (int k = 0; k < 2; ++k) {
            bv[k] += r.BV[k];
            limit |= atLimit(r.BV[k]);
            for (int i = 0; i < 6; ++i) {
                cv[k][i] += r.CV[k][i];
                limit |= atLimit(r.CV[k][i]);
            }
        }
        saturated += limit ? 1 : 0;
    };

    const TGridData* const base = FGridList.data();
    if (dense) {
        // A later point at the same mesh numbers overwrites the earlier one.
        for (size_t i = 0; i < FGridList.size(); ++i) {
            const TGridData& g = FGridList[i];
            if (!g.DelFlg)
                FXYtoIndex[static_cast<uint64_t>(g.Y - FMinY) * xSpace +
                           static_cast<uint64_t>(g.X - FMinX)] = static_cast<int32_t>(i + 1);
        }
        for (int64_t Y = FMinY; Y <= FMaxY; ++Y) {
            const int32_t* row = FXYtoIndex.data() + static_cast<uint64_t>(Y - FMinY) * xSpace;
            const auto at = [&](const int32_t* r, int64_t X) -> const TGridData* {
                const int32_t p = r[X - FMinX];
                return p ? base + (p - 1) : nullptr;
            };
            if (method == 0) {
                for (int64_t X = FMinX; X <= FMaxX; ++X) {
                    const TGridData* g[4] = {at(row, X), nullptr, nullptr, nullptr};
                    if (g[0])
                        cell(X, Y, g);
                }
            } else if (Y < FMaxY) {
                const int32_t* next = row + xSpace;
                for (int64_t X = FMinX; X < FMaxX; ++X) {
                    const TGridData* g[4] = {at(row, X), at(row, X + 1), at(next, X),
                                             at(next, X + 1)};
                    if (g[0] || g[1] || g[2] || g[3])
                        cell(X, Y, g);
                }
            }
        }
    } else {
        // Live points sorted by cell; a stable sort keeps list order among equal mesh numbers,
        // so the last of each run is the point that wins.
        std::vector<TKey> keys;
        keys.reserve(live);
        for (size_t i = 0; i < FGridList.size(); ++i)
            if (!FGridList[i].DelFlg)
                keys.push_back({FGridList[i].Y, FGridList[i].X, static_cast<int32_t>(i + 1)});
        std::stable_sort(keys.begin(), keys.end(), KeyLess);
        size_t w = 0;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (w > 0 && keys[w - 1].y == keys[i].y && keys[w - 1].x == keys[i].x)
                keys[w - 1] = keys[i];
            else
                keys[w++] = keys[i];
        }
        keys.resize(w);
        const auto at = [&](int64_t X, int64_t Y) -> const TGridData* {
            const TKey probe{Y, X, 0};
            auto it = std::lower_bound(keys.begin(), keys.end(), probe, KeyLess);
            return (it != keys.end() && it->y == Y && it->x == X) ? base + (it->pos - 1) : nullptr;
        };
        if (method == 0) {
            for (const TKey& k : keys) {
                const TGridData* g[4] = {base + (k.pos - 1), nullptr, nullptr, nullptr};
                cell(k.x, k.y, g);
            }
        } else {
            // Every cell that has a point among its corners, in scan order.
            std::vector<TKey> cells4;
            cells4.reserve(keys.size() * 4);
            for (const TKey& k : keys)
                for (int dy = -1; dy <= 0; ++dy)
                    for (int dx = -1; dx <= 0; ++dx)
                        cells4.push_back({k.y + dy, k.x + dx, 0});
            std::sort(cells4.begin(), cells4.end(), KeyLess);
            cells4.erase(
                std::unique(cells4.begin(), cells4.end(),
                            [](const TKey& a, const TKey& b) { return a.y == b.y && a.x == b.x; }),
                cells4.end());
            for (const TKey& c : cells4) {
                const TGridData* g[4] = {at(c.x, c.y), at(c.x + 1, c.y), at(c.x, c.y + 1),
                                         at(c.x + 1, c.y + 1)};
                cell(c.x, c.y, g);
            }
        }
    }

    FSumVolume.HV = Saturate(hv);
    FTotals.HV = hv;
    for (int k = 0; k < 2; ++k) {
        FSumVolume.BV[k] = Saturate(bv[k]);
        FTotals.BV[k] = bv[k];
        for (int i = 0; i < 6; ++i) {
            FSumVolume.CV[k][i] = Saturate(cv[k][i]);
            FTotals.CV[k][i] = cv[k][i];
        }
    }
    FSaturatedMeshes = saturated;
    const bool any = !FGridCalcList.empty();
    SetPhase(2, any);
    return any;
}
