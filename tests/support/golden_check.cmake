# The golden files are what the checked generator writes: it recomputes every
# value a second way before it writes anything, so a golden file edited by
# hand, or regenerated from a changed order without the check passing, fails.
#   cmake -DGENERATOR=<lattice_bubble_make_golden> -DGOLDEN=<tests/golden> -DWORK=<dir> -P golden_check.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${GENERATOR} ${WORK} RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "the golden generator's own check failed (status ${generated})")
endif()
file(GLOB golden_files RELATIVE ${GOLDEN} ${GOLDEN}/*.golden)
file(GLOB written_files RELATIVE ${WORK} ${WORK}/*.golden)
if(NOT golden_files STREQUAL written_files)
  message(FATAL_ERROR "tests/golden holds ${golden_files}, the generator writes ${written_files}")
endif()
foreach(name IN LISTS golden_files)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GOLDEN}/${name} ${WORK}/${name} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "tests/golden/${name} is not what the checked generator writes")
  endif()
endforeach()
