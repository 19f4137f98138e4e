// Loading and calculating with a progress callback: the callback hears the work go on, a cancel
// at any report leaves the project exactly as it was (file image, results, phases, listeners
// unheard), and a run that is not cancelled gives what a run without progress gives.

#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "model/DataUnit.h"
#include "model/RateCalc.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Everything a project holds that a load or a calculation could change.
struct TState {
    std::string Bytes; // the file image: settings, points, phases, tags
    std::vector<TGridCalcData> Records;
    TGridCalcData Sum;
    TCalcTotals Totals;
    int64_t Saturated, CalcTime;
    bool Dense;

    explicit TState(const TInputData& d)
        : Bytes(d.SaveToBytes()), Records(d.CalcList()), Sum(d.GetCalcSumVolume()),
          Totals(d.GetCalcTotals()), Saturated(d.SaturatedMeshCount()), CalcTime(d.CalcTime()),
          Dense(d.LastCalcWasDense()) {}
};

void ExpectSame(const TState& a, const TState& b, bool WithTime, const std::string& Where) {
    ASSERT_TRUE(a.Bytes == b.Bytes) << Where;
    ASSERT_EQ(a.Records.size(), b.Records.size()) << Where;
    // No records (never calculated) have no storage to compare.
    ASSERT_TRUE(a.Records.empty() || std::memcmp(a.Records.data(), b.Records.data(),
                                                 a.Records.size() * sizeof(TGridCalcData)) == 0)
        << Where;
    ASSERT_EQ(std::memcmp(&a.Sum, &b.Sum, sizeof a.Sum), 0) << Where;
    ASSERT_EQ(std::memcmp(&a.Totals, &b.Totals, sizeof a.Totals), 0) << Where;
    ASSERT_EQ(a.Saturated, b.Saturated) << Where;
    ASSERT_EQ(a.Dense, b.Dense) << Where;
    if (WithTime) {
        ASSERT_EQ(a.CalcTime, b.CalcTime) << Where;
    }
}

// A square site of Side × Side points (a corner cut away) whose cut and fill vary from mesh to
// mesh: large enough that a calculation reports several times over two or three ranges.
TInputData Site(int Side, int CalcType, double Lift = 0.0) {
    TInputData d;
    d.SetTitle("進捗の試験");
    d.SetMeshSpan(5.0);
    d.SetLayer(3);
    d.SetHyoudo(true);
    d.SetCalcType(CalcType);
    d.ReserveMeshes(static_cast<size_t>(Side) * Side);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            if (x + y < Side / 8)
                continue;
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = 10 + 0.01 * ((x * 7 + y * 13) % 300) + Lift;
            g.FH = 11;
            g.LAYER[0] = 0.2;
            g.LAYER[1] = 0.5;
            g.LAYER[2] = 0.8;
            d.SetMeshData(g);
        }
    return d;
}

// Counts the reports and answers false (cancel) at report CancelAt (1-based; 0: never).
struct TCounter {
    int Calls = 0, CancelAt = 0;
    std::vector<double> Done; // of every report
    bool Rising = true, InRange = true;
    TProgress Callback() {
        return [this](double D) {
            Rising = Rising && (Done.empty() || D >= Done.back());
            InRange = InRange && D >= 0.0 && D <= 1.0;
            Done.push_back(D);
            return ++Calls != CancelAt;
        };
    }
    // Reports at or below Share (where the work still hears a cancel).
    int CallsUpTo(double Share) const {
        int n = 0;
        for (double d : Done)
            n += d <= Share ? 1 : 0;
        return n;
    }
};

// A calculation hears a cancel while it prepares, up to this share of its work.
constexpr double kCalcCancellable = 0.3;

// Phase changes heard by the project's listener.
struct TListener {
    std::vector<std::pair<int, bool>> Heard;
    void Install(TInputData& d) {
        d.SetOnPhaseChange(
            [this](TInputData&, int Phase, bool Value) { Heard.emplace_back(Phase, Value); });
    }
};

class Progress : public TTempFolderTest {};

} // namespace

