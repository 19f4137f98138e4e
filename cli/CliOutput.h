#pragma once
// What doryou-cli prints: the calculation summary as aligned text and every calculated record
// as JSON. The numbers come from the model and the shared summary builder, never from here.

#include <cstdio>
#include <vector>

class TInputData;
struct TCheckFinding;

void PrintSummaryText(std::FILE* out, const TInputData& Data);
void PrintCalcJson(std::FILE* out, const TInputData& Data);
// The findings of the data checks: one line each, or a JSON object with every finding.
void PrintFindingsText(std::FILE* out, const std::vector<TCheckFinding>& Findings);
void PrintFindingsJson(std::FILE* out, const std::vector<TCheckFinding>& Findings);
