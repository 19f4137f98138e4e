target_sources(doryou_widgets PRIVATE
  results/PrintOutUnit.cpp
  results/PrintOutUnitReports.cpp
  results/PrintOutUnitTable.cpp
)
