// The volume calculation by the mesh method: one-point (point height), four-point prism and
// four-point average elevation. Every volume product is evaluated in long double and stored to
// a double once, then rounded to whole cubic metres, so that the results match the figures an
// engineer checks by hand (0.5 x 100 x 1.15 is 57.49999999999999 and rounds half up to 57).

#include "DataUnitCalcRun.h"
#include "MeshFields.h"

#include "platform/LargeMemory.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

namespace {

// The cell table is used while it stays within this many cells, or within a few per point.
constexpr uint64_t kDenseCellFloor = uint64_t{1} << 16;
constexpr uint64_t kDenseCellsPerPoint = 8;
constexpr uint64_t kDenseCellCeiling = uint64_t{1} << 30;
// Below this many points one thread is quicker than starting another.
constexpr uint64_t kParallelFloor = uint64_t{1} << 15;
// The cells of a block of work: its records stay in the cache until they go to the list.
constexpr uint64_t kBlockCells = uint64_t{1} << 15;

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

// A point's share of each four-point prism it is a corner of.
struct TPrismCorner {
    long double top = 0.0L; // topsoil thickness times the quarter area, in extended precision
    double f = 0.0;         // fill depth
    double w = 0.0;         // cut depths times the quarter area (and rates), for the centroid
    double parts[6] = {};   // the cut split over the layers
};

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

    // A point's share of a four-point prism, the same in each of the four cells it is a corner
    // of, so it is worked out once a point; a missing corner has the share of an empty one.
    void Corner(const TGridData* g, TPrismCorner& e) const {
        TCorner c;
        if (g) {
            Prepare(*g, c);
            Adjust(c);
        }
        e.top = static_cast<long double>(c.top) * q;
        e.f = Split(c, e.parts);
        double w = 0.0;
        for (int i = 1; i <= L; ++i)
            w += FillCorr ? e.parts[i] * q : e.parts[i] * q * R[i];
        e.w = w;
    }

