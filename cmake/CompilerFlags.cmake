# Flags shared by every target of the project.
#
# Results are defined to the last bit by the order in which the sources write
# their floating-point operations, so the compiler must neither fuse a multiply
# with an add (-ffp-contract=off) nor reassociate (no -ffast-math, no -Ofast).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang|AppleClang)$")
  message(FATAL_ERROR
    "lattice-bubble sets its floating-point contract with GCC and Clang options "
    "(-ffp-contract=off, no fast math) and uses their vector extensions; "
    "the compiler ${CMAKE_CXX_COMPILER_ID} is not supported. Configure with g++ or clang++ "
    "(for example -DCMAKE_CXX_COMPILER=g++).")
endif()

add_library(lattice_bubble_flags INTERFACE)
target_compile_options(lattice_bubble_flags INTERFACE
  -ffp-contract=off
  -fno-fast-math
  -Wall -Wextra -Wpedantic -Wshadow
  $<$<BOOL:${LATTICE_BUBBLE_WERROR}>:-Werror>)

foreach(forbidden IN ITEMS -ffast-math -Ofast)
  string(FIND "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_RELEASE} ${CMAKE_CXX_FLAGS_RELWITHDEBINFO}" "${forbidden}" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${forbidden} breaks the floating-point contract of this project")
  endif()
endforeach()
