target_sources(doryou_widgets PRIVATE
  input/BaseDataUnit.cpp
)