    bool Cell(int64_t X, int64_t Y, const TPrismCorner* const e[4], TGridCalcData& r) const {
        NewRecord(X, Y, r);
        long double topsoil = 0.0L;
        for (int k = 0; k < 4; ++k)
            topsoil += e[k]->top;
        if (Hyoudo)
            r.HV = RoundWhole(static_cast<double>(topsoil), RoundMode);
        double sumParts[6];
        for (int i = 0; i < 6; ++i)
            sumParts[i] = e[0]->parts[i] + e[1]->parts[i] + e[2]->parts[i] + e[3]->parts[i];
        const double f[4] = {e[0]->f, e[1]->f, e[2]->f, e[3]->f};
        Volumes(f[0] + f[1] + f[2] + f[3], sumParts, q, r);
        if (!(r.BV[1] > 0) && !(r.CV[1][0] > 0))
            return false;

        const double mfx = (f[0] + f[2]) * q * s / 4 + (f[1] + f[3]) * q * 3 * s / 4;
        const double mfy = (f[0] + f[1]) * q * s / 4 + (f[2] + f[3]) * q * 3 * s / 4;
        r.BXj = r.BV[0] > 0 ? mfx / r.BV[0] : 0.0;
        r.BYj = r.BV[0] > 0 ? mfy / r.BV[0] : 0.0;
        double mcx = 0.0, mcy = 0.0;
        for (int k = 0; k < 4; ++k) {
            const double w = e[k]->w;
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

    // The average elevation method averages the corners' profiles before adjusting them.
    void Corner(const TGridData* g, TCorner& c) const {
        c = TCorner{};
        if (g)
            Prepare(*g, c);
    }

    bool Cell(int64_t X, int64_t Y, const TCorner* const c[4], TGridCalcData& r) const {
        NewRecord(X, Y, r);
        TCorner a;
        for (int i = 0; i < L; ++i)
            a.t[i] = (c[0]->t[i] + c[1]->t[i] + c[2]->t[i] + c[3]->t[i]) / 4;
        a.h = (c[0]->h + c[1]->h + c[2]->h + c[3]->h) / 4;
        a.top = (c[0]->top + c[1]->top + c[2]->top + c[3]->top) / 4;
        a.csink = (c[0]->csink + c[1]->csink + c[2]->csink + c[3]->csink) / 4;
        a.bsink = (c[0]->bsink + c[1]->bsink + c[2]->bsink + c[3]->bsink) / 4;
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

// One cell (or point) of a method, kept in the part's records when Make gives a mesh there.
template <class TMake>
void CalcCell(const TCellGrid& Grid, int64_t X, int64_t Y, TCalcPart& Part, const TMake& Make) {
    TGridCalcData& r = Part.Out[Part.Kept];
    if (!Make(r))
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

// The units of work on the cell table: its rows, cut into pieces of at most kRowPiece cells
// where they are longer. Unit u is piece u % Pieces of row u / Pieces.
constexpr uint64_t kRowPiece = 4096;

struct TRowUnits {
    uint64_t RowCells; // cells of a row: a table row, or the cells between two table rows
    uint64_t Pieces;   // pieces a row

    uint64_t Row(size_t u) const { return u / Pieces; }
    uint64_t From(size_t u) const { return (u % Pieces) * kRowPiece; }
    uint64_t Count(size_t u) const { return std::min(kRowPiece, RowCells - From(u)); }
};

// A four-point method over units [B, E) of the cell table. Each point's corner share is worked
// out once for the cells above it and once for those below: the shares of a whole row are kept
// for the next; those of pieces of longer rows are worked out anew.
template <class TEntry>
void FourPointRows(const TCalcRun& Run, const TCellGrid& Grid, const TRowUnits& Units,
                   const int32_t* Table, const TGridData* Base, size_t B, size_t E,
                   TCalcPart& Part) {
    const uint64_t xSpace = Grid.XSpace;
    const size_t width = static_cast<size_t>(std::min(Units.RowCells, kRowPiece)) + 1;
    std::vector<TEntry> upper(width), lower(width);
    TEntry empty;
    Run.Corner(nullptr, empty);
    const auto shares = [&](std::vector<TEntry>& out, const int32_t* row, uint64_t from,
                            uint64_t n) {
        for (uint64_t i = 0; i < n; ++i) {
            const int32_t p = row[from + i];
            if (p)
                Run.Corner(Base + (p - 1), out[i]);
            else
                out[i] = empty;
        }
    };
    uint64_t upperRow = UINT64_MAX; // the row whose shares `upper` holds whole
    for (size_t u = B; u < E; ++u) {
        const uint64_t y = Units.Row(u), from = Units.From(u), n = Units.Count(u);
        const int32_t* row = Table + y * xSpace;
        const int32_t* next = row + xSpace;
        if (upperRow != y)
            shares(upper, row, from, n + 1);
        shares(lower, next, from, n + 1);
        const int64_t Y = Grid.MinY + static_cast<int64_t>(y);
        for (uint64_t i = 0; i < n; ++i) {
            const uint64_t x = from + i;
            if ((row[x] | row[x + 1] | next[x] | next[x + 1]) == 0)
                continue;
            const TEntry* e[4] = {&upper[i], &upper[i + 1], &lower[i], &lower[i + 1]};
            const int64_t X = Grid.MinX + static_cast<int64_t>(x);
            CalcCell(Grid, X, Y, Part, [&](TGridCalcData& r) { return Run.Cell(X, Y, e, r); });
        }
        upperRow = UINT64_MAX;
        if (Units.Pieces == 1) {
            upper.swap(lower);
            upperRow = y + 1;
        }
    }
}

// A four-point method over cells [B, E) of the sorted index, whose corners Seek finds as
// positions in Keys (SIZE_MAX for none). A point is a corner of two cells in each of two rows
// of cells; its share is kept in a small table by its position until the cells are done.
template <class TEntry, class TSeek>
void FourPointCells(const TCalcRun& Run, const TCellGrid& Grid, const std::vector<TKey>& Keys,
                    const TGridData* Base, const std::vector<TKey>& Cells, size_t B, size_t E,
                    const TSeek& Seek, TCalcPart& Part) {
    constexpr size_t kKept = 4096;
    std::vector<TEntry> kept(kKept);
    std::vector<size_t> keptFor(kKept, SIZE_MAX);
    TEntry empty;
    Run.Corner(nullptr, empty);
    for (size_t u = B; u < E; ++u) {
        const TKey& c = Cells[u];
        size_t at[4];
        Seek(c, at);
        const TEntry* e[4];
        for (int k = 0; k < 4; ++k) {
            if (at[k] == SIZE_MAX) {
                e[k] = &empty;
                continue;
            }
            const size_t slot = at[k] % kKept;
            if (keptFor[slot] != at[k]) {
                Run.Corner(Base + (Keys[at[k]].pos - 1), kept[slot]);
                keptFor[slot] = at[k];
            }
            e[k] = &kept[slot];
        }
        CalcCell(Grid, c.x, c.y, Part, [&](TGridCalcData& r) { return Run.Cell(c.x, c.y, e, r); });
    }
}

} // namespace

bool TInputData::Calcrate(const TProgress& Progress) {
    const TCalcRun run(*this);
    const int method = FCalcType == 1 ? 1 : FCalcType == 2 ? 2 : 0;

    // A value that is no number would give no volume anyone could use (NaN rounds to nothing,
    // infinity to the limit), so the calculation names it instead, before changing anything.
    // The test rides on the pass that finds the site's box.
    const std::vector<TGridField> fields = CalcFields(*this);
    bool finite = true;
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
        finite &= FieldsFinite(g, fields);
    }
    if (!finite) {
        const std::string why = NonFiniteMessage(*this);
        if (!why.empty())
            throw EFailure(why);
    }

    // A run that may be cancelled keeps the figures it overwrites before its records (the
    // previous records stay untouched until then; the cell table is its own working space) and
    // puts them back when it ends by an exception before that point. From there on it runs to
    // its end: a cancel that comes later is not heard, so no second list of records is needed.
    struct TKeep {
        TInputData& D;
        const bool Active;
        const int Unwinding = std::uncaught_exceptions();
        bool Committed = false;
        int64_t Bounds[5] = {};
        TGridCalcData Sum;
        TCalcTotals Totals;
        int64_t Saturated = 0, Time = 0;
        bool Dense = false;

        TKeep(TInputData& d, bool active) : D(d), Active(active) {
            if (Active)
                Swap();
        }
        ~TKeep() {
            if (Active && !Committed && std::uncaught_exceptions() > Unwinding)
                Swap();
        }
        void Swap() {
            int64_t* const b[5] = {&D.FMinX, &D.FMinY, &D.FMaxX, &D.FMaxY, &D.FXSpace};
            for (int i = 0; i < 5; ++i)
                std::swap(Bounds[i], *b[i]);
            std::swap(Sum, D.FSumVolume);
            std::swap(Totals, D.FTotals);
            std::swap(Saturated, D.FSaturatedMeshes);
            std::swap(Time, D.FCalcTime);
            std::swap(Dense, D.FLastCalcDense);
        }
    } keep(*this, static_cast<bool>(Progress));

    // The previous results go (the records where this run's begin); their memory is kept.
    FSumVolume = TGridCalcData{};
    FTotals = TCalcTotals{};
    FSaturatedMeshes = 0;
    FMinX = FMinY = FMaxX = FMaxY = FXSpace = 0;
    FLastCalcDense = false;
    FCalcTime = static_cast<int64_t>(std::time(nullptr));

    ReportProgress(Progress, 0.05);
    if (live == 0) {
        keep.Committed = true;
        FGridCalcList.clear();
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
    // The work is a list of units (pieces of rows of the cell table, points or cells of the
    // sorted index) that are calculated in blocks of neighbouring units.
    size_t units = 0;
    uint64_t unitCells = 1; // the records of a unit at most
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
        const uint64_t rowCells = method == 0 ? xSpace : xSpace - 1;
        const TRowUnits rows{rowCells, (rowCells + kRowPiece - 1) / kRowPiece};
        units = static_cast<size_t>((method == 0 ? ySpace : ySpace - 1) * rows.Pieces);
        unitCells = std::min(rowCells, kRowPiece);
        candidates = [&, rows](size_t b, size_t e) {
            size_t n = 0;
            for (size_t u = b; u < e; ++u) {
                const int32_t* row = FXYtoIndex.data() + rows.Row(u) * xSpace;
                const uint64_t from = rows.From(u), to = from + rows.Count(u);
                if (method == 0) {
                    for (uint64_t x = from; x < to; ++x)
                        n += row[x] != 0;
                } else {
                    const int32_t* next = row + xSpace;
                    for (uint64_t x = from; x < to; ++x)
                        n += (row[x] | row[x + 1] | next[x] | next[x + 1]) != 0;
                }
            }
            return n;
        };
        range = [&, base, rows](size_t b, size_t e, TCalcPart& part) {
            const int32_t* table = FXYtoIndex.data();
            if (method == 1) {
                FourPointRows<TPrismCorner>(run, grid, rows, table, base, b, e, part);
            } else if (method == 2) {
                FourPointRows<TCorner>(run, grid, rows, table, base, b, e, part);
            } else {
                for (size_t u = b; u < e; ++u) {
                    const int64_t Y = FMinY + static_cast<int64_t>(rows.Row(u));
                    const int32_t* row = table + rows.Row(u) * xSpace;
                    const uint64_t from = rows.From(u), to = from + rows.Count(u);
                    for (uint64_t x = from; x < to; ++x) {
                        if (!row[x])
                            continue;
                        const TGridData* g = base + (row[x] - 1);
                        const int64_t X = FMinX + static_cast<int64_t>(x);
                        CalcCell(grid, X, Y, part,
                                 [&](TGridCalcData& r) { return run.OnePoint(X, Y, g, r); });
                    }
                }
            }
        };
    } else {
        // Live points sorted by cell and, among equal mesh numbers, by list position, so the
        // last of each run is the point that wins.
        ReserveLarge(keys, live);
        for (size_t i = 0; i < FGridList.size(); ++i)
            if (!FGridList[i].DelFlg)
                keys.push_back({FGridList[i].Y, FGridList[i].X, static_cast<int32_t>(i + 1)});
        std::sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& b) {
            return KeyLess(a, b) || (!KeyLess(b, a) && a.pos < b.pos);
        });
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
                    const TGridData* g = base + (keys[u].pos - 1);
                    const TKey& k = keys[u];
                    CalcCell(grid, k.x, k.y, part,
                             [&](TGridCalcData& r) { return run.OnePoint(k.x, k.y, g, r); });
                }
            };
        } else {
            // Every cell that has a point among its corners, in scan order: the points'
            // positions shifted by each corner's offset are four sorted lists, merged.
            ReserveLarge(cells4, keys.size() * 4);
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
                const auto seek = [&](size_t& i, int64_t Y, int64_t X) -> size_t {
                    const TKey probe{Y, X, 0};
                    while (i < keys.size() && KeyLess(keys[i], probe))
                        ++i;
                    return (i < keys.size() && keys[i].y == Y && keys[i].x == X) ? i : SIZE_MAX;
                };
                const TKey& c0 = cells4[b];
                size_t row = static_cast<size_t>(
                    std::lower_bound(keys.begin(), keys.end(), TKey{c0.y, c0.x, 0}, KeyLess) -
                    keys.begin());
                size_t below = static_cast<size_t>(
                    std::lower_bound(keys.begin(), keys.end(), TKey{c0.y + 1, c0.x, 0}, KeyLess) -
                    keys.begin());
                const auto corners = [&](const TKey& c, size_t g[4]) {
                    g[0] = seek(row, c.y, c.x);
                    g[1] = seek(row, c.y, c.x + 1);
                    g[2] = seek(below, c.y + 1, c.x);
                    g[3] = seek(below, c.y + 1, c.x + 1);
                };
                if (method == 1)
                    FourPointCells<TPrismCorner>(run, grid, keys, base, cells4, b, e, corners,
                                                 part);
                else
                    FourPointCells<TCorner>(run, grid, keys, base, cells4, b, e, corners, part);
            };
        }
    }

    ReportProgress(Progress, 0.15);

    // One thread per core. Each takes the next block of units, makes its records in a buffer of
    // its own and appends them to the list when the blocks before it are in: the records come
    // out exactly as one thread makes them, each written to the list once, and the totals are
    // whole numbers whose sum does not depend on the split.
    const size_t threads = std::max<size_t>(
        1, std::min(units, FCalcThreads > 0 ? static_cast<size_t>(FCalcThreads)
                           : live < kParallelFloor
                               ? size_t{1}
                               : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8)));
    std::vector<size_t> most(threads, 0);
    InParallel(threads, [&](size_t c) {
        most[c] = candidates(units * c / threads, units * (c + 1) / threads);
    });
    size_t records = 0;
    for (size_t n : most)
        records += n;
    ReportProgress(Progress, 0.3);
    // From here on the records are written: the run goes to its end, cancelled or not.
    keep.Committed = true;
    FGridCalcList.clear();
    ReserveLarge(FGridCalcList, records);

    // Blocks of about kBlockCells cells, and at least one a thread where there are units enough.
    const size_t blockUnits =
        std::max<size_t>(1, std::min<size_t>(std::max<uint64_t>(1, kBlockCells / unitCells),
                                             (units + threads - 1) / threads));
    const size_t blocks = (units + blockUnits - 1) / blockUnits;
    TCalcPart sum;
    std::atomic<size_t> nextBlock{0};
    std::mutex listLock;
    std::condition_variable listTurn;
    size_t turn = 0; // the block whose records go to the list next
    std::atomic<bool> stopped{false};
    InParallel(threads, [&](size_t) {
        std::vector<TGridCalcData> out(static_cast<size_t>(blockUnits * unitCells));
        for (;;) {
            const size_t k = nextBlock++;
            if (k >= blocks || stopped)
                return;
            TCalcPart part;
            part.Out = out.data();
            try {
                range(k * blockUnits, std::min(units, (k + 1) * blockUnits), part);
            } catch (...) {
                {
                    const std::lock_guard<std::mutex> hold(listLock);
                    stopped = true;
                }
                listTurn.notify_all();
                throw;
            }
            std::unique_lock<std::mutex> hold(listLock);
            listTurn.wait(hold, [&] { return turn == k || stopped; });
            if (stopped)
                return;
            FGridCalcList.insert(FGridCalcList.end(), out.begin(),
                                 out.begin() + static_cast<std::ptrdiff_t>(part.Kept));
            sum.Add(part);
            ++turn;
            // Whichever thread appended the block tells, under the lock: the reports come one
            // at a time and in order, however the blocks fell to the threads.
            if (Progress)
                Progress(0.3 + 0.65 * static_cast<double>(turn) / static_cast<double>(blocks));
            hold.unlock();
            listTurn.notify_all();
        }
    });

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
