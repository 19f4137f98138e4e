# doryou-cli report: only when the windows are built, since it composes through them.
if(TARGET doryou-cli)
  target_sources(doryou-cli PRIVATE cli/CliReport.cpp)
  target_link_libraries(doryou-cli PRIVATE doryou_widgets)
  target_compile_definitions(doryou-cli PRIVATE DORYOU_CLI_REPORT)
endif()

if(TARGET doryou-cli)
  add_test(NAME CliReport.WritesPdfSheets
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:doryou-cli>
            -DSAMPLE=${CMAKE_CURRENT_SOURCE_DIR}/examples/sample-site.msh
            -DOUT=${CMAKE_CURRENT_BINARY_DIR}/cli-report-check.pdf
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cli/ReportCheck.cmake)
  set_tests_properties(CliReport.WritesPdfSheets PROPERTIES
    LABELS gui ENVIRONMENT "DISPLAY=;WAYLAND_DISPLAY=;QT_QPA_PLATFORM=")
endif()