// For each index mode and number of ranges: a calculation cancelled at its first, every middle
// and last report leaves the previous results (of another method) and the phases untouched,
// the listener hears nothing, and the next calculation runs as ever. Uncancelled, the records
// and totals are those of a calculation without progress, bit for bit.
TEST_F(Progress, CancelledCalculationLeavesTheResults) {
    const TInputData site = Site(400, 0);
    const struct {
        TCellIndexMode Mode;
        int Threads;
    } cases[] = {
        {TCellIndexMode::Dense, 1}, {TCellIndexMode::Dense, 2}, {TCellIndexMode::Sparse, 2}};
    for (const auto& c : cases) {
        const std::string where =
            std::string(c.Mode == TCellIndexMode::Dense ? "dense" : "sparse") + " threads " +
            std::to_string(c.Threads);
        TInputData d = site;
        d.SetCellIndexMode(c.Mode);
        d.SetCalcThreads(c.Threads);
        const TInputData fresh = d;
        d.SetCalcType(1);
        TCounter count;
        ASSERT_TRUE(d.Calcrate(count.Callback()));
        EXPECT_TRUE(count.Rising && count.InRange) << where;
        ASSERT_GE(count.Calls, 5) << where; // the steps, not only the start and the end
        const TState withProgress(d);
        ASSERT_TRUE(d.Calcrate());
        ExpectSame(withProgress, TState(d), false, where + " uncancelled");

        // Results of the one-point method in a project now set to the prism.
        d.SetCalcType(0);
        d.Calcrate();
        d.SetCalcType(1);
        const TState kept(d);
        TListener listener;
        listener.Install(d);
        const int last = count.CallsUpTo(kCalcCancellable);
        ASSERT_GE(last, 3) << where;
        for (int at : {1, 3, last}) {
            TCounter cancel;
            cancel.CancelAt = at;
            EXPECT_THROW(d.Calcrate(cancel.Callback()), ECancelled) << where << " at " << at;
            ExpectSame(kept, TState(d), true, where + " cancelled at " + std::to_string(at));
            EXPECT_TRUE(d.GetPhase(2));
            EXPECT_TRUE(listener.Heard.empty()) << where;
        }
        // Too late: once the records are being written the calculation runs to its end.
        TCounter late;
        late.CancelAt = last + 1;
        EXPECT_TRUE(d.Calcrate(late.Callback()));
        ExpectSame(withProgress, TState(d), false, where + " cancelled too late");
        // Never calculated: the cancel leaves no results and phase 2 clear.
        TInputData e = fresh;
        TCounter cancel;
        cancel.CancelAt = 3;
        EXPECT_THROW(e.Calcrate(cancel.Callback()), ECancelled);
        ExpectSame(TState(fresh), TState(e), true, where + " never calculated");
        EXPECT_FALSE(e.GetPhase(2));
    }
}

// Opening a calculated file over a calculated project: a cancel while reading or while
// recalculating leaves the open project as it was, unheard; an uncancelled open with progress
// equals an open without it and tells the listener of every phase that changed.
TEST_F(Progress, CancelledLoadLeavesTheProject) {
    TInputData next = Site(300, 1, 0.5);
    next.SetTitle("次の工区");
    next.Calcrate();
    next.SetPhase(3, true);
    next.FileSave(Path("next.msh"));
    TInputData plain;
    plain.FileLoad(Path("next.msh"));

    TInputData open = Site(200, 0);
    open.SetCalcThreads(2);
    open.Calcrate();
    open.SetTag("Note", "kept");
    const TState before(open);

    TCounter count;
    {
        TInputData e = open;
        TListener listener;
        listener.Install(e);
        e.FileLoad(Path("next.msh"), count.Callback());
        ExpectSame(TState(plain), TState(e), true, "uncancelled");
        EXPECT_TRUE(count.Rising && count.InRange);
        ASSERT_GE(count.Calls, 4); // reading and recalculating both report
        EXPECT_EQ(listener.Heard, (std::vector<std::pair<int, bool>>{{3, true}}));
    }
    // Reading is half the share, the recalculation the other half.
    const int cancellable = count.CallsUpTo(0.5 + 0.5 * kCalcCancellable);
    ASSERT_LT(cancellable, count.Calls);
    for (int at = 1; at <= cancellable; ++at) {
        TInputData e = open;
        TListener listener;
        listener.Install(e);
        TCounter cancel;
        cancel.CancelAt = at;
        EXPECT_THROW(e.FileLoad(Path("next.msh"), cancel.Callback()), ECancelled) << at;
        ExpectSame(before, TState(e), true, "cancelled at " + std::to_string(at));
        EXPECT_TRUE(listener.Heard.empty()) << at;
    }
}

