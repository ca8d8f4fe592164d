# One case of the Windows program, run as a user runs it, under the emulator
# (wine), in a directory of its own with standard input at end of file:
#   complete_run                 a stand-in plotting program on the search path
#   map_file_cannot_be_created   a directory in the way of chiw.dat
#   no_plotting_program          nothing called pgnuplot.exe anywhere
#   study                        a study at q = (pi, pi): its table, and no file
# The reports and the map must be the golden text of a Linux run with every
# line feed a carriage return and a line feed (text mode), byte for byte.
#
# cmake -DCASE=... -DPROGRAM=<lattice_bubble.exe> -DSTAND_IN=<stand-in .exe>
#       -DEMULATOR=<wine> -DGOLDEN=<tests/golden> -DWORK=<scratch dir> -P run_case.cmake
cmake_minimum_required(VERSION 3.25)

# Files are compared as hex digits: a file read as text loses its carriage returns.
function(golden_hex name out_var)
  file(READ ${GOLDEN}/${name} text)
  string(REGEX REPLACE "^(#[^\n]*\n)+" "" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${WORK}/expected_${name} "${text}")
  file(READ ${WORK}/expected_${name} hex HEX)
  set(${out_var} "${hex}" PARENT_SCOPE)
endfunction()

function(expect_file what file expected_hex)
  file(READ ${file} hex HEX)
  if(NOT hex STREQUAL expected_hex)
    file(READ ${file} text)
    message(FATAL_ERROR "${CASE}: ${what} differs from the expected bytes:\n${text}")
  endif()
endfunction()

function(expect_equal what got expected)
  if(NOT got STREQUAL expected)
    message(FATAL_ERROR "${CASE}: ${what} is\n${got}\nexpected\n${expected}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/run ${WORK}/bin)
set(search_path "")
if(NOT CASE STREQUAL "no_plotting_program")
  file(COPY_FILE ${STAND_IN} ${WORK}/bin/pgnuplot.exe)
  string(REPLACE "/" "\\" search_path "Z:${WORK}/bin")
endif()
if(CASE STREQUAL "map_file_cannot_be_created")
  file(MAKE_DIRECTORY ${WORK}/run/chiw.dat)
endif()

set(arguments "")
if(CASE STREQUAL "study")
  set(arguments --q 4,4 --routes fourier,direct --frequencies 16)
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "WINEPATH=${search_path}" WINEDEBUG=-all ${EMULATOR} ${PROGRAM} ${arguments}
  WORKING_DIRECTORY ${WORK}/run
  INPUT_FILE /dev/null
  OUTPUT_FILE ${WORK}/stdout
  ERROR_FILE ${WORK}/stderr
  RESULT_VARIABLE status)
file(READ ${WORK}/stderr err)

if(CASE STREQUAL "study")
  # The first row: both routes at nu_0, the Fourier route's the default run's bits.
  expect_equal("exit status" "${status}" "0")
  expect_equal("standard error" "${err}" "")
  # Searched as hex digits, so that the carriage returns count.
  file(READ ${WORK}/stdout out_hex HEX)
  foreach(fragment IN ITEMS
      "# ix iy m nu re_fourier im_fourier re_direct im_direct\r\n"
      "\r\n4 4 0 0 0.045339900828420626 0 0.0445922650341597 0\r\n4 4 1 ")
    file(WRITE ${WORK}/expected_fragment "${fragment}")
    file(READ ${WORK}/expected_fragment fragment_hex HEX)
    string(FIND "${out_hex}" "${fragment_hex}" at)
    if(at EQUAL -1)
      file(READ ${WORK}/stdout out)
      message(FATAL_ERROR "${CASE}: no '${fragment}' in standard output:\n${out}")
    endif()
  endforeach()
  if(EXISTS ${WORK}/run/chiw.dat OR EXISTS ${WORK}/run/received.txt)
    message(FATAL_ERROR "${CASE}: a study wrote a file or started the plotting program")
  endif()
  return()
endif()

golden_hex(reports.golden reports)
golden_hex(chiw.golden map)
expect_file("standard output" ${WORK}/stdout "${reports}")
if(CASE STREQUAL "map_file_cannot_be_created")
  expect_equal("exit status" "${status}" "2")
  if(NOT err MATCHES "^lattice_bubble: error: cannot create chiw.dat: [^\r\n]+; the map is lost\r?\n$")
    message(FATAL_ERROR "${CASE}: standard error is\n${err}")
  endif()
else()
  expect_equal("exit status" "${status}" "0")
  expect_file("chiw.dat" ${WORK}/run/chiw.dat "${map}")
endif()
if(CASE STREQUAL "no_plotting_program")
  if(EXISTS ${WORK}/run/received.txt)
    message(FATAL_ERROR "${CASE}: a plotting program ran")
  endif()
else()
  if(CASE STREQUAL "complete_run")
    expect_equal("standard error" "${err}" "")
  endif()
  file(WRITE ${WORK}/expected_command "splot 'chiw.dat' with lines \r\n")
  file(READ ${WORK}/expected_command command HEX)
  expect_file("the plot command" ${WORK}/run/received.txt "${command}")
endif()
