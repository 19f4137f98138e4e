#pragma once
// The printed earth allocation: the table "配分表" (from, to, m³, distance, m³·m a haul, ruled
// and paginated, the totals under the last row) and the map "配分図" (the cut/fill map with the
// arrows). The texts are those of the allocation window, its CSV file and doryou-cli allocate
// (analysis/EarthAllocationTable.h).

struct TAllocation;
class TInputData;
class TPageDocument;

// Opens its own pages.
void BuildAllocationTable(TPageDocument& Document, const TInputData& Data,
                          const TAllocation& Plan);
// Both pages, the table first, onto a cleared document: the allocation window's preview and
// doryou-cli report --allocation.
void BuildAllocationReports(TPageDocument& Document, const TInputData& Data,
                            const TAllocation& Plan);