// Applying the simulator's rates and recalculating: a cancel keeps the old rates, results and
// phases; uncancelled, the outcome is that of applying and calculating without progress.
TEST_F(Progress, CancelledRateRecalculationKeepsTheOldRates) {
    TInputData d = Site(300, 1);
    d.Calcrate();
    const TRateSimulation sim = StartRateSimulation(d, d.GetCalcTotals());
    ASSERT_TRUE(sim.Amended);
    const TState before(d);

    TInputData plain = d;
    ApplyRateSimulation(plain, sim);
    plain.Calcrate();

    TCounter count;
    TInputData e = d;
    ASSERT_TRUE(ApplyRateSimulationAndRecalc(e, sim, count.Callback()));
    ExpectSame(TState(plain), TState(e), false, "uncancelled");
    ASSERT_GE(count.CallsUpTo(kCalcCancellable), 2);
    for (int at : {1, count.CallsUpTo(kCalcCancellable)}) {
        TInputData c = d;
        TListener listener;
        listener.Install(c);
        TCounter cancel;
        cancel.CancelAt = at;
        EXPECT_THROW(ApplyRateSimulationAndRecalc(c, sim, cancel.Callback()), ECancelled);
        ExpectSame(before, TState(c), true, "cancelled at " + std::to_string(at));
        EXPECT_TRUE(listener.Heard.empty());
    }
}

// The method comparison and the plan balance only read the project. A cancel at their first
// or at their last report that can still stop them (the comparison's last calculation while it
// prepares) ends them by ECancelled with the project as it was; uncancelled, they give what
// they give without progress.
TEST_F(Progress, ComparisonAndBalanceStopAtACancel) {
    TInputData d = Site(150, 1);
    ASSERT_TRUE(d.Calcrate());
    const TState before(d);
    const auto comparison = [&d](const TProgress& P) {
        std::string s;
        for (const TComparisonTable::TRow& r : BuildComparisonTable(d, CompareMethods(d, P)).Rows)
            for (int m = 0; m < CalcMethodCount; ++m)
                s += r.Label + ":" + r.Volume[m] + r.Difference[m] + r.Percent[m] + "|";
        return s;
    };
    const auto balance = [&d](const TProgress& P) {
        const TPlanBalance b = FindPlanBalance(d, 1000, P);
        return std::to_string(b.Found) + b.Message + ShiftText(b.ShiftMm) + " " +
               std::to_string(b.After.Surplus()) + " " + std::to_string(b.Evaluations);
    };
    const struct {
        const char* Name;
        std::function<std::string(const TProgress&)> Run;
        double Cancellable; // the last share at which a cancel is heard (and a rounding)
    } cases[] = {{"comparison", comparison, (2.0 + kCalcCancellable) / 3.0 + 1e-9},
                 {"balance", balance, 1.0}};
    for (const auto& c : cases) {
        TCounter count;
        const std::string result = c.Run(count.Callback());
        EXPECT_EQ(result, c.Run({})) << c.Name;
        EXPECT_TRUE(count.Rising && count.InRange) << c.Name;
        const int late = count.CallsUpTo(c.Cancellable);
        ASSERT_GT(late, 3) << c.Name << ": reports along the way";
        for (int at : {1, late}) {
            TCounter cancel;
            cancel.CancelAt = at;
            EXPECT_THROW(c.Run(cancel.Callback()), ECancelled) << c.Name << " at " << at;
            EXPECT_EQ(cancel.Calls, at) << c.Name << ": no report after the cancel";
        }
        ExpectSame(before, TState(d), true, c.Name);
    }
}
