#include "PlanBalance.h"

#include "analysis/PlanShiftCalc.h"
#include "model/DataUnit.h"
#include "model/MeshFields.h"
#include "model/PlausibleRange.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

// Why a search over millimetres finds the best shift. Let r(k) be the corrected cut less the
// corrected fill less the target, with every planned height raised by k mm. As the plan rises,
// no mesh's fill depth falls and no cut depth grows: the depth is h - ground (plus a settlement
// that is not negative) above the ground and ground - h below it, h = FH + k / 1000 rises with k
// in floating point too, the four-point sums and averages of rising terms rise, and the split
// over the layers takes less from every layer when the depth is less. A volume is depth × area
// × rate rounded by a monotone rule, so with no negative rate each mesh's corrected fill does
// not decrease and its corrected cut does not increase; nor do the sums. r is therefore a
// non-increasing step function of k. The best k lies where r changes sign: the first k with
// r(k) <= 0 or the one before it; a bisection finds that k in log2(range) evaluations, and two
// more bisections find the ends of the level stretches, for the smallest |k| among equal
// differences. Inputs that would break the order (negative rates, negative consolidation
// settlements) are refused before searching.

namespace {

std::string Volume(int64_t V) {
    return FormatThousands(static_cast<double>(V), 0);
}

// "残土量は 150 m³" or "不足土量は 80 m³".
std::string SurplusText(int64_t Surplus) {
    return (Surplus >= 0 ? "残土量は " : "不足土量は ") + Volume(std::llabs(Surplus)) + " m³";
}

// What makes r non-increasing; the message when it does not hold.
std::string OrderBreaker(const TInputData& Data) {
    const int L = std::clamp(Data.Layer(), 1, TInputData::MaxLayer);
    if (Data.RateType() == 1) {
        if (Data.GetSolidValue(0, 0) < 0)
            return "盛土の変化率が負のため、計画高の調整量を求められません。変化率を見直してく"
                   "ださい。";
    } else {
        for (int i = 1; i <= L; ++i)
            if (Data.GetSolidValue(i, 0) < 0)
                return "変化率が負の土質があるため、計画高の調整量を求められません。変化率を見"
                       "直してください。";
    }
    if (Data.Atumitu())
        for (const TGridData& g : Data.GridList())
            if (!g.DelFlg && g.BSink < 0)
                return StrFormat("圧密沈下が負のメッシュ（X=%d, Y=%d）があるため、計画高の調整"
                                 "量を求められません。",
                                 g.X, g.Y);
    return {};
}

int64_t ToMm(double Metres) {
    const double mm =
        std::clamp(Metres * 1000.0, -double(kPlanShiftLimitMm), double(kPlanShiftLimitMm));
    return static_cast<int64_t>(mm);
}

} // namespace

std::string ShiftText(int64_t ShiftMm) {
    const int64_t a = std::llabs(ShiftMm);
    return StrFormat("%s%lld%s%03lld", ShiftMm < 0 ? "-" : "+", static_cast<long long>(a / 1000),
                     FormatSettings().DecimalSeparator.c_str(), static_cast<long long>(a % 1000));
}

