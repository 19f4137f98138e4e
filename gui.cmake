# Qt 6 parts of doryou. Every window links doryou_core for its numbers.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg PrintSupport Test)

set(CMAKE_AUTOMOC ON)

# The windows and controls as one library, so that the program and the window tests share it.
# Each folder lists its own sources in sources.cmake.
add_library(doryou_widgets STATIC)
foreach(folder controls app input results preview archive)
  include(${folder}/sources.cmake OPTIONAL)
endforeach()
include(results/print-sources.cmake OPTIONAL)
include(input/listing-sources.cmake OPTIONAL)
target_include_directories(doryou_widgets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(doryou_widgets PUBLIC doryou_core doryou_printrecord Qt6::Widgets Qt6::Svg Qt6::PrintSupport)
target_compile_definitions(doryou_widgets PUBLIC
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)

include(cli/report.cmake OPTIONAL)
include(bench/preview-bench.cmake OPTIONAL)

add_executable(doryou app/main.cpp)
target_link_libraries(doryou PRIVATE doryou_widgets)

add_subdirectory(tests/gui)
