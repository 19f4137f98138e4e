#pragma once
// Balancing cut and fill by the plan: the uniform shift Δh of every planned height, to the
// millimetre, at which the corrected cut less the corrected fill comes nearest to the surplus
// the user asks for (0: cut and fill balance), by the project's own method, rounding and
// correction. Among shifts that leave the same difference the smallest |Δh| is taken.

#include "analysis/VolumeTotals.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>

class TInputData;

struct TPlanBalance {
    bool Found = false;
    std::string Message;                      // why no shift was found (Japanese); empty when found
    int64_t TargetSurplus = 0;                // m³; negative: a shortage
    TVolumeTotals Before;                     // at the plan as it stands
    int64_t ShiftMm = 0;                      // Δh in millimetres
    TVolumeTotals After;                      // at the plan shifted by Δh
    int64_t SearchFromMm = 0, SearchToMm = 0; // the range searched
    int Evaluations = 0;

    double Shift() const { return static_cast<double>(ShiftMm) / 1000.0; }
    // What is left over after the shift: the surplus beyond the target (negative: below it).
    int64_t Remaining() const { return After.Surplus() - TargetSurplus; }
};

// The plan is shifted at most this far either way (10 km); beyond it no site is sensible.
constexpr int64_t kPlanShiftLimitMm = 10'000'000;

// Progress may cancel the search (ECancelled) before each evaluation of a shift.
TPlanBalance FindPlanBalance(const TInputData& Data, int64_t TargetSurplus,
                             const TProgress& Progress = {});

// Raises every live planned height by Shift metres (lowers it when negative), each through
// SetMeshData, so phase 2 is cleared; the caller recalculates.
void ShiftPlannedHeights(TInputData& Data, double Shift);

// "+0.123" or "-1.250": a shift in metres with three decimals and its sign.
std::string ShiftText(int64_t ShiftMm);
