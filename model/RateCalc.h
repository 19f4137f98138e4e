#pragma once
// The change-rate simulator's arithmetic: which rates would make the corrected cut and the
// corrected fill of the project balance. With cut correction the rates of the chosen soil
// layers are scaled by one factor; with fill correction the one fill rate becomes the ratio of
// the corrected cut to the plain fill. Rates are rounded to three decimals, halves to even,
// exactly as they are stored. The volume the rates give is not estimated from the totals (each
// mesh rounds its own corrected volumes): it is the calculation itself, run with the rates
// stored, so what the simulator shows is what applying gives; the project is then put back.

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
    // The corrected side's rate (cut: the average over the layers) and volume after applying,
    // and all totals of that calculation.
    double AmendedRate = 0.0;
    double AmendedVolume = 0.0;
    TCalcTotals AmendedTotals;
};

using TLayerSelection = std::array<bool, TInputData::MaxLayer>; // by layer number minus one

// The corrected side's current rate and volume and the target for the project's totals, with
// no amendment yet: what the simulator shows before (or without) its calculation.
TRateSimulation CurrentRateSimulation(const TInputData& Data, const TCalcTotals& Sum);

// The opening state for the project's totals. With cut correction every existing layer is
// selected, as the dialog's check boxes start. The amended volume is calculated (see
// AmendedTotals): Progress may cancel it (ECancelled).
TRateSimulation StartRateSimulation(TInputData& Data, const TCalcTotals& Sum,
                                    const TProgress& Progress = {});

// Recomputes the cut amendment for the selected layers. When the selected layers cannot reach
// the target (nothing selected, no fill, nothing left for them to supply) it answers false and
// leaves Sim as it was; so does a cancel (ECancelled) of the calculation.
bool RecalcCutAmendment(TInputData& Data, const TCalcTotals& Sum, const TLayerSelection& Selected,
                        TRateSimulation& Sim, const TProgress& Progress = {});

// The totals a calculation gives with Sim's rates stored. Worked out in the project: the rates
// are stored and calculated, then the old rates are put back and, where the project had
// results, calculated again (the same records) with their date kept; its listener hears
// nothing. A cancel (ECancelled, through Progress) leaves the project as it was; another
// failure leaves the old rates without results.
TCalcTotals AmendedTotals(TInputData& Data, const TRateSimulation& Sim,
                          const TProgress& Progress = {});

// Stores the amended rates in the project's soil table and clears its phase 2 (results valid);
// nothing when no rates were computed.
void ApplyRateSimulation(TInputData& Data, const TRateSimulation& Sim);

// Stores the amended rates and recalculates, answering what Calcrate answers. With Progress the
// work may be cancelled (ECancelled): a cancel, or any failure, puts the old rates back and
// leaves the results and phases as they were; the project's listener hears only the outcome.
bool ApplyRateSimulationAndRecalc(TInputData& Data, const TRateSimulation& Sim,
                                  const TProgress& Progress = {});
