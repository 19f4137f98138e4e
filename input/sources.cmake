target_sources(doryou_widgets PRIVATE
  input/BaseDataUnit.cpp
  input/GridDataInputUnit.cpp
  input/GridDataInputUnitEntry.cpp
  input/GridDataInputUnitUndo.cpp
  input/GridDataInputUnitList.cpp
  input/GridDataInputUnitTree.cpp
)
