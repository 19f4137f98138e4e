#pragma once
// The volumes of one calculation of a project, in 64 bits: fill, cut in total and per layer
// (plain and corrected) and topsoil, as the summary shows them.

#include "model/DataUnit.h"

#include <cstdint>

// The model's 64-bit totals with the arithmetic the comparisons need.
struct TVolumeTotals : TCalcTotals {
    TVolumeTotals() = default;
    explicit TVolumeTotals(const TCalcTotals& Totals) : TCalcTotals(Totals) {}

    // Corrected cut less corrected fill: soil left over ("残土量") when positive, soil to
    // bring in ("不足土量") when negative.
    int64_t Surplus() const { return CV[1][0] - BV[1]; }
    void Add(const TGridCalcData& Record);
    TVolumeTotals& operator+=(const TVolumeTotals& Other);
    bool operator==(const TVolumeTotals& Other) const;
    bool operator!=(const TVolumeTotals& Other) const { return !(*this == Other); }
};

// The totals of the project's last calculation.
TVolumeTotals VolumeTotals(const TInputData& Data);
