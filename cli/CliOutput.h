#pragma once
// What doryou-cli prints: the calculation summary as aligned text and every calculated record
// as JSON. The numbers come from the model and the shared summary builder, never from here.

#include <cstdio>

class TInputData;

void PrintSummaryText(std::FILE* out, const TInputData& Data);
void PrintCalcJson(std::FILE* out, const TInputData& Data);
// "警告: ..." when volumes of calculated meshes stopped at their 32-bit limit; else nothing.
void PrintSaturationWarning(std::FILE* err, const TInputData& Data);
