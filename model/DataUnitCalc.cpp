// The volume calculation by the mesh method: one-point (point height), four-point prism and
// four-point average elevation. Every volume product is evaluated in long double and stored to
// a double once, then rounded to whole cubic metres, so that the results match the figures an
// engineer checks by hand (0.5 x 100 x 1.15 is 57.49999999999999 and rounds half up to 57).

#include "DataUnitCalcRun.h"

#include "platform/LargeMemory.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

namespace {

// The cell table is used while it stays within this many cells, or within a few per point.
constexpr uint64_t kDenseCellFloor = uint64_t{1} << 16;
constexpr uint64_t kDenseCellsPerPoint = 8;
constexpr uint64_t kDenseCellCeiling = uint64_t{1} << 30;
// Below this many points one thread is quicker than starting another.
constexpr uint64_t kParallelFloor = uint64_t{1} << 15;

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

namespace {

// The records and sums of one range of the work. Totals are summed in 64 bits (records times
// 2^31 stays far below 2^63 for any list that fits in memory) and saturated once at the end
// for the 32-bit record.
struct TCalcPart {
    TGridCalcData* Out = nullptr; // where the range's records go
    size_t Kept = 0;
    int64_t HV = 0, BV[2] = {}, CV[2][6] = {};
    int64_t Saturated = 0;

    void Add(const TCalcPart& o) {
        HV += o.HV;
        for (int k = 0; k < 2; ++k) {
            BV[k] += o.BV[k];
            for (int i = 0; i < 6; ++i)
                CV[k][i] += o.CV[k][i];
        }
        Saturated += o.Saturated;
    }
};

// The mesh numbers' origin and row length of the cell numbering.
struct TCellGrid {
    int64_t MinX, MinY;
    uint64_t XSpace;
};

// One cell (or point) of a method, kept in the part's records when it gives a mesh.
void CalcCell(const TCalcRun& Run, const TCellGrid& Grid, int Method, int64_t X, int64_t Y,
              const TGridData* const G[4], TCalcPart& Part) {
    TGridCalcData& r = Part.Out[Part.Kept];
    bool kept;
    if (Method == 1)
        kept = Run.Prism(X, Y, G, r);
    else if (Method == 2)
        kept = Run.Average(X, Y, G, r);
    else
        kept = Run.OnePoint(X, Y, G[0], r);
    if (!kept)
        return;
    ++Part.Kept;
    // XYToCell + 1, or 0 when the cell number does not fit a 32-bit Num.
    const uint64_t xSpace = Grid.XSpace;
    const uint64_t row = static_cast<uint64_t>(Y - Grid.MinY);
    const uint64_t col = static_cast<uint64_t>(X - Grid.MinX);
    r.Num = 0;
    if (row == 0 || xSpace <= static_cast<uint64_t>(kInt32Max) / row) {
        const uint64_t number = row * xSpace + col;
        if (number < static_cast<uint64_t>(kInt32Max))
            r.Num = static_cast<int32_t>(number + 1);
    }
    const auto atLimit = [](int32_t v) { return v == INT32_MAX || v == INT32_MIN; };
    Part.HV += r.HV;
    bool limit = atLimit(r.HV);
    for (int k = 0; k < 2; ++k) {
        Part.BV[k] += r.BV[k];
        limit |= atLimit(r.BV[k]);
        for (int i = 0; i < 6; ++i) {
            Part.CV[k][i] += r.CV[k][i];
            limit |= atLimit(r.CV[k][i]);
        }
    }
    Part.Saturated += limit ? 1 : 0;
}

} // namespace

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
            ReserveLarge(FXYtoIndex, cells);
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

