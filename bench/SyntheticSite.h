#pragma once
// A synthetic site for benchmarks: side x side live points, five layers, every option on.

#include "model/DataUnit.h"

void BuildSyntheticSite(TInputData& d, int side, int calcType);
