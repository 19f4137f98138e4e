#pragma once
// The change-rate simulator's arithmetic: which rates would make the corrected cut and the
// corrected fill of the project balance. With cut correction the rates of the chosen soil
// layers are scaled by one factor; with fill correction the one fill rate becomes the ratio of
// the corrected cut to the plain fill. Rates are rounded to three decimals, halves to even.

#include "DataUnit.h"

#include <array>

// Multiplies by 1000, rounds to the nearest whole number (halves to the even one), divides.
double RoundRate3(double Value);

struct TRateSimulation {
    bool CutCorrection = true; // RateType other than 1; with 1 the fill rate changes
    double CurrentRate = 1.0;  // the corrected side's rate (with cut correction the average)
    double CurrentVolume = 0.0;
    double TargetVolume = 0.0;
    // True once rates were computed for this project; applying stores nothing before that.
    bool Amended = false;
    std::array<double, TInputData::MaxLayer> Rate{}; // cut: layer j + 1; fill: [0]
    double AmendedRate = 0.0;
    double AmendedVolume = 0.0;
};

using TLayerSelection = std::array<bool, TInputData::MaxLayer>; // by layer number minus one

// The opening state for the project's totals. With cut correction every existing layer is
// selected, as the dialog's check boxes start.
TRateSimulation StartRateSimulation(const TInputData& Data, const TCalcTotals& Sum);

// Recomputes the cut amendment for the selected layers. When the selected layers cannot reach
// the target (nothing selected, no fill, nothing left for them to supply) it answers false and
// leaves Sim as it was.
bool RecalcCutAmendment(const TInputData& Data, const TCalcTotals& Sum,
                        const TLayerSelection& Selected, TRateSimulation& Sim);

// Stores the amended rates in the project's soil table and clears its phase 2 (results valid);
// nothing when no rates were computed.
void ApplyRateSimulation(TInputData& Data, const TRateSimulation& Sim);

// Stores the amended rates and recalculates, answering what Calcrate answers. With Progress the
// work may be cancelled (ECancelled): a cancel, or any failure, puts the old rates back and
// leaves the results and phases as they were; the project's listener hears only the outcome.
bool ApplyRateSimulationAndRecalc(TInputData& Data, const TRateSimulation& Sim,
                                  const TProgress& Progress = {});
