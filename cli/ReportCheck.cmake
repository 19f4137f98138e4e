# Runs doryou-cli report as a user would, without a display, and checks the PDF it writes:
#   cmake -DCLI=... -DSAMPLE=... -DOUT=... -P ReportCheck.cmake
find_program(PDFINFO pdfinfo)

function(expect_pages args pages)
  file(REMOVE ${OUT})
  execute_process(COMMAND ${CLI} report ${SAMPLE} ${args} -o ${OUT}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "report ${args}: exit ${rc}: ${err}")
  endif()
  file(READ ${OUT} head LIMIT 8)
  if(NOT head MATCHES "^%PDF-")
    message(FATAL_ERROR "report ${args}: not a PDF: [${head}]")
  endif()
  if(PDFINFO)
    execute_process(COMMAND ${PDFINFO} ${OUT} OUTPUT_VARIABLE info)
    if(NOT info MATCHES "Pages: +${pages}\n")
      message(FATAL_ERROR "report ${args}: expected ${pages} pages:\n${info}")
    endif()
  endif()
endfunction()

# The sample: 57 calculated meshes and 56 points; A4 portrait with 10 mm margins holds 38
# meshes a list page and 41 points a listing page; landscape 23 and 25.
expect_pages("--summary" 1)
expect_pages("--summary;--list" 3)
expect_pages("--listing" 2)
expect_pages("" 5)
expect_pages("--list;--landscape" 3)
expect_pages("--summary;--paper;A3" 1)
expect_pages("--compare" 1)
expect_pages("--summary;--compare;--list" 4)

execute_process(COMMAND ${CLI} report ${SAMPLE} --paper Z9 -o ${OUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "用紙「Z9」はありません。")
  message(FATAL_ERROR "unknown paper: exit ${rc}: ${err}")
endif()
execute_process(COMMAND ${CLI} report ${SAMPLE} RESULT_VARIABLE rc ERROR_QUIET)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "no output file: exit ${rc}")
endif()
