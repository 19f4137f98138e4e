#pragma once
// The printed input listing: every mesh point of the project as a ruled table, sorted by Y and
// then X, composed on the preview's pages. The mesh editor's "印刷" and the navigation
// window's "データ印刷" show it; doryou-cli composes it through the same routine.

#include <vector>

class QWidget;
class TInputData;
class TPreViewForm;
struct TGridData;

// The points in listing order: not deleted, by Y then X; of points at the same place only the
// last registered.
std::vector<TGridData> ListingOrder(const TInputData& Data);

void BuildListing(TPreViewForm& Preview, const TInputData& Data);

// Composes the listing in the shared preview and shows it; a failure ("表示するページが
// ありません。") shows the standard error box over Parent.
void InputPrintOut(QWidget* Parent, const TInputData& Data);
