#include "PlanShiftCalc.h"

#include "analysis/MethodComparison.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>

namespace {

struct TKey {
    int64_t y, x;
    int32_t pos; // 0-based list position
};

bool KeyLess(const TKey& a, const TKey& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

// Part(Begin, End) summed over [0, Count) in one thread per core. The sums are whole numbers,
// so they do not depend on how the range is split.
template <class TPart> TVolumeTotals ParallelSum(size_t Count, const TPart& Part) {
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    const size_t chunks = Count < (size_t{1} << 16) ? 1 : cores;
    if (chunks == 1)
        return Part(0, Count);
    std::vector<TVolumeTotals> sums(chunks);
    std::vector<std::thread> helpers;
    for (size_t c = 1; c < chunks; ++c) {
        const size_t b = Count * c / chunks, e = Count * (c + 1) / chunks;
        try {
            helpers.emplace_back([&sums, &Part, c, b, e] { sums[c] = Part(b, e); });
        } catch (const std::system_error&) {
            sums[c] = Part(b, e); // no thread to be had: this one does it
        }
    }
    sums[0] = Part(0, Count / chunks);
    for (std::thread& t : helpers)
        t.join();
    for (size_t c = 1; c < chunks; ++c)
        sums[0] += sums[c];
    return sums[0];
}

} // namespace

TPlanShiftCalc::TPlanShiftCalc(const TInputData& Data)
    : FSteps(Data), FMethod(CalcMethodOf(Data.CalcType())) {
    const std::vector<TGridData>& list = Data.GridList();
    // The live points by position; a stable sort keeps list order among equal mesh numbers,
    // so the last of each run is the point Calcrate uses there.
    std::vector<TKey> keys;
    keys.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].DelFlg)
            keys.push_back({list[i].Y, list[i].X, static_cast<int32_t>(i)});
    if (!std::is_sorted(keys.begin(), keys.end(), KeyLess))
        std::stable_sort(keys.begin(), keys.end(), KeyLess);
    size_t w = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (w > 0 && keys[w - 1].y == keys[i].y && keys[w - 1].x == keys[i].x)
            keys[w - 1] = keys[i];
        else
            keys[w++] = keys[i];
    }
    keys.resize(w);
    const size_t n = keys.size();

    const TCalcSteps& S = FSteps;
    // The profiles as each method starts from them; the gap range on the adjusted ground.
    FGapSmallest = std::numeric_limits<double>::infinity();
    FGapLargest = -FGapSmallest;
    std::vector<TCorner> prepared(n);
    for (size_t i = 0; i < n; ++i) {
        TCorner& c = prepared[i];
        S.Prepare(list[keys[i].pos], c);
        if (FMethod == 0 && S.Hyoudo)
            FTopsoil += S.Volume(c.top, S.A);
        TCorner adjusted = c;
        S.Adjust(adjusted);
        if (FMethod != 2)
            c = adjusted;
        const double gap = adjusted.t[0] - adjusted.h;
        if (std::isfinite(gap)) {
            FGapSmallest = std::min(FGapSmallest, gap);
            FGapLargest = std::max(FGapLargest, gap);
        }
    }
    if (FMethod == 2) {
        FPlan.resize(n);
        for (size_t i = 0; i < n; ++i)
            FPlan[i] = prepared[i].h;
    }

    if (FMethod != 0) {
        // The cells with a point among their corners, found by merging the four sorted
        // sequences of the cells each point is a corner of: corner 0 of (X, Y), 1 of
        // (X - 1, Y), 2 of (X, Y - 1), 3 of (X - 1, Y - 1).
        const int64_t dx[4] = {0, 1, 0, 1}, dy[4] = {0, 0, 1, 1};
        size_t at[4] = {0, 0, 0, 0};
        const TCorner none; // a corner without a point counts as all zeros, as in Calcrate
        FCells.reserve(n + n / 8 + 4);
        if (FMethod == 2)
            FAverage.reserve(FCells.capacity());
        for (;;) {
            bool any = false;
            TKey cell{INT64_MAX, INT64_MAX, 0};
            for (int k = 0; k < 4; ++k) {
                if (at[k] == n)
                    continue;
                const TKey c{keys[at[k]].y - dy[k], keys[at[k]].x - dx[k], 0};
                if (!any || KeyLess(c, cell))
                    cell = c;
                any = true;
            }
            if (!any)
                break;
            TCell& out = FCells.emplace_back();
            const TCorner* c[4];
            for (int k = 0; k < 4; ++k) {
                out.Corner[k] = -1;
                c[k] = &none;
                if (at[k] < n && keys[at[k]].y - dy[k] == cell.y &&
                    keys[at[k]].x - dx[k] == cell.x) {
                    out.Corner[k] = static_cast<int32_t>(at[k]);
                    c[k] = &prepared[at[k]++];
                }
            }
            if (FMethod == 1) {
                long double topsoil = 0.0L;
                for (int k = 0; k < 4; ++k)
                    topsoil += static_cast<long double>(c[k]->top) * S.q;
                out.HV = S.Hyoudo ? RoundWhole(static_cast<double>(topsoil), S.RoundMode) : 0;
            } else {
                TCorner& a = FAverage.emplace_back();
                for (int i = 0; i < S.L; ++i)
                    a.t[i] = (c[0]->t[i] + c[1]->t[i] + c[2]->t[i] + c[3]->t[i]) / 4;
                a.top = (c[0]->top + c[1]->top + c[2]->top + c[3]->top) / 4;
                a.csink = (c[0]->csink + c[1]->csink + c[2]->csink + c[3]->csink) / 4;
                a.bsink = (c[0]->bsink + c[1]->bsink + c[2]->bsink + c[3]->bsink) / 4;
                S.Adjust(a);
                out.HV = S.Hyoudo ? S.Volume(a.top, S.A) : 0;
                FTopsoil += out.HV;
            }
        }
    }
    if (FMethod != 2)
        FPoints = std::move(prepared);
}

