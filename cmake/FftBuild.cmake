# lattice_bubble_add_fft_build(<target> NAMESPACE <name> LANES <lanes> KERNELS <kernels>)
#
# One build of the FFT engine's sources as a static library whose symbols live
# in the namespace <name>, so that several builds can be linked into one test.
#   LANES runtime  SSE2 lanes, plus the AVX unit chosen at run time where the
#                  processor has AVX (x86-64 compilers that know -mavx)
#   LANES sse2     SSE2 lanes only (scalar where the target has no SSE2)
#   LANES scalar   two doubles per complex value
#   KERNELS fused    the fused 8- and 16-point kernels where they apply
#   KERNELS general  every size through the general permutations and stages
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-mavx LATTICE_BUBBLE_COMPILER_HAS_MAVX)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND LATTICE_BUBBLE_COMPILER_HAS_MAVX)
  set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX ON)
else()
  set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX OFF)
endif()

function(lattice_bubble_add_fft_build target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAMESPACE;LANES;KERNELS" "")
  set(fft_dir ${PROJECT_SOURCE_DIR}/src/fft)
  add_library(${target} STATIC
    ${fft_dir}/complex_fft.cpp
    ${fft_dir}/complex_fft_2d.cpp
    ${fft_dir}/twiddle.cpp)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC lattice_bubble_flags)
  target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_BUILD=${arg_NAMESPACE})
  if(arg_LANES STREQUAL "scalar")
    target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_SCALAR_LANES)
  elseif(arg_LANES STREQUAL "runtime")
    if(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX)
      # The AVX unit is its own object library: a source file's options hold
      # for every target that compiles it, and only this unit may get -mavx.
      add_library(${target}_avx_unit OBJECT ${fft_dir}/avx_stages.cpp)
      target_include_directories(${target}_avx_unit PRIVATE ${PROJECT_SOURCE_DIR}/src)
      target_link_libraries(${target}_avx_unit PRIVATE lattice_bubble_flags)
      target_compile_definitions(${target}_avx_unit PRIVATE LATTICE_BUBBLE_FFT_BUILD=${arg_NAMESPACE})
      target_compile_options(${target}_avx_unit PRIVATE -mavx -mno-fma)
      target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_avx_unit>)
      target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
      if(arg_KERNELS STREQUAL "general")
        target_compile_definitions(${target}_avx_unit PRIVATE LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY)
      endif()
    endif()
  elseif(NOT arg_LANES STREQUAL "sse2")
    message(FATAL_ERROR "lattice_bubble_add_fft_build: LANES must be runtime, sse2 or scalar")
  endif()
  if(arg_KERNELS STREQUAL "general")
    target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY)
  elseif(NOT arg_KERNELS STREQUAL "fused")
    message(FATAL_ERROR "lattice_bubble_add_fft_build: KERNELS must be fused or general")
  endif()
endfunction()
