#include "RateCalc.h"

#include <cmath>

double RoundRate3(double Value) {
    // nearbyint follows the default rounding mode, which rounds halves to even.
    return std::nearbyint(Value * 1000.0) / 1000.0;
}

namespace {

// A project's rates, its results' phase and date and its listener, kept while other rates are
// tried on it; the listener is held back meanwhile, so that windows see only the outcome.
struct TKeptRates {
    TInputData& Data;
    double Rates[TInputData::SolidCount];
    const bool Calculated;
    const int64_t Time;
    const TPhaseChange Listener;

    explicit TKeptRates(TInputData& D)
        : Data(D), Calculated(D.GetPhase(2)), Time(D.CalcTime()), Listener(D.OnPhaseChange()) {
        for (int i = 0; i < TInputData::SolidCount; ++i)
            Rates[i] = D.GetSolidValue(i, 0);
        D.SetOnPhaseChange(nullptr);
    }
    void PutRatesBack() {
        for (int i = 0; i < TInputData::SolidCount; ++i)
            Data.SetSolidValue(i, 0, Rates[i]);
    }
    // The listener is given back and hears phase 2 when it differs from before.
    void Release() {
        Data.SetOnPhaseChange(Listener);
        if (Listener && Data.GetPhase(2) != Calculated)
            Listener(Data, 2, Data.GetPhase(2));
    }
};

// The amended figures of Sim's rates, from the calculation that applying them runs.
void CalculateAmendment(TInputData& Data, TRateSimulation& Sim, const TProgress& Progress) {
    Sim.Amended = true;
    Sim.AmendedTotals = AmendedTotals(Data, Sim, Progress);
    const TCalcTotals& t = Sim.AmendedTotals;
    if (Sim.CutCorrection) {
        Sim.AmendedVolume = static_cast<double>(t.CV[1][0]);
        Sim.AmendedRate = t.CV[0][0] > 0 ? RoundRate3(Sim.AmendedVolume / t.CV[0][0]) : 1.0;
    } else {
        Sim.AmendedVolume = static_cast<double>(t.BV[1]);
        Sim.AmendedRate = Sim.Rate[0];
    }
}

} // namespace

TRateSimulation CurrentRateSimulation(const TInputData& Data, const TCalcTotals& Sum) {
    TRateSimulation s;
    // As the calculation reads it: only 1 corrects the fill, any other value (a foreign file's)
    // corrects the cut, so the simulator amends the rates that are actually used.
    s.CutCorrection = Data.RateType() != 1;
    if (s.CutCorrection) {
        s.CurrentVolume = Sum.CV[1][0];
        s.CurrentRate = Sum.CV[0][0] > 0 ? double(Sum.CV[1][0]) / Sum.CV[0][0] : 1.0;
        s.TargetVolume = Sum.BV[1];
    } else {
        s.CurrentVolume = Sum.BV[1];
        s.CurrentRate = Sum.BV[0] > 0 ? double(Sum.BV[1]) / Sum.BV[0] : 1.0;
        s.TargetVolume = Sum.CV[1][0];
    }
    return s;
}

TRateSimulation StartRateSimulation(TInputData& Data, const TCalcTotals& Sum,
                                    const TProgress& Progress) {
    TRateSimulation s = CurrentRateSimulation(Data, Sum);
    if (s.CutCorrection) {
        TLayerSelection all{};
        for (int t = 0; t < TInputData::MaxLayer; ++t)
            all[t] = t < Data.Layer();
        RecalcCutAmendment(Data, Sum, all, s, Progress);
        return s;
    }
    s.Rate[0] = Sum.BV[0] > 0 ? RoundRate3(double(Sum.CV[1][0]) / Sum.BV[0]) : 1.0;
    CalculateAmendment(Data, s, Progress);
    return s;
}

bool RecalcCutAmendment(TInputData& Data, const TCalcTotals& Sum, const TLayerSelection& Selected,
                        TRateSimulation& Sim, const TProgress& Progress) {
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
    TRateSimulation next = Sim;
    for (int i = 1; i <= L; ++i) {
        double rate = Data.GetSolidValue(i, 0);
        if (Selected[i - 1])
            rate = RoundRate3(rate * factor);
        next.Rate[i - 1] = rate;
    }
    CalculateAmendment(Data, next, Progress);
    Sim = next;
    return true;
}

TCalcTotals AmendedTotals(TInputData& Data, const TRateSimulation& Sim, const TProgress& Progress) {
    // In the project itself rather than in a copy, which on a large site costs more than two
    // calculations (its memory is new) and would double the memory held.
    TKeptRates kept(Data);
    TCalcTotals t;
    try {
        ApplyRateSimulation(Data, Sim);
        Data.Calcrate(Progress);
        t = Data.GetCalcTotals();
        kept.PutRatesBack();
        // The same inputs give the same records: the results are again those of before.
        if (kept.Calculated) {
            Data.Calcrate();
            Data.SetCalcTime(kept.Time);
        }
        Data.SetPhase(2, kept.Calculated);
    } catch (const ECancelled&) {
        // Heard before the records were written: they are still the old rates' results.
        kept.PutRatesBack();
        Data.SetPhase(2, kept.Calculated);
        kept.Release();
        throw;
    } catch (...) {
        kept.PutRatesBack();
        Data.SetPhase(2, false); // the records may be the new rates' or none
        kept.Release();
        throw;
    }
    kept.Release();
    return t;
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
    TKeptRates kept(Data);
    bool any = false;
    try {
        ApplyRateSimulation(Data, Sim);
        any = Data.Calcrate(Progress);
    } catch (...) {
        kept.PutRatesBack();
        Data.SetPhase(2, kept.Calculated);
        kept.Release();
        throw;
    }
    kept.Release();
    return any;
}
