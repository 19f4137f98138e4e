# doryou-cli report: only when the windows are built, since it composes through them.
if(TARGET doryou-cli)
  target_sources(doryou-cli PRIVATE cli/CliReport.cpp)
  target_link_libraries(doryou-cli PRIVATE doryou_widgets)
  target_compile_definitions(doryou-cli PRIVATE DORYOU_CLI_REPORT)
endif()
