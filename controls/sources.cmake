target_sources(doryou_widgets PRIVATE
  controls/ArrowMark.cpp
  controls/FittedText.cpp
  controls/ImageButton.cpp
  controls/KeyPreview.cpp
  controls/Label3d.cpp
  controls/NlvLabel.cpp
  controls/RadioGroup.cpp
  controls/StringGrid.cpp
)