    const TGridData* const base = FGridList.data();
    const TCellGrid grid{FMinX, FMinY, xSpace};
    // The work is split into units (rows of the cell table, points or cells of the sorted
    // index) that are calculated in ranges; each range fills its own records and sums.
    size_t units = 0;
    std::function<void(size_t, size_t, TCalcPart&)> range;
    // The cells of a range that have a point among their corners: its records at most.
    std::function<size_t(size_t, size_t)> candidates = [](size_t b, size_t e) { return e - b; };
    std::vector<TKey> keys, cells4;
    if (dense) {
        // A later point at the same mesh numbers overwrites the earlier one.
        for (size_t i = 0; i < FGridList.size(); ++i) {
            const TGridData& g = FGridList[i];
            if (!g.DelFlg)
                FXYtoIndex[static_cast<uint64_t>(g.Y - FMinY) * xSpace +
                           static_cast<uint64_t>(g.X - FMinX)] = static_cast<int32_t>(i + 1);
        }
        units = static_cast<size_t>(method == 0 ? ySpace : ySpace - 1);
        candidates = [&](size_t b, size_t e) {
            size_t n = 0;
            for (size_t u = b; u < e; ++u) {
                const int32_t* row = FXYtoIndex.data() + u * xSpace;
                if (method == 0) {
                    for (uint64_t x = 0; x < xSpace; ++x)
                        n += row[x] != 0;
                } else {
                    const int32_t* next = row + xSpace;
                    for (uint64_t x = 0; x + 1 < xSpace; ++x)
                        n += (row[x] | row[x + 1] | next[x] | next[x + 1]) != 0;
                }
            }
            return n;
        };
        range = [&, base](size_t b, size_t e, TCalcPart& part) {
            const auto at = [base](const int32_t* r, int64_t x) -> const TGridData* {
                const int32_t p = r[x];
                return p ? base + (p - 1) : nullptr;
            };
            for (size_t u = b; u < e; ++u) {
                const int64_t Y = FMinY + static_cast<int64_t>(u);
                const int32_t* row = FXYtoIndex.data() + u * xSpace;
                if (method == 0) {
                    for (int64_t x = 0; x < FXSpace; ++x) {
                        const TGridData* g[4] = {at(row, x), nullptr, nullptr, nullptr};
                        if (g[0])
                            CalcCell(run, grid, method, FMinX + x, Y, g, part);
                    }
                } else {
                    const int32_t* next = row + xSpace;
                    for (int64_t x = 0; x + 1 < FXSpace; ++x) {
                        const TGridData* g[4] = {at(row, x), at(row, x + 1), at(next, x),
                                                 at(next, x + 1)};
                        if (g[0] || g[1] || g[2] || g[3])
                            CalcCell(run, grid, method, FMinX + x, Y, g, part);
                    }
                }
            }
        };
    } else {
        // Live points sorted by cell; a stable sort keeps list order among equal mesh numbers,
        // so the last of each run is the point that wins.
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
        if (method == 0) {
            units = keys.size();
            range = [&, base](size_t b, size_t e, TCalcPart& part) {
                for (size_t u = b; u < e; ++u) {
                    const TGridData* g[4] = {base + (keys[u].pos - 1), nullptr, nullptr, nullptr};
                    CalcCell(run, grid, method, keys[u].x, keys[u].y, g, part);
                }
            };
        } else {
            // Every cell that has a point among its corners, in scan order: the points'
            // positions shifted by each corner's offset are four sorted lists, merged.
            cells4.reserve(keys.size() * 4);
            const int64_t dy[4] = {-1, -1, 0, 0}, dx[4] = {-1, 0, -1, 0};
            size_t at[4] = {0, 0, 0, 0};
            for (;;) {
                int best = -1;
                TKey next{};
                for (int s = 0; s < 4; ++s) {
                    if (at[s] == keys.size())
                        continue;
                    const TKey k{keys[at[s]].y + dy[s], keys[at[s]].x + dx[s], 0};
                    if (best < 0 || KeyLess(k, next)) {
                        best = s;
                        next = k;
                    }
                }
                if (best < 0)
                    break;
                ++at[best];
                if (cells4.empty() || cells4.back().y != next.y || cells4.back().x != next.x)
                    cells4.push_back(next);
            }
            units = cells4.size();
            range = [&, base](size_t b, size_t e, TCalcPart& part) {
                if (b == e)
                    return;
                // The corners are found by two cursors, one in the cell's row of points and
                // one in the next: both only move forward as the cells go on in scan order.
                const auto seek = [&](size_t& i, int64_t Y, int64_t X) -> const TGridData* {
                    const TKey probe{Y, X, 0};
                    while (i < keys.size() && KeyLess(keys[i], probe))
                        ++i;
                    return (i < keys.size() && keys[i].y == Y && keys[i].x == X)
                               ? base + (keys[i].pos - 1)
                               : nullptr;
                };
                const TKey& c0 = cells4[b];
                size_t row = static_cast<size_t>(
                    std::lower_bound(keys.begin(), keys.end(), TKey{c0.y, c0.x, 0}, KeyLess) -
                    keys.begin());
                size_t below = static_cast<size_t>(
                    std::lower_bound(keys.begin(), keys.end(), TKey{c0.y + 1, c0.x, 0}, KeyLess) -
                    keys.begin());
                for (size_t u = b; u < e; ++u) {
                    const TKey& c = cells4[u];
                    const TGridData* g[4];
                    g[0] = seek(row, c.y, c.x);
                    g[1] = seek(row, c.y, c.x + 1);
                    g[2] = seek(below, c.y + 1, c.x);
                    g[3] = seek(below, c.y + 1, c.x + 1);
                    CalcCell(run, grid, method, c.x, c.y, g, part);
                }
            };
        }
    }

