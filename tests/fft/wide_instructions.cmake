# The units compiled for AVX and AVX-512F (the FFT engine's, the direct
# route's and the orbital direct sum's) must stay theirs: no other object of the program may contain a VEX-
# or EVEX-encoded instruction (the mnemonics that begin with v), and those
# units may define no function that the linker could hand to another unit,
# only their tables of kernels.
# Otherwise a machine without those instructions could run one of them.
#
#   cmake -DOBJDUMP=<objdump> -DNM=<nm> -DOBJECT_LIST=<file, one object per line> -P wide_instructions.cmake
file(STRINGS "${OBJECT_LIST}" objects)
set(wide_units 0)
list(FILTER objects EXCLUDE REGEX "\\.gch$")  # the precompiled headers are no object
foreach(object IN LISTS objects)
  if(object MATCHES "kernels_avx(512)?\\.cpp")
    math(EXPR wide_units "${wide_units} + 1")
    execute_process(COMMAND "${NM}" --defined-only --extern-only "${object}"
      OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    string(REGEX MATCHALL "[0-9a-f]* [TWi] [^\n]*" shared "${symbols}")
    if(failed OR shared)
      message(SEND_ERROR "${object} defines functions other units could link: ${shared}")
    endif()
  else()
    execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${object}"
      OUTPUT_VARIABLE disassembly RESULT_VARIABLE failed)
    string(REGEX MATCH "\n[^\n]*\tv[a-z][a-z0-9]*[^\n]*" wide "${disassembly}")
    if(failed OR wide)
      message(SEND_ERROR "${object} holds an AVX or AVX-512 instruction:${wide}")
    endif()
  endif()
endforeach()
if(NOT wide_units EQUAL 6)
  message(SEND_ERROR "expected the six units compiled for AVX and AVX-512F among the objects, found ${wide_units}")
endif()
