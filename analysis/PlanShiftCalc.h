#pragma once
// The totals Calcrate would give if every planned height rose by the same shift, evaluated many
// times over without changing the project. Everything that does not depend on the planned
// height is worked out once: which point stands at each mesh position, the cells of the
// four-point methods and their corners, every layer profile (topsoil stripped, stepping-in
// settlement, clamped), the averaged profiles and the topsoil volumes. An evaluation then only
// finds each depth, splits it over the layers and rounds the volumes, through the very steps
// Calcrate takes (model/DataUnitCalcRun.h), so the figures equal those of a calculation of the
// shifted project.

#include "analysis/VolumeTotals.h"
#include "model/DataUnitCalcRun.h"

#include <array>
#include <vector>

class TPlanShiftCalc {
public:
    explicit TPlanShiftCalc(const TInputData& Data);

    // The totals after every live planned height rose by Shift metres (FH + Shift, as stored
    // by ShiftPlannedHeights).
    TVolumeTotals Totals(double Shift) const;

    // The smallest and largest ground less planned height over the points whose heights are
    // numbers (ground after topsoil stripping and stepping-in settlement). Shifting the plan
    // above the largest leaves no cut anywhere, below the smallest no fill. False when no point
    // has such heights.
    bool GapRange(double& Smallest, double& Largest) const;

private:
    struct TCell {
        std::array<int32_t, 4> Corner; // index into FPoints, -1 where no point stands
        int32_t HV;                    // topsoil volume of the cell
    };

    TCalcSteps FSteps;
    int FMethod;
    // One per live mesh position (the later of two points at one position wins), sorted by Y
    // and X: the adjusted profile (one-point and prism), or only the planned height (average,
    // whose profiles are averaged per cell first).
    std::vector<TCorner> FPoints;
    std::vector<double> FPlan;
    std::vector<TCell> FCells;     // four-point methods
    std::vector<TCorner> FAverage; // average method: the cell's adjusted averaged profile
    int64_t FTopsoil = 0;          // one-point and average: every record counts its topsoil
    double FGapSmallest, FGapLargest;
};
