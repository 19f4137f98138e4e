#pragma once
// What doryou-cli reads and prints: projects from files or standard input, the calculation
// summary as aligned text and every calculated record as JSON. The numbers come from the model
// and the shared summary builder, never from here.

#include <cstdio>
#include <string>
#include <vector>

class TInputData;
struct TCheckFinding;
struct TMethodComparison;
struct TPlanBalance;
struct TRateSimulation;
struct TAllocation;

// Loads a project from a file, or from standard input for "-".
void LoadProject(TInputData& Data, const std::string& File);
// The same, and makes sure its results are those of its own settings; a warning on standard
// error when mesh volumes stopped at their 32-bit limit.
void LoadCalculated(TInputData& Data, const std::string& File);

// Refuses (EFailure) an output that is the same file as one of the inputs, through links:
// writing it would destroy what the command reads. "-" and files not yet there pass.
void RefuseInputAsOutput(const std::string& Output, const std::vector<std::string>& Inputs);

void PrintSummaryText(std::FILE* out, const TInputData& Data);
void PrintCalcJson(std::FILE* out, const TInputData& Data);
// "警告: ..." when volumes of calculated meshes stopped at their 32-bit limit; else nothing.
void PrintSaturationWarning(std::FILE* err, const TInputData& Data);
// The findings of the data checks: one line each, or a JSON object with every finding.
void PrintFindingsText(std::FILE* out, const std::vector<TCheckFinding>& Findings);
void PrintFindingsJson(std::FILE* out, const std::vector<TCheckFinding>& Findings);

// The three methods side by side: the comparison table's texts, or one JSON object per method
// with the fields of calc --json's totals and its differences from the project's own method.
void PrintComparisonText(std::FILE* out, const TInputData& Data, const TMethodComparison& C);
void PrintComparisonJson(std::FILE* out, const TInputData& Data, const TMethodComparison& C);

// The plan balance: the shift and the volumes before and after it, or why there is none.
void PrintBalanceText(std::FILE* out, const TInputData& Data, const TPlanBalance& B);
void PrintBalanceJson(std::FILE* out, const TInputData& Data, const TPlanBalance& B);

// The change-rate simulator: the corrected side's rate and volume now, the target, and the
// amended rates with the volume they calculate, as the simulator window shows them; the JSON
// object adds every total of that calculation.
void PrintRatesText(std::FILE* out, const TInputData& Data, const TRateSimulation& S);
void PrintRatesJson(std::FILE* out, const TInputData& Data, const TRateSimulation& S);

// The earth allocation: the table and its totals, or one JSON object with every flow (ends,
// m³, distance, positions) and the totals.
void PrintAllocationText(std::FILE* out, const TInputData& Data, const TAllocation& A);
void PrintAllocationJson(std::FILE* out, const TInputData& Data, const TAllocation& A);
