# Print records: no Qt, so the core tests check them byte for byte.
add_library(doryou_printrecord STATIC ${CMAKE_CURRENT_LIST_DIR}/PrintRecord.cpp)
target_link_libraries(doryou_printrecord PUBLIC doryou_core doryou_archive)
