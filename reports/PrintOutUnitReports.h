#pragma once
// The printed calculation reports, composed on the preview's pages: the summary sheet
// "土量集計表" (one page) and the calculation list "土量計算一覧表" (one ruled row per calculated
// mesh). The report selection dialog and doryou-cli compose them through these same routines.

#include <QString>

#include <utility>
#include <vector>

class TInputData;
class TPageDocument;
struct TComparisonTable;
struct TAllocation;

// The calculation list's column count K, width a of the three fixed columns and width w of
// the others, on a content area PaperWidth wide.
struct TCalcListColumns {
    int K, a, w;
};
TCalcListColumns CalcListColumns(int PaperWidth, int Layer, bool Hyoudo);

// The calculation conditions the summary sheet prints under its table, as label and value:
// method, mesh spacing, rounding, correction, topsoil, settlements, layers, the numbers of
// input points and calculated meshes, and the date of the calculation.
std::vector<std::pair<QString, QString>> CalcConditions(const TInputData& Data);

// Draws the summary sheet on the page that is open.
void BuildSummarySheet(TPageDocument& Document, const TInputData& Data);
// Opens its own pages; none when there is no calculated mesh.
void BuildCalcList(TPageDocument& Document, const TInputData& Data);
// All pages of the chosen reports: the summary sheet, the comparison of the methods (when a
// table is given; it is computed once by the caller, not on every paper change), the list,
// the cut/fill map (BuildMapPage), and the allocation table and map of Allocation when given
// (AllocationSheet.h).
void BuildReports(TPageDocument& Document, const TInputData& Data, bool Summary, bool CalcList,
                  const TComparisonTable* Comparison = nullptr, bool Map = false,
                  const TAllocation* Allocation = nullptr, bool AllocTable = false,
                  bool AllocMap = false);
