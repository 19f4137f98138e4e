#pragma once
// Small pictures for the buttons of the result windows, drawn rather than loaded.

#include <QIcon>

namespace ResultGlyphs {
QIcon Csv();     // a sheet with rows, for "CSV出力"
QIcon Balance(); // a pair of scales, for "変化率調整計算"
QIcon Close();   // an open door, for the close buttons
} // namespace ResultGlyphs
