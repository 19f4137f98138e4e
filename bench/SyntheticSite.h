#pragma once
// A synthetic site for benchmarks: side x side live points, five layers, every option on.

#include "model/DataUnit.h"

#include <cstdint>

// With a spread above 1 the mesh numbers are that far apart, starting at the bottom of the
// 32-bit range: no point has a neighbour, and a cell table would be far too large.
void BuildSyntheticSite(TInputData& d, int side, int calcType, int64_t spread = 1);
