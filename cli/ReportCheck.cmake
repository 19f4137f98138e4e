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

# The PDF goes through the atomic writer: a failing report leaves the earlier file byte for
# byte and nothing beside it.
get_filename_component(dir ${OUT} DIRECTORY)
set(old ${dir}/report-check-old.pdf)
file(COPY_FILE ${OUT} ${old})
function(expect_kept what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${old} ${OUT} RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${what}: the earlier PDF was changed")
  endif()
  file(GLOB temps ${dir}/.dy*)
  if(temps)
    message(FATAL_ERROR "${what}: temporary files left: ${temps}")
  endif()
endfunction()

# A project without meshes has no calculation list: exit 1, the old file stays.
set(empty ${dir}/report-check-empty.msh)
execute_process(COMMAND sh -c "head -c 875 \"$0\" > \"$1\"; head -c 14 /dev/zero >> \"$1\""
                        ${SAMPLE} ${empty})
execute_process(COMMAND ${CLI} report ${empty} --list -o ${OUT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "表示するページがありません。")
  message(FATAL_ERROR "empty report: exit ${rc}: ${err}")
endif()
expect_kept("empty report")

# A file size limit: the write fails with a message, the old file stays.
execute_process(COMMAND sh -c "ulimit -f 8; exec \"$0\" report \"$1\" -o \"$2\"" ${CLI} ${SAMPLE} ${OUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "上限を超えました")
  message(FATAL_ERROR "file size limit: exit ${rc}: ${err}")
endif()
expect_kept("file size limit")

# A FIFO is not replaced; standard output is named "-", and "-" reads the project from standard
# input.
set(fifo ${dir}/report-check-fifo)
file(REMOVE ${fifo})
execute_process(COMMAND mkfifo ${fifo})
execute_process(COMMAND ${CLI} report ${SAMPLE} --summary -o ${fifo} RESULT_VARIABLE rc
                ERROR_VARIABLE err)
execute_process(COMMAND test -p ${fifo} RESULT_VARIABLE replaced)
if(NOT rc EQUAL 1 OR NOT err MATCHES "通常のファイルではありません" OR replaced)
  message(FATAL_ERROR "FIFO: exit ${rc}: ${err}")
endif()
file(REMOVE ${fifo})
execute_process(COMMAND ${CLI} report - --summary -o - INPUT_FILE ${SAMPLE} OUTPUT_FILE ${OUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "standard input and output: exit ${rc}: ${err}")
endif()
if(PDFINFO)
  execute_process(COMMAND ${PDFINFO} ${OUT} OUTPUT_VARIABLE info)
  if(NOT info MATCHES "Pages: +1\n")
    message(FATAL_ERROR "standard output: not a one-page PDF:\n${info}")
  endif()
endif()

# Stored margins that leave no content area read as the defaults: five pages, not one a mesh.
set(config ${dir}/report-check-config)
file(WRITE ${config}/Nolvo/PreView.ini "[doryou]\nMARGIN1=10000\nMARGIN3=10000\n")
set(ENV{XDG_CONFIG_HOME} ${config})
expect_pages("" 5)
file(REMOVE_RECURSE ${config} ${old} ${empty})
