#pragma once
// The project calculated by each of the three methods (one-point, four-point prism, four-point
// average elevation) without changing its stored method: a copy of the project goes through
// Calcrate once per method, so the figures are exactly those of a calculation with the method
// changed. The table of texts is what the window, the printed page and doryou-cli show.

#include "analysis/VolumeTotals.h"
#include "platform/Progress.h"

#include <array>
#include <string>
#include <vector>

class TInputData;

constexpr int CalcMethodCount = 3;

// "１点法（点高法）", "４点柱状法", "４点平均標高法"; a number outside 0..2 calculates as, and is
// named as, the one-point method.
int CalcMethodOf(int CalcType);
const char* CalcMethodName(int Method);

struct TMethodResult {
    bool Calculated = false; // at least one mesh produced a result
    int CalcMeshCount = 0;
    TVolumeTotals Totals;
};

struct TMethodComparison {
    int OwnMethod = 0; // the project's own method, 0..2
    std::array<TMethodResult, CalcMethodCount> Methods;

    const TVolumeTotals& Own() const { return Methods[OwnMethod].Totals; }
};

// Calculates a copy of the project by each method; the project itself is not touched. Progress
// may cancel between and early in the calculations (ECancelled).
TMethodComparison CompareMethods(const TInputData& Data, const TProgress& Progress = {});

// Percentage of Difference against Base (100 × Difference / |Base|); false when Base is 0 and
// Difference is not, where no percentage exists.
bool DifferencePercent(int64_t Difference, int64_t Base, double& Percent);

// The comparison as texts in the user's number format. Every row gives, per method, the volume,
// and for the methods other than the project's own, the difference from it in m³ and percent.
struct TComparisonTable {
    struct TRow {
        std::string Label;
        bool Section = false;  // a heading line ("土　　量", "補正土量") without figures
        bool Emphasis = false; // fill, cut and the surplus stand out
        std::array<std::string, CalcMethodCount> Volume, Difference, Percent;
    };
    int OwnMethod = 0;
    std::array<std::string, CalcMethodCount> MethodNames;
    std::vector<TRow> Rows;
};

TComparisonTable BuildComparisonTable(const TInputData& Data, const TMethodComparison& Comparison);
