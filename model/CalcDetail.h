#pragma once
// The per-mesh detail list: its columns and its CSV file ("土量計算一覧表"). Shared by the
// detail window and doryou-cli.

#include <functional>
#include <string>

class TInputData;

// True when the project's meshes are squares between mesh lines (the four-point methods),
// so that a mesh is named by two X and two Y numbers.
bool DetailIsFourPoint(const TInputData& Data);

// The whole CSV file as UTF-8 text with CR LF line ends; every calculated mesh in list order.
// The layer names in the heading are CSV text fields (CsvText): plain names stay unquoted.
std::string DetailCsvText(const TInputData& Data);

// The same text in pieces of about a megabyte, each ending with a line, handed to Out in order:
// a million meshes go to a file without the whole text in memory.
void DetailCsvPieces(const TInputData& Data, const std::function<void(const std::string&)>& Out);
