#pragma once
// The printed input listing: every mesh point of the project as a ruled table, sorted by Y and
// then X, composed on a page document. The mesh editor's "印刷" and the navigation window's
// "データ印刷" show it (InputPrintOut); doryou-cli composes it through the same routine.

#include <vector>

class TInputData;
class TPageDocument;
struct TGridData;

// The points in listing order: not deleted, by Y then X; of points at the same place only the
// last registered.
std::vector<TGridData> ListingOrder(const TInputData& Data);

void BuildListing(TPageDocument& Document, const TInputData& Data);