TPlanBalance FindPlanBalance(const TInputData& Data, int64_t TargetSurplus,
                             const TProgress& Progress) {
    TPlanBalance b;
    b.TargetSurplus = TargetSurplus;
    if (Data.GetInputMeshCount() == 0) {
        b.Message = "メッシュデータがありません。";
        return b;
    }
    if (!MeshSpanUsable(Data.MeshSpan())) {
        b.Message = MeshSpanMessage(Data.MeshSpan());
        return b;
    }
    // The search evaluates the project by itself: the values Calcrate refuses are refused here.
    b.Message = NonFiniteMessage(Data);
    if (!b.Message.empty())
        return b;
    b.Message = OrderBreaker(Data);
    if (!b.Message.empty())
        return b;

    ReportProgress(Progress, 0.0);
    const TPlanShiftCalc calc(Data);
    std::map<int64_t, TVolumeTotals> seen;
    auto totals = [&](int64_t k) -> const TVolumeTotals& {
        auto it = seen.find(k);
        if (it == seen.end()) {
            // How many shifts the search tries is not known beforehand (a few dozen): the
            // share done nears the end with each one.
            ReportProgress(Progress, 1.0 - 0.8 * std::pow(0.95, b.Evaluations));
            it = seen.emplace(k, calc.Totals(static_cast<double>(k) / 1000.0)).first;
            ++b.Evaluations;
        }
        return it->second;
    };
    auto r = [&](int64_t k) { return totals(k).Surplus() - TargetSurplus; };
    b.Before = totals(0);

    double smallest, largest;
    if (!calc.GapRange(smallest, largest)) {
        b.Message = "地盤高と計画高がともに数値のメッシュがないため、計画高の調整量を求められま"
                    "せん。";
        return b;
    }
    // The sensible shifts: from the plan below the ground everywhere to above it everywhere
    // (and the plan as it stands), and as far again as the site's own relief either way, at
    // least a metre. Further on a shift only digs out or fills up the whole site.
    const double reach = std::max(largest - smallest, 1.0);
    const int64_t lo = ToMm(std::min(smallest, 0.0) - reach) - 1;
    const int64_t hi = ToMm(std::max(largest, 0.0) + reach) + 1;
    b.SearchFromMm = lo;
    b.SearchToMm = hi;

    const TVolumeTotals& low = totals(lo);
    const TVolumeTotals& high = totals(hi);
    if (low.BV[1] == 0 && low.CV[1][0] == 0 && high.BV[1] == 0 && high.CV[1][0] == 0) {
        b.Message = "計画高を動かしても切土も盛土も生じないため、計画高"
                    "の調整量を求められません。";
        return b;
    }
    const std::string target = TargetSurplus >= 0
                                   ? "目標の残土量 " + Volume(TargetSurplus) + " m³"
                                   : "目標の不足土量 " + Volume(-TargetSurplus) + " m³";
    if (r(lo) < 0) {
        b.Message = StrFormat("計画高を %s m 下げて全面を切土にしても、%s で、%s に届きません。",
                              ShiftText(-lo).c_str() + 1, SurplusText(low.Surplus()).c_str(),
                              target.c_str());
        return b;
    }
    if (r(hi) > 0) {
        b.Message = StrFormat("計画高を %s m 上げて全面を盛土にしても、%s で、%s に届きません。",
                              ShiftText(hi).c_str() + 1, SurplusText(high.Surplus()).c_str(),
                              target.c_str());
        return b;
    }

    // r(lo) >= 0 >= r(hi). The smallest k in [a, z] with r(k) <= v, given r(z) <= v: the
    // difference is nearly straight over a large site, so each step tries where a straight
    // line through the ends meets v; a step that does not halve the bracket is followed by a
    // halving one, so the search never takes more than twice the steps of a bisection.
    auto firstAtMost = [&](int64_t v, int64_t a, int64_t z) {
        if (r(a) <= v)
            return a;
        bool halve = false;
        while (z - a > 1) {
            const int64_t width = z - a;
            int64_t m = a + width / 2;
            if (!halve) {
                const long double above = r(a) - v, below = r(z) - v; // above > 0 >= below
                const long double t = above / (above - below);
                m = a + static_cast<int64_t>(std::llround(static_cast<double>(t * width)));
                m = std::clamp(m, a + 1, z - 1);
            }
            if (r(m) <= v)
                z = m;
            else
                a = m;
            halve = !halve && z - a > width / 2;
        }
        return z;
    };
    // The last k from From towards To (either way) with r(k) = r(From): doubling steps, then a
    // bisection; level stretches are short on large sites.
    auto levelEnd = [&](int64_t From, int64_t To) {
        const int64_t v = r(From), dir = To >= From ? 1 : -1;
        int64_t good = From, bad = From, step = 1;
        while (good != To) {
            const int64_t next = dir > 0 ? std::min(good + step, To) : std::max(good - step, To);
            if (r(next) != v) {
                bad = next;
                break;
            }
            good = next;
            step *= 2;
        }
        if (bad == From)
            return good; // level as far as To
        while (std::llabs(bad - good) > 1) {
            const int64_t m = good + (bad - good) / 2;
            if (r(m) == v)
                good = m;
            else
                bad = m;
        }
        return good;
    };

    // At or above the sign change: the level stretch from the first k with r(k) <= 0, whose
    // point nearest 0 is its start, or 0 itself when the stretch reaches it.
    const int64_t first = firstAtMost(0, lo, hi);
    const int64_t v1 = r(first);
    const int64_t best1 = first >= 0 ? first : levelEnd(first, 0);
    int64_t best = best1, bestDiff = std::llabs(v1);
    // Just below it, r > 0: the stretch ending at first - 1, seen from the other side.
    if (v1 != 0 && first > lo) {
        const int64_t before = first - 1;
        const int64_t d = std::llabs(r(before));
        const int64_t k = before <= 0 ? before : levelEnd(before, 0);
        // On a full tie the higher plan, where the surplus does not exceed the target.
        if (d < bestDiff || (d == bestDiff && std::llabs(k) < std::llabs(best))) {
            best = k;
            bestDiff = d;
        }
    }
    b.Found = true;
    b.Message.clear();
    b.ShiftMm = best;
    b.After = totals(best);
    return b;
}

void ShiftPlannedHeights(TInputData& Data, double Shift) {
    for (int i = 0; i < Data.MeshCount(); ++i) {
        TGridData g = Data.GridList()[i];
        if (g.DelFlg)
            continue;
        g.Index = i + 1;
        g.FH += Shift;
        Data.SetMeshData(g);
    }
}