bool TPlanShiftCalc::GapRange(double& Smallest, double& Largest) const {
    Smallest = FGapSmallest;
    Largest = FGapLargest;
    return Smallest <= Largest;
}

TVolumeTotals TPlanShiftCalc::Totals(double Shift) const {
    const TCalcSteps& S = FSteps;
    if (FMethod == 0) {
        TVolumeTotals t = ParallelSum(FPoints.size(), [&](size_t Begin, size_t End) {
            TVolumeTotals part;
            TGridCalcData r;
            double parts[6];
            for (size_t i = Begin; i < End; ++i) {
                TCorner c = FPoints[i];
                c.h += Shift;
                const double fill = S.Split(c, parts);
                S.Volumes(fill, parts, S.A, r);
                part.Add(r);
            }
            return part;
        });
        t.HV = FTopsoil;
        return t;
    }
    if (FMethod == 1) {
        return ParallelSum(FCells.size(), [&](size_t Begin, size_t End) {
            TVolumeTotals part;
            TGridCalcData r;
            for (size_t j = Begin; j < End; ++j) {
                const TCell& cell = FCells[j];
                double f[4];
                double p[4][6];
                for (int k = 0; k < 4; ++k) {
                    if (cell.Corner[k] < 0) {
                        f[k] = 0.0;
                        std::fill(p[k], p[k] + 6, 0.0);
                        continue;
                    }
                    TCorner c = FPoints[cell.Corner[k]];
                    c.h += Shift;
                    f[k] = S.Split(c, p[k]);
                }
                double parts[6];
                for (int i = 0; i < 6; ++i)
                    parts[i] = p[0][i] + p[1][i] + p[2][i] + p[3][i];
                S.Volumes(f[0] + f[1] + f[2] + f[3], parts, S.q, r);
                // Calcrate drops a cell whose corrected volumes both round to 0.
                if (!(r.BV[1] > 0) && !(r.CV[1][0] > 0))
                    continue;
                r.HV = cell.HV;
                part.Add(r);
            }
            return part;
        });
    }
    TVolumeTotals t = ParallelSum(FCells.size(), [&](size_t Begin, size_t End) {
        TVolumeTotals part;
        TGridCalcData r;
        double parts[6];
        for (size_t j = Begin; j < End; ++j) {
            const TCell& cell = FCells[j];
            double h[4];
            for (int k = 0; k < 4; ++k)
                h[k] = cell.Corner[k] < 0 ? 0.0 : FPlan[cell.Corner[k]] + Shift;
            TCorner a = FAverage[j];
            a.h = (h[0] + h[1] + h[2] + h[3]) / 4;
            const double fill = S.Split(a, parts);
            S.Volumes(fill, parts, S.A, r);
            part.Add(r);
        }
        return part;
    });
    t.HV = FTopsoil;
    return t;
}
