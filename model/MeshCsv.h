#pragma once
// The mesh data export ("入力メッシュデータ"): one line per live mesh in list order, with the
// columns the project's settings make meaningful. Shared by the mesh editor and doryou-cli.

#include <string>
#include <vector>

class TInputData;

// The headings of the column set, in order (X, Y, planned and ground height, topsoil, the
// layer values, the settlements).
std::vector<std::string> MeshColumnHeadings(const TInputData& Data);

// The whole file as UTF-8 text, every line ended by CR LF.
std::string MeshCsvText(const TInputData& Data);
