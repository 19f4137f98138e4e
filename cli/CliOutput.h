#pragma once
// What doryou-cli prints: the calculation summary as aligned text and every calculated record
// as JSON. The numbers come from the model and the shared summary builder, never from here.

#include <cstdio>

class TInputData;
struct TMethodComparison;
struct TPlanBalance;

void PrintSummaryText(std::FILE* out, const TInputData& Data);
void PrintCalcJson(std::FILE* out, const TInputData& Data);

// The three methods side by side: the comparison table's texts, or one JSON object per method
// with the fields of calc --json's totals and its differences from the project's own method.
void PrintComparisonText(std::FILE* out, const TInputData& Data, const TMethodComparison& C);
void PrintComparisonJson(std::FILE* out, const TInputData& Data, const TMethodComparison& C);

// The plan balance: the shift and the volumes before and after it, or why there is none.
void PrintBalanceText(std::FILE* out, const TInputData& Data, const TPlanBalance& B);
void PrintBalanceJson(std::FILE* out, const TInputData& Data, const TPlanBalance& B);
