#include "RateCalc.h"

#include <cmath>

double RoundRate3(double Value) {
    // nearbyint follows the default rounding mode, which rounds halves to even.
    return std::nearbyint(Value * 1000.0) / 1000.0;
}

TRateSimulation StartRateSimulation(const TInputData& Data, const TCalcTotals& Sum) {
    TRateSimulation s;
    // As the calculation reads it: only 1 corrects the fill, any other value (a foreign file's)
    // corrects the cut, so the simulator amends the rates that are actually used.
    s.CutCorrection = Data.RateType() != 1;
    if (s.CutCorrection) {
        s.CurrentVolume = Sum.CV[1][0];
        s.CurrentRate = Sum.CV[0][0] > 0 ? double(Sum.CV[1][0]) / Sum.CV[0][0] : 1.0;
        s.TargetVolume = Sum.BV[1];
        TLayerSelection all{};
        for (int t = 0; t < TInputData::MaxLayer; ++t)
            all[t] = t < Data.Layer();
        RecalcCutAmendment(Data, Sum, all, s);
        return s;
    }
    s.CurrentVolume = Sum.BV[1];
    s.TargetVolume = Sum.CV[1][0];
    if (Sum.BV[0] > 0) {
        s.CurrentRate = double(Sum.BV[1]) / Sum.BV[0];
        s.Rate[0] = RoundRate3(double(Sum.CV[1][0]) / Sum.BV[0]);
    } else {
        s.CurrentRate = 1.0;
        s.Rate[0] = 1.0;
    }
    s.Amended = true;
    s.AmendedRate = s.Rate[0];
    s.AmendedVolume = std::nearbyint(double(Sum.BV[0]) * s.Rate[0]);
    return s;
}

bool RecalcCutAmendment(const TInputData& Data, const TCalcTotals& Sum,
                        const TLayerSelection& Selected, TRateSimulation& Sim) {
    const int L = Data.Layer();
    double selectedCut = 0.0;
    double remaining = Sum.BV[1];
    for (int i = 1; i <= L; ++i) {
        if (Selected[i - 1])
            selectedCut += Sum.CV[1][i];
        else
            remaining -= Sum.CV[1][i];
    }
    if (!(remaining > 0.0 && selectedCut > 0.0))
        return false;
    const double factor = remaining / selectedCut;
    double amended = 0.0;
    for (int i = 1; i <= L; ++i) {
        double rate = Data.GetSolidValue(i, 0);
        if (Selected[i - 1])
            rate = RoundRate3(rate * factor);
        Sim.Rate[i - 1] = rate;
        amended += Sum.CV[0][i] * rate;
    }
    Sim.Amended = true;
    Sim.AmendedVolume = amended;
    Sim.AmendedRate = Sum.CV[0][0] > 0 ? RoundRate3(amended / Sum.CV[0][0]) : 1.0;
    return true;
}

void ApplyRateSimulation(TInputData& Data, const TRateSimulation& Sim) {
    if (!Sim.Amended)
        return;
    if (!Sim.CutCorrection) {
        Data.SetSolidValue(0, 0, Sim.Rate[0]);
    } else {
        for (int i = 1; i <= Data.Layer(); ++i)
            Data.SetSolidValue(i, 0, Sim.Rate[i - 1]);
    }
    // New rates are a change of the project like any base data: the volumes calculated with
    // the old ones are no longer its results.
    Data.SetPhase(2, false);
}

bool ApplyRateSimulationAndRecalc(TInputData& Data, const TRateSimulation& Sim,
                                  const TProgress& Progress) {
    if (!Progress) {
        ApplyRateSimulation(Data, Sim);
        return Data.Calcrate();
    }
    double rates[TInputData::SolidCount];
    for (int i = 0; i < TInputData::SolidCount; ++i)
        rates[i] = Data.GetSolidValue(i, 0);
    const bool calculated = Data.GetPhase(2);
    const TPhaseChange listener = Data.OnPhaseChange();
    Data.SetOnPhaseChange(nullptr);
    bool any = false;
    try {
        ApplyRateSimulation(Data, Sim);
        any = Data.Calcrate(Progress);
    } catch (...) {
        for (int i = 0; i < TInputData::SolidCount; ++i)
            Data.SetSolidValue(i, 0, rates[i]);
        Data.SetPhase(2, calculated);
        Data.SetOnPhaseChange(listener);
        throw;
    }
    Data.SetOnPhaseChange(listener);
    if (listener && Data.GetPhase(2) != calculated)
        listener(Data, 2, Data.GetPhase(2));
    return any;
}
