#pragma once
// Small pictures for the buttons of the result windows, drawn rather than loaded.

#include <QIcon>

namespace ResultGlyphs {
QIcon Csv();     // a sheet with rows, for "CSV出力"
QIcon Balance(); // a pair of scales, for "変化率調整計算"
QIcon Close();   // an open door, for the close buttons
QIcon Compare(); // three bars side by side, for "計算方法の比較"
QIcon Level();   // ground and a plan line with arrows up and down, for "計画高調整"
} // namespace ResultGlyphs
