#pragma once
// The values of a mesh point that a project's calculation uses, with the names the mesh table
// gives them. One table for the calculation's refusal of values that are no number, the site
// check's findings and the mesh export's columns, so that all three name a field alike.

#include "DataUnit.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

struct TGridField {
    const char* Name;    // UTF-8, as the mesh table heads the column
    size_t Offset;       // of the value in TGridData
    bool Height = false; // a height or layer top elevation (else a thickness or settlement)
    bool Sink = false;   // a settlement

    double ValueOf(const TGridData& G) const {
        return *reinterpret_cast<const double*>(reinterpret_cast<const char*>(&G) + Offset);
    }
};

// The fields the project's calculation uses, in the mesh table's order: 計画高, 地盤高, 表土厚
// when topsoil is stripped, the layer thicknesses or layer top elevations up to the layer
// count, 踏込沈下 and 圧密沈下 when those settlements are on.
std::vector<TGridField> CalcFields(const TInputData& Data);

// The name of LAYER[K] (1..4) under a layer input mode (SolidType 1: elevations).
const char* LayerFieldName(int K, int SolidType);

// True when every one of Fields is a number (not NaN, not infinite) at G.
inline bool FieldsFinite(const TGridData& G, const std::vector<TGridField>& Fields) {
    bool finite = true;
    for (const TGridField& f : Fields)
        finite &= std::isfinite(f.ValueOf(G));
    return finite;
}

// Why the project cannot be calculated for values that are no number: the first live point in
// list order with such a value in a field the calculation uses, its fields, and how many more
// points have one. Of points sharing mesh numbers only the last counts, being the one
// calculated. Empty when there is none.
std::string NonFiniteMessage(const TInputData& Data);