    // The ranges in one thread per core. Each range writes its records straight into the list
    // from where its cells begin; the records are then closed up in order, so they come out
    // exactly as one thread makes them, and the totals are whole numbers whose sum does not
    // depend on the split.
    const size_t chunks = std::max<size_t>(
        1, std::min(units, FCalcThreads > 0 ? static_cast<size_t>(FCalcThreads)
                           : live < kParallelFloor
                               ? size_t{1}
                               : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8)));
    const auto Begin = [&](size_t c) { return units * c / chunks; };
    const auto inParallel = [chunks](const std::function<void(size_t)>& work) {
        std::vector<std::thread> helpers;
        std::vector<std::exception_ptr> failed(chunks);
        const auto guarded = [&](size_t c) {
            try {
                work(c);
            } catch (...) {
                failed[c] = std::current_exception();
            }
        };
        for (size_t c = 1; c < chunks; ++c) {
            try {
                helpers.emplace_back(guarded, c);
            } catch (const std::system_error&) {
                guarded(c); // no thread to be had: this one does it
            }
        }
        guarded(0);
        for (std::thread& t : helpers)
            t.join();
        for (const std::exception_ptr& e : failed)
            if (e)
                std::rethrow_exception(e);
    };
    std::vector<size_t> first(chunks + 1, 0);
    inParallel([&](size_t c) { first[c + 1] = candidates(Begin(c), Begin(c + 1)); });
    for (size_t c = 0; c < chunks; ++c)
        first[c + 1] += first[c];
    ReserveLarge(FGridCalcList, first[chunks]);
    FGridCalcList.resize(first[chunks]);
    std::vector<TCalcPart> parts(chunks);
    for (size_t c = 0; c < chunks; ++c)
        parts[c].Out = FGridCalcList.data() + first[c];
    inParallel([&](size_t c) { range(Begin(c), Begin(c + 1), parts[c]); });
    size_t kept = parts[0].Kept;
    for (size_t c = 1; c < chunks; ++c) {
        // Leftward within the list, possibly overlapping.
        std::memmove(static_cast<void*>(FGridCalcList.data() + kept), parts[c].Out,
                     parts[c].Kept * sizeof(TGridCalcData));
        kept += parts[c].Kept;
        parts[0].Add(parts[c]);
    }
    FGridCalcList.resize(kept);
    const TCalcPart& sum = parts[0];

    FSumVolume.HV = Saturate(sum.HV);
    FTotals.HV = sum.HV;
    for (int k = 0; k < 2; ++k) {
        FSumVolume.BV[k] = Saturate(sum.BV[k]);
        FTotals.BV[k] = sum.BV[k];
        for (int i = 0; i < 6; ++i) {
            FSumVolume.CV[k][i] = Saturate(sum.CV[k][i]);
            FTotals.CV[k][i] = sum.CV[k][i];
        }
    }
    FSaturatedMeshes = sum.Saturated;
    const bool any = !FGridCalcList.empty();
    SetPhase(2, any);
    return any;
}
