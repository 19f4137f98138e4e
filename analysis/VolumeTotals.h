#pragma once
// The volumes of one calculation of a project, in 64 bits: fill, cut in total and per layer
// (plain and corrected) and topsoil, as the summary shows them.

#include <cstdint>

class TInputData;
struct TGridCalcData;

struct TVolumeTotals {
    int64_t BV[2] = {};    // fill: [0] plain, [1] corrected
    int64_t CV[2][6] = {}; // cut: row [0] plain, [1] corrected; [0] total, [1..5] layers
    int64_t HV = 0;        // topsoil

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
