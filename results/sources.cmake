target_sources(doryou_widgets PRIVATE
  results/CalcOutDetailUnit.cpp
  results/CalcOutView.cpp
  results/CellStyle.cpp
  results/CsvFile.cpp
  results/RateCalcUnit.cpp
  results/ResultGlyphs.cpp
)
