#include "VolumeTotals.h"

#include "model/DataUnit.h"

void TVolumeTotals::Add(const TGridCalcData& Record) {
    HV += Record.HV;
    for (int k = 0; k < 2; ++k) {
        BV[k] += Record.BV[k];
        for (int i = 0; i < 6; ++i)
            CV[k][i] += Record.CV[k][i];
    }
}

TVolumeTotals& TVolumeTotals::operator+=(const TVolumeTotals& Other) {
    HV += Other.HV;
    for (int k = 0; k < 2; ++k) {
        BV[k] += Other.BV[k];
        for (int i = 0; i < 6; ++i)
            CV[k][i] += Other.CV[k][i];
    }
    return *this;
}

bool TVolumeTotals::operator==(const TVolumeTotals& Other) const {
    if (HV != Other.HV)
        return false;
    for (int k = 0; k < 2; ++k) {
        if (BV[k] != Other.BV[k])
            return false;
        for (int i = 0; i < 6; ++i)
            if (CV[k][i] != Other.CV[k][i])
                return false;
    }
    return true;
}

TVolumeTotals VolumeTotals(const TInputData& Data) {
    return TVolumeTotals(Data.GetCalcTotals());
}
