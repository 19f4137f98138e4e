#pragma once
// What doryou-cli reads and prints: projects from files or standard input, the calculation
// summary as aligned text and every calculated record as JSON. The numbers come from the model
// and the shared summary builder, never from here.

#include <cstdio>
#include <string>
#include <vector>

class TInputData;
struct TCheckFinding;

// Loads a project from a file, or from standard input for "-".
void LoadProject(TInputData& Data, const std::string& File);
// The same, and makes sure its results are those of its own settings; a warning on standard
// error when mesh volumes stopped at their 32-bit limit.
void LoadCalculated(TInputData& Data, const std::string& File);

void PrintSummaryText(std::FILE* out, const TInputData& Data);
void PrintCalcJson(std::FILE* out, const TInputData& Data);
// "警告: ..." when volumes of calculated meshes stopped at their 32-bit limit; else nothing.
void PrintSaturationWarning(std::FILE* err, const TInputData& Data);
// The findings of the data checks: one line each, or a JSON object with every finding.
void PrintFindingsText(std::FILE* out, const std::vector<TCheckFinding>& Findings);
void PrintFindingsJson(std::FILE* out, const std::vector<TCheckFinding>& Findings);
