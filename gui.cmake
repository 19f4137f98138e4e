# Qt 6 parts of doryou. Every window links doryou_core for its numbers.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg PrintSupport Test)

set(CMAKE_AUTOMOC ON)

# The windows and controls as one library, so that the program and the window tests share it.
add_library(doryou_widgets STATIC
  controls/ArrowMark.cpp
  controls/ImageButton.cpp
  controls/Label3d.cpp
  controls/NlvLabel.cpp
  controls/RadioGroup.cpp
  controls/StringGrid.cpp
  input/BaseDataUnit.cpp
  app/AppSetup.cpp
  app/DataForm.cpp
  app/MainUnit.cpp
  app/MessageBoxes.cpp
  app/NaviPictures.cpp
)
target_link_libraries(doryou_widgets PUBLIC doryou_core Qt6::Widgets)
target_compile_definitions(doryou_widgets PUBLIC
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)

add_executable(doryou app/main.cpp)
target_link_libraries(doryou PRIVATE doryou_widgets)

add_subdirectory(tests/gui)
