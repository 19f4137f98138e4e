#pragma once
// The printed comparison of the three calculation methods: one page with the table of fill,
// cut (in total and per layer), topsoil and surplus by each method, plain and corrected, and
// each method's difference from the project's own in m³ and percent. The texts are those of
// the comparison window and doryou-cli compare (analysis/MethodComparison.h).

struct TComparisonTable;
class TInputData;
class TPageDocument;

// Draws the sheet on the page that is open.
void BuildMethodComparisonSheet(TPageDocument& Document, const TInputData& Data,
                                const TComparisonTable& Table);
