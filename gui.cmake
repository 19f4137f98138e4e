# Qt 6 parts of doryou. Every window links doryou_core for its numbers.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg PrintSupport Test)
